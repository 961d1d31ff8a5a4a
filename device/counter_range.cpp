#include "device/counter_range.h"

namespace CounterRange {

double tickMs(int) { return 0; }
double minLengthMs(int) { return 0; }
double maxMs(int) { return 0; }
bool counts(Kind, double, int) { return true; }
Problem firstProblem(const GeneratorSettings &) { return {}; }

} // namespace CounterRange
