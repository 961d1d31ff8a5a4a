#pragma once

#include <QString>

// One stored profile: sixteen fields joined by "|". Times in milliseconds;
// the channels hold a delay and a width (not the end), in the order
// Ch1, Ch2 (generator 1), Ch3, Ch4 (generator 2).
struct ProfileValue
{
    int ts1 = 0;
    int ts2 = 0;
    double p1 = 300;
    double p2 = 300;
    int pn1 = 1;
    int pn2 = 1;
    double delay[4] = {0, 0, 0, 0};
    double width[4] = {200, 200, 200, 200};
    int freq1 = 0;
    int freq2 = 0;
};

namespace ProfileFormat {
// What every reader takes when the store holds no value under a name.
inline const char *const DefaultValue = "0|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0";
} // namespace ProfileFormat

// Integers in decimal, reals in the general format ("%g").
QString formatProfileValue(const ProfileValue &profile);

// Splits at every "|", empty parts kept. A field that is absent, empty or not
// a number of its kind reads as 0; fields after the sixteenth are ignored.
ProfileValue parseProfileValue(const QString &text);
