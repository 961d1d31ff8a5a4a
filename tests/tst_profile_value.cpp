// The profile value (sixteen fields joined by "|"), the names a profile may
// have, and the store's checked writes, without the window.
#include "persistence/profile_names.h"
#include "persistence/profile_store.h"
#include "persistence/profile_value.h"
#include "persistence/settings_store.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace {
std::unique_ptr<QSettings> openStore()
{
    return std::unique_ptr<QSettings>(SettingsStore::openProfileSettings());
}

// What a later run of the program would find: the store's file as written
// to disk, read through a copy so that no cached content can answer.
std::unique_ptr<QSettings> readBackFromDisk(const QSettings &store, const QTemporaryDir &scratch)
{
    const QString copy = scratch.filePath(QStringLiteral("copy.conf"));
    QFile::remove(copy);
    if (!QFile::copy(store.fileName(), copy))
        return nullptr;
    auto diskStore = std::make_unique<QSettings>(copy, QSettings::IniFormat);
    diskStore->beginGroup(QLatin1String(SettingsStore::ProfilesGroup));
    return diskStore;
}
} // namespace

class ProfileValueTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        std::unique_ptr<QSettings> store(SettingsStore::openMainSettings());
        store->clear();
        store->sync();
    }

    void startValuesGiveTheDefaultValue()
    {
        QCOMPARE(formatProfileValue(ProfileValue()), QLatin1String(ProfileFormat::DefaultValue));
    }

    void fieldsStandInTheirPositions()
    {
        ProfileValue p;
        p.ts1 = 6;
        p.ts2 = 1;
        p.p1 = 1234.56789;
        p.p2 = 0.5;
        p.pn1 = 131072;
        p.pn2 = 7;
        p.delay[0] = 0.00002;
        p.width[0] = 1;
        p.delay[1] = 2;
        p.width[1] = 3;
        p.delay[2] = 4;
        p.width[2] = 5;
        p.delay[3] = 6;
        p.width[3] = 1e6;
        p.freq1 = 3;
        p.freq2 = 2;
        QCOMPARE(formatProfileValue(p),
                 QStringLiteral("6|1|1234.57|0.5|131072|7|2e-05|1|2|3|4|5|6|1e+06|3|2"));
    }

    void parsingReadsBackWhatWasWritten()
    {
        ProfileValue p;
        p.ts1 = 4;
        p.p1 = 12.5;
        p.pn1 = 40000;
        p.pn2 = 2;
        p.delay[3] = 0.25;
        p.width[2] = 0.00004;
        p.freq2 = 3;
        const ProfileValue back = parseProfileValue(formatProfileValue(p));
        QCOMPARE(back.ts1, 4);
        QCOMPARE(back.p1, 12.5);
        QCOMPARE(back.pn1, 40000);
        QCOMPARE(back.pn2, 2);
        QCOMPARE(back.delay[3], 0.25);
        QCOMPARE(back.width[2], 0.00004);
        QCOMPARE(back.freq2, 3);
        QCOMPARE(back.p2, 300.0);
    }

    void missingEmptyAndForeignFieldsReadAsZero_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("fewer than sixteen") << QStringLiteral("2|1|5");
        QTest::newRow("empty fields") << QStringLiteral("2|1|5||||||||||||||");
        QTest::newRow("letters") << QStringLiteral("2|1|5|x|abc|y|z|z|z|z|z|z|z|z|q|w");
        QTest::newRow("real where an integer belongs")
            << QStringLiteral("2|1|5|0|1.5|2e3|0|0|0|0|0|0|0|0|1.0|0x2");
        QTest::newRow("no numbers a box can hold")
            << QStringLiteral("2|1|5|nan|0|0|inf|-inf|1e400|0|0|0|0|0|0|0");
    }

    void missingEmptyAndForeignFieldsReadAsZero()
    {
        QFETCH(QString, text);
        const ProfileValue p = parseProfileValue(text);
        QCOMPARE(p.ts1, 2);
        QCOMPARE(p.ts2, 1);
        QCOMPARE(p.p1, 5.0);
        QCOMPARE(p.p2, 0.0);
        QCOMPARE(p.pn1, 0);
        QCOMPARE(p.pn2, 0);
        for (int ch = 0; ch < 4; ++ch) {
            QCOMPARE(p.delay[ch], 0.0);
            QCOMPARE(p.width[ch], 0.0);
        }
        QCOMPARE(p.freq1, 0);
        QCOMPARE(p.freq2, 0);
    }

    void fieldsAfterTheSixteenthAreIgnored()
    {
        const ProfileValue p =
            parseProfileValue(QStringLiteral("1|0|300|300|1|1|0|200|0|200|0|200|0|200|2|3|99|abc"));
        QCOMPARE(p.ts1, 1);
        QCOMPARE(p.freq1, 2);
        QCOMPARE(p.freq2, 3);
    }

    void slashesAreRefusedInNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("refused");
        QTest::newRow("slash") << QStringLiteral("a/b") << true;
        QTest::newRow("leading slash") << QStringLiteral("/a") << true;
        QTest::newRow("backslash") << QStringLiteral("a\\b") << true;
        QTest::newRow("plain") << QStringLiteral("Laser 2") << false;
        QTest::newRow("ini specials") << QStringLiteral(" =;#[x]%,\" ") << false;
        QTest::newRow("non-ASCII") << QStringLiteral("Größe 日本") << false;
    }

    void slashesAreRefusedInNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, refused);
        QCOMPARE(ProfileNames::hasForbiddenCharacter(name), refused);
    }

    // Every name the window accepts must come back from the store's file
    // unchanged, or its profile would vanish from the menu or load the
    // default value.
    void acceptedNamesSurviveTheStoresFile()
    {
        const QStringList names = {QStringLiteral(" leading blank"),
                                   QStringLiteral("trailing blank "),
                                   QStringLiteral("   "),
                                   QStringLiteral("a=b"),
                                   QStringLiteral("a;b"),
                                   QStringLiteral("#comment"),
                                   QStringLiteral(";semicolon"),
                                   QStringLiteral("[Section]"),
                                   QStringLiteral("Größe ä 日本 😀"),
                                   QStringLiteral("%U00e4 %20"),
                                   QStringLiteral("a,b \"quoted\""),
                                   QStringLiteral("General"),
                                   QStringLiteral("tab\there"),
                                   QStringLiteral("R&D")};
        auto store = openStore();
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(!ProfileNames::hasForbiddenCharacter(names[i]));
            QVERIFY(ProfileStore::write(*store, names[i], QStringLiteral("value %1").arg(i)));
        }
        QTemporaryDir scratch;
        auto disk = readBackFromDisk(*store, scratch);
        QVERIFY(disk);
        QStringList listed = disk->childKeys();
        listed.sort();
        QStringList expected = names;
        expected.sort();
        QCOMPARE(listed, expected);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(disk->value(names[i]).toString(), QStringLiteral("value %1").arg(i));
    }

    void readGivesTheDefaultForAnUnknownName()
    {
        auto store = openStore();
        QCOMPARE(ProfileStore::read(*store, QStringLiteral("never saved")),
                 QLatin1String(ProfileFormat::DefaultValue));
    }

    void removeTakesTheNameOffTheFile()
    {
        auto store = openStore();
        QVERIFY(ProfileStore::write(*store, QStringLiteral("one"), QStringLiteral("1")));
        QVERIFY(ProfileStore::write(*store, QStringLiteral("two"), QStringLiteral("2")));
        QVERIFY(ProfileStore::remove(*store, QStringLiteral("one")));
        QTemporaryDir scratch;
        auto disk = readBackFromDisk(*store, scratch);
        QVERIFY(disk);
        QCOMPARE(disk->childKeys(), QStringList{QStringLiteral("two")});
    }

    // The store's file cannot be replaced while a directory stands in its
    // place (root ignores permissions, so a directory is what fails here).
    void aWriteTheStoreCannotTakeIsReported()
    {
        auto store = openStore();
        QVERIFY(ProfileStore::write(*store, QStringLiteral("kept"), QStringLiteral("1")));
        QVERIFY(ProfileStore::isAvailable(*store));
        const QString file = store->fileName();
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkdir(file));

        QVERIFY(!ProfileStore::write(*store, QStringLiteral("lost"), QStringLiteral("2")));
        QVERIFY(!ProfileStore::isAvailable(*store));

        // QSettings keeps its first error; a refreshed store sees the store
        // as it is now.
        QSettings *raw = store.release();
        ProfileStore::refresh(raw);
        store.reset(raw);
        QVERIFY(!ProfileStore::isAvailable(*store));
        QVERIFY(QDir().rmdir(file));
        raw = store.release();
        ProfileStore::refresh(raw);
        store.reset(raw);
        QVERIFY(ProfileStore::isAvailable(*store));
        QVERIFY(ProfileStore::write(*store, QStringLiteral("later"), QStringLiteral("3")));
        QTemporaryDir scratch;
        auto disk = readBackFromDisk(*store, scratch);
        QVERIFY(disk);
        QCOMPARE(disk->value(QStringLiteral("later")).toString(), QStringLiteral("3"));
    }
};

DXU_TEST_MAIN(ProfileValueTest)
#include "tst_profile_value.moc"
