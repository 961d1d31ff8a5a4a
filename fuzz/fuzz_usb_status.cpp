// A reply to the status read of any length, decoded into the settings block
// and copied into the record as a USB connect does.

#include "device/usb_frames.h"
#include "fuzz/fuzz_support.h"

#include <climits>
#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    UsbSettingsBlock block;
    block.period1 = -1; // no frame decodes to this
    if (!decodeStatusFrame(data, length, block)) {
        FUZZ_CHECK(block.period1 == -1);
        return 0;
    }
    FUZZ_CHECK(length == 52 || length == 56);
    for (const double time : {block.period1, block.period2})
        FUZZ_CHECK(std::isfinite(time));
    for (int ch = 0; ch < 4; ++ch)
        FUZZ_CHECK(std::isfinite(block.start[ch]) && std::isfinite(block.end[ch]));
    if (length == 52)
        FUZZ_CHECK(block.thresholdVolts == 5.0f);
    GeneratorSettings record;
    copyBlockToRecord(block, record);
    FUZZ_CHECK(record.freq1 == block.timeBase1 && record.freq2 == block.timeBase2);
    return 0;
}
