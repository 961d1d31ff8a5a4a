#pragma once

#include "network/network_fields.h"

#include <QString>

// The checks a typed network configuration passes before it is sent, and the
// form its addresses are sent in. Each
// field must be one address as a whole: a configuration with trailing text
// or a fifth group would otherwise be written into the instrument and could
// leave it unreachable.
namespace AddressCheck {

// Six groups of one or two hexadecimal digits separated by ":", any case.
bool isMacAddress(const QString &text);

enum class Field { None, Mac, Ip, Mask, Gateway };

// The first field that fails, in the order MAC, IP, mask, gateway; the
// addresses are checked also while DHCP is on.
Field firstInvalidField(const NetworkFields &fields);

// What the operator is told about a field that fails ("IP address is
// incorrect!"), untranslated, in the translation context of FindDialog;
// nullptr for Field::None.
const char *message(Field field);

// The first field that fails and why, as a sentence to follow the field's
// message: what is expected of its form ("Six hex pairs are expected, e.g.
// 00:1B:C5:0A:0B:0C."), or why the instrument would be unreachable after its
// restart: a group (multicast or broadcast) MAC, and with DHCP off an IP that
// is no one host's (unspecified, broadcast, multicast, or its subnet's network
// or broadcast address), a mask with a gap in its ones, a gateway outside the
// subnet (0.0.0.0 is no gateway and is taken). Blanks around a field are
// dropped first. Field::None and no reason when it may be sent.
struct Finding
{
    Field field = Field::None;
    QString reason;
};
Finding firstFinding(const NetworkFields &fields);

// The configuration without blanks around its fields, and its checked
// addresses in canonical form, leading zeros dropped ("127.000.0.1" is sent
// as "127.0.0.1"), so that the instrument reads every group as decimal, as
// the USB block carries them.
NetworkFields canonicalAddresses(const NetworkFields &fields);

} // namespace AddressCheck
