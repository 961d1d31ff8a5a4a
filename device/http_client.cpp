#include "device/http_client.h"

#include "device/http_reply_parser.h"

#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>

namespace {

const int kDefaultTransferTimeoutMs = 30000;
// A larger reply body ends the request as an error.
const qint64 kMaxBodySize = 64 * 1024;
const qint64 kSocketReadChunk = 16 * 1024;

// Ids count up across every client of the process, as the old client's did,
// so an id never names a command of another client.
int nextCommandId()
{
    static std::atomic<int> counter{0};
    return ++counter;
}

// Four decimal groups 0-255 without leading zeros ("127.0.0.1").
bool isDottedQuad(const QString &host)
{
    const QStringList groups = host.split(QLatin1Char('.'));
    if (groups.size() != 4)
        return false;
    for (const QString &group : groups) {
        bool ok = false;
        if (group.isEmpty() || group.size() > 3 || (group.size() > 1 && group.startsWith('0')) ||
            !std::all_of(group.begin(), group.end(),
                         [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }) ||
            group.toInt(&ok) > 255 || !ok)
            return false;
    }
    return true;
}

// A host whose last label is a number ("1", "0x1f") is an IPv4 address to
// the resolver, which also reads "127.1", "2130706433", "0x7f.0.0.1" and
// "010.0.0.1" (octal: 8.0.0.1) as addresses. Such a host must be written as
// four plain decimal groups, or it names some other instrument.
bool isNumericHost(const QString &host)
{
    static const QRegularExpression number(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]+|0[xX][0-9A-Fa-f]*")));
    const QString bare = host.endsWith(QLatin1Char('.')) ? host.chopped(1) : host;
    return number.match(bare.section(QLatin1Char('.'), -1)).hasMatch();
}

// A host name of letters, digits and hyphens in dot-separated labels, an IPv4
// address in its plain form, or an IPv6 address (bare or in brackets).
// Anything else could carry a user, a port or a path into the URL and is
// refused.
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
    if (isNumericHost(host))
        return isDottedQuad(host);
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

// The request as it goes on the wire. "Connection: close" because every
// command has a connection of its own; "Accept-Encoding: identity" because
// the instrument's pages are read as they are, never decompressed.
QByteArray requestMessage(const QUrl &url, quint16 port)
{
    const QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority |
                                            QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (port != 80)
        host += ':' + QByteArray::number(port);
    return "GET " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nConnection: close\r\nAccept-Encoding: identity\r\n\r\n";
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
    void connectionEnded();
    void socketFailed(QAbstractSocket::SocketError socketError);
    void replyBroken(HttpReplyParser::Failure failure);
    void endFromConnection(Error failure, const QString &text);
    void dropConnection();
    void finishCurrent();
    void failCurrent(Error failure, const QString &text);
    void endBatchFromHandler();

    HttpClient *q;
    QTimer transferTimer;
    QList<Command> pending; // the first one is the current command
    bool running = false;   // the current command has started
    bool startScheduled = false;
    // Set when abort() ends the batch from a requestFinished() handler, so
    // the report under way neither goes on nor reports done() a second time.
    bool batchEndedInHandler = false;
    QTcpSocket *socket = nullptr; // the current request's connection
    bool requestSent = false;
    HttpReplyParser parser;
    QByteArray body;
    int statusCode = 0;
    QString host;
    quint16 port = 80;
    Error error = NoError;
    QString errorString = QStringLiteral("Unknown error");
    int transferTimeoutMs = kDefaultTransferTimeoutMs;
};

HttpClient::HttpClient(QObject *parent) : QObject(parent), d(new Private(this))
{
    d->transferTimer.setSingleShot(true);
    connect(&d->transferTimer, &QTimer::timeout, this, [this] {
        d->failCurrent(TimedOut, d->requestSent ? QStringLiteral("Request timed out")
                                                : QStringLiteral("Connection timed out"));
    });
}

HttpClient::~HttpClient()
{
    d->dropConnection();
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

int HttpClient::statusCode() const { return d->statusCode; }

int HttpClient::currentId() const { return d->pending.isEmpty() ? 0 : d->pending.first().id; }

void HttpClient::setTransferTimeout(int milliseconds)
{
    d->transferTimeoutMs = qMax(1, milliseconds);
}

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
    if (!url.isValid() || url.host().isEmpty()) {
        failCurrent(UnknownError, QStringLiteral("HTTP request failed"));
        return;
    }

    // One connection per command, read here on the GUI thread: nothing is
    // sent again behind the caller's back, and dropping it closes it at once.
    parser = HttpReplyParser(kMaxBodySize);
    requestSent = false;
    socket = new QTcpSocket(q);
    // Read on every readyRead, so the socket never holds much.
    socket->setReadBufferSize(4 * kSocketReadChunk);
    const QByteArray message = requestMessage(url, port);
    connect(socket, &QTcpSocket::connected, q, [this, message] {
        requestSent = true;
        socket->write(message);
    });
    connect(socket, &QTcpSocket::readyRead, q, [this] { takeReplyData(); });
    connect(socket, &QTcpSocket::disconnected, q, [this] { connectionEnded(); });
    connect(socket, &QTcpSocket::errorOccurred, q,
            [this](QAbstractSocket::SocketError socketError) { socketFailed(socketError); });
    const QHostAddress address(url.host());
    if (address.isNull())
        socket->connectToHost(url.host(), port);
    else
        socket->connectToHost(address, port);
    transferTimer.start(transferTimeoutMs);
}

void HttpClient::Private::takeReplyData()
{
    HttpReplyParser::Result result = HttpReplyParser::Result::Incomplete;
    while (socket && socket->bytesAvailable() > 0 && result != HttpReplyParser::Result::Failed)
        result = parser.feed(socket->read(kSocketReadChunk));
    if (result == HttpReplyParser::Result::Failed)
        replyBroken(parser.failure());
    else if (result == HttpReplyParser::Result::Complete)
        endFromConnection(NoError, QString());
}

void HttpClient::Private::connectionEnded()
{
    takeReplyData();
    if (!socket)
        return; // the reply was complete, or broken, before the close
    if (parser.finish() == HttpReplyParser::Result::Failed)
        replyBroken(parser.failure());
    else
        endFromConnection(NoError, QString());
}

void HttpClient::Private::socketFailed(QAbstractSocket::SocketError socketError)
{
    if (socketError == QAbstractSocket::HostNotFoundError)
        endFromConnection(HostNotFound, QStringLiteral("Host %1 not found").arg(host));
    else if (!requestSent)
        endFromConnection(ConnectionRefused, QStringLiteral("Connection refused (or timed out)"));
    else if (socketError == QAbstractSocket::RemoteHostClosedError)
        connectionEnded(); // a reset reads as a close: the reply's framing decides
    else
        endFromConnection(UnknownError, QStringLiteral("HTTP request failed"));
}

void HttpClient::Private::replyBroken(HttpReplyParser::Failure failure)
{
    using Failure = HttpReplyParser::Failure;
    switch (failure) {
    case Failure::ClosedEarly:
        endFromConnection(UnexpectedClose, QStringLiteral("Server closed connection unexpectedly"));
        break;
    case Failure::InvalidHeader:
        endFromConnection(InvalidResponseHeader, QStringLiteral("Invalid HTTP response header"));
        break;
    case Failure::InvalidChunkedBody:
        endFromConnection(WrongContentLength, QStringLiteral("Invalid HTTP chunked body"));
        break;
    case Failure::WrongLength:
        endFromConnection(WrongContentLength, QStringLiteral("Wrong content length"));
        break;
    default:
        endFromConnection(UnknownError, QStringLiteral("HTTP request failed"));
        break;
    }
}

// The connection's outcome, reported from the event loop and never from
// inside the socket's own signal, so that a handler may delete the client.
void HttpClient::Private::endFromConnection(Error failure, const QString &text)
{
    const int id = pending.first().id;
    const int status = failure == NoError ? parser.statusCode() : 0;
    const QByteArray replyBody = failure == NoError ? parser.takeBody() : QByteArray();
    dropConnection();
    QMetaObject::invokeMethod(
        q,
        [this, id, failure, text, status, replyBody] {
            if (pending.isEmpty() || pending.first().id != id || pending.first().finished)
                return; // aborted meanwhile
            if (failure != NoError) {
                failCurrent(failure, text);
                return;
            }
            statusCode = status;
            body = replyBody;
            finishCurrent();
        },
        Qt::QueuedConnection);
}

// Never blocks: the connection is closed at once and nothing more is read.
void HttpClient::Private::dropConnection()
{
    transferTimer.stop();
    if (!socket)
        return;
    QTcpSocket *finished = socket;
    socket = nullptr;
    QObject::disconnect(finished, nullptr, q, nullptr);
    finished->abort();
    finished->deleteLater();
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
    dropConnection();
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
