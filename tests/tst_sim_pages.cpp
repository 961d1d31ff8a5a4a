// The simulated instrument: its pages read back with the panel's own page
// parsers (the panel's QRegExp patterns) for both models and many states,
// the requests that change its state, its web server on 127.0.0.31 port 80
// (silent, stopped and restarted), and the dxu-sim program as users start it.
#include "support/test_support.h"

#include "device/http_client.h"
#include "device/settings_query.h"
#include "device/setup_page_parser.h"
#include "network/network_page.h"
#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_requests.h"
#include "sim/dxu_sim_server.h"

#include <QObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>

#include <QDir>
#include <QTcpSocket>

#include <array>
#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QString kServerAddress = "127.0.0.31";
const QString kProgramAddress = "127.0.0.35";
using Record = GeneratorSettings;
// Start and end of ch1 and ch2 of generator 1, then of generator 2.
const std::pair<double Record::*, double Record::*> kChannels[] = {
    {&Record::ch1_st1, &Record::ch1_et1},
    {&Record::ch2_st1, &Record::ch2_et1},
    {&Record::ch1_st2, &Record::ch1_et2},
    {&Record::ch2_st2, &Record::ch2_et2}};
// Every setting differs from the start-up values.
const Record kSample{6,       1,  1234.57, 0.2,  40000, 3,     1.5, 3.5,
                     0.00012, 10, 0.04,    2.04, 100,   10736, 3,   1};

// Settings as the panel holds them: whole ticks of the time base, in six
// significant digits.
Record randomRecord(QRandomGenerator &random, int ts1, int ts2, int freq1, int freq2)
{
    auto time = [&](int timeBase, double maxMs) {
        const double tick = 2e-05 * (1 << timeBase);
        const quint64 ticks[] = {0, quint64(random.bounded(1, 5)), quint64(random.bounded(5, 500)),
                                 random.bounded(quint64(1), quint64(maxMs / tick))};
        return simNumber(ticks[random.bounded(4)] * tick).toDouble();
    };
    // Shorter periods would be written in exponent form, which the period
    // groups of the settings pattern do not accept.
    auto period = [&](int timeBase) { return qMax(0.0001, time(timeBase, 10736)); };
    Record r;
    r.ts1 = ts1;
    r.ts2 = ts2;
    r.freq1 = freq1;
    r.freq2 = freq2;
    r.p1 = period(freq1);
    r.p2 = period(freq2);
    r.pn1 = random.bounded(0, 131073);
    r.pn2 = random.bounded(0, 131073);
    for (int i = 0; i < 4; ++i) {
        const auto [start, end] = kChannels[i];
        r.*start = time(i < 2 ? freq1 : freq2, 5000);
        r.*end = simNumber(r.*start + time(i < 2 ? freq1 : freq2, 5000)).toDouble();
    }
    return r;
}

// The simulator after the panel sent it these settings.
DxuSimState sentTo(const Record &record)
{
    DxuSimState s;
    answerRequest(s, 3, settingsQuery(record, QueryTail::SaveOnly));
    return s;
}

// What the panel reads from a setup page against what it expects, both as
// its settings query; empty when they agree. An end comes back as start
// plus the width the page shows, in six significant digits: it may move by
// that rounding, never more.
QString readBackDifferences(const QByteArray &page, const Record &expected, int model)
{
    const SetupPageFields fields = parseSetupPage(setupPageText(page));
    if (!fields.timing || !fields.ts1 || !fields.ts2 || !fields.freq1 || !fields.freq2)
        return "a pattern does not match";
    if (fields.isDxu3 != (model == 3))
        return "wrong model marker";
    Record got;
    applySetupPage(fields, got);
    for (const auto &[start, end] : kChannels)
        if (qAbs(got.*end - expected.*end) <=
            5.01e-6 * qAbs(expected.*end - expected.*start) + 1e-12)
            got.*end = expected.*end;
    const QString have = settingsQuery(got, QueryTail::SaveOnly);
    const QString want = settingsQuery(expected, QueryTail::SaveOnly);
    return have == want ? QString() : have + " != " + want;
}

// The network page as the panel reads it: MAC, IP, mask, gateway, DHCP.
QStringList readNetworkPage(const QByteArray &body)
{
    const NetworkPage::Content c = NetworkPage::parse(NetworkPage::pageText(body));
    if (!c.hasAddresses || !c.hasDhcp)
        return {};
    return {c.fields.mac, c.fields.ip, c.fields.mask, c.fields.gateway, c.fields.dhcp ? "1" : "0"};
}

} // namespace

class SimTest : public QObject
{
    Q_OBJECT

private slots:
    void setupPageReadsBackForGeneratedStates();
    void requestsChangeTheState();
    void networkReadAndWrite();
    void serverAnswersUnlessSilent();
    void serverOutlivesIdleConnectionsAndDescriptorShortage();
    void programServesUntilTerminated();
};

void SimTest::setupPageReadsBackForGeneratedStates()
{
    QRandomGenerator random(20240611);
    for (int model : {2, 3}) {
        QCOMPARE(readBackDifferences(setupPage(DxuSimState(), model), Record(), model), QString());
        for (int ts1 : {0, 1, 2, 4, 6})
            for (int ts2 : {0, 1})
                for (int freq1 = 0; freq1 < 4; ++freq1)
                    for (int freq2 = 0; freq2 < 4; ++freq2) {
                        const Record record = randomRecord(random, ts1, ts2, freq1, freq2);
                        const QString differences =
                            readBackDifferences(setupPage(sentTo(record), model), record, model);
                        QVERIFY2(differences.isEmpty(), qPrintable(differences));
                    }
    }
}

void SimTest::requestsChangeTheState()
{
    DxuSimState s;
    DxuSimAnswer answer = answerRequest(s, 3, settingsQuery(kSample, QueryTail::SaveOnly));
    QCOMPARE(readBackDifferences(answer.body, kSample, 3), QString()); // the new setup page
    // Run flags only start a generator, resets only stop one.
    const struct
    {
        QString target;
        bool gen1, gen2;
    } steps[] = {{settingsQuery(kSample, QueryTail::RunGen1), true, false},
                 {settingsQuery(kSample, QueryTail::RunGen2), true, true},
                 {DevicePaths::ResetGen1, false, true},
                 {settingsQuery(kSample, QueryTail::RunGen1), true, true},
                 {DevicePaths::ResetGen2, true, false},
                 {settingsQuery(kSample, QueryTail::RunBoth), true, true},
                 {DevicePaths::ResetBoth, false, false}};
    for (const auto &step : steps) {
        answer = answerRequest(s, 3, step.target);
        QVERIFY2(s.gen1Running == step.gen1 && s.gen2Running == step.gen2, qPrintable(step.target));
        QCOMPARE(readBackDifferences(answer.body, kSample, 3), QString());
    }
    QCOMPARE(s.saves, 5);

    // The threshold: model 3 only, from 0.05 to 5 V.
    const std::pair<double, double> levels[] = {{2.5, 2.5}, {7, 2.5}, {0.05, 0.05}}; // sent, held
    for (const auto &[volts, held] : levels) {
        answerRequest(s, 3, thresholdPath(volts));
        QCOMPARE(s.thresholdVolts, held);
    }
    QCOMPARE(answerRequest(s, 2, thresholdPath(1)).status, 404);
}

void SimTest::networkReadAndWrite()
{
    DxuSimState s;
    s.network.ip = {127, 0, 0, 31};
    QCOMPARE(readNetworkPage(answerRequest(s, 3, NetworkPage::Path).body),
             QStringList({"00:1b:c5:0a:0b:0c", "127.0.0.31", "255.0.0.0", "127.0.0.1", "0"}));
    const QString write =
        NetworkPage::writePath({"AA:BB:CC:D:E:F", "127.0.0.77", "255.255.0.0", "127.0.0.2", true});
    const QStringList written = {"aa:bb:cc:0d:0e:0f", "127.0.0.77", "255.255.0.0", "127.0.0.2",
                                 "1"};
    QCOMPARE(readNetworkPage(answerRequest(s, 3, write).body), written);
    QCOMPARE(readNetworkPage(answerRequest(s, 3, NetworkPage::Path).body), written);
}

void SimTest::serverAnswersUnlessSilent()
{
    DxuSimServer server;
    QVERIFY2(server.start(QHostAddress(kServerAddress)), qPrintable(server.errorString()));
    server.setSilent(true);
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    QStringList paths = {settingsQuery(kSample, QueryTail::RunBoth)};
    client.setHost(kServerAddress);
    client.get(paths[0]);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestLog(), paths, 10000);
    QTest::qWait(1500);
    QCOMPARE(done.size(), 0);
    QVERIFY(server.state() == DxuSimState());

    // Stopping ends the open connection; the address can be served again at once.
    server.stop();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), true);
    QVERIFY2(server.start(QHostAddress(kServerAddress)), qPrintable(server.errorString()));
    server.setSilent(false);
    paths << paths[0] << DevicePaths::ResetGen2 << thresholdPath(1.25);
    client.setHost(kServerAddress);
    for (const QString &path : paths.mid(1))
        client.get(path);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    QCOMPARE(done[1][0].toBool(), false);
    QCOMPARE(server.requestLog(), paths);
    QVERIFY(server.state().gen1Running && !server.state().gen2Running);
    QCOMPARE(server.state().thresholdVolts, 1.25);
    QCOMPARE(readBackDifferences(client.readAll(), kSample, 3), QString());
}

void SimTest::serverOutlivesIdleConnectionsAndDescriptorShortage()
{
    DxuSimServer server;
    server.setIdleTimeout(300);
    QVERIFY2(server.start(QHostAddress(kServerAddress)), qPrintable(server.errorString()));
    QTcpSocket idle;
    idle.connectToHost(QHostAddress(kServerAddress), 80);
    QTRY_COMPARE_WITH_TIMEOUT(idle.state(), QAbstractSocket::UnconnectedState, 10000);

    // Five connections wait while the process may open only seven more
    // descriptors: the server accepts some, runs out, and waits (once).
    QSignalSpy said(&server, &DxuSimServer::requestHandled);
    rlimit saved = {};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const qsizetype open = QDir("/proc/self/fd")
                               .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                               .size();
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(open + 7);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<std::unique_ptr<QTcpSocket>> waiting;
    for (int i = 0; i < 5; ++i) {
        waiting.push_back(std::make_unique<QTcpSocket>());
        waiting.back()->connectToHost(QHostAddress(kServerAddress), 80);
    }
    QTest::qWait(500);
    waiting.clear(); // the accepted ones go, and free their descriptors
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
    QCOMPARE(said.size(), 1);
    QVERIFY(said[0][0].toString().startsWith("out of file descriptors"));

    // It serves again once a descriptor is free.
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(kServerAddress);
    client.get(DevicePaths::ResetGen1);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), false);
}

void SimTest::programServesUntilTerminated()
{
    const QString program = QCoreApplication::applicationDirPath() + "/../sim/dxu-sim";
    QProcess sim;
    sim.start(program, {"--address", kProgramAddress, "--model", "2"});
    QVERIFY(sim.waitForStarted(10000));
    QByteArray output; // everything it printed so far
    auto printed = [&] { return output += sim.readAllStandardOutput(); };
    QTRY_VERIFY_WITH_TIMEOUT(printed().contains("DXU2 simulator on"), 10000);

    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(kProgramAddress);
    client.get(NetworkPage::Path);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), false);
    QCOMPARE(readNetworkPage(client.readAll()).value(1), kProgramAddress); // the address it serves
    QTRY_VERIFY_WITH_TIMEOUT(printed().contains("GET /network.shtml -> network page (200)\n"),
                             10000);
    ::kill(sim.processId(), SIGTERM);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(printed().contains("dxu-sim: stopped"));
}

DXU_TEST_MAIN(SimTest)
#include "tst_sim_pages.moc"
