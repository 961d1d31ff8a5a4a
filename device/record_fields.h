#pragma once

#include "device/generator_settings.h"

#include <QString>

#include <array>

// The sixteen fields of the Generator settings record by the names of their
// query keys, in record order, each with the kind of box that edits it.
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

struct Field
{
    const char *name;
    Kind kind;
};

inline constexpr int Count = 16;

const std::array<Field, Count> &all();

// -1 when no field has that name.
int indexOf(const QString &name);

// Whole-number kinds come back exactly; setValue() takes a value its kind's
// range allows (see record_ranges).
double value(const GeneratorSettings &record, int index);
void setValue(GeneratorSettings &record, int index, double value);

inline bool isWholeNumber(Kind kind)
{
    return kind == Kind::SourceG1 || kind == Kind::SourceG2 || kind == Kind::Pulses ||
           kind == Kind::TimeBase;
}

} // namespace RecordFields
