#include "device/record_ranges.h"

#include <QLocale>

#include <cmath>

namespace RecordRanges {

namespace {
using RecordFields::Kind;

QString number(double value) { return QString::number(value, 'f', QLocale::FloatingPointShortest); }

bool isWhole(double value, double low, double high)
{
    return value >= low && value <= high && std::floor(value) == value;
}

QString problem(const GeneratorSettings &record, bool choicesOnly)
{
    for (int i = 0; i < RecordFields::Count; ++i) {
        const RecordFields::Field &field = RecordFields::all()[i];
        if (choicesOnly && !RecordFields::isChoice(field.kind))
            continue;
        const double value = RecordFields::value(record, i);
        if (field.kind == Kind::End) {
            // The start stands right before its end in record order.
            const double start = RecordFields::value(record, i - 1);
            if (!allows(Kind::End, value - start))
                return QStringLiteral("%1=%2 is out of range (%3 to %4 ms: %5 plus a width of %6)")
                    .arg(QLatin1String(field.name), number(value), number(start),
                         number(start + MaxTimeMs), QLatin1String(RecordFields::all()[i - 1].name),
                         rangeText(Kind::End));
            continue;
        }
        if (!allows(field.kind, value))
            return QStringLiteral("%1=%2 is out of range (%3)")
                .arg(QLatin1String(field.name), number(value), rangeText(field.kind));
    }
    return QString();
}
} // namespace

bool allows(Kind kind, double value)
{
    switch (kind) {
    case Kind::SourceG1:
        return isWhole(value, 0, 255) && sourceIndexFromCodeG1(static_cast<int>(value)) >= 0;
    case Kind::SourceG2:
        return isWhole(value, 0, 255) && sourceIndexFromCodeG2(static_cast<int>(value)) >= 0;
    case Kind::Pulses:
        return isWhole(value, 0, MaxPulses);
    case Kind::TimeBase:
        return isWhole(value, 0, TimeBaseCount - 1);
    case Kind::Period:
    case Kind::Start:
    case Kind::End:
        break;
    }
    return value >= 0 && value <= MaxTimeMs; // false for NaN
}

QString rangeText(Kind kind)
{
    switch (kind) {
    case Kind::SourceG1:
        return QStringLiteral("one of 0, 1, 2, 4, 6");
    case Kind::SourceG2:
        return QStringLiteral("one of 0, 1");
    case Kind::Pulses:
        return QStringLiteral("0 to %1").arg(MaxPulses);
    case Kind::TimeBase:
        return QStringLiteral("0 to %1").arg(TimeBaseCount - 1);
    case Kind::Period:
    case Kind::Start:
    case Kind::End:
        break;
    }
    return QStringLiteral("0 to %1 ms").arg(number(MaxTimeMs));
}

QString firstProblem(const GeneratorSettings &record) { return problem(record, false); }

QString firstChoiceProblem(const GeneratorSettings &record) { return problem(record, true); }

bool allowsThreshold(double volts)
{
    return volts >= MinThresholdVolts && volts <= MaxThresholdVolts;
}

QString thresholdRangeText()
{
    return QStringLiteral("%1 to %2 V").arg(number(MinThresholdVolts), number(MaxThresholdVolts));
}

} // namespace RecordRanges
