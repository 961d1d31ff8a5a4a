#include "network/address_check.h"

#include "device/ipv4_address.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtAlgorithms>

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

namespace {

NetworkFields trimmed(const NetworkFields &fields)
{
    NetworkFields t = fields;
    t.mac = fields.mac.trimmed();
    t.ip = fields.ip.trimmed();
    t.mask = fields.mask.trimmed();
    t.gateway = fields.gateway.trimmed();
    return t;
}

quint32 bits(const QString &address)
{
    quint32 value = 0;
    for (const QString &group : canonicalIpv4(address).split(QLatin1Char('.')))
        value = (value << 8) | group.toUInt();
    return value;
}

QString dotted(quint32 value)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(value >> 24)
        .arg((value >> 16) & 0xFF)
        .arg((value >> 8) & 0xFF)
        .arg(value & 0xFF);
}

// With DHCP off: what of the IP, mask and gateway would leave the instrument
// unreachable.
Finding unreachable(const NetworkFields &f)
{
    const QString ipProblem = checkInstrumentAddress(f.ip).problem;
    if (!ipProblem.isEmpty())
        return {Field::Ip, ipProblem + QLatin1Char('.')};
    const quint32 ip = bits(f.ip), mask = bits(f.mask), gateway = bits(f.gateway);
    if ((~mask & (~mask + 1)) != 0)
        return {Field::Mask, QStringLiteral("%1 is not a network mask: its ones must come first, "
                                            "without a gap.")
                                 .arg(normalizedAddress(f.mask))};
    const int prefix = 32 - qPopulationCount(~mask);
    const QString subnet = QStringLiteral("%1/%2").arg(dotted(ip & mask)).arg(prefix);
    if (prefix <= 30 && (ip & ~mask) == 0)
        return {
            Field::Ip,
            QStringLiteral("%1 is the network address of its subnet %2.").arg(dotted(ip), subnet)};
    if (prefix <= 30 && (ip & ~mask) == ~mask)
        return {Field::Ip, QStringLiteral("%1 is the broadcast address of its subnet %2.")
                               .arg(dotted(ip), subnet)};
    if (gateway != 0 && (gateway & mask) != (ip & mask))
        return {Field::Gateway,
                QStringLiteral("%1 is outside the subnet %2 of the IP address and mask.")
                    .arg(dotted(gateway), subnet)};
    return {};
}

} // namespace

Finding firstFinding(const NetworkFields &typed)
{
    const NetworkFields f = trimmed(typed);
    const Field invalid = firstInvalidField(f);
    if (invalid == Field::Mac)
        return {invalid, QStringLiteral("Six hex pairs are expected, e.g. 00:1B:C5:0A:0B:0C.")};
    if (invalid != Field::None)
        return {invalid,
                QStringLiteral("Four decimal groups 0 to 255 are expected, e.g. 192.168.0.10.")};
    // The lowest bit of the first byte marks a group address.
    if (f.mac.section(QLatin1Char(':'), 0, 0).toUInt(nullptr, 16) & 1)
        return {Field::Mac, QStringLiteral("%1 is a group (multicast or broadcast) MAC address, no "
                                           "instrument's.")
                                .arg(f.mac)};
    return f.dhcp ? Finding() : unreachable(f);
}

NetworkFields canonicalAddresses(const NetworkFields &fields)
{
    NetworkFields canonical = trimmed(fields);
    canonical.ip = normalizedAddress(canonical.ip);
    canonical.mask = normalizedAddress(canonical.mask);
    canonical.gateway = normalizedAddress(canonical.gateway);
    return canonical;
}

} // namespace AddressCheck
