// The queued-command HTTP client against small servers on 127.0.0.21-.29,
// port 80, whose answers each case chooses: order and signals of a batch,
// failures that drop the queue, a misbehaving server (HostileWebServer), abort,
// replies with error statuses, hostile host strings, and the request on the wire;
// the request watchdog that gives up on a silent server.
#include "support/test_support.h"

#include "device/http_client.h"
#include "device/request_watchdog.h"
#include "sim/hostile_web_server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

using Behaviour = HostileWebServer::Behaviour;

namespace {

const QString kServerA = "127.0.0.21";
const QString kServerB = "127.0.0.22";
const QString kNobodyListens = "127.0.0.29";
const QByteArray kEcho = "echo"; // answers 200 with the request's path as the body
const QString kRefused = "Connection refused (or timed out)";
const QString kTimedOut = "Request timed out";

// Resident memory of this process in kB (0 where /proc is missing).
qint64 residentKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0 ? 0 : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().toLongLong();
}

QByteArray answer(const QByteArray &status, const QByteArray &body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

// A server that records each request head, sends this reply to each and
// then closes the connection or leaves it open. An empty reply that stays
// open is a silent server.
class FixtureServer : public QObject
{
public:
    explicit FixtureServer(const QString &address, const QByteArray &reply = kEcho,
                           bool close = true, quint16 port = 80)
    {
        connect(&server, &QTcpServer::newConnection, this, [=] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++disconnects; });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, this, [=] {
                    const QByteArray buffer =
                        socket->property("b").toByteArray() + socket->readAll();
                    const qsizetype end = buffer.indexOf("\r\n\r\n");
                    socket->setProperty("b", end < 0 ? buffer : buffer.mid(end + 4));
                    if (end < 0)
                        return;
                    heads << buffer.left(end);
                    const QByteArray path = buffer.mid(4, buffer.indexOf(' ', 4) - 4);
                    socket->write(reply == kEcho ? answer("200 OK", path) : reply);
                    if (close)
                        socket->disconnectFromHost();
                });
            }
        });
        listening = server.listen(QHostAddress(address), port);
    }

    QTcpServer server;
    bool listening = false;
    QList<QByteArray> heads;
    int connections = 0;
    int disconnects = 0;
};

// Every signal of one client, in the order it came, as text.
struct SignalTrace
{
    explicit SignalTrace(HttpClient *client)
    {
        QObject::connect(client, &HttpClient::requestStarted, client,
                         [this](int id) { events << QString("started %1").arg(id); });
        QObject::connect(client, &HttpClient::requestFinished, client, [this](int id, bool e) {
            events << QString("finished %1 %2").arg(id).arg(e);
        });
        QObject::connect(client, &HttpClient::done, client,
                         [this](bool e) { events << QString("done %1").arg(e); });
    }
    int doneCount() const { return events.filter("done").size(); }
    QStringList events;
};

} // namespace

class HttpClientTest : public QObject
{
    Q_OBJECT

private slots:
    void batchRunsInOrderWithOneDone();
    void replyEndsItsCommand_data();
    void replyEndsItsCommand();
    void abortEndsTheBatchAtOnce();
    void clientCanBeReleasedFromItsDoneHandler();
    void watchdogGivesUpASilentRequest();
};

void HttpClientTest::batchRunsInOrderWithOneDone()
{
    const QString run =
        "/sg_hr_run.shtml?ts1=6&ts2=1&p1=1234.57&p2=0.2&pn1=40000&pn2=1&ch1_st1=0&ch1_st2=1.5"
        "&ch1_et1=2e-05&ch1_et2=3.5&ch2_st1=0&ch2_st2=0&ch2_et1=200&ch2_et2=10736&freq1=3"
        "&freq2=0&sg1_run=1&sg2_run=1&save=1";
    const QString network = "/network.shtml?mac=00:1b:c5:0a:0b:0c&dhcp=0&ip=127.0.0.50&netmask=255."
                            "255.255.0&gw=127.0.0.1";
    // B answers in HTTP/1.1 and leaves the connection open: each command must
    // still get a connection of its own.
    FixtureServer a(kServerA), b(kServerB, kEcho, false);
    QVERIFY(a.listening && b.listening);
    HttpClient client;
    SignalTrace trace(&client);
    QList<int> ids = {client.setHost(kServerA), client.get("/first"), client.setHost(kServerB),
                      client.get(network), client.get(run)};
    QVERIFY(trace.events.isEmpty()); // nothing starts inside the queueing call
    QVERIFY(std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<int>()) == ids.end());
    // A command queued while the batch runs extends it; one queued from
    // done() starts a batch of its own.
    connect(&client, &HttpClient::requestFinished, this, [&](int id) {
        if (id == ids[4])
            ids << client.get("/later");
    });
    QList<QByteArray> bodiesInDone;
    connect(&client, &HttpClient::done, this, [&] {
        bodiesInDone << client.readAll();
        if (bodiesInDone.size() == 1)
            ids << client.get("/own-batch");
    });

    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 2, 10000);
    QStringList expected;
    for (int id : ids) {
        expected << QString("started %1").arg(id) << QString("finished %1 0").arg(id);
        if (id == ids[5] || id == ids[6])
            expected << "done 0";
    }
    QCOMPARE(trace.events, expected);
    QCOMPARE(bodiesInDone, QList<QByteArray>({"/later", "/own-batch"})); // the last body only
    QCOMPARE(a.heads.size(), 1);
    QVERIFY(a.heads[0].startsWith("GET /first HTTP/1.1\r\n"));
    QVERIFY(a.heads[0].contains("\r\nHost: 127.0.0.21\r\n"));
    QCOMPARE(b.heads.size(), 4);
    QCOMPARE(b.connections, 4);
    QCOMPARE(b.heads[0].left(b.heads[0].indexOf("\r\n")),
             "GET " + network.toLatin1() + " HTTP/1.1");
    QCOMPARE(b.heads[1].left(b.heads[1].indexOf("\r\n")), "GET " + run.toLatin1() + " HTTP/1.1");
    for (const QByteArray &head : a.heads + b.heads) {
        // Nothing compressed, and a connection for this command only.
        QVERIFY(head.endsWith("\r\nConnection: close\r\nAccept-Encoding: identity"));
        for (const char *field : {"Cookie", "Cache-Control", "Pragma", "Authorization", "gzip"})
            QVERIFY2(!head.contains(field), field);
    }
    QTest::qWait(200);
    QCOMPARE(trace.doneCount(), 2);
}

void HttpClientTest::replyEndsItsCommand_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("close");
    QTest::addColumn<int>("hostile");   // a HostileWebServer::Behaviour answers instead; -1: none
    QTest::addColumn<QString>("error"); // empty: a completed reply
    // Any status but a redirect is a completed reply.
    for (const char *status : {"404 Not Found", "500 Internal Server Error", "401 Unauthorized"})
        QTest::newRow(status) << kServerA << answer(status, "<html>error page</html>") << true << -1
                              << QString();
    // An interim reply before the answer; obsolete forms, read as meant: the
    // identity coding, a folded field.
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    QTest::newRow("interim") << kServerA
                             << "HTTP/1.1 100 Continue\r\n\r\n" + answer("200 OK", "<p>") << true
                             << -1 << QString();
    QTest::newRow("identity") << kServerA << ok + "Transfer-Encoding: identity\r\n\r\n<p>" << true
                              << -1 << QString();
    QTest::newRow("folded") << kServerA << ok + "X: a\r\n b\r\nContent-Length:\r\n\t3\r\n\r\n<p>"
                            << true << -1 << QString();
    QTest::newRow("200 at the size limit")
        << kServerA << answer("200 OK", QByteArray(64 * 1024, 'z')) << true << -1 << QString();
    // A failure drops the rest of the queue.
    QTest::newRow("refused") << kNobodyListens << QByteArray() << false << -1 << kRefused;
    QTest::newRow("silent until the transfer time-out")
        << kServerA << QByteArray() << false << -1 << kTimedOut;
    // Left open: only the announced length can end it.
    QTest::newRow("announced oversized")
        << kServerA << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\nten bytes.")
        << false << -1 << "HTTP request failed";
    // A host other than a plain address fails at once and reaches nobody.
    for (const char *host : {"127.0.0.21/evil", "a@127.0.0.21", "127.0.0.21:81", "127.0.0.21:80",
                             "127.0.0.21 x", "127.0.0.21?x", "127.0.0.21#x", "127.0.0.21\r\nX: y",
                             "http://127.0.0.21", "", "[127.0.0.21]", "127.0.0.21\n",
                             // Other numeric forms of an address (all 127.0.0.21 to a resolver).
                             "0x7f.0.0.0x15", "127.21", "2130706453", "0177.0.0.025", "127.0.0.21.",
                             "127.000.000.021", "127.0.0.256"})
        QTest::newRow(host) << QString(host) << kEcho << true << -1
                            << QString("Host %1 not found").arg(host);
    // Each misbehaviour ends within the time-out, with bounded memory.
    using H = HostileWebServer;
    const std::pair<QString, QList<Behaviour>> cases[] = {
        // Over a limit, or not a plain page.
        {"HTTP request failed",
         {H::EndlessBody, H::GzipBomb, H::TenMegabytes, H::RedirectLoop, H::CorruptGzip}},
        {kTimedOut, {H::EndlessHeaders, H::OneBytePerSecond}},
        {"Invalid HTTP chunked body", {H::ChunkedWithoutLastChunk, H::MalformedChunkSize}},
        {"Wrong content length", {H::ShortContentLength, H::ResetMidBody}},
        {"Invalid HTTP response header", {H::Http09Reply, H::BinaryGarbage, H::FastEndlessHeaders}},
        {"Server closed connection unexpectedly", {H::CloseWithoutAnswer}},
        // Complete replies: what follows the announced half, in the same
        // segment, is dropped; the others are for the panel to judge.
        {QString(), {H::LongContentLength, H::EmptyPage, H::ForeignPage, H::HeadingOnly}}};
    qsizetype rows = 0;
    for (const auto &[error, behaviours] : cases) {
        rows += behaviours.size();
        for (Behaviour behaviour : behaviours)
            QTest::newRow(qPrintable(H::name(behaviour)))
                << kServerA << QByteArray() << false << int(behaviour) << error;
    }
    QCOMPARE(rows, H::allBehaviours().size());
}

void HttpClientTest::replyEndsItsCommand()
{
    QFETCH(QString, host);
    QFETCH(QByteArray, reply);
    QFETCH(bool, close);
    QFETCH(int, hostile);
    QFETCH(QString, error);
    std::unique_ptr<FixtureServer> fixture;
    HostileWebServer misbehaving{Behaviour(qMax(hostile, 0))};
    if (hostile < 0)
        fixture = std::make_unique<FixtureServer>(kServerA, reply, close);
    FixtureServer next(kServerB), port81(kServerA, kEcho, true, 81);
    QVERIFY(next.listening && port81.listening &&
            (fixture ? fixture->listening : misbehaving.start(QHostAddress(host))));
    HttpClient client;
    client.setTransferTimeout(1000); // the oversized cases must fail well before it
    SignalTrace trace(&client);
    const qint64 residentBefore = residentKb();
    qint64 residentPeak = residentBefore;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this,
            [&] { residentPeak = qMax(residentPeak, residentKb()); });
    sampler.start(20);
    QElapsedTimer clock;
    clock.start();
    const QList<int> ids = {client.setHost(host), client.get("/probe"), client.setHost(kServerB),
                            client.get("/next")};
    QByteArray probeBody = "unset";
    int probeStatus = -1;
    connect(&client, &HttpClient::requestFinished, this, [&](int id) {
        if (id == ids[1]) {
            probeBody = client.readAll();
            probeStatus = client.statusCode();
        }
    });

    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 1, 10000);
    const bool failed = !error.isEmpty();
    QStringList expected;
    for (int id : failed ? ids.mid(0, 2) : ids)
        expected << QString("started %1").arg(id)
                 << QString("finished %1 %2").arg(id).arg(failed && id == ids[1]);
    QCOMPARE(trace.events, expected << QString("done %1").arg(failed));
    if (failed)
        QCOMPARE(client.errorString(), error);
    if (fixture || failed)
        QCOMPARE(probeBody, failed ? QByteArray() : reply.mid(reply.lastIndexOf("\r\n\r\n") + 4));
    QCOMPARE(probeStatus, failed    ? 0
                          : fixture ? reply.mid(reply.lastIndexOf("HTTP/1.") + 9, 3).toInt()
                                    : 200);
    QCOMPARE(clock.elapsed() >= 900, error == kTimedOut);
    QVERIFY2(residentPeak - residentBefore < 32 * 1024,
             qPrintable(QString("grew by %1 kB").arg(residentPeak - residentBefore)));
    QTest::qWait(200);
    // Nothing after a failure goes out, a redirect is not followed, and no
    // request goes out twice (not even when the server closes at once).
    QCOMPARE(next.heads.size(), failed ? 0 : 1);
    QCOMPARE(fixture ? fixture->connections : misbehaving.requestLines().size(),
             host == kServerA ? 1 : 0);
    QCOMPARE(port81.connections, 0);
    QCOMPARE(trace.doneCount(), 1);

    // The client is usable again after a failed batch.
    client.setHost(kServerB);
    client.get("/again");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 2, 10000);
    QCOMPARE(trace.events.last(), "done 0");
    QCOMPARE(client.readAll(), QByteArray("/again"));
}

void HttpClientTest::abortEndsTheBatchAtOnce()
{
    FixtureServer silent(kServerA, QByteArray(), false), echo(kServerB);
    QVERIFY(silent.listening && echo.listening);
    HttpClient client;
    SignalTrace trace(&client);
    client.abort(); // nothing queued: nothing happens
    QVERIFY(trace.events.isEmpty());

    client.setHost(kServerA);
    const int waitingId = client.get("/waits");
    client.get("/queued");
    QTRY_COMPARE_WITH_TIMEOUT(silent.heads.size(), 1, 10000);
    QTest::qWait(1500); // a silent server is waited for
    QCOMPARE(trace.doneCount(), 0);
    client.abort();
    QCOMPARE(trace.events.mid(trace.events.size() - 2),
             QStringList({QString("finished %1 1").arg(waitingId), "done 1"}));
    QCOMPARE(client.errorString(), "Request aborted");

    // Aborted from requestFinished(): the batch still ends only once.
    connect(&client, &HttpClient::requestFinished, &client, [&] {
        if (echo.heads.size() == 1)
            client.abort();
    });
    client.setHost(kServerB);
    client.get("/first");
    client.get("/never");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 2, 10000);
    QCOMPARE(trace.events.last(), "done 1");
    QTest::qWait(300);
    QCOMPARE(silent.heads.size(), 1); // the queued requests never went out
    QCOMPARE(echo.heads.size(), 1);
    QCOMPARE(trace.doneCount(), 2);
}

void HttpClientTest::clientCanBeReleasedFromItsDoneHandler()
{
    FixtureServer a(kServerA), silent(kServerB, QByteArray(), false);
    QVERIFY(a.listening && silent.listening);
    for (const QString &host : {kServerA, kNobodyListens}) {
        QPointer<HttpClient> client = new HttpClient;
        QByteArray body = "unset";
        connect(client, &HttpClient::done, client, [&body, client] {
            body = client->readAll();
            delete client.data();
        });
        client->setHost(host);
        client->get("/x");
        QTRY_VERIFY_WITH_TIMEOUT(client.isNull(), 10000);
        QCOMPARE(body, QByteArray(host == kServerA ? "/x" : ""));
    }

    // Released while a request is still out: the connection is closed.
    auto *client = new HttpClient;
    client->setHost(kServerB);
    client->get("/x");
    QTRY_COMPARE_WITH_TIMEOUT(silent.heads.size(), 1, 10000);
    delete client;
    QTRY_COMPARE_WITH_TIMEOUT(silent.disconnects, 1, 10000);
}

void HttpClientTest::watchdogGivesUpASilentRequest()
{
    FixtureServer silent(kServerA, QByteArray(), false), echo(kServerB);
    QVERIFY(silent.listening && echo.listening);
    HttpClient client, other;
    SignalTrace trace(&client), otherTrace(&other);
    RequestWatchdog watchdog(300);
    int gaveUp = 0;
    connect(&watchdog, &RequestWatchdog::gaveUpRequest, &watchdog, [&] { ++gaveUp; });
    watchdog.watch(&client);

    // An answer in time stops the wait.
    client.setHost(kServerB);
    client.get("/answered");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 1, 10000);
    QVERIFY(!watchdog.isRunning());
    QTest::qWait(500);
    QCOMPARE(gaveUp, 0);
    QCOMPARE(trace.events.last(), "done 0");

    // A silent instrument is aborted when the wait runs out, unless the
    // patience rule keeps it.
    bool patient = true;
    watchdog.setPatience([&] { return patient; });
    client.setHost(kServerA);
    client.get("/silent");
    QTRY_VERIFY_WITH_TIMEOUT(watchdog.isRunning(), 10000);
    QTest::qWait(800); // patience: the wait runs on, time-out after time-out
    QVERIFY(watchdog.isRunning());
    QCOMPARE(trace.doneCount(), 1);
    patient = false;
    QCOMPARE(trace.doneCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 2, 10000);
    QCOMPARE(trace.events.last(), "done 1");
    QCOMPARE(client.error(), HttpClient::Aborted);
    QCOMPARE(gaveUp, 1);
    QVERIFY(watchdog.gaveUp() && !watchdog.isRunning());

    // A client let go is aborted no more; the next one watched restarts the
    // wait for each of its commands and clears the last give-up.
    watchdog.watch(&other);
    client.setHost(kServerB);
    client.get("/unwatched");
    QTRY_COMPARE_WITH_TIMEOUT(trace.doneCount(), 3, 10000);
    QVERIFY(!watchdog.isRunning());
    other.setHost(kServerA);
    other.get("/silent");
    QTRY_VERIFY_WITH_TIMEOUT(watchdog.isRunning(), 10000);
    QVERIFY(!watchdog.gaveUp());
    watchdog.release();
    watchdog.start();
    QTRY_COMPARE_WITH_TIMEOUT(gaveUp, 2, 10000);
    QVERIFY(!watchdog.gaveUp());
    QCOMPARE(otherTrace.doneCount(), 0); // still waiting for its silent server
    other.abort();
}

DXU_TEST_MAIN(HttpClientTest)
#include "tst_http_client.moc"
