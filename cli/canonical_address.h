#pragma once

#include <QString>

// The address an IPv4 text stands for, in its canonical form: four decimal
// groups 0-255 without leading zeros ("010.000.000.001" gives "10.0.0.1").
// Empty for any other text (host names, "0x7f.0.0.1", three groups, blanks).
QString canonicalIpv4Address(const QString &text);
