#include "device/settings_query.h"

#include "device/number_format.h"
#include "device/record_fields.h"

#include <QStringList>

namespace {
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
    QStringList pairs(RecordFields::Count);
    for (int i = 0; i < RecordFields::Count; ++i) {
        const RecordFields::Field &field = RecordFields::all()[i];
        const double value = RecordFields::value(r, i);
        pairs[field.queryPlace] =
            QLatin1String(field.name) + QLatin1Char('=') +
            (RecordFields::isWholeNumber(field.kind) ? QString::number(static_cast<qint64>(value))
                                                     : formatGeneral(value));
    }
    return QStringLiteral("/sg_hr_run.shtml?") + pairs.join(QLatin1Char('&')) +
           QLatin1String(tailText(tail));
}

QString thresholdPath(double volts)
{
    return QStringLiteral("/tt.shtml?volt=%1").arg(formatGeneral(volts));
}
