#include "device/record_fields.h"

namespace RecordFields {

namespace {
using K = Kind;
const std::array<Field, Count> kFields = {{{"ts1", K::SourceG1},
                                           {"ts2", K::SourceG2},
                                           {"p1", K::Period},
                                           {"p2", K::Period},
                                           {"pn1", K::Pulses},
                                           {"pn2", K::Pulses},
                                           {"ch1_st1", K::Start},
                                           {"ch1_et1", K::End},
                                           {"ch2_st1", K::Start},
                                           {"ch2_et1", K::End},
                                           {"ch1_st2", K::Start},
                                           {"ch1_et2", K::End},
                                           {"ch2_st2", K::Start},
                                           {"ch2_et2", K::End},
                                           {"freq1", K::TimeBase},
                                           {"freq2", K::TimeBase}}};

// The members in the order of kFields.
double GeneratorSettings::*const kTimes[] = {
    &GeneratorSettings::p1,      &GeneratorSettings::p2,      &GeneratorSettings::ch1_st1,
    &GeneratorSettings::ch1_et1, &GeneratorSettings::ch2_st1, &GeneratorSettings::ch2_et1,
    &GeneratorSettings::ch1_st2, &GeneratorSettings::ch1_et2, &GeneratorSettings::ch2_st2,
    &GeneratorSettings::ch2_et2};
std::int32_t GeneratorSettings::*const kCounts[] = {&GeneratorSettings::pn1,
                                                    &GeneratorSettings::pn2};
std::int32_t GeneratorSettings::*const kTimeBases[] = {&GeneratorSettings::freq1,
                                                       &GeneratorSettings::freq2};

// Indexes 2, 3 and 6..13 are times; 4, 5 counts; 14, 15 time bases.
double GeneratorSettings::*timeMember(int index)
{
    return kTimes[index < 4 ? index - 2 : index - 4];
}
} // namespace

const std::array<Field, Count> &all() { return kFields; }

int indexOf(const QString &name)
{
    for (int i = 0; i < Count; ++i)
        if (name == QLatin1String(kFields[i].name))
            return i;
    return -1;
}

double value(const GeneratorSettings &r, int index)
{
    switch (kFields[index].kind) {
    case K::SourceG1:
        return r.ts1;
    case K::SourceG2:
        return r.ts2;
    case K::Pulses:
        return r.*kCounts[index - 4];
    case K::TimeBase:
        return r.*kTimeBases[index - 14];
    case K::Period:
    case K::Start:
    case K::End:
        break;
    }
    return r.*timeMember(index);
}

void setValue(GeneratorSettings &r, int index, double value)
{
    switch (kFields[index].kind) {
    case K::SourceG1:
        r.ts1 = static_cast<std::uint8_t>(value);
        return;
    case K::SourceG2:
        r.ts2 = static_cast<std::uint8_t>(value);
        return;
    case K::Pulses:
        r.*kCounts[index - 4] = static_cast<std::int32_t>(value);
        return;
    case K::TimeBase:
        r.*kTimeBases[index - 14] = static_cast<std::int32_t>(value);
        return;
    case K::Period:
    case K::Start:
    case K::End:
        break;
    }
    r.*timeMember(index) = value;
}

} // namespace RecordFields
