#pragma once

#include "device/generator_settings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// What the instrument's setup page tells about its settings. Each group is
// present only when its pattern matched; the twelve values of the settings
// pattern come all together or not at all.
struct SetupPageFields
{
    // Times in milliseconds; the page shows widths, these are already ends.
    struct Timing
    {
        double p1 = 0;
        double p2 = 0;
        std::int32_t pn1 = 0;
        std::int32_t pn2 = 0;
        double ch1_st1 = 0;
        double ch1_st2 = 0;
        double ch1_et1 = 0;
        double ch1_et2 = 0;
        double ch2_st1 = 0;
        double ch2_st2 = 0;
        double ch2_et1 = 0;
        double ch2_et2 = 0;
    };

    std::optional<Timing> timing;
    std::optional<std::uint8_t> ts1;
    std::optional<std::uint8_t> ts2;
    std::optional<std::int32_t> freq1;
    std::optional<std::int32_t> freq2;
    bool isDxu3 = false; // the page carries the model 3 marker
};

// Longer texts are not searched at all: no reply the HTTP client passes on
// is longer.
inline constexpr int MaxSetupPageLength = 64 * 1024;

// The instrument pads its pages with NUL bytes; they are dropped from the
// stored body itself.
void removeNulBytes(QByteArray &body);

// The body as the patterns see it: one character per byte (Latin-1), line
// feeds removed.
QString setupPageText(const QByteArray &body);

// Applies the page patterns to a text made by setupPageText().
SetupPageFields parseSetupPage(const QString &text);

// Copies what was found into the record; fields not found keep their values.
void applySetupPage(const SetupPageFields &fields, GeneratorSettings &record);

// True when the body holds the instrument's setup page, recognised by its
// "Human Readable setup" heading.
bool holdsSetupPage(const QByteArray &body);

// True when the body is the setup page with its settings: the heading and
// the four start source and time base choices, which every page of the
// instrument carries whatever its values. Anything else (an empty body, some
// other web server's page, the heading alone) is no answer of the instrument.
// The timing values may still be unreadable (fields.timing empty).
bool isSetupPage(const QByteArray &body, const SetupPageFields &fields);
