#pragma once

// The binary frames of the USB link, built and read as plain bytes.

#include "device/usb_settings_block.h"

#include <array>
#include <cstdint>
#include <vector>

using UsbFrame = std::vector<std::uint8_t>;

// Ticks of a generator's time base (0..3: 20, 40, 80, 160 ns) in a time of
// `milliseconds`, as the instrument counts them: the low 32 bits of
// floor(50000 / 2^timeBase * milliseconds + 1e-6), the margin keeping a
// decimal entry from losing a tick to rounding. Times beyond the 64-bit range
// saturate and NaN counts 0.
std::uint32_t timeToTicks(double milliseconds, std::uint8_t timeBase);
// The period goes out one tick short; a zero period becomes all ones.
std::uint32_t periodToTicks(double milliseconds, std::uint8_t timeBase);
// A signed count of ticks back to milliseconds.
double ticksToTime(std::int32_t ticks, std::uint8_t timeBase);
// A period as the frames carry it (ticks - 1) back to milliseconds, the tick
// added back: (count + 1) * 2^timeBase / 50000, all ones giving 0.
double periodFromTicks(std::uint32_t ticksLessOne, std::uint8_t timeBase);

// The settings frame: 53 bytes for a DXU2, 57 with the threshold for a DXU3.
UsbFrame settingsFrame(const UsbSettingsBlock &block, bool dxu3);

std::uint8_t runFlags(bool gen1, bool gen2);
std::uint8_t resetFlags(bool gen1, bool gen2);
std::array<std::uint8_t, 2> controlFrame(std::uint8_t flags);

// The network write: the command code and the 19-byte network block.
UsbFrame networkFrame(const std::uint8_t block[19]);

// Reads a 52-byte (DXU2) or 56-byte (DXU3) status frame into the block;
// returns false and leaves the block alone for any other length.
bool decodeStatusFrame(const std::uint8_t *frame, int length, UsbSettingsBlock &block);
