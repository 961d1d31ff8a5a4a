#pragma once

// Shared start-up of the Qt Test programs: the offscreen platform, and a
// settings store of their own so that no test touches a user's profiles.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

namespace TestSupport {

// A fresh, empty per-user configuration directory for this test program.
// Windows keeps the store in the registry, which ignores both variables: there
// the store is a file in that directory (DXU_SETTINGS_FILE, which the
// programs a test starts inherit as well).
inline void isolateSettings()
{
    static QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    qputenv("HOME", configHome.path().toLocal8Bit());
#ifdef Q_OS_WIN
    qputenv("DXU_SETTINGS_FILE", (configHome.path() + "/DXUControl.ini").toLocal8Bit());
#endif
    QStandardPaths::setTestModeEnabled(true);
}

// What the system says when path cannot be opened for writing ("No such file
// or directory" here, "Path not found" on Windows).
inline QString writeFailure(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) ? QString() : file.errorString();
}

} // namespace TestSupport

#define DXU_TEST_MAIN(TestObject)                                                                  \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        TestSupport::isolateSettings();                                                            \
        Q_INIT_RESOURCE(dxu);                                                                      \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
