#pragma once

#include <QString>

// Reals as the instrument's queries, the profile values and the export file
// write them: C's "%g" (six significant digits, trailing zeros dropped,
// exponent with at least two digits below 1e-4 and from 1e6), "." as decimal
// point whatever the locale: 300, 200.5, 1234.57, 2e-05, 0.2, 1.5e+06.
inline QString formatGeneral(double value) { return QString::number(value, 'g', 6); }
