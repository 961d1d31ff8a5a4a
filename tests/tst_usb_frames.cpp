// The USB link's frames, byte by byte: ticks, the settings frame, and the
// status frame read back into the settings block.
#include "device/usb_frames.h"
#include "support/test_support.h"

#include <limits>

namespace {
// Every field different, so that a field at a wrong offset shows: sources 6 and
// 1, periods 300 and 10 ms, starts 1..4 ms, ends 5..8 ms, 0x01020304 and 131072
// pulses, time bases 1 and 2 (40 and 80 ns), 2.5 V.
const UsbSettingsBlock distinct{6,          1,      300, 10, {1, 2, 3, 4}, {5, 6, 7, 8},
                                0x01020304, 131072, 1,   2,  2.5f};
} // namespace

class UsbFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void ticks()
    {
        const std::uint32_t periodOf300ms[4] = {14999999, 7499999, 3749999, 1874999};
        for (std::uint8_t timeBase = 0; timeBase < 4; ++timeBase)
            QCOMPARE(periodToTicks(300, timeBase), periodOf300ms[timeBase]);
        QCOMPARE(periodToTicks(0, 0), 0xFFFFFFFFu);
        QCOMPARE(timeToTicks(0.0000399998, 0), 1u); // 1.99999 ticks: cut down, not rounded
        QCOMPARE(timeToTicks(0.0003, 0), 15u);      // 14.999999999999998 in doubles
        // A five-decimal entry is k * 10 ns, exactly k >> (tb + 1) ticks: below
        // 3 ms and at the top of the range, every value counts exactly.
        int wrong = 0;
        for (std::uint8_t timeBase = 0; timeBase < 4; ++timeBase)
            for (std::int64_t first : {std::int64_t(0), std::int64_t(1073300000)})
                for (std::int64_t k = first; k <= first + 300000; ++k)
                    wrong += timeToTicks(k / 100000.0, timeBase) != k >> (timeBase + 1);
        QCOMPARE(wrong, 0);
        QCOMPARE(timeToTicks(100000, 0), 705032704u); // 5e9 ticks: the low 32 bits
        QCOMPARE(timeToTicks(std::numeric_limits<double>::quiet_NaN(), 0), 0u);
        QCOMPARE(timeToTicks(1e300, 0), 0xFFFFFFFFu); // beyond 64 bits: saturated
    }

    void settingsFrameLaysEveryFieldOut()
    {
        UsbFrame expected{0x09, 6, 1};
        for (std::uint32_t field : {7499999u, 124999u, 25000u, 50000u, 37500u, 50000u, 125000u,
                                    150000u, 87500u, 100000u, 0x01020304u, 131072u})
            for (int shift = 0; shift < 32; shift += 8)
                expected.push_back(static_cast<std::uint8_t>(field >> shift));
        expected.insert(expected.end(), {1, 2});
        QCOMPARE(settingsFrame(distinct, false), expected);

        UsbSettingsBlock block = distinct;
        block.thresholdVolts = 5.0f;
        expected.insert(expected.end(), {0x00, 0x00, 0xA0, 0x40});
        QCOMPARE(settingsFrame(block, true), expected);

        UsbSettingsBlock startUp;
        startUp.end[0] = 200;
        const UsbFrame frame = settingsFrame(startUp, false);
        QCOMPARE(UsbFrame(frame.begin() + 3, frame.begin() + 7),
                 (UsbFrame{0xFF, 0xFF, 0xFF, 0xFF}));
        QCOMPARE(UsbFrame(frame.begin() + 27, frame.begin() + 31),
                 (UsbFrame{0x80, 0x96, 0x98, 0x00}));
    }

    void statusFrameReadsEveryField()
    {
        UsbFrame status = settingsFrame(distinct, true);
        status.erase(status.begin()); // a status frame has no command code
        UsbSettingsBlock read;
        QVERIFY(decodeStatusFrame(status.data(), 56, read));
        QCOMPARE(read.source1, std::uint8_t(6));
        QCOMPARE(read.source2, std::uint8_t(1));
        QCOMPARE(read.period1, 300.0); // the tick the frame leaves off is added back
        QCOMPARE(read.period2, 10.0);
        for (int ch = 0; ch < 4; ++ch) {
            QCOMPARE(read.start[ch], ch + 1.0);
            QCOMPARE(read.end[ch], ch + 5.0);
        }
        QCOMPARE(read.pulses1, 0x01020304u);
        QCOMPARE(read.pulses2, 131072u);
        QCOMPARE(read.timeBase1, std::uint8_t(1));
        QCOMPARE(read.timeBase2, std::uint8_t(2));
        QCOMPARE(read.thresholdVolts, 2.5f);
        QCOMPARE(settingsFrame(read, true), settingsFrame(distinct, true)); // read goes out as is

        QVERIFY(decodeStatusFrame(status.data(), 52, read)); // a DXU2's: no threshold
        QCOMPARE(read.thresholdVolts, 5.0f);

        UsbSettingsBlock timeBase0;
        timeBase0.period1 = 300; // 14999999 ticks
        timeBase0.start[0] = -1; // counts are signed
        status = settingsFrame(timeBase0, false);
        QVERIFY(decodeStatusFrame(status.data() + 1, 52, read));
        QCOMPARE(read.period1, 300.0);
        QCOMPARE(read.period2, 0.0); // all ones: a period of 0 sent
        QCOMPARE(read.start[0], -1.0);

        status.resize(64, 0x55);
        UsbSettingsBlock unchanged;
        unchanged.period1 = 42;
        unchanged.thresholdVolts = 1.5f;
        for (int length : {0, 51, 53, 55, 57}) {
            QVERIFY(!decodeStatusFrame(status.data(), length, unchanged));
            QCOMPARE(unchanged.period1, 42.0);
            QCOMPARE(unchanged.thresholdVolts, 1.5f);
        }
    }
};

DXU_TEST_MAIN(UsbFramesTest)
#include "tst_usb_frames.moc"
