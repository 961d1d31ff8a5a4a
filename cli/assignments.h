#pragma once

#include "device/generator_settings.h"
#include "network/network_fields.h"

#include <QString>
#include <QStringList>

// The KEY=VALUE arguments of "set" and "network --set".

// By the record's field names, times in milliseconds rounded to the time
// boxes' five decimals. False, with the reason, at the first that names no
// field, holds no number of its kind, or lies outside its box's range (an end
// is checked with the whole record: its box holds the width).
bool applySettingAssignments(const QStringList &assignments, GeneratorSettings &record,
                             QString &problem);

// mac=, ip=, mask=, gateway= (texts, checked later as a whole) and
// dhcp=on|off.
bool applyNetworkAssignments(const QStringList &assignments, NetworkFields &fields,
                             QString &problem);
