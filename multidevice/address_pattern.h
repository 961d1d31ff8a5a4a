#pragma once

#include <QString>

// Whether the whole text is one IPv4 address as the slave list accepts it:
// four decimal groups of one to three digits, each 0 to 255, leading zeros
// allowed ("010.001.000.001"). Nothing is trimmed.
bool isSlaveAddress(const QString &text);
