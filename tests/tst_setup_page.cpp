// The setup page parser on copies of the simulated instrument's pages edited
// into what an instrument might also send. The unedited pages of both models
// are read through the window in tst_ethernet_replies.
#include "support/test_support.h"

#include "device/setup_page_parser.h"
#include "sim/dxu_sim_pages.h"

#include <QObject>

#include <limits>

namespace {

SetupPageFields parse(const QByteArray &body) { return parseSetupPage(setupPageText(body)); }

} // namespace

class SetupPageTest : public QObject
{
    Q_OBJECT

private slots:
    void unmatchedSettingsLeaveTheTwelveFields_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::newRow("one-digit exponent")
            << QByteArray("value=\"0.5\"") << QByteArray("value=\"1e-5\"");
        QTest::newRow("no doubled quote") << QByteArray("\"\"") << QByteArray("\"");
    }

    void unmatchedSettingsLeaveTheTwelveFields()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        DxuSimState s;
        s.ch2_et1 = 0.5; // a width of 0.5
        s.ts1 = 2;
        s.freq2 = 1;
        QByteArray page = setupPage(s, 3);
        QCOMPARE(page.count(from), 1);
        const SetupPageFields fields = parse(page.replace(from, to));
        QVERIFY(!fields.timing);

        GeneratorSettings record;
        record.p1 = 77;
        applySetupPage(fields, record);
        QCOMPARE(record.p1, 77.0);
        QCOMPARE(record.ch2_et1, 200.0);
        // The selects have patterns of their own.
        QCOMPARE(int(record.ts1), 2);
        QCOMPARE(record.freq2, 1);
    }

    void ignoresNulBytesAndLineFeeds()
    {
        DxuSimState s;
        s.p1 = 250;
        s.ts1 = 1;
        QByteArray body = setupPage(s, 3);
        // In a value, the model marker and a select, and as padding.
        body.replace("value=\"250\"", QByteArray("value=\"2\0005\n0\"", 13));
        body.replace("s0\">v", QByteArray("s0\"\0>v", 6));
        body.replace("<option value=1 selected", QByteArray("<opt\0ion value=1 sel\nected", 26));
        body.append(QByteArray(100, '\0'));
        QCOMPARE(body.count('\0'), 103);

        removeNulBytes(body);
        const SetupPageFields fields = parse(body);
        QVERIFY(fields.timing);
        QCOMPARE(fields.timing->p1, 250.0);
        QVERIFY(fields.ts1 == 1);
        QVERIFY(fields.isDxu3);
    }

    void extraValuesBindAsQRegExpBindsThem()
    {
        // Numeric value attributes beyond the thirteen the pattern names: the
        // twelve fields are the earliest ones that fit, as on the instrument.
        DxuSimState s;
        s.ch1_st1 = 1;
        s.ch1_et1 = 2;
        s.ch2_st2 = 6;
        s.ch2_et2 = 18;
        QByteArray page = setupPage(s, 3);
        page.replace("</form>", "<input type=\"hidden\" name=\"a\" value=\"901\">"
                                "<input type=\"hidden\" name=\"b\" value=\"902\"></form>");
        const SetupPageFields fields = parse(page);
        QVERIFY(fields.timing);
        QCOMPARE(fields.timing->ch1_st1, 1.0);
        QCOMPARE(fields.timing->ch1_et1, 2.0);
        QCOMPARE(fields.timing->ch2_st2, 6.0);
        QCOMPARE(fields.timing->ch2_et2, 18.0);
    }

    void valuesBeyondTheDoubleRangeGiveFiniteTimes()
    {
        // A value too large for a double does not convert and reads as 0; an
        // end (start plus width) beyond the range is the largest double.
        DxuSimState s;
        s.p2 = 250;
        s.pn1 = 2;
        s.pn2 = 3;
        s.ch1_st1 = 5;
        s.ch1_et1 = 12;
        const QByteArray e308 = "value=\"1" + QByteArray(308, '0') + '"';
        QByteArray page = setupPage(s, 2);
        page.replace("value=\"300\"", "value=\"" + QByteArray(400, '9') + '"');
        page.replace("value=\"5\"", e308).replace("value=\"7\"", e308);
        const SetupPageFields fields = parse(page);
        QVERIFY(fields.timing);
        QCOMPARE(fields.timing->p1, 0.0);
        QCOMPARE(fields.timing->p2, 250.0);
        QCOMPARE(fields.timing->ch1_st1, 1e308);
        QCOMPARE(fields.timing->ch1_et1, std::numeric_limits<double>::max());
    }

    void refusesTextsLongerThanTheBound()
    {
        QString page = setupPageText(setupPage(DxuSimState(), 3));
        page.prepend(QString(MaxSetupPageLength - page.size(), QLatin1Char(' ')));
        QVERIFY(parseSetupPage(page).timing);

        const SetupPageFields refused = parseSetupPage(page + QLatin1Char(' '));
        QVERIFY(!refused.timing && !refused.ts1 && !refused.ts2 && !refused.freq1 &&
                !refused.freq2 && !refused.isDxu3);
    }
};

DXU_TEST_MAIN(SetupPageTest)
#include "tst_setup_page.moc"
