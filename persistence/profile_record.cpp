#include "persistence/profile_record.h"

#include "device/record_fields.h"

namespace {
// The profile's member at a profile place, by its type: exactly one is set.
struct ProfileMember
{
    int *whole = nullptr;
    double *real = nullptr;
};

ProfileMember memberAt(ProfileValue &p, int place)
{
    // ts1, ts2, p1, p2, pn1, pn2, then each channel's delay and width, freq1, freq2.
    int *const wholes[] = {&p.ts1, &p.ts2, &p.pn1, &p.pn2, &p.freq1, &p.freq2};
    if (place < 2)
        return {wholes[place]};
    if (place < 4)
        return {nullptr, place == 2 ? &p.p1 : &p.p2};
    if (place < 6 || place > 13)
        return {wholes[place < 6 ? place - 2 : place - 10]};
    const int ch = (place - 6) / 2;
    return {nullptr, place % 2 == 0 ? &p.delay[ch] : &p.width[ch]};
}
} // namespace

double profileNumber(const ProfileValue &profile, int index)
{
    ProfileValue p = profile;
    const ProfileMember m = memberAt(p, RecordFields::all()[index].profilePlace);
    return m.real ? *m.real : *m.whole;
}

void setProfileNumber(ProfileValue &profile, int index, double value)
{
    const ProfileMember m = memberAt(profile, RecordFields::all()[index].profilePlace);
    if (m.real)
        *m.real = value;
    else
        *m.whole = static_cast<int>(value);
}

GeneratorSettings recordFromProfile(const ProfileValue &profile)
{
    GeneratorSettings r;
    for (int i = 0; i < RecordFields::Count; ++i) {
        const double held = profileNumber(profile, i);
        // The channel's start, set just before its end, is its delay.
        const bool end = RecordFields::all()[i].kind == RecordFields::Kind::End;
        RecordFields::setValue(r, i, end ? RecordFields::value(r, i - 1) + held : held);
    }
    return r;
}

ProfileValue profileFromRecord(const GeneratorSettings &r)
{
    ProfileValue profile;
    for (int i = 0; i < RecordFields::Count; ++i)
        setProfileNumber(profile, i, RecordFields::shown(r, i));
    return profile;
}
