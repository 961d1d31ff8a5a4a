#include "cli/assignments.h"

#include "device/number_format.h"
#include "device/record_fields.h"
#include "device/record_ranges.h"

#include <QSet>

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

// The fields the assignments name, by index; names that are no field are left out.
QSet<int> namedFields(const QStringList &assignments)
{
    QSet<int> named;
    for (const QString &assignment : assignments)
        named.insert(RecordFields::indexOf(assignment.section(QLatin1Char('='), 0, 0)));
    return named;
}

// The numbers of six significant digits around `value`, nearest first.
QList<double> sixDigitNeighbours(double value)
{
    const double nearest = formatGeneral(value).toDouble();
    if (nearest == 0)
        return {nearest};
    const double step = std::pow(10.0, std::floor(std::log10(std::fabs(nearest))) - 5);
    QList<double> numbers;
    for (const int k : {0, -1, 1, -2, 2}) {
        const double number = formatGeneral(nearest + k * step).toDouble();
        if (!numbers.contains(number))
            numbers << number;
    }
    return numbers;
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

QStringList keepUnnamedEnds(const QStringList &assignments, GeneratorSettings &record)
{
    QStringList notes;
    const QSet<int> named = namedFields(assignments);
    for (int i = 1; i < RecordFields::Count; ++i) {
        if (RecordFields::all()[i].kind != RecordFields::Kind::End || named.contains(i))
            continue;
        const double start = RecordFields::value(record, i - 1);
        const QString width = formatGeneral(RecordFields::value(record, i) - start);
        QList<double> fits;
        QStringList fitTexts;
        for (const double end : sixDigitNeighbours(RecordFields::value(record, i))) {
            if (formatGeneral(end - start) != width)
                continue;
            fits << end;
            fitTexts << formatGeneral(end);
        }
        if (fits.isEmpty())
            continue;
        RecordFields::setValue(record, i, fits.first());
        if (fits.size() > 1)
            notes << QStringLiteral("%1: the page's width %2 after the start %3 fits the ends %4; "
                                    "%5 is sent")
                         .arg(QLatin1String(RecordFields::all()[i].name), width,
                              formatGeneral(start), fitTexts.join(QLatin1String(", ")),
                              fitTexts.first());
    }
    return notes;
}

QStringList queryRoundings(const QStringList &assignments, const GeneratorSettings &record)
{
    QStringList notes;
    for (const QString &assignment : assignments) {
        const int index = RecordFields::indexOf(assignment.section(QLatin1Char('='), 0, 0));
        if (index < 0 || RecordFields::isWholeNumber(RecordFields::all()[index].kind))
            continue;
        const double value = RecordFields::value(record, index);
        const QString sent = formatGeneral(value);
        if (sent.toDouble() != value)
            notes << QStringLiteral("%1 is sent as %2 (the Ethernet query carries six "
                                    "significant digits)")
                         .arg(assignment, sent);
    }
    return notes;
}
