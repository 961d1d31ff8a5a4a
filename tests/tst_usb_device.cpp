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
        QTest::addColumn<bool>("dxu3");
        QTest::newRow("model 3") << 3 << true;
        QTest::newRow("model 2") << 2 << false;
        QTest::newRow("model 4") << 4 << false;
    }

    void modelFollowsTheIdentity()
    {
        QFETCH(int, modelByte);
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
        QVERIFY(usb->findDevice());
        QCOMPARE(usb->isDxu3, dxu3);
        QVERIFY(usb->sendSettings());
        const std::vector<int> lengths = transferLengths(dxu); // status, settings, acknowledgement
        QCOMPARE(std::vector<int>(lengths.end() - 3, lengths.end()),
                 (std::vector<int>{dxu3 ? 56 : 52, dxu3 ? 57 : 53, 1}));
        QCOMPARE(FakeUsb::openHandles(), 1);
    }

    // Broken answers while connecting are no connection, and leave the model
    // and settings of the last instrument that answered.
    void brokenAnswersAreNoConnection_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("replyLength"); // -1: the full reply
        QTest::addColumn<int>("offset");      // into the status, where `bytes` go
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QByteArray garbage;
        for (int i = 0; i < 56; ++i)
            garbage += char(i * 37 + 11);
        QTest::newRow("identity short") << 0x07 << 31 << 0 << QByteArray() << false;
        QTest::newRow("identity long") << 0x07 << 33 << 0 << QByteArray() << false;
        QTest::newRow("identity not sent") << 0x07 << -2 << 0 << QByteArray() << false;
        QTest::newRow("status missing") << 0x0A << 0 << 0 << QByteArray() << false;
        QTest::newRow("status short") << 0x0A << 55 << 0 << QByteArray() << false;
        QTest::newRow("status long") << 0x0A << 60 << 0 << QByteArray() << false;
        QTest::newRow("garbage") << 0x0A << -1 << 0 << garbage << false;
        QTest::newRow("time base 4") << 0x0A << -1 << 50 << QByteArray::fromHex("04") << false;
        QTest::newRow("time base 255") << 0x0A << -1 << 51 << QByteArray::fromHex("ff") << false;
        QTest::newRow("source 3") << 0x0A << -1 << 0 << QByteArray::fromHex("03") << false;
        QTest::newRow("source 2 of gen 2") << 0x0A << -1 << 1 << QByteArray::fromHex("02") << false;
        QTest::newRow("threshold NaN")
            << 0x0A << -1 << 52 << QByteArray::fromHex("0000c07f") << false;
        QTest::newRow("threshold 0 V") << 0x0A << -1 << 52 << QByteArray(4, 0) << false;
        QTest::newRow("threshold 5.5 V")
            << 0x0A << -1 << 52 << QByteArray::fromHex("0000b040") << false;
        QTest::newRow("threshold 0.05 V")
            << 0x0A << -1 << 52 << QByteArray::fromHex("cdcc4c3d") << true;
        QTest::newRow("High Level, 160 ns") << 0x0A << -1 << 0 << QByteArray::fromHex("06") << true;
    }

    void brokenAnswersAreNoConnection()
    {
        QFETCH(int, command);
        QFETCH(int, replyLength);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        FakeUsb::unplug(connectTo(Model::Dxu2));
        usb->settings.period1 = 42;
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        Bytes status(56, 0);
        std::fill(status.begin() + 2, status.begin() + 6, 0xFF); // period 0
        status[50] = status[51] = 3;
        status[55] = 0x40; // 2 V
        std::copy(bytes.begin(), bytes.end(), status.begin() + offset);
        FakeUsb::setStatus(dxu, status);
        if (replyLength == -2)
            FakeUsb::setWriteFails(dxu, command);
        else
            FakeUsb::setReplyLength(dxu, std::uint8_t(command), replyLength);

        QCOMPARE(usb->findDevice(), accepted);
        QCOMPARE(FakeUsb::openHandles(), accepted ? 1 : 0);
        QCOMPARE(usb->isDxu3, accepted);
        QCOMPARE(usb->settings.period1, accepted ? 0.0 : 42.0);
        QCOMPARE(usb->failureCause().isEmpty(), accepted);
    }

    // The first match that opens, claims and answers is kept; those before it
    // are closed and those after it not opened.
    void theFirstMatchThatAnswersIsKept()
    {
        const int bad = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setOpenError(bad, LIBUSB_ERROR_ACCESS);
        const int busy = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setClaimError(busy, LIBUSB_ERROR_BUSY);
        const int silent = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setReplyLength(silent, 0x0A, 0);
        const int other = FakeUsb::addUnrelatedDevice(0x046D, 0xC077);
        const int first = FakeUsb::addInstrument(Model::Dxu3);
        const int second = FakeUsb::addInstrument(Model::Dxu2);
        usb = std::make_unique<UsbDevice>();
        QVERIFY(usb->findDevice());
        QVERIFY(usb->isDxu3);
        std::vector<int> opened;
        for (const Call &call : callsNamed("libusb_open"))
            opened.push_back(call.device);
        QCOMPARE(opened, (std::vector<int>{bad, busy, silent, first}));
        QCOMPARE(FakeUsb::openHandles(), 1);
        QCOMPARE(FakeUsb::openHandles(first), 1);
        QVERIFY(usb->runGenerators(true, false)); // to the first one only
        QCOMPARE(transferLengths(first), (std::vector<int>{1, 32, 1, 56, 2, 1}));
        QCOMPARE(transferLengths(second), std::vector<int>{});
        QCOMPARE(transferLengths(other), std::vector<int>{});
    }

    // The configuration is set only when the device is in another one (on a
    // configured device it is a reset, busy while claimed), and a kernel
    // driver holding the interface is detached for the panel.
    void configurationAndKernelDriver_data()
    {
        QTest::addColumn<int>("configuration");
        QTest::addColumn<bool>("kernelDriver");
        QTest::newRow("configured") << 1 << false;
        QTest::newRow("unconfigured") << 0 << false;
        QTest::newRow("kernel driver") << 1 << true;
    }

    void configurationAndKernelDriver()
    {
        QFETCH(int, configuration);
        QFETCH(bool, kernelDriver);
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setConfiguration(dxu, configuration);
        FakeUsb::setKernelDriver(dxu, kernelDriver);
        usb = std::make_unique<UsbDevice>();
        QVERIFY(usb->findDevice());
        std::uint8_t reply[32] = {};
        QVERIFY(usb->sendSettings());
        QVERIFY(usb->runGenerators(true, true));
        QVERIFY(usb->readIdentity(reply));
        QVERIFY(usb->writeNetworkBlock());
        const std::vector<Call> set = callsNamed("libusb_set_configuration");
        QCOMPARE(int(set.size()), configuration == 1 ? 0 : 1);
        for (const Call &call : FakeUsb::calls())
            QVERIFY2(call.result != LIBUSB_ERROR_BUSY, call.function.c_str());
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
        std::uint8_t reply[32] = {};
        QVERIFY(!usb->readIdentity(reply));
        QVERIFY(callsNamed("libusb_bulk_transfer").empty()); // nothing sent
        QCOMPARE(callsNamed("libusb_claim_interface").size(), std::size_t(4));

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
        const bool ok = usb->readIdentity(reply);
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        QVERIFY(!ok);
        standardError.seek(0);
        QCOMPARE(standardError.readAll(), QByteArray("Can't read from device\n"));

        FakeUsb::setReplyLength(dxu, 0x07, -1);
        FakeUsb::unplug(dxu); // gone between two commands
        QVERIFY(!usb->resetGenerators(true, true));
        QVERIFY(!usb->findDevice());
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
