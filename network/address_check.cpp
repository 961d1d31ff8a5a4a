#include "network/address_check.h"

#include "device/ipv4_address.h"

#include <QRegularExpression>

namespace AddressCheck {

namespace {

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

Field firstInvalidField(const NetworkFields &fields)
{
    if (!isMacAddress(fields.mac))
        return Field::Mac;
    if (!::isIpv4Address(fields.ip))
        return Field::Ip;
    if (!::isIpv4Address(fields.mask))
        return Field::Mask;
    if (!::isIpv4Address(fields.gateway))
        return Field::Gateway;
    return Field::None;
}

const char *message(Field field)
{
    switch (field) {
    case Field::None:
        break;
    case Field::Mac:
        return QT_TRANSLATE_NOOP("FindDialog", "MAC address is incorrect!");
    case Field::Ip:
        return QT_TRANSLATE_NOOP("FindDialog", "IP address is incorrect!");
    case Field::Mask:
        return QT_TRANSLATE_NOOP("FindDialog", "Network Mask address is incorrect!");
    case Field::Gateway:
        return QT_TRANSLATE_NOOP("FindDialog", "Gateway address is incorrect!");
    }
    return nullptr;
}

NetworkFields canonicalAddresses(const NetworkFields &fields)
{
    NetworkFields canonical = fields;
    canonical.ip = normalizedAddress(fields.ip);
    canonical.mask = normalizedAddress(fields.mask);
    canonical.gateway = normalizedAddress(fields.gateway);
    return canonical;
}

} // namespace AddressCheck
