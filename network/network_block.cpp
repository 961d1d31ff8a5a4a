#include "network/network_block.h"

#include <QStringList>

namespace NetworkBlock {

namespace {

constexpr int SerialOffset = 0;
constexpr int SerialSize = 10;
constexpr int NetworkOffset = 13; // the block's layout starts here in the reply

constexpr int DhcpOffset = 0;
constexpr int MacOffset = 1;
constexpr int MacSize = 6;
constexpr int IpOffset = 7;
constexpr int MaskOffset = 11;
constexpr int GatewayOffset = 15;
constexpr int AddressSize = 4;

QString dottedDecimal(const std::uint8_t *bytes)
{
    QStringList parts;
    for (int i = 0; i < AddressSize; ++i)
        parts << QString::number(bytes[i]);
    return parts.join(QLatin1Char('.'));
}

bool isCBlank(QChar c)
{
    return c == QLatin1Char(' ') || (c >= QLatin1Char('\t') && c <= QLatin1Char('\r'));
}

int hexDigitValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

// Only the low eight bits are kept, so the number is accumulated modulo 256;
// that is exact for every value C's conversion can represent, and defined
// where C's would overflow.
std::uint8_t convertLowByte(const QString &text, int base)
{
    int i = 0;
    while (i < text.size() && isCBlank(text.at(i)))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (base == 16 && i + 2 < text.size() && text.at(i) == QLatin1Char('0') &&
        (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X')) &&
        hexDigitValue(text.at(i + 2)) >= 0)
        i += 2;
    unsigned value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text.at(i));
        if (digit < 0 || digit >= base)
            break;
        value = (value * unsigned(base) + unsigned(digit)) & 0xFFu;
    }
    if (negative)
        value = (0x100u - value) & 0xFFu;
    return std::uint8_t(value);
}

void fillAddress(std::uint8_t *bytes, const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < AddressSize; ++i)
        bytes[i] = i < parts.size() ? decimalPartByte(parts.at(i)) : 0;
}

} // namespace

QString serialNumberText(const std::uint8_t reply[IdentityReplySize])
{
    QString text;
    for (int i = SerialOffset; i < SerialOffset + SerialSize; ++i)
        text += QString::number(reply[i], 16).toUpper();
    return text;
}

NetworkFields fieldsFromIdentity(const std::uint8_t reply[IdentityReplySize])
{
    const std::uint8_t *block = reply + NetworkOffset;
    NetworkFields fields;
    QStringList octets;
    for (int i = 0; i < MacSize; ++i)
        octets << QStringLiteral("%1").arg(block[MacOffset + i], 2, 16, QLatin1Char('0')).toUpper();
    fields.mac = octets.join(QLatin1Char(':'));
    fields.ip = dottedDecimal(block + IpOffset);
    fields.mask = dottedDecimal(block + MaskOffset);
    fields.gateway = dottedDecimal(block + GatewayOffset);
    fields.dhcp = block[DhcpOffset] != 0;
    return fields;
}

std::uint8_t hexPartByte(const QString &text) { return convertLowByte(text, 16); }

std::uint8_t decimalPartByte(const QString &text) { return convertLowByte(text, 10); }

void fillBlock(std::uint8_t block[BlockSize], const NetworkFields &fields)
{
    block[DhcpOffset] = fields.dhcp ? 1 : 0;
    const QStringList octets = fields.mac.split(QLatin1Char(':'));
    for (int i = 0; i < MacSize; ++i)
        block[MacOffset + i] = i < octets.size() ? hexPartByte(octets.at(i)) : 0;
    fillAddress(block + IpOffset, fields.ip);
    fillAddress(block + MaskOffset, fields.mask);
    fillAddress(block + GatewayOffset, fields.gateway);
}

} // namespace NetworkBlock
