// The network settings dialog over USB, against the simulated instrument: the
// identity reply in the fields, the network block that goes out with the
// 0x08 frame, and what the operator is told.
#include "device/usb_device.h"
#include "fakeusb/fake_usb.h"
#include "network/finddialog.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr std::uint8_t NetworkWriteCode = 0x08;

FakeUsb::IdentityReply identityReply()
{
    FakeUsb::IdentityReply reply{};
    const std::uint8_t serial[10] = {0x0A, 0x00, 0xFF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};
    std::copy(std::begin(serial), std::end(serial), reply.begin());
    reply[10] = 2;
    const std::uint8_t network[19] = {1,  0x00, 0x1B, 0xC5, 0x0A, 0x0B, 0x0C, 127, 0,  0,
                                      60, 255,  255,  0,    0,    127,  0,    0,   254};
    std::copy(std::begin(network), std::end(network), reply.begin() + 13);
    return reply;
}

std::vector<FakeUsb::Bytes> networkWrites(int device)
{
    std::vector<FakeUsb::Bytes> writes;
    for (const FakeUsb::Bytes &frame : FakeUsb::framesWritten(device))
        if (!frame.empty() && frame[0] == NetworkWriteCode)
            writes.push_back(frame);
    return writes;
}

} // namespace

class NetworkUsbTest : public QObject
{
    Q_OBJECT

    int instrument = -1;
    UsbDevice *device = nullptr;
    FindDialog *dialog = nullptr;

    QLineEdit *edit(const char *name) { return dialog->findChild<QLineEdit *>(name); }
    QCheckBox *dhcp() { return dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox")); }
    void submit() { dialog->findChild<QPushButton *>(QStringLiteral("submitButton"))->click(); }

    void type(const QString &mac, const QString &ip, const QString &mask, const QString &gateway,
              bool dhcpOn)
    {
        edit("macEdit")->setText(mac);
        edit("ipEdit")->setText(ip);
        edit("maskEdit")->setText(mask);
        edit("gatewayEdit")->setText(gateway);
        dhcp()->setChecked(dhcpOn);
    }

    void open()
    {
        dialog->setUsbMode(true);
        dialog->readNetworkSettings();
        dialog->setModal(true);
        dialog->show();
    }

private slots:
    void init()
    {
        FakeUsb::reset();
        instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        FakeUsb::setIdentity(instrument, identityReply());
        device = new UsbDevice;
        QVERIFY(device->findDevice());
        dialog = new FindDialog(device);
    }

    void cleanup()
    {
        delete dialog;
        delete device;
        dialog = nullptr;
        device = nullptr;
    }

    void form()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("DXU-2 Network Settings"));
        QCOMPARE(dialog->minimumSize(), QSize(240, 230));
        QVERIFY(edit("serialEdit")->isReadOnly());
        auto *submitButton = dialog->findChild<QPushButton *>(QStringLiteral("submitButton"));
        auto *cancelButton = dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"));
        QCOMPARE(submitButton->text(), QStringLiteral("Sumbit"));
        QVERIFY(submitButton->isDefault());
        QCOMPARE(cancelButton->text(), QStringLiteral("Cancel"));
        QVERIFY(!cancelButton->autoDefault());
        QCOMPARE(dhcp()->text(), QStringLiteral("&DHCP"));

        // The slots in the order the class has always declared them.
        const QMetaObject *meta = dialog->metaObject();
        QStringList slotNames;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            slotNames << QString::fromLatin1(meta->method(i).methodSignature());
        QCOMPARE(slotNames, QStringList({"set_network_settings()", "handleResponse(bool)",
                                         "handleResponse2(bool)", "stopTrying()", "Trying(int)",
                                         "dhcpCheckBoxToggled(bool)"}));
    }

    void readShowsIdentity()
    {
        open();
        QCOMPARE(edit("serialEdit")->text(), QStringLiteral("A0FF123456789ABCD"));
        QCOMPARE(edit("macEdit")->text(), QStringLiteral("00:1B:C5:0A:0B:0C"));
        QCOMPARE(edit("ipEdit")->text(), QStringLiteral("127.0.0.60"));
        QCOMPARE(edit("maskEdit")->text(), QStringLiteral("255.255.0.0"));
        QCOMPARE(edit("gatewayEdit")->text(), QStringLiteral("127.0.0.254"));
        QVERIFY(dhcp()->isChecked());
        // DHCP on: the addresses come from the network's server.
        QVERIFY(!edit("ipEdit")->isEnabled());
        QVERIFY(!edit("maskEdit")->isEnabled());
        QVERIFY(!edit("gatewayEdit")->isEnabled());
        QVERIFY(edit("macEdit")->isEnabled());
        QVERIFY(edit("serialEdit")->isEnabled());
    }

    // The dialog shows again the last complete reply it received, also when
    // a short reply came in.
    void failedReadKeepsLastReply_data()
    {
        QTest::addColumn<int>("replyLength");
        QTest::newRow("no reply") << 0;
        QTest::newRow("short reply") << 31;
    }
    void failedReadKeepsLastReply()
    {
        QFETCH(int, replyLength);
        open();
        FakeUsb::IdentityReply changed = identityReply();
        changed[20] = 10;
        FakeUsb::setIdentity(instrument, changed);
        FakeUsb::setReplyLength(instrument, 0x07, replyLength);
        edit("ipEdit")->setText(QStringLiteral("typed"));
        dialog->readNetworkSettings();
        QCOMPARE(edit("ipEdit")->text(), QStringLiteral("127.0.0.60"));
        FakeUsb::setReplyLength(instrument, 0x07, -1);
        dialog->readNetworkSettings();
        QCOMPARE(edit("ipEdit")->text(), QStringLiteral("10.0.0.60"));
    }

    void writeSendsBlockAndAsksForRestart_data()
    {
        QTest::addColumn<bool>("dhcpOn");
        QTest::newRow("dhcp on") << true;
        QTest::newRow("dhcp off") << false;
    }
    void writeSendsBlockAndAsksForRestart()
    {
        QFETCH(bool, dhcpOn);
        open();
        type(QStringLiteral("aa:BB:c:0D:e0:7f"), QStringLiteral("10.1.2.3"),
             QStringLiteral("255.255.0.0"), QStringLiteral("010.1.0.254"), dhcpOn);
        MessageBoxWatcher boxes;
        submit();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Halvorn DXU"));
        QCOMPARE(boxes.last().text,
                 QStringLiteral("Please restart DXU to apply new network settings!"));
        QVERIFY(!dialog->isVisible());

        const auto writes = networkWrites(instrument);
        QCOMPARE(writes.size(), std::size_t(1));
        // Code, DHCP, MAC, IP, mask, gateway.
        const QByteArray hex = QByteArray(dhcpOn ? "0801" : "0800") + "aabb0c0de07f" + "0a010203" +
                               "ffff0000" + "0a0100fe";
        const QByteArray bytes = QByteArray::fromHex(hex);
        const FakeUsb::Bytes expected(bytes.begin(), bytes.end());
        QCOMPARE(writes.front(), expected);
        // The instrument took it: its next identity reply carries it.
        const FakeUsb::IdentityReply now = FakeUsb::identity(instrument);
        QVERIFY(std::equal(expected.begin() + 1, expected.end(), now.begin() + 13));
    }

    void failedWriteWarnsAndStaysOpen()
    {
        open();
        FakeUsb::setWriteFails(instrument, NetworkWriteCode);
        MessageBoxWatcher boxes;
        submit();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("DXU USB Connection"));
        QCOMPARE(boxes.last().text,
                 QStringLiteral("Can't write the network settings to the DXU via USB."));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        QVERIFY(dialog->isVisible());
        QCOMPARE(FakeUsb::identity(instrument), identityReply());
    }

    void invalidInputSendsNothing_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("message");
        QTest::newRow("five groups") << "aa:bb:cc:dd:ee"
                                     << "10.0.0.1"
                                     << "MAC address is incorrect!";
        QTest::newRow("fifth ip part") << "aa:bb:cc:dd:ee:ff"
                                       << "1.2.3.4.5"
                                       << "IP address is incorrect!";
    }
    void invalidInputSendsNothing()
    {
        QFETCH(QString, mac);
        QFETCH(QString, ip);
        QFETCH(QString, message);
        open();
        type(mac, ip, QStringLiteral("255.0.0.0"), QStringLiteral("10.0.0.254"), false);
        MessageBoxWatcher boxes;
        submit();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Input error"));
        QCOMPARE(boxes.last().text, message);
        QVERIFY(dialog->isVisible());
        QVERIFY(networkWrites(instrument).empty());
    }
};

DXU_TEST_MAIN(NetworkUsbTest)
#include "tst_network_usb.moc"
