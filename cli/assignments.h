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

// Over Ethernet the setup page shows each channel's start and its width, six
// significant digits each, and the read makes the end their sum, which the
// query may round to a neighbour of what the instrument holds. Each end the
// assignments do not name becomes the number of six digits nearest that sum
// whose width the page would show the same; where the page fits several,
// the nearest is taken and a note says so.
QStringList keepUnnamedEnds(const QStringList &assignments, GeneratorSettings &record);

// A note for each time value the assignments name that the Ethernet query,
// with its six significant digits, cannot carry exactly.
QStringList queryRoundings(const QStringList &assignments, const GeneratorSettings &record);

// mac=, ip=, mask=, gateway= (texts, checked later as a whole) and
// dhcp=on|off.
bool applyNetworkAssignments(const QStringList &assignments, NetworkFields &fields,
                             QString &problem);
