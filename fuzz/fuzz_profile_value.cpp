// A profile value as the store hands it back: whatever text it holds.

#include "device/counter_range.h"
#include "device/number_format.h"
#include "device/record_ranges.h"
#include "device/usb_frames.h"
#include "fuzz/fuzz_support.h"
#include "persistence/profile_record.h"
#include "persistence/profile_value.h"

#include <cmath>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    const ProfileValue first = parseProfileValue(fuzzText(data, size));
    const double reals[] = {first.p1,       first.p2,       first.delay[0], first.width[0],
                            first.delay[1], first.width[1], first.delay[2], first.width[2],
                            first.delay[3], first.width[3]};
    for (const double value : reals)
        FUZZ_CHECK(std::isfinite(value));

    // Saved again and read back, the profile keeps its fields (the reals to
    // the six digits a value holds).
    const ProfileValue again = parseProfileValue(formatProfileValue(first));
    FUZZ_CHECK(again.ts1 == first.ts1 && again.ts2 == first.ts2 && again.pn1 == first.pn1 &&
               again.pn2 == first.pn2 && again.freq1 == first.freq1 && again.freq2 == first.freq2);
    const double realsAgain[] = {again.p1,       again.p2,       again.delay[0], again.width[0],
                                 again.delay[1], again.width[1], again.delay[2], again.width[2],
                                 again.delay[3], again.width[3]};
    for (int i = 0; i < 10; ++i)
        FUZZ_CHECK(formatGeneral(realsAgain[i]) == formatGeneral(reals[i]));

    // A profile that may be sent goes out in tick counts its generator can
    // count: none beyond 2^26, no period of less than a tick but 0.
    const GeneratorSettings r = recordFromProfile(first);
    if (!RecordRanges::firstProblem(r).isEmpty() || !CounterRange::firstProblem(r).key.isEmpty())
        return 0;
    const auto tb1 = static_cast<std::uint8_t>(r.freq1), tb2 = static_cast<std::uint8_t>(r.freq2);
    const std::pair<double, std::uint8_t> times[] = {
        {r.p1, tb1}, {r.ch1_st1, tb1}, {r.ch1_et1, tb1}, {r.ch2_st1, tb1}, {r.ch2_et1, tb1},
        {r.p2, tb2}, {r.ch1_st2, tb2}, {r.ch1_et2, tb2}, {r.ch2_st2, tb2}, {r.ch2_et2, tb2}};
    for (const auto &[ms, timeBase] : times)
        FUZZ_CHECK(timeToTicks(ms, timeBase) <= (1u << 26));
    FUZZ_CHECK(r.p1 < 1e-9 || timeToTicks(r.p1, tb1) >= 1);
    FUZZ_CHECK(r.p2 < 1e-9 || timeToTicks(r.p2, tb2) >= 1);
    return 0;
}
