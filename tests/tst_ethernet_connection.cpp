// Opening and closing the Ethernet link: the address dialog and the stored
// address, the wait for a silent instrument, refused connections, and the
// hand-over between the Ethernet and USB links.
#include "app/dxu_gui.h"
#include "device/http_client.h"
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

struct DxuGuiTestAccess
{
    static HttpClient &httpClient(dxu_gui &w) { return *w.httpClient; }
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static const QByteArray &httpResponse(dxu_gui &w) { return w.httpResponse; }
    static const QTimer &requestTimer(dxu_gui &w) { return w.requestTimer; }
    static bool usbConnected(dxu_gui &w) { return w.usbConnected; }
    static bool ethernetConnected(dxu_gui &w) { return w.ethernetConnected; }
    static bool fieldsFilledFromDevice(dxu_gui &w) { return w.fieldsFilledFromDevice; }
    static void closeEthernetLink(dxu_gui &w) { w.closeEthernetLink(); }
};

namespace {

const char *const kSimAddress = "127.0.0.38";
const char *const kSilentAddress = "127.0.0.39";

// The wait for a silent instrument is 2.5 s; timers may fire a little early
// and a loaded machine answers late.
const qint64 kWaitAtLeastMs = 2000;
const int kFailureBoxTimeoutMs = 15000;

QString storedAddress()
{
    QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
    return store->value(QLatin1String(SettingsStore::LastIpKey)).toString();
}

QString failureText(const char *address)
{
    return QStringLiteral("Can't find DXU on <b>%1</b> <br>Check ethernet cable or try to "
                          "connect via USB!")
        .arg(QLatin1String(address));
}

} // namespace

class EthernetConnectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void addressDialogOffersTheLastAddress();
    void emptyOrCancelledAddressOnlyUnchecks();
    void silentAddressFailsAfterTheWait();
    void reconnectingAfterADisconnectWaitsAgain();
    void storedPageLeavesASlowProbeToTheClient();
    void refusedConnectionFailsAtOnce();
    void closingTheLinkForUsbShowsNoFailure();
    void openingEthernetClosesUsb();
    void cancelledAddressKeepsUsb();
    void openingUsbClosesEthernet();

private:
    QGroupBox *group(const char *name) { return window->findChild<QGroupBox *>(name); }
    bool batchEnded()
    {
        return QTest::qWaitFor(
            [&] { return DxuGuiTestAccess::httpClient(*window).currentId() == 0; }, 10000);
    }
    void startWindow()
    {
        window = std::make_unique<dxu_gui>();
        // Never the default address: tests talk to loopback only.
        DxuGuiTestAccess::deviceIp(*window) = QLatin1String(kSimAddress);
    }

    DxuSimServer sim;
    DxuSimServer silent;
    std::unique_ptr<dxu_gui> window;
};

void EthernetConnectionTest::initTestCase()
{
    QVERIFY2(sim.start(QHostAddress(QLatin1String(kSimAddress)), 80),
             qPrintable(sim.errorString()));
    silent.setSilent(true);
    QVERIFY2(silent.start(QHostAddress(QLatin1String(kSilentAddress)), 80),
             qPrintable(silent.errorString()));
}

void EthernetConnectionTest::init()
{
    QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
    store->clear();
    store->sync();
    FakeUsb::reset();
    QVERIFY(sim.isListening() || sim.start(QHostAddress(QLatin1String(kSimAddress)), 80));
    sim.setState(DxuSimState());
    sim.clearLog();
    silent.clearLog();
    startWindow();
}

void EthernetConnectionTest::cleanup() { window.reset(); }

void EthernetConnectionTest::addressDialogOffersTheLastAddress()
{
    // A first start offers the default address; it is cancelled, never used.
    window = std::make_unique<dxu_gui>();
    SeenInputDialog seen = EthernetWindow::chooseEthernet(*window, std::nullopt);
    QCOMPARE(seen.title, QStringLiteral("Connect to DXU via Ethernet"));
    QCOMPARE(seen.label, QStringLiteral("DXU IP address:"));
    QCOMPARE(seen.presetText, QStringLiteral("192.168.0.0"));

    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QCOMPARE(sim.requestLog(), QStringList{QStringLiteral("/sg_hr_setup2.shtml")});
    QCOMPARE(storedAddress(), QLatin1String(kSimAddress));
    QVERIFY(EthernetWindow::action(*window, "actionEthernet")->isChecked());
    QVERIFY(DxuGuiTestAccess::ethernetConnected(*window));
    window.reset();

    // The next start of the program offers it again.
    window = std::make_unique<dxu_gui>();
    QCOMPARE(DxuGuiTestAccess::deviceIp(*window), QLatin1String(kSimAddress));
    seen = EthernetWindow::chooseEthernet(*window, std::nullopt);
    QCOMPARE(seen.presetText, QLatin1String(kSimAddress));
}

void EthernetConnectionTest::emptyOrCancelledAddressOnlyUnchecks()
{
    for (const std::optional<QString> &answer :
         {std::optional<QString>(QString()), std::optional<QString>(std::nullopt)}) {
        EthernetWindow::chooseEthernet(*window, answer);
        QVERIFY(!EthernetWindow::action(*window, "actionEthernet")->isChecked());
        QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("N/A"));
        QVERIFY(!group("groupG1")->isEnabled());
        QCOMPARE(DxuGuiTestAccess::deviceIp(*window), QLatin1String(kSimAddress));
    }
    QTest::qWait(200);
    QCOMPARE(sim.requestLog(), QStringList());
    QCOMPARE(storedAddress(), QString());
}

void EthernetConnectionTest::silentAddressFailsAfterTheWait()
{
    MessageBoxWatcher boxes;
    QElapsedTimer clock;
    clock.start();
    EthernetWindow::chooseEthernet(*window, QLatin1String(kSilentAddress));
    // The controls come on before any answer.
    QVERIFY(group("groupG1")->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, kFailureBoxTimeoutMs);
    QVERIFY2(clock.elapsed() >= kWaitAtLeastMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(boxes.last().title, QStringLiteral("DXU Ethernet Connection"));
    QCOMPARE(boxes.last().text, failureText(kSilentAddress));
    QCOMPARE(silent.requestLog(), QStringList{QStringLiteral("/sg_hr_setup2.shtml")});

    QTRY_VERIFY(!DxuGuiTestAccess::requestTimer(*window).isActive());
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("Disconnected"));
    QVERIFY(!EthernetWindow::action(*window, "actionEthernet")->isChecked());
    QVERIFY(!group("groupG1")->isEnabled());
    QVERIFY(!DxuGuiTestAccess::ethernetConnected(*window));
    QCOMPARE(DxuGuiTestAccess::httpClient(*window).error(), HttpClient::Aborted);
    QCOMPARE(boxes.count(), 1);
}

void EthernetConnectionTest::reconnectingAfterADisconnectWaitsAgain()
{
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    EthernetWindow::disconnectEthernet(*window);
    QVERIFY(DxuGuiTestAccess::httpResponse(*window).isEmpty());
    QVERIFY(!group("groupG1")->isEnabled());

    MessageBoxWatcher boxes;
    QElapsedTimer clock;
    clock.start();
    EthernetWindow::chooseEthernet(*window, QLatin1String(kSilentAddress));
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, kFailureBoxTimeoutMs);
    QVERIFY2(clock.elapsed() >= kWaitAtLeastMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(boxes.last().text, failureText(kSilentAddress));
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("Disconnected"));
}

void EthernetConnectionTest::storedPageLeavesASlowProbeToTheClient()
{
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    MessageBoxWatcher boxes;
    sim.stop();
    window->findChild<QPushButton *>("stopGen1")->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, kFailureBoxTimeoutMs);
    QVERIFY(!DxuGuiTestAccess::httpResponse(*window).isEmpty());

    // The failure kept the last page, so the wait timer does not give up on
    // a silent instrument: only the client's own errors would end the probe.
    EthernetWindow::chooseEthernet(*window, QLatin1String(kSilentAddress));
    QTest::qWait(4000);
    QCOMPARE(boxes.count(), 1);
    QVERIFY(DxuGuiTestAccess::httpClient(*window).currentId() != 0);
    QVERIFY(DxuGuiTestAccess::requestTimer(*window).isActive());
}

void EthernetConnectionTest::refusedConnectionFailsAtOnce()
{
    sim.stop(); // nothing listens on its address now
    MessageBoxWatcher boxes;
    QElapsedTimer clock;
    clock.start();
    EthernetWindow::chooseEthernet(*window, QLatin1String(kSimAddress));
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, kFailureBoxTimeoutMs);
    QVERIFY2(clock.elapsed() < kWaitAtLeastMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(DxuGuiTestAccess::httpClient(*window).error(), HttpClient::ConnectionRefused);
    QCOMPARE(boxes.last().text, failureText(kSimAddress));
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("Disconnected"));
    QVERIFY(!EthernetWindow::action(*window, "actionEthernet")->isChecked());
    QVERIFY(!group("groupG1")->isEnabled());
}

void EthernetConnectionTest::closingTheLinkForUsbShowsNoFailure()
{
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    DxuGuiTestAccess::closeEthernetLink(*window);
    QVERIFY(!DxuGuiTestAccess::fieldsFilledFromDevice(*window));
    QVERIFY(DxuGuiTestAccess::httpResponse(*window).isEmpty());

    // A probe still waiting on a silent instrument ends without a box.
    MessageBoxWatcher boxes;
    EthernetWindow::chooseEthernet(*window, QLatin1String(kSilentAddress));
    QTRY_COMPARE(silent.requestLog().size(), 1);
    DxuGuiTestAccess::closeEthernetLink(*window);
    QVERIFY(!DxuGuiTestAccess::requestTimer(*window).isActive());
    QCOMPARE(DxuGuiTestAccess::httpClient(*window).currentId(), 0);
    QVERIFY(!DxuGuiTestAccess::ethernetConnected(*window));
    QVERIFY(!EthernetWindow::action(*window, "actionEthernet")->isChecked());
    QTest::qWait(3500);
    QCOMPARE(boxes.count(), 0);
}

void EthernetConnectionTest::openingEthernetClosesUsb()
{
    const int instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu3);
    EthernetWindow::action(*window, "actionUSB")->trigger();
    QVERIFY(DxuGuiTestAccess::usbConnected(*window));

    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(!DxuGuiTestAccess::usbConnected(*window));
    QVERIFY(!EthernetWindow::action(*window, "actionUSB")->isChecked());
    QCOMPARE(FakeUsb::openHandles(instrument), 0);
    QVERIFY(group("groupG1")->isEnabled());

    // Commands now reach the instrument the label names.
    QVERIFY(batchEnded());
    FakeUsb::clearCalls();
    sim.clearLog();
    window->findChild<QPushButton *>("runGen1")->click();
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog().size(), 1);
    QVERIFY(FakeUsb::framesWritten(instrument).empty());
}

void EthernetConnectionTest::cancelledAddressKeepsUsb()
{
    const int instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
    EthernetWindow::action(*window, "actionUSB")->trigger();
    QVERIFY(DxuGuiTestAccess::usbConnected(*window));

    EthernetWindow::chooseEthernet(*window, std::nullopt);
    QVERIFY(DxuGuiTestAccess::usbConnected(*window));
    QVERIFY(EthernetWindow::action(*window, "actionUSB")->isChecked());
    QCOMPARE(FakeUsb::openHandles(instrument), 1);
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("USB connected DXU2"));
}

void EthernetConnectionTest::openingUsbClosesEthernet()
{
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    const int instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu3);
    MessageBoxWatcher boxes;
    EthernetWindow::action(*window, "actionUSB")->trigger();
    QVERIFY(DxuGuiTestAccess::usbConnected(*window));
    QVERIFY(!DxuGuiTestAccess::ethernetConnected(*window));
    QVERIFY(!EthernetWindow::action(*window, "actionEthernet")->isChecked());
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("USB connected DXU3"));

    sim.clearLog();
    window->findChild<QPushButton *>("runGen1")->click();
    QTest::qWait(300);
    QCOMPARE(sim.requestLog(), QStringList());
    QVERIFY(!FakeUsb::framesWritten(instrument).empty());
    QCOMPARE(boxes.count(), 0);
}

DXU_TEST_MAIN(EthernetConnectionTest)
#include "tst_ethernet_connection.moc"
