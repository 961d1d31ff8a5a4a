// A profile value as the store hands it back: whatever text it holds.

#include "device/number_format.h"
#include "fuzz/fuzz_support.h"
#include "persistence/profile_value.h"

#include <cmath>

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
    return 0;
}
