#pragma once

#include "network/network_fields.h"

#include <QString>

#include <cstdint>

// The 32-byte identity reply (command 0x07) and the 19-byte network block
// (command 0x08) of the USB link. Bytes 13 to 31 of the reply have the
// layout of the block: DHCP, MAC, IP, mask, gateway.
namespace NetworkBlock {

constexpr int IdentityReplySize = 32;
constexpr int BlockSize = 19;

// The ten serial number bytes in upper-case hexadecimal, each without
// leading zero, joined without separator ("A0FF…").
QString serialNumberText(const std::uint8_t reply[IdentityReplySize]);

// MAC as "00:1B:C5:0A:0B:0C", addresses dotted decimal, DHCP from byte 13.
NetworkFields fieldsFromIdentity(const std::uint8_t reply[IdentityReplySize]);

// The low eight bits of what C's strtoul(text, 0, 16) and atoi(text) give:
// leading blanks, an optional sign, for hexadecimal an optional "0x", then
// digits up to the first other character; no digits give 0.
std::uint8_t hexPartByte(const QString &text);
std::uint8_t decimalPartByte(const QString &text);

// Fills the block from the typed texts: the MAC split at ":", the addresses
// at ".", missing parts taken as 0.
void fillBlock(std::uint8_t block[BlockSize], const NetworkFields &fields);

} // namespace NetworkBlock
