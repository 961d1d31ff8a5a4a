#pragma once

#include "device/generator_settings.h"

#include <QString>

// What a generator's counters can count with each time base (20, 40, 80 or
// 160 ns per tick): up to 1342, 2684, 5368 or 10736 ms (a little under 2^26
// ticks, as the time-base boxes' tool tip says), a period or a width of at
// least two ticks ("Min length": 4e-5 ms with 20 ns), a delay of at least one
// tick. Zero is always taken: a width or delay of 0 means none. A value the
// chosen time base cannot count is refused before anything is sent: the
// instrument would wrap it or write it in a form its own pages cannot read.
namespace CounterRange {

enum class Kind {
    Period, // at least the minimum length
    Width,  // at least the minimum length
    Delay,  // at least one tick; a channel's end (delay plus width) too
};

double tickMs(int timeBase);
double minLengthMs(int timeBase);
double maxMs(int timeBase);

// Whether time base index 0..3 counts the value (ms) of that kind.
bool counts(Kind kind, double ms, int timeBase);

// The first value that its generator's time base cannot count, generator 1
// first: the record key and one sentence naming the time bases that can
// ("Generator #1 period 5000 ms is more than the 20 ns time base counts (at
// most 1342 ms); the 80 ns or 160 ns time base can count it"). Both empty
// when every value fits; a time-base index outside 0..3 is left to the range
// check of record_ranges.
struct Problem
{
    QString key;
    QString text;
};
Problem firstProblem(const GeneratorSettings &record);

} // namespace CounterRange
