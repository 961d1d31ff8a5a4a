#include "device/usb_settings_block.h"

#include "device/record_ranges.h"

#include <cmath>

void copyRecordToBlock(const GeneratorSettings &r, UsbSettingsBlock &b)
{
    b.source1 = r.ts1;
    b.source2 = r.ts2;
    b.period1 = r.p1;
    b.period2 = r.p2;
    b.start[0] = r.ch1_st1;
    b.start[1] = r.ch2_st1;
    b.start[2] = r.ch1_st2;
    b.start[3] = r.ch2_st2;
    b.end[0] = r.ch1_et1;
    b.end[1] = r.ch2_et1;
    b.end[2] = r.ch1_et2;
    b.end[3] = r.ch2_et2;
    b.pulses1 = static_cast<std::uint32_t>(r.pn1);
    b.pulses2 = static_cast<std::uint32_t>(r.pn2);
    b.timeBase1 = static_cast<std::uint8_t>(r.freq1 & 0xFF);
    b.timeBase2 = static_cast<std::uint8_t>(r.freq2 & 0xFF);
}

void copyBlockToRecord(const UsbSettingsBlock &b, GeneratorSettings &r)
{
    r.ts1 = b.source1;
    r.ts2 = b.source2;
    r.p1 = b.period1;
    r.p2 = b.period2;
    r.pn1 = static_cast<std::int32_t>(b.pulses1);
    r.pn2 = static_cast<std::int32_t>(b.pulses2);
    r.ch1_st1 = b.start[0];
    r.ch2_st1 = b.start[1];
    r.ch1_st2 = b.start[2];
    r.ch2_st2 = b.start[3];
    r.ch1_et1 = b.end[0];
    r.ch2_et1 = b.end[1];
    r.ch1_et2 = b.end[2];
    r.ch2_et2 = b.end[3];
    r.freq1 = b.timeBase1;
    r.freq2 = b.timeBase2;
}

bool isPlausibleStatus(const UsbSettingsBlock &b)
{
    const double volts = static_cast<double>(b.thresholdVolts);
    return isTimeBaseIndex(b.timeBase1) && isTimeBaseIndex(b.timeBase2) &&
           sourceIndexFromCodeG1(b.source1) >= 0 && sourceIndexFromCodeG2(b.source2) >= 0 &&
           std::isfinite(volts) && RecordRanges::allowsThreshold(volts);
}
