#pragma once

#include <cstdint>

// The sixteen values of both generators, named after the query keys of the
// instrument's settings page. Times are always milliseconds; a channel holds
// its pulse start and its pulse end (end = start + width).
struct GeneratorSettings
{
    std::uint8_t ts1 = 0;   // start source code, generator 1
    std::uint8_t ts2 = 0;   // start source code, generator 2
    double p1 = 300;        // period, generator 1
    double p2 = 300;        // period, generator 2
    std::int32_t pn1 = 1;   // number of pulses, generator 1
    std::int32_t pn2 = 1;   // number of pulses, generator 2
    double ch1_st1 = 0;     // generator 1, channel 1 (Ch1): pulse start
    double ch1_et1 = 200;   // generator 1, channel 1: pulse end
    double ch2_st1 = 0;     // generator 1, channel 2 (Ch2): pulse start
    double ch2_et1 = 200;   // generator 1, channel 2: pulse end
    double ch1_st2 = 0;     // generator 2, channel 1 (Ch3): pulse start
    double ch1_et2 = 200;   // generator 2, channel 1: pulse end
    double ch2_st2 = 0;     // generator 2, channel 2 (Ch4): pulse start
    double ch2_et2 = 200;   // generator 2, channel 2: pulse end
    std::int32_t freq1 = 0; // time-base index of generator 1 (tick 20 ns << index)
    std::int32_t freq2 = 0; // time-base index of generator 2
};

// Start-source codes of the two generators and the combo entries showing them.
// Generator 1: 0 Software, 1 Ext. Sync, 2 rising edge, 4 falling edge, 6 high
// level (entries 0..4); generator 2: 0 Software, 1 Gen1 Slave. Codes 3 and 5
// are never produced. A code or index without a counterpart gives -1.
int sourceCodeFromIndexG1(int index);
int sourceIndexFromCodeG1(int code);
int sourceCodeFromIndexG2(int index);
int sourceIndexFromCodeG2(int code);

// Time-base indexes 0..3 (20, 40, 80, 160 ns); anything else, from an
// instrument or a stored profile, has no entry to show and is not taken.
bool isTimeBaseIndex(int index);
// Selects entry `index` of a time-base combo box (any type with
// setCurrentIndex); an index outside 0..3 leaves the box as it is, where the
// box itself would go blank and send index -1.
template <typename ComboBox> void showTimeBase(ComboBox *box, int index)
{
    if (isTimeBaseIndex(index))
        box->setCurrentIndex(index);
}
