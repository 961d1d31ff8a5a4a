// The Profiles menu: saving the form under a name (the name checks, the
// limit of ten, overwriting), deleting, listing, the store's failures, and
// loading a profile into the form, which programs the instrument once over
// the link in use.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "persistence/profile_value.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>

#include <memory>

struct DxuGuiTestAccess
{
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static const QList<QAction *> &profileActions(dxu_gui &w) { return w.profileActions; }
    static const GeneratorSettings &record(dxu_gui &w) { return w.record; }
    static double unitFactor(dxu_gui &w) { return w.unitFactor; }
    static bool usbConnected(dxu_gui &w) { return w.usbConnected; }
};
using Access = DxuGuiTestAccess;
using FakeUsb::Bytes;

namespace {
const char *const kSimAddress = "127.0.0.41";
const char *const kUnusedAddress = "127.0.0.49"; // nothing listens there

// A profile with no start value in it: sources "Ext.Trig. High Level" and
// "Gen1 Slave", periods 12.5 and 7.25 ms, 40000 and 2 pulses, delays and
// widths 1 to 8 ms, time bases 80 and 40 ns.
const char *const kSampleProfile = "6|1|12.5|7.25|40000|2|1|2|3|4|5|6|7|8|2|1";
const char *const kSampleQuery =
    "/sg_hr_run.shtml?ts1=6&ts2=1&p1=12.5&p2=7.25&pn1=40000&pn2=2&ch1_st1=1&ch1_st2=5"
    "&ch1_et1=3&ch1_et2=11&ch2_st1=3&ch2_st2=7&ch2_et1=7&ch2_et2=15&freq1=2&freq2=1&save=1";

std::unique_ptr<QSettings> profileStore()
{
    return std::unique_ptr<QSettings>(SettingsStore::openProfileSettings());
}

void storeProfile(const QString &name, const QString &value)
{
    auto store = profileStore();
    store->setValue(name, value);
    store->sync();
}

QString storedValue(const QString &name)
{
    auto store = profileStore();
    store->sync();
    return store->value(name, QStringLiteral("<none>")).toString();
}

QStringList storedNames()
{
    auto store = profileStore();
    store->sync();
    return store->childKeys();
}

QString storeFileName() { return profileStore()->fileName(); }

template <typename T> T *child(dxu_gui &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

QAction *action(dxu_gui &w, const char *name) { return child<QAction>(w, name); }
QMenu *profilesMenu(dxu_gui &w) { return child<QMenu>(w, "menuProfiles"); }

std::unique_ptr<dxu_gui> newWindow()
{
    auto window = std::make_unique<dxu_gui>();
    // Never the default address: tests talk to loopback only.
    Access::deviceIp(*window) = QLatin1String(kUnusedAddress);
    window->show();
    return window;
}

// A window connected through the Connection menu to a simulated USB DXU2.
std::unique_ptr<dxu_gui> usbWindow(int &device)
{
    device = FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
    auto window = newWindow();
    action(*window, "actionUSB")->trigger();
    return window;
}

// The menu as the operator opens it: it rebuilds its profile entries.
void openProfilesMenu(dxu_gui &w)
{
    QMenu *menu = profilesMenu(w);
    menu->popup(w.mapToGlobal(QPoint(10, 10)));
    menu->hide();
}

QStringList menuProfileNames(dxu_gui &w)
{
    QStringList names;
    const QList<QAction *> actions = profilesMenu(w)->actions();
    // the fixed entries and their separator come first
    for (int i = 3; i < actions.size(); ++i)
        names << actions[i]->text();
    return names;
}

QStringList entryNames(dxu_gui &w)
{
    QStringList names;
    for (const QAction *entry : Access::profileActions(w))
        names << entry->text();
    return names;
}

// Opens the menu and chooses the entry, by keyboard, as the operator would.
bool loadFromMenu(dxu_gui &w, const QString &name)
{
    QMenu *menu = profilesMenu(w);
    menu->popup(w.mapToGlobal(QPoint(10, 10)));
    QAction *entry = nullptr;
    for (QAction *candidate : Access::profileActions(w))
        if (candidate->text() == name)
            entry = candidate;
    if (!entry) {
        menu->hide();
        return false;
    }
    menu->setActiveAction(entry);
    QTest::keyClick(menu, Qt::Key_Return);
    return true;
}

// Chooses "Add DXU Profile..." and answers the name dialogs in turn.
void addThroughMenu(dxu_gui &w, const QList<std::optional<QString>> &names)
{
    InputDialogAnswerer answers(names);
    action(w, "actionAdd_Profile")->trigger();
}

QStringList fields(const QString &value) { return value.split(QLatin1Char('|')); }

// Answers a question with `button`; a box without that button gets its first.
MessageBoxWatcher::Responder answer(QMessageBox::StandardButton button)
{
    return [button](QMessageBox *box) {
        QAbstractButton *chosen = box->button(button);
        (chosen ? chosen : box->buttons().first())->click();
    };
}

std::vector<Bytes> framesSince(int device, std::size_t before)
{
    const std::vector<Bytes> all = FakeUsb::framesWritten(device);
    return std::vector<Bytes>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
}

std::uint32_t u32At(const Bytes &bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// Puts a directory where the store's file belongs: the store can then be
// neither read nor written (root ignores file permissions).
class BlockedStore
{
public:
    BlockedStore() : file(storeFileName())
    {
        QFile::remove(file);
        QDir().mkpath(file);
    }
    ~BlockedStore() { unblock(); }
    BlockedStore(const BlockedStore &) = delete;
    BlockedStore &operator=(const BlockedStore &) = delete;
    void unblock() { QDir().rmdir(file); }

private:
    QString file;
};
} // namespace

class ProfilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(sim.start(QHostAddress(QLatin1String(kSimAddress)), 80),
                 qPrintable(sim.errorString()));
    }

    void init()
    {
        FakeUsb::reset();
        sim.setState(DxuSimState());
        sim.clearLog();
        std::unique_ptr<QSettings> store(SettingsStore::openMainSettings());
        store->clear();
        store->sync();
    }

    // Saving

    void theStartUpFormSavesTheDefaultValue()
    {
        auto w = newWindow();
        openProfilesMenu(*w);
        MessageBoxWatcher boxes;
        addThroughMenu(*w, {QStringLiteral("start")});
        QCOMPARE(storedValue(QStringLiteral("start")),
                 QStringLiteral("0|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0"));
        QCOMPARE(entryNames(*w), QStringList{QStringLiteral("start")});
        QCOMPARE(menuProfileNames(*w), QStringList{QStringLiteral("start")});
        QCOMPARE(boxes.count(), 0);
    }

    void theNameDialogAsksForAName()
    {
        auto w = newWindow();
        InputDialogAnswerer answers({std::nullopt});
        action(*w, "actionAdd_Profile")->trigger();
        QCOMPARE(answers.count(), 1);
        QCOMPARE(answers.last().title, QStringLiteral("Set Profile Name"));
        QCOMPARE(answers.last().label, QStringLiteral("Profile Name:"));
        QCOMPARE(answers.last().presetText, QString());
        QVERIFY(storedNames().isEmpty());
        QVERIFY(Access::profileActions(*w).isEmpty());
    }

    void microsecondsAreStoredAsMilliseconds()
    {
        auto w = newWindow();
        action(*w, "actionMicroseconds")->trigger();
        child<QDoubleSpinBox>(*w, "periodG1")->setValue(1500);
        child<QDoubleSpinBox>(*w, "g2c2stop")->setValue(250);
        addThroughMenu(*w, {QStringLiteral("micro")});
        const QStringList stored = fields(storedValue(QStringLiteral("micro")));
        QCOMPARE(stored.value(2), QStringLiteral("1.5"));
        QCOMPARE(stored.value(3), QStringLiteral("300"));
        QCOMPARE(stored.value(7), QStringLiteral("200"));
        QCOMPARE(stored.value(13), QStringLiteral("0.25"));
    }

    void everyFieldStandsInItsPosition()
    {
        auto w = newWindow();
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(3); // code 4
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(1);
        child<QDoubleSpinBox>(*w, "periodG2")->setValue(1234.56789);
        child<QSpinBox>(*w, "pulsesG1")->setValue(5);
        child<QSpinBox>(*w, "pulsesG2")->setValue(7);
        child<QDoubleSpinBox>(*w, "g1c2start")->setValue(9);
        child<QDoubleSpinBox>(*w, "g2c1stop")->setValue(11);
        child<QComboBox>(*w, "timeUnitG1")->setCurrentIndex(1);
        child<QComboBox>(*w, "timeUnitG2")->setCurrentIndex(3);
        addThroughMenu(*w, {QStringLiteral("all")});
        QCOMPARE(storedValue(QStringLiteral("all")),
                 QStringLiteral("4|1|300|1234.57|5|7|0|200|9|200|0|11|0|200|1|3"));
        // Sources, periods, counts and time bases go into the record as well;
        // its channels stay as they were.
        const GeneratorSettings &record = Access::record(*w);
        QCOMPARE(record.ts1, std::uint8_t(4));
        QCOMPARE(record.pn2, 7);
        QCOMPARE(record.p2, 1234.56789);
        QCOMPARE(record.freq2, 3);
        QCOMPARE(record.ch2_st1, 0.0);
        QCOMPARE(record.ch1_et2, 200.0);
    }

    void namesDifferingInCaseAreNew()
    {
        auto w = newWindow();
        openProfilesMenu(*w);
        MessageBoxWatcher boxes;
        addThroughMenu(*w, {QStringLiteral("Laser")});
        addThroughMenu(*w, {QStringLiteral("laser")});
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(entryNames(*w), (QStringList{QStringLiteral("Laser"), QStringLiteral("laser")}));
        QCOMPARE(storedNames().size(), 2);
    }

    void overwritingAsksAndNoKeepsTheOldProfile()
    {
        auto w = newWindow();
        openProfilesMenu(*w);
        child<QSpinBox>(*w, "pulsesG1")->setValue(5);
        addThroughMenu(*w, {QStringLiteral("P")});
        child<QSpinBox>(*w, "pulsesG1")->setValue(6);
        {
            MessageBoxWatcher no(answer(QMessageBox::No));
            addThroughMenu(*w, {QStringLiteral("P")});
            QCOMPARE(no.count(), 1);
            QCOMPARE(no.last().title, QStringLiteral("DXU Profile"));
            QCOMPARE(
                no.last().text,
                QStringLiteral("Profile with name <b>P</b> is already exist!<br>Overwrite it?"));
        }
        QCOMPARE(fields(storedValue(QStringLiteral("P"))).value(4), QStringLiteral("5"));
        QCOMPARE(entryNames(*w), QStringList{QStringLiteral("P")});
    }

    void overwritingWithYesReplacesTheProfile()
    {
        auto w = newWindow();
        openProfilesMenu(*w);
        child<QSpinBox>(*w, "pulsesG1")->setValue(5);
        addThroughMenu(*w, {QStringLiteral("P")});
        addThroughMenu(*w, {QStringLiteral("Q")});
        child<QSpinBox>(*w, "pulsesG1")->setValue(6);
        {
            MessageBoxWatcher yes(answer(QMessageBox::Yes));
            addThroughMenu(*w, {QStringLiteral("P")});
            QCOMPARE(yes.count(), 1);
        }
        QCOMPARE(fields(storedValue(QStringLiteral("P"))).value(4), QStringLiteral("6"));
        // the replaced entry moves to the end, once
        QCOMPARE(entryNames(*w), (QStringList{QStringLiteral("Q"), QStringLiteral("P")}));
        QCOMPARE(menuProfileNames(*w), (QStringList{QStringLiteral("Q"), QStringLiteral("P")}));
    }

    void tenProfilesRefuseEvenAnOverwrite()
    {
        for (int i = 0; i < 10; ++i)
            storeProfile(QStringLiteral("p%1").arg(i), QLatin1String(ProfileFormat::DefaultValue));
        auto w = newWindow();
        openProfilesMenu(*w);
        child<QSpinBox>(*w, "pulsesG1")->setValue(9);
        MessageBoxWatcher boxes(answer(QMessageBox::Yes));
        addThroughMenu(*w, {QStringLiteral("p3")});
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("DXU"));
        QCOMPARE(boxes.last().text, QStringLiteral("Only 10 DXU profiles could be created!"));
        QCOMPARE(boxes.last().icon, QMessageBox::Information);
        QCOMPARE(storedValue(QStringLiteral("p3")), QLatin1String(ProfileFormat::DefaultValue));
        QCOMPARE(Access::profileActions(*w).size(), 10);
    }

    void theTenthProfileCanStillBeSaved()
    {
        for (int i = 0; i < 9; ++i)
            storeProfile(QStringLiteral("p%1").arg(i), QLatin1String(ProfileFormat::DefaultValue));
        auto w = newWindow();
        openProfilesMenu(*w);
        MessageBoxWatcher boxes;
        addThroughMenu(*w, {QStringLiteral("tenth")});
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(storedNames().size(), 10);
    }

    void anEmptyNameIsAskedForAgain()
    {
        auto w = newWindow();
        MessageBoxWatcher boxes;
        InputDialogAnswerer answers({QString(), QStringLiteral("second try")});
        action(*w, "actionAdd_Profile")->trigger();
        QCOMPARE(answers.count(), 2);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Empty name"));
        QCOMPARE(boxes.last().text, QStringLiteral("Profile name should not be empty!"));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        QCOMPARE(storedNames(), QStringList{QStringLiteral("second try")});
    }

    void namesWithSlashesAreRefused()
    {
        auto w = newWindow();
        MessageBoxWatcher boxes;
        addThroughMenu(*w, {QStringLiteral("a/b"), QStringLiteral("c\\d"), std::nullopt});
        QCOMPARE(boxes.count(), 2);
        for (const SeenMessageBox &box : boxes.seen()) {
            QCOMPARE(box.title, QStringLiteral("Wrong name"));
            QVERIFY(box.text.contains(QLatin1String("\"/\"")));
            QVERIFY(box.text.contains(QLatin1String("\"\\\"")));
        }
        QVERIFY(storedNames().isEmpty());
        QVERIFY(profileStore()->childGroups().isEmpty());
        QVERIFY(Access::profileActions(*w).isEmpty());

        addThroughMenu(*w, {QStringLiteral("x/y"), QStringLiteral("fine")});
        QCOMPARE(storedNames(), QStringList{QStringLiteral("fine")});
    }

    // Names the store writes in an escaped form must list and load exactly
    // as typed, also in a later run of the program.
    void unusualNamesComeBackExactly()
    {
        const QStringList names = {QStringLiteral(" leading"),  QStringLiteral("trailing "),
                                   QStringLiteral("a=b;c"),     QStringLiteral("#hash"),
                                   QStringLiteral("[General]"), QStringLiteral("Größe 日本"),
                                   QStringLiteral("R&D"),       QStringLiteral("100%"),
                                   QStringLiteral("Add"),       QStringLiteral("\"q\", 'q'")};
        {
            auto w = newWindow();
            openProfilesMenu(*w);
            for (int i = 0; i < names.size(); ++i) {
                child<QSpinBox>(*w, "pulsesG1")->setValue(100 + i);
                addThroughMenu(*w, {names[i]});
            }
        }
        int device = -1;
        auto w = usbWindow(device);
        openProfilesMenu(*w);
        QStringList listed = entryNames(*w);
        listed.sort();
        QStringList expected = names;
        expected.sort();
        QCOMPARE(listed, expected);
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY2(loadFromMenu(*w, names[i]), qPrintable(names[i]));
            QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 100 + i);
        }
    }

    void profilesSurviveARestart()
    {
        {
            auto first = newWindow();
            openProfilesMenu(*first);
            child<QSpinBox>(*first, "pulsesG2")->setValue(42);
            addThroughMenu(*first, {QStringLiteral("kept")});
        }
        QFile file(storeFileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("kept=0|0|300|300|1|42|0|200|0|200|0|200|0|200|0|0"));

        auto second = newWindow();
        openProfilesMenu(*second);
        QCOMPARE(entryNames(*second), QStringList{QStringLiteral("kept")});
    }

    // Deleting and listing

    void deletingTheOnlyProfileLeavesNothingToDelete()
    {
        storeProfile(QStringLiteral("only"), QLatin1String(ProfileFormat::DefaultValue));
        auto w = newWindow();
        openProfilesMenu(*w);
        {
            InputDialogAnswerer pick({QStringLiteral("only")});
            action(*w, "actionDelete_Profile")->trigger();
            QCOMPARE(pick.last().title, QStringLiteral("DXU"));
            QCOMPARE(pick.last().label, QStringLiteral("Profile:"));
        }
        QVERIFY(storedNames().isEmpty());
        QVERIFY(Access::profileActions(*w).isEmpty());
        QVERIFY(menuProfileNames(*w).isEmpty());

        MessageBoxWatcher boxes;
        action(*w, "actionDelete_Profile")->trigger();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Profiles"));
        QCOMPARE(boxes.last().text, QStringLiteral("Nothing to delete!"));
    }

    void deletingOffersTheNamesAndRemovesTheChosenOne()
    {
        for (const char *name : {"alpha", "beta", "gamma"})
            storeProfile(QLatin1String(name), QLatin1String(ProfileFormat::DefaultValue));
        auto w = newWindow();
        openProfilesMenu(*w);
        {
            InputDialogAnswerer cancel({std::nullopt});
            action(*w, "actionDelete_Profile")->trigger();
            QCOMPARE(cancel.last().presetText, QStringLiteral("alpha"));
        }
        QCOMPARE(storedNames().size(), 3);
        {
            InputDialogAnswerer pick({QStringLiteral("beta")});
            action(*w, "actionDelete_Profile")->trigger();
        }
        QCOMPARE(storedNames(), (QStringList{QStringLiteral("alpha"), QStringLiteral("gamma")}));
        QCOMPARE(entryNames(*w), (QStringList{QStringLiteral("alpha"), QStringLiteral("gamma")}));
        QCOMPARE(menuProfileNames(*w), entryNames(*w));
    }

    void theMenuListsEachStoredNameOnce()
    {
        for (const char *name : {"zeta", "alpha", "mid"})
            storeProfile(QLatin1String(name), QLatin1String(ProfileFormat::DefaultValue));
        auto w = newWindow();
        openProfilesMenu(*w);
        openProfilesMenu(*w);
        const QStringList expected = {QStringLiteral("alpha"), QStringLiteral("mid"),
                                      QStringLiteral("zeta")};
        QCOMPARE(entryNames(*w), expected);
        QCOMPARE(menuProfileNames(*w), expected);
        const QList<QAction *> actions = profilesMenu(*w)->actions();
        QCOMPARE(actions[0], action(*w, "actionAdd_Profile"));
        QCOMPARE(actions[1], action(*w, "actionDelete_Profile"));
        QVERIFY(actions[2]->isSeparator());
        for (const QAction *entry : Access::profileActions(*w)) {
            QCOMPARE(entry->toolTip(), QStringLiteral("Click to load <b>What?</b>"));
            QVERIFY(!entry->icon().isNull());
        }
    }

    // Another running panel writes the store's file behind this one's back.
    void anotherPanelsSaveShowsAtTheNextOpening()
    {
        auto w = newWindow();
        openProfilesMenu(*w);
        QVERIFY(entryNames(*w).isEmpty());
        QFile file(storeFileName());
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Profiles]\nfrom%20elsewhere=0|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0\n");
        file.close();
        openProfilesMenu(*w);
        QCOMPARE(entryNames(*w), QStringList{QStringLiteral("from elsewhere")});
    }

    // The store's failures

    void aSaveTheStoreCannotTakeIsReported()
    {
        auto w = newWindow();
        openProfilesMenu(*w);
        {
            BlockedStore blocked;
            MessageBoxWatcher boxes;
            addThroughMenu(*w, {QStringLiteral("lost")});
            QCOMPARE(boxes.count(), 1);
            QCOMPARE(boxes.last().icon, QMessageBox::Warning);
            QVERIFY(boxes.last().text.contains(QLatin1String("<b>lost</b>")));
        }
        // Once the store can be written again, saving is quiet and lasting.
        MessageBoxWatcher boxes;
        addThroughMenu(*w, {QStringLiteral("saved")});
        QCOMPARE(boxes.count(), 0);
        QFile file(storeFileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("saved="));
    }

    void anUnreadableStoreShowsError5()
    {
        storeProfile(QStringLiteral("somewhere"), QLatin1String(ProfileFormat::DefaultValue));
        BlockedStore blocked;
        auto w = newWindow();
        {
            MessageBoxWatcher boxes;
            openProfilesMenu(*w);
            QCOMPARE(boxes.count(), 1);
            QCOMPARE(boxes.last().title, QStringLiteral("Errorr"));
            QCOMPARE(boxes.last().text, QStringLiteral("Error 5"));
            QCOMPARE(boxes.last().icon, QMessageBox::Critical);
        }
        QVERIFY(Access::profileActions(*w).isEmpty());
        QVERIFY(menuProfileNames(*w).isEmpty());

        blocked.unblock();
        storeProfile(QStringLiteral("back"), QLatin1String(ProfileFormat::DefaultValue));
        MessageBoxWatcher boxes;
        openProfilesMenu(*w);
        QCOMPARE(boxes.count(), 0);
        QVERIFY(entryNames(*w).contains(QStringLiteral("back")));
    }

    // Loading

    void loadingFillsTheFormAndProgramsTheInstrumentOnce()
    {
        storeProfile(QStringLiteral("sample"), QLatin1String(kSampleProfile));
        int device = -1;
        auto w = usbWindow(device);
        QVERIFY(Access::usbConnected(*w));
        action(*w, "actionMicroseconds")->trigger();
        const std::size_t before = FakeUsb::framesWritten(device).size();

        QVERIFY(loadFromMenu(*w, QStringLiteral("sample")));

        QCOMPARE(child<QComboBox>(*w, "sourceG1")->currentIndex(), 4);
        QCOMPARE(child<QComboBox>(*w, "sourceG2")->currentIndex(), 1);
        QCOMPARE(child<QComboBox>(*w, "timeUnitG1")->currentIndex(), 2);
        QCOMPARE(child<QComboBox>(*w, "timeUnitG2")->currentIndex(), 1);
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG1")->value(), 12.5);
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG2")->value(), 7.25);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 40000);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG2")->value(), 2);
        const char *channelBoxes[] = {"g1c1start", "g1c1stop", "g1c2start", "g1c2stop",
                                      "g2c1start", "g2c1stop", "g2c2start", "g2c2stop"};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(child<QDoubleSpinBox>(*w, channelBoxes[i])->value(), double(i + 1));
        // the display ends in milliseconds
        QVERIFY(!action(*w, "actionMicroseconds")->isChecked());
        QCOMPARE(child<QLabel>(*w, "label")->text(), QStringLiteral("Period, ms:"));
        QCOMPARE(Access::unitFactor(*w), 1.0);
        QVERIFY(child<QRadioButton>(*w, "showG1")->isChecked());
        QCOMPARE(Access::record(*w).ch2_et2, 15.0);

        // settings, then reset of both generators: once
        const std::vector<Bytes> frames = framesSince(device, before);
        QCOMPARE(frames.size(), std::size_t(2));
        const Bytes &settings = frames[0];
        QCOMPARE(settings.size(), std::size_t(53));
        QCOMPARE(settings[0], std::uint8_t(0x09));
        QCOMPARE(settings[1], std::uint8_t(6));
        QCOMPARE(settings[2], std::uint8_t(1));
        QCOMPARE(u32At(settings, 3), 156249u); // 12.5 ms at 80 ns, one tick short
        QCOMPARE(u32At(settings, 7), 181249u); // 7.25 ms at 40 ns
        QCOMPARE(u32At(settings, 43), 40000u);
        QCOMPARE(u32At(settings, 47), 2u);
        QCOMPARE(settings[51], std::uint8_t(2));
        QCOMPARE(settings[52], std::uint8_t(1));
        QCOMPARE(frames[1], (Bytes{0x0B, 0x03}));

        // The source combos send again once the profile is in place.
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(0);
        const std::vector<Bytes> later = framesSince(device, before + 2);
        QCOMPARE(later.size(), std::size_t(2));
        QCOMPARE(later[1], (Bytes{0x0B, 0x02}));
    }

    void sourceCodesWithoutAnEntryLeaveTheCombo()
    {
        int device = -1;
        auto w = usbWindow(device);
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(1);
        storeProfile(QStringLiteral("three"),
                     QStringLiteral("3|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0"));
        storeProfile(QStringLiteral("six"),
                     QStringLiteral("6|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0"));
        const std::size_t before = FakeUsb::framesWritten(device).size();

        QVERIFY(loadFromMenu(*w, QStringLiteral("three")));
        QCOMPARE(child<QComboBox>(*w, "sourceG1")->currentIndex(), 1);
        const std::vector<Bytes> frames = framesSince(device, before);
        QCOMPARE(frames.size(), std::size_t(2));
        QCOMPARE(frames[0][1], std::uint8_t(1)); // what the combo shows goes out

        QVERIFY(loadFromMenu(*w, QStringLiteral("six")));
        QCOMPARE(child<QComboBox>(*w, "sourceG1")->currentIndex(), 4);
        QCOMPARE(framesSince(device, before).size(), std::size_t(4));
    }

    void shortAndForeignValuesReadAsZero()
    {
        storeProfile(QStringLiteral("short"), QStringLiteral("0|1|abc|5"));
        int device = -1;
        auto w = usbWindow(device);
        QVERIFY(loadFromMenu(*w, QStringLiteral("short")));
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG1")->value(), 0.0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG2")->value(), 5.0);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 0);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG2")->value(), 0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g1c1stop")->value(), 0.0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g2c2stop")->value(), 0.0);
        QCOMPARE(child<QComboBox>(*w, "sourceG2")->currentIndex(), 1);
        QCOMPARE(child<QComboBox>(*w, "timeUnitG2")->currentIndex(), 0);
    }

    void aNameNoLongerStoredLoadsTheDefault()
    {
        storeProfile(QStringLiteral("gone"), QLatin1String(kSampleProfile));
        int device = -1;
        auto w = usbWindow(device);
        child<QDoubleSpinBox>(*w, "g1c2stop")->setValue(1);
        QMenu *menu = profilesMenu(*w);
        menu->popup(w->mapToGlobal(QPoint(10, 10)));
        QCOMPARE(entryNames(*w), QStringList{QStringLiteral("gone")});
        // another panel deletes it while this menu is open
        profileStore()->remove(QStringLiteral("gone"));
        menu->setActiveAction(Access::profileActions(*w).first());
        QTest::keyClick(menu, Qt::Key_Return);
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG1")->value(), 300.0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g1c2stop")->value(), 200.0);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 1);
    }

    void theMenusOwnEntriesLoadNothing()
    {
        storeProfile(QStringLiteral("sample"), QLatin1String(kSampleProfile));
        int device = -1;
        auto w = usbWindow(device);
        openProfilesMenu(*w);
        const std::size_t before = FakeUsb::framesWritten(device).size();
        MessageBoxWatcher boxes;
        InputDialogAnswerer cancel({std::nullopt, std::nullopt});
        for (const char *name : {"actionAdd_Profile", "actionDelete_Profile"}) {
            QMenu *menu = profilesMenu(*w);
            menu->popup(w->mapToGlobal(QPoint(10, 10)));
            menu->setActiveAction(action(*w, name));
            QTest::keyClick(menu, Qt::Key_Return);
        }
        QCOMPARE(cancel.count(), 2);
        QCOMPARE(framesSince(device, before).size(), std::size_t(0));
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 1);
    }

    void loadingOverEthernetSendsResetAndSettingsOnce()
    {
        storeProfile(QStringLiteral("sample"), QLatin1String(kSampleProfile));
        auto w = newWindow();
        QVERIFY(EthernetWindow::connectTo(*w, QLatin1String(kSimAddress)));
        QTRY_COMPARE(w->statusBar()->currentMessage(), QStringLiteral("Command applied"));
        sim.clearLog();

        QVERIFY(loadFromMenu(*w, QStringLiteral("sample")));
        const QStringList expected = {QStringLiteral("/sg_run.shtml?reset1=1&reset2=1"),
                                      QLatin1String(kSampleQuery)};
        QTRY_COMPARE_WITH_TIMEOUT(sim.requestLog(), expected, 10000);
        QTRY_COMPARE(w->statusBar()->currentMessage(), QStringLiteral("Command applied"));
        QTest::qWait(300);
        QCOMPARE(sim.requestLog(), expected);

        const DxuSimState state = sim.state();
        QCOMPARE(state.ts1, 6);
        QCOMPARE(state.pn1, 40000);
        QCOMPARE(state.pn2, 2);
        QCOMPARE(state.ch2_et2, 15.0);
        QCOMPARE(state.freq1, 2);
        // the reply leaves the loaded form as it is
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 40000);

        // The source combos send again once the profile is in place.
        sim.clearLog();
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(0);
        QTRY_COMPARE_WITH_TIMEOUT(sim.requestLog().size(), 2, 10000);
        QCOMPARE(sim.requestLog().first(), QStringLiteral("/sg_run.shtml?reset1=1"));
    }

private:
    DxuSimServer sim;
};

DXU_TEST_MAIN(ProfilesTest)
#include "tst_profiles.moc"
