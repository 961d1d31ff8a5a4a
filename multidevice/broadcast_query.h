#pragma once

#include "device/generator_settings.h"
#include "persistence/profile_value.h"

#include <QString>

// The slave dialog's panels hold what a profile holds: start-source codes,
// periods, pulse counts, a delay and a width per channel, and the time bases,
// all in milliseconds.

// What every selected instrument is sent: the settings query with the panel
// values and no run flag, ending "&save=1".
QString broadcastQuery(const ProfileValue &panels);
