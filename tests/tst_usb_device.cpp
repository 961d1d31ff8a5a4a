// UsbDevice against the simulated instrument: discovery, model, framing of
// the commands, the identity read and the handles it leaves behind.
#include "device/usb_device.h"
#include "fakeusb/fake_usb.h"
#include "support/test_support.h"

#include <libusb.h>

#include <QTemporaryFile>

#include <cstdio>
#include <memory>
#include <unistd.h>

using FakeUsb::Bytes;
using FakeUsb::Call;
using FakeUsb::Model;

namespace {
std::vector<Call> callsNamed(const char *function, int device = -2)
{
    std::vector<Call> found;
    for (const Call &call : FakeUsb::calls())
        if (call.function == function && (device == -2 || call.device == device))
            found.push_back(call);
    return found;
}

// The device's bulk transfers in order: bytes sent, or bytes asked for.
std::vector<int> transferLengths(int device)
{
    std::vector<int> lengths;
    for (const Call &call : callsNamed("libusb_bulk_transfer", device))
        lengths.push_back(call.endpoint == 0x81 ? call.length : int(call.bytes.size()));
    return lengths;
}
} // namespace

class UsbDeviceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<UsbDevice> usb;

    // Plugs in an instrument and connects to it; returns its id.
    int connectTo(Model model)
    {
        const int device = FakeUsb::addInstrument(model);
        usb = std::make_unique<UsbDevice>();
        QTest::qVerify(usb->findDevice(), "findDevice()", "", __FILE__, __LINE__);
        return device;
    }

private slots:
    void init()
    {
        usb.reset();
        FakeUsb::reset();
    }

    void modelFollowsTheIdentity_data()
    {
        QTest::addColumn<int>("modelByte");
        QTest::addColumn<int>("replyLength");
        QTest::addColumn<bool>("writeFails");
        QTest::addColumn<bool>("dxu3");
        QTest::newRow("model 3") << 3 << 32 << false << true;
        QTest::newRow("model 2") << 2 << 32 << false << false;
        QTest::newRow("model 4") << 4 << 32 << false << false;
        QTest::newRow("31 bytes with model 3") << 3 << 31 << false << false;
        QTest::newRow("request not sent") << 3 << 32 << true << false;
    }

    void modelFollowsTheIdentity()
    {
        QFETCH(int, modelByte);
        QFETCH(int, replyLength);
        QFETCH(bool, writeFails);
        QFETCH(bool, dxu3);
        // the other model first, disconnected: the model is decided anew
        connectTo(dxu3 ? Model::Dxu2 : Model::Dxu3);
        QCOMPARE(usb->isDxu3, !dxu3);
        usb->closeDevice();
        FakeUsb::reset();
        const int dxu = FakeUsb::addInstrument(dxu3 ? Model::Dxu3 : Model::Dxu2);
        FakeUsb::IdentityReply identity = FakeUsb::identity(dxu);
        identity[10] = static_cast<std::uint8_t>(modelByte);
        FakeUsb::setIdentity(dxu, identity);
        FakeUsb::setReplyLength(dxu, 0x07, replyLength);
        FakeUsb::setWriteFails(dxu, 0x07, writeFails);
        QVERIFY(usb->findDevice());
        QCOMPARE(usb->isDxu3, dxu3);
        // the status is read whether or not the identification went through
        QVERIFY(usb->sendSettings());
        const std::vector<int> lengths = transferLengths(dxu); // status, settings, acknowledgement
        QCOMPARE(std::vector<int>(lengths.end() - 3, lengths.end()),
                 (std::vector<int>{dxu3 ? 56 : 52, dxu3 ? 57 : 53, 1}));
        QCOMPARE(FakeUsb::openHandles(), 1);
    }

    void everyMatchIsReadInListOrderAndTheLastKept()
    {
        const int bad = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setOpenError(bad, LIBUSB_ERROR_ACCESS);
        const int first = FakeUsb::addInstrument(Model::Dxu3);
        const int other = FakeUsb::addUnrelatedDevice(0x046D, 0xC077);
        const int second = FakeUsb::addInstrument(Model::Dxu2);
        usb = std::make_unique<UsbDevice>();
        QVERIFY(usb->findDevice());
        QVERIFY(usb->openFailure().isEmpty()); // a later good match clears the cause
        std::vector<int> opened;
        for (const Call &call : callsNamed("libusb_open"))
            opened.push_back(call.device);
        QCOMPARE(opened, (std::vector<int>{bad, first, second}));
        QCOMPARE(FakeUsb::openHandles(first), 0);
        QCOMPARE(FakeUsb::openHandles(other), 0);
        QCOMPARE(FakeUsb::openHandles(second), 1);
        QVERIFY(usb->runGenerators(true, false)); // to the last one only
        QCOMPARE(transferLengths(first), (std::vector<int>{1, 32, 1, 56}));
        QCOMPARE(transferLengths(second), (std::vector<int>{1, 32, 1, 52, 2, 1}));
    }

    void commandsSendTheirFlags()
    {
        const int dxu = connectTo(Model::Dxu2);
        FakeUsb::clearCalls();
        QVERIFY(usb->runGenerators(false, true));
        QVERIFY(usb->runGenerators(true, true));
        QVERIFY(usb->resetGenerators(true, false));
        QVERIFY(usb->resetGenerators(false, true));
        QVERIFY(usb->resetGenerators(true, true));
        QCOMPARE(FakeUsb::framesWritten(dxu),
                 (std::vector<Bytes>{
                     {0x0B, 0x08}, {0x0B, 0x0C}, {0x0B, 0x01}, {0x0B, 0x02}, {0x0B, 0x03}}));
        // each with a one-byte acknowledgement, a second at most for each transfer
        QCOMPARE(transferLengths(dxu), (std::vector<int>{2, 1, 2, 1, 2, 1, 2, 1, 2, 1}));
        for (const Call &call : callsNamed("libusb_bulk_transfer"))
            QCOMPARE(call.timeout, 1000u);
    }

    void failuresEndTheCommand()
    {
        const int dxu = connectTo(Model::Dxu3);
        FakeUsb::setClaimError(dxu, LIBUSB_ERROR_BUSY);
        FakeUsb::clearCalls();
        QVERIFY(!usb->runGenerators(true, false));
        QVERIFY(!usb->sendSettings());
        QVERIFY(!usb->writeNetworkBlock());
        QVERIFY(callsNamed("libusb_bulk_transfer").empty()); // nothing sent
        QCOMPARE(callsNamed("libusb_claim_interface").size(), std::size_t(3));

        FakeUsb::setClaimError(dxu, 0);
        FakeUsb::setWriteFails(dxu, 0x09);
        FakeUsb::clearCalls();
        QVERIFY(!usb->sendSettings());
        QCOMPARE(transferLengths(dxu), std::vector<int>{57}); // no read after a failed write
        QVERIFY(usb->resetGenerators(true, true));            // the next command goes out
        FakeUsb::setReplyLength(dxu, 0x0B, 0);
        QVERIFY(!usb->runGenerators(true, false)); // acknowledgement missing
        FakeUsb::setReplyLength(dxu, 0x0B, 2);
        QVERIFY(!usb->runGenerators(true, false)); // two bytes where one is due

        FakeUsb::setReplyLength(dxu, 0x07, 31); // says why on standard error
        QTemporaryFile standardError;
        QVERIFY(standardError.open());
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        dup2(standardError.handle(), STDERR_FILENO);
        std::uint8_t reply[32] = {};
        const bool ok = usb->readIdentity(reply);
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        QVERIFY(!ok);
        standardError.seek(0);
        QCOMPARE(standardError.readAll(), QByteArray("Can't read from device\n"));
    }

    void handlesDoNotPileUpAndCloseOnDestruction()
    {
        const int contextsBefore = FakeUsb::liveContexts();
        const int dxu = connectTo(Model::Dxu2);
        QVERIFY(usb->findDevice());
        QVERIFY(usb->findDevice());
        QCOMPARE(FakeUsb::openHandles(dxu), 1);
        usb.reset();
        QCOMPARE(FakeUsb::openHandles(), 0);
        QCOMPARE(callsNamed("libusb_close").size(), std::size_t(3));
        const std::vector<Call> released = callsNamed("libusb_release_interface", dxu);
        QVERIFY(!released.empty());
        QCOMPARE(released.back().result, 0);
        QCOMPARE(FakeUsb::liveContexts(), contextsBefore);
    }
};

DXU_TEST_MAIN(UsbDeviceTest)
#include "tst_usb_device.moc"
