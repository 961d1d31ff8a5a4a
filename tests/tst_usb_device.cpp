// UsbDevice against the simulated instrument: discovery, model, framing of
// every command, the identity read and the handles it leaves behind.
#include "device/usb_device.h"
#include "fakeusb/fake_usb.h"
#include "support/test_support.h"

#include <libusb.h>

#include <QTemporaryFile>

#include <cstdio>
#include <functional>
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

std::vector<Call> bulkCalls(int device) { return callsNamed("libusb_bulk_transfer", device); }

std::vector<int> readLengths(int device)
{
    std::vector<int> lengths;
    for (const Call &call : bulkCalls(device))
        if (call.endpoint == 0x81)
            lengths.push_back(call.length);
    return lengths;
}

void putU32(Bytes &bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// What the code writes to standard error while `action` runs.
QByteArray captureStandardError(const std::function<void()> &action)
{
    QTemporaryFile file;
    if (!file.open())
        return "cannot capture";
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    action();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}

int settingsFrameLength(UsbDevice &usb, int device)
{
    FakeUsb::clearCalls();
    usb.sendSettings();
    const std::vector<Bytes> frames = FakeUsb::framesWritten(device);
    return frames.empty() ? -1 : static_cast<int>(frames.front().size());
}
} // namespace

class UsbDeviceTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FakeUsb::reset(); }

    void dxu3ReadsTheLongStatusAndSendsTheLongFrame()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        QVERIFY(usb.isDxu3);
        QCOMPARE(readLengths(dxu), (std::vector<int>{32, 56}));
        QCOMPARE(settingsFrameLength(usb, dxu), 57);
        QVERIFY(usb.openFailure().isEmpty());
    }

    void anyOtherIdentityGivesADxu2_data()
    {
        QTest::addColumn<int>("modelByte");
        QTest::addColumn<int>("replyLength");
        QTest::addColumn<bool>("writeFails");
        QTest::newRow("model 2") << 2 << 32 << false;
        QTest::newRow("model 4") << 4 << 32 << false;
        QTest::newRow("model 0") << 0 << 32 << false;
        QTest::newRow("31 bytes with model 3") << 3 << 31 << false;
        QTest::newRow("no reply") << 3 << 0 << false;
        QTest::newRow("request not sent") << 3 << 32 << true;
    }

    void anyOtherIdentityGivesADxu2()
    {
        QFETCH(int, modelByte);
        QFETCH(int, replyLength);
        QFETCH(bool, writeFails);
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::IdentityReply identity = FakeUsb::identity(dxu);
        identity[10] = static_cast<std::uint8_t>(modelByte);
        FakeUsb::setIdentity(dxu, identity);
        FakeUsb::setReplyLength(dxu, 0x07, replyLength);
        FakeUsb::setWriteFails(dxu, 0x07, writeFails);
        UsbDevice usb;
        usb.isDxu3 = true; // decided anew by the identification
        QVERIFY(usb.findDevice());
        QVERIFY(!usb.isDxu3);
        // the status is read whether or not the identification went through
        QCOMPARE(readLengths(dxu).back(), 52);
        QCOMPARE(settingsFrameLength(usb, dxu), 53);
    }

    void aDxu2AfterADxu3IsADxu2()
    {
        FakeUsb::addInstrument(Model::Dxu3);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        QVERIFY(usb.isDxu3);
        usb.closeDevice();
        QVERIFY(usb.isDxu3); // kept until the next identification

        FakeUsb::reset();
        const int dxu2 = FakeUsb::addInstrument(Model::Dxu2);
        QVERIFY(usb.findDevice());
        QVERIFY(!usb.isDxu3);
        QCOMPARE(readLengths(dxu2), (std::vector<int>{32, 52}));
        QCOMPARE(settingsFrameLength(usb, dxu2), 53);
    }

    void everyMatchIsReadInListOrderAndTheLastKept()
    {
        const int first = FakeUsb::addInstrument(Model::Dxu3);
        const int other = FakeUsb::addUnrelatedDevice(0x046D, 0xC077);
        const int second = FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        QVERIFY(usb.findDevice());

        std::vector<int> opened;
        for (const Call &call : callsNamed("libusb_open"))
            opened.push_back(call.device);
        QCOMPARE(opened, (std::vector<int>{first, second}));
        QCOMPARE(readLengths(first), (std::vector<int>{32, 56}));
        QCOMPARE(readLengths(second), (std::vector<int>{32, 52}));
        // the first handle was closed before the second was opened
        QCOMPARE(FakeUsb::openHandles(first), 0);
        QCOMPARE(FakeUsb::openHandles(second), 1);
        QCOMPARE(FakeUsb::openHandles(other), 0);
        QVERIFY(!usb.isDxu3);

        FakeUsb::clearCalls();
        QVERIFY(usb.runGenerators(true, false));
        QCOMPARE(FakeUsb::framesWritten(second), (std::vector<Bytes>{{0x0B, 0x04}}));
        QVERIFY(FakeUsb::framesWritten(first).empty());
    }

    void nothingMatchingIsNotFound()
    {
        FakeUsb::addUnrelatedDevice(0x03EB, 0x2FF4); // same maker, another product
        FakeUsb::addUnrelatedDevice(0x1234, 0x204F); // same product id, another maker
        UsbDevice usb;
        QVERIFY(!usb.findDevice());
        QVERIFY(callsNamed("libusb_open").empty());
        QCOMPARE(callsNamed("libusb_free_device_list").size(), std::size_t(1));
    }

    void emptyBusIsNotFound()
    {
        UsbDevice usb;
        QVERIFY(!usb.findDevice());
        QVERIFY(!usb.sendSettings()); // no handle: nothing to send to
        QVERIFY(FakeUsb::framesWritten(0).empty());
    }

    void statusFillsTheSettingsBlock()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        Bytes status(56, 0);
        status[0] = 2;
        status[1] = 1;
        putU32(status, 2, 14999999);
        putU32(status, 6, 1874999);
        putU32(status, 26, 10000000);
        putU32(status, 42, 7);
        status[50] = 0;
        status[51] = 3;
        putU32(status, 52, 0x40200000); // 2.5 V
        FakeUsb::setStatus(dxu, status);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        QCOMPARE(usb.settings.source1, std::uint8_t(2));
        QCOMPARE(usb.settings.source2, std::uint8_t(1));
        QCOMPARE(usb.settings.period1, 299.99998);
        QCOMPARE(usb.settings.period2, 1874999 * 8 / 50000.0);
        QCOMPARE(usb.settings.end[0], 200.0);
        QCOMPARE(usb.settings.pulses1, 7u);
        QCOMPARE(usb.settings.timeBase2, std::uint8_t(3));
        QCOMPARE(usb.settings.thresholdVolts, 2.5f);
    }

    void shortStatusLeavesTheBlockAlone()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setReplyLength(dxu, 0x0A, 55);
        UsbDevice usb;
        usb.settings.period1 = 42;
        usb.settings.thresholdVolts = 1.25f;
        QVERIFY(usb.findDevice());
        QCOMPARE(usb.settings.period1, 42.0);
        QCOMPARE(usb.settings.thresholdVolts, 1.25f);
    }

    void misidentifiedDxu3StatusIsNotDecoded()
    {
        // A DXU3 whose identity reply is cut short is asked for 52 bytes and
        // answers 56: the reply does not fit and nothing is decoded.
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setReplyLength(dxu, 0x07, 31);
        UsbDevice usb;
        usb.settings.period1 = 42;
        QVERIFY(usb.findDevice());
        QVERIFY(!usb.isDxu3);
        QCOMPARE(usb.settings.period1, 42.0);
    }

    void dxu2StatusGivesFiveVolts()
    {
        FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        usb.settings.thresholdVolts = 1.0f;
        QVERIFY(usb.findDevice());
        QCOMPARE(usb.settings.thresholdVolts, 5.0f);
    }

    void everyCommandConfiguresClaimsWritesAndReads_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<Bytes>("frame");
        QTest::newRow("run both") << 0 << Bytes{0x0B, 0x0C};
        QTest::newRow("reset 2") << 1 << Bytes{0x0B, 0x02};
        QTest::newRow("reset both") << 2 << Bytes{0x0B, 0x03};
        QTest::newRow("run 2") << 3 << Bytes{0x0B, 0x08};
    }

    void everyCommandConfiguresClaimsWritesAndReads()
    {
        QFETCH(int, command);
        QFETCH(Bytes, frame);
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        FakeUsb::clearCalls();
        bool ok = false;
        switch (command) {
        case 0:
            ok = usb.runGenerators(true, true);
            break;
        case 1:
            ok = usb.resetGenerators(false, true);
            break;
        case 2:
            ok = usb.resetGenerators(true, true);
            break;
        default:
            ok = usb.runGenerators(false, true);
            break;
        }
        QVERIFY(ok);
        const std::vector<Call> &calls = FakeUsb::calls();
        QCOMPARE(calls.size(), std::size_t(4));
        QCOMPARE(calls[0].function, std::string("libusb_set_configuration"));
        QCOMPARE(calls[0].length, 1);
        QCOMPARE(calls[1].function, std::string("libusb_claim_interface"));
        QCOMPARE(calls[1].length, 0);
        QCOMPARE(calls[2].endpoint, 0x02);
        QCOMPARE(calls[2].bytes, frame);
        QCOMPARE(calls[2].timeout, 1000u);
        QCOMPARE(calls[3].endpoint, 0x81);
        QCOMPARE(calls[3].length, 1);
        QCOMPARE(calls[3].timeout, 1000u);
        for (const Call &call : calls)
            QCOMPARE(call.device, dxu);
    }

    void failedClaimSendsNothing()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        FakeUsb::setClaimError(dxu, LIBUSB_ERROR_BUSY);
        FakeUsb::clearCalls();
        QVERIFY(!usb.runGenerators(true, false));
        QVERIFY(!usb.sendSettings());
        QVERIFY(!usb.writeNetworkBlock());
        QVERIFY(bulkCalls(dxu).empty());
        QCOMPARE(callsNamed("libusb_claim_interface").size(), std::size_t(3));
    }

    void failedTransferEndsTheCommand()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        QVERIFY(usb.findDevice());

        FakeUsb::setWriteFails(dxu, 0x09);
        FakeUsb::clearCalls();
        QVERIFY(!usb.sendSettings());
        QCOMPARE(bulkCalls(dxu).size(), std::size_t(1)); // no read after a failed write
        QVERIFY(usb.resetGenerators(true, true));        // the next command goes out

        FakeUsb::setReplyLength(dxu, 0x0B, 0);
        QVERIFY(!usb.runGenerators(true, false)); // acknowledgement missing
        FakeUsb::setReplyLength(dxu, 0x0B, 2);
        QVERIFY(!usb.runGenerators(true, false)); // two bytes where one is due
        QCOMPARE(callsNamed("libusb_bulk_transfer").size(), std::size_t(1 + 2 + 2 + 2));
    }

    void unpluggedInstrumentFailsItsCommands()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        FakeUsb::unplug(dxu);
        QVERIFY(!usb.resetGenerators(true, true));
    }

    void identityReadFillsTheBuffer()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        FakeUsb::clearCalls();
        std::uint8_t reply[32] = {};
        QVERIFY(usb.readIdentity(reply));
        const FakeUsb::IdentityReply expected = FakeUsb::identity(dxu);
        QVERIFY(std::equal(expected.begin(), expected.end(), reply));
        QCOMPARE(FakeUsb::framesWritten(dxu), (std::vector<Bytes>{{0x07}}));
    }

    void identityReadSaysWhyItFailed()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        std::uint8_t reply[32] = {};
        bool ok = true;

        FakeUsb::setReplyLength(dxu, 0x07, 31);
        QCOMPARE(captureStandardError([&] { ok = usb.readIdentity(reply); }),
                 QByteArray("Can't read from device\n"));
        QVERIFY(!ok);

        FakeUsb::setWriteFails(dxu, 0x07);
        QCOMPARE(captureStandardError([&] { ok = usb.readIdentity(reply); }),
                 QByteArray("Can't write to device\n"));
        QVERIFY(!ok);
    }

    void identityReadWithFailedClaimKeepsTheBuffer()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        FakeUsb::setClaimError(dxu, LIBUSB_ERROR_BUSY);
        FakeUsb::clearCalls();
        std::uint8_t reply[32];
        std::fill(reply, reply + 32, 0xEE);
        bool ok = false;
        QCOMPARE(captureStandardError([&] { ok = usb.readIdentity(reply); }), QByteArray());
        QVERIFY(ok);
        QVERIFY(std::all_of(reply, reply + 32, [](std::uint8_t b) { return b == 0xEE; }));
        QVERIFY(bulkCalls(dxu).empty());
    }

    void networkBlockChangesTheInstrumentsNetwork()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        const std::uint8_t block[19] = {1, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 127, 0, 0,
                                        9, 255,  255,  0,    0,    127,  0,    0,   1};
        std::copy(block, block + 19, usb.networkBlock);
        FakeUsb::clearCalls();
        QVERIFY(usb.writeNetworkBlock());
        const std::vector<Call> bulk = bulkCalls(dxu);
        QCOMPARE(bulk.size(), std::size_t(1)); // nothing read back
        Bytes frame(20, 0x08);
        std::copy(block, block + 19, frame.begin() + 1);
        QCOMPARE(bulk[0].bytes, frame);
        const FakeUsb::IdentityReply identity = FakeUsb::identity(dxu);
        QVERIFY(std::equal(block, block + 19, identity.begin() + 13));
    }

    void settingsSentAreReadBackOnTheNextConnection()
    {
        FakeUsb::addInstrument(Model::Dxu3);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        usb.settings.period1 = 12.5;
        usb.settings.end[3] = 0.04;
        usb.settings.timeBase2 = 1;
        usb.settings.thresholdVolts = 0.75f;
        QVERIFY(usb.sendSettings());
        usb.settings = UsbSettingsBlock();
        QVERIFY(usb.findDevice());
        QCOMPARE(usb.settings.period1, 12.5 - 1 / 50000.0); // the period went one tick short
        QCOMPARE(usb.settings.end[3], 0.04);
        QCOMPARE(usb.settings.thresholdVolts, 0.75f);
    }

    void reconnectingClosesTheEarlierHandle()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        QVERIFY(usb.findDevice());
        QVERIFY(usb.findDevice());
        QCOMPARE(FakeUsb::openHandles(dxu), 1);
        usb.closeDevice();
        QCOMPARE(FakeUsb::openHandles(), 0);
        usb.closeDevice(); // nothing open: nothing to do
        QCOMPARE(callsNamed("libusb_close").size(), std::size_t(3));
    }

    void destructionReleasesAndCloses()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        const int contextsBefore = FakeUsb::liveContexts();
        {
            UsbDevice usb;
            QVERIFY(usb.findDevice());
            QVERIFY(FakeUsb::interfaceClaimed(dxu));
            QCOMPARE(FakeUsb::liveContexts(), contextsBefore + 1);
        }
        QCOMPARE(FakeUsb::openHandles(), 0);
        const std::vector<Call> released = callsNamed("libusb_release_interface", dxu);
        QCOMPARE(released.size(), std::size_t(1));
        QCOMPARE(released[0].result, 0);
        QCOMPARE(FakeUsb::liveContexts(), contextsBefore);
    }

    void unopenableInstrumentIsSeenWithItsCause()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setOpenError(dxu, LIBUSB_ERROR_ACCESS);
        UsbDevice usb;
        QVERIFY(usb.findDevice()); // seen, whatever happens next
        QVERIFY(usb.openFailure().contains(QLatin1String("LIBUSB_ERROR_ACCESS")));
        QVERIFY(usb.openFailure().contains(QLatin1String("insufficient permissions")));
        QVERIFY(bulkCalls(dxu).empty());
        QVERIFY(!usb.runGenerators(true, true));
    }

    void unclaimableInstrumentIsSeenWithItsCause()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setClaimError(dxu, LIBUSB_ERROR_BUSY);
        UsbDevice usb;
        usb.settings.period1 = 42;
        QVERIFY(usb.findDevice());
        QVERIFY(usb.openFailure().startsWith(QLatin1String("LIBUSB_ERROR_BUSY")));
        QVERIFY(bulkCalls(dxu).empty());
        QCOMPARE(usb.settings.period1, 42.0);
        usb.closeDevice();
        QCOMPARE(FakeUsb::openHandles(), 0);
    }

    void laterGoodMatchClearsTheCause()
    {
        const int bad = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setOpenError(bad, LIBUSB_ERROR_ACCESS);
        FakeUsb::addInstrument(Model::Dxu3);
        UsbDevice usb;
        QVERIFY(usb.findDevice());
        QVERIFY(usb.openFailure().isEmpty());
        QVERIFY(usb.isDxu3);
    }
};

DXU_TEST_MAIN(UsbDeviceTest)
#include "tst_usb_device.moc"
