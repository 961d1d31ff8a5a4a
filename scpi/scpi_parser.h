#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// SCPI program messages as SCPI-99 and IEEE 488.2 write them, taken apart
// without any instrument: a line in, its commands (or the syntax error that
// ends it) out. Header mnemonics match by their short form (the upper-case
// part of "GENerator") or their long form, in any case.
namespace Scpi {

struct Node
{
    QByteArray mnemonic; // upper case, without its numeric suffix
    int suffix = -1;     // -1: none written (counts as 1)
};

struct Command
{
    bool common = false; // "*IDN?": one node, "IDN"
    QList<Node> nodes;   // the whole path from the root
    bool query = false;
    QList<QByteArray> parameters; // as written, trimmed; strings keep their quotes
    int error = 0;                // not 0: the line's syntax error here (code), and the end
    QString detail;
};

// The commands of one line (without its LF), separated by ";". A header
// that does not start with ":" continues the path of the header before it
// (the path is that header without its last node); a common command leaves
// the path as it is. A syntax error ends the list: what follows it in the
// line is not taken.
QList<Command> parseLine(const QByteArray &line);

// Whether the nodes match a header pattern such as
// "[SOURce]:GENerator#:PERiod" (optional nodes in brackets, "#" where a
// numeric suffix may stand); `suffixes` gets one number per "#", 1 where
// none was written.
bool matchHeader(const QList<Node> &nodes, const char *pattern, QList<int> *suffixes = nullptr);

// Whether `text` is the short or the long form of a mnemonic written as
// "SOFTware", in any case.
bool matchesMnemonic(const QByteArray &text, const char *mnemonic);

// A numeric parameter in the unit's base (seconds, volts, or a plain
// number): a decimal number, with NS, US, MS or S after a time, MV or V
// after a voltage; MINimum and MAXimum stand for the limits given.
enum class Unit { None, Seconds, Volts };
std::optional<double> parseNumeric(const QByteArray &parameter, Unit unit, double minimum,
                                   double maximum);

// ON, OFF, 1 or 0.
std::optional<bool> parseBoolean(const QByteArray &parameter);

// A string parameter in double or single quotes (a doubled quote inside
// stands for one).
std::optional<QString> parseString(const QByteArray &parameter);

} // namespace Scpi
