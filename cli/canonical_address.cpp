#include "cli/canonical_address.h"

#include "device/ipv4_address.h"

#include <QStringList>

QString canonicalIpv4Address(const QString &text)
{
    if (!isIpv4Address(text))
        return QString();
    QStringList groups;
    // Leading zeros read as decimal, never as octal.
    for (const QString &group : text.split(QLatin1Char('.')))
        groups << QString::number(group.toInt(nullptr, 10));
    return groups.join(QLatin1Char('.'));
}
