#pragma once

#include <QString>

class QSettings;

// The profile values in the per-user store, one value per profile name. Every
// change is flushed at once and checked, so that a profile is never lost
// without the operator being told.
namespace ProfileStore {

// The stored value, or the default profile value when none is stored.
QString read(QSettings &store, const QString &name);

// Both write through to the backing store; false when it could not be written.
bool write(QSettings &store, const QString &name, const QString &value);
bool remove(QSettings &store, const QString &name);

// Whether the store could be read and written so far.
bool isAvailable(const QSettings &store);

// QSettings keeps the first error it met for its whole life. A store that
// met one is opened anew, so that the next check is about the store as it
// is now; call it before each use.
void refresh(QSettings *&store);

} // namespace ProfileStore
