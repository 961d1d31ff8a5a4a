#include "persistence/settings_store.h"

#include <QSettings>

namespace SettingsStore {

namespace {
// A file named by DXU_SETTINGS_FILE takes the place of the per-user store on
// every platform: the tests (and the programs they start) keep their settings
// there, so that none of them touches a user's registry or profiles.
QSettings *openRedirected(bool profiles)
{
    const QString file = qEnvironmentVariable("DXU_SETTINGS_FILE");
    if (file.isEmpty())
        return nullptr;
    auto *store = new QSettings(file, QSettings::IniFormat);
    if (profiles)
        store->beginGroup(QLatin1String(ProfilesGroup));
    return store;
}
} // namespace

bool inRegistry()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariableIsEmpty("DXU_SETTINGS_FILE");
#else
    return false;
#endif
}

#ifdef Q_OS_WIN
QSettings *openMainSettings()
{
    if (QSettings *file = openRedirected(false))
        return file;
    return new QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvorn\\DXUControl"),
                         QSettings::NativeFormat);
}

QSettings *openProfileSettings()
{
    if (QSettings *file = openRedirected(true))
        return file;
    return new QSettings(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvorn\\DXUControl\\Profiles"),
        QSettings::NativeFormat);
}
#else
// Outside Windows a registry path would become a file name in the working
// directory; the per-user native store of the same organisation and
// application is used instead, with the profiles as one group.
QSettings *openMainSettings()
{
    if (QSettings *file = openRedirected(false))
        return file;
    return new QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvorn"),
                         QStringLiteral("DXUControl"));
}

QSettings *openProfileSettings()
{
    QSettings *store = openMainSettings();
    store->beginGroup(QLatin1String(ProfilesGroup));
    return store;
}
#endif

} // namespace SettingsStore
