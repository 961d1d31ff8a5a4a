#include "cli/assignments.h"

#include "device/record_fields.h"
#include "device/record_ranges.h"

#include <cmath>

namespace {
// Hands each KEY=VALUE to `apply`, which returns what is wrong with it.
template <typename Apply>
bool applyEach(const QStringList &assignments, QString &problem, Apply apply)
{
    for (const QString &assignment : assignments) {
        const qsizetype eq = assignment.indexOf(QLatin1Char('='));
        problem = eq <= 0 ? QStringLiteral("\"%1\" is no KEY=VALUE").arg(assignment)
                          : apply(assignment.left(eq), assignment.mid(eq + 1));
        if (!problem.isEmpty())
            return false;
    }
    return true;
}

// The time boxes round what is typed to their decimals.
double roundedToTimeBox(double ms)
{
    const double scale = std::pow(10.0, RecordRanges::TimeDecimals);
    return std::round(ms * scale) / scale;
}

QString settingNames()
{
    QStringList names;
    for (const RecordFields::Field &field : RecordFields::all())
        names << QLatin1String(field.name);
    return names.join(QLatin1String(", "));
}
} // namespace

bool applySettingAssignments(const QStringList &assignments, GeneratorSettings &record,
                             QString &problem)
{
    return applyEach(assignments, problem, [&record](const QString &key, const QString &text) {
        const int index = RecordFields::indexOf(key);
        if (index < 0)
            return QStringLiteral("\"%1\" is no setting (one of %2)").arg(key, settingNames());
        const RecordFields::Kind kind = RecordFields::all()[index].kind;
        const bool whole = RecordFields::isWholeNumber(kind);
        bool ok = false;
        double value = whole ? text.toInt(&ok, 10) : text.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return QStringLiteral("%1=%2 is not a %3")
                .arg(key, text, whole ? QStringLiteral("whole number") : QStringLiteral("number"));
        if (!whole)
            value = roundedToTimeBox(value);
        // An end's range depends on its start: the whole record checks it.
        if (kind != RecordFields::Kind::End && !RecordRanges::allows(kind, value))
            return QStringLiteral("%1=%2 is out of range (%3)")
                .arg(key, text, RecordRanges::rangeText(kind));
        RecordFields::setValue(record, index, value);
        return QString();
    });
}

bool applyNetworkAssignments(const QStringList &assignments, NetworkFields &fields,
                             QString &problem)
{
    return applyEach(assignments, problem, [&fields](const QString &key, const QString &value) {
        QString *const texts[] = {&fields.mac, &fields.ip, &fields.mask, &fields.gateway};
        const int index = QStringList{"mac", "ip", "mask", "gateway"}.indexOf(key);
        if (index >= 0)
            *texts[index] = value;
        else if (key == QLatin1String("dhcp") &&
                 (value == QLatin1String("on") || value == QLatin1String("off")))
            fields.dhcp = value == QLatin1String("on");
        else
            return QStringLiteral("\"%1=%2\" is none of mac=, ip=, mask=, gateway=, dhcp=on|off")
                .arg(key, value);
        return QString();
    });
}
