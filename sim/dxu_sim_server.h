#pragma once

#include "sim/dxu_sim_state.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <optional>

class QTcpServer;
class QTcpSocket;
class QSocketNotifier;
class QTimer;

// One simulated instrument's web server on one address and port. It answers
// each GET with a plain HTTP/1.0 reply (Content-Length, Connection: close)
// and keeps the instrument's state in memory, so what the panel sent can be
// read back from state() and requestLog().
class DxuSimServer : public QObject
{
    Q_OBJECT
public:
    explicit DxuSimServer(QObject *parent = nullptr);
    ~DxuSimServer() override;

    bool start(const QHostAddress &address, quint16 port = 80);
    void stop();
    bool isListening() const;
    QString errorString() const;

    DxuSimState state() const { return instrument; }
    void setState(const DxuSimState &state) { instrument = state; }
    int model() const { return modelNumber; }
    void setModel(int model) { modelNumber = model == 2 ? 2 : 3; }
    // A silent instrument accepts connections and reads requests but never
    // answers; it still logs them and changes no state.
    void setSilent(bool silent) { silentMode = silent; }
    bool isSilent() const { return silentMode; }
    // A connection that sends nothing for this long (60 s by default) is
    // closed, whether its request is still to come or it waits on a silent
    // instrument.
    void setIdleTimeout(int milliseconds) { idleMs = qMax(1, milliseconds); }
    // Every answer goes out this many milliseconds after its request came in.
    void setReplyDelay(int milliseconds) { delayMs = qMax(0, milliseconds); }
    int replyDelay() const { return delayMs; }
    // An instrument that refuses: every request is answered with this status
    // (400 or above) and a short error page, and changes nothing; 0 answers
    // normally again.
    void setFailureStatus(int status) { failureStatus = status; }
    // A web server that is not the instrument's (or a broken firmware):
    // every GET is answered 200 with this body in place of the page, and
    // changes nothing; std::nullopt answers normally again.
    void setForeignBody(std::optional<QByteArray> body) { foreignBody = std::move(body); }

    // The request targets received, in order ("/sg_run.shtml?reset1=1"),
    // and the whole request lines ("GET /sg_run.shtml?reset1=1 HTTP/1.1"):
    // the newest logLength() of them, so that a server left running keeps
    // its memory bounded; requestCount() counts them all.
    QStringList requestLog() const { return targets; }
    QStringList requestLines() const { return lines; }
    int requestCount() const { return received; }
    static constexpr int DefaultLogLength = 1000;
    int logLength() const { return maxLogLines; }
    void setLogLength(int length);
    void clearLog();

signals:
    void requestReceived(const QString &target);
    // One line per request: "GET /path -> what was done (status)".
    void requestHandled(const QString &summary);

private:
    void acceptConnections();
    void acceptOnUnix();
    void serveConnection(QTcpSocket *socket);
    void pauseAccepting(QAbstractSocket::SocketError error);
    void resumeAccepting();
    void readRequest(QTcpSocket *socket);
    void handleRequest(QTcpSocket *socket, const QByteArray &head);
    void reply(QTcpSocket *socket, int status, const QByteArray &body);

    QTcpServer *server;
    DxuSimState instrument;
    int modelNumber = 3;
    bool silentMode = false;
    int delayMs = 0;
    int failureStatus = 0;
    std::optional<QByteArray> foreignBody;
    QStringList targets;
    QStringList lines;
    int received = 0;
    int maxLogLines = DefaultLogLength;
    int idleMs = 60000;
    QTimer *acceptRetry;
    bool acceptPaused = false;
    QSocketNotifier *acceptNotifier = nullptr;
};

// Closes at once every connection that is a direct child of owner.
void abortConnections(QObject *owner);

// Drops the oldest lines of a log beyond its length.
inline void keepNewest(QStringList &log, int length)
{
    if (log.size() > length)
        log.remove(0, log.size() - length);
}
