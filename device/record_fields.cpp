#include "device/record_fields.h"

namespace RecordFields {

namespace {
using K = Kind;
using S = GeneratorSettings;

// clang-format off
// name, kind, generator, channel, query place, block place, profile place, widget, member
const std::array<Field, Count> kFields = {{
    {"ts1",     K::SourceG1, 1, 0,  0,  0,  0, "sourceG1",   nullptr, nullptr, &S::ts1},
    {"ts2",     K::SourceG2, 2, 0,  1,  1,  1, "sourceG2",   nullptr, nullptr, &S::ts2},
    {"p1",      K::Period,   1, 0,  2,  2,  2, "periodG1",   &S::p1},
    {"p2",      K::Period,   2, 0,  3,  3,  3, "periodG2",   &S::p2},
    {"pn1",     K::Pulses,   1, 0,  4, 12,  4, "pulsesG1",   nullptr, &S::pn1},
    {"pn2",     K::Pulses,   2, 0,  5, 13,  5, "pulsesG2",   nullptr, &S::pn2},
    {"ch1_st1", K::Start,    1, 1,  6,  4,  6, "g1c1start",  &S::ch1_st1},
    {"ch1_et1", K::End,      1, 1,  8,  8,  7, "g1c1stop",   &S::ch1_et1},
    {"ch2_st1", K::Start,    1, 2, 10,  5,  8, "g1c2start",  &S::ch2_st1},
    {"ch2_et1", K::End,      1, 2, 12,  9,  9, "g1c2stop",   &S::ch2_et1},
    {"ch1_st2", K::Start,    2, 3,  7,  6, 10, "g2c1start",  &S::ch1_st2},
    {"ch1_et2", K::End,      2, 3,  9, 10, 11, "g2c1stop",   &S::ch1_et2},
    {"ch2_st2", K::Start,    2, 4, 11,  7, 12, "g2c2start",  &S::ch2_st2},
    {"ch2_et2", K::End,      2, 4, 13, 11, 13, "g2c2stop",   &S::ch2_et2},
    {"freq1",   K::TimeBase, 1, 0, 14, 14, 14, "timeUnitG1", nullptr, &S::freq1},
    {"freq2",   K::TimeBase, 2, 0, 15, 15, 15, "timeUnitG2", nullptr, &S::freq2},
}};
// clang-format on
} // namespace

const std::array<Field, Count> &all() { return kFields; }

int indexOf(const QString &name)
{
    for (int i = 0; i < Count; ++i)
        if (name == QLatin1String(kFields[i].name))
            return i;
    return -1;
}

int channelField(int channel, Kind startOrEnd)
{
    for (int i = 0; i < Count; ++i)
        if (kFields[i].channel == channel && kFields[i].kind == startOrEnd)
            return i;
    return -1;
}

std::vector<int> inOrder(std::initializer_list<std::initializer_list<Kind>> groups)
{
    std::vector<int> indexes;
    for (const std::initializer_list<Kind> &kinds : groups)
        for (int i = 0; i < Count; ++i)
            for (const Kind kind : kinds)
                if (kFields[i].kind == kind)
                    indexes.push_back(i);
    return indexes;
}

double value(const GeneratorSettings &r, int index)
{
    const Field &f = kFields[index];
    if (f.time)
        return r.*f.time;
    return f.whole ? r.*f.whole : r.*f.code;
}

void setValue(GeneratorSettings &r, int index, double value)
{
    const Field &f = kFields[index];
    if (f.time)
        r.*f.time = value;
    else if (f.whole)
        r.*f.whole = static_cast<std::int32_t>(static_cast<std::int64_t>(value));
    else
        r.*f.code = static_cast<std::uint8_t>(static_cast<std::int64_t>(value));
}

double shown(const GeneratorSettings &r, int index)
{
    // The start stands right before its end in record order.
    return kFields[index].kind == Kind::End ? value(r, index) - value(r, index - 1)
                                            : value(r, index);
}

} // namespace RecordFields
