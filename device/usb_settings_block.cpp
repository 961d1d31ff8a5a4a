#include "device/usb_settings_block.h"

#include "device/record_fields.h"
#include "device/record_ranges.h"

#include <cmath>

namespace {
// The block's member at a field's block place, by its type: exactly one is set.
struct BlockMember
{
    std::uint8_t *code = nullptr;
    std::uint32_t *count = nullptr;
    double *time = nullptr;
};

BlockMember memberAt(UsbSettingsBlock &b, int place)
{
    if (place < 2)
        return {place == 0 ? &b.source1 : &b.source2};
    if (place < 4)
        return {nullptr, nullptr, place == 2 ? &b.period1 : &b.period2};
    if (place < 12)
        return {nullptr, nullptr, place < 8 ? &b.start[place - 4] : &b.end[place - 8]};
    if (place < 14)
        return {nullptr, place == 12 ? &b.pulses1 : &b.pulses2};
    return {place == 14 ? &b.timeBase1 : &b.timeBase2};
}
} // namespace

void copyRecordToBlock(const GeneratorSettings &r, UsbSettingsBlock &b)
{
    for (const RecordFields::Field &f : RecordFields::all()) {
        const BlockMember m = memberAt(b, f.blockPlace);
        if (m.time)
            *m.time = r.*f.time;
        else if (m.count)
            *m.count = static_cast<std::uint32_t>(r.*f.whole);
        else if (f.code)
            *m.code = r.*f.code;
        else // a time base
            *m.code = static_cast<std::uint8_t>(r.*f.whole & 0xFF);
    }
}

void copyBlockToRecord(const UsbSettingsBlock &block, GeneratorSettings &r)
{
    UsbSettingsBlock b = block;
    for (const RecordFields::Field &f : RecordFields::all()) {
        const BlockMember m = memberAt(b, f.blockPlace);
        if (m.time)
            r.*f.time = *m.time;
        else if (m.count)
            r.*f.whole = static_cast<std::int32_t>(*m.count);
        else if (f.code)
            r.*f.code = *m.code;
        else
            r.*f.whole = *m.code;
    }
}

bool isPlausibleStatus(const UsbSettingsBlock &b)
{
    const double volts = static_cast<double>(b.thresholdVolts);
    return isTimeBaseIndex(b.timeBase1) && isTimeBaseIndex(b.timeBase2) &&
           sourceIndexFromCodeG1(b.source1) >= 0 && sourceIndexFromCodeG2(b.source2) >= 0 &&
           std::isfinite(volts) && RecordRanges::allowsThreshold(volts);
}
