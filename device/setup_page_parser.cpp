#include "device/setup_page_parser.h"

#include <QRegExp>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

// The patterns run on QRegExp in its default syntax: leftmost-longest, "."
// matching any character. The instrument's pages were written against its
// captures (groups 2 to 12 of the settings pattern bind to the earliest
// fitting values), which a backtracking engine does not reproduce.
namespace {
const char *const kSettingsPattern =
    R"re(value="(\d+\.?\d{0,10})".*value="(\d+.?\d{0,10})"".*value="(\d+)".*value="(\d+)")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re";

const char *const kSourceG1Pattern =
    R"re(select name="ts1">.*<option value=(\d) selected="selected".*High Level</option></select></TD><TD>)re";
const char *const kSourceG2Pattern =
    R"re(select name="ts2">.*<option value=(\d) selected="selected".*</option></select></TD></tr>)re";
const char *const kTimeBaseG1Pattern =
    R"re(<select name="freq1">.*<option value=(\d) selected="selected">.*</option></select></TD><TD>)re";
const char *const kTimeBaseG2Pattern =
    R"re(<select name="freq2">.*<option value=(\d) selected="selected">.*</option></select></TD></tr>)re";

const char *const kModel3Marker = R"re(<p class="s0">v.3)re";
const char *const kSetupPageMarker = "Human Readable setup";

// A capture that does not convert counts as 0, also one beyond the range of
// a double (toDouble gives infinity for those).
double toMs(const QString &capture)
{
    bool ok = false;
    const double value = capture.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// The page shows widths; two values near the top of the range would add up
// to infinity.
double endMs(const QString &width, double start)
{
    return std::min(toMs(width) + start, std::numeric_limits<double>::max());
}

std::optional<int> firstCapture(const char *pattern, const QString &text)
{
    QRegExp rx{QLatin1String(pattern)};
    if (rx.indexIn(text) < 0)
        return std::nullopt;
    return rx.cap(1).toInt(nullptr, 10);
}

std::optional<SetupPageFields::Timing> parseTiming(const QString &text)
{
    QRegExp rx{QLatin1String(kSettingsPattern)};
    if (rx.indexIn(text) < 0)
        return std::nullopt;
    const QStringList cap = rx.capturedTexts();
    SetupPageFields::Timing t;
    t.p1 = toMs(cap[1]);
    t.p2 = toMs(cap[2]);
    t.pn1 = cap[3].toInt(nullptr, 10);
    t.pn2 = cap[4].toInt(nullptr, 10);
    t.ch1_st1 = toMs(cap[5]);
    t.ch1_st2 = toMs(cap[6]);
    t.ch1_et1 = endMs(cap[7], t.ch1_st1);
    t.ch1_et2 = endMs(cap[8], t.ch1_st2);
    t.ch2_st1 = toMs(cap[9]);
    t.ch2_st2 = toMs(cap[10]);
    t.ch2_et1 = endMs(cap[11], t.ch2_st1);
    t.ch2_et2 = endMs(cap[12], t.ch2_st2);
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
    if (const auto code = firstCapture(kSourceG1Pattern, text))
        fields.ts1 = static_cast<std::uint8_t>(*code);
    if (const auto code = firstCapture(kSourceG2Pattern, text))
        fields.ts2 = static_cast<std::uint8_t>(*code);
    fields.freq1 = firstCapture(kTimeBaseG1Pattern, text);
    fields.freq2 = firstCapture(kTimeBaseG2Pattern, text);
    fields.isDxu3 = QRegExp(QLatin1String(kModel3Marker)).indexIn(text) >= 0;
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
    return QRegExp(QLatin1String(kSetupPageMarker)).indexIn(setupPageText(body)) >= 0;
}
