#include "device/http_client.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <atomic>

namespace {

const int kDefaultTransferTimeoutMs = 30000;
const qint64 kDefaultMaxBodySize = 64 * 1024;

// Ids count up across every client of the process, as the old client's did,
// so an id never names a command of another client.
int nextCommandId()
{
    static std::atomic<int> counter{0};
    return ++counter;
}

// A host name of letters, digits and hyphens in dot-separated labels, an IPv4
// address, or an IPv6 address (bare or in brackets). Anything else could
// carry a user, a port or a path into the URL and is refused.
bool isPlainHost(const QString &host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    QString bare = host;
    if (bare.startsWith(QLatin1Char('[')) && bare.endsWith(QLatin1Char(']')))
        bare = bare.mid(1, bare.size() - 2);
    if (bare.contains(QLatin1Char(':'))) {
        static const QRegularExpression ipv6Chars(
            QRegularExpression::anchoredPattern(QStringLiteral("[0-9A-Fa-f:.]+")));
        QHostAddress address;
        return ipv6Chars.match(bare).hasMatch() && address.setAddress(bare) &&
               address.protocol() == QAbstractSocket::IPv6Protocol;
    }
    static const QRegularExpression hostName(QRegularExpression::anchoredPattern(
        QStringLiteral("(?:[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.)*"
                       "[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.?")));
    return hostName.match(host).hasMatch();
}

// The URL built from its parts; the path's query goes out as given (only
// characters that may not stand in a request line get percent-encoded).
QUrl requestUrl(const QString &host, quint16 port, const QString &target)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host.startsWith(QLatin1Char('[')) ? host.mid(1, host.size() - 2) : host,
                QUrl::StrictMode);
    if (port != 80)
        url.setPort(port); // so that the Host field reads "Host: <address>"
    QString path = target;
    const qsizetype queryStart = path.indexOf(QLatin1Char('?'));
    if (queryStart >= 0) {
        url.setQuery(path.mid(queryStart + 1), QUrl::TolerantMode);
        path.truncate(queryStart);
    }
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    url.setPath(path, QUrl::TolerantMode);
    return url;
}

bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    // 2xx: content errors, 3xx: protocol errors raised for 4xx statuses,
    // 4xx: server errors raised for 5xx statuses (QNetworkReply's numbering).
    return error >= QNetworkReply::ContentAccessDenied;
}

} // namespace

struct HttpClient::Private
{
    enum class Kind { SetHost, Request };
    struct Command
    {
        int id = 0;
        Kind kind = Kind::Request;
        QString host;
        quint16 port = 80;
        HttpRequestHeader header;
        bool finished = false;
    };

    explicit Private(HttpClient *client) : q(client) {}

    int addCommand(Command command);
    void startNext();
    void sendRequest(const HttpRequestHeader &header);
    void takeReplyData();
    void checkAnnouncedLength();
    void replyFinished();
    void dropReply();
    void finishCurrent();
    void failCurrent(Error failure, const QString &text);
    void endBatchFromHandler();

    HttpClient *q;
    QNetworkAccessManager *manager = nullptr;
    QTimer transferTimer;
    QList<Command> pending; // the first one is the current command
    bool running = false;   // the current command has started
    bool startScheduled = false;
    // Set when abort() ends the batch from a requestFinished() handler, so
    // the report under way neither goes on nor reports done() a second time.
    bool batchEndedInHandler = false;
    QNetworkReply *reply = nullptr;
    QByteArray body;
    int statusCode = 0;
    QString host;
    quint16 port = 80;
    Error error = NoError;
    QString errorString = QStringLiteral("Unknown error");
    int transferTimeoutMs = kDefaultTransferTimeoutMs;
    qint64 maxBodySize = kDefaultMaxBodySize;
};

HttpClient::HttpClient(QObject *parent) : QObject(parent), d(new Private(this))
{
    d->manager = new QNetworkAccessManager(this);
    d->manager->setProxy(QNetworkProxy::NoProxy);
    d->transferTimer.setSingleShot(true);
    connect(&d->transferTimer, &QTimer::timeout, this, [this] {
        d->failCurrent(ConnectionRefused, QStringLiteral("Connection refused (or timed out)"));
    });
}

HttpClient::~HttpClient()
{
    d->dropReply();
    delete d;
}

int HttpClient::setHost(const QString &host, quint16 port)
{
    Private::Command command;
    command.kind = Private::Kind::SetHost;
    command.host = host;
    command.port = port;
    return d->addCommand(command);
}

int HttpClient::request(const HttpRequestHeader &header)
{
    Private::Command command;
    command.kind = Private::Kind::Request;
    command.header = header;
    return d->addCommand(command);
}

int HttpClient::get(const QString &path)
{
    HttpRequestHeader header;
    header.path = path;
    return request(header);
}

QByteArray HttpClient::readAll()
{
    QByteArray data;
    data.swap(d->body);
    return data;
}

void HttpClient::abort()
{
    if (d->pending.isEmpty())
        return;
    if (d->pending.first().finished)
        d->endBatchFromHandler();
    else
        d->failCurrent(Aborted, QStringLiteral("Request aborted"));
}

HttpClient::Error HttpClient::error() const { return d->error; }

QString HttpClient::errorString() const { return d->errorString; }

bool HttpClient::hasPendingRequests() const { return d->pending.size() > 1; }

int HttpClient::statusCode() const { return d->statusCode; }

int HttpClient::currentId() const { return d->pending.isEmpty() ? 0 : d->pending.first().id; }

void HttpClient::setTransferTimeout(int milliseconds)
{
    d->transferTimeoutMs = qMax(1, milliseconds);
}

void HttpClient::setMaxBodySize(qint64 bytes) { d->maxBodySize = qMax<qint64>(0, bytes); }

int HttpClient::Private::addCommand(Command command)
{
    command.id = nextCommandId();
    pending.append(command);
    // The first command starts from the event loop, so the caller has its id
    // before requestStarted() names it.
    if (pending.size() == 1 && !startScheduled) {
        startScheduled = true;
        QMetaObject::invokeMethod(
            q, [this] { startNext(); }, Qt::QueuedConnection);
    }
    return command.id;
}

void HttpClient::Private::startNext()
{
    startScheduled = false;
    if (pending.isEmpty() || running)
        return;
    running = true;
    error = NoError;
    errorString = QStringLiteral("Unknown error");
    body.clear();
    statusCode = 0;
    const Command command = pending.first();

    QPointer<HttpClient> self(q);
    emit q->requestStarted(command.id);
    // The handler may have aborted the batch, queued more, or deleted us.
    if (!self || !running || pending.isEmpty() || pending.first().id != command.id)
        return;

    if (command.kind == Kind::SetHost) {
        host = command.host;
        port = command.port;
        finishCurrent();
        return;
    }
    sendRequest(command.header);
}

void HttpClient::Private::sendRequest(const HttpRequestHeader &header)
{
    if (!isPlainHost(host)) {
        failCurrent(HostNotFound, QStringLiteral("Host %1 not found").arg(host));
        return;
    }
    const QUrl url = requestUrl(host, port, header.path);
    static const QRegularExpression methodToken(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Z]+")));
    if (!url.isValid() || url.host().isEmpty() || !methodToken.match(header.method).hasMatch()) {
        failCurrent(UnknownError, QStringLiteral("HTTP request failed"));
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // The manager has no cache; asking it to bypass one would only add
    // Cache-Control and Pragma fields to the request.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);

    const QByteArray method = header.method.toLatin1();
    reply = method == "GET" ? manager->get(request) : manager->sendCustomRequest(request, method);
    // Drained on every readyRead, so the reply itself never holds much.
    reply->setReadBufferSize(16 * 1024);
    connect(reply, &QNetworkReply::readyRead, q, [this] { takeReplyData(); });
    connect(reply, &QNetworkReply::metaDataChanged, q, [this] { checkAnnouncedLength(); });
    connect(reply, &QNetworkReply::finished, q, [this] { replyFinished(); });
    transferTimer.start(transferTimeoutMs);
}

void HttpClient::Private::takeReplyData()
{
    if (!reply)
        return;
    const qint64 room = maxBodySize - body.size();
    body += reply->read(room + 1);
    if (body.size() > maxBodySize)
        failCurrent(UnknownError, QStringLiteral("HTTP request failed"));
}

void HttpClient::Private::checkAnnouncedLength()
{
    if (!reply)
        return;
    bool known = false;
    const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && length > maxBodySize)
        failCurrent(UnknownError, QStringLiteral("HTTP request failed"));
}

void HttpClient::Private::replyFinished()
{
    takeReplyData();
    if (!reply)
        return; // over the size limit, already reported
    const QNetworkReply::NetworkError replyError = reply->error();
    const bool gotStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (replyError == QNetworkReply::NoError || (gotStatus && isHttpStatusError(replyError))) {
        statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        dropReply();
        finishCurrent();
        return;
    }
    switch (replyError) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::TimeoutError:
        failCurrent(ConnectionRefused, QStringLiteral("Connection refused (or timed out)"));
        break;
    case QNetworkReply::HostNotFoundError:
        failCurrent(HostNotFound, QStringLiteral("Host %1 not found").arg(host));
        break;
    case QNetworkReply::RemoteHostClosedError:
        if (gotStatus)
            failCurrent(WrongContentLength, QStringLiteral("Wrong content length"));
        else
            failCurrent(UnexpectedClose, QStringLiteral("Server closed connection unexpectedly"));
        break;
    case QNetworkReply::ProtocolFailure:
        failCurrent(InvalidResponseHeader, QStringLiteral("Invalid HTTP response header"));
        break;
    default:
        failCurrent(UnknownError, QStringLiteral("HTTP request failed"));
        break;
    }
}

void HttpClient::Private::dropReply()
{
    transferTimer.stop();
    if (!reply)
        return;
    QNetworkReply *finishedReply = reply;
    reply = nullptr;
    QObject::disconnect(finishedReply, nullptr, q, nullptr);
    finishedReply->abort();
    finishedReply->deleteLater();
    // A fresh connection for every command: a connection the instrument
    // closed, or left half-read, must not carry over into the next one.
    manager->clearConnectionCache();
}

void HttpClient::Private::finishCurrent()
{
    if (pending.isEmpty() || pending.first().finished)
        return;
    pending.first().finished = true;
    const int id = pending.first().id;
    batchEndedInHandler = false;

    QPointer<HttpClient> self(q);
    emit q->requestFinished(id, false);
    if (!self || batchEndedInHandler)
        return;

    pending.removeFirst();
    running = false;
    if (pending.isEmpty())
        emit q->done(false);
    else
        startNext();
}

void HttpClient::Private::failCurrent(Error failure, const QString &text)
{
    dropReply();
    if (pending.isEmpty() || pending.first().finished)
        return;
    error = failure;
    errorString = text;
    body.clear();
    pending.first().finished = true;
    const int id = pending.first().id;
    batchEndedInHandler = false;

    QPointer<HttpClient> self(q);
    emit q->requestFinished(id, true);
    if (!self || batchEndedInHandler)
        return;
    // Commands queued so far, even from the handler above, go with the batch.
    pending.clear();
    running = false;
    emit q->done(true);
}

// abort() from a requestFinished() handler: the current command has already
// ended, so only the rest of the queue goes, and the batch ends here.
void HttpClient::Private::endBatchFromHandler()
{
    batchEndedInHandler = true;
    error = Aborted;
    errorString = QStringLiteral("Request aborted");
    pending.clear();
    running = false;
    emit q->done(true);
}
