#include "device/generator_settings.h"

#include "device/record_ranges.h"

namespace {
const int kCodesG1[] = {0, 1, 2, 4, 6};
const int kCodesG2[] = {0, 1};

template <int N> int codeFromIndex(const int (&codes)[N], int index)
{
    return index >= 0 && index < N ? codes[index] : -1;
}

template <int N> int indexFromCode(const int (&codes)[N], int code)
{
    for (int i = 0; i < N; ++i)
        if (codes[i] == code)
            return i;
    return -1;
}
} // namespace

int sourceCodeFromIndexG1(int index) { return codeFromIndex(kCodesG1, index); }
int sourceIndexFromCodeG1(int code) { return indexFromCode(kCodesG1, code); }
int sourceCodeFromIndexG2(int index) { return codeFromIndex(kCodesG2, index); }
int sourceIndexFromCodeG2(int code) { return indexFromCode(kCodesG2, code); }

bool isTimeBaseIndex(int index) { return index >= 0 && index < RecordRanges::TimeBaseCount; }
