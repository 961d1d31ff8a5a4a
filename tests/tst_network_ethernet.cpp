// The network settings dialog over Ethernet, against the instrument's
// simulated web server on 127.0.0.61-69: the network page in the fields, the
// write request, the input checks before it, and the failures the operator
// is told about: a silent instrument, a write that did not go through, and
// an older request that must not answer a newer one.
#include "app/dxu_gui.h"
#include "device/usb_device.h"
#include "fakeusb/fake_usb.h"
#include "network/finddialog.h"
#include "sim/dxu_sim_server.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

struct DxuGuiTestAccess
{
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static bool &usbConnected(dxu_gui &w) { return w.usbConnected; }
    static FindDialog *networkDialog(dxu_gui &w) { return w.networkDialog; }
};

namespace {

const char *const ReadPath = "/network.shtml";
// Generous: the dialog gives a request 2.5 s, the machine may be busy.
constexpr int ReplyWaitMs = 15000;

DxuSimNetwork pageNetwork(bool dhcp)
{
    DxuSimNetwork network;
    network.mac = {0x00, 0x1b, 0xc5, 0x0a, 0x0b, 0x0c};
    network.ip = {127, 0, 0, 61};
    network.mask = {255, 255, 255, 0};
    network.gateway = {127, 0, 0, 254};
    network.dhcp = dhcp;
    return network;
}

} // namespace

class NetworkEthernetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DxuSimServer> server;
    std::unique_ptr<UsbDevice> device;
    std::unique_ptr<FindDialog> dialog;
    QString address;

    QLineEdit *edit(const char *name) { return dialog->findChild<QLineEdit *>(name); }
    QCheckBox *dhcp() { return dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox")); }
    void submit() { dialog->findChild<QPushButton *>(QStringLiteral("submitButton"))->click(); }

    // Another run of this program on the machine may hold the address for a
    // while: wait for it rather than fail.
    std::unique_ptr<DxuSimServer> startServer(const char *at, const DxuSimNetwork &network)
    {
        auto sim = std::make_unique<DxuSimServer>();
        DxuSimState state;
        state.network = network;
        sim->setState(state);
        QElapsedTimer waited;
        waited.start();
        while (!sim->start(QHostAddress(QString::fromLatin1(at)), 80)) {
            if (waited.elapsed() > 120000)
                qFatal("cannot listen on %s:80: %s", at, qPrintable(sim->errorString()));
            QTest::qWait(250);
        }
        return sim;
    }

    // Opens the dialog on the server at `at` as the main window does, and
    // waits for the page to arrive.
    void openAndRead(const char *at)
    {
        address = QString::fromLatin1(at);
        dialog->setUsbMode(false);
        dialog->setDeviceIp(address);
        dialog->readNetworkSettings();
        dialog->setModal(true);
        dialog->show();
    }

    void type(const QString &mac, const QString &ip, const QString &mask, const QString &gateway,
              bool dhcpOn)
    {
        dhcp()->setChecked(dhcpOn);
        edit("macEdit")->setText(mac);
        edit("ipEdit")->setText(ip);
        edit("maskEdit")->setText(mask);
        edit("gatewayEdit")->setText(gateway);
    }

private slots:
    void init()
    {
        FakeUsb::reset();
        device = std::make_unique<UsbDevice>();
        dialog = std::make_unique<FindDialog>(device.get());
    }

    void cleanup()
    {
        dialog.reset();
        server.reset();
        device.reset();
    }

    void readFillsFieldsFromPage_data()
    {
        QTest::addColumn<bool>("dhcpOn");
        QTest::newRow("dhcp on") << true;
        QTest::newRow("dhcp off") << false;
    }
    void readFillsFieldsFromPage()
    {
        QFETCH(bool, dhcpOn);
        server = startServer("127.0.0.61", pageNetwork(dhcpOn));
        dhcp()->setChecked(!dhcpOn);
        openAndRead("127.0.0.61");
        QTRY_COMPARE_WITH_TIMEOUT(edit("macEdit")->text(), QStringLiteral("00:1b:c5:0a:0b:0c"),
                                  ReplyWaitMs);
        QCOMPARE(server->requestLog(), QStringList({ReadPath}));
        QCOMPARE(edit("ipEdit")->text(), QStringLiteral("127.0.0.61"));
        QCOMPARE(edit("maskEdit")->text(), QStringLiteral("255.255.255.0"));
        QCOMPARE(edit("gatewayEdit")->text(), QStringLiteral("127.0.0.254"));
        QCOMPARE(dhcp()->isChecked(), dhcpOn);
        QCOMPARE(edit("ipEdit")->isEnabled(), !dhcpOn);
        QCOMPARE(edit("serialEdit")->text(), QStringLiteral("N/A (Only for USB)"));
        QVERIFY(!edit("serialEdit")->isEnabled());
    }

    // The serial number exists only over USB; once read over Ethernet the
    // field stays disabled, also when USB reads fill it later.
    void serialFieldStaysDisabledAfterUsbRead()
    {
        server = startServer("127.0.0.62", pageNetwork(false));
        openAndRead("127.0.0.62");
        QTRY_VERIFY_WITH_TIMEOUT(!edit("serialEdit")->isEnabled(), ReplyWaitMs);

        FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        QVERIFY(device->findDevice());
        for (int read = 0; read < 2; ++read) {
            dialog->setUsbMode(true);
            dialog->readNetworkSettings();
            QCOMPARE(edit("serialEdit")->text(), QStringLiteral("10111213141516171819"));
            QVERIFY(!edit("serialEdit")->isEnabled());
        }
    }

    void writeSendsTextsAsTyped_data()
    {
        QTest::addColumn<bool>("dhcpOn");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("expectedPath");
        QTest::newRow("dhcp on, upper-case mac")
            << true << "AA:BB:CC:DD:EE:FF"
            << "/network.shtml?mac=AA:BB:CC:DD:EE:FF&dhcp=1&ip=127.0.0.64"
               "&netmask=255.255.0.0&gw=127.000.0.1";
        QTest::newRow("dhcp off, short groups")
            << false << "a:b:c:d:e:f"
            << "/network.shtml?mac=a:b:c:d:e:f&dhcp=0&ip=127.0.0.64"
               "&netmask=255.255.0.0&gw=127.000.0.1";
    }
    void writeSendsTextsAsTyped()
    {
        QFETCH(bool, dhcpOn);
        QFETCH(QString, mac);
        QFETCH(QString, expectedPath);
        server = startServer("127.0.0.63", pageNetwork(false));
        openAndRead("127.0.0.63");
        QTRY_COMPARE_WITH_TIMEOUT(server->requestLog().size(), 1, ReplyWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!edit("serialEdit")->isEnabled(), ReplyWaitMs);

        type(mac, QStringLiteral("127.0.0.64"), QStringLiteral("255.255.0.0"),
             QStringLiteral("127.000.0.1"), dhcpOn);
        MessageBoxWatcher boxes;
        submit();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, ReplyWaitMs);
        QCOMPARE(boxes.last().title, QStringLiteral("Halvorn DXU"));
        QCOMPARE(boxes.last().text,
                 QStringLiteral("Please restart DXU to apply new network settings!"));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(server->requestLog(), QStringList({ReadPath, expectedPath}));
        // The instrument keeps it for its next start.
        QCOMPARE(server->state().network.ip, (std::array<quint8, 4>{127, 0, 0, 64}));
        QCOMPARE(server->state().network.dhcp, dhcpOn);
    }

    void invalidInputSendsNothing_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<bool>("dhcpOn");
        QTest::addColumn<QString>("message");
        const QString mac = QStringLiteral("aa:bb:cc:dd:ee:ff");
        const QString ip = QStringLiteral("127.0.0.65");
        const QString gateway = QStringLiteral("127.0.0.1");
        QTest::newRow("five mac groups")
            << "aa:bb:cc:dd:ee" << ip << gateway << false << "MAC address is incorrect!";
        QTest::newRow("256") << mac << "256.1.1.1" << gateway << false
                             << "IP address is incorrect!";
        QTest::newRow("five ip groups")
            << mac << "1.2.3.4.5" << gateway << false << "IP address is incorrect!";
        QTest::newRow("dhcp on, empty gateway")
            << mac << ip << "" << true << "Gateway address is incorrect!";
    }
    void invalidInputSendsNothing()
    {
        QFETCH(QString, mac);
        QFETCH(QString, ip);
        QFETCH(QString, gateway);
        QFETCH(bool, dhcpOn);
        QFETCH(QString, message);
        server = startServer("127.0.0.65", pageNetwork(false));
        openAndRead("127.0.0.65");
        QTRY_VERIFY_WITH_TIMEOUT(!edit("serialEdit")->isEnabled(), ReplyWaitMs);
        server->clearLog();

        type(mac, ip, QStringLiteral("255.255.255.0"), gateway, dhcpOn);
        MessageBoxWatcher boxes;
        submit();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Input error"));
        QCOMPARE(boxes.last().text, message);
        QVERIFY(dialog->isVisible());
        QTest::qWait(300);
        QCOMPARE(server->requestLog(), QStringList());
        QCOMPARE(server->state().network, pageNetwork(false));
    }

    // Through the main window: Cancel sends nothing, each opening reads anew.
    void cancelHidesAndReopeningReadsAgain()
    {
        server = startServer("127.0.0.66", pageNetwork(true));
        dxu_gui window;
        DxuGuiTestAccess::deviceIp(window) = QStringLiteral("127.0.0.66");
        DxuGuiTestAccess::usbConnected(window) = false;
        FindDialog *networkDialog = DxuGuiTestAccess::networkDialog(window);

        QVERIFY(QMetaObject::invokeMethod(&window, "ipsettings"));
        QVERIFY(networkDialog->isVisible());
        QVERIFY(networkDialog->isModal());
        auto *mac = networkDialog->findChild<QLineEdit *>(QStringLiteral("macEdit"));
        QTRY_COMPARE_WITH_TIMEOUT(mac->text(), QStringLiteral("00:1b:c5:0a:0b:0c"), ReplyWaitMs);
        QCOMPARE(server->requestLog(), QStringList({ReadPath}));

        mac->setText(QStringLiteral("aa:aa:aa:aa:aa:aa"));
        networkDialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
        QVERIFY(!networkDialog->isVisible());
        QTest::qWait(300);
        QCOMPARE(server->requestLog(), QStringList({ReadPath}));
        QCOMPARE(server->state().network, pageNetwork(true));

        QVERIFY(QMetaObject::invokeMethod(&window, "ipsettings"));
        QVERIFY(networkDialog->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(mac->text(), QStringLiteral("00:1b:c5:0a:0b:0c"), ReplyWaitMs);
        QCOMPARE(server->requestLog(), QStringList({ReadPath, ReadPath}));
    }

    // An instrument that accepts the connection and never answers is given
    // up after the watchdog's time, with the warning.
    void silentInstrumentEndsInWarning()
    {
        server = startServer("127.0.0.67", pageNetwork(false));
        server->setSilent(true);
        edit("macEdit")->setText(QStringLiteral("typed"));
        MessageBoxWatcher boxes;
        QElapsedTimer clock;
        clock.start();
        openAndRead("127.0.0.67");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, ReplyWaitMs);
        QVERIFY2(clock.elapsed() >= 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(boxes.last().title, QStringLiteral("DXU Ethernet Connection"));
        QCOMPARE(boxes.last().text,
                 QStringLiteral("Can't find DXU on <b>127.0.0.67</b> <br>Check ethernet cable or "
                                "try to connect via USB!"));
        QCOMPARE(server->requestLog(), QStringList({ReadPath}));
        QCOMPARE(edit("macEdit")->text(), QStringLiteral("typed"));
        QVERIFY(dialog->isVisible());
        QTest::qWait(500);
        QCOMPARE(boxes.count(), 1);
    }

    // A write that did not go through is no reason to restart: the warning
    // comes instead, and the dialog keeps what was typed.
    void failedWriteKeepsDialogOpen_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("connection refused") << false;
        QTest::newRow("silent instrument") << true;
    }
    void failedWriteKeepsDialogOpen()
    {
        QFETCH(bool, silent);
        server = startServer("127.0.0.68", pageNetwork(false));
        openAndRead("127.0.0.68");
        QTRY_VERIFY_WITH_TIMEOUT(!edit("serialEdit")->isEnabled(), ReplyWaitMs);
        if (silent)
            server->setSilent(true);
        else
            server->stop();

        type(QStringLiteral("aa:bb:cc:dd:ee:ff"), QStringLiteral("127.0.0.69"),
             QStringLiteral("255.0.0.0"), QStringLiteral("127.0.0.1"), false);
        MessageBoxWatcher boxes;
        submit();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, ReplyWaitMs);
        QCOMPARE(boxes.last().title, QStringLiteral("DXU Ethernet Connection"));
        QVERIFY(boxes.last().text.contains(QStringLiteral("<b>127.0.0.68</b>")));
        QVERIFY(dialog->isVisible());
        QCOMPARE(edit("ipEdit")->text(), QStringLiteral("127.0.0.69"));
        QTest::qWait(300);
        QCOMPARE(boxes.count(), 1);
    }

    // A second read started while the first is still waiting for its reply:
    // the first one's late page must not fill the fields or warn.
    void olderRequestDoesNotAnswerNewerOne()
    {
        DxuSimNetwork other = pageNetwork(true);
        other.mac = {0xde, 0xad, 0xbe, 0xef, 0x00, 0x01};
        auto slow = startServer("127.0.0.69", other);
        slow->setReplyDelay(1500);
        server = startServer("127.0.0.64", pageNetwork(false));

        MessageBoxWatcher boxes;
        openAndRead("127.0.0.69");
        QTRY_COMPARE_WITH_TIMEOUT(slow->requestLog().size(), 1, ReplyWaitMs);
        openAndRead("127.0.0.64");
        QTRY_COMPARE_WITH_TIMEOUT(edit("macEdit")->text(), QStringLiteral("00:1b:c5:0a:0b:0c"),
                                  ReplyWaitMs);
        QTest::qWait(2500); // past the slow reply and the first request's watchdog
        QCOMPARE(edit("macEdit")->text(), QStringLiteral("00:1b:c5:0a:0b:0c"));
        QVERIFY(!dhcp()->isChecked());
        QCOMPARE(boxes.count(), 0);
    }

    // Run under the sanitizers, this catches a reply reaching a dialog that
    // is being destroyed.
    void dialogDestroyedWhileWaiting()
    {
        server = startServer("127.0.0.67", pageNetwork(false));
        server->setReplyDelay(200);
        MessageBoxWatcher boxes;
        openAndRead("127.0.0.67");
        QTRY_COMPARE_WITH_TIMEOUT(server->requestLog().size(), 1, ReplyWaitMs);
        dialog.reset();
        QTest::qWait(500);
        QCOMPARE(boxes.count(), 0);
    }
};

DXU_TEST_MAIN(NetworkEthernetTest)
#include "tst_network_ethernet.moc"
