// A reply body as the panel handles every HTTP reply: NUL bytes dropped, the
// setup page recognised, its patterns applied and the record filled.

#include "device/setup_page_parser.h"
#include "fuzz/fuzz_support.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    QByteArray body = fuzzBytes(data, size);
    removeNulBytes(body);
    FUZZ_CHECK(!body.contains('\0'));
    holdsSetupPage(body);
    const SetupPageFields fields = parseSetupPage(setupPageText(body));

    GeneratorSettings record;
    applySetupPage(fields, record);
    // The captures are one decimal digit each.
    FUZZ_CHECK(!fields.ts1 || *fields.ts1 <= 9);
    FUZZ_CHECK(!fields.ts2 || *fields.ts2 <= 9);
    FUZZ_CHECK(!fields.freq1 || (*fields.freq1 >= 0 && *fields.freq1 <= 9));
    FUZZ_CHECK(!fields.freq2 || (*fields.freq2 >= 0 && *fields.freq2 <= 9));
    // The page carries no signs: every time is a number of milliseconds, none
    // negative, none infinite.
    for (const double time :
         {record.p1, record.p2, record.ch1_st1, record.ch1_et1, record.ch2_st1, record.ch2_et1,
          record.ch1_st2, record.ch1_et2, record.ch2_st2, record.ch2_et2})
        FUZZ_CHECK(std::isfinite(time) && time >= 0);
    FUZZ_CHECK(record.pn1 >= 0 && record.pn2 >= 0);
    return 0;
}
