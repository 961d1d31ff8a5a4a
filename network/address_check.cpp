#include "network/address_check.h"

#include <QRegularExpression>

namespace AddressCheck {

namespace {

// Written with [0-9], not \d, which would also take digits of other scripts.
const QString OctetPattern = QStringLiteral("([01]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])");

bool matchesWhole(const QRegularExpression &pattern, const QString &text)
{
    return pattern.match(text).hasMatch();
}

} // namespace

bool isMacAddress(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9a-fA-F]{1,2}(:[0-9a-fA-F]{1,2}){5}")));
    return matchesWhole(pattern, text);
}

bool isIpv4Address(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        OctetPattern + QStringLiteral("(\\.") + OctetPattern + QStringLiteral("){3}")));
    return matchesWhole(pattern, text);
}

Field firstInvalidField(const NetworkFields &fields)
{
    if (!isMacAddress(fields.mac))
        return Field::Mac;
    if (!isIpv4Address(fields.ip))
        return Field::Ip;
    if (!isIpv4Address(fields.mask))
        return Field::Mask;
    if (!isIpv4Address(fields.gateway))
        return Field::Gateway;
    return Field::None;
}

} // namespace AddressCheck
