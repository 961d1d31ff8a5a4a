#pragma once

#include "device/instrument_link.h"

#include <QString>
#include <QStringList>

#include <functional>

// What dxu-cli and dxu-scpi both do with the instrument's settings: the read
// and its plausibility checks, the read-modify-write of a setting, a run on
// the settings the instrument holds, and the profiles. Each returns Refused
// when the values given cannot be sent (nothing is), Failed when the
// instrument failed or holds what cannot be sent back.
namespace LinkActions {

enum class Status { Ok, Refused, Failed };

struct Result
{
    Status status = Status::Ok;
    QString problem;
    QStringList notes; // what the Ethernet query changes of what is sent
    bool ok() const { return status == Status::Ok; }
};

// The first value the panel's boxes would not hold, or its time base cannot
// count ("p1: Generator #1 period 5000 ms is more than …"); empty when none.
QString sendProblem(const GeneratorSettings &record);

// A read whose combos hold no entry, or whose threshold no level the
// instrument takes, is not the instrument's settings.
Result readState(InstrumentLink &link, InstrumentState &state);

// KEY=VALUE assignments (see assignments.h), made from the settings as read.
using Assignments = std::function<QStringList(const GeneratorSettings &asRead)>;

// Reads the settings, changes what the assignments name and sends them all
// back; no generator starts. Over Ethernet the ends the assignments do not
// name go back as the instrument holds them (keepUnnamedEnds).
Result setValues(InstrumentLink &link, bool ethernet, const Assignments &assignments);

// Runs generators on the settings the instrument holds; over Ethernet these
// go with the run, as read.
Result runHeld(InstrumentLink &link, bool ethernet, bool gen1, bool gen2);

// The profile store's entry, checked, sent with both generators stopped.
Result loadProfile(InstrumentLink &link, const QString &name);
// The settings as read saved under `name` (the panel's limit of ten).
Result saveProfile(InstrumentLink &link, const QString &name);

} // namespace LinkActions
