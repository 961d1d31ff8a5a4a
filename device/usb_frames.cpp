#include "device/usb_frames.h"

#include "device/usb_constants.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace UsbLink;

namespace {
// A time typed with five decimals in milliseconds (two in microseconds) is a
// whole number of sixteenths of a 20 ns tick, but its product in doubles may
// land a hair below a whole tick (0.0003 ms: 14.999999999999998). The margin
// lifts such values to the count the decimal value holds; it is far smaller
// than the sixteenth of a tick that separates distinct entries.
constexpr double TickMargin = 1e-6;

// Milliseconds -> ticks, before the cut to 32 bits. The cast of a double
// outside the int64 range is undefined, so such values saturate.
std::int64_t wholeTicks(double milliseconds, std::uint8_t timeBase)
{
    const double ticks =
        std::floor(50000.0 / std::ldexp(1.0, timeBase) * milliseconds + TickMargin);
    if (std::isnan(ticks))
        return 0;
    // 2^63 is exact as a double; every double below it converts.
    if (ticks >= 9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::max();
    if (ticks < -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(ticks);
}

void putU32(UsbFrame &frame, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        frame[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getU32(const std::uint8_t *bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::int32_t getI32(const std::uint8_t *bytes) { return static_cast<std::int32_t>(getU32(bytes)); }

std::uint32_t floatBits(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatFromBits(std::uint32_t bits)
{
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
} // namespace

std::uint32_t timeToTicks(double milliseconds, std::uint8_t timeBase)
{
    return static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(wholeTicks(milliseconds, timeBase)));
}

std::uint32_t periodToTicks(double milliseconds, std::uint8_t timeBase)
{
    // Unsigned, so that one less than the smallest count wraps instead of
    // overflowing.
    return static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(wholeTicks(milliseconds, timeBase)) - 1u);
}

double ticksToTime(std::int32_t ticks, std::uint8_t timeBase)
{
    return std::ldexp(1.0, timeBase) * ticks / 50000.0;
}

// The instrument holds the period one tick short, as it was sent; the tick
// goes back on, so that what was read goes out again unchanged. All ones (a
// period of 0 sent) wraps back to 0.
double periodFromTicks(std::uint32_t ticksLessOne, std::uint8_t timeBase)
{
    const std::uint32_t ticks = ticksLessOne + 1u;
    return std::ldexp(1.0, timeBase) * ticks / 50000.0;
}

UsbFrame settingsFrame(const UsbSettingsBlock &block, bool dxu3)
{
    UsbFrame frame(dxu3 ? SettingsFrameLengthDxu3 : SettingsFrameLengthDxu2, 0);
    const std::uint8_t tb1 = block.timeBase1;
    const std::uint8_t tb2 = block.timeBase2;
    // Ch1 and Ch2 belong to generator 1, Ch3 and Ch4 to generator 2.
    const std::uint8_t channelTimeBase[4] = {tb1, tb1, tb2, tb2};
    frame[0] = CMD_WRITE_SETTINGS;
    frame[1] = block.source1;
    frame[2] = block.source2;
    putU32(frame, 3, periodToTicks(block.period1, tb1));
    putU32(frame, 7, periodToTicks(block.period2, tb2));
    for (std::size_t ch = 0; ch < 4; ++ch) {
        putU32(frame, 11 + 4 * ch, timeToTicks(block.start[ch], channelTimeBase[ch]));
        putU32(frame, 27 + 4 * ch, timeToTicks(block.end[ch], channelTimeBase[ch]));
    }
    putU32(frame, 43, block.pulses1);
    putU32(frame, 47, block.pulses2);
    frame[51] = tb1;
    frame[52] = tb2;
    if (dxu3)
        putU32(frame, 53, floatBits(block.thresholdVolts));
    return frame;
}

std::uint8_t runFlags(bool gen1, bool gen2)
{
    return static_cast<std::uint8_t>((gen1 ? CTRL_RUN1 : 0) | (gen2 ? CTRL_RUN2 : 0));
}

std::uint8_t resetFlags(bool gen1, bool gen2)
{
    return static_cast<std::uint8_t>((gen1 ? CTRL_RESET1 : 0) | (gen2 ? CTRL_RESET2 : 0));
}

std::array<std::uint8_t, 2> controlFrame(std::uint8_t flags) { return {CMD_CONTROL, flags}; }

UsbFrame networkFrame(const std::uint8_t block[19])
{
    UsbFrame frame(NetworkFrameLength);
    frame[0] = CMD_WRITE_NETWORK;
    std::memcpy(frame.data() + 1, block, NetworkBlockLength);
    return frame;
}

// The status frame is the settings frame without its code byte, with every
// count converted by the time base the same frame carries.
bool decodeStatusFrame(const std::uint8_t *frame, int length, UsbSettingsBlock &block)
{
    if (length != StatusLengthDxu2 && length != StatusLengthDxu3)
        return false;
    const std::uint8_t tb1 = frame[50];
    const std::uint8_t tb2 = frame[51];
    const std::uint8_t channelTimeBase[4] = {tb1, tb1, tb2, tb2};
    block.source1 = frame[0];
    block.source2 = frame[1];
    block.period1 = periodFromTicks(getU32(frame + 2), tb1);
    block.period2 = periodFromTicks(getU32(frame + 6), tb2);
    for (int ch = 0; ch < 4; ++ch) {
        block.start[ch] = ticksToTime(getI32(frame + 10 + 4 * ch), channelTimeBase[ch]);
        block.end[ch] = ticksToTime(getI32(frame + 26 + 4 * ch), channelTimeBase[ch]);
    }
    block.pulses1 = getU32(frame + 42);
    block.pulses2 = getU32(frame + 46);
    block.timeBase1 = tb1;
    block.timeBase2 = tb2;
    block.thresholdVolts =
        length == StatusLengthDxu3 ? floatFromBits(getU32(frame + 52)) : Dxu2ThresholdVolts;
    return true;
}
