// The Generator settings record and the millisecond/microsecond display.
#include "app/dxu_gui.h"
#include "device/usb_frames.h"
#include "support/test_support.h"

struct DxuGuiTestAccess
{
    static GeneratorSettings &record(dxu_gui &w) { return w.record; }
    static double unitFactor(dxu_gui &w) { return w.unitFactor; }
    static void fieldsToRecord(dxu_gui &w) { w.fieldsToRecord(); }
    static void recordToFields(dxu_gui &w) { w.recordToFields(); }
};

namespace {
QDoubleSpinBox *box(dxu_gui &w, const char *name) { return w.findChild<QDoubleSpinBox *>(name); }
QAction *action(dxu_gui &w, const char *name) { return w.findChild<QAction *>(name); }
} // namespace

class RecordUnitsTest : public QObject
{
    Q_OBJECT

private slots:
    void microsecondsEnterTheRecordInMilliseconds()
    {
        dxu_gui w;
        action(w, "actionMicroseconds")->trigger();
        QVERIFY(!action(w, "actionMiliseconds")->isChecked());
        QCOMPARE(DxuGuiTestAccess::unitFactor(w), 0.001);
        QCOMPARE(box(w, "periodG1")->decimals(), 2);
        QCOMPARE(box(w, "periodG1")->maximum(), 1.0736e7);
        QCOMPARE(w.findChild<QLabel *>("label")->text(), QStringLiteral("Period, us:"));
        QCOMPARE(w.findChild<QGroupBox *>("groupCh4")->title(), QStringLiteral("Ch4, us"));

        box(w, "periodG1")->setValue(300);
        box(w, "g2c1start")->setValue(2);
        box(w, "g2c1stop")->setValue(5);
        DxuGuiTestAccess::fieldsToRecord(w);
        const GeneratorSettings &r = DxuGuiTestAccess::record(w);
        QCOMPARE(r.p1, 0.3);
        QCOMPARE(r.ch1_st2, 0.002);
        QCOMPARE(r.ch1_et2, 0.007);

        // A two-decimal entry is k * 10 ns, exactly k >> (tb + 1) ticks: up to
        // 20 us and near the top of the range every value goes out exactly
        // (1,000,000 us once went out as 50000002 ticks).
        int wrong = 0;
        for (qint64 first : {qint64(0), qint64(1073598000), qint64(99999000)})
            for (qint64 k = first; k <= first + 2000; ++k) {
                box(w, "periodG1")->setValue(k / 100.0);
                DxuGuiTestAccess::fieldsToRecord(w);
                for (std::uint8_t timeBase = 0; timeBase < 4; ++timeBase)
                    wrong += timeToTicks(r.p1, timeBase) != k >> (timeBase + 1);
            }
        QCOMPARE(wrong, 0);
    }

    void switchingShowsTheRecordInEitherUnit()
    {
        dxu_gui w;
        DxuGuiTestAccess::record(w).p1 = 1.5;
        action(w, "actionMicroseconds")->trigger();
        QCOMPARE(box(w, "periodG1")->text(), QStringLiteral("1500.00"));
        action(w, "actionMiliseconds")->trigger();
        QCOMPARE(box(w, "periodG1")->text(), QStringLiteral("1.50000"));
        QCOMPARE(DxuGuiTestAccess::unitFactor(w), 1.0);
        QVERIFY(!action(w, "actionMicroseconds")->isChecked());
        QCOMPARE(w.findChild<QLabel *>("label_18")->text(), QStringLiteral("Period, ms:"));
    }

    void editsAreReplacedByTheRecordOnASwitch()
    {
        dxu_gui w;
        box(w, "g1c1stop")->setValue(12.5);
        action(w, "actionMicroseconds")->trigger();
        QCOMPARE(box(w, "g1c1stop")->value(), 200000.0);
    }

    void uncheckingAUnitByHandChangesNothing()
    {
        dxu_gui w;
        action(w, "actionMiliseconds")->trigger(); // unchecks it
        QVERIFY(!action(w, "actionMiliseconds")->isChecked());
        QCOMPARE(DxuGuiTestAccess::unitFactor(w), 1.0);
        QCOMPARE(box(w, "periodG1")->decimals(), 5);
    }

    void stepsFollowEachGeneratorsTimeBase()
    {
        dxu_gui w;
        QCOMPARE(box(w, "periodG1")->singleStep(), static_cast<double>(static_cast<float>(2e-5)));
        w.findChild<QComboBox *>("timeUnitG1")->setCurrentIndex(2);
        for (const char *name : {"periodG1", "g1c1start", "g1c1stop", "g1c2start", "g1c2stop"})
            QCOMPARE(box(w, name)->singleStep(), 7.999999797903001e-05);
        for (const char *name : {"periodG2", "g2c1start", "g2c1stop", "g2c2start", "g2c2stop"})
            QCOMPARE(box(w, name)->singleStep(), static_cast<double>(static_cast<float>(2e-5)));
        QCOMPARE(DxuGuiTestAccess::record(w).freq1, 2);

        action(w, "actionMicroseconds")->trigger();
        QCOMPARE(box(w, "periodG1")->singleStep(),
                 static_cast<double>(static_cast<float>(4 * 0.02f)));
        QCOMPARE(box(w, "periodG2")->singleStep(), static_cast<double>(0.02f));
    }

    void recordAndSourceCodes()
    {
        dxu_gui w;
        QComboBox *source1 = w.findChild<QComboBox *>("sourceG1");
        QComboBox *source2 = w.findChild<QComboBox *>("sourceG2");
        GeneratorSettings &r = DxuGuiTestAccess::record(w);

        source1->setCurrentIndex(3);
        source2->setCurrentIndex(1);
        DxuGuiTestAccess::fieldsToRecord(w);
        QCOMPARE(int(r.ts1), 4);
        QCOMPARE(int(r.ts2), 1);

        r.ts1 = 6;
        r.ts2 = 0;
        DxuGuiTestAccess::recordToFields(w);
        QCOMPARE(source1->currentIndex(), 4);
        QCOMPARE(source2->currentIndex(), 0);

        // Codes 3 and 5 have no entry: the combos stay where they are.
        r.ts1 = 3;
        r.ts2 = 5;
        DxuGuiTestAccess::recordToFields(w);
        QCOMPARE(source1->currentIndex(), 4);
        QCOMPARE(source2->currentIndex(), 0);
        r.ts1 = 5;
        DxuGuiTestAccess::recordToFields(w);
        QCOMPARE(source1->currentIndex(), 4);
    }

    void widthsAreEndsMinusStarts()
    {
        dxu_gui w;
        GeneratorSettings &r = DxuGuiTestAccess::record(w);
        r.ch2_st1 = 1.25;
        r.ch2_et1 = 4.0;
        r.pn2 = 40000;
        r.freq2 = 3;
        DxuGuiTestAccess::recordToFields(w);
        QCOMPARE(box(w, "g1c2start")->value(), 1.25);
        QCOMPARE(box(w, "g1c2stop")->value(), 2.75);
        QCOMPARE(w.findChild<QSpinBox *>("pulsesG2")->value(), 40000);
        QCOMPARE(w.findChild<QComboBox *>("timeUnitG2")->currentIndex(), 3);
        // a time base without an entry (from a page, a frame) leaves the combos
        r.freq1 = 4;
        r.freq2 = 255;
        DxuGuiTestAccess::recordToFields(w);
        DxuGuiTestAccess::fieldsToRecord(w);
        QCOMPARE(r.freq1, 0);
        QCOMPARE(r.freq2, 3);

        box(w, "g1c1start")->setValue(1.5);
        box(w, "g1c1stop")->setValue(2);
        DxuGuiTestAccess::fieldsToRecord(w);
        QCOMPARE(r.ch1_st1, 1.5);
        QCOMPARE(r.ch1_et1, 3.5);
    }
};

DXU_TEST_MAIN(RecordUnitsTest)
#include "tst_record_units.moc"
