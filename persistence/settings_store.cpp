#include "persistence/settings_store.h"

#include <QSettings>

namespace SettingsStore {

#ifdef Q_OS_WIN
QSettings *openMainSettings()
{
    return new QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvorn\\DXUControl"),
                         QSettings::NativeFormat);
}

QSettings *openProfileSettings()
{
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
