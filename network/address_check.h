#pragma once

#include "network/network_fields.h"

#include <QString>

// The checks a typed network configuration passes before it is sent. Each
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

} // namespace AddressCheck
