// Opening and closing the Ethernet link: the stored address, the wait for a
// silent instrument, refused connections, and the hand-over between the
// Ethernet and USB links.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>

#include <memory>

using namespace EthernetWindow;

struct DxuGuiTestAccess
{
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static bool usbConnected(dxu_gui &w) { return w.usbConnected; }
};

namespace {

const QString kSimAddress = QStringLiteral("127.0.0.38");
const QString kSilentAddress = QStringLiteral("127.0.0.39");
const QString kFailure = QStringLiteral(
    "Can't find DXU on <b>%1</b> <br>Check ethernet cable or try to connect via USB!");

QString storedAddress()
{
    QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
    return store->value(QLatin1String(SettingsStore::LastIpKey)).toString();
}

} // namespace

class EthernetConnectionTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim;
    DxuSimServer silent;
    std::unique_ptr<dxu_gui> window;

private slots:
    void initTestCase()
    {
        silent.setSilent(true);
        QVERIFY2(silent.start(QHostAddress(kSilentAddress)), qPrintable(silent.errorString()));
    }

    void init()
    {
        QScopedPointer<QSettings>(SettingsStore::openMainSettings())->clear();
        FakeUsb::reset();
        QVERIFY(sim.isListening() || sim.start(QHostAddress(kSimAddress)));
        sim.clearLog();
        sim.setState(DxuSimState());
        sim.setReplyDelay(0);
        silent.clearLog();
        window = std::make_unique<dxu_gui>();
        // Never the default address: tests talk to loopback only.
        DxuGuiTestAccess::deviceIp(*window) = kSimAddress;
    }

    void cleanup() { window.reset(); }

    void nextStartOffersTheLastAddress()
    {
        QVERIFY(connectTo(*window, kSimAddress));
        QCOMPARE(storedAddress(), kSimAddress);
        window = std::make_unique<dxu_gui>();
        QCOMPARE(chooseEthernet(*window, std::nullopt).presetText, kSimAddress);
    }

    void emptyAddressOnlyUnchecks()
    {
        chooseEthernet(*window, QString());
        QVERIFY(!action(*window, "actionEthernet")->isChecked());
        QCOMPARE(connectionLabel(*window), QStringLiteral("N/A"));
        QTest::qWait(200);
        QCOMPARE(sim.requestLog(), QStringList());
        QCOMPARE(storedAddress(), QString());
    }

    void unreachableInstrumentFails_data()
    {
        QTest::addColumn<bool>("connectFirst"); // connect and disconnect before
        QTest::addColumn<bool>("refused");      // else silent: given up after 2.5 s
        QTest::newRow("silent") << false << false;
        QTest::newRow("silent after a disconnect") << true << false;
        QTest::newRow("refused") << false << true;
    }

    void unreachableInstrumentFails()
    {
        QFETCH(bool, connectFirst);
        QFETCH(bool, refused);
        if (connectFirst) {
            QVERIFY(connectTo(*window, kSimAddress));
            QVERIFY(batchEnded(*window));
            disconnectEthernet(*window);
        }
        if (refused)
            sim.stop(); // nothing listens on its address now
        const QString address = refused ? kSimAddress : kSilentAddress;
        MessageBoxWatcher boxes;
        QElapsedTimer clock;
        clock.start();
        chooseEthernet(*window, address);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 15000);
        // Timers may fire a little early; a loaded machine answers late.
        QVERIFY2(refused == (clock.elapsed() < 2000), qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(boxes.last().text, kFailure.arg(address));
        QCOMPARE(connectionLabel(*window), QStringLiteral("Disconnected"));
        QVERIFY(!action(*window, "actionEthernet")->isChecked());
    }

    // The address is shown, stored and asked in its canonical form. Other
    // numeric forms, which the network library would read as some other
    // address, and markup fail at once, shown as typed and as text.
    void typedAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address"); // shown and stored; empty: refused
        QTest::newRow("leading zeros") << "127.000.000.038"
                                       << "127.0.0.38";
        QTest::newRow("hexadecimal") << "0x7f.0.0.0x26"
                                     << "";
        QTest::newRow("two groups") << "127.38"
                                    << "";
        QTest::newRow("markup") << "<i>127.0.0.1</i>"
                                << "";
    }

    void typedAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        MessageBoxWatcher boxes;
        chooseEthernet(*window, typed);
        if (address.isEmpty()) {
            QTRY_COMPARE(boxes.count(), 1);
            QCOMPARE(boxes.last().text, kFailure.arg(typed.toHtmlEscaped()));
        } else {
            QTRY_COMPARE(connectionLabel(*window), address + " (DXU3)");
            QCOMPARE(storedAddress(), address);
        }
        QTest::qWait(200);
        QCOMPARE(sim.requestLog().size(), address.isEmpty() ? 0 : 1);
    }

    // A closed link's probe to a silent instrument reports nothing, neither
    // for its own address nor for the next one the operator connects to.
    void closedProbeReportsNothing()
    {
        MessageBoxWatcher boxes;
        chooseEthernet(*window, kSilentAddress);
        QTRY_COMPARE(silent.requestLog().size(), 1);
        disconnectEthernet(*window);
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
        QVERIFY(qAbs(window->findChild<QDoubleSpinBox *>("periodG1")->value() - period) < 0.001);
        QCOMPARE(boxes.count(), 0);
        // Run goes only to the open Ethernet link, in milliseconds.
        window->findChild<QPushButton *>("runGen1")->click();
        QVERIFY(batchEnded(*window));
        const QStringList sent = sim.requestLog().mid(1);
        QCOMPARE(sent.size(), label.endsWith("(DXU3)") ? 1 : 0);
        QVERIFY(sent.isEmpty() || sent[0].contains("&p1=5&"));
    }

    void ethernetAndUsbHandOver()
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
        window->findChild<QPushButton *>("runGen1")->click();
        QVERIFY(batchEnded(*window));
        QCOMPARE(sim.requestLog().size(), 1);
        QVERIFY(FakeUsb::framesWritten(instrument).empty());

        // And opening USB closes Ethernet.
        action(*window, "actionUSB")->trigger();
        QVERIFY(!action(*window, "actionEthernet")->isChecked());
        QCOMPARE(connectionLabel(*window), QStringLiteral("USB connected DXU3"));
    }
};

DXU_TEST_MAIN(EthernetConnectionTest)
#include "tst_ethernet_connection.moc"
