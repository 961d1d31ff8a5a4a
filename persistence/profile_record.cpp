#include "persistence/profile_record.h"

namespace {
// Channels in profile order: Ch1, Ch2 (generator 1), Ch3, Ch4 (generator 2).
double GeneratorSettings::*const kStarts[4] = {
    &GeneratorSettings::ch1_st1, &GeneratorSettings::ch2_st1, &GeneratorSettings::ch1_st2,
    &GeneratorSettings::ch2_st2};
double GeneratorSettings::*const kEnds[4] = {
    &GeneratorSettings::ch1_et1, &GeneratorSettings::ch2_et1, &GeneratorSettings::ch1_et2,
    &GeneratorSettings::ch2_et2};
} // namespace

GeneratorSettings recordFromProfile(const ProfileValue &profile)
{
    GeneratorSettings r;
    r.ts1 = static_cast<std::uint8_t>(profile.ts1);
    r.ts2 = static_cast<std::uint8_t>(profile.ts2);
    r.p1 = profile.p1;
    r.p2 = profile.p2;
    r.pn1 = profile.pn1;
    r.pn2 = profile.pn2;
    for (int ch = 0; ch < 4; ++ch) {
        r.*kStarts[ch] = profile.delay[ch];
        r.*kEnds[ch] = profile.delay[ch] + profile.width[ch];
    }
    r.freq1 = profile.freq1;
    r.freq2 = profile.freq2;
    return r;
}

ProfileValue profileFromRecord(const GeneratorSettings &r)
{
    ProfileValue profile;
    profile.ts1 = r.ts1;
    profile.ts2 = r.ts2;
    profile.p1 = r.p1;
    profile.p2 = r.p2;
    profile.pn1 = r.pn1;
    profile.pn2 = r.pn2;
    for (int ch = 0; ch < 4; ++ch) {
        profile.delay[ch] = r.*kStarts[ch];
        profile.width[ch] = r.*kEnds[ch] - r.*kStarts[ch];
    }
    profile.freq1 = r.freq1;
    profile.freq2 = r.freq2;
    return profile;
}
