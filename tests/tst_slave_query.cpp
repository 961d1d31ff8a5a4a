// The plain parts of the slave dialog: the query every selected instrument is
// sent, the address check of the list, and the sliced wait of the broadcast.
#include "multidevice/broadcast_query.h"
#include "multidevice/event_slices.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QUrlQuery>

namespace {

// The panels as the dialog starts: rising edge, Gen1 Slave, 1000 ms, 10
// pulses, delays 0, widths 10, 20 ns.
ProfileValue startPanels()
{
    ProfileValue v;
    v.ts1 = 2;
    v.ts2 = 1;
    v.p1 = v.p2 = 1000;
    v.pn1 = v.pn2 = 10;
    for (int ch = 0; ch < 4; ++ch) {
        v.delay[ch] = 0;
        v.width[ch] = 10;
    }
    v.freq1 = v.freq2 = 0;
    return v;
}

QString valueOf(const QString &query, const QString &key)
{
    return QUrlQuery(query.section(QLatin1Char('?'), 1)).queryItemValue(key);
}

} // namespace

class SlaveQueryTest : public QObject
{
    Q_OBJECT

private slots:
    void startPanelsGiveTheWholeQuery()
    {
        QCOMPARE(broadcastQuery(startPanels()),
                 QStringLiteral("/sg_hr_run.shtml?ts1=2&ts2=1&p1=1000&p2=1000&pn1=10&pn2=10"
                                "&ch1_st1=0&ch1_st2=0&ch1_et1=10&ch1_et2=10&ch2_st1=0&ch2_st2=0"
                                "&ch2_et1=10&ch2_et2=10&freq1=0&freq2=0&save=1"));
    }

    void eachChannelEndsAtDelayPlusWidth()
    {
        ProfileValue v = startPanels();
        v.delay[0] = 1.5; // Ch1
        v.width[0] = 2;
        v.delay[1] = 3; // Ch2
        v.width[1] = 0.25;
        v.delay[2] = 5; // Ch3
        v.width[2] = 6;
        v.delay[3] = 7.5; // Ch4
        v.width[3] = 100;
        const QString query = broadcastQuery(v);
        QCOMPARE(valueOf(query, QStringLiteral("ch1_st1")), QStringLiteral("1.5"));
        QCOMPARE(valueOf(query, QStringLiteral("ch1_et1")), QStringLiteral("3.5"));
        QCOMPARE(valueOf(query, QStringLiteral("ch2_st1")), QStringLiteral("3"));
        QCOMPARE(valueOf(query, QStringLiteral("ch2_et1")), QStringLiteral("3.25"));
        QCOMPARE(valueOf(query, QStringLiteral("ch1_st2")), QStringLiteral("5"));
        QCOMPARE(valueOf(query, QStringLiteral("ch1_et2")), QStringLiteral("11"));
        QCOMPARE(valueOf(query, QStringLiteral("ch2_st2")), QStringLiteral("7.5"));
        QCOMPARE(valueOf(query, QStringLiteral("ch2_et2")), QStringLiteral("107.5"));
    }

    void sumsAreFormedBeforeFormatting()
    {
        ProfileValue v = startPanels();
        v.delay[0] = 0.1;
        v.width[0] = 0.2; // 0.30000000000000004 in double: "%g" shows 0.3
        v.delay[1] = 10000;
        v.width[1] = 736.12345; // 10736.12345: six digits give 10736.1
        v.delay[2] = 0.00001;
        v.width[2] = 0.00001; // 2e-05, exponent form below 1e-4
        const QString query = broadcastQuery(v);
        QCOMPARE(valueOf(query, QStringLiteral("ch1_et1")), QStringLiteral("0.3"));
        QCOMPARE(valueOf(query, QStringLiteral("ch2_et1")), QStringLiteral("10736.1"));
        QCOMPARE(valueOf(query, QStringLiteral("ch1_st2")), QStringLiteral("1e-05"));
        QCOMPARE(valueOf(query, QStringLiteral("ch1_et2")), QStringLiteral("2e-05"));
    }

    void countsCodesAndTimeBasesAreWholeNumbers()
    {
        ProfileValue v = startPanels();
        v.ts1 = 6;
        v.ts2 = 1;
        v.pn1 = 40000;
        v.pn2 = 131072;
        v.p1 = 1234.5678;
        v.freq1 = 3;
        v.freq2 = 1;
        const QString query = broadcastQuery(v);
        QCOMPARE(valueOf(query, QStringLiteral("ts1")), QStringLiteral("6"));
        QCOMPARE(valueOf(query, QStringLiteral("ts2")), QStringLiteral("1"));
        QCOMPARE(valueOf(query, QStringLiteral("pn1")), QStringLiteral("40000"));
        QCOMPARE(valueOf(query, QStringLiteral("pn2")), QStringLiteral("131072"));
        QCOMPARE(valueOf(query, QStringLiteral("p1")), QStringLiteral("1234.57"));
        QCOMPARE(valueOf(query, QStringLiteral("freq1")), QStringLiteral("3"));
        QCOMPARE(valueOf(query, QStringLiteral("freq2")), QStringLiteral("1"));
    }

    void queryNeverRunsAGenerator()
    {
        ProfileValue v = startPanels();
        v.ts1 = 0;
        v.ts2 = 0;
        const QString query = broadcastQuery(v);
        QVERIFY(query.endsWith(QLatin1String("&freq2=0&save=1")));
        QVERIFY(!query.contains(QLatin1String("_run=")));
        QCOMPARE(query.count(QLatin1String("save=1")), 1);
    }

    void slicedWaitHandlesEventsAndLastsItsTime()
    {
        int fired = 0;
        QTimer::singleShot(30, [&] { ++fired; });
        QElapsedTimer clock;
        clock.start();
        processEventsFor(120);
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(fired, 1);
        QVERIFY2(elapsed >= 120, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));
    }
};

DXU_TEST_MAIN(SlaveQueryTest)
#include "tst_slave_query.moc"
