#pragma once

#include <QHostAddress>
#include <QObject>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

// A web server that misbehaves in one chosen way, as a broken or malicious
// instrument might: it reads each request and answers it wrongly. Where its
// answer carries a body, the body is a real setup page (with settings that
// differ from the panel's start values), so a reply taken for a good one
// would fill the panel.
class HostileWebServer : public QObject
{
    Q_OBJECT
public:
    enum Behaviour {
        EndlessBody,             // 200 without length, body streamed for ever
        EndlessHeaders,          // a header line every 100 ms, never an empty line
        OneBytePerSecond,        // a good reply, one byte a second
        ChunkedWithoutLastChunk, // chunked, the page in one chunk, then closed
        GzipBomb,                // gzip that would inflate to gigabytes
        ShortContentLength,      // announces more than it sends, then closes
        LongContentLength,       // sends more than it announces
        ResetMidBody,            // half the announced body, then a reset
        TenMegabytes,            // a 10 MB reply
        Http09Reply,             // the page without status line or headers
        BinaryGarbage,           // random bytes, then closed
        RedirectLoop,            // 302 to the same page, for ever
        CorruptGzip,             // gzip whose data is garbage
        MalformedChunkSize,      // chunked with a chunk size that is no number
        FastEndlessHeaders,      // header lines as fast as they can go, no end
        CloseWithoutAnswer,      // reads the request and closes
        EmptyPage,               // 200 with an empty body
        ForeignPage,             // 200 with some other server's page ("hello")
        HeadingOnly,             // 200 with the setup page's heading and nothing else
    };
    Q_ENUM(Behaviour)

    explicit HostileWebServer(Behaviour behaviour, QObject *parent = nullptr);
    ~HostileWebServer() override;

    static QList<Behaviour> allBehaviours();
    static QString name(Behaviour behaviour); // "gzip-bomb"
    static bool fromName(const QString &name, Behaviour &behaviour);

    bool start(const QHostAddress &address, quint16 port = 80);
    void stop();
    QString errorString() const;
    quint16 serverPort() const;
    void setBehaviour(Behaviour newBehaviour) { behaviour = newBehaviour; }
    // The request lines received, one per request, in order: the newest
    // DxuSimServer::DefaultLogLength of them.
    QStringList requestLines() const { return lines; }

signals:
    void requestHandled(const QString &summary);

private:
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket);
    void feed(QTcpSocket *socket);

    QTcpServer *server;
    Behaviour behaviour;
    QStringList lines;
};
