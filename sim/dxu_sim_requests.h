#pragma once

#include "sim/dxu_sim_state.h"

#include <QByteArray>
#include <QString>

// What the instrument does with one GET: the state changes it makes and the
// page it answers with.
struct DxuSimAnswer
{
    int status = 200;
    QByteArray body;
    QString summary; // what was done, for the request log ("settings applied, …")
};

// Handles the request target (path and query, as on the request line):
// "/sg_hr_setup.shtml", "/sg_hr_setup2.shtml", "/sg_hr_run.shtml?…",
// "/sg_run.shtml?reset1=1…", "/tt.shtml?volt=…" (model 3 only) and
// "/network.shtml" with or without its write query. Anything else is a 404.
DxuSimAnswer answerRequest(DxuSimState &state, int model, const QString &target);
