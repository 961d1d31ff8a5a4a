#include "persistence/settings_store.h"

#include <QSettings>

namespace SettingsStore {

namespace {

// A file named by DXU_SETTINGS_FILE takes the place of the per-user store on
// every platform: the tests (and the programs they start) keep their settings
// there, so that none of them touches a user's registry or profiles.
QString redirectedFile() { return qEnvironmentVariable("DXU_SETTINGS_FILE"); }

QSettings *openFile(const QString &file, bool profiles)
{
    auto *store = new QSettings(file, QSettings::IniFormat);
    if (profiles)
        store->beginGroup(QLatin1String(ProfilesGroup));
    return store;
}

#ifdef Q_OS_WIN
QSettings *openNative(bool profiles)
{
    return new QSettings(
        profiles ? QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvorn\\DXUControl\\Profiles")
                 : QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvorn\\DXUControl"),
        QSettings::NativeFormat);
}
#else
// Outside Windows a registry path would become a file name in the working
// directory; the per-user native store of the same organisation and
// application is used instead, with the profiles as one group.
QSettings *openNative(bool profiles)
{
    auto *store = new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                QStringLiteral("Halvorn"), QStringLiteral("DXUControl"));
    if (profiles)
        store->beginGroup(QLatin1String(ProfilesGroup));
    return store;
}
#endif

QSettings *open(bool profiles)
{
    const QString file = redirectedFile();
    return file.isEmpty() ? openNative(profiles) : openFile(file, profiles);
}

} // namespace

QSettings *openMainSettings() { return open(false); }

QSettings *openProfileSettings() { return open(true); }

} // namespace SettingsStore
