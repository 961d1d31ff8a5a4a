#pragma once

#include <QStringView>
#include <QVarLengthArray>

// The instrument's pages are read with patterns of one shape: attributes
// `value="CONTENT"` followed by a closing text, one after the other with
// anything between them (".*"), e.g.
//   value="(\d+)".*value="(\d+.?\d{0,10}|\d+e\-\d{2})"
// matched the way QRegExp's default syntax matches them: the leftmost start,
// then the longest match from there, then each group in turn at its earliest
// start and, at that start, its latest end (groups bind to the earliest
// fitting attributes, the last group to the last one). Here that is found in
// time linear in the text, where the pattern engine's time grows with the
// text's length times its number of value attributes.
namespace ValueSequence {

// Where an element's content may end when it starts at `start`: every q,
// ascending, for which text[start, q) matches the content and the closing
// text follows at q.
using ContentEnds = QVarLengthArray<qsizetype, 4>;
using ContentEndsFunction = ContentEnds (*)(QStringView text, qsizetype start);

struct Element
{
    ContentEndsFunction contentEnds;
    qsizetype closerLength; // the closing text after the content
};

// Fills captures[k] with element k's content and returns true when the
// sequence of `count` elements matches somewhere in the text.
bool match(QStringView text, const Element *elements, int count, QStringView *captures);

// The length of the run of decimal digits (as QRegExp's \d sees them) at
// position i; 0 past the end.
qsizetype digitRun(QStringView text, qsizetype i);

inline bool isDigitAt(QStringView text, qsizetype i)
{
    return i < text.size() && text[i].isDigit();
}

inline bool charAt(QStringView text, qsizetype i, char16_t c)
{
    return i < text.size() && text[i] == c;
}

} // namespace ValueSequence
