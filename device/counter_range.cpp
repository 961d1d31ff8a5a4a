#include "device/counter_range.h"

#include "device/record_fields.h"

#include <QStringList>

#include <cmath>

namespace CounterRange {

namespace {
const int kTimeBases = 4;
const double kBaseTickMs = 2e-5;    // 20 ns
const double kBaseMaxMs = 1342;     // the tool tip's maximum with 20 ns
const double kRoundingMs = 1e-9;    // far below a tick: sums of typed values
const double kRelativeSlack = 1e-9; // a value typed in microseconds, times 0.001

const char *const kTimeBaseNames[kTimeBases] = {"20 ns", "40 ns", "80 ns", "160 ns"};

QString number(double ms) { return QString::number(ms, 'g', 6); }

double leastMs(Kind kind, int timeBase)
{
    return kind == Kind::Delay ? tickMs(timeBase) : minLengthMs(timeBase);
}

// "the 80 ns or 160 ns time base can count it", or that none can.
QString remedy(Kind kind, double ms)
{
    QStringList names;
    for (int timeBase = 0; timeBase < kTimeBases; ++timeBase)
        if (counts(kind, ms, timeBase))
            names.append(QLatin1String(kTimeBaseNames[timeBase]));
    if (names.isEmpty())
        return QStringLiteral("no time base can count it");
    QString list = names.takeLast();
    if (!names.isEmpty())
        list = names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + list;
    return QStringLiteral("the %1 time base can count it").arg(list);
}

struct Value
{
    const char *key;
    QString name;
    Kind kind;
    double ms;
};

QString describe(const Value &v, int timeBase)
{
    const QString base = QLatin1String(kTimeBaseNames[timeBase]);
    if (v.ms > maxMs(timeBase))
        return QStringLiteral("%1 %2 ms is more than the %3 time base counts (at most %4 ms); %5")
            .arg(v.name, number(v.ms), base, number(maxMs(timeBase)), remedy(v.kind, v.ms));
    return QStringLiteral("%1 %2 ms is neither 0 nor as long as the %3 time base counts (%4 ms "
                          "at least); %5")
        .arg(v.name, number(v.ms), base, number(leastMs(v.kind, timeBase)), remedy(v.kind, v.ms));
}

// One generator's values in the order the panel shows them: the period, then
// each channel's delay, width and end.
Problem generatorProblem(const GeneratorSettings &r, int generator, int timeBase)
{
    using FieldKind = RecordFields::Kind;
    if (timeBase < 0 || timeBase >= kTimeBases)
        return {};
    QList<Value> values;
    for (int i : RecordFields::inOrder({{FieldKind::Period, FieldKind::Start, FieldKind::End}})) {
        const RecordFields::Field &f = RecordFields::all()[i];
        if (f.generator != generator)
            continue;
        const double ms = RecordFields::value(r, i);
        const QString channel = QStringLiteral("Ch%1").arg(f.channel);
        if (f.kind == FieldKind::Period)
            values.append(
                {f.name, QStringLiteral("Generator #%1 period").arg(generator), Kind::Period, ms});
        else if (f.kind == FieldKind::Start)
            values.append({f.name, channel + QStringLiteral(" delay"), Kind::Delay, ms});
        else
            values << Value{f.name, channel + QStringLiteral(" width"), Kind::Width,
                            RecordFields::shown(r, i)}
                   << Value{f.name, channel + QStringLiteral(" delay plus width"), Kind::Delay, ms};
    }
    for (const Value &v : std::as_const(values))
        if (!counts(v.kind, v.ms, timeBase))
            return {QLatin1String(v.key), describe(v, timeBase)};
    return {};
}
} // namespace

double tickMs(int timeBase) { return std::ldexp(kBaseTickMs, timeBase); }

double minLengthMs(int timeBase) { return 2 * tickMs(timeBase); }

double maxMs(int timeBase) { return std::ldexp(kBaseMaxMs, timeBase); }

bool counts(Kind kind, double ms, int timeBase)
{
    if (std::fabs(ms) < kRoundingMs)
        return true;
    return ms >= leastMs(kind, timeBase) * (1 - kRelativeSlack) &&
           ms <= maxMs(timeBase) * (1 + kRelativeSlack); // false for NaN
}

Problem firstProblem(const GeneratorSettings &r)
{
    const Problem first = generatorProblem(r, 1, r.freq1);
    if (!first.key.isEmpty())
        return first;
    return generatorProblem(r, 2, r.freq2);
}

} // namespace CounterRange
