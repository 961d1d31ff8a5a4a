#include "sim/hostile_web_server.h"

#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_server.h"

#include <QMetaEnum>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace {

const qint64 kStreamChunk = 16 * 1024;
const qint64 kMaxQueued = 64 * 1024; // what a stream keeps waiting in the socket at most

// A page that is easy to tell from the panel's start values.
QByteArray distinctPage()
{
    DxuSimState state;
    state.p1 = 1234.57;
    state.p2 = 777;
    state.pn1 = 40000;
    state.ch1_et1 = 3.5;
    return setupPage(state, 3);
}

QByteArray head(const QByteArray &status, const QByteArray &fields)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\n" + fields + "\r\n";
}

QByteArray lengthField(qint64 length)
{
    return "Content-Length: " + QByteArray::number(length) + "\r\n";
}

// A gzip member whose deflate data is one literal zero followed by copies
// of 258 bytes at distance 1 in fixed Huffman codes (13 bits each): after a
// 3-byte start, every 13 bytes inflate to 2064 zero bytes.
QByteArray gzipBombStart()
{
    return QByteArray::fromHex("1f8b0800000000000003") + QByteArray::fromHex("631805");
}

QByteArray gzipBombUnit() { return QByteArray::fromHex("a360148c8251300a46c1281805"); }

// What a streaming behaviour sends after its first write: the next piece of
// at most kStreamChunk bytes once `sent` stream bytes went out, or nothing
// when the stream is over.
QByteArray streamPiece(HostileWebServer::Behaviour behaviour, qint64 sent, qint64 total)
{
    const qint64 size = total < 0 ? kStreamChunk : qMin(kStreamChunk, total - sent);
    if (size <= 0)
        return {};
    switch (behaviour) {
    case HostileWebServer::GzipBomb: {
        const QByteArray unit = gzipBombUnit();
        QByteArray piece;
        piece.reserve(size + unit.size());
        while (piece.size() < size)
            piece += unit;
        return piece.left(size); // 13-byte units, so the pieces join up
    }
    case HostileWebServer::FastEndlessHeaders: {
        QByteArray line = "X-Fill-" + QByteArray::number(sent) + ": " + QByteArray(100, 'f');
        return QByteArray(line + "\r\n").repeated(int(size / (line.size() + 2)) + 1);
    }
    default:
        return QByteArray(size, 'x');
    }
}

} // namespace

HostileWebServer::HostileWebServer(Behaviour behaviour, QObject *parent)
    : QObject(parent), server(new QTcpServer(this)), behaviour(behaviour)
{
    connect(server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
        }
    });
}

HostileWebServer::~HostileWebServer() { stop(); }

QList<HostileWebServer::Behaviour> HostileWebServer::allBehaviours()
{
    QList<Behaviour> all;
    const QMetaEnum names = QMetaEnum::fromType<Behaviour>();
    for (int i = 0; i < names.keyCount(); ++i)
        all << Behaviour(names.value(i));
    return all;
}

QString HostileWebServer::name(Behaviour behaviour)
{
    // "GzipBomb" -> "gzip-bomb"
    const QString key = QString::fromLatin1(QMetaEnum::fromType<Behaviour>().valueToKey(behaviour));
    QString text;
    for (const QChar c : key) {
        if (c.isUpper() && !text.isEmpty() && !text.endsWith(QLatin1Char('-')))
            text += QLatin1Char('-');
        text += c.toLower();
    }
    return text;
}

bool HostileWebServer::fromName(const QString &text, Behaviour &behaviour)
{
    for (Behaviour candidate : allBehaviours())
        if (name(candidate) == text) {
            behaviour = candidate;
            return true;
        }
    return false;
}

bool HostileWebServer::start(const QHostAddress &address, quint16 port)
{
    stop();
    return server->listen(address, port);
}

void HostileWebServer::stop()
{
    server->close();
    abortConnections(this);
}

QString HostileWebServer::errorString() const { return server->errorString(); }

quint16 HostileWebServer::serverPort() const { return server->serverPort(); }

void HostileWebServer::readRequest(QTcpSocket *socket)
{
    const QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    if (socket->property("answered").toBool())
        return;
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("buffer", buffer.right(64 * 1024));
        return;
    }
    socket->setProperty("buffer", QVariant());
    socket->setProperty("answered", true);
    const QString line = QString::fromLatin1(buffer.left(buffer.indexOf("\r\n")));
    lines << line;
    keepNewest(lines, DxuSimServer::DefaultLogLength);
    emit requestHandled(line + QStringLiteral(" -> ") + name(behaviour));
    answer(socket);
}

void HostileWebServer::answer(QTcpSocket *socket)
{
    const QByteArray page = distinctPage();
    QByteArray first;  // written at once
    qint64 total = 0;  // stream bytes that follow (-1: for ever)
    int tickMs = 0;    // write the stream on a timer instead
    bool close = true; // close once everything is out
    switch (behaviour) {
    case EndlessBody:
        first = head("200 OK", {}) + page;
        total = -1;
        break;
    case EndlessHeaders:
        first = "HTTP/1.1 200 OK\r\n";
        tickMs = 100;
        break;
    case OneBytePerSecond:
        socket->setProperty("slow", head("200 OK", lengthField(page.size())) + page);
        tickMs = 1000;
        break;
    case ChunkedWithoutLastChunk:
        first = head("200 OK", "Transfer-Encoding: chunked\r\n") +
                QByteArray::number(page.size(), 16) + "\r\n" + page + "\r\n";
        break;
    case GzipBomb:
        total = 16 * 1024 * 1024 - 13; // inflates to about 2.6 GB
        first = head("200 OK",
                     "Content-Encoding: gzip\r\n" + lengthField(gzipBombStart().size() + total)) +
                gzipBombStart();
        break;
    case ShortContentLength:
        first = head("200 OK", lengthField(page.size() + 1000)) + page;
        break;
    case LongContentLength:
        first = head("200 OK", lengthField(page.size() / 2)) + page;
        break;
    case ResetMidBody:
        first = head("200 OK", lengthField(page.size())) + page.left(page.size() / 2);
        close = false;
        QTimer::singleShot(100, socket, [socket] {
#ifdef Q_OS_UNIX
            // A linger time of zero makes the close a reset.
            const struct linger reset = {1, 0};
            ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                         sizeof reset);
#endif
            socket->abort();
        });
        break;
    case TenMegabytes:
        first = head("200 OK", lengthField(10 * 1024 * 1024)) + page;
        total = 10 * 1024 * 1024 - page.size();
        break;
    case Http09Reply:
        first = page;
        break;
    case EmptyPage:
        first = head("200 OK", lengthField(0));
        break;
    case ForeignPage:
        first = head("200 OK", lengthField(5)) + "hello";
        break;
    case HeadingOnly:
        first = head("200 OK", {}) + "<h1>Human Readable setup</h1>";
        break;
    case BinaryGarbage: {
        QRandomGenerator random(1234);
        first.resize(4096);
        random.fillRange(reinterpret_cast<quint32 *>(first.data()), first.size() / 4);
        break;
    }
    case RedirectLoop:
        first = "HTTP/1.1 302 Found\r\nLocation: http://" +
                socket->localAddress().toString().toLatin1() +
                "/sg_hr_setup2.shtml\r\nContent-Length: 0\r\n\r\n";
        break;
    case CorruptGzip: {
        const QByteArray body = QByteArray::fromHex("1f8b0800000000000003") + page;
        first = head("200 OK", "Content-Encoding: gzip\r\n" + lengthField(body.size())) + body;
        break;
    }
    case MalformedChunkSize:
        first =
            head("200 OK", "Transfer-Encoding: chunked\r\n") + "zz\r\n" + page + "\r\n0\r\n\r\n";
        break;
    case FastEndlessHeaders:
        first = "HTTP/1.1 200 OK\r\n";
        total = -1;
        break;
    case CloseWithoutAnswer:
        break;
    }
    socket->setProperty("total", total);
    socket->setProperty("sent", qint64(0));
    socket->write(first);
    if (tickMs > 0) {
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] {
            const QByteArray slow = socket->property("slow").toByteArray();
            const qint64 sent = socket->property("sent").toLongLong();
            if (slow.isEmpty()) {
                socket->write("X-Pad-" + QByteArray::number(sent) + ": wait\r\n");
            } else if (sent < slow.size()) {
                socket->write(slow.mid(sent, 1));
            } else {
                socket->disconnectFromHost();
                return;
            }
            socket->setProperty("sent", sent + 1);
        });
        timer->start(tickMs);
    } else if (total != 0) {
        feed(socket);
    } else if (close) {
        socket->disconnectFromHost();
    }
}

// Keeps a stream going while the peer reads it, never queueing much.
void HostileWebServer::feed(QTcpSocket *socket)
{
    const qint64 total = socket->property("total").toLongLong();
    if (total == 0 || socket->state() != QAbstractSocket::ConnectedState)
        return;
    qint64 sent = socket->property("sent").toLongLong();
    while (socket->bytesToWrite() < kMaxQueued) {
        const QByteArray piece = streamPiece(behaviour, sent, total);
        if (piece.isEmpty()) {
            socket->disconnectFromHost();
            break;
        }
        socket->write(piece);
        sent += piece.size();
    }
    socket->setProperty("sent", sent);
}
