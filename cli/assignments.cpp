#include "cli/assignments.h"

#include "device/record_fields.h"
#include "device/record_ranges.h"

#include <cmath>

namespace {
bool split(const QString &assignment, QString &key, QString &value, QString &problem)
{
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    if (eq <= 0) {
        problem = QStringLiteral("\"%1\" is no KEY=VALUE").arg(assignment);
        return false;
    }
    key = assignment.left(eq);
    value = assignment.mid(eq + 1);
    return true;
}

// The time boxes round what is typed to their decimals.
double roundedToTimeBox(double ms)
{
    const double scale = std::pow(10.0, RecordRanges::TimeDecimals);
    return std::round(ms * scale) / scale;
}
} // namespace

bool applySettingAssignments(const QStringList &assignments, GeneratorSettings &record,
                             QString &problem)
{
    for (const QString &assignment : assignments) {
        QString key;
        QString text;
        if (!split(assignment, key, text, problem))
            return false;
        const int index = RecordFields::indexOf(key);
        if (index < 0) {
            problem = QStringLiteral("\"%1\" is no setting (one of ts1, ts2, p1, p2, pn1, pn2, "
                                     "ch1_st1, ch1_et1, ch2_st1, ch2_et1, ch1_st2, ch1_et2, "
                                     "ch2_st2, ch2_et2, freq1, freq2)")
                          .arg(key);
            return false;
        }
        const RecordFields::Kind kind = RecordFields::all()[index].kind;
        const bool whole = RecordFields::isWholeNumber(kind);
        bool ok = false;
        double value = whole ? text.toInt(&ok, 10) : text.toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            problem = QStringLiteral("%1=%2 is not a %3")
                          .arg(key, text,
                               whole ? QStringLiteral("whole number") : QStringLiteral("number"));
            return false;
        }
        if (!whole)
            value = roundedToTimeBox(value);
        // An end's range depends on its start: the whole record checks it.
        if (kind != RecordFields::Kind::End && !RecordRanges::allows(kind, value)) {
            problem = QStringLiteral("%1=%2 is out of range (%3)")
                          .arg(key, text, RecordRanges::rangeText(kind));
            return false;
        }
        RecordFields::setValue(record, index, value);
    }
    return true;
}

bool applyNetworkAssignments(const QStringList &assignments, NetworkFields &fields,
                             QString &problem)
{
    for (const QString &assignment : assignments) {
        QString key;
        QString value;
        if (!split(assignment, key, value, problem))
            return false;
        if (key == QLatin1String("mac")) {
            fields.mac = value;
        } else if (key == QLatin1String("ip")) {
            fields.ip = value;
        } else if (key == QLatin1String("mask")) {
            fields.mask = value;
        } else if (key == QLatin1String("gateway")) {
            fields.gateway = value;
        } else if (key == QLatin1String("dhcp") &&
                   (value == QLatin1String("on") || value == QLatin1String("off"))) {
            fields.dhcp = value == QLatin1String("on");
        } else {
            problem = QStringLiteral("\"%1\" is none of mac=, ip=, mask=, gateway=, dhcp=on|off")
                          .arg(assignment);
            return false;
        }
    }
    return true;
}
