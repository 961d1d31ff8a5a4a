#include "sim/dxu_sim_server.h"

#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_requests.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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

DxuSimServer::DxuSimServer(QObject *parent) : QObject(parent), server(new QTcpServer(this))
{
    connect(server, &QTcpServer::newConnection, this, &DxuSimServer::acceptConnections);
}

DxuSimServer::~DxuSimServer() { stop(); }

bool DxuSimServer::start(const QHostAddress &address, quint16 port)
{
    stop();
    return server->listen(address, port);
}

void DxuSimServer::stop()
{
    server->close();
    // Open connections (a silent instrument keeps them) end with the server.
    const QList<QTcpSocket *> sockets = findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

bool DxuSimServer::isListening() const { return server->isListening(); }

QString DxuSimServer::errorString() const { return server->errorString(); }

void DxuSimServer::clearLog()
{
    targets.clear();
    lines.clear();
}

void DxuSimServer::acceptConnections()
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    }
}

void DxuSimServer::readRequest(QTcpSocket *socket)
{
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
