// The instrument's replies as the window applies them: the simulated
// instrument's pages for both models, and which replies reach the widgets.
#include "app/dxu_gui.h"
#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QPushButton>
#include <QStatusBar>

#include <memory>

using namespace EthernetWindow;

struct DxuGuiTestAccess
{
    static const GeneratorSettings &record(dxu_gui &w) { return w.record; }
    static bool waitTimerRuns(dxu_gui &w) { return w.requestTimer.isActive(); }
};

namespace {

const char *const kAddress = "127.0.0.36";

// The sixteen settings of the window's record or of the simulated instrument.
template <typename Settings> QString settingsOf(const Settings &s)
{
    QStringList values;
    for (double value : {double(s.ts1), double(s.ts2), s.p1, s.p2, double(s.pn1), double(s.pn2),
                         s.ch1_st1, s.ch1_et1, s.ch2_st1, s.ch2_et1, s.ch1_st2, s.ch1_et2,
                         s.ch2_st2, s.ch2_et2, double(s.freq1), double(s.freq2)})
        values << QString::number(value);
    return values.join(QLatin1Char(' '));
}

} // namespace

class EthernetRepliesTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim;
    std::unique_ptr<dxu_gui> window;

    QComboBox *combo(const char *name) { return window->findChild<QComboBox *>(name); }
    QDoubleSpinBox *box(const char *name) { return window->findChild<QDoubleSpinBox *>(name); }

private slots:
    void init()
    {
        QVERIFY2(sim.isListening() || sim.start(QHostAddress(QLatin1String(kAddress))),
                 qPrintable(sim.errorString()));
        sim.setFailureStatus(0);
        sim.setState(DxuSimState());
        sim.clearLog();
        window = std::make_unique<dxu_gui>();
    }

    void cleanup() { window.reset(); }

    void pageRecoversTheInstrumentsState_data()
    {
        QTest::addColumn<int>("model");
        QTest::newRow("DXU2") << 2;
        QTest::newRow("DXU3") << 3;
    }

    void pageRecoversTheInstrumentsState()
    {
        QFETCH(int, model);
        // Every setting off its default, in the order ts1 ts2 p1 p2 pn1 pn2,
        // each channel's start and end, freq1 freq2: widths of 2e-05 and 4e-05.
        const DxuSimState s{6,       1,    1.5,   1234.57, 16,    131072, 0.00002,
                            0.00006, 0.25, 0.75,  12.5,    212.5, 3,      3.00002,
                            3,       2,    false, false,   0,     5.0,    {}};
        sim.setState(s);
        sim.setModel(model);
        QVERIFY(setupPage(s, model).contains("value=\"2e-05\""));

        QVERIFY(connectTo(*window, QLatin1String(kAddress)));
        QCOMPARE(connectionLabel(*window), QStringLiteral("127.0.0.36 (DXU%1)").arg(model));
        QCOMPARE(settingsOf(DxuGuiTestAccess::record(*window)), settingsOf(s));
        // The widgets show the page, widths as widths.
        QCOMPARE(combo("sourceG1")->currentIndex(), 4);
        QCOMPARE(combo("timeUnitG1")->currentIndex(), 3);
        QCOMPARE(box("periodG2")->value(), 1234.57);
        QCOMPARE(box("g1c1stop")->value(), 0.00004);
        QCOMPARE(action(*window, "actionTrigger_threshold")->isEnabled(), model == 3);
    }

    void onlyAConnectionsFirstPageFillsTheWidgets()
    {
        QVERIFY(connectTo(*window, QLatin1String(kAddress)));
        QVERIFY(batchEnded(*window));
        DxuSimState running;
        running.ts1 = 2;
        running.ts2 = 1;
        running.p1 = 5;
        running.gen1Running = running.gen2Running = true;
        sim.setState(running);

        // A later reply changes the record, not the widgets.
        QVERIFY(QMetaObject::invokeMethod(window.get(), "getDXUStatus"));
        QVERIFY(batchEnded(*window));
        QCOMPARE(DxuGuiTestAccess::record(*window).p1, 5.0);
        QCOMPARE(int(DxuGuiTestAccess::record(*window).ts1), 2);
        QCOMPARE(box("periodG1")->value(), 300.0);
        QCOMPARE(combo("sourceG1")->currentIndex(), 0);

        // A new connection fills them again, and showing its sources sends
        // no source change: the running generators are not stopped.
        disconnectEthernet(*window);
        sim.clearLog();
        QVERIFY(connectTo(*window, QLatin1String(kAddress)));
        QVERIFY(batchEnded(*window));
        QTest::qWait(200);
        QCOMPARE(sim.requestLog(), QStringList{QStringLiteral("/sg_hr_setup2.shtml")});
        QVERIFY(sim.state().gen1Running && sim.state().gen2Running);
        QCOMPARE(box("periodG1")->value(), 5.0);
        QCOMPARE(combo("sourceG1")->currentIndex(), 2);
        QCOMPARE(combo("sourceG2")->currentIndex(), 1);

        // The operator's own source change is sent.
        combo("sourceG1")->setCurrentIndex(0);
        QVERIFY(batchEnded(*window));
        QCOMPARE(sim.requestLog().size(), 3);
    }

    // A command the instrument refuses (an error status) or that cannot reach
    // it shows "Error", never "Command applied", and the wait timer stops.
    // A refusal keeps the link up; a lost instrument ends it with the box.
    void failedCommand_data()
    {
        QTest::addColumn<bool>("refused"); // else the instrument is gone
        QTest::newRow("status 500") << true;
        QTest::newRow("gone") << false;
    }

    void failedCommand()
    {
        QFETCH(bool, refused);
        QVERIFY(connectTo(*window, QLatin1String(kAddress)));
        QVERIFY(batchEnded(*window));
        QStringList shown;
        QObject context;
        connect(window->statusBar(), &QStatusBar::messageChanged, &context,
                [&shown](const QString &message) { shown << message; });
        if (refused)
            sim.setFailureStatus(500);
        else
            sim.stop();
        MessageBoxWatcher boxes;
        window->findChild<QPushButton *>("runGen1")->click();
        QTRY_VERIFY(shown.contains("Error"));
        QVERIFY(!shown.contains("Command applied"));
        QCOMPARE(boxes.count(), refused ? 0 : 1);
        QCOMPARE(connectionLabel(*window),
                 refused ? QStringLiteral("127.0.0.36 (DXU3)") : QStringLiteral("Disconnected"));
        QVERIFY(!DxuGuiTestAccess::waitTimerRuns(*window));
    }
};

DXU_TEST_MAIN(EthernetRepliesTest)
#include "tst_ethernet_replies.moc"
