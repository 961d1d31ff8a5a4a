#pragma once

#include "device/instrument_link.h"
#include "persistence/export_text.h"

#include <QByteArray>
#include <QString>

// What dxu-cli prints: one KEY=VALUE line per value (the keys "set" and
// "network --set" take), or with --json one JSON object on one line. Times
// in milliseconds, written as the shortest text that reads back exactly.

// The sixteen settings in record order, then model=DXU2|DXU3 and, where the
// link tells it, threshold= in volts.
QString statusText(const InstrumentState &state);
QByteArray statusJson(const InstrumentState &state);

// serial= (over USB), mac=, ip=, mask=, gateway=, dhcp=on|off.
QString networkText(const NetworkFields &fields, const QString &serialNumber);
QByteArray networkJson(const NetworkFields &fields, const QString &serialNumber);

// The settings as the panel's export shows them in its millisecond display:
// the combo entries' texts, widths (end minus start), times rounded to the
// boxes' five decimals.
ExportedSettings exportedSettings(const GeneratorSettings &record);
