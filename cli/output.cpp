#include "cli/output.h"

#include "device/entry_texts.h"
#include "device/record_fields.h"
#include "device/record_ranges.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {
QString number(double value) { return QString::number(value, 'f', QLocale::FloatingPointShortest); }

QString line(const QString &key, const QString &value)
{
    return key + QLatin1Char('=') + value + QLatin1Char('\n');
}

QJsonObject statusObject(const InstrumentState &state)
{
    QJsonObject object;
    for (int i = 0; i < RecordFields::Count; ++i)
        object.insert(QLatin1String(RecordFields::all()[i].name),
                      RecordFields::value(state.record, i));
    object.insert(QStringLiteral("model"), state.isDxu3 ? "DXU3" : "DXU2");
    if (state.thresholdVolts)
        object.insert(QStringLiteral("threshold"), *state.thresholdVolts);
    return object;
}

QList<std::pair<QString, QString>> networkValues(const NetworkFields &fields,
                                                 const QString &serialNumber)
{
    QList<std::pair<QString, QString>> values;
    if (!serialNumber.isEmpty())
        values.append({QStringLiteral("serial"), serialNumber});
    values.append({{QStringLiteral("mac"), fields.mac},
                   {QStringLiteral("ip"), fields.ip},
                   {QStringLiteral("mask"), fields.mask},
                   {QStringLiteral("gateway"), fields.gateway}});
    return values;
}

double shownInBox(double ms)
{
    return QString::number(ms, 'f', RecordRanges::TimeDecimals).toDouble();
}
} // namespace

QString statusText(const InstrumentState &state)
{
    QString text;
    for (int i = 0; i < RecordFields::Count; ++i)
        text += line(QLatin1String(RecordFields::all()[i].name),
                     number(RecordFields::value(state.record, i)));
    text += line(QStringLiteral("model"), state.isDxu3 ? "DXU3" : "DXU2");
    if (state.thresholdVolts)
        text += line(QStringLiteral("threshold"), number(*state.thresholdVolts));
    return text;
}

QByteArray statusJson(const InstrumentState &state)
{
    return QJsonDocument(statusObject(state)).toJson(QJsonDocument::Compact) + '\n';
}

QString networkText(const NetworkFields &fields, const QString &serialNumber)
{
    QString text;
    for (const auto &[key, value] : networkValues(fields, serialNumber))
        text += line(key, value);
    return text + line(QStringLiteral("dhcp"), fields.dhcp ? "on" : "off");
}

QByteArray networkJson(const NetworkFields &fields, const QString &serialNumber)
{
    QJsonObject object;
    for (const auto &[key, value] : networkValues(fields, serialNumber))
        object.insert(key, value);
    object.insert(QStringLiteral("dhcp"), fields.dhcp);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

ExportedSettings exportedSettings(const GeneratorSettings &r)
{
    ExportedSettings settings;
    for (int i = 0; i < RecordFields::Count; ++i) {
        const RecordFields::Field &f = RecordFields::all()[i];
        const double value = RecordFields::value(r, i); // exact for the whole numbers
        if (f.kind == RecordFields::Kind::TimeBase)
            setExportedEntry(settings, i, timeBaseEntryText(static_cast<int>(value)));
        else if (RecordFields::isChoice(f.kind))
            setExportedEntry(settings, i, sourceEntryText(f.generator, static_cast<int>(value)));
        else if (f.kind == RecordFields::Kind::Pulses)
            setExportedNumber(settings, i, value);
        else
            setExportedNumber(settings, i, shownInBox(RecordFields::shown(r, i)));
    }
    return settings;
}
