#pragma once

#include "device/generator_settings.h"
#include "persistence/profile_value.h"

// A profile holds each channel as a delay and a width; the record holds its
// start and end.

// The record a profile programs: each channel ends at its delay plus its
// width, summed in double precision.
GeneratorSettings recordFromProfile(const ProfileValue &profile);

// The profile of a record: each channel's width is its end minus its start.
ProfileValue profileFromRecord(const GeneratorSettings &record);

// Record field `index` (RecordFields) as the profile holds it, at the
// field's profile place: an End as its channel's width.
double profileNumber(const ProfileValue &profile, int index);
void setProfileNumber(ProfileValue &profile, int index, double value);
