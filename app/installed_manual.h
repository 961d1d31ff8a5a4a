#pragma once

#include <QString>

// Where the panel's HTML manual is installed: share/dxu-panel/manual beside
// the program's bin directory (the build tree has the same layout), else in
// the system's data directories. Empty when it is nowhere.
QString installedManual(const QString &programDir);
