// The simulated instrument's web server on the wire (127.0.0.33-.35, port
// 80): reply format, request log, malformed and oversized requests, slow and
// silent answers, stopping, and the dxu-sim program as users start it.
#include "support/test_support.h"

#include "device/http_client.h"
#include "sim/dxu_sim_server.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>

#include <csignal>

namespace {

const char *const kAddressA = "127.0.0.33";
const char *const kAddressB = "127.0.0.34";
const char *const kProgramAddress = "127.0.0.35";

QHostAddress address(const char *text) { return QHostAddress(QString::fromLatin1(text)); }

// Sends raw bytes (in pieces, if given several) and returns everything the
// server sent until it closed the connection.
QByteArray exchange(const char *host, const QList<QByteArray> &pieces)
{
    QTcpSocket socket;
    socket.connectToHost(address(host), 80);
    if (!socket.waitForConnected(5000))
        return "not connected";
    for (const QByteArray &piece : pieces) {
        socket.write(piece);
        socket.waitForBytesWritten(5000);
        QTest::qWait(20);
    }
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < 10000) {
        QTest::qWait(10);
        received += socket.readAll();
    }
    return received + socket.readAll();
}

struct Reply
{
    QByteArray statusLine;
    QByteArray headers;
    QByteArray body;
};

Reply split(const QByteArray &raw)
{
    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    const QByteArray head = raw.left(headEnd);
    return Reply{head.left(head.indexOf("\r\n")), head, raw.mid(headEnd + 4)};
}

QByteArray header(const Reply &reply, const QByteArray &name)
{
    for (const QByteArray &line : reply.headers.split('\n'))
        if (line.startsWith(name + ": "))
            return line.mid(name.size() + 2).trimmed();
    return QByteArray();
}

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/dxu-sim");
}

} // namespace

class SimServerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void repliesCarryTheirLengthAndClose();
    void unknownPathIsA404Page();
    void requestInPiecesIsAnsweredOnce();
    void malformedRequestIsRefusedAndNotLogged();
    void oversizedRequestHeadIsRefused();
    void logAndSignalsFollowTheRequests();
    void delayedRepliesComeLate();
    void eachAddressIsItsOwnInstrument();
    void stopEndsOpenConnections();
    void programServesUntilTerminated();
    void programRefusesBadOptions_data();
    void programRefusesBadOptions();

private:
    DxuSimServer *server = nullptr;
};

void SimServerTest::init()
{
    server = new DxuSimServer;
    QVERIFY2(server->start(address(kAddressA)), qPrintable(server->errorString()));
}

void SimServerTest::cleanup()
{
    delete server;
    server = nullptr;
}

void SimServerTest::repliesCarryTheirLengthAndClose()
{
    const Reply reply = split(exchange(kAddressA, {"GET /sg_hr_setup.shtml HTTP/1.1\r\n"
                                                   "Host: 127.0.0.33\r\n\r\n"}));
    QCOMPARE(reply.statusLine, QByteArray("HTTP/1.0 200 OK"));
    QCOMPARE(header(reply, "Content-Length").toInt(), reply.body.size());
    QCOMPARE(header(reply, "Connection"), QByteArray("close"));
    QCOMPARE(header(reply, "Content-Type"), QByteArray("text/html"));
    QVERIFY(reply.body.contains("Human Readable setup"));
}

void SimServerTest::unknownPathIsA404Page()
{
    const Reply reply = split(exchange(kAddressA, {"GET /secret.shtml?x=1 HTTP/1.1\r\n\r\n"}));
    QCOMPARE(reply.statusLine, QByteArray("HTTP/1.0 404 Not Found"));
    QCOMPARE(header(reply, "Content-Length").toInt(), reply.body.size());
    QVERIFY(reply.body.contains("/secret.shtml"));
    QVERIFY(!reply.body.contains("Human Readable setup"));
    QCOMPARE(server->requestLog(), QStringList{QStringLiteral("/secret.shtml?x=1")});
}

void SimServerTest::requestInPiecesIsAnsweredOnce()
{
    const Reply reply = split(
        exchange(kAddressA, {"GET /sg_run.sh", "tml?reset1=1 HTTP/1.1\r\nHo",
                             "st: 127.0.0.33\r\n\r\nGET /sg_run.shtml?reset2=1 HTTP/1.1\r\n\r\n"}));
    QCOMPARE(reply.statusLine, QByteArray("HTTP/1.0 200 OK"));
    QCOMPARE(server->requestLog(), QStringList{QStringLiteral("/sg_run.shtml?reset1=1")});
}

void SimServerTest::malformedRequestIsRefusedAndNotLogged()
{
    DxuSimState running;
    running.gen1Running = true;
    server->setState(running);
    for (const QByteArray &request :
         {QByteArray("GARBAGE\r\n\r\n"), QByteArray("GET sg_run.shtml?reset1=1 HTTP/1.1\r\n\r\n"),
          QByteArray("GET /sg_run.shtml?reset1=1\r\n\r\n")}) {
        const Reply reply = split(exchange(kAddressA, {request}));
        QCOMPARE(reply.statusLine, QByteArray("HTTP/1.0 400 Bad Request"));
    }
    QVERIFY(server->requestLog().isEmpty());
    QVERIFY(server->state().gen1Running);

    const Reply post = split(exchange(kAddressA, {"POST /sg_run.shtml?reset1=1 HTTP/1.1\r\n\r\n"}));
    QCOMPARE(post.statusLine, QByteArray("HTTP/1.0 405 Method Not Allowed"));
    QVERIFY(server->state().gen1Running);
}

void SimServerTest::oversizedRequestHeadIsRefused()
{
    const QByteArray endless = "GET /" + QByteArray(20 * 1024, 'a');
    const Reply reply = split(exchange(kAddressA, {endless}));
    QCOMPARE(reply.statusLine, QByteArray("HTTP/1.0 431 Request Header Fields Too Large"));
    QVERIFY(server->requestLog().isEmpty());
}

void SimServerTest::logAndSignalsFollowTheRequests()
{
    QSignalSpy received(server, &DxuSimServer::requestReceived);
    QSignalSpy handled(server, &DxuSimServer::requestHandled);
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    const QStringList paths = {
        QStringLiteral("/sg_hr_setup2.shtml"), QStringLiteral("/sg_run.shtml?reset1=1&reset2=1"),
        QStringLiteral("/tt.shtml?volt=2.5"), QStringLiteral("/missing.shtml")};
    client.setHost(QString::fromLatin1(kAddressA));
    for (const QString &path : paths)
        client.get(path);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(server->requestLog(), paths);
    QCOMPARE(received.size(), 4);
    QCOMPARE(received[1][0].toString(), paths[1]);
    QStringList lines;
    for (const QList<QVariant> &signal : handled)
        lines << signal[0].toString();
    QCOMPARE(
        lines,
        QStringList({QStringLiteral("GET /sg_hr_setup2.shtml -> setup page (200)"),
                     QStringLiteral("GET /sg_run.shtml?reset1=1&reset2=1 -> generator 1 stopped, "
                                    "generator 2 stopped; setup page (200)"),
                     QStringLiteral("GET /tt.shtml?volt=2.5 -> threshold 2.5 V; setup page (200)"),
                     QStringLiteral("GET /missing.shtml -> not found (404)")}));
    for (const QString &line : server->requestLines())
        QVERIFY(line.startsWith(QLatin1String("GET /")) &&
                line.endsWith(QLatin1String(" HTTP/1.1")));

    server->clearLog();
    QVERIFY(server->requestLog().isEmpty());
    QVERIFY(server->requestLines().isEmpty());
}

void SimServerTest::delayedRepliesComeLate()
{
    server->setReplyDelay(700);
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    QElapsedTimer clock;
    clock.start();
    client.setHost(QString::fromLatin1(kAddressA));
    client.get(QStringLiteral("/tt.shtml?volt=1.5"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
    QVERIFY2(clock.elapsed() >= 600, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(done[0][0].toBool(), false);
    QCOMPARE(server->state().thresholdVolts, 1.5);
    QVERIFY(client.readAll().contains("value=\"1.5\""));
}

void SimServerTest::eachAddressIsItsOwnInstrument()
{
    DxuSimServer second;
    QVERIFY2(second.start(address(kAddressB)), qPrintable(second.errorString()));
    second.setModel(2);
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kAddressB));
    client.get(QStringLiteral("/sg_run.shtml?reset1=1"));
    client.get(QStringLiteral("/sg_hr_setup.shtml"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    const QByteArray page = client.readAll();
    QVERIFY(page.contains("Human Readable setup"));
    QVERIFY(!page.contains("<p class=\"s0\">v.3"));
    QCOMPARE(second.requestLog().size(), 2);
    QVERIFY(server->requestLog().isEmpty());
}

void SimServerTest::stopEndsOpenConnections()
{
    server->setSilent(true);
    QTcpSocket socket;
    socket.connectToHost(address(kAddressA), 80);
    QVERIFY(socket.waitForConnected(5000));
    socket.write("GET /sg_hr_setup.shtml HTTP/1.1\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(server->requestLog().size(), 1, 10000);
    QTest::qWait(300);
    QCOMPARE(socket.bytesAvailable(), 0);
    QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);

    server->stop();
    QVERIFY(!server->isListening());
    QTRY_VERIFY_WITH_TIMEOUT(socket.state() == QAbstractSocket::UnconnectedState, 10000);
    QCOMPARE(socket.readAll(), QByteArray());

    // The same address can be served again at once.
    QVERIFY2(server->start(address(kAddressA)), qPrintable(server->errorString()));
    server->setSilent(false);
    QVERIFY(split(exchange(kAddressA, {"GET /network.shtml HTTP/1.1\r\n\r\n"}))
                .body.contains("name=\"mac\""));
}

void SimServerTest::programServesUntilTerminated()
{
    QVERIFY2(QFile::exists(programPath()), qPrintable(programPath()));
    QProcess program;
    program.start(programPath(), {QStringLiteral("--address"), QString::fromLatin1(kProgramAddress),
                                  QStringLiteral("--model"), QStringLiteral("2")});
    QVERIFY(program.waitForStarted(10000));
    // Everything it printed so far (the checks below re-read it).
    QByteArray output;
    auto printed = [&] { return output += program.readAllStandardOutput(); };
    QTRY_VERIFY_WITH_TIMEOUT(printed().contains("DXU2 simulator on"), 10000);

    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kProgramAddress));
    client.get(QStringLiteral("/network.shtml"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), false);
    // Its network page shows the address it serves on.
    QVERIFY(client.readAll().contains("name=\"ip\" value=\"127.0.0.35\""));
    QTRY_VERIFY_WITH_TIMEOUT(printed().contains("GET /network.shtml -> network page (200)\n"),
                             10000);

    ::kill(program.processId(), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(printed().contains("dxu-sim: stopped"));
}

void SimServerTest::programRefusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0;
    QTest::newRow("model 4") << QStringList{QStringLiteral("--model"), QStringLiteral("4")} << 2;
    QTest::newRow("address") << QStringList{QStringLiteral("--address"),
                                            QStringLiteral("dxu.local")}
                             << 2;
    QTest::newRow("port") << QStringList{QStringLiteral("--port"), QStringLiteral("70000")} << 2;
    QTest::newRow("delay") << QStringList{QStringLiteral("--delay"), QStringLiteral("-5")} << 2;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--loud")} << 1;
}

void SimServerTest::programRefusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QProcess program;
    program.start(programPath(), arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), exitCode);
    if (exitCode == 0)
        QVERIFY(program.readAllStandardOutput().contains("--silent"));
}

DXU_TEST_MAIN(SimServerTest)
#include "tst_sim_server.moc"
