#include "persistence/profile_store.h"

#include "persistence/profile_value.h"
#include "persistence/settings_store.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <optional>
#include <utility>

namespace ProfileStore {

namespace {
// Longer than any save takes; a lock left by a program that died is taken
// over at once (its process is gone).
const int kLockWaitMs = 10000;

Outcome outcome(Status status, const QString &problem) { return {status, problem}; }

// The registry writes each value by itself and has no file to parse; the
// lock only keeps the check of the limit and the write together.
namespace Registry {
QString location() { return QStringLiteral("(registry)"); }

QString lockPath(const QString &)
{
    return QDir::temp().filePath(QStringLiteral("DXUControl-profiles.lock"));
}

Contents loadStore(const QString &)
{
    Contents contents;
    const std::unique_ptr<QSettings> store(SettingsStore::openProfileSettings());
    contents.names = store->childKeys();
    for (const QString &name : std::as_const(contents.names))
        contents.values.insert(name, store->value(name).toString());
    if (store->status() != QSettings::NoError) {
        contents.status = Status::Unreadable;
        contents.problem = QStringLiteral("the profile store in the registry cannot be read");
    }
    return contents;
}

Status applyChange(const QString &, const QString &name, const std::optional<QString> &value,
                   QString &problem)
{
    const std::unique_ptr<QSettings> store(SettingsStore::openProfileSettings());
    if (value)
        store->setValue(name, *value);
    else
        store->remove(name);
    store->sync();
    if (store->status() == QSettings::NoError)
        return Status::Ok;
    problem = QStringLiteral("the profile store in the registry cannot be written");
    return Status::Unwritable;
}
} // namespace Registry

// The per-user settings file; the profiles are its group "Profiles".
namespace File {
QString location()
{
    return std::unique_ptr<QSettings>(SettingsStore::openMainSettings())->fileName();
}

// The lock the settings object itself takes while it writes the file, so
// that a panel storing its last address waits for a save too.
// The folder is made first: the lock file needs it.
QString lockPath(const QString &file)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    return file + QLatin1String(".lock");
}

// The first line (counted from 1) that the settings parser would drop or
// misread, 0 when there is none. Lines are read as the parser reads them: a
// backslash escapes the next character (a line end too), and a double quote
// opens a text that runs to the next one, across line ends.
int firstMalformedLine(const QByteArray &text)
{
    int line = 1;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const int first = line;
        QByteArray logical;
        bool quoted = false;
        for (; pos < text.size(); ++pos) {
            char c = text.at(pos);
            if (c == '\\' && pos + 1 < text.size()) {
                logical += c;
                c = text.at(++pos);
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == '\n' && !quoted) {
                ++line;
                ++pos;
                break;
            }
            if (c == '\n')
                ++line;
            logical += c;
        }
        if (quoted)
            return first;
        const QByteArray trimmed = logical.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#'))
            continue;
        if (trimmed.startsWith('[') ? !trimmed.endsWith(']') : trimmed.indexOf('=') <= 0)
            return first;
    }
    return 0;
}

// The store's text and, once it was found whole, the settings parser run on
// a private copy of it: no settings object of this process has seen that
// copy, so nothing cached can answer in place of the file.
struct Snapshot
{
    Status status = Status::Ok;
    QString problem;
    QTemporaryDir dir;
    std::unique_ptr<QSettings> copy;
};

void readSnapshot(const QString &file, Snapshot &snapshot)
{
    const auto fail = [&](Status status, const QString &problem) {
        snapshot.status = status;
        snapshot.problem = QStringLiteral("the profile store %1 %2").arg(file, problem);
    };
    QByteArray text;
    const QFileInfo info(file);
    if (info.exists() || info.isSymbolicLink()) {
        QFile in(file);
        if (info.isDir())
            return fail(Status::Unreadable, QStringLiteral("cannot be read (it is a folder)"));
        if (!in.open(QIODevice::ReadOnly))
            return fail(Status::Unreadable,
                        QStringLiteral("cannot be read (%1)").arg(in.errorString()));
        text = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return fail(Status::Unreadable,
                        QStringLiteral("cannot be read (%1)").arg(in.errorString()));
    }
    if (const int line = firstMalformedLine(text))
        return fail(
            Status::Malformed,
            QStringLiteral("cannot be parsed whole (line %1); it is left as it is").arg(line));
    const QString copyName = snapshot.dir.filePath(QStringLiteral("store.conf"));
    QFile copy(copyName);
    if (!snapshot.dir.isValid() || !copy.open(QIODevice::WriteOnly) ||
        copy.write(text) != text.size() || !copy.flush())
        return fail(Status::Unreadable, QStringLiteral("cannot be copied to be read"));
    copy.close();
    snapshot.copy = std::make_unique<QSettings>(copyName, QSettings::IniFormat);
    if (snapshot.copy->status() != QSettings::NoError)
        return fail(Status::Malformed,
                    QStringLiteral("cannot be parsed whole; it is left as it is"));
    snapshot.copy->beginGroup(QLatin1String(SettingsStore::ProfilesGroup));
}

Contents loadStore(const QString &file)
{
    Snapshot snapshot;
    readSnapshot(file, snapshot);
    Contents contents;
    contents.status = snapshot.status;
    contents.problem = snapshot.problem;
    if (snapshot.status != Status::Ok)
        return contents;
    contents.names = snapshot.copy->childKeys();
    for (const QString &name : std::as_const(contents.names))
        contents.values.insert(name, snapshot.copy->value(name).toString());
    return contents;
}

// Other settings objects compare the file's time and size with what they
// read last; two writes within the clock's resolution, of the same size,
// would look like none. Each write therefore moves the time on.
void advanceModificationTime(const QString &file, const QDateTime &before)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QFile written(file);
    if (written.open(QIODevice::Append))
        written.setFileTime(before.isValid() && before >= now ? before.addMSecs(1) : now,
                            QFileDevice::FileModificationTime);
}

// The whole store is written anew from the copy read under the lock, so
// that nothing written before is lost, whatever this process read earlier.
Status applyChange(const QString &file, const QString &name, const std::optional<QString> &value,
                   QString &problem)
{
    Snapshot snapshot;
    readSnapshot(file, snapshot);
    if (snapshot.status != Status::Ok) {
        problem = snapshot.problem;
        return snapshot.status;
    }
    if (value)
        snapshot.copy->setValue(name, *value);
    else
        snapshot.copy->remove(name);
    snapshot.copy->sync();
    // An empty store may leave no copy at all.
    QFile copy(snapshot.copy->fileName());
    const bool copied = !copy.exists() || copy.open(QIODevice::ReadOnly);
    const QByteArray text = copy.isOpen() ? copy.readAll() : QByteArray();
    const QDateTime before = QFileInfo(file).lastModified().toUTC();
    QSaveFile out(file);
    if (snapshot.copy->status() == QSettings::NoError && copied &&
        out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && out.write(text) == text.size() &&
        out.commit()) {
        advanceModificationTime(file, before);
        return Status::Ok;
    }
    out.cancelWriting();
    problem =
        QStringLiteral("the profile store %1 cannot be written (%2)").arg(file, out.errorString());
    return Status::Unwritable;
}
} // namespace File

// The store's four steps, on the registry or on the settings file.
struct Backend
{
    QString (*location)();
    QString (*lockPath)(const QString &);
    Contents (*loadStore)(const QString &);
    Status (*applyChange)(const QString &, const QString &, const std::optional<QString> &,
                          QString &);
};

const Backend &backend()
{
    static const Backend registry{Registry::location, Registry::lockPath, Registry::loadStore,
                                  Registry::applyChange};
    static const Backend file{File::location, File::lockPath, File::loadStore, File::applyChange};
    return SettingsStore::inRegistry() ? registry : file;
}

Outcome change(const QString &name, const std::optional<QString> &value, int limit,
               bool overwriteAtLimit)
{
    // Found before the lock is taken: opening the store's settings object
    // may write what another object of this process left pending, which
    // takes the same lock.
    const Backend &store = backend();
    const QString file = store.location();
    QLockFile lock(store.lockPath(file));
    if (!takeLock(lock, kLockWaitMs))
        return outcome(
            Status::Busy,
            QStringLiteral("the profile store %1 is locked by another program").arg(file));
    const Contents before = store.loadStore(file);
    if (before.status != Status::Ok)
        return outcome(before.status, before.problem);
    if (value && before.names.size() >= limit && !(overwriteAtLimit && before.names.contains(name)))
        return outcome(Status::Full, QString());
    QString problem;
    if (const Status status = store.applyChange(file, name, value, problem); status != Status::Ok)
        return outcome(status, problem);
    // Read back: the change is there, and every other profile still is.
    const Contents after = store.loadStore(file);
    bool kept = after.status == Status::Ok &&
                (value ? after.values.value(name, QString()) == *value && after.names.contains(name)
                       : !after.names.contains(name));
    for (const QString &other : before.names)
        kept = kept && (other == name || after.names.contains(other));
    return kept ? Outcome()
                : outcome(Status::NotKept,
                          QStringLiteral("the profile store %1 did not keep the change").arg(file));
}
} // namespace

bool takeLock(QLockFile &lock, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || waited.hasExpired(waitMs))
            return false;
        QThread::msleep(10);
    }
    return true;
}

Contents load() { return backend().loadStore(backend().location()); }

Outcome save(const QString &name, const QString &value, int limit, bool overwriteAtLimit)
{
    return change(name, value, limit, overwriteAtLimit);
}

Outcome remove(const QString &name) { return change(name, std::nullopt, 0, false); }

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

} // namespace ProfileStore
