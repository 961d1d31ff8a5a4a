#include "network/network_page_patterns.h"

#include "device/value_sequence.h"

namespace NetworkPagePatterns {

namespace {

using ValueSequence::charAt;
using ValueSequence::ContentEnds;

bool isLowerHexAt(QStringView text, qsizetype i)
{
    if (i >= text.size())
        return false;
    const char16_t c = text[i].unicode();
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
}

// ([0-9a-f]{1,2}(:[0-9a-f]{1,2}){5})": no quote inside, so one end at most.
ContentEnds macEnds(QStringView text, qsizetype start)
{
    ContentEnds ends;
    qsizetype i = start;
    for (int group = 0; group < 6; ++i, ++group) {
        qsizetype digits = 0;
        while (digits < 3 && isLowerHexAt(text, i + digits))
            ++digits;
        if (digits == 0 || digits == 3)
            return ends;
        i += digits;
        if (!charAt(text, i, group < 5 ? u':' : u'"'))
            return ends;
    }
    ends.append(i - 1);
    return ends;
}

// (\d+.\d+.\d+.\d+)": any character between the digit runs, a quote too, so
// several ends are possible. Runs the pattern's seven positions as a set:
// bit 2k is "in digit run k", bit 2k+1 "just past separator k".
ContentEnds addressEnds(QStringView text, qsizetype start)
{
    ContentEnds ends;
    constexpr unsigned kLastRun = 1u << 6;
    unsigned states = 0;
    for (qsizetype i = start; i < text.size(); ++i) {
        const bool digit = text[i].isDigit();
        unsigned next = 0;
        if (i == start) {
            next = digit ? 1u : 0u;
        } else {
            for (int run = 0; run < 4; ++run) {
                const unsigned inRun = 1u << (2 * run);
                const unsigned pastSeparator = inRun << 1;
                if ((states & inRun) && digit)
                    next |= inRun;
                if ((states & inRun) && run < 3)
                    next |= pastSeparator;
                if (run < 3 && (states & pastSeparator) && digit)
                    next |= inRun << 2;
            }
        }
        states = next;
        if (!states)
            break;
        if ((states & kLastRun) && charAt(text, i + 1, u'"'))
            ends.append(i + 1);
    }
    return ends;
}

const ValueSequence::Element kAddresses[4] = {
    {macEnds, 1}, {addressEnds, 1}, {addressEnds, 1}, {addressEnds, 1}};

} // namespace

std::optional<std::array<QStringView, 4>> matchAddresses(QStringView text)
{
    std::array<QStringView, 4> captures;
    if (!ValueSequence::match(text, kAddresses, 4, captures.data()))
        return std::nullopt;
    return captures;
}

// The first check box followed by "CHECKED/>" or "/>" decides; the ".*" at
// the end takes the rest of the text.
std::optional<bool> matchDhcp(QStringView text)
{
    const QStringView box = u"<input type=\"checkbox\" name=\"dhcp\" value=\"1\"";
    for (qsizetype at = text.indexOf(box); at >= 0; at = text.indexOf(box, at + box.size())) {
        const QStringView rest = text.mid(at + box.size());
        if (rest.startsWith(u"CHECKED/>"))
            return true;
        if (rest.startsWith(u"/>"))
            return false;
    }
    return std::nullopt;
}

} // namespace NetworkPagePatterns
