#include "device/value_sequence.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace ValueSequence {

namespace {

constexpr QStringView kAttribute = u"value=\"";
constexpr qsizetype kNone = -1;

// One element kind's occurrences at every value attribute of the text: the
// ends (just past the closing text) of occurrence i are
// ends[first[i]] .. ends[first[i + 1] - 1], ascending.
struct Occurrences
{
    std::vector<qsizetype> first;
    std::vector<qsizetype> ends;
    // Per attribute: the smallest end of this or any later occurrence, and
    // the largest end of this or any later one.
    std::vector<qsizetype> laterMinEnd;
    std::vector<qsizetype> laterMaxEnd;

    qsizetype count(size_t i) const { return first[i + 1] - first[i]; }
    qsizetype minEnd(size_t i) const { return count(i) ? ends[first[i]] : kNone; }
    qsizetype maxEnd(size_t i) const { return count(i) ? ends[first[i + 1] - 1] : kNone; }
    // The largest end of occurrence i that is at most bound (kNone if none).
    qsizetype lastEndUpTo(size_t i, qsizetype bound) const
    {
        for (qsizetype j = first[i + 1] - 1; j >= first[i]; --j)
            if (ends[j] <= bound)
                return ends[j];
        return kNone;
    }
    bool hasEnd(size_t i, qsizetype end) const
    {
        return std::binary_search(ends.begin() + first[i], ends.begin() + first[i + 1], end);
    }
};

Occurrences findOccurrences(QStringView text, const std::vector<qsizetype> &attributes,
                            const Element &element)
{
    Occurrences o;
    o.first.reserve(attributes.size() + 1);
    for (qsizetype at : attributes) {
        o.first.push_back(qsizetype(o.ends.size()));
        for (qsizetype q : element.contentEnds(text, at + kAttribute.size()))
            o.ends.push_back(q + element.closerLength);
    }
    o.first.push_back(qsizetype(o.ends.size()));
    const size_t n = attributes.size();
    o.laterMinEnd.assign(n + 1, std::numeric_limits<qsizetype>::max());
    o.laterMaxEnd.assign(n + 1, kNone);
    for (size_t i = n; i-- > 0;) {
        o.laterMinEnd[i] = o.laterMinEnd[i + 1];
        o.laterMaxEnd[i] = o.laterMaxEnd[i + 1];
        if (o.count(i)) {
            o.laterMinEnd[i] = std::min(o.laterMinEnd[i], o.minEnd(i));
            o.laterMaxEnd[i] = std::max(o.laterMaxEnd[i], o.maxEnd(i));
        }
    }
    return o;
}

std::vector<qsizetype> findAttributes(QStringView text)
{
    std::vector<qsizetype> at;
    for (qsizetype i = text.indexOf(kAttribute); i >= 0;
         i = text.indexOf(kAttribute, i + kAttribute.size()))
        at.push_back(i);
    return at;
}

} // namespace

qsizetype digitRun(QStringView text, qsizetype i)
{
    qsizetype n = 0;
    while (isDigitAt(text, i + n))
        ++n;
    return n;
}

bool match(QStringView text, const Element *elements, int count, QStringView *captures)
{
    const std::vector<qsizetype> attributes = findAttributes(text);
    if (attributes.empty() || count <= 0)
        return false;

    // Elements of the same kind share their occurrences.
    std::vector<Occurrences> kinds;
    std::vector<const Element *> kindOf;
    std::vector<size_t> kindIndex(count);
    for (int k = 0; k < count; ++k) {
        size_t j = 0;
        while (j < kindOf.size() && !(kindOf[j]->contentEnds == elements[k].contentEnds &&
                                      kindOf[j]->closerLength == elements[k].closerLength))
            ++j;
        if (j == kindOf.size()) {
            kindOf.push_back(&elements[k]);
            kinds.push_back(findOccurrences(text, attributes, elements[k]));
        }
        kindIndex[k] = j;
    }
    const auto occ = [&](int k) -> const Occurrences & { return kinds[kindIndex[k]]; };
    const size_t n = attributes.size();
    // The first attribute at or after position p.
    const auto from = [&](qsizetype p) {
        return size_t(std::lower_bound(attributes.begin(), attributes.end(), p) -
                      attributes.begin());
    };

    // latest[k]: the latest start of element k from which elements k.. can
    // still all be placed (any end).
    std::vector<qsizetype> latest(count, kNone);
    for (int k = count - 1; k >= 0; --k) {
        const qsizetype bound =
            k == count - 1 ? std::numeric_limits<qsizetype>::max() : latest[k + 1];
        for (size_t i = n; i-- > 0;) {
            const qsizetype end = occ(k).minEnd(i);
            if (end != kNone && end <= bound) {
                latest[k] = attributes[i];
                break;
            }
        }
        if (latest[k] == kNone)
            return false;
    }

    // Leftmost start: the first occurrence of element 0 that can go on.
    size_t startIndex = 0;
    const qsizetype afterFirst = count > 1 ? latest[1] : std::numeric_limits<qsizetype>::max();
    while (startIndex < n && !(occ(0).count(startIndex) && occ(0).minEnd(startIndex) <= afterFirst))
        ++startIndex;
    if (startIndex == n)
        return false;

    // Longest: the latest end of the last element after the earliest
    // placement of all the others.
    qsizetype end = count > 1 ? occ(0).minEnd(startIndex) : occ(0).maxEnd(startIndex);
    for (int k = 1; k < count; ++k) {
        const size_t i = from(end);
        end = k == count - 1 ? occ(k).laterMaxEnd[i] : occ(k).laterMinEnd[i];
    }
    const qsizetype matchEnd = end;

    // reach[k]: the latest start of element k from which elements k.. can be
    // placed ending the match exactly at matchEnd.
    std::vector<qsizetype> reach(count, kNone);
    for (int k = count - 1; k >= 1; --k) {
        for (size_t i = n; i-- > 0;) {
            const bool fits = k == count - 1 ? occ(k).hasEnd(i, matchEnd)
                                             : occ(k).lastEndUpTo(i, reach[k + 1]) != kNone;
            if (fits) {
                reach[k] = attributes[i];
                break;
            }
        }
    }

    // Each element at its earliest start, and there at its latest end, that
    // still lets the rest end the match at matchEnd.
    qsizetype position = attributes[startIndex];
    for (int k = 0; k < count; ++k) {
        size_t i = k == 0 ? startIndex : from(position);
        qsizetype elementEnd = kNone;
        for (; i < n; ++i) {
            elementEnd = k == count - 1 ? (occ(k).hasEnd(i, matchEnd) ? matchEnd : kNone)
                                        : occ(k).lastEndUpTo(i, reach[k + 1]);
            if (elementEnd != kNone)
                break;
        }
        if (i == n)
            return false; // cannot happen: the passes above found a placement
        const qsizetype contentStart = attributes[i] + kAttribute.size();
        captures[k] = text.mid(contentStart, elementEnd - elements[k].closerLength - contentStart);
        position = elementEnd;
    }
    return true;
}

} // namespace ValueSequence
