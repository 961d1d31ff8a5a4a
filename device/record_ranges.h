#pragma once

#include "device/generator_settings.h"
#include "device/record_fields.h"

#include <QString>

// What the panel's boxes can hold: the time boxes 0 to 10736 ms with five
// decimals (in the millisecond display), the pulse boxes 0 to 131072, the
// source and time-base combos their entries, the threshold dialog 0.05 to
// 5 V with two decimals. Nothing outside these ranges is sent.
namespace RecordRanges {

inline constexpr double MaxTimeMs = 10736;
inline constexpr int TimeDecimals = 5;
inline constexpr int MaxPulses = 131072;
inline constexpr int TimeBaseCount = 4; // 20, 40, 80, 160 ns per tick
inline constexpr double MinThresholdVolts = 0.05;
inline constexpr double MaxThresholdVolts = 5.0;
inline constexpr int ThresholdDecimals = 2;

// Whether the box of that kind holds the value; an end is held as a width.
bool allows(RecordFields::Kind kind, double value);
// "0 to 10736 ms", "one of 0, 1, 2, 4, 6", "0 to 131072", "0 to 3".
QString rangeText(RecordFields::Kind kind);

// The first field, in record order, that its box would not hold, as
// "p1=20000 is out of range (0 to 10736 ms)"; an end is held as its width (end
// minus the start before it). Empty when every field fits.
QString firstProblem(const GeneratorSettings &record);
// The same for the fields a combo shows (sources and time bases) only: a
// read whose combos hold no entry is not the instrument's settings.
QString firstChoiceProblem(const GeneratorSettings &record);

bool allowsThreshold(double volts);
QString thresholdRangeText(); // "0.05 to 5 V"

} // namespace RecordRanges
