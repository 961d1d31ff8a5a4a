#pragma once

#include "device/generator_settings.h"

#include <cstdint>

// The settings in the instrument's own terms, as the USB frames carry them
// (times in milliseconds here; the frames convert them to ticks).
struct UsbSettingsBlock
{
    std::uint8_t source1 = 0;
    std::uint8_t source2 = 0;
    double period1 = 0;
    double period2 = 0;
    double start[4] = {0, 0, 0, 0}; // Ch1, Ch2 (generator 1), Ch3, Ch4 (generator 2)
    double end[4] = {0, 0, 0, 0};
    std::uint32_t pulses1 = 0;
    std::uint32_t pulses2 = 0;
    std::uint8_t timeBase1 = 0;
    std::uint8_t timeBase2 = 0;
    float thresholdVolts = 0;
};

// Copies the record into the block; the threshold is left as it is.
void copyRecordToBlock(const GeneratorSettings &record, UsbSettingsBlock &block);

// Whether a block read from the instrument can be its settings: time bases
// 0..3, source codes with an entry, and a finite threshold within the range
// a DXU3 accepts. Anything else is a garbled frame, not the instrument's state.
bool isPlausibleStatus(const UsbSettingsBlock &block);

// Copies the block into the record (the read-back after a USB connect).
void copyBlockToRecord(const UsbSettingsBlock &block, GeneratorSettings &record);
