#include "app/installed_manual.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString installedManual(const QString &programDir)
{
    const QString page = QStringLiteral("dxu-panel/manual/index.html");
    const QString besideProgram = QDir(programDir).filePath(QStringLiteral("../share/") + page);
    if (QFileInfo::exists(besideProgram))
        return QDir::cleanPath(besideProgram);
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, page);
}
