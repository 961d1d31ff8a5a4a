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
    static void closeEthernetLink(dxu_gui &w) { w.closeEthernetLink(); }
};

namespace {

const QString kSimAddress = QStringLiteral("127.0.0.38");
const QString kSilentAddress = QStringLiteral("127.0.0.39");

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
        QCOMPARE(boxes.last().text, QStringLiteral("Can't find DXU on <b>%1</b> <br>Check ethernet "
                                                   "cable or try to connect via USB!")
                                        .arg(address));
        QCOMPARE(connectionLabel(*window), QStringLiteral("Disconnected"));
        QVERIFY(!action(*window, "actionEthernet")->isChecked());
    }

    // A typed address is no host name: it fails at once, and the box shows
    // it as typed, not as markup.
    void typedMarkupIsShownAsText()
    {
        MessageBoxWatcher boxes;
        chooseEthernet(*window, QStringLiteral("<i>127.0.0.1</i>"));
        QTRY_COMPARE(boxes.count(), 1);
        QVERIFY(boxes.last().text.contains(QStringLiteral("<b>&lt;i&gt;127.0.0.1&lt;/i&gt;</b>")));
        QCOMPARE(sim.requestLog(), QStringList());
    }

    void closingTheLinkForUsbShowsNoFailure()
    {
        MessageBoxWatcher boxes;
        chooseEthernet(*window, kSilentAddress);
        QTRY_COMPARE(silent.requestLog().size(), 1);
        DxuGuiTestAccess::closeEthernetLink(*window);
        QVERIFY(!action(*window, "actionEthernet")->isChecked());
        QTest::qWait(3500); // past the wait for the silent instrument
        QCOMPARE(boxes.count(), 0);
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
