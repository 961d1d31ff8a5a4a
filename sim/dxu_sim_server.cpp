#include "sim/dxu_sim_server.h"

#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_requests.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// A request head longer than this is not from the panel.
const int kMaxHeadBytes = 16 * 1024;

QByteArray statusText(int status)
{
    switch (status) {
    case 200:
        return "200 OK";
    case 400:
        return "400 Bad Request";
    case 404:
        return "404 Not Found";
    case 405:
        return "405 Method Not Allowed";
    case 431:
        return "431 Request Header Fields Too Large";
    case 500:
        return "500 Internal Server Error";
    }
    return QByteArray::number(status);
}

qsizetype headEnd(const QByteArray &buffer, int &separatorLength)
{
    qsizetype end = buffer.indexOf("\r\n\r\n");
    separatorLength = 4;
    const qsizetype bare = buffer.indexOf("\n\n");
    if (bare >= 0 && (end < 0 || bare < end)) {
        end = bare;
        separatorLength = 2;
    }
    return end;
}

} // namespace

DxuSimServer::DxuSimServer(QObject *parent)
    : QObject(parent), server(new QTcpServer(this)), acceptRetry(new QTimer(this))
{
    connect(server, &QTcpServer::newConnection, this, &DxuSimServer::acceptConnections);
    connect(server, &QTcpServer::acceptError, this, &DxuSimServer::pauseAccepting);
    acceptRetry->setSingleShot(true);
    connect(acceptRetry, &QTimer::timeout, this, &DxuSimServer::resumeAccepting);
}

DxuSimServer::~DxuSimServer() { stop(); }

bool DxuSimServer::start(const QHostAddress &address, quint16 port)
{
    stop();
    if (!server->listen(address, port))
        return false;
#ifdef Q_OS_UNIX
    // Qt's own accept tries again at once when descriptors run out (it says
    // so only if no other accept error came first), which spins a core; on
    // Unix the server accepts by itself.
    server->pauseAccepting();
    acceptNotifier = new QSocketNotifier(server->socketDescriptor(), QSocketNotifier::Read, this);
    connect(acceptNotifier, &QSocketNotifier::activated, this, &DxuSimServer::acceptOnUnix);
#endif
    return true;
}

void DxuSimServer::stop()
{
    delete acceptNotifier;
    acceptNotifier = nullptr;
    acceptPaused = false;
    acceptRetry->stop();
    server->close();
    // Open connections (a silent instrument keeps them) end with the server.
    abortConnections(this);
}

void abortConnections(QObject *owner)
{
    const QList<QTcpSocket *> sockets =
        owner->findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(owner);
        socket->abort();
        socket->deleteLater();
    }
}

bool DxuSimServer::isListening() const { return server->isListening(); }

QString DxuSimServer::errorString() const { return server->errorString(); }

void DxuSimServer::setLogLength(int length)
{
    maxLogLines = qMax(1, length);
    keepNewest(targets, maxLogLines);
    keepNewest(lines, maxLogLines);
}

void DxuSimServer::clearLog()
{
    targets.clear();
    lines.clear();
    received = 0;
}

void DxuSimServer::acceptConnections()
{
    while (QTcpSocket *socket = server->nextPendingConnection())
        serveConnection(socket);
}

void DxuSimServer::acceptOnUnix()
{
#ifdef Q_OS_UNIX
    for (;;) {
        const int descriptor = ::accept(int(server->socketDescriptor()), nullptr, nullptr);
        if (descriptor < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                pauseAccepting(QAbstractSocket::SocketResourceError);
            return; // nothing waits, or the connection went before it was taken
        }
        ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
        auto *socket = new QTcpSocket(this);
        if (socket->setSocketDescriptor(descriptor)) {
            serveConnection(socket);
        } else {
            ::close(descriptor);
            delete socket;
        }
    }
#endif
}

void DxuSimServer::serveConnection(QTcpSocket *socket)
{
    socket->setParent(this);
    auto *idle = new QTimer(socket);
    idle->setObjectName(QStringLiteral("idle"));
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    idle->start(idleMs);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    connect(socket, &QObject::destroyed, this, &DxuSimServer::resumeAccepting);
}

// Out of file descriptors (EMFILE, ENFILE): the server has stopped accepting
// rather than try again at once, which would spin on the waiting connection.
// It starts again when one of its connections ends, or after a second when
// descriptors were freed elsewhere.
void DxuSimServer::pauseAccepting(QAbstractSocket::SocketError error)
{
    if (error != QAbstractSocket::SocketResourceError || !server->isListening())
        return;
    if (acceptNotifier)
        acceptNotifier->setEnabled(false);
    else
        server->pauseAccepting();
    acceptPaused = true;
    acceptRetry->start(1000);
    emit requestHandled(QStringLiteral("out of file descriptors: accepting again when one frees"));
}

void DxuSimServer::resumeAccepting()
{
    if (!acceptPaused)
        return;
    acceptPaused = false;
    acceptRetry->stop();
    if (acceptNotifier)
        acceptNotifier->setEnabled(true);
    else
        server->resumeAccepting();
}

void DxuSimServer::readRequest(QTcpSocket *socket)
{
    QTimer *idle = socket->findChild<QTimer *>(QStringLiteral("idle"));
    idle->start(idleMs);
    if (socket->property("handled").toBool()) {
        socket->readAll(); // one request per connection; the rest is ignored
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    int separatorLength = 0;
    const qsizetype end = headEnd(buffer, separatorLength);
    if (end < 0) {
        if (buffer.size() > kMaxHeadBytes) {
            socket->setProperty("handled", true);
            reply(socket, 431, QByteArray());
            return;
        }
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("handled", true);
    socket->setProperty("buffer", QVariant());
    if (!silentMode)
        idle->stop(); // the answer is on its way, the delay included
    handleRequest(socket, buffer.left(qMin<qsizetype>(end, kMaxHeadBytes)));
}

void DxuSimServer::handleRequest(QTcpSocket *socket, const QByteArray &head)
{
    const qsizetype lineEnd = head.indexOf('\n');
    const QByteArray requestLine = (lineEnd < 0 ? head : head.left(lineEnd)).trimmed();
    const QList<QByteArray> parts = requestLine.split(' ');
    const QString line = QString::fromLatin1(requestLine);
    if (parts.size() != 3 || !parts[1].startsWith('/') || !parts[2].startsWith("HTTP/")) {
        emit requestHandled(line + QStringLiteral(" -> malformed request (400)"));
        reply(socket, 400, QByteArray());
        return;
    }
    const QString target = QString::fromLatin1(parts[1]);
    lines << line;
    targets << target;
    ++received;
    keepNewest(lines, maxLogLines);
    keepNewest(targets, maxLogLines);
    emit requestReceived(target);

    const QString request = QString::fromLatin1(parts[0]) + QLatin1Char(' ') + target;
    if (silentMode) {
        emit requestHandled(request + QStringLiteral(" -> silent, no answer"));
        return;
    }
    if (parts[0] != "GET") {
        emit requestHandled(request + QStringLiteral(" -> method not allowed (405)"));
        reply(socket, 405, QByteArray());
        return;
    }
    if (failureStatus != 0) {
        emit requestHandled(
            QStringLiteral("%1 -> refused, nothing changed (%2)").arg(request).arg(failureStatus));
        reply(socket, failureStatus, "<html><body>Error</body></html>");
        return;
    }
    if (foreignBody) {
        emit requestHandled(request + QStringLiteral(" -> a foreign page (200)"));
        reply(socket, 200, *foreignBody);
        return;
    }
    const DxuSimAnswer answer = answerRequest(instrument, modelNumber, target);
    emit requestHandled(
        QStringLiteral("%1 -> %2 (%3)").arg(request, answer.summary).arg(answer.status));
    reply(socket, answer.status, answer.body);
}

void DxuSimServer::reply(QTcpSocket *socket, int status, const QByteArray &body)
{
    const QByteArray message =
        "HTTP/1.0 " + statusText(status) +
        "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    auto send = [socket, message] {
        socket->write(message);
        socket->disconnectFromHost();
    };
    if (delayMs == 0)
        send();
    else
        QTimer::singleShot(delayMs, socket, send);
}
