#include "device/settings_query.h"

#include "device/number_format.h"

namespace {
const char *const kQueryTemplate =
    "/sg_hr_run.shtml?ts1=%1&ts2=%2&p1=%3&p2=%4&pn1=%5&pn2=%6&ch1_st1=%7&ch1_st2=%8"
    "&ch1_et1=%9&ch1_et2=%10&ch2_st1=%11&ch2_st2=%12&ch2_et1=%13&ch2_et2=%14"
    "&freq1=%15&freq2=%16";

const char *tailText(QueryTail tail)
{
    switch (tail) {
    case QueryTail::RunGen1:
        return "&sg1_run=1&save=1";
    case QueryTail::RunGen2:
        return "&sg2_run=1&save=1";
    case QueryTail::RunBoth:
        return "&sg1_run=1&sg2_run=1&save=1";
    case QueryTail::SaveOnly:
        break;
    }
    return "&save=1";
}
} // namespace

QString settingsQuery(const GeneratorSettings &r, QueryTail tail)
{
    // Filled one marker at a time, lowest first; the values are plain
    // numbers, so none of them can carry a marker of its own.
    QString query = QString::fromLatin1(kQueryTemplate);
    const QString values[16] = {
        QString::number(r.ts1),   QString::number(r.ts2),   formatGeneral(r.p1),
        formatGeneral(r.p2),      QString::number(r.pn1),   QString::number(r.pn2),
        formatGeneral(r.ch1_st1), formatGeneral(r.ch1_st2), formatGeneral(r.ch1_et1),
        formatGeneral(r.ch1_et2), formatGeneral(r.ch2_st1), formatGeneral(r.ch2_st2),
        formatGeneral(r.ch2_et1), formatGeneral(r.ch2_et2), QString::number(r.freq1),
        QString::number(r.freq2)};
    for (const QString &value : values)
        query = query.arg(value);
    return query + QLatin1String(tailText(tail));
}

QString thresholdPath(double volts)
{
    return QStringLiteral("/tt.shtml?volt=%1").arg(formatGeneral(volts));
}
