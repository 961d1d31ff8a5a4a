#include "device/setup_page_parser.h"

#include "device/setup_page_patterns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
using SetupPagePatterns::Select;

const char *const kSetupPageMarker = "Human Readable setup";

// A capture that does not convert counts as 0 (toDouble and toInt give 0),
// also one beyond the range of a double (toDouble gives infinity for those).
double toMs(QStringView capture)
{
    bool ok = false;
    const double value = capture.toString().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}
int toInt(QStringView capture) { return capture.toString().toInt(nullptr, 10); }

// The page shows widths; two values near the top of the range would add up
// to infinity.
double endMs(QStringView width, double start)
{
    return std::min(toMs(width) + start, std::numeric_limits<double>::max());
}

std::optional<int> selectedCode(Select select, const QString &text)
{
    if (const auto digit = SetupPagePatterns::matchSelect(select, text))
        return toInt(*digit);
    return std::nullopt;
}

std::optional<SetupPageFields::Timing> parseTiming(const QString &text)
{
    const auto cap = SetupPagePatterns::matchSettings(text);
    if (!cap)
        return std::nullopt;
    SetupPageFields::Timing t;
    t.p1 = toMs((*cap)[0]);
    t.p2 = toMs((*cap)[1]);
    t.pn1 = toInt((*cap)[2]);
    t.pn2 = toInt((*cap)[3]);
    t.ch1_st1 = toMs((*cap)[4]);
    t.ch1_st2 = toMs((*cap)[5]);
    t.ch1_et1 = endMs((*cap)[6], t.ch1_st1);
    t.ch1_et2 = endMs((*cap)[7], t.ch1_st2);
    t.ch2_st1 = toMs((*cap)[8]);
    t.ch2_st2 = toMs((*cap)[9]);
    t.ch2_et1 = endMs((*cap)[10], t.ch2_st1);
    t.ch2_et2 = endMs((*cap)[11], t.ch2_st2);
    return t;
}
} // namespace

void removeNulBytes(QByteArray &body)
{
    body.removeIf([](char c) { return c == '\0'; });
}

QString setupPageText(const QByteArray &body)
{
    QString text = QString::fromLatin1(body);
    text.remove(QLatin1Char('\n'));
    return text;
}

SetupPageFields parseSetupPage(const QString &text)
{
    SetupPageFields fields;
    if (text.size() > MaxSetupPageLength)
        return fields;
    fields.timing = parseTiming(text);
    if (const auto code = selectedCode(Select::SourceG1, text))
        fields.ts1 = static_cast<std::uint8_t>(*code);
    if (const auto code = selectedCode(Select::SourceG2, text))
        fields.ts2 = static_cast<std::uint8_t>(*code);
    fields.freq1 = selectedCode(Select::TimeBaseG1, text);
    fields.freq2 = selectedCode(Select::TimeBaseG2, text);
    fields.isDxu3 = SetupPagePatterns::containsModel3Marker(text);
    return fields;
}

void applySetupPage(const SetupPageFields &fields, GeneratorSettings &record)
{
    if (const auto &t = fields.timing) {
        record.p1 = t->p1;
        record.p2 = t->p2;
        record.pn1 = t->pn1;
        record.pn2 = t->pn2;
        record.ch1_st1 = t->ch1_st1;
        record.ch1_st2 = t->ch1_st2;
        record.ch1_et1 = t->ch1_et1;
        record.ch1_et2 = t->ch1_et2;
        record.ch2_st1 = t->ch2_st1;
        record.ch2_st2 = t->ch2_st2;
        record.ch2_et1 = t->ch2_et1;
        record.ch2_et2 = t->ch2_et2;
    }
    if (fields.ts1)
        record.ts1 = *fields.ts1;
    if (fields.ts2)
        record.ts2 = *fields.ts2;
    if (fields.freq1)
        record.freq1 = *fields.freq1;
    if (fields.freq2)
        record.freq2 = *fields.freq2;
}

bool holdsSetupPage(const QByteArray &body)
{
    return setupPageText(body).contains(QLatin1String(kSetupPageMarker));
}

bool isSetupPage(const QByteArray &body, const SetupPageFields &fields)
{
    return fields.ts1 && fields.ts2 && fields.freq1 && fields.freq2 && holdsSetupPage(body);
}
