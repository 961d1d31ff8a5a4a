#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTcpServer>

#include <functional>

class QTcpSocket;
class ScpiDevice;

// SCPI over TCP (port 5025 by convention): lines in, replies out, for any
// number of clients at once, whose lines the one device carries out one at a
// time in the order they came in. Hostile clients are bounded: a line longer
// than MaxLineBytes is refused (-363) and its client disconnected; a client
// that does not read its replies is disconnected once MaxReplyBacklog bytes
// wait for it; beyond MaxClients new connections are closed at once. Only one
// line per client waits at a time; while it waits, the client's socket
// reads no further than MaxLineBytes.
class ScpiServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxLineBytes = 64 * 1024;
    static constexpr int MaxReplyBacklog = 256 * 1024;
    static constexpr int MaxClients = 64;

    explicit ScpiServer(ScpiDevice &device, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return server.errorString(); }
    quint16 port() const { return server.serverPort(); }

    // Told each line taken in, each reply and each client that comes or goes.
    void setLog(std::function<void(const QString &)> log) { logger = std::move(log); }

private:
    void accept();
    void take(QTcpSocket *client);
    void carryOut();
    void log(QTcpSocket *client, const QString &what) const;

    struct Pending
    {
        QPointer<QTcpSocket> client;
        QByteArray line;
    };

    ScpiDevice &device;
    QTcpServer server;
    QList<Pending> queue;
    QSet<QTcpSocket *> waiting;             // clients with a line in the queue
    QHash<QTcpSocket *, QByteArray> unread; // read from the socket, not yet a line
    int clients = 0;
    bool busy = false;
    std::function<void(const QString &)> logger;
};
