// The Profiles menu: saving the form under a name (the name checks, the
// limit of ten, overwriting), deleting, listing, the store's failures, and
// loading a profile into the form, which programs the instrument once over
// the link in use.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QStatusBar>

#include <memory>

struct DxuGuiTestAccess
{
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
};
using FakeUsb::Bytes;

namespace {
const char *const kSimAddress = "127.0.0.41";
const char *const kStartUp = "0|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0";
// Sources "Ext.Trig. High Level" and "Gen1 Slave", periods 12.5 and 7.25 ms,
// 40000 and 2 pulses, delays and widths 1 to 8 ms, time bases 80 and 40 ns.
const char *const kSample = "6|1|12.5|7.25|40000|2|1|2|3|4|5|6|7|8|2|1";

// The store as another reader sees it now.
std::unique_ptr<QSettings> store()
{
    std::unique_ptr<QSettings> settings(SettingsStore::openProfileSettings());
    settings->sync();
    return settings;
}

template <typename T = QAction> T *child(dxu_gui &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

// Never the default address: tests talk to loopback only. With `usbDevice`,
// connected through the Connection menu to a simulated USB DXU2.
std::unique_ptr<dxu_gui> newWindow(int *usbDevice = nullptr)
{
    auto window = std::make_unique<dxu_gui>();
    DxuGuiTestAccess::deviceIp(*window) = QStringLiteral("127.0.0.49"); // nothing listens there
    window->show();
    if (usbDevice) {
        *usbDevice = FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        child(*window, "actionUSB")->trigger();
    }
    return window;
}

QMenu *menu(dxu_gui &w) { return child<QMenu>(w, "menuProfiles"); }

// The menu as the operator opens it: it rebuilds its profile entries.
void openMenu(dxu_gui &w)
{
    menu(w)->popup(w.mapToGlobal(QPoint(10, 10)));
    menu(w)->hide();
}

// The profile entries, after the two fixed ones and their separator.
QStringList listed(dxu_gui &w)
{
    QStringList names;
    for (const QAction *entry : menu(w)->actions().mid(3))
        names << entry->text();
    return names;
}

// Opens the menu and chooses the entry.
void choose(dxu_gui &w, const QString &name)
{
    openMenu(w);
    for (QAction *entry : menu(w)->actions().mid(3))
        if (entry->text() == name)
            entry->trigger();
}

// Triggers the action and answers its dialogs in turn (std::nullopt cancels).
void run(dxu_gui &w, const char *action, const QList<std::optional<QString>> &answers)
{
    InputDialogAnswerer answerer(answers);
    child(w, action)->trigger();
}

void add(dxu_gui &w, const QString &name) { run(w, "actionAdd_Profile", {name}); }

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
        std::unique_ptr<QSettings>(SettingsStore::openMainSettings())->clear();
    }

    void savingTheForm()
    {
        auto w = newWindow();
        add(*w, QStringLiteral("start"));
        QCOMPARE(store()->value(QStringLiteral("start")).toString(), QLatin1String(kStartUp));
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(3); // code 4
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(1);
        child<QDoubleSpinBox>(*w, "periodG2")->setValue(1234.56789);
        child<QSpinBox>(*w, "pulsesG1")->setValue(5);
        child<QSpinBox>(*w, "pulsesG2")->setValue(7);
        child<QDoubleSpinBox>(*w, "g1c2start")->setValue(9);
        child<QDoubleSpinBox>(*w, "g2c1stop")->setValue(11);
        child<QComboBox>(*w, "timeUnitG1")->setCurrentIndex(1);
        child<QComboBox>(*w, "timeUnitG2")->setCurrentIndex(3);
        add(*w, QStringLiteral("all"));
        QCOMPARE(store()->value(QStringLiteral("all")).toString(),
                 QStringLiteral("4|1|300|1234.57|5|7|0|200|9|200|0|11|0|200|1|3"));
        // In microseconds the store still holds milliseconds.
        auto micro = newWindow();
        child(*micro, "actionMicroseconds")->trigger();
        child<QDoubleSpinBox>(*micro, "periodG1")->setValue(1500);
        child<QDoubleSpinBox>(*micro, "g2c2stop")->setValue(250);
        add(*micro, QStringLiteral("micro"));
        QCOMPARE(store()->value(QStringLiteral("micro")).toString(),
                 QStringLiteral("0|0|1.5|300|1|1|0|200|0|200|0|200|0|0.25|0|0"));
    }

    void anExistingNameIsReplacedOnlyOnYes_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes replaces") << true;
        QTest::newRow("No keeps") << false;
    }

    void anExistingNameIsReplacedOnlyOnYes()
    {
        QFETCH(bool, yes);
        auto w = newWindow();
        child<QSpinBox>(*w, "pulsesG1")->setValue(5);
        add(*w, QStringLiteral("<i>R&D"));
        add(*w, QStringLiteral("Q"));
        child<QSpinBox>(*w, "pulsesG1")->setValue(6);
        MessageBoxWatcher boxes([yes](QMessageBox *box) {
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        add(*w, QStringLiteral("<i>r&d")); // differs only in case: a new name
        add(*w, QStringLiteral("<i>R&D"));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().text, // the name as typed, not as markup
                 QStringLiteral("Profile with name <b>&lt;i&gt;R&amp;D</b> is already "
                                "exist!<br>Overwrite it?"));
        QCOMPARE(
            store()->value(QStringLiteral("<i>R&D")).toString().split(QLatin1Char('|')).value(4),
            QLatin1String(yes ? "6" : "5"));
        QCOMPARE(store()->childKeys().size(), 3);
        // the replaced entry moves to the end, once
        QCOMPARE(listed(*w).join(QLatin1Char(' ')),
                 QLatin1String(yes ? "Q <i>r&d <i>R&D" : "<i>R&D Q <i>r&d"));
    }

    void badNamesAreAskedAgainAndTenEntriesRefuseEvenAnExistingName()
    {
        for (int i = 0; i < 9; ++i)
            store()->setValue(QStringLiteral("p%1").arg(i), kStartUp);
        auto w = newWindow();
        openMenu(*w);
        MessageBoxWatcher boxes;
        run(*w, "actionAdd_Profile",
            {QString(), QStringLiteral("a/b"), QStringLiteral("c\\d"), QStringLiteral("tenth")});
        QCOMPARE(boxes.count(), 3);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Profile name should not be empty!"));
        for (int i : {1, 2})
            QCOMPARE(boxes.seen()[i].text,
                     QStringLiteral("Profile name should not contain \"/\" or \"\\\"!"));
        QVERIFY(store()->childGroups().isEmpty());

        child<QSpinBox>(*w, "pulsesG1")->setValue(9);
        add(*w, QStringLiteral("p3"));
        QCOMPARE(boxes.count(), 4);
        QCOMPARE(boxes.last().text, QStringLiteral("Only 10 DXU profiles could be created!"));
        QCOMPARE(store()->value(QStringLiteral("p3")).toString(), QLatin1String(kStartUp));
        QCOMPARE(store()->childKeys().size(), 10); // with "tenth"
    }

    void theMenuListsTheStoreAndDeletesTheChosenEntry()
    {
        auto w = newWindow();
        // Another running panel writes the store's file behind this one's back.
        QFile file(store()->fileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Profiles]\nalpha=0\nfrom%20elsewhere=0\nzeta=0\n");
        file.close();
        openMenu(*w);
        openMenu(*w);
        QCOMPARE(listed(*w), (QStringList{QStringLiteral("alpha"), QStringLiteral("from elsewhere"),
                                          QStringLiteral("zeta")}));

        for (const char *name : {"from elsewhere", "zeta", "alpha"}) {
            run(*w, "actionDelete_Profile", {QLatin1String(name)});
            QVERIFY(!store()->childKeys().contains(QLatin1String(name)));
            QCOMPARE(listed(*w), store()->childKeys()); // the others stay
        }
        MessageBoxWatcher boxes;
        child(*w, "actionDelete_Profile")->trigger();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().text, QStringLiteral("Nothing to delete!"));
    }

    // What the next run of the program reads: names the store writes in an
    // escaped form come back exactly as typed.
    void profilesSurviveARestart()
    {
        const QStringList names = {
            QStringLiteral("kept"),      QStringLiteral(" blanks "),
            QStringLiteral("a=b;c"),     QStringLiteral("#hash"),
            QStringLiteral("[General]"), QStringLiteral("Größe 日本 100% \"q\"")};
        {
            auto first = newWindow();
            child<QSpinBox>(*first, "pulsesG2")->setValue(42);
            for (const QString &name : names)
                add(*first, name);
        }
        // read through a copy, so that no cache of this process can answer
        QTemporaryDir dir;
        QVERIFY(QFile::copy(store()->fileName(), dir.filePath(QStringLiteral("copy"))));
        QSettings disk(dir.filePath(QStringLiteral("copy")), QSettings::IniFormat);
        disk.beginGroup(QLatin1String(SettingsStore::ProfilesGroup));
        QStringList expected = names;
        expected.sort();
        QCOMPARE(disk.childKeys(), expected);
        QCOMPARE(disk.value(QStringLiteral("kept")).toString(),
                 QStringLiteral("0|0|300|300|1|42|0|200|0|200|0|200|0|200|0|0"));
    }

    void aStoreThatCannotBeWrittenWarns()
    {
        auto w = newWindow();
        // A directory where the store's file belongs (root ignores permissions).
        const QString file = store()->fileName();
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file));
        auto unblock = qScopeGuard([&] { QDir().rmdir(file); });
        MessageBoxWatcher boxes;
        openMenu(*w);
        add(*w, QStringLiteral("lost"));
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Error 5"));
        QVERIFY(boxes.seen()[1].text.contains(QLatin1String("<b>lost</b>")));
        QVERIFY(QDir().rmdir(file));
        add(*w, QStringLiteral("saved")); // writable again: saving is quiet
        QCOMPARE(boxes.count(), 2);
    }

    // Loading

    void loadingOverUsbFillsTheFormAndSendsOnce()
    {
        store()->setValue(QStringLiteral("sample"), kSample);
        int device = -1;
        auto w = newWindow(&device);
        child(*w, "actionMicroseconds")->trigger();
        FakeUsb::clearCalls();
        choose(*w, QStringLiteral("sample"));

        QCOMPARE(child<QComboBox>(*w, "sourceG1")->currentIndex(), 4); // code 6: the fifth entry
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 40000);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG2")->value(), 2);
        const char *channelBoxes[] = {"g1c1start", "g1c1stop", "g1c2start", "g1c2stop",
                                      "g2c1start", "g2c1stop", "g2c2start", "g2c2stop"};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(child<QDoubleSpinBox>(*w, channelBoxes[i])->value(), double(i + 1));
        QVERIFY(!child(*w, "actionMicroseconds")->isChecked()); // the display ends in ms

        // settings, then reset of both generators: once
        const std::vector<Bytes> frames = FakeUsb::framesWritten(device);
        QCOMPARE(frames.size(), std::size_t(2));
        QCOMPARE(frames[0].size(), std::size_t(53));
        QCOMPARE(frames[0][0], std::uint8_t(0x09));
        QCOMPARE(frames[0][1], std::uint8_t(6));
        // 40000 and 2 pulses, little-endian
        QCOMPARE(Bytes(frames[0].begin() + 43, frames[0].begin() + 51),
                 (Bytes{0x40, 0x9C, 0, 0, 2, 0, 0, 0}));
        QCOMPARE(frames[1], (Bytes{0x0B, 0x03}));

        // Saved again, the form gives the profile back; the menu's own entries
        // load nothing, and the source combos send again.
        add(*w, QStringLiteral("copy"));
        QCOMPARE(store()->value(QStringLiteral("copy")).toString(), QLatin1String(kSample));
        QCOMPARE(FakeUsb::framesWritten(device).size(), std::size_t(2));
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(0);
        QCOMPARE(FakeUsb::framesWritten(device).size(), std::size_t(4));

        // A source code or time base without an entry (3; 7 and -1) leaves its
        // combo, and what the combo shows goes out; missing fields and
        // non-numbers read as 0.
        store()->setValue(QStringLiteral("odd"), "3|1|abc|5|||||||||||7|-1");
        FakeUsb::clearCalls();
        choose(*w, QStringLiteral("odd"));
        QCOMPARE(child<QComboBox>(*w, "sourceG1")->currentIndex(), 4);
        const std::vector<Bytes> odd = FakeUsb::framesWritten(device);
        QCOMPARE(odd.size(), std::size_t(2));
        QCOMPARE(odd[0][1], std::uint8_t(6));
        QCOMPARE(Bytes(odd[0].begin() + 51, odd[0].end()), (Bytes{2, 1})); // time bases
        add(*w, QStringLiteral("odd copy"));
        QCOMPARE(store()->value(QStringLiteral("odd copy")).toString(),
                 QStringLiteral("6|1|0|5|0|0|0|0|0|0|0|0|0|0|2|1"));
    }

    void loadingOverEthernetSendsResetAndSettingsOnce()
    {
        store()->setValue(QStringLiteral("sample"), kSample);
        auto w = newWindow();
        QVERIFY(EthernetWindow::connectTo(*w, QLatin1String(kSimAddress)));
        QTRY_COMPARE(w->statusBar()->currentMessage(), QStringLiteral("Command applied"));
        sim.clearLog();

        choose(*w, QStringLiteral("sample"));
        const QStringList expected = {
            QStringLiteral("/sg_run.shtml?reset1=1&reset2=1"),
            QStringLiteral(
                "/sg_hr_run.shtml?ts1=6&ts2=1&p1=12.5&p2=7.25&pn1=40000&pn2=2&ch1_st1=1"
                "&ch1_st2=5&ch1_et1=3&ch1_et2=11&ch2_st1=3&ch2_st2=7&ch2_et1=7&ch2_et2=15"
                "&freq1=2&freq2=1&save=1")};
        QTRY_COMPARE_WITH_TIMEOUT(sim.requestLog(), expected, 10000);
        QTRY_COMPARE(w->statusBar()->currentMessage(), QStringLiteral("Command applied"));
        QTest::qWait(300);
        QCOMPARE(sim.requestLog(), expected);
        // the reply leaves the loaded form as it is
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 40000);
    }

private:
    DxuSimServer sim;
};

DXU_TEST_MAIN(ProfilesTest)
#include "tst_profiles.moc"
