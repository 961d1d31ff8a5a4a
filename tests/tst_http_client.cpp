// The queued-command HTTP client against small servers on 127.0.0.21-.29,
// port 80, whose answers each case chooses: order and signals of a batch,
// failures that drop the queue, abort, replies with error statuses, hostile
// host strings, oversized and endless bodies, silent servers, and the exact
// request line on the wire.
#include "support/test_support.h"

#include "device/http_client.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const char *const kServerA = "127.0.0.21";
const char *const kServerB = "127.0.0.22";
const char *const kNobodyListens = "127.0.0.29";

QByteArray answer(const QByteArray &status, const QByteArray &body)
{
    return "HTTP/1.0 " + status +
           "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// A server that records each request head and answers as the case says.
class FixtureServer : public QObject
{
    Q_OBJECT
public:
    using Responder = std::function<void(QTcpSocket *, const QByteArray &head)>;

    bool listen(const char *address, quint16 port = 80)
    {
        connect(&server, &QTcpServer::newConnection, this, &FixtureServer::accept);
        return server.listen(QHostAddress(QString::fromLatin1(address)), port);
    }

    // Answers every request with this status and body, then closes.
    void answerWith(const QByteArray &status, const QByteArray &body)
    {
        respond = [status, body](QTcpSocket *socket, const QByteArray &) {
            socket->write(answer(status, body));
            socket->disconnectFromHost();
        };
    }

    Responder respond = [](QTcpSocket *, const QByteArray &) {}; // silent
    QList<QByteArray> heads;
    int connections = 0;
    int disconnects = 0;

private:
    void accept()
    {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            ++connections;
            connect(socket, &QTcpSocket::disconnected, this, [this] { ++disconnects; });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
                const qsizetype end = buffer.indexOf("\r\n\r\n");
                if (end < 0) {
                    socket->setProperty("buffer", buffer);
                    return;
                }
                socket->setProperty("buffer", buffer.mid(end + 4));
                heads.append(buffer.left(end));
                respond(socket, buffer.left(end));
            });
        }
    }

    QTcpServer server;
};

// Every signal of one client, in the order it came, as text.
struct SignalTrace
{
    explicit SignalTrace(HttpClient *client)
    {
        QObject::connect(client, &HttpClient::requestStarted, client,
                         [this](int id) { events << QStringLiteral("started %1").arg(id); });
        QObject::connect(client, &HttpClient::requestFinished, client, [this](int id, bool e) {
            events << QStringLiteral("finished %1 %2").arg(id).arg(e);
        });
        QObject::connect(client, &HttpClient::done, client,
                         [this](bool e) { events << QStringLiteral("done %1").arg(e); });
    }
    int doneCount() const { return events.filter(QStringLiteral("done")).size(); }
    QStringList events;
};

} // namespace

class HttpClientTest : public QObject
{
    Q_OBJECT

private slots:
    void batchRunsInOrderWithOneDone();
    void nothingStartsInsideTheQueueingCall();
    void commandQueuedWhileRunningPostponesDone();
    void bodyBufferIsEmptiedForEveryCommand();
    void refusedConnectionDropsTheQueue();
    void closedWithoutAnswerIsUnexpectedClose();
    void truncatedBodyIsWrongContentLength();
    void abortEndsTheBatchSynchronously();
    void abortFromRequestFinishedEndsTheBatchOnce();
    void abortWithNothingQueuedDoesNothing();
    void errorStatusIsACompletedReply_data();
    void errorStatusIsACompletedReply();
    void hostileHostFailsAndReachesNobody_data();
    void hostileHostFailsAndReachesNobody();
    void oversizedBodyFails();
    void endlessBodyIsCutOff();
    void bodyAtTheLimitIsAccepted();
    void silentServerWaitsUntilAborted();
    void silentServerEndsAtTransferTimeout();
    void requestLineIsTheGivenPath_data();
    void requestLineIsTheGivenPath();
    void everyCommandUsesItsOwnConnection();
    void clientCanBeReleasedFromItsDoneHandler();
};

void HttpClientTest::batchRunsInOrderWithOneDone()
{
    FixtureServer a, b;
    QVERIFY(a.listen(kServerA));
    QVERIFY(b.listen(kServerB));
    a.answerWith("200 OK", "page A");
    b.answerWith("200 OK", "page B");

    HttpClient client;
    SignalTrace trace(&client);
    QByteArray bodyInDone;
    connect(&client, &HttpClient::done, this, [&] { bodyInDone = client.readAll(); });

    const int ids[] = {client.setHost(QString::fromLatin1(kServerA)), client.get("/first"),
                       client.setHost(QString::fromLatin1(kServerB)), client.get("/second"),
                       client.get("/third")};
    for (int i = 1; i < 5; ++i)
        QVERIFY(ids[i] > ids[i - 1]);

    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 1, 10000);
    QStringList expected;
    for (int id : ids)
        expected << QStringLiteral("started %1").arg(id) << QStringLiteral("finished %1 0").arg(id);
    expected << QStringLiteral("done 0");
    QCOMPARE(trace.events, expected);
    QCOMPARE(bodyInDone, QByteArray("page B")); // the last request's body only
    QCOMPARE(a.heads.size(), 1);
    QVERIFY(a.heads[0].startsWith("GET /first HTTP/1.1\r\n"));
    QCOMPARE(b.heads.size(), 2);
    QVERIFY(b.heads[0].startsWith("GET /second HTTP/1.1\r\n"));
    QVERIFY(b.heads[1].startsWith("GET /third HTTP/1.1\r\n"));
    QCOMPARE(client.error(), HttpClient::NoError);

    QTest::qWait(200);
    QCOMPARE(trace.doneCount(), 1);
}

void HttpClientTest::nothingStartsInsideTheQueueingCall()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.answerWith("200 OK", "ok");
    HttpClient client;
    SignalTrace trace(&client);
    const int hostId = client.setHost(QString::fromLatin1(kServerA));
    QCOMPARE(client.currentId(), hostId);
    client.get("/x");
    QVERIFY(trace.events.isEmpty());
    QVERIFY(client.hasPendingRequests());
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 1, 10000);
    QCOMPARE(client.currentId(), 0);
    QVERIFY(!client.hasPendingRequests());
}

void HttpClientTest::commandQueuedWhileRunningPostponesDone()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.answerWith("200 OK", "ok");
    HttpClient client;
    SignalTrace trace(&client);
    bool queuedMore = false;
    connect(&client, &HttpClient::requestFinished, this, [&](int, bool) {
        if (!queuedMore && a.heads.size() == 1) {
            queuedMore = true;
            client.get("/later");
        }
    });
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/first");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 1, 10000);
    QCOMPARE(a.heads.size(), 2);
    QCOMPARE(trace.events.last(), QStringLiteral("done 0"));

    // A batch queued from the done handler is a batch of its own.
    connect(&client, &HttpClient::done, this, [&](bool) {
        if (trace.doneCount() == 2)
            client.get("/after-done");
    });
    client.get("/second-batch");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 3, 10000);
    QCOMPARE(a.heads.size(), 4);
}

void HttpClientTest::bodyBufferIsEmptiedForEveryCommand()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.respond = [](QTcpSocket *socket, const QByteArray &head) {
        socket->write(answer("200 OK", head.startsWith("GET /full") ? "full body" : ""));
        socket->disconnectFromHost();
    };
    HttpClient client;
    QByteArray bodyInDone = "unset";
    connect(&client, &HttpClient::done, this, [&] { bodyInDone = client.readAll(); });
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/full");
    client.get("/empty");
    QTRY_VERIFY_WITH_TIMEOUT(bodyInDone != "unset", 10000);
    QCOMPARE(bodyInDone, QByteArray());

    // A trailing host selection empties it as well.
    bodyInDone = "unset";
    client.get("/full");
    client.setHost(QString::fromLatin1(kServerA));
    QTRY_VERIFY_WITH_TIMEOUT(bodyInDone != "unset", 10000);
    QCOMPARE(bodyInDone, QByteArray());
}

void HttpClientTest::refusedConnectionDropsTheQueue()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.answerWith("200 OK", "never asked");
    HttpClient client;
    SignalTrace trace(&client);
    const int hostId = client.setHost(QString::fromLatin1(kNobodyListens));
    const int failingId = client.get("/probe");
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/dropped");

    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 1, 10000);
    QCOMPARE(trace.events, QStringList({QStringLiteral("started %1").arg(hostId),
                                        QStringLiteral("finished %1 0").arg(hostId),
                                        QStringLiteral("started %1").arg(failingId),
                                        QStringLiteral("finished %1 1").arg(failingId),
                                        QStringLiteral("done 1")}));
    QCOMPARE(client.error(), HttpClient::ConnectionRefused);
    QCOMPARE(client.errorString(), QStringLiteral("Connection refused (or timed out)"));
    QVERIFY(!client.hasPendingRequests());
    QTest::qWait(200);
    QCOMPARE(a.connections, 0);
    QCOMPARE(trace.doneCount(), 1);

    // The client is usable again after a failed batch.
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/again");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 2, 10000);
    QCOMPARE(trace.events.last(), QStringLiteral("done 0"));
    QCOMPARE(client.readAll(), QByteArray("never asked"));
}

void HttpClientTest::closedWithoutAnswerIsUnexpectedClose()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.respond = [](QTcpSocket *socket, const QByteArray &) { socket->disconnectFromHost(); };
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/x");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), true);
    QCOMPARE(client.error(), HttpClient::UnexpectedClose);
    QCOMPARE(client.errorString(), QStringLiteral("Server closed connection unexpectedly"));
}

void HttpClientTest::truncatedBodyIsWrongContentLength()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.respond = [](QTcpSocket *socket, const QByteArray &) {
        socket->write("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b");
        socket->disconnectFromHost();
    };
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/x");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), true);
    QCOMPARE(client.errorString(), QStringLiteral("Wrong content length"));
}

void HttpClientTest::abortEndsTheBatchSynchronously()
{
    FixtureServer silent;
    QVERIFY(silent.listen(kServerA));
    HttpClient client;
    SignalTrace trace(&client);
    client.setHost(QString::fromLatin1(kServerA));
    const int waitingId = client.get("/waits");
    client.get("/queued");
    QTRY_COMPARE_WITH_TIMEOUT(silent.heads.size(), 1, 10000);

    client.abort();
    QCOMPARE(trace.doneCount(), 1);
    QCOMPARE(
        trace.events.mid(trace.events.size() - 2),
        QStringList({QStringLiteral("finished %1 1").arg(waitingId), QStringLiteral("done 1")}));
    QCOMPARE(client.error(), HttpClient::Aborted);
    QCOMPARE(client.errorString(), QStringLiteral("Request aborted"));
    QVERIFY(!client.hasPendingRequests());
    QCOMPARE(client.currentId(), 0);
    QTest::qWait(300);
    QCOMPARE(silent.heads.size(), 1); // the queued request never went out
    QCOMPARE(trace.doneCount(), 1);
}

void HttpClientTest::abortFromRequestFinishedEndsTheBatchOnce()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.answerWith("200 OK", "ok");
    HttpClient client;
    SignalTrace trace(&client);
    connect(&client, &HttpClient::requestFinished, &client, [&](int, bool) {
        if (a.heads.size() == 1)
            client.abort();
    });
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/first");
    client.get("/never");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 1, 10000);
    QCOMPARE(trace.events.last(), QStringLiteral("done 1"));
    QCOMPARE(client.errorString(), QStringLiteral("Request aborted"));
    QTest::qWait(300);
    QCOMPARE(a.heads.size(), 1);
    QCOMPARE(trace.doneCount(), 1);
}

void HttpClientTest::abortWithNothingQueuedDoesNothing()
{
    HttpClient client;
    SignalTrace trace(&client);
    client.abort();
    QVERIFY(trace.events.isEmpty());
    QCOMPARE(client.error(), HttpClient::NoError);
    QCOMPARE(client.errorString(), QStringLiteral("Unknown error"));
}

void HttpClientTest::errorStatusIsACompletedReply_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("404") << QByteArray("404 Not Found");
    QTest::newRow("500") << QByteArray("500 Internal Server Error");
    QTest::newRow("401") << QByteArray("401 Unauthorized");
    QTest::newRow("302") << QByteArray("302 Found\r\nLocation: http://127.0.0.22/elsewhere");
}

void HttpClientTest::errorStatusIsACompletedReply()
{
    QFETCH(QByteArray, status);
    FixtureServer a, redirectTarget;
    QVERIFY(a.listen(kServerA));
    QVERIFY(redirectTarget.listen(kServerB));
    a.answerWith(status, "<html>the instrument's error page</html>");
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/missing.shtml");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), false);
    QCOMPARE(client.readAll(), QByteArray("<html>the instrument's error page</html>"));
    QCOMPARE(redirectTarget.connections, 0); // redirects are not followed
}

void HttpClientTest::hostileHostFailsAndReachesNobody_data()
{
    QTest::addColumn<QString>("host");
    for (const char *host : {"127.0.0.1/evil",
                             "a@b",
                             "127.0.0.1:81",
                             "x y",
                             "127.0.0.1?x",
                             "127.0.0.21/evil",
                             "a@127.0.0.21",
                             "127.0.0.21:81",
                             "127.0.0.21:80",
                             "127.0.0.21 x",
                             "127.0.0.21?x",
                             "127.0.0.21#x",
                             "127.0.0.21\\x",
                             "127.0.0.21\r\nX: y",
                             "http://127.0.0.21",
                             "",
                             "-bad-.example",
                             "[127.0.0.21]",
                             "127.0.0.21%00",
                             "127.0.0.21\n",
                             "::1\n"})
        QTest::newRow(host) << QString::fromLatin1(host);
}

void HttpClientTest::hostileHostFailsAndReachesNobody()
{
    QFETCH(QString, host);
    FixtureServer port80, port81;
    QVERIFY(port80.listen(kServerA, 80));
    QVERIFY(port81.listen(kServerA, 81));
    port80.answerWith("200 OK", "reached");
    port81.answerWith("200 OK", "reached");

    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(host);
    client.get("/sg_hr_setup2.shtml");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), true);
    QCOMPARE(client.error(), HttpClient::HostNotFound);
    QCOMPARE(client.errorString(), QStringLiteral("Host %1 not found").arg(host));
    QTest::qWait(100);
    QCOMPARE(port80.connections + port81.connections, 0);
}

void HttpClientTest::oversizedBodyFails()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.answerWith("200 OK", QByteArray(64 * 1024 + 1, 'x'));
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/big");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), true);
    QCOMPARE(client.errorString(), QStringLiteral("HTTP request failed"));
    QVERIFY(client.readAll().isEmpty());
}

void HttpClientTest::endlessBodyIsCutOff()
{
    // No Content-Length: the body would only end when the server closes.
    const qint64 streamLimit = 64 * 1024 * 1024;
    qint64 written = 0;
    bool clientLeft = false;
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.respond = [&](QTcpSocket *socket, const QByteArray &) {
        socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n");
        auto *pump = new QTimer(socket);
        connect(socket, &QTcpSocket::disconnected, pump, [&, pump] {
            clientLeft = true;
            pump->stop();
        });
        connect(pump, &QTimer::timeout, socket, [&, socket, pump] {
            if (written >= streamLimit || socket->state() != QAbstractSocket::ConnectedState) {
                pump->stop();
                return;
            }
            if (socket->bytesToWrite() < 256 * 1024) {
                socket->write(QByteArray(32 * 1024, 'y'));
                written += 32 * 1024;
            }
        });
        pump->start(1);
    };
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/endless");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 20000);
    QCOMPARE(done[0][0].toBool(), true);
    QCOMPARE(client.errorString(), QStringLiteral("HTTP request failed"));
    QTRY_VERIFY_WITH_TIMEOUT(clientLeft, 10000);
    QVERIFY2(written < streamLimit, "the client kept reading past its limit");
}

void HttpClientTest::bodyAtTheLimitIsAccepted()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    const QByteArray body(64 * 1024, 'z');
    a.answerWith("200 OK", body);
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/exact");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), false);
    QCOMPARE(client.readAll(), body);

    // A smaller limit applies from the next request on.
    client.setMaxBodySize(1000);
    client.get("/exact");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    QCOMPARE(done[1][0].toBool(), true);
}

void HttpClientTest::silentServerWaitsUntilAborted()
{
    FixtureServer silent;
    QVERIFY(silent.listen(kServerA));
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/sg_hr_setup2.shtml");
    QTRY_COMPARE_WITH_TIMEOUT(silent.heads.size(), 1, 10000);
    QTest::qWait(1500);
    QCOMPARE(done.size(), 0);
    client.abort();
    QCOMPARE(done.size(), 1);
    QCOMPARE(done[0][0].toBool(), true);
}

void HttpClientTest::silentServerEndsAtTransferTimeout()
{
    FixtureServer silent;
    QVERIFY(silent.listen(kServerA));
    HttpClient client;
    client.setTransferTimeout(300);
    QSignalSpy done(&client, &HttpClient::done);
    QElapsedTimer clock;
    clock.start();
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/sg_hr_setup2.shtml");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
    QVERIFY(clock.elapsed() >= 250);
    QCOMPARE(done[0][0].toBool(), true);
    QCOMPARE(client.error(), HttpClient::ConnectionRefused);
    QCOMPARE(client.errorString(), QStringLiteral("Connection refused (or timed out)"));
}

void HttpClientTest::requestLineIsTheGivenPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("settings query")
        << QStringLiteral("/sg_hr_run.shtml?ts1=6&ts2=1&p1=1234.57&p2=0.2&pn1=40000&pn2=1"
                          "&ch1_st1=0&ch1_st2=1.5&ch1_et1=2e-05&ch1_et2=3.5&ch2_st1=0"
                          "&ch2_st2=0&ch2_et1=200&ch2_et2=10736&freq1=3&freq2=0"
                          "&sg1_run=1&sg2_run=1&save=1");
    QTest::newRow("reset") << QStringLiteral("/sg_run.shtml?reset1=1&reset2=1");
    QTest::newRow("threshold") << QStringLiteral("/tt.shtml?volt=2.5");
    QTest::newRow("setup") << QStringLiteral("/sg_hr_setup2.shtml");
    QTest::newRow("network write")
        << QStringLiteral("/network.shtml?mac=00:1b:c5:0a:0b:0c&dhcp=0&ip=127.0.0.50"
                          "&netmask=255.255.255.0&gw=127.0.0.1");
}

void HttpClientTest::requestLineIsTheGivenPath()
{
    QFETCH(QString, path);
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.answerWith("200 OK", "ok");
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    HttpRequestHeader header;
    header.path = path;
    client.request(header);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(a.heads.size(), 1);
    const QList<QByteArray> lines = a.heads[0].split('\n');
    QCOMPARE(lines[0], "GET " + path.toLatin1() + " HTTP/1.1\r");
    QVERIFY(a.heads[0].contains("\r\nHost: 127.0.0.21\r\n"));
    for (const char *field : {"Cookie", "Cache-Control", "Pragma", "Authorization"})
        QVERIFY2(!a.heads[0].contains(field), field);
}

void HttpClientTest::everyCommandUsesItsOwnConnection()
{
    // The server answers in HTTP/1.1 without closing, then drops the
    // connection a moment later: the next request must not be sent on it.
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.respond = [](QTcpSocket *socket, const QByteArray &) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        QTimer::singleShot(50, socket, [socket] { socket->disconnectFromHost(); });
    };
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerA));
    client.get("/one");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QTest::qWait(100);
    client.get("/two");
    client.get("/three");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    QCOMPARE(done[1][0].toBool(), false);
    QCOMPARE(a.heads.size(), 3);
    QCOMPARE(a.connections, 3);
}

void HttpClientTest::clientCanBeReleasedFromItsDoneHandler()
{
    FixtureServer a;
    QVERIFY(a.listen(kServerA));
    a.answerWith("200 OK", "ok");
    for (const char *host : {kServerA, kNobodyListens}) {
        QPointer<HttpClient> client = new HttpClient;
        QByteArray body = "unset";
        connect(client, &HttpClient::done, client, [&body, client](bool) {
            body = client->readAll();
            client->deleteLater();
        });
        client->setHost(QString::fromLatin1(host));
        client->get("/x");
        QTRY_VERIFY_WITH_TIMEOUT(client.isNull(), 10000);
        QCOMPARE(body, QByteArray(host == kServerA ? "ok" : ""));
    }

    // Released while a request is still out: nothing is reported afterwards.
    FixtureServer silent;
    QVERIFY(silent.listen(kServerB));
    auto *client = new HttpClient;
    client->setHost(QString::fromLatin1(kServerB));
    client->get("/x");
    QTRY_COMPARE_WITH_TIMEOUT(silent.heads.size(), 1, 10000);
    delete client;
    QTRY_COMPARE_WITH_TIMEOUT(silent.disconnects, 1, 10000);
}

DXU_TEST_MAIN(HttpClientTest)
#include "tst_http_client.moc"
