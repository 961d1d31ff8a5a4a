#include "device/ipv4_address.h"

#include <QRegularExpression>

bool isIpv4Address(const QString &text)
{
    // Written with [0-9], not \d, which would also take digits of other scripts.
    static const QString octet = QStringLiteral("([01]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])");
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        octet + QStringLiteral("(\\.") + octet + QStringLiteral("){3}")));
    return pattern.match(text).hasMatch();
}
