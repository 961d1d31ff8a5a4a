#pragma once

#include "device/generator_settings.h"

#include <QString>

// The tails that follow the sixteen values of the settings query.
enum class QueryTail {
    RunGen1,  // "&sg1_run=1&save=1"
    RunGen2,  // "&sg2_run=1&save=1"
    RunBoth,  // "&sg1_run=1&sg2_run=1&save=1"
    SaveOnly, // "&save=1"
};

// "/sg_hr_run.shtml?ts1=…&freq2=…" followed by the tail: the one form in which
// settings travel to the instrument's web server.
QString settingsQuery(const GeneratorSettings &record, QueryTail tail);

// The instrument's other pages.
namespace DevicePaths {
inline const char *const ResetBoth = "/sg_run.shtml?reset1=1&reset2=1";
inline const char *const ResetGen1 = "/sg_run.shtml?reset1=1";
inline const char *const ResetGen2 = "/sg_run.shtml?reset2=1";
inline const char *const SetupProbe = "/sg_hr_setup2.shtml";
inline const char *const Setup = "/sg_hr_setup.shtml";
inline const char *const Network = "/network.shtml";
} // namespace DevicePaths

// "/tt.shtml?volt=%1" with the level in the general format.
QString thresholdPath(double volts);
