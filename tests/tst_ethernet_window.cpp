// The main window's Ethernet link against the simulated instrument on
// 127.0.0.38 (a silent one on .39, a misbehaving one on .41): opening and
// closing the link, the hand-over to USB, the pages as the window applies
// them, what each operator action requests, and the failures it shows.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_server.h"
#include "sim/hostile_web_server.h"
#include "support/ethernet_window.h"
#include "support/message_boxes.h"
#include "support/test_support.h"
#include "support/window_access.h"

#include <QElapsedTimer>
#include <QInputDialog>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>

#include <memory>

using namespace EthernetWindow;

namespace {

const QString kSimAddress = QStringLiteral("127.0.0.38");
const QString kSilentAddress = QStringLiteral("127.0.0.39");
const QString kHostileAddress = QStringLiteral("127.0.0.41");
const QString kFailure = QStringLiteral(
    "Can't find DXU on <b>%1</b> <br>Check ethernet cable or try to connect via USB!");

// Run Gen1 with the values the window starts with.
const QString kStartUpRunGen1 = QStringLiteral(
    "/sg_hr_run.shtml?ts1=0&ts2=0&p1=300&p2=300&pn1=1&pn2=1&ch1_st1=0&ch1_st2=0&ch1_et1=200"
    "&ch1_et2=200&ch2_st1=0&ch2_st2=0&ch2_et1=200&ch2_et2=200&freq1=0&freq2=0&sg1_run=1&save=1");

// kStartUpRunGen1 with one part replaced.
QString startUpWith(const char *from, const char *to)
{
    return QString(kStartUpRunGen1).replace(QLatin1String(from), QLatin1String(to));
}

QString storedAddress()
{
    QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
    return store->value(QLatin1String(SettingsStore::LastIpKey)).toString();
}

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

class EthernetWindowTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim;
    DxuSimServer silent;
    HostileWebServer hostile{HostileWebServer::EndlessBody};
    std::unique_ptr<dxu_gui> window;
    QStringList messages; // the status bar's, since init()

    QComboBox *combo(const char *name) { return window->findChild<QComboBox *>(name); }
    QDoubleSpinBox *box(const char *name) { return window->findChild<QDoubleSpinBox *>(name); }
    void click(const char *name) { window->findChild<QPushButton *>(name)->click(); }

private slots:
    void initTestCase()
    {
        silent.setSilent(true);
        QVERIFY2(silent.start(QHostAddress(kSilentAddress)), qPrintable(silent.errorString()));
        QVERIFY(hostile.start(QHostAddress(kHostileAddress)));
    }

    void init()
    {
        QScopedPointer<QSettings>(SettingsStore::openMainSettings())->clear();
        FakeUsb::reset();
        QVERIFY(sim.isListening() || sim.start(QHostAddress(kSimAddress)));
        sim.clearLog();
        sim.setState(DxuSimState());
        sim.setModel(3);
        sim.setReplyDelay(0);
        sim.setFailureStatus(0);
        sim.setForeignBody(std::nullopt);
        silent.clearLog();
        window = std::make_unique<dxu_gui>();
        // Never the default address: tests talk to loopback only.
        DxuGuiTestAccess::deviceIp(*window) = kSimAddress;
        messages.clear();
        connect(window->statusBar(), &QStatusBar::messageChanged, window.get(),
                [this](const QString &message) { messages << message; });
    }

    void cleanup() { window.reset(); }

    // The address is shown, stored and offered next time in its canonical
    // form, without blanks around it; an empty one only unchecks the entry;
    // one no instrument can have is refused with a box and nothing is sent.
    void typedAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: nothing happens
        QTest::addColumn<QString>("refusal");
        const QStringList rows[] = {
            {"127.000.000.038", kSimAddress, ""},
            {"127.0.0.38 ", kSimAddress, ""},
            {"", "", ""},
            {" ", "", ""},
            {"0.0.0.0", "", "0.0.0.0 is the unspecified address, no instrument's"},
        };
        for (const QStringList &row : rows)
            QTest::newRow(qPrintable('"' + row[0] + '"')) << row[0] << row[1] << row[2];
        const QString notOne = QStringLiteral("%1 is not an IPv4 address or host name");
        for (const char *typed : {"127.1", "999.1.1.1", "0x7f.0.0.0x26", "<i>127.0.0.38</i>"})
            QTest::newRow(typed) << typed << "" << notOne.arg(typed);
    }

    void typedAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, refusal);
        MessageBoxWatcher boxes;
        chooseEthernet(*window, typed);
        QTRY_COMPARE(connectionLabel(*window), stored.isEmpty() ? "N/A" : stored + " (DXU3)");
        QTest::qWait(200);
        QCOMPARE(boxes.count(), int(!refusal.isEmpty()));
        QVERIFY(refusal.isEmpty() || boxes.last().text.startsWith(refusal));
        QCOMPARE(action(*window, "actionEthernet")->isChecked(), !stored.isEmpty());
        QCOMPARE(sim.requestLog().size() + silent.requestLog().size(), stored.isEmpty() ? 0 : 1);
        QCOMPARE(storedAddress(), stored);
        if (stored.isEmpty())
            return;
        window = std::make_unique<dxu_gui>();
        QCOMPARE(chooseEthernet(*window, std::nullopt).presetText, stored);
    }

    // Silent, refused, misbehaving, or a name that does not resolve: the
    // operator gets the box, the link closes, the panel keeps its values.
    void unreachableInstrumentFails_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("before"); // connect, then disconnect or fail a command
        QTest::addColumn<int>("behaviour");  // of the misbehaving instrument; -1: none
        QTest::newRow("silent") << kSilentAddress << "" << -1;
        QTest::newRow("silent after a disconnect") << kSilentAddress << "disconnect" << -1;
        QTest::newRow("silent after a failure") << kSilentAddress << "failure" << -1;
        QTest::newRow("refused") << kSimAddress << "" << -1;
        QTest::newRow("unresolvable name") << "no-such-dxu.invalid" << "" << -1;
        // (A reply longer than it announces is its announced part: a page
        // cut short, see unreadableTimingIsShownAsSuch.)
        for (HostileWebServer::Behaviour behaviour : HostileWebServer::allBehaviours())
            if (behaviour != HostileWebServer::LongContentLength)
                QTest::newRow(qPrintable(HostileWebServer::name(behaviour)))
                    << kHostileAddress << QString() << int(behaviour);
    }

    void unreachableInstrumentFails()
    {
        QFETCH(QString, address);
        QFETCH(QString, before);
        QFETCH(int, behaviour);
        if (!before.isEmpty()) {
            QVERIFY(connectTo(*window, kSimAddress));
            QVERIFY(batchEnded(*window));
            if (before == "disconnect") {
                disconnectEthernet(*window);
            } else { // the instrument goes away under a command
                MessageBoxWatcher failure;
                sim.stop();
                click("runGen1");
                QTRY_COMPARE(failure.count(), 1);
                QVERIFY(sim.start(QHostAddress(kSimAddress)));
            }
            messages.clear();
        }
        if (address == kSimAddress)
            sim.stop(); // nothing listens on its address now
        sim.clearLog();
        hostile.setBehaviour(HostileWebServer::Behaviour(qMax(behaviour, 0)));
        MessageBoxWatcher boxes;
        QElapsedTimer clock;
        clock.start();
        chooseEthernet(*window, address);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 15000);
        // A silent instrument is given up after 2.5 s. Timers may fire a
        // little early; a loaded machine answers late.
        if (behaviour < 0)
            QVERIFY2((address != kSilentAddress) == (clock.elapsed() < 2000),
                     qPrintable(QString::number(clock.elapsed())));
        // Only an address that does not answer is a matter of cables.
        if (address.endsWith(".invalid"))
            QVERIFY(
                boxes.last().text.startsWith("The name <b>" + address + "</b> does not resolve"));
        else
            QCOMPARE(boxes.last().text, kFailure.arg(address));
        QCOMPARE(connectionLabel(*window), QStringLiteral("Disconnected"));
        QCOMPARE(sim.requestLog(), QStringList());
        QVERIFY(!action(*window, "actionEthernet")->isChecked());
        QVERIFY(!messages.contains("Command applied"));
        QCOMPARE(box("periodG1")->value(), 300.0);
    }

    // A page whose timing values the patterns cannot read (a period the
    // instrument writes as 4e-05, or a page cut short by its announced
    // length) connects, and says that the boxes are the panel's own.
    void unreadableTimingIsShownAsSuch()
    {
        DxuSimState state;
        state.p1 = 0.00004;
        state.ts1 = 6;
        sim.setState(state);
        hostile.setBehaviour(HostileWebServer::LongContentLength);
        for (const QString &address : {kSimAddress, kHostileAddress}) {
            MessageBoxWatcher boxes;
            disconnectEthernet(*window);
            chooseEthernet(*window, address);
            QTRY_COMPARE(boxes.count(), 1);
            QVERIFY2(boxes.last().text.contains("not the DXU's"), qPrintable(boxes.last().text));
            QCOMPARE(connectionLabel(*window), address + " (DXU3)");
            QCOMPARE(box("periodG1")->value(), 300.0); // the panel's own
            QCOMPARE(combo("sourceG1")->currentIndex(), address == kSimAddress ? 4 : 0);
        }
    }

    // A closed link's probe to a silent instrument reports nothing, neither
    // for its own address nor for the next one the operator connects to, and
    // takes its busy cursor with it.
    void closedProbeReportsNothing()
    {
        MessageBoxWatcher boxes;
        chooseEthernet(*window, kSilentAddress);
        QTRY_COMPARE(silent.requestLog().size(), 1);
        QTRY_VERIFY(QApplication::overrideCursor());
        disconnectEthernet(*window);
        QTRY_VERIFY(!QApplication::overrideCursor());
        QVERIFY(connectTo(*window, kSimAddress));
        QTest::qWait(3000); // past the wait for the silent instrument
        QCOMPARE(boxes.count(), 0);
    }

    // While the first page is on its way the operator closes the link (or
    // opens USB), or switches to microseconds. The closed link's late page
    // changes nothing; the open link's fills the boxes in milliseconds.
    void operatorActsWhileTheProbeWaits_data()
    {
        QTest::addColumn<QStringList>("meanwhile");
        QTest::addColumn<QString>("label");
        QTest::addColumn<double>("period"); // shown in periodG1 afterwards
        QTest::newRow("disconnect") << QStringList{"actionEthernet"} << "Disconnected" << 300.0;
        QTest::newRow("USB") << QStringList{"actionUSB"} << "USB connected DXU3" << 300.0;
        QTest::newRow("disconnect, then USB")
            << QStringList{"actionEthernet", "actionUSB"} << "USB connected DXU3" << 300.0;
        QTest::newRow("microseconds")
            << QStringList{"actionMicroseconds"} << "127.0.0.38 (DXU3)" << 5.0;
    }

    void operatorActsWhileTheProbeWaits()
    {
        QFETCH(QStringList, meanwhile);
        QFETCH(QString, label);
        QFETCH(double, period);
        FakeUsb::addInstrument(FakeUsb::Model::Dxu3); // 300 ms periods
        DxuSimState page;
        page.p1 = 5;
        sim.setState(page);
        sim.setReplyDelay(500);
        MessageBoxWatcher boxes;
        chooseEthernet(*window, kSimAddress);
        QTRY_COMPARE(sim.requestLog().size(), 1);
        for (const QString &name : meanwhile)
            action(*window, qPrintable(name))->trigger();
        QTest::qWait(1200); // past the page
        QCOMPARE(connectionLabel(*window), label);
        // (USB's 300 ms may read back a tick short.)
        QVERIFY(qAbs(box("periodG1")->value() - period) < 0.001);
        QCOMPARE(boxes.count(), 0);
        // Run goes only to the open Ethernet link, in milliseconds.
        click("runGen1");
        QVERIFY(batchEnded(*window));
        const QStringList sent = sim.requestLog().mid(1);
        QCOMPARE(sent.size(), label.endsWith("(DXU3)") ? 1 : 0);
        QVERIFY(sent.isEmpty() || sent[0].contains("&p1=5&"));
    }

    void ethernetTakesOverFromUsb()
    {
        const int instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu3);
        action(*window, "actionUSB")->trigger();
        // A cancelled address dialog keeps the USB link.
        chooseEthernet(*window, std::nullopt);
        QCOMPARE(FakeUsb::openHandles(instrument), 1);

        QVERIFY(connectTo(*window, kSimAddress));
        QVERIFY(!DxuGuiTestAccess::usbConnected(*window));
        QVERIFY(!action(*window, "actionUSB")->isChecked());
        QCOMPARE(FakeUsb::openHandles(instrument), 0);
        QVERIFY(batchEnded(*window));
        FakeUsb::clearCalls();
        sim.clearLog();
        click("runGen1");
        QVERIFY(batchEnded(*window));
        QCOMPARE(sim.requestLog().size(), 1);
        QVERIFY(FakeUsb::framesWritten(instrument).empty());
    }

    void pageRecoversTheInstrumentsState()
    {
        for (int model : {2, 3}) {
            disconnectEthernet(*window);
            // Every setting off its default, in the order ts1 ts2 p1 p2 pn1 pn2,
            // each channel's start and end, freq1 freq2: widths of 2e-05 and 4e-05.
            const DxuSimState s{6,       1,    1.5,   1234.57, 16,    131072, 0.00002,
                                0.00006, 0.25, 0.75,  12.5,    212.5, 3,      3.00002,
                                3,       2,    false, false,   0,     5.0,    {}};
            sim.setState(s);
            sim.setModel(model);
            QVERIFY(setupPage(s, model).contains("value=\"2e-05\""));

            QVERIFY(connectTo(*window, kSimAddress));
            QCOMPARE(connectionLabel(*window), QStringLiteral("127.0.0.38 (DXU%1)").arg(model));
            QCOMPARE(settingsOf(DxuGuiTestAccess::record(*window)), settingsOf(s));
            // The widgets show the page, widths as widths.
            QCOMPARE(combo("sourceG1")->currentIndex(), 4);
            QCOMPARE(combo("timeUnitG1")->currentIndex(), 3);
            QCOMPARE(box("periodG2")->value(), 1234.57);
            QCOMPARE(box("g1c1stop")->value(), 0.00004);
            QCOMPARE(action(*window, "actionTrigger_threshold")->isEnabled(), model == 3);
        }
    }

    void onlyAConnectionsFirstPageFillsTheWidgets()
    {
        QVERIFY(connectTo(*window, kSimAddress) && batchEnded(*window));
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
        QVERIFY(connectTo(*window, kSimAddress) && batchEnded(*window));
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

        // The connected instrument's slow answer is waited for, past the 2.5 s.
        sim.setReplyDelay(3000);
        messages.clear();
        click("runGen1");
        QTRY_VERIFY_WITH_TIMEOUT(messages.contains("Command applied"), 6000);
    }

    // A command the instrument refuses (an error status, a reply that is not
    // its page) or that cannot reach it shows "Error", never "Command
    // applied", and the wait timer stops. A refusal keeps the link up; a lost
    // instrument ends it with the box.
    void failedCommand_data()
    {
        QTest::addColumn<int>("fault"); // 0: status 500, 1: a foreign page, 2: gone
        QTest::newRow("status 500") << 0;
        QTest::newRow("foreign page") << 1;
        QTest::newRow("gone") << 2;
    }

    void failedCommand()
    {
        QFETCH(int, fault);
        const bool refused = fault < 2;
        QVERIFY(connectTo(*window, kSimAddress) && batchEnded(*window));
        messages.clear();
        if (fault == 0)
            sim.setFailureStatus(500);
        else if (fault == 1)
            sim.setForeignBody("hello");
        else
            sim.stop();
        MessageBoxWatcher boxes;
        click("runGen1");
        QTRY_VERIFY(messages.contains("Error"));
        QVERIFY(!messages.contains("Command applied"));
        QCOMPARE(boxes.count(), refused ? 0 : 1);
        QCOMPARE(connectionLabel(*window),
                 refused ? QStringLiteral("127.0.0.38 (DXU3)") : QStringLiteral("Disconnected"));
        QVERIFY(!DxuGuiTestAccess::waitTimerRuns(*window));
    }

    void operatorStepsSendTheirRequests_data()
    {
        // Steps, separated by blanks: "name=value" sets a spin box, chooses a
        // combo's entry or answers a menu action's number dialog; a bare name
        // clicks a button or triggers a menu action and cancels its dialog.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("sent");
        const QString stop1 = "/sg_run.shtml?reset1=1", stopBoth = stop1 + "&reset2=1";
        const QString source1 = startUpWith("ts1=0", "ts1=4").remove("&sg1_run=1");
        QTest::newRow("run gen1") << "runGen1" << QStringList{kStartUpRunGen1};
        QTest::newRow("run both") << "runBoth"
                                  << QStringList{startUpWith("&sg1_run=1", "&sg1_run=1&sg2_run=1")};
        QTest::newRow("200 us") << "actionMicroseconds g1c1stop=200 runGen1"
                                << QStringList{startUpWith("ch1_et1=200", "ch1_et1=0.2")};
        QTest::newRow("shortest width") << "g1c1stop=0.00004 runGen1"
                                        << QStringList{startUpWith("ch1_et1=200", "ch1_et1=4e-05")};
        QTest::newRow("stop 1") << "stopGen1" << QStringList{stop1};
        QTest::newRow("stop 2") << "stopGen2" << QStringList{"/sg_run.shtml?reset2=1"};
        QTest::newRow("reset") << "resetButton" << QStringList{stopBoth};
        QTest::newRow("source 2") << "sourceG2=1"
                                  << QStringList{
                                         stop1, startUpWith("ts2=0", "ts2=1").remove("&sg1_run=1")};
        QTest::newRow("source 1") << "sourceG1=3" << QStringList{stopBoth, source1};
        // The second change comes before the first one's reply.
        QTest::newRow("both sources")
            << "sourceG1=3 sourceG2=1"
            << QStringList{stopBoth, source1, stop1, QString(source1).replace("ts2=0", "ts2=1")};
        // A value the time base cannot count is refused with a box before
        // anything goes out, also the reset of a source change; a stop
        // carries no settings.
        QTest::newRow("5000 ms at 20 ns") << "periodG1=5000 runGen1" << QStringList();
        QTest::newRow("refused source change") << "periodG2=3000 sourceG2=1" << QStringList();
        QTest::newRow("5000 ms at 80 ns")
            << "periodG1=5000 timeUnitG1=2 runGen1"
            << QStringList{startUpWith("p1=300", "p1=5000").replace("freq1=0", "freq1=2")};
        QTest::newRow("stop beside 5000 ms") << "periodG1=5000 stopGen1" << QStringList{stop1};
        // A cancelled threshold dialog sends nothing.
        QTest::newRow("threshold") << "actionTrigger_threshold=2.5 actionTrigger_threshold"
                                   << QStringList{stop1, "/tt.shtml?volt=2.5"};
    }

    void operatorStepsSendTheirRequests()
    {
        QFETCH(QString, steps);
        QVERIFY(connectTo(*window, kSimAddress));
        // Every reply connects the source combos again: a change after
        // several replies must still send once.
        for (int reply = 0; reply < 3; ++reply) {
            QVERIFY(QMetaObject::invokeMethod(window.get(), "getDXUStatus"));
            QVERIFY(batchEnded(*window));
        }
        sim.clearLog();
        MessageBoxWatcher boxes;
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            const QString name = step.section(QLatin1Char('='), 0, 0);
            const QString value = step.section(QLatin1Char('='), 1);
            if (auto *spinBox = window->findChild<QDoubleSpinBox *>(name)) {
                spinBox->setValue(value.toDouble());
            } else if (auto *choice = window->findChild<QComboBox *>(name)) {
                choice->setCurrentIndex(value.toInt());
            } else if (auto *button = window->findChild<QPushButton *>(name)) {
                button->click();
            } else {
                QTimer::singleShot(0, [value] {
                    auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
                    if (dialog && !value.isEmpty())
                        dialog->setDoubleValue(value.toDouble());
                    if (dialog)
                        value.isEmpty() ? dialog->reject() : dialog->accept();
                });
                action(*window, qPrintable(name))->trigger();
            }
        }
        QVERIFY(batchEnded(*window));
        QTEST(sim.requestLog(), "sent");
        QCOMPARE(boxes.count(), int(sim.requestLog().isEmpty()));
        QVERIFY(boxes.last().text.contains("time base can count it") || !boxes.count());
    }
};

DXU_TEST_MAIN(EthernetWindowTest)
#include "tst_ethernet_window.moc"
