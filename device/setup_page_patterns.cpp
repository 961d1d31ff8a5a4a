#include "device/setup_page_patterns.h"

#include "device/value_sequence.h"

namespace SetupPagePatterns {

namespace {

using ValueSequence::charAt;
using ValueSequence::ContentEnds;
using ValueSequence::digitRun;
using ValueSequence::isDigitAt;

// Where a content of the form \d+.?\d{0,10} may end: after the digits, or
// after the digits, any one character and at most ten digits more. A digit
// in the middle makes it all digits, so these are the only two.
ContentEnds digitsAnyDigitsEnds(QStringView text, qsizetype start, QStringView closer)
{
    ContentEnds ends;
    const qsizetype digits = digitRun(text, start);
    if (digits == 0)
        return ends;
    const auto closes = [&](qsizetype q) { return text.mid(q).startsWith(closer); };
    const qsizetype afterDigits = start + digits;
    if (closes(afterDigits))
        ends.append(afterDigits);
    if (afterDigits < text.size()) {
        const qsizetype more = digitRun(text, afterDigits + 1);
        if (more <= 10 && closes(afterDigits + 1 + more))
            ends.append(afterDigits + 1 + more);
    }
    return ends;
}

// (\d+\.?\d{0,10})"
ContentEnds decimalEnds(QStringView text, qsizetype start)
{
    ContentEnds ends;
    const qsizetype digits = digitRun(text, start);
    if (digits == 0)
        return ends;
    const qsizetype q = start + digits;
    if (charAt(text, q, u'"')) {
        ends.append(q);
    } else if (charAt(text, q, u'.')) {
        const qsizetype fraction = digitRun(text, q + 1);
        if (fraction <= 10 && charAt(text, q + 1 + fraction, u'"'))
            ends.append(q + 1 + fraction);
    }
    return ends;
}

// (\d+.?\d{0,10})""
ContentEnds doubleQuotedEnds(QStringView text, qsizetype start)
{
    return digitsAnyDigitsEnds(text, start, u"\"\"");
}

// (\d+)"
ContentEnds integerEnds(QStringView text, qsizetype start)
{
    ContentEnds ends;
    const qsizetype digits = digitRun(text, start);
    if (digits > 0 && charAt(text, start + digits, u'"'))
        ends.append(start + digits);
    return ends;
}

// (\d+.?\d{0,10}|\d+e\-\d{2})"
ContentEnds valueEnds(QStringView text, qsizetype start)
{
    ContentEnds ends = digitsAnyDigitsEnds(text, start, u"\"");
    const qsizetype e = start + digitRun(text, start);
    // The exponent form needs "-" after the "e", where the first form would
    // need a digit or the quote: the two never end at the same place.
    if (e > start && charAt(text, e, u'e') && charAt(text, e + 1, u'-') && isDigitAt(text, e + 2) &&
        isDigitAt(text, e + 3) && charAt(text, e + 4, u'"'))
        ends.append(e + 4);
    return ends;
}

const ValueSequence::Element kSettings[SettingsGroups] = {
    {decimalEnds, 1}, {doubleQuotedEnds, 2}, {integerEnds, 1}, {integerEnds, 1}, {valueEnds, 1},
    {valueEnds, 1},   {valueEnds, 1},        {valueEnds, 1},   {valueEnds, 1},   {valueEnds, 1},
    {valueEnds, 1},   {valueEnds, 1},        {valueEnds, 1}};

struct SelectPattern
{
    QStringView head;   // before the first ".*"
    QStringView option; // "<option value=", the digit, then optionTail
    QStringView optionTail;
    QStringView tail; // after the second ".*"
};

SelectPattern selectPattern(Select select)
{
    const QStringView option = u"<option value=";
    switch (select) {
    case Select::SourceG1:
        return {u"select name=\"ts1\">", option, u" selected=\"selected\"",
                u"High Level</option></select></TD><TD>"};
    case Select::SourceG2:
        return {u"select name=\"ts2\">", option, u" selected=\"selected\"",
                u"</option></select></TD></tr>"};
    case Select::TimeBaseG1:
        return {u"<select name=\"freq1\">", option, u" selected=\"selected\">",
                u"</option></select></TD><TD>"};
    case Select::TimeBaseG2:
        return {u"<select name=\"freq2\">", option, u" selected=\"selected\">",
                u"</option></select></TD></tr>"};
    }
    return {};
}

} // namespace

std::optional<SettingsCaptures> matchSettings(QStringView text)
{
    SettingsCaptures captures;
    if (!ValueSequence::match(text, kSettings, SettingsGroups, captures.data()))
        return std::nullopt;
    return captures;
}

// head.*OPTION.*tail: a later head can only see less of the text, and so can
// a later option, so the first head and the first option after it decide.
std::optional<QStringView> matchSelect(Select select, QStringView text)
{
    const SelectPattern p = selectPattern(select);
    const qsizetype head = text.indexOf(p.head);
    if (head < 0)
        return std::nullopt;
    for (qsizetype at = text.indexOf(p.option, head + p.head.size()); at >= 0;
         at = text.indexOf(p.option, at + p.option.size())) {
        const qsizetype digit = at + p.option.size();
        if (!isDigitAt(text, digit) || !text.mid(digit + 1).startsWith(p.optionTail))
            continue;
        if (text.indexOf(p.tail, digit + 1 + p.optionTail.size()) < 0)
            return std::nullopt;
        return text.mid(digit, 1);
    }
    return std::nullopt;
}

bool containsModel3Marker(QStringView text)
{
    const QStringView marker = u"<p class=\"s0\">v";
    for (qsizetype at = text.indexOf(marker); at >= 0;
         at = text.indexOf(marker, at + marker.size()))
        if (charAt(text, at + marker.size() + 1, u'3'))
            return true;
    return false;
}

} // namespace SetupPagePatterns
