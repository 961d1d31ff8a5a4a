// The network settings dialog over USB, against the simulated instrument: the
// identity reply in the fields, the network block that goes out with the
// 0x08 frame, and what the operator is told.
#include "device/usb_device.h"
#include "fakeusb/fake_usb.h"
#include "network/finddialog.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <libusb.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

class NetworkUsbTest : public QObject
{
    Q_OBJECT

    int instrument = -1;
    FakeUsb::IdentityReply reply{};
    std::unique_ptr<UsbDevice> device;
    std::unique_ptr<FindDialog> dialog;

    QLineEdit *edit(const char *name) { return dialog->findChild<QLineEdit *>(name); }

private slots:
    // The dialog opened on an instrument whose identity reply carries serial
    // bytes 0A 00 FF 01 23 45 67 89 AB CD and, from byte 13, its network
    // block: DHCP (any non-zero byte is on), MAC, IP, mask, gateway.
    void init()
    {
        FakeUsb::reset();
        instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        const QByteArray bytes = QByteArray::fromHex("0a00ff0123456789abcd 020000 80"
                                                     "001bc50a0b0c 7f00003c ffff0000 7f0000fe");
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        FakeUsb::setIdentity(instrument, reply);
        device = std::make_unique<UsbDevice>();
        QVERIFY(device->findDevice());
        dialog = std::make_unique<FindDialog>(device.get());
        dialog->setUsbMode(true);
        dialog->readNetworkSettings();
        dialog->setModal(true);
        dialog->show();
    }

    void cleanup()
    {
        dialog.reset();
        device.reset();
    }

    // The identity as shown. A read that fails (no reply, a short one, a
    // failed claim) warns, shows nothing and leaves nothing to submit, until
    // a read succeeds again.
    void readShowsIdentityOrNothing()
    {
        QCOMPARE(edit("ipEdit")->text(), QStringLiteral("127.0.0.60"));
        QVERIFY(dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox"))->isChecked());
        auto *submit = dialog->findChild<QPushButton *>(QStringLiteral("submitButton"));
        FakeUsb::IdentityReply changed = reply;
        changed[20] = 10;
        FakeUsb::setIdentity(instrument, changed);
        for (int replyLength : {0, 31, -2, -1}) {
            FakeUsb::setReplyLength(instrument, 0x07, std::max(replyLength, -1));
            FakeUsb::setClaimError(instrument, replyLength == -2 ? LIBUSB_ERROR_BUSY : 0);
            MessageBoxWatcher boxes;
            dialog->readNetworkSettings();
            QStringList shown;
            for (const char *name : {"serialEdit", "macEdit", "ipEdit", "maskEdit", "gatewayEdit"})
                shown << edit(name)->text();
            if (replyLength != -1) {
                QCOMPARE(boxes.count(), 1);
                QCOMPARE(boxes.last().text,
                         QStringLiteral("Can't read the network settings from the DXU via USB."));
                QCOMPARE(shown.join(QString()), QString());
                QVERIFY(!submit->isEnabled());
            } else {
                QCOMPARE(boxes.count(), 0);
                QCOMPARE(shown, QStringList({"A0FF123456789ABCD", "00:1B:C5:0A:0B:0C", "10.0.0.60",
                                             "255.255.0.0", "127.0.0.254"}));
                QVERIFY(submit->isEnabled());
            }
        }
    }

    // The block built from the typed texts, byte by byte, for DHCP on and off.
    void writeSendsBlockAndAsksForRestart()
    {
        edit("macEdit")->setText(QStringLiteral("aa:BB:c:0D:e0:7f"));
        edit("ipEdit")->setText(QStringLiteral("10.1.2.3"));
        edit("maskEdit")->setText(QStringLiteral("255.255.0.0"));
        edit("gatewayEdit")->setText(QStringLiteral("010.1.0.254"));
        for (bool dhcpOn : {true, false}) {
            dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox"))->setChecked(dhcpOn);
            FakeUsb::clearCalls();
            MessageBoxWatcher boxes;
            dialog->findChild<QPushButton *>(QStringLiteral("submitButton"))->click();
            QCOMPARE(boxes.count(), 1);
            QCOMPARE(boxes.last().text,
                     QStringLiteral("Please restart DXU to apply new network settings!"));
            QVERIFY(!dialog->isVisible());
            // Code, DHCP, MAC, IP, mask, gateway.
            const QByteArray frame = QByteArray::fromHex(QByteArray(dhcpOn ? "0801" : "0800") +
                                                         "aabb0c0de07f 0a010203 ffff0000 0a0100fe");
            QCOMPARE(FakeUsb::framesWritten(instrument),
                     std::vector<FakeUsb::Bytes>({FakeUsb::Bytes(frame.begin(), frame.end())}));
        }
    }

    // A write that fails: a warning, the dialog stays open, the instrument
    // keeps its settings.
    void failedWriteWarns()
    {
        FakeUsb::setWriteFails(instrument, 0x08);
        edit("macEdit")->setText(QStringLiteral("aa:bb:cc:dd:ee:ff"));
        MessageBoxWatcher boxes;
        dialog->findChild<QPushButton *>(QStringLiteral("submitButton"))->click();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title + QStringLiteral(": ") + boxes.last().text,
                 QStringLiteral("DXU USB Connection: Can't write the network settings to the DXU "
                                "via USB."));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        QVERIFY(dialog->isVisible());
        QCOMPARE(FakeUsb::identity(instrument), reply);
    }
};

DXU_TEST_MAIN(NetworkUsbTest)
#include "tst_network_usb.moc"
