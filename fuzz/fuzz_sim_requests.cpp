// A request target as the simulated instrument reads it off the request line
// (Latin-1), the first byte choosing the model.

#include "fuzz/fuzz_support.h"
#include "sim/dxu_sim_requests.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    if (size == 0)
        return 0;
    const int model = data[0] & 1 ? 3 : 2;
    const QString target = QString::fromLatin1(fuzzBytes(data + 1, size - 1));
    DxuSimState state;
    const DxuSimAnswer answer = answerRequest(state, model, target);
    FUZZ_CHECK(answer.status == 200 || answer.status == 404);
    FUZZ_CHECK(!answer.body.isEmpty() && !answer.summary.isEmpty());

    // The instrument keeps only settings it can hold.
    for (const double time :
         {state.p1, state.p2, state.ch1_st1, state.ch1_et1, state.ch2_st1, state.ch2_et1,
          state.ch1_st2, state.ch1_et2, state.ch2_st2, state.ch2_et2})
        FUZZ_CHECK(std::isfinite(time) && time >= 0 && time <= 687194.0);
    FUZZ_CHECK(state.freq1 >= 0 && state.freq1 <= 3 && state.freq2 >= 0 && state.freq2 <= 3);
    FUZZ_CHECK(state.ts1 == 0 || state.ts1 == 1 || state.ts1 == 2 || state.ts1 == 4 ||
               state.ts1 == 6);
    FUZZ_CHECK(state.ts2 == 0 || state.ts2 == 1);
    FUZZ_CHECK(state.pn1 >= 0 && state.pn2 >= 0);
    FUZZ_CHECK(state.thresholdVolts >= 0.05 && state.thresholdVolts <= 5.0);
    return 0;
}
