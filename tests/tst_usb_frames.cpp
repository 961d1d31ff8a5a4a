// The USB link's frames, byte by byte: ticks, settings, control, network and
// the status frame read back into the settings block.
#include "device/usb_frames.h"
#include "support/test_support.h"

#include <cmath>
#include <limits>

namespace {
std::uint32_t u32At(const UsbFrame &frame, std::size_t offset)
{
    return static_cast<std::uint32_t>(frame[offset]) |
           static_cast<std::uint32_t>(frame[offset + 1]) << 8 |
           static_cast<std::uint32_t>(frame[offset + 2]) << 16 |
           static_cast<std::uint32_t>(frame[offset + 3]) << 24;
}

UsbFrame bytesAt(const UsbFrame &frame, std::size_t offset, std::size_t count)
{
    return UsbFrame(frame.begin() + static_cast<std::ptrdiff_t>(offset),
                    frame.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

void putU32(UsbFrame &frame, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        frame[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Every field different, so that a field at a wrong offset shows.
UsbSettingsBlock distinctBlock()
{
    UsbSettingsBlock b;
    b.source1 = 6;
    b.source2 = 1;
    b.period1 = 300; // tb 1: 7500000 ticks, sent 7499999
    b.period2 = 10;  // tb 2: 125000 ticks, sent 124999
    b.start[0] = 1;  // 25000
    b.start[1] = 2;  // 50000
    b.start[2] = 3;  // tb 2: 37500
    b.start[3] = 4;  // 50000
    b.end[0] = 5;    // 125000
    b.end[1] = 6;    // 150000
    b.end[2] = 7;    // 87500
    b.end[3] = 8;    // 100000
    b.pulses1 = 0x01020304;
    b.pulses2 = 131072;
    b.timeBase1 = 1;
    b.timeBase2 = 2;
    b.thresholdVolts = 2.5f;
    return b;
}

UsbFrame statusOf(const UsbSettingsBlock &block)
{
    const UsbFrame frame = settingsFrame(block, true);
    return UsbFrame(frame.begin() + 1, frame.end());
}
} // namespace

class UsbFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void periodTicksFollowTheTimeBase_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<quint32>("sent");
        QTest::newRow("20 ns") << 0 << quint32(14999999);
        QTest::newRow("40 ns") << 1 << quint32(7499999);
        QTest::newRow("80 ns") << 2 << quint32(3749999);
        QTest::newRow("160 ns") << 3 << quint32(1874999);
    }

    void periodTicksFollowTheTimeBase()
    {
        QFETCH(int, timeBase);
        QFETCH(quint32, sent);
        QCOMPARE(periodToTicks(300, static_cast<std::uint8_t>(timeBase)), sent);
    }

    void ticksAreCutDownNotRounded()
    {
        // 1.99999 ticks of 20 ns
        QCOMPARE(timeToTicks(0.0000399998, 0), 1u);
        QCOMPARE(timeToTicks(0.00002, 0), 1u);
        QCOMPARE(timeToTicks(0.00015, 3), 0u); // 0.9375 of a 160 ns tick
    }

    void ticksKeepTheLow32BitsOfA64BitCount()
    {
        // 100 s at 20 ns is 5e9 ticks, more than 32 bits hold.
        QCOMPARE(timeToTicks(100000, 0), static_cast<std::uint32_t>(5000000000ULL - 4294967296ULL));
        QCOMPARE(timeToTicks(-1, 0), static_cast<std::uint32_t>(-50000));
    }

    void ticksOutsideThe64BitRangeSaturate()
    {
        QCOMPARE(timeToTicks(std::numeric_limits<double>::quiet_NaN(), 0), 0u);
        QCOMPARE(timeToTicks(1e300, 0), 0xFFFFFFFFu);
        QCOMPARE(timeToTicks(std::numeric_limits<double>::infinity(), 0), 0xFFFFFFFFu);
        QCOMPARE(timeToTicks(-1e300, 0), 0u);
        // one less than the smallest count wraps, it does not overflow
        QCOMPARE(periodToTicks(-1e300, 0), 0xFFFFFFFFu);
    }

    void zeroPeriodIsSentAsAllOnes()
    {
        UsbSettingsBlock block;
        block.period1 = 0;
        block.period2 = 300;
        const UsbFrame frame = settingsFrame(block, false);
        QCOMPARE(bytesAt(frame, 3, 4), (UsbFrame{0xFF, 0xFF, 0xFF, 0xFF}));
        QCOMPARE(bytesAt(frame, 7, 4), (UsbFrame{0xBF, 0xE1, 0xE4, 0x00}));
    }

    void startUpValuesGiveTheKnownBytes()
    {
        UsbSettingsBlock block;
        block.period1 = 300;
        block.end[0] = 200;
        const UsbFrame frame = settingsFrame(block, false);
        QCOMPARE(bytesAt(frame, 3, 4), (UsbFrame{0xBF, 0xE1, 0xE4, 0x00}));
        QCOMPARE(bytesAt(frame, 27, 4), (UsbFrame{0x80, 0x96, 0x98, 0x00}));
    }

    void dxu2SettingsFrameLaysEveryFieldOut()
    {
        const UsbFrame frame = settingsFrame(distinctBlock(), false);
        QCOMPARE(frame.size(), std::size_t(53));
        QCOMPARE(frame[0], std::uint8_t(0x09));
        QCOMPARE(frame[1], std::uint8_t(6));
        QCOMPARE(frame[2], std::uint8_t(1));
        QCOMPARE(u32At(frame, 3), 7499999u);
        QCOMPARE(u32At(frame, 7), 124999u);
        QCOMPARE(u32At(frame, 11), 25000u);
        QCOMPARE(u32At(frame, 15), 50000u);
        QCOMPARE(u32At(frame, 19), 37500u);
        QCOMPARE(u32At(frame, 23), 50000u);
        QCOMPARE(u32At(frame, 27), 125000u);
        QCOMPARE(u32At(frame, 31), 150000u);
        QCOMPARE(u32At(frame, 35), 87500u);
        QCOMPARE(u32At(frame, 39), 100000u);
        QCOMPARE(bytesAt(frame, 43, 4), (UsbFrame{0x04, 0x03, 0x02, 0x01}));
        QCOMPARE(u32At(frame, 47), 131072u);
        QCOMPARE(frame[51], std::uint8_t(1));
        QCOMPARE(frame[52], std::uint8_t(2));
    }

    void dxu3SettingsFrameEndsWithTheThreshold()
    {
        UsbSettingsBlock block = distinctBlock();
        const UsbFrame dxu2 = settingsFrame(block, false);
        block.thresholdVolts = 5.0f;
        const UsbFrame dxu3 = settingsFrame(block, true);
        QCOMPARE(dxu3.size(), std::size_t(57));
        QCOMPARE(bytesAt(dxu3, 0, 53), dxu2);
        QCOMPARE(bytesAt(dxu3, 53, 4), (UsbFrame{0x00, 0x00, 0xA0, 0x40}));
    }

    void controlFramesCarryResetOrRunFlags()
    {
        QCOMPARE(runFlags(true, false), std::uint8_t(0x04));
        QCOMPARE(runFlags(false, true), std::uint8_t(0x08));
        QCOMPARE(runFlags(true, true), std::uint8_t(0x0C));
        QCOMPARE(resetFlags(true, false), std::uint8_t(0x01));
        QCOMPARE(resetFlags(false, true), std::uint8_t(0x02));
        QCOMPARE(resetFlags(true, true), std::uint8_t(0x03));
        const auto frame = controlFrame(0x03);
        QCOMPARE(frame[0], std::uint8_t(0x0B));
        QCOMPARE(frame[1], std::uint8_t(0x03));
    }

    void networkFrameIsTheCodeAndTheBlock()
    {
        std::uint8_t block[19];
        for (int i = 0; i < 19; ++i)
            block[i] = static_cast<std::uint8_t>(0xA0 + i);
        const UsbFrame frame = networkFrame(block);
        QCOMPARE(frame.size(), std::size_t(20));
        QCOMPARE(frame[0], std::uint8_t(0x08));
        QCOMPARE(bytesAt(frame, 1, 19), UsbFrame(block, block + 19));
    }

    void statusFrameReadsEveryField()
    {
        UsbFrame status = statusOf(distinctBlock());
        UsbSettingsBlock read;
        QVERIFY(decodeStatusFrame(status.data(), 56, read));
        QCOMPARE(read.source1, std::uint8_t(6));
        QCOMPARE(read.source2, std::uint8_t(1));
        QCOMPARE(read.period1, 7499999 * 2 / 50000.0);
        QCOMPARE(read.period2, 124999 * 4 / 50000.0);
        const double starts[4] = {1, 2, 3, 4};
        const double ends[4] = {5, 6, 7, 8};
        for (int ch = 0; ch < 4; ++ch) {
            QCOMPARE(read.start[ch], starts[ch]);
            QCOMPARE(read.end[ch], ends[ch]);
        }
        QCOMPARE(read.pulses1, 0x01020304u);
        QCOMPARE(read.pulses2, 131072u);
        QCOMPARE(read.timeBase1, std::uint8_t(1));
        QCOMPARE(read.timeBase2, std::uint8_t(2));
        QCOMPARE(read.thresholdVolts, 2.5f);
    }

    void statusPeriodGetsNoTickAddedBack()
    {
        UsbFrame status(52, 0);
        putU32(status, 2, 14999999);
        UsbSettingsBlock read;
        QVERIFY(decodeStatusFrame(status.data(), 52, read));
        QCOMPARE(read.period1, 299.99998);
    }

    void statusCountsAreSigned()
    {
        UsbFrame status(52, 0);
        putU32(status, 10, 0xFFFFFFFF);
        status[50] = 3;
        UsbSettingsBlock read;
        QVERIFY(decodeStatusFrame(status.data(), 52, read));
        QCOMPARE(read.start[0], -8 / 50000.0);
    }

    void dxu2StatusAlwaysReadsFiveVolts()
    {
        UsbFrame status = statusOf(distinctBlock()); // 2.5 V at offset 52
        UsbSettingsBlock read;
        read.thresholdVolts = 1.0f;
        QVERIFY(decodeStatusFrame(status.data(), 52, read));
        QCOMPARE(read.thresholdVolts, 5.0f);
    }

    void statusOfAnotherLengthChangesNothing_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("empty") << 0;
        QTest::newRow("one short of a DXU2") << 51;
        QTest::newRow("between the models") << 53;
        QTest::newRow("one short of a DXU3") << 55;
        QTest::newRow("one too many") << 57;
    }

    void statusOfAnotherLengthChangesNothing()
    {
        QFETCH(int, length);
        UsbFrame status = statusOf(distinctBlock());
        status.resize(64, 0x55);
        UsbSettingsBlock read;
        read.period1 = 42;
        read.thresholdVolts = 1.5f;
        QVERIFY(!decodeStatusFrame(status.data(), length, read));
        QCOMPARE(read.period1, 42.0);
        QCOMPARE(read.source1, std::uint8_t(0));
        QCOMPARE(read.thresholdVolts, 1.5f);
    }
};

DXU_TEST_MAIN(UsbFramesTest)
#include "tst_usb_frames.moc"
