#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QLockFile;
class QSettings;

// The profile values in the per-user store, one value per profile name.
//
// Several programs share the store (panels, dxu-cli): every save and delete
// holds the store's lock across reading, checking and writing, writes the
// store whole from what it read under that lock, and reads the store back
// afterwards to see its change kept. A store file that cannot be parsed
// whole is never rewritten: what the parser would drop (a stray line, or a
// quote left open that swallows the rest) would be lost.
namespace ProfileStore {

enum class Status {
    Ok,
    Unreadable, // the store cannot be read at all
    Malformed,  // a line the parser would drop, or a quote left open
    Full,       // the limit of profiles is reached
    Busy,       // another program held the lock too long
    Unwritable, // the store cannot be written
    NotKept,    // written, but the store does not hold the change
};

// What the store holds, read from the backing store itself and not from a
// cache of this process. For a status other than Ok (and Full), `problem`
// says in one clause what is wrong, naming the store's file.
struct Contents
{
    Status status = Status::Ok;
    QString problem;
    QStringList names; // in the store's order
    QHash<QString, QString> values;
};

struct Outcome
{
    Status status = Status::Ok;
    QString problem;
};

Contents load();

// Writes `value` under `name`. Refused with Full when the store holds
// `limit` or more profiles, unless `name` is one of them and
// `overwriteAtLimit` is set.
Outcome save(const QString &name, const QString &value, int limit, bool overwriteAtLimit);
Outcome remove(const QString &name);

// Takes the lock within `waitMs`, trying every 10 ms: QLockFile's own wait
// doubles its pause up to seconds, so that one of several programs in line
// would wait far longer than the others hold the lock.
bool takeLock(QLockFile &lock, int waitMs);

// The stored value, or the default profile value when none is stored.
QString read(QSettings &store, const QString &name);

// Writes through to the backing store; false when it could not be written.
// Holds no lock: for a store nobody else uses (tests).
bool write(QSettings &store, const QString &name, const QString &value);

} // namespace ProfileStore
