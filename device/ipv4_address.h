#pragma once

#include <QString>

// Whether the whole text is one IPv4 address: four decimal groups of one to
// three digits, each 0 to 255, leading zeros allowed ("010.001.000.001").
// Nothing is trimmed, and only the digits 0-9 count.
bool isIpv4Address(const QString &text);
