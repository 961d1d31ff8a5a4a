#include "multidevice/address_pattern.h"

#include <QRegExp>

bool isSlaveAddress(const QString &text)
{
    // QRegExp's default syntax (leftmost-longest), matched against the whole
    // text and case-sensitively.
    const QRegExp pattern(QStringLiteral(
        "\\b(([01]?\\d?\\d|2[0-4]\\d|25[0-5])\\.){3}([01]?\\d?\\d|2[0-4]\\d|25[0-5])\\b"));
    return pattern.exactMatch(text);
}
