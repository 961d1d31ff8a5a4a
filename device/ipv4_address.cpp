#include "device/ipv4_address.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// A host whose last label is a number (decimal, or hexadecimal after "0x")
// is read as an IPv4 address by URL parsers, in whatever base its groups
// suggest. An IPv6 address (it has a ':') is not.
bool endsInNumber(const QString &text)
{
    if (text.contains(QLatin1Char(':')))
        return false;
    QStringList labels = text.split(QLatin1Char('.'));
    if (labels.size() > 1 && labels.last().isEmpty())
        labels.removeLast();
    static const QRegularExpression number(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]+|0[xX][0-9A-Fa-f]*")));
    return number.match(labels.last()).hasMatch();
}

} // namespace

bool isIpv4Address(const QString &text)
{
    // Written with [0-9], not \d, which would also take digits of other scripts.
    static const QString octet = QStringLiteral("([01]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])");
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        octet + QStringLiteral("(\\.") + octet + QStringLiteral("){3}")));
    return pattern.match(text).hasMatch();
}

QString canonicalIpv4(const QString &text)
{
    if (!isIpv4Address(text))
        return QString();
    QStringList groups = text.split(QLatin1Char('.'));
    for (QString &group : groups)
        group = QString::number(group.toInt());
    return groups.join(QLatin1Char('.'));
}

QString normalizedAddress(const QString &text)
{
    const QString canonical = canonicalIpv4(text);
    return canonical.isEmpty() ? text : canonical;
}

QString requestHost(const QString &text)
{
    const QString canonical = canonicalIpv4(text);
    if (!canonical.isEmpty())
        return canonical;
    return endsInNumber(text) ? QString() : text;
}

namespace {

bool isHostName(const QString &text)
{
    // RFC 1123 labels; a last label that is a number makes it a numeric
    // address in some other form.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral(
        "([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}"
        "[A-Za-z0-9])?)*\\.?")));
    return text.size() <= 253 && pattern.match(text).hasMatch() && !endsInNumber(text);
}

// Why no single instrument can have that canonical IPv4 address; empty when
// one can.
QString unusableIpv4(const QString &canonical)
{
    if (canonical == QLatin1String("0.0.0.0"))
        return QStringLiteral("%1 is the unspecified address, no instrument's").arg(canonical);
    if (canonical == QLatin1String("255.255.255.255"))
        return QStringLiteral("%1 is the broadcast address, no instrument's").arg(canonical);
    const int first = canonical.section(QLatin1Char('.'), 0, 0).toInt();
    if (first >= 224 && first <= 239)
        return QStringLiteral("%1 is a multicast address (224.0.0.0 to 239.255.255.255), no "
                              "instrument's")
            .arg(canonical);
    return QString();
}

} // namespace

InstrumentAddress checkInstrumentAddress(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {QString(), QStringLiteral("no address given")};
    const QString canonical = canonicalIpv4(text);
    if (!canonical.isEmpty()) {
        const QString problem = unusableIpv4(canonical);
        return {problem.isEmpty() ? canonical : QString(), problem};
    }
    if (isHostName(text))
        return {text, QString()};
    return {QString(), QStringLiteral("%1 is not an IPv4 address or host name").arg(text)};
}
