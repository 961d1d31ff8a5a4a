#include "persistence/profile_store.h"

#include "persistence/profile_value.h"
#include "persistence/settings_store.h"

#include <QSettings>

namespace ProfileStore {

QString read(QSettings &store, const QString &name)
{
    return store.value(name, QLatin1String(ProfileFormat::DefaultValue)).toString();
}

bool write(QSettings &store, const QString &name, const QString &value)
{
    store.setValue(name, value);
    store.sync();
    return store.status() == QSettings::NoError;
}

bool remove(QSettings &store, const QString &name)
{
    store.remove(name);
    store.sync();
    return store.status() == QSettings::NoError;
}

bool isAvailable(const QSettings &store) { return store.status() == QSettings::NoError; }

void refresh(QSettings *&store)
{
    if (isAvailable(*store))
        return;
    delete store;
    store = SettingsStore::openProfileSettings();
}

} // namespace ProfileStore
