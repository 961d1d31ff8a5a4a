#pragma once

#include "device/generator_settings.h"

#include <QString>

#include <array>
#include <initializer_list>
#include <vector>

// The one table of the sixteen fields of the Generator settings record: each
// field's query key, kind, member and its place in every form the settings
// take (the settings query, the USB settings block, a stored profile, the
// boxes of the generator panels). Every list of the fields is walked from it.
namespace RecordFields {

enum class Kind {
    SourceG1, // start-source code of generator 1: 0, 1, 2, 4, 6
    SourceG2, // start-source code of generator 2: 0, 1
    Period,   // ms
    Pulses,   // count
    Start,    // ms
    End,      // ms; its box holds the width, end minus the start before it
    TimeBase, // index 0..3
};

// A kind's range is record_ranges' allows() and rangeText().
enum class Unit { Ms, Count, Index };

struct Field
{
    const char *name; // the query key, and the member of GeneratorSettings of that name
    Kind kind;
    int generator; // 1 or 2
    int channel;   // 1..4 (Ch1, Ch2 of generator 1, Ch3, Ch4) for a Start or an End, else 0
    // The places, 0..15, among the settings query's values, among the
    // UsbSettingsBlock's members in their declaration order (source1,
    // source2, period1, period2, start[0..3], end[0..3], pulses1, pulses2,
    // timeBase1, timeBase2) and among the fields of a stored profile.
    int queryPlace;
    int blockPlace;
    int profilePlace;
    // The object name of the box that shows it, alike in the main window's
    // form and in the slave dialog's panels.
    const char *widget;
    // The member, by its type: exactly one is set.
    double GeneratorSettings::*time = nullptr;
    std::int32_t GeneratorSettings::*whole = nullptr;
    std::uint8_t GeneratorSettings::*code = nullptr;
};

inline constexpr int Count = 16;

// In record order: the order of GeneratorSettings' members; each End comes
// right after its Start.
const std::array<Field, Count> &all();

// -1 when no field has that name.
int indexOf(const QString &name);
// The Start or End field of channel 1..4.
int channelField(int channel, Kind startOrEnd);

// The fields of each group of kinds in turn, a group's fields in record
// order: {{Period}, {Start, End}} gives p1, p2, then the channels one by one.
std::vector<int> inOrder(std::initializer_list<std::initializer_list<Kind>> groups);

// Whole-number kinds come back exactly; setValue() takes a value its kind's
// range allows (see record_ranges), whole numbers wrapping as integers do.
double value(const GeneratorSettings &record, int index);
void setValue(GeneratorSettings &record, int index, double value);
// As a box shows it: an end as its width, end minus the start before it.
double shown(const GeneratorSettings &record, int index);

inline Unit unit(Kind kind)
{
    if (kind == Kind::Pulses)
        return Unit::Count;
    return kind == Kind::SourceG1 || kind == Kind::SourceG2 || kind == Kind::TimeBase ? Unit::Index
                                                                                      : Unit::Ms;
}

inline bool isWholeNumber(Kind kind) { return unit(kind) != Unit::Ms; }

// Shown by a combo box: the sources and the time bases.
inline bool isChoice(Kind kind) { return unit(kind) == Unit::Index; }

} // namespace RecordFields
