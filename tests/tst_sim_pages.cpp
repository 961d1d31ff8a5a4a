// The instrument's pages read with the panel's own page parsers: the
// simulated instrument's pages for both models and many states, copies of
// them edited into what an instrument might also send, and the linear
// matchers against the patterns on QRegExp. Then the requests that change
// the simulator's state, and its web server on 127.0.0.31 port 80 (silent,
// stopped and restarted, short of descriptors).
#include "support/test_support.h"

#include "device/http_client.h"
#include "device/settings_query.h"
#include "device/setup_page_parser.h"
#include "network/network_page.h"
#include "page_generator.h"
#ifdef DXU_HAVE_QREGEXP
#include "page_patterns_reference.h"
#endif
#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_requests.h"
#include "sim/dxu_sim_server.h"

#include <QDir>
#include <QObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpSocket>

#include <limits>
#include <memory>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

namespace {

const QString kServerAddress = "127.0.0.31";
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
    // A braced list is evaluated from left to right.
    Record r{std::uint8_t(ts1), std::uint8_t(ts2),         period(freq1),
             period(freq2),     random.bounded(0, 131073), random.bounded(0, 131073)};
    r.freq1 = freq1;
    r.freq2 = freq2;
    for (int i = 0; i < 4; ++i) {
        const auto [start, end] = kChannels[i];
        r.*start = time(i < 2 ? freq1 : freq2, 5000);
        r.*end = simNumber(r.*start + time(i < 2 ? freq1 : freq2, 5000)).toDouble();
    }
    return r;
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

SetupPageFields parse(const QByteArray &body) { return parseSetupPage(setupPageText(body)); }

} // namespace

class SimTest : public QObject
{
    Q_OBJECT

private slots:
    void setupPageReadsBackForGeneratedStates()
    {
        QRandomGenerator random(20240611);
        for (int model : {2, 3}) {
            QCOMPARE(readBackDifferences(setupPage(DxuSimState(), model), Record(), model),
                     QString());
            for (int ts1 : {0, 1, 2, 4, 6})
                for (int ts2 : {0, 1})
                    for (int freq1 = 0; freq1 < 4; ++freq1)
                        for (int freq2 = 0; freq2 < 4; ++freq2) {
                            const Record record = randomRecord(random, ts1, ts2, freq1, freq2);
                            DxuSimState sent; // the simulator after the panel sent the record
                            answerRequest(sent, 3, settingsQuery(record, QueryTail::SaveOnly));
                            const QString differences =
                                readBackDifferences(setupPage(sent, model), record, model);
                            QVERIFY2(differences.isEmpty(), qPrintable(differences));
                        }
        }
    }

    // A slice of what dxu-parse-bench --differential runs by the million;
    // it also binds extra values after the thirteen as QRegExp binds them.
    void matchersAgreeWithQRegExp()
    {
#ifndef DXU_HAVE_QREGEXP
        QSKIP("built without Qt's Core5Compat, which has QRegExp");
#else
        PageGenerator pages(20261207);
        int settingsFound = 0;
        for (int i = 0; i < 3000; ++i) {
            const QString page = i % 1000 == 999 ? pages.large(4 * 1024) : pages.next();
            const QString difference = PagePatternsReference::difference(page);
            QVERIFY2(difference.isEmpty(), qPrintable(difference + page));
            settingsFound += SetupPagePatterns::matchSettings(page).has_value();
        }
        QVERIFY(settingsFound > 100); // the slice reaches the interesting cases
#endif
    }

    // Settings the pattern does not match leave the twelve fields as they
    // were; the selects have patterns of their own.
    void editedPages()
    {
        DxuSimState s;
        s.ch2_et1 = 0.5; // a width of 0.5
        s.ts1 = 2;
        s.freq2 = 1;
        // A one-digit exponent, a quote not doubled.
        for (const auto &[from, to] :
             {std::pair<QByteArray, QByteArray>{"value=\"0.5\"", "value=\"1e-5\""},
              {"\"\"", "\""}}) {
            QByteArray page = setupPage(s, 3);
            const SetupPageFields fields = parse(page.replace(from, to));
            QVERIFY(!fields.timing);
            GeneratorSettings record;
            record.p1 = 77;
            applySetupPage(fields, record);
            QCOMPARE(record.p1, 77.0);
            QCOMPARE(record.ch2_et1, 200.0);
            QCOMPARE(int(record.ts1), 2);
            QCOMPARE(record.freq2, 1);
        }

        // Pages an instrument might also send: NUL bytes and line feeds are
        // ignored, values beyond the double range give finite times, and texts
        // longer than the bound are refused.
        s = DxuSimState();
        s.p1 = 250;
        s.ts1 = 1;
        QByteArray body = setupPage(s, 3);
        // In a value, the model marker and a select, and as padding.
        body.replace("value=\"250\"", QByteArray("value=\"2\0005\n0\"", 13));
        body.replace("s0\">v", QByteArray("s0\"\0>v", 6));
        body.replace("<option value=1 selected", QByteArray("<opt\0ion value=1 sel\nected", 26));
        body.append(QByteArray(100, '\0'));
        QCOMPARE(body.count('\0'), 103); // every edit took

        removeNulBytes(body);
        const SetupPageFields fields = parse(body);
        QVERIFY(fields.timing);
        QCOMPARE(fields.timing->p1, 250.0);
        QVERIFY(fields.ts1 == 1 && fields.isDxu3);
        // Without its time base choices it is no page of the instrument.
        const QByteArray cut = QByteArray(body).replace("name=\"freq", "name=\"f");
        QVERIFY(isSetupPage(body, fields) && !isSetupPage(cut, parse(cut)));

        // A value too large for a double does not convert and reads as 0; an
        // end (start plus width) beyond the range is the largest double.
        s = DxuSimState();
        s.p2 = 250;
        s.pn1 = 2;
        s.pn2 = 3;
        s.ch1_st1 = 5;
        s.ch1_et1 = 12;
        const QByteArray e308 = "value=\"1" + QByteArray(308, '0') + '"';
        body = setupPage(s, 2);
        body.replace("value=\"300\"", "value=\"" + QByteArray(400, '9') + '"');
        body.replace("value=\"5\"", e308).replace("value=\"7\"", e308);
        const SetupPageFields huge = parse(body);
        QVERIFY(huge.timing);
        QCOMPARE(huge.timing->p1, 0.0);
        QCOMPARE(huge.timing->p2, 250.0);
        QCOMPARE(huge.timing->ch1_st1, 1e308);
        QCOMPARE(huge.timing->ch1_et1, std::numeric_limits<double>::max());

        QString page = setupPageText(setupPage(DxuSimState(), 3));
        page.prepend(QString(MaxSetupPageLength - page.size(), QLatin1Char(' ')));
        QVERIFY(parseSetupPage(page).timing);

        const SetupPageFields refused = parseSetupPage(page + QLatin1Char(' '));
        QVERIFY(!refused.timing && !refused.ts1 && !refused.ts2 && !refused.freq1 &&
                !refused.freq2 && !refused.isDxu3);
    }

    void requestsChangeTheState()
    {
        DxuSimState s;
        DxuSimAnswer answer = answerRequest(s, 3, settingsQuery(kSample, QueryTail::SaveOnly));
        QCOMPARE(readBackDifferences(answer.body, kSample, 3), QString()); // the new setup page
        // Run flags only start a generator, resets only stop one.
        auto query = [](QueryTail tail) { return settingsQuery(kSample, tail); };
        const std::tuple<QString, bool, bool> steps[] = {
            {query(QueryTail::RunGen1), true, false}, {query(QueryTail::RunGen2), true, true},
            {DevicePaths::ResetGen1, false, true},    {query(QueryTail::RunGen1), true, true},
            {DevicePaths::ResetGen2, true, false},    {query(QueryTail::RunBoth), true, true},
            {DevicePaths::ResetBoth, false, false}};
        for (const auto &[target, gen1, gen2] : steps) {
            answer = answerRequest(s, 3, target);
            QVERIFY2(s.gen1Running == gen1 && s.gen2Running == gen2, qPrintable(target));
            QCOMPARE(readBackDifferences(answer.body, kSample, 3), QString());
        }
        QCOMPARE(s.saves, 5);

        // The threshold: model 3 only, from 0.05 to 5 V.
        const std::pair<double, double> levels[] = {
            {2.5, 2.5}, {7, 2.5}, {0.05, 0.05}}; // sent, held
        for (const auto &[volts, held] : levels) {
            answerRequest(s, 3, thresholdPath(volts));
            QCOMPARE(s.thresholdVolts, held);
        }
        QCOMPARE(answerRequest(s, 2, thresholdPath(1)).status, 404);

        // A network write, as the network page shows it afterwards.
        answerRequest(s, 3,
                      NetworkPage::writePath(
                          {"AA:BB:CC:D:E:F", "127.0.0.77", "255.255.0.0", "127.0.0.2", true}));
        const NetworkPage::Content c =
            NetworkPage::parse(NetworkPage::pageText(answerRequest(s, 3, NetworkPage::Path).body));
        QVERIFY(c.hasAddresses && c.hasDhcp && c.fields.dhcp);
        QCOMPARE(QStringList({c.fields.mac, c.fields.ip, c.fields.mask, c.fields.gateway}),
                 QStringList({"aa:bb:cc:0d:0e:0f", "127.0.0.77", "255.255.0.0", "127.0.0.2"}));
    }

    // The web server: silent, stopped and restarted at once, rid of idle
    // connections, and serving again after running out of descriptors.
    void serverScenario()
    {
        DxuSimServer server;
        QVERIFY2(server.start(QHostAddress(kServerAddress)), qPrintable(server.errorString()));
        server.setSilent(true);
        HttpClient client;
        QSignalSpy done(&client, &HttpClient::done);
        const QStringList paths = {settingsQuery(kSample, QueryTail::RunBoth)};
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
        server.setIdleTimeout(300);
        QTcpSocket idle;
        idle.connectToHost(QHostAddress(kServerAddress), 80);
        QTRY_COMPARE_WITH_TIMEOUT(idle.state(), QAbstractSocket::UnconnectedState, 10000);

#ifndef Q_OS_WIN // Windows limits no process's descriptors: there this part is left out
        // Five connections wait while the process may open only seven more
        // descriptors: the server accepts some, runs out, and waits (once).
        QSignalSpy said(&server, &DxuSimServer::requestHandled);
        rlimit saved = {};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
        const qsizetype open =
            QDir("/proc/self/fd")
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                .size();
        const rlimit lowered{rlim_t(open + 7), saved.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &lowered), 0);
        auto waiting = std::make_unique<QTcpSocket[]>(5);
        for (int i = 0; i < 5; ++i)
            waiting[i].connectToHost(QHostAddress(kServerAddress), 80);
        QTest::qWait(500);
        waiting.reset(); // the accepted ones go, and free their descriptors
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
        QCOMPARE(said.size(), 1);
        QVERIFY(said[0][0].toString().startsWith("out of file descriptors"));
#endif

        // It serves again once a descriptor is free, the request applied.
        client.setHost(kServerAddress);
        client.get(paths[0]);
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
        QCOMPARE(done[1][0].toBool(), false);
        QCOMPARE(server.requestLog(), paths + paths);
        QVERIFY(server.state().gen1Running && server.state().gen2Running);
        QCOMPARE(readBackDifferences(client.readAll(), kSample, 3), QString());

        // A server that runs for days keeps only the newest lines; the count goes on.
        server.setLogLength(1);
        client.get(paths[0] + "&x");
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 3, 10000);
        QCOMPARE(server.requestLog(), QStringList{paths[0] + "&x"});
        QCOMPARE(server.requestCount(), 3);
    }
};

DXU_TEST_MAIN(SimTest)
#include "tst_sim_pages.moc"
