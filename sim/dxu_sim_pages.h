#pragma once

#include "sim/dxu_sim_state.h"

#include <QByteArray>
#include <QString>

// The instrument's pages, written from its state.

// Reals as the instrument writes them: C's "%g" (2e-05, 0.2, 1234.57).
QString simNumber(double value);

// "/sg_hr_setup.shtml": the settings of both generators ("Human Readable
// setup"). Model 3 pages carry the marker <p class="s0">v.3 and the trigger
// threshold. The channel fields show pulse widths (end - start).
QByteArray setupPage(const DxuSimState &state, int model);

// "/network.shtml": MAC in lower-case hex, IP, mask, gateway, and the DHCP
// check box ("CHECKED" right after its value when on).
QByteArray networkPage(const DxuSimNetwork &network);

QByteArray notFoundPage(const QString &path);
