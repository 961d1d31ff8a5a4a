#include "scpi/scpi_parser.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace Scpi {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

Command syntaxError(const QString &detail) { return Command{false, {}, false, {}, -102, detail}; }

// Splits at `separator` outside quoted strings; false when a string is not
// closed.
bool splitOutsideStrings(const QByteArray &text, char separator, QList<QByteArray> &parts)
{
    char quote = 0;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0; // a doubled quote closes and opens again
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == separator) {
            parts << text.mid(from, i - from);
            from = i + 1;
        }
    }
    parts << text.mid(from);
    return quote == 0;
}

// "GEN1" as node GEN, suffix 1; false when it is no mnemonic.
bool parseNode(const QByteArray &text, Node &node)
{
    qsizetype digits = text.size();
    while (digits > 0 && isDigit(text[digits - 1]))
        --digits;
    if (digits == 0 || !isLetter(text[0]) || text.size() - digits > 9)
        return false;
    for (qsizetype i = 1; i < digits; ++i)
        if (!isLetter(text[i]) && !isDigit(text[i]) && text[i] != '_')
            return false;
    node.mnemonic = text.left(digits).toUpper();
    node.suffix = digits < text.size() ? text.mid(digits).toInt() : -1;
    return true;
}

// The pattern's nodes: "[SOURce]" optional, "GENerator#" with a suffix.
struct PatternNode
{
    QByteArray mnemonic;
    bool optional = false;
    bool suffix = false;
};

QList<PatternNode> patternNodes(const char *pattern)
{
    QList<PatternNode> nodes;
    QByteArray text(pattern);
    text.replace("[:", ":[");
    for (QByteArray part : text.split(':')) {
        if (part.isEmpty())
            continue;
        PatternNode node;
        node.optional = part.startsWith('[');
        part.replace('[', "").replace(']', "");
        node.suffix = part.endsWith('#');
        node.mnemonic = node.suffix ? part.chopped(1) : part;
        nodes << node;
    }
    return nodes;
}

bool matchFrom(const QList<Node> &nodes, qsizetype ni, const QList<PatternNode> &pattern,
               qsizetype pi, QList<int> &suffixes)
{
    if (pi == pattern.size())
        return ni == nodes.size();
    const PatternNode &p = pattern[pi];
    const qsizetype before = suffixes.size();
    if (ni < nodes.size() && matchesMnemonic(nodes[ni].mnemonic, p.mnemonic.constData()) &&
        (p.suffix || nodes[ni].suffix < 0)) {
        if (p.suffix)
            suffixes << (nodes[ni].suffix < 0 ? 1 : nodes[ni].suffix);
        if (matchFrom(nodes, ni + 1, pattern, pi + 1, suffixes))
            return true;
        suffixes.resize(before);
    }
    if (!p.optional)
        return false;
    if (p.suffix)
        suffixes << 1;
    if (matchFrom(nodes, ni, pattern, pi + 1, suffixes))
        return true;
    suffixes.resize(before);
    return false;
}

} // namespace

QList<Command> parseLine(const QByteArray &line)
{
    QList<Command> commands;
    for (const char c : line)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r') ||
            static_cast<unsigned char>(c) > 0x7E)
            return {syntaxError(QStringLiteral("a character that is not printable ASCII"))};
    QList<QByteArray> units;
    if (!splitOutsideStrings(line, ';', units))
        return {syntaxError(QStringLiteral("a string without its closing quote"))};
    QList<Node> path; // where a relative header starts
    for (const QByteArray &rawUnit : units) {
        const QByteArray unit = rawUnit.trimmed();
        if (unit.isEmpty())
            continue;
        qsizetype end = 0;
        while (end < unit.size() && !isSpace(unit[end]))
            ++end;
        QByteArray header = unit.left(end);
        const QByteArray rest = unit.mid(end).trimmed();
        Command command;
        command.query = header.endsWith('?');
        if (command.query)
            header.chop(1);
        const QString shown = QString::fromLatin1(header.left(40));
        if (header.startsWith('*')) {
            command.common = true;
            Node node;
            if (!parseNode(header.mid(1), node) || node.suffix >= 0) {
                commands << syntaxError(QStringLiteral("\"%1\" is no common command").arg(shown));
                return commands;
            }
            command.nodes << node;
        } else {
            const bool absolute = header.startsWith(':');
            if (!absolute)
                command.nodes = path;
            const QList<QByteArray> parts = header.mid(absolute ? 1 : 0).split(':');
            for (const QByteArray &part : parts) {
                Node node;
                if (!parseNode(part, node)) {
                    commands << syntaxError(QStringLiteral("\"%1\" is no header").arg(shown));
                    return commands;
                }
                command.nodes << node;
            }
            path = command.nodes.mid(0, command.nodes.size() - 1);
        }
        if (!rest.isEmpty()) {
            if (!splitOutsideStrings(rest, ',', command.parameters))
                return commands << syntaxError(
                           QStringLiteral("a string without its closing quote"));
            for (QByteArray &parameter : command.parameters) {
                parameter = parameter.trimmed();
                if (parameter.isEmpty())
                    return commands << syntaxError(QStringLiteral("an empty parameter"));
            }
        }
        commands << command;
    }
    return commands;
}

bool matchHeader(const QList<Node> &nodes, const char *pattern, QList<int> *suffixes)
{
    // Patterns are few and fixed: each is taken apart once.
    static QHash<QByteArray, QList<PatternNode>> known;
    const QByteArray key(pattern);
    auto it = known.constFind(key);
    if (it == known.constEnd())
        it = known.insert(key, patternNodes(pattern));
    QList<int> found;
    if (!matchFrom(nodes, 0, *it, 0, found))
        return false;
    if (suffixes)
        *suffixes = found;
    return true;
}

bool matchesMnemonic(const QByteArray &text, const char *mnemonic)
{
    const QByteArray longForm(mnemonic);
    QByteArray shortForm;
    for (const char c : longForm)
        if (!(c >= 'a' && c <= 'z'))
            shortForm += c;
    const QByteArray upper = text.toUpper();
    return upper == shortForm || upper == longForm.toUpper();
}

std::optional<double> parseNumeric(const QByteArray &parameter, Unit unit, double minimum,
                                   double maximum)
{
    if (matchesMnemonic(parameter, "MINimum"))
        return minimum;
    if (matchesMnemonic(parameter, "MAXimum"))
        return maximum;
    static const QRegularExpression number(
        QStringLiteral("^([+-]?(\\d+\\.?\\d*|\\.\\d+)(E[+-]?\\d+)?)\\s*([A-Z]*)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = number.match(QString::fromLatin1(parameter));
    if (!match.hasMatch())
        return std::nullopt;
    double value = match.captured(1).toDouble();
    const QString suffix = match.captured(4).toUpper();
    struct Scale
    {
        Unit unit;
        const char *suffix;
        double factor;
    };
    static const Scale scales[] = {{Unit::Seconds, "S", 1},     {Unit::Seconds, "MS", 1e-3},
                                   {Unit::Seconds, "US", 1e-6}, {Unit::Seconds, "NS", 1e-9},
                                   {Unit::Volts, "V", 1},       {Unit::Volts, "MV", 1e-3}};
    if (!suffix.isEmpty()) {
        const Scale *found = nullptr;
        for (const Scale &scale : scales)
            if (scale.unit == unit && suffix == QLatin1String(scale.suffix))
                found = &scale;
        if (!found)
            return std::nullopt;
        value *= found->factor;
    }
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<bool> parseBoolean(const QByteArray &parameter)
{
    if (parameter == "1" || matchesMnemonic(parameter, "ON"))
        return true;
    if (parameter == "0" || matchesMnemonic(parameter, "OFF"))
        return false;
    return std::nullopt;
}

std::optional<QString> parseString(const QByteArray &parameter)
{
    if (parameter.size() < 2 || (parameter[0] != '"' && parameter[0] != '\'') ||
        parameter.back() != parameter[0])
        return std::nullopt;
    const char quote = parameter[0];
    QByteArray inner = parameter.mid(1, parameter.size() - 2);
    const QByteArray doubled(2, quote);
    // A lone quote inside would have ended the string.
    if (QByteArray(inner).replace(doubled, "").contains(quote))
        return std::nullopt;
    return QString::fromLatin1(inner.replace(doubled, QByteArray(1, quote)));
}

} // namespace Scpi
