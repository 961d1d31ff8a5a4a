#include "scpi/scpi_server.h"

#include "scpi/scpi_device.h"

#include <QTcpSocket>

ScpiServer::ScpiServer(ScpiDevice &device, QObject *parent) : QObject(parent), device(device)
{
    connect(&server, &QTcpServer::newConnection, this, &ScpiServer::accept);
}

bool ScpiServer::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

void ScpiServer::log(QTcpSocket *client, const QString &what) const
{
    if (logger)
        logger(QStringLiteral("%1:%2 %3")
                   .arg(client->peerAddress().toString())
                   .arg(client->peerPort())
                   .arg(what));
}

void ScpiServer::accept()
{
    while (QTcpSocket *client = server.nextPendingConnection()) {
        if (clients >= MaxClients) {
            log(client, QStringLiteral("refused: %1 clients already").arg(MaxClients));
            client->abort();
            client->deleteLater();
            continue;
        }
        ++clients;
        log(client, QStringLiteral("connected"));
        // A full buffer stops the reading: the client waits in TCP.
        client->setReadBufferSize(MaxLineBytes + 2);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { take(client); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            log(client, QStringLiteral("disconnected"));
            waiting.remove(client);
            unread.remove(client);
            --clients;
            client->deleteLater();
        });
        take(client);
    }
}

// Queues the client's next line, unless one of its lines waits already.
// The socket's whole buffer moves into the client's own each time: a socket
// whose buffer was full reads on from the network only once it was emptied.
void ScpiServer::take(QTcpSocket *client)
{
    if (waiting.contains(client) || client->state() != QAbstractSocket::ConnectedState)
        return;
    QByteArray &input = unread[client];
    for (;;) {
        const qsizetype end = input.indexOf('\n');
        if (end > MaxLineBytes || (end < 0 && input.size() > MaxLineBytes)) {
            device.status().pushError(-363, QStringLiteral("a line longer than 64 KB"));
            log(client, QStringLiteral("disconnected: a line longer than 64 KB"));
            client->abort();
            return;
        }
        if (end >= 0) {
            QByteArray line = input.left(end);
            input.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            waiting.insert(client);
            queue << Pending{client, line};
            carryOut();
            return;
        }
        if (client->bytesAvailable() == 0)
            return;
        input += client->readAll();
    }
}

// The ethernet link waits for its replies in an event loop of its own, in
// which more lines may come in: they wait in the queue for their turn.
void ScpiServer::carryOut()
{
    if (busy)
        return;
    busy = true;
    while (!queue.isEmpty()) {
        const Pending pending = queue.takeFirst();
        QTcpSocket *client = pending.client;
        if (!client)
            continue;
        log(client, QStringLiteral("<< ") + QString::fromLatin1(pending.line.left(200)));
        const QByteArray reply = device.executeLine(pending.line);
        if (!pending.client)
            continue;
        waiting.remove(client);
        if (!reply.isEmpty()) {
            log(client, QStringLiteral(">> ") + QString::fromLatin1(reply.left(200)));
            client->write(reply + '\n');
            if (client->bytesToWrite() > MaxReplyBacklog) {
                log(client, QStringLiteral("disconnected: does not read its replies"));
                client->abort();
                continue;
            }
        }
        take(client);
    }
    busy = false;
}
