// The simulator's pages read back with the panel's page patterns (QRegExp in
// its default syntax, the patterns copied as the panel uses them), for both
// models and many states, and the requests that change the simulated
// instrument: settings, run and reset flags, threshold, network read and
// write, and a silent instrument.
#include "support/test_support.h"

#include "device/http_client.h"
#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_requests.h"
#include "sim/dxu_sim_server.h"

#include <QObject>
#include <QRandomGenerator>
#include <QRegExp>
#include <QRegularExpression>
#include <QSignalSpy>

namespace {

// The panel's patterns for the setup page and the network page (C string
// literals: each doubled backslash is one backslash of the pattern).
const char *const kSettingsPattern =
    "value=\"(\\d+\\.?\\d{0,10})\".*value=\"(\\d+.?\\d{0,10})\"\".*value=\"(\\d+)\".*value=\"(\\d+)"
    "\".*value=\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*value=\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*"
    "value=\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*value=\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*value="
    "\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*value=\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*value=\"("
    "\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*value=\"(\\d+.?\\d{0,10}|\\d+e\\-\\d{2})\".*value=\"(\\d+.?"
    "\\d{0,10}|\\d+e\\-\\d{2})\"";
const char *const kTs1Pattern = "select name=\"ts1\">.*<option value=(\\d) "
                                "selected=\"selected\".*High Level</option></select></TD><TD>";
const char *const kTs2Pattern =
    "select name=\"ts2\">.*<option value=(\\d) selected=\"selected\".*</option></select></TD></tr>";
const char *const kFreq1Pattern = "<select name=\"freq1\">.*<option value=(\\d) "
                                  "selected=\"selected\">.*</option></select></TD><TD>";
const char *const kFreq2Pattern = "<select name=\"freq2\">.*<option value=(\\d) "
                                  "selected=\"selected\">.*</option></select></TD></tr>";
const char *const kModel3Marker = "<p class=\"s0\">v.3";
const char *const kNetworkPattern =
    "value=\"([0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2})"
    "\".*value=\"(\\d+.\\d+.\\d+.\\d+)\".*value=\"(\\d+.\\d+.\\d+.\\d+)\".*value=\"(\\d+.\\d+.\\d+."
    "\\d+)\"";
const char *const kDhcpPattern =
    "<input type=\"checkbox\" name=\"dhcp\" value=\"1\"(CHECKED){0,1}/>.*";

const char *const kServerAddress = "127.0.0.31";

// QRegExp in its default syntax, as the panel runs the patterns.
QRegExp panelPattern(const char *pattern) { return QRegExp(QString::fromLatin1(pattern)); }

// The text the panel searches: NUL bytes dropped, Latin-1, no line feeds.
QString pageText(QByteArray body)
{
    body.replace(QByteArray(1, '\0'), QByteArray());
    QString text = QString::fromLatin1(body);
    text.remove(QLatin1Char('\n'));
    return text;
}

// What a setup page gives back through the patterns, in the record's terms
// (ends = width + start).
struct ReadBack
{
    bool settingsMatched = false;
    DxuSimState settings;                           // the twelve values of the settings pattern
    int ts1 = -1, ts2 = -1, freq1 = -1, freq2 = -1; // -1: the pattern does not match
    bool model3 = false;
};

ReadBack readWithQRegExp(const QByteArray &body)
{
    const QString text = pageText(body);
    ReadBack r;
    QRegExp settings = panelPattern(kSettingsPattern);
    if (settings.indexIn(text) >= 0) {
        r.settingsMatched = true;
        auto number = [&](int group) { return settings.cap(group).toDouble(); };
        DxuSimState &s = r.settings;
        s.p1 = number(1);
        s.p2 = number(2);
        s.pn1 = settings.cap(3).toInt();
        s.pn2 = settings.cap(4).toInt();
        s.ch1_st1 = number(5);
        s.ch1_st2 = number(6);
        s.ch1_et1 = number(7) + s.ch1_st1;
        s.ch1_et2 = number(8) + s.ch1_st2;
        s.ch2_st1 = number(9);
        s.ch2_st2 = number(10);
        s.ch2_et1 = number(11) + s.ch2_st1;
        s.ch2_et2 = number(12) + s.ch2_st2;
    }
    auto select = [&](const char *pattern) {
        QRegExp rx = panelPattern(pattern);
        return rx.indexIn(text) >= 0 ? rx.cap(1).toInt() : -1;
    };
    r.ts1 = select(kTs1Pattern);
    r.ts2 = select(kTs2Pattern);
    r.freq1 = select(kFreq1Pattern);
    r.freq2 = select(kFreq2Pattern);
    r.model3 = panelPattern(kModel3Marker).indexIn(text) >= 0;
    return r;
}

QString describe(const DxuSimState &s)
{
    return QStringLiteral("p1=%1 p2=%2 pn1=%3 pn2=%4 ch1=%5..%6 ch2=%7..%8 ch3=%9..%10 "
                          "ch4=%11..%12")
        .arg(simNumber(s.p1), simNumber(s.p2))
        .arg(s.pn1)
        .arg(s.pn2)
        .arg(simNumber(s.ch1_st1), simNumber(s.ch1_et1), simNumber(s.ch2_st1), simNumber(s.ch2_et1),
             simNumber(s.ch1_st2), simNumber(s.ch1_et2), simNumber(s.ch2_st2),
             simNumber(s.ch2_et2));
}

// The settings read back against those held. Periods, counts and starts
// come back as held. An end comes back as start plus the width the page
// shows, and that width has six significant digits: the end may move by
// the rounding of the width, never more.
QString settingsDifferences(const DxuSimState &read, const DxuSimState &held)
{
    QStringList differences;
    auto exact = [&](const char *name, double got, double want) {
        if (simNumber(got) != simNumber(want))
            differences << QStringLiteral("%1 %2 != %3")
                               .arg(QLatin1String(name), simNumber(got), simNumber(want));
    };
    auto end = [&](const char *name, double got, double want, double start) {
        if (qAbs(got - want) > 5.01e-6 * qAbs(want - start) + 1e-12)
            differences << QStringLiteral("%1 %2 != %3")
                               .arg(QLatin1String(name), QString::number(got, 'g', 12),
                                    QString::number(want, 'g', 12));
    };
    exact("p1", read.p1, held.p1);
    exact("p2", read.p2, held.p2);
    exact("pn1", read.pn1, held.pn1);
    exact("pn2", read.pn2, held.pn2);
    exact("ch1_st1", read.ch1_st1, held.ch1_st1);
    exact("ch1_st2", read.ch1_st2, held.ch1_st2);
    exact("ch2_st1", read.ch2_st1, held.ch2_st1);
    exact("ch2_st2", read.ch2_st2, held.ch2_st2);
    end("ch1_et1", read.ch1_et1, held.ch1_et1, held.ch1_st1);
    end("ch1_et2", read.ch1_et2, held.ch1_et2, held.ch1_st2);
    end("ch2_et1", read.ch2_et1, held.ch2_et1, held.ch2_st1);
    end("ch2_et2", read.ch2_et2, held.ch2_et2, held.ch2_st2);
    return differences.join(QLatin1String("; "));
}

// A time as the panel sends it (six significant digits) and the instrument
// then holds it: a number of ticks of the given time base, in milliseconds.
double ticksAsSent(quint64 ticks, int timeBase)
{
    return simNumber(double(ticks) * 2e-05 * (1 << timeBase)).toDouble();
}

double randomTime(QRandomGenerator &random, int timeBase, double maxMs)
{
    const quint64 maxTicks = quint64(maxMs / (2e-05 * (1 << timeBase)));
    switch (random.bounded(4)) {
    case 0:
        return ticksAsSent(random.bounded(1, 5), timeBase); // 2e-05, 4e-05, …
    case 1:
        return 0;
    case 2:
        return ticksAsSent(random.bounded(quint64(5), quint64(500)), timeBase);
    }
    return ticksAsSent(random.bounded(quint64(1), maxTicks), timeBase);
}

DxuSimState randomState(QRandomGenerator &random, int ts1, int ts2, int freq1, int freq2)
{
    DxuSimState s;
    s.ts1 = ts1;
    s.ts2 = ts2;
    s.freq1 = freq1;
    s.freq2 = freq2;
    // Periods below 0.0001 ms would be written in exponent form, which the
    // period groups of the pattern do not accept.
    s.p1 = qMax(0.0001, randomTime(random, freq1, 10736));
    s.p2 = qMax(0.0001, randomTime(random, freq2, 10736));
    s.pn1 = random.bounded(0, 131073);
    s.pn2 = random.bounded(0, 131073);
    double *starts[4] = {&s.ch1_st1, &s.ch2_st1, &s.ch1_st2, &s.ch2_st2};
    double *ends[4] = {&s.ch1_et1, &s.ch2_et1, &s.ch1_et2, &s.ch2_et2};
    for (int i = 0; i < 4; ++i) {
        const int timeBase = i < 2 ? freq1 : freq2;
        *starts[i] = randomTime(random, timeBase, 5000);
        *ends[i] = simNumber(*starts[i] + randomTime(random, timeBase, 5000)).toDouble();
    }
    s.gen1Running = random.bounded(2);
    s.gen2Running = random.bounded(2);
    s.thresholdVolts = simNumber(0.05 + random.bounded(496) / 100.0).toDouble();
    return s;
}

void verifyPageReadsBack(const DxuSimState &state, int model)
{
    const ReadBack r = readWithQRegExp(setupPage(state, model));
    QVERIFY(r.settingsMatched);
    const QString differences = settingsDifferences(r.settings, state);
    QVERIFY2(differences.isEmpty(), qPrintable(differences));
    QCOMPARE(r.ts1, state.ts1);
    QCOMPARE(r.ts2, state.ts2);
    QCOMPARE(r.freq1, state.freq1);
    QCOMPARE(r.freq2, state.freq2);
    QCOMPARE(r.model3, model == 3);
}

struct NetworkReadBack
{
    QString mac, ip, mask, gateway;
    int dhcp = -1; // -1: the check box pattern does not match
};

NetworkReadBack readNetworkPage(const QByteArray &body)
{
    const QString text = pageText(body);
    NetworkReadBack r;
    QRegExp addresses = panelPattern(kNetworkPattern);
    if (addresses.indexIn(text) >= 0) {
        r.mac = addresses.cap(1);
        r.ip = addresses.cap(2);
        r.mask = addresses.cap(3);
        r.gateway = addresses.cap(4);
    }
    QRegExp dhcp = panelPattern(kDhcpPattern);
    if (dhcp.indexIn(text) >= 0)
        r.dhcp = dhcp.cap(1) == QLatin1String("CHECKED");

    // The panel's network page patterns are Perl-like: same result wanted.
    const QRegularExpressionMatch m =
        QRegularExpression(QString::fromLatin1(kNetworkPattern),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(text);
    if (m.hasMatch() != !r.mac.isEmpty() || (m.hasMatch() && m.captured(2) != r.ip))
        r.mac = QStringLiteral("engines disagree");
    return r;
}

QString settingsQueryFor(const DxuSimState &s, const QString &tail)
{
    return QStringLiteral("/sg_hr_run.shtml?ts1=%1&ts2=%2&p1=%3&p2=%4&pn1=%5&pn2=%6&ch1_st1=%7"
                          "&ch1_st2=%8&ch1_et1=%9&ch1_et2=%10&ch2_st1=%11&ch2_st2=%12"
                          "&ch2_et1=%13&ch2_et2=%14&freq1=%15&freq2=%16")
               .arg(s.ts1)
               .arg(s.ts2)
               .arg(simNumber(s.p1), simNumber(s.p2))
               .arg(s.pn1)
               .arg(s.pn2)
               .arg(simNumber(s.ch1_st1), simNumber(s.ch1_st2), simNumber(s.ch1_et1),
                    simNumber(s.ch1_et2), simNumber(s.ch2_st1), simNumber(s.ch2_st2),
                    simNumber(s.ch2_et1), simNumber(s.ch2_et2))
               .arg(s.freq1)
               .arg(s.freq2) +
           tail;
}

DxuSimState sampleState()
{
    DxuSimState s;
    s.ts1 = 6;
    s.ts2 = 1;
    s.p1 = 1234.57;
    s.p2 = 0.2;
    s.pn1 = 40000;
    s.pn2 = 3;
    s.ch1_st1 = 1.5;
    s.ch1_et1 = 3.5;
    s.ch1_st2 = 0;
    s.ch1_et2 = 2e-05;
    s.ch2_st1 = 0.00012;
    s.ch2_et1 = 10;
    s.ch2_st2 = 100;
    s.ch2_et2 = 10736;
    s.freq1 = 3;
    s.freq2 = 1;
    return s;
}

} // namespace

class SimPagesTest : public QObject
{
    Q_OBJECT

private slots:
    void setupPageReadsBack_data();
    void setupPageReadsBack();
    void setupPageReadsBackForEveryCodeCombination();
    void setupPageCarriesItsMarkers();
    void settingsQueryChangesTheState();
    void runAndResetFlags();
    void refusedValuesAreKept();
    void thresholdOnModel3Only();
    void networkPageReadsBack();
    void networkWriteChangesTheConfiguration();
    void unknownPathIsNotFound();
    void panelTrafficChangesTheServedInstrument();
    void silentInstrumentNeverAnswers();
};

void SimPagesTest::setupPageReadsBack_data()
{
    QTest::addColumn<DxuSimState>("state");
    QTest::addColumn<int>("model");
    DxuSimState ticks;
    ticks.p1 = 0.0001;
    ticks.p2 = 10736;
    ticks.ch1_st1 = 0;
    ticks.ch1_et1 = 2e-05;
    ticks.ch1_st2 = 2e-05;
    ticks.ch1_et2 = 4e-05;
    ticks.ch2_st1 = 4e-05;
    ticks.ch2_et1 = 0.0001;
    ticks.ch2_st2 = 8e-05;
    ticks.ch2_et2 = 0.00016;
    ticks.pn1 = 0;
    ticks.pn2 = 131072;
    DxuSimState large = sampleState();
    large.ch1_st1 = 5000.5;
    large.ch1_et1 = 10736;
    large.ch2_st2 = 9999.99;
    large.ch2_et2 = 10000;
    DxuSimState zeros;
    zeros.p1 = zeros.p2 = 0;
    zeros.ch1_et1 = zeros.ch1_et2 = zeros.ch2_et1 = zeros.ch2_et2 = 0;
    for (int model : {2, 3}) {
        const QByteArray suffix = model == 2 ? " DXU2" : " DXU3";
        QTest::newRow("start-up values" + suffix) << DxuSimState() << model;
        QTest::newRow("one-tick widths" + suffix) << ticks << model;
        QTest::newRow("sample" + suffix) << sampleState() << model;
        QTest::newRow("large values" + suffix) << large << model;
        QTest::newRow("all zero" + suffix) << zeros << model;
    }
}

void SimPagesTest::setupPageReadsBack()
{
    QFETCH(DxuSimState, state);
    QFETCH(int, model);
    verifyPageReadsBack(state, model);
}

void SimPagesTest::setupPageReadsBackForEveryCodeCombination()
{
    QRandomGenerator random(20240611);
    for (int model : {2, 3})
        for (int ts1 : {0, 1, 2, 4, 6})
            for (int ts2 : {0, 1})
                for (int freq1 = 0; freq1 < 4; ++freq1)
                    for (int freq2 = 0; freq2 < 4; ++freq2) {
                        const DxuSimState state = randomState(random, ts1, ts2, freq1, freq2);
                        verifyPageReadsBack(state, model);
                        if (QTest::currentTestFailed()) {
                            qWarning().noquote() << "state:" << describe(state) << "model" << model;
                            return;
                        }
                    }
}

void SimPagesTest::setupPageCarriesItsMarkers()
{
    DxuSimState state;
    state.thresholdVolts = 2.5;
    const QString model3 = QString::fromLatin1(setupPage(state, 3));
    const QString model2 = QString::fromLatin1(setupPage(state, 2));
    QVERIFY(model3.contains(QLatin1String("Human Readable setup")));
    QVERIFY(model2.contains(QLatin1String("Human Readable setup")));
    QVERIFY(model3.contains(QLatin1String("<p class=\"s0\">v.3")));
    QVERIFY(!model2.contains(QLatin1String("<p class=\"s0\">v.3")));
    QVERIFY(model3.contains(QLatin1String("name=\"volt\" value=\"2.5\"")));
    QVERIFY(!model2.contains(QLatin1String("volt")));
}

void SimPagesTest::settingsQueryChangesTheState()
{
    DxuSimState instrument;
    const DxuSimState sent = sampleState();
    const DxuSimAnswer answer =
        answerRequest(instrument, 3, settingsQueryFor(sent, QStringLiteral("&save=1")));
    QCOMPARE(answer.status, 200);
    QCOMPARE(describe(instrument), describe(sent));
    QCOMPARE(instrument.ts1, 6);
    QCOMPARE(instrument.ts2, 1);
    QCOMPARE(instrument.freq1, 3);
    QCOMPARE(instrument.freq2, 1);
    QCOMPARE(instrument.saves, 1);
    QVERIFY(!instrument.gen1Running && !instrument.gen2Running);
    QCOMPARE(answer.summary, QStringLiteral("settings applied, saved; setup page"));
    // The answer is the setup page with the new settings.
    const ReadBack r = readWithQRegExp(answer.body);
    QCOMPARE(settingsDifferences(r.settings, sent), QString());
    QCOMPARE(r.ts1, 6);
}

void SimPagesTest::runAndResetFlags()
{
    DxuSimState s;
    const QString query = settingsQueryFor(s, QString());
    answerRequest(s, 3, query + QStringLiteral("&sg1_run=1&save=1"));
    QVERIFY(s.gen1Running);
    QVERIFY(!s.gen2Running);
    answerRequest(s, 3, query + QStringLiteral("&sg2_run=1&save=1"));
    QVERIFY(s.gen1Running && s.gen2Running);
    QCOMPARE(s.saves, 2);

    DxuSimAnswer answer = answerRequest(s, 3, QStringLiteral("/sg_run.shtml?reset1=1"));
    QVERIFY(!s.gen1Running && s.gen2Running);
    QCOMPARE(answer.summary, QStringLiteral("generator 1 stopped; setup page"));
    QCOMPARE(settingsDifferences(readWithQRegExp(answer.body).settings, s), QString());
    answerRequest(s, 3, QStringLiteral("/sg_run.shtml?reset2=1"));
    QVERIFY(!s.gen1Running && !s.gen2Running);

    answerRequest(s, 3, query + QStringLiteral("&sg1_run=1&sg2_run=1&save=1"));
    QVERIFY(s.gen1Running && s.gen2Running);
    answerRequest(s, 3, QStringLiteral("/sg_run.shtml?reset1=1&reset2=1"));
    QVERIFY(!s.gen1Running && !s.gen2Running);
    QCOMPARE(s.saves, 3);
}

void SimPagesTest::refusedValuesAreKept()
{
    DxuSimState s = sampleState();
    const DxuSimState before = s;
    DxuSimState odd = sampleState();
    QString query = settingsQueryFor(odd, QStringLiteral("&save=1"));
    query.replace(QLatin1String("ts1=6"), QLatin1String("ts1=3"));
    query.replace(QLatin1String("freq2=1"), QLatin1String("freq2=4"));
    query.replace(QLatin1String("p1=1234.57"), QLatin1String("p1=abc"));
    query.replace(QLatin1String("ch2_et2=10736"), QLatin1String("ch2_et2=-1"));
    s.p2 = 1; // changed by the query back to sampleState's 0.2
    const DxuSimAnswer answer = answerRequest(s, 3, query);
    QCOMPARE(s.ts1, before.ts1);
    QCOMPARE(s.freq2, before.freq2);
    QCOMPARE(s.p1, before.p1);
    QCOMPARE(s.ch2_et2, before.ch2_et2);
    QCOMPARE(s.p2, 0.2);
    QCOMPARE(answer.summary,
             QStringLiteral("settings applied except p1, ch2_et2, ts1, freq2 (kept), saved; "
                            "setup page"));
}

void SimPagesTest::thresholdOnModel3Only()
{
    DxuSimState s;
    DxuSimAnswer answer = answerRequest(s, 3, QStringLiteral("/tt.shtml?volt=2.5"));
    QCOMPARE(answer.status, 200);
    QCOMPARE(s.thresholdVolts, 2.5);
    QVERIFY(readWithQRegExp(answer.body).model3);

    answerRequest(s, 3, QStringLiteral("/tt.shtml?volt=7"));
    QCOMPARE(s.thresholdVolts, 2.5);
    answerRequest(s, 3, QStringLiteral("/tt.shtml?volt=0.05"));
    QCOMPARE(s.thresholdVolts, 0.05);

    answer = answerRequest(s, 2, QStringLiteral("/tt.shtml?volt=1"));
    QCOMPARE(answer.status, 404);
    QCOMPARE(s.thresholdVolts, 0.05);
}

void SimPagesTest::networkPageReadsBack()
{
    DxuSimNetwork n;
    n.mac = {0x00, 0x1b, 0xc5, 0x0a, 0x0b, 0xfc};
    n.ip = {127, 0, 0, 31};
    n.mask = {255, 255, 255, 0};
    n.gateway = {127, 0, 0, 254};
    n.dhcp = false;
    NetworkReadBack r = readNetworkPage(networkPage(n));
    QCOMPARE(r.mac, QStringLiteral("00:1b:c5:0a:0b:fc"));
    QCOMPARE(r.ip, QStringLiteral("127.0.0.31"));
    QCOMPARE(r.mask, QStringLiteral("255.255.255.0"));
    QCOMPARE(r.gateway, QStringLiteral("127.0.0.254"));
    QCOMPARE(r.dhcp, 0);

    n.dhcp = true;
    r = readNetworkPage(networkPage(n));
    QCOMPARE(r.dhcp, 1);
    QCOMPARE(r.ip, QStringLiteral("127.0.0.31"));
}

void SimPagesTest::networkWriteChangesTheConfiguration()
{
    DxuSimState s;
    DxuSimAnswer answer =
        answerRequest(s, 3,
                      QStringLiteral("/network.shtml?mac=AA:BB:CC:D:E:F&dhcp=1&ip=127.0.0.77"
                                     "&netmask=255.255.0.0&gw=127.0.0.2"));
    QCOMPARE(answer.status, 200);
    const std::array<quint8, 6> mac = {0xaa, 0xbb, 0xcc, 0x0d, 0x0e, 0x0f};
    QVERIFY(s.network.mac == mac);
    QVERIFY(s.network.dhcp);
    const NetworkReadBack r = readNetworkPage(answer.body);
    QCOMPARE(r.mac, QStringLiteral("aa:bb:cc:0d:0e:0f"));
    QCOMPARE(r.ip, QStringLiteral("127.0.0.77"));
    QCOMPARE(r.mask, QStringLiteral("255.255.0.0"));
    QCOMPARE(r.gateway, QStringLiteral("127.0.0.2"));
    QCOMPARE(r.dhcp, 1);

    // A read does not change anything; a bad field in a write keeps its value.
    const DxuSimNetwork before = s.network;
    answerRequest(s, 3, QStringLiteral("/network.shtml"));
    QVERIFY(s.network == before);
    answer = answerRequest(s, 3,
                           QStringLiteral("/network.shtml?mac=aa:bb:cc:dd:ee&dhcp=0"
                                          "&ip=1.2.3.4.5&netmask=256.0.0.0&gw=127.0.0.3"));
    QVERIFY(s.network.mac == before.mac);
    QVERIFY(s.network.ip == before.ip);
    QVERIFY(s.network.mask == before.mask);
    QCOMPARE(readNetworkPage(answer.body).gateway, QStringLiteral("127.0.0.3"));
    QVERIFY(!s.network.dhcp);
    QVERIFY(answer.summary.contains(QLatin1String("except mac, ip, netmask (kept)")));
}

void SimPagesTest::unknownPathIsNotFound()
{
    DxuSimState s;
    const DxuSimState before = s;
    for (const char *path :
         {"/", "/index.html", "/sg_hr_setup3.shtml", "/tt.shtmlx?volt=1", "/SG_HR_SETUP.SHTML"}) {
        const DxuSimAnswer answer = answerRequest(s, 3, QString::fromLatin1(path));
        QCOMPARE(answer.status, 404);
        QVERIFY(!pageText(answer.body).contains(QLatin1String("Human Readable setup")));
    }
    QVERIFY(s == before);
}

void SimPagesTest::panelTrafficChangesTheServedInstrument()
{
    DxuSimServer server;
    QVERIFY2(server.start(QHostAddress(QString::fromLatin1(kServerAddress))),
             qPrintable(server.errorString()));
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    const QString settings =
        settingsQueryFor(sampleState(), QStringLiteral("&sg1_run=1&sg2_run=1&save=1"));
    for (const QString &path : {settings, QStringLiteral("/sg_run.shtml?reset2=1"),
                                QStringLiteral("/tt.shtml?volt=1.25")}) {
        client.setHost(QString::fromLatin1(kServerAddress));
        client.get(path);
    }
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done[0][0].toBool(), false);
    QCOMPARE(server.requestLog(), QStringList({settings, QStringLiteral("/sg_run.shtml?reset2=1"),
                                               QStringLiteral("/tt.shtml?volt=1.25")}));
    QCOMPARE(server.requestLines().first(), QStringLiteral("GET %1 HTTP/1.1").arg(settings));
    const DxuSimState held = server.state();
    QCOMPARE(describe(held), describe(sampleState()));
    QVERIFY(held.gen1Running);
    QVERIFY(!held.gen2Running);
    QCOMPARE(held.thresholdVolts, 1.25);
    const ReadBack r = readWithQRegExp(client.readAll());
    QCOMPARE(settingsDifferences(r.settings, sampleState()), QString());
    QVERIFY(r.model3);

    client.setHost(QString::fromLatin1(kServerAddress));
    client.get(QStringLiteral("/network.shtml?mac=00:11:22:33:44:55&dhcp=1&ip=127.0.0.88"
                              "&netmask=255.0.0.0&gw=127.0.0.1"));
    client.get(QStringLiteral("/network.shtml"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    const NetworkReadBack network = readNetworkPage(client.readAll());
    QCOMPARE(network.mac, QStringLiteral("00:11:22:33:44:55"));
    QCOMPARE(network.ip, QStringLiteral("127.0.0.88"));
    QCOMPARE(network.dhcp, 1);
}

void SimPagesTest::silentInstrumentNeverAnswers()
{
    DxuSimServer server;
    QVERIFY2(server.start(QHostAddress(QString::fromLatin1(kServerAddress))),
             qPrintable(server.errorString()));
    server.setSilent(true);
    const DxuSimState before = server.state();
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(QString::fromLatin1(kServerAddress));
    client.get(settingsQueryFor(sampleState(), QStringLiteral("&sg1_run=1&save=1")));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestLog().size(), 1, 10000);
    QTest::qWait(1500);
    QCOMPARE(done.size(), 0);
    QVERIFY(server.state() == before);
    client.abort();
    QCOMPARE(done.size(), 1);

    // Speaking again, it answers the next request.
    server.setSilent(false);
    client.setHost(QString::fromLatin1(kServerAddress));
    client.get(QStringLiteral("/sg_hr_setup.shtml"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    QCOMPARE(done[1][0].toBool(), false);
    QVERIFY(readWithQRegExp(client.readAll()).model3);
}

DXU_TEST_MAIN(SimPagesTest)
#include "tst_sim_pages.moc"
