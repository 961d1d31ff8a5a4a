// What the panel keeps on disk. The profile value (sixteen fields joined by
// "|"); the Profiles menu: saving the form under a name (the name checks, the
// limit of ten, overwriting), deleting, listing, the store's failures, and
// loading a profile into the form, which programs the instrument once over
// the link in use; and the settings export with its file dialog, its failures
// and its status-bar warning.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "persistence/export_text.h"
#include "persistence/profile_store.h"
#include "persistence/profile_value.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/file_dialogs.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"
#include "support/window_access.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QSettings>
#include <QStatusBar>

#include <csignal>
#include <functional>
#include <memory>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

using FakeUsb::Bytes;

namespace {
const char *const kSimAddress = "127.0.0.41";
const char *const kStartUp = "0|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0";
// Sources "Ext.Trig. High Level" and "Gen1 Slave", periods 12.5 and 7.25 ms,
// 40000 and 2 pulses, delays and widths 1 to 8 ms, time bases 80 and 40 ns.
const char *const kSample = "6|1|12.5|7.25|40000|2|1|2|3|4|5|6|7|8|2|1";
const QDateTime kWhen(QDate(2026, 12, 5), QTime(1, 13, 9));
const char *const kRedBold =
    "QStatusBar{padding-left:8px;background:rgba(0,0,0,0);color:rgb(255,0,0);font-weight:bold;}";

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

// Never the default address: tests talk to loopback only, and nothing listens
// on this one. With `usbDevice`, connected through the Connection menu to a
// simulated USB DXU2.
std::unique_ptr<dxu_gui> newWindow(int *usbDevice = nullptr)
{
    auto window = std::make_unique<dxu_gui>();
    DxuGuiTestAccess::deviceIp(*window) = QStringLiteral("127.0.0.43");
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
    menu(w)->actions().at(3 + listed(w).indexOf(name))->trigger();
}

// Triggers the action and answers its dialogs in turn (std::nullopt cancels).
void run(dxu_gui &w, const char *action, const QList<std::optional<QString>> &answers)
{
    InputDialogAnswerer answerer(answers);
    child(w, action)->trigger();
}

void add(dxu_gui &w, const QString &name) { run(w, "actionAdd_Profile", {name}); }

QString stored(const char *name) { return store()->value(QLatin1String(name)).toString(); }

QByteArray fileContent(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

#ifndef Q_OS_WIN // which limits no file's size
QStringList filesIn(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Runs `job` while no file of this process may grow past 64 bytes: a write
// fails with EFBIG, as on a full disk.
void onAFullDisk(const std::function<void()> &job)
{
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited{64, saved.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    job();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
}
#endif

// Runs the export through its menu action, answering the file dialog with
// `fileName` (std::nullopt cancels it).
SeenFileDialog exportThroughMenu(dxu_gui &w, const std::optional<QString> &fileName)
{
    FileDialogAnswerer answerer({fileName});
    child(w, "actionExport_current_settings")->trigger();
    return answerer.last();
}

} // namespace

class ProfilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FakeUsb::reset();
        std::unique_ptr<QSettings>(SettingsStore::openMainSettings())->clear();
    }

    // Read and written again: what the parser made of every field.
    void profileValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        QTest::newRow("empty, letters, reals where integers belong, more than sixteen")
            << QStringLiteral("1.5|0x2|2e3||abc|7|x|1|1|1|1|1|1|1|1e1|2|99|abc")
            << QStringLiteral("0|0|2000|0|0|7|0|1|1|1|1|1|1|1|0|2");
        QTest::newRow("no numbers a box can hold")
            << QStringLiteral("2|1|nan|inf|0|0|-inf|1e400|0|0|0|0|0|0|0|0")
            << QStringLiteral("2|1|0|0|0|0|0|0|0|0|0|0|0|0|0|0");
    }

    void profileValue()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        QCOMPARE(formatProfileValue(parseProfileValue(text)), read);
    }

    // The file's first line: the address as typed (a placeholder in it too),
    // and the time stamp with day and month in the user's language, the
    // numbers in plain digits as always. The other lines: savingAndExportingTheForm.
    void exportHeader()
    {
        const QString text = exportText({}, QStringLiteral("%2 host"), kWhen, QLocale::c());
        QCOMPARE(text.left(text.indexOf(QLatin1Char('\r'))),
                 QStringLiteral("DXU Settings: %2 host (Sat Dec 5 2026 01:13:09)"));
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        QCOMPARE(exportTimeStamp(kWhen, arabic),
                 QStringLiteral("%1 %2 5 2026 01:13:09")
                     .arg(arabic.dayName(6, QLocale::ShortFormat),
                          arabic.monthName(12, QLocale::ShortFormat)));
    }

    // Over USB, in microseconds: the profile holds milliseconds, the export
    // what the form shows. A cancelled export does nothing; then exported
    // twice to the same file, once more on a full disk, and to a folder that
    // is not there: warnings in red until something else is shown or their
    // time is up.
    void savingAndExportingTheForm()
    {
        int device = -1;
        auto w = newWindow(&device);
        QStatusBar *bar = w->statusBar();
        add(*w, QStringLiteral("start"));
        QCOMPARE(stored("start"), QLatin1String(kStartUp));
        child(*w, "actionMicroseconds")->trigger();
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(3); // code 4
        child<QDoubleSpinBox>(*w, "periodG1")->setValue(1500);
        child<QDoubleSpinBox>(*w, "periodG2")->setValue(1234.56789);
        child<QSpinBox>(*w, "pulsesG1")->setValue(131072);
        child<QComboBox>(*w, "timeUnitG2")->setCurrentIndex(3);
        child<QDoubleSpinBox>(*w, "g2c1start")->setValue(3);
        child<QDoubleSpinBox>(*w, "g2c2stop")->setValue(250);
        add(*w, QStringLiteral("micro"));
        QCOMPARE(stored("micro"),
                 QStringLiteral("4|0|1.5|1.23457|131072|1|0|200|0|200|0.003|200|0|0.25|0|3"));

        // The file dialog itself asks before it replaces a file: the operator agrees.
        MessageBoxWatcher replaceIt(
            [](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
        const QString shown = bar->currentMessage();
        QCOMPARE(exportThroughMenu(*w, std::nullopt).caption,
                 QStringLiteral("Select file to export DXU settings"));
        QCOMPARE(bar->currentMessage(), shown);
        const QString name = QDir::home().filePath(QStringLiteral("settings.txt"));
        exportThroughMenu(*w, name);
        child<QSpinBox>(*w, "pulsesG2")->setValue(77);
        exportThroughMenu(*w, name);
        QCOMPARE(replaceIt.count(), 1);
        const QByteArray written = fileContent(name);
        QVERIFY(written.startsWith("DXU Settings: 127.0.0.43 ("));
        QCOMPARE(written.mid(written.indexOf('\n') + 1),
                 QByteArray("Genarator#1:\r\nMode: Ext.Trig. Lowering Edge\r\nPeriod: 1500\r\n"
                            "Pulses: 131072\r\nCh1 Delay: 0\r\nCh1 Width: 200000\r\n"
                            "Ch2 Delay: 0\r\nCh2 Width: 200000\r\nTime Unit: 20 ns\r\n"
                            "Genarator#2:\r\nMode: Software\r\nPeriod: 1234.57\r\nPulses: 77\r\n"
                            "Ch3 Delay: 3\r\nCh3 Width: 200000\r\n"
                            "Ch4 Delay: 0\r\nCh4 Width: 250\r\nTime Unit: 160 ns\r\n"));
        QVERIFY(bar->styleSheet().isEmpty());

        // A write error is no success, and leaves the last export whole.
#ifndef Q_OS_WIN // no full disk to be had there
        const QStringList files = filesIn(QDir::homePath());
        onAFullDisk([&] { exportThroughMenu(*w, name); });
        QCOMPARE(bar->currentMessage(), "Warning: Can't write file. " + name + ": File too large");
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        QCOMPARE(fileContent(name), written);
        QCOMPARE(filesIn(QDir::homePath()), files);
#endif

        // Warnings in a row, another or the same, keep the style.
        QTemporaryDir dir;
        const QString unwritable = dir.filePath(QStringLiteral("missing/settings.txt"));
        exportThroughMenu(*w, unwritable);
        exportThroughMenu(*w, unwritable);
        QCOMPARE(bar->currentMessage(), "Warning: Can't open file for writing. " +
                                            QDir::toNativeSeparators(unwritable) + ": " +
                                            TestSupport::writeFailure(unwritable));
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        QVERIFY(QDir(dir.path()).isEmpty());
        bar->showMessage(QStringLiteral("Command applied"), 1000);
        QVERIFY(bar->styleSheet().isEmpty());
        exportThroughMenu(*w, unwritable); // left alone, it loses its style when its time is up
        QTRY_VERIFY_WITH_TIMEOUT(bar->currentMessage().isEmpty(), 15000);
        QVERIFY(bar->styleSheet().isEmpty());
    }

    // A name is asked again until the store can keep it; an existing name is
    // replaced only on Yes, its entry moving to the end; ten entries (those
    // stored before included) refuse even an existing name.
    void addingAProfile()
    {
        for (int i = 0; i < 7; ++i)
            store()->setValue(QStringLiteral("p%1").arg(i), kStartUp);
        auto w = newWindow();
        openMenu(*w);
        child<QSpinBox>(*w, "pulsesG1")->setValue(5);
        add(*w, QStringLiteral("<i>R&D"));
        child<QSpinBox>(*w, "pulsesG1")->setValue(6);
        QMessageBox::StandardButton answer = QMessageBox::No;
        MessageBoxWatcher boxes([&](QMessageBox *box) {
            QAbstractButton *button = box->button(answer);
            (button ? button : box->buttons().first())->click();
        });
        // the last differs only in case: a new name, where the store tells
        // case apart; Windows' stores do not (the registry, QSettings' files
        // there), so a name differing otherwise stands in for it
        const QString other = QSysInfo::productType() == "windows" ? "<i>R&D 2" : "<i>r&d";
        run(*w, "actionAdd_Profile", {QString(), "a/b", "c\\d", other});
        QCOMPARE(boxes.count(), 3);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Profile name should not be empty!"));
        for (int i : {1, 2})
            QCOMPARE(boxes.seen()[i].text,
                     QStringLiteral("Profile name should not contain \"/\" or \"\\\"!"));
        QVERIFY(store()->childGroups().isEmpty());

        add(*w, QStringLiteral("<i>R&D"));
        QCOMPARE(boxes.count(), 4);
        QCOMPARE(boxes.last().text, // the name as typed, not as markup
                 QStringLiteral("Profile with name <b>&lt;i&gt;R&amp;D</b> is already "
                                "exist!<br>Overwrite it?"));
        QCOMPARE(stored("<i>R&D").split(QLatin1Char('|')).value(4), QStringLiteral("5"));
        QCOMPARE(listed(*w).mid(7), (QStringList{"<i>R&D", other}));
        answer = QMessageBox::Yes;
        add(*w, QStringLiteral("<i>R&D"));
        QCOMPARE(stored("<i>R&D").split(QLatin1Char('|')).value(4), QStringLiteral("6"));
        QCOMPARE(listed(*w).mid(7), (QStringList{other, "<i>R&D"}));

        add(*w, QStringLiteral("tenth"));
        add(*w, QStringLiteral("p3"));
        QCOMPARE(boxes.count(), 6);
        QCOMPARE(boxes.last().text, QStringLiteral("Only 10 DXU profiles could be created!"));
        QCOMPARE(stored("p3"), QLatin1String(kStartUp));
        QCOMPARE(store()->childKeys().size(), 10);
    }

    // The store is shared with the next run of the panel and with other
    // running ones: names it writes in an escaped form come back exactly as
    // typed, and the menu lists what another panel wrote.
    void theStoreIsSharedWithOtherPanels()
    {
        auto w = newWindow();
        QStringList names = {"kept",      " blanks ", "a=b;c",
                             "[General]", "#hash",    QStringLiteral("Größe 日本 100% \"q\"")};
        child<QSpinBox>(*w, "pulsesG2")->setValue(42);
        for (const QString &name : names)
            add(*w, name);
        // read through a copy, so that no cache of this process can answer
        QTemporaryDir dir;
        QVERIFY(QFile::copy(store()->fileName(), dir.filePath(QStringLiteral("copy"))));
        QSettings disk(dir.filePath(QStringLiteral("copy")), QSettings::IniFormat);
        disk.beginGroup(QLatin1String(SettingsStore::ProfilesGroup));
        names.sort();
        QCOMPARE(disk.childKeys(), names);
        QCOMPARE(disk.value(QStringLiteral("kept")).toString(),
                 QStringLiteral("0|0|300|300|1|42|0|200|0|200|0|200|0|200|0|0"));

        // Another running panel writes the store's file behind this one's back.
        QFile file(store()->fileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Profiles]\nalpha=0\nfrom%20elsewhere=0\nzeta=0\n");
        file.close();
        openMenu(*w);
        openMenu(*w);
        QCOMPARE(listed(*w), (QStringList{"alpha", "from elsewhere", "zeta"}));
        for (const char *name : {"from elsewhere", "zeta", "alpha"}) {
            run(*w, "actionDelete_Profile", {QLatin1String(name)});
            QVERIFY(!store()->childKeys().contains(QLatin1String(name)));
            QCOMPARE(listed(*w), store()->childKeys()); // the others stay
        }
        MessageBoxWatcher boxes;
        child(*w, "actionDelete_Profile")->trigger();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().text, QStringLiteral("Nothing to delete!"));

        // A crowded store: the menu offers ten and counts the rest.
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[Profiles]\n"));
        for (int i = 0; i < 5000; ++i)
            file.write(QByteArray::number(10000 + i) + "=0\n");
        file.close();
        openMenu(*w);
        openMenu(*w);
        QCOMPARE(listed(*w).size(), 11);
        QCOMPARE(menu(*w)->actions().last()->text(),
                 QStringLiteral("4990 more profiles not shown"));
        QVERIFY(!menu(*w)->actions().last()->isEnabled());
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
        // A change the store reads back otherwise (a name it takes for a path) is not kept.
        QCOMPARE(ProfileStore::save("a/b", kSample, 10, false).status,
                 ProfileStore::Status::NotKept);
        // One that cannot be parsed whole is left as it is.
        const QByteArray broken("[Profiles]\nsaved=0\n]\n");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(broken) && out.flush());
        add(*w, QStringLiteral("more"));
        QCOMPARE(boxes.count(), 3);
        QVERIFY(boxes.last().text.contains(QLatin1String("cannot be parsed whole (line 3)")));
        QCOMPARE(fileContent(file), broken);
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
        QVERIFY(!child(*w, "actionMicroseconds")->isChecked()); // the display ends in ms

        // settings (source 6; 40000 and 2 pulses, little-endian), then reset
        // of both generators: once
        const std::vector<Bytes> frames = FakeUsb::framesWritten(device);
        QCOMPARE(frames.size(), std::size_t(2));
        QCOMPARE(frames[0][1], std::uint8_t(6));
        QCOMPARE(Bytes(frames[0].begin() + 43, frames[0].begin() + 51),
                 (Bytes{0x40, 0x9C, 0, 0, 2, 0, 0, 0}));
        QCOMPARE(frames[1], (Bytes{0x0B, 0x03}));

        // Saved again, the form gives the profile back; the menu's own entries
        // load nothing, and the source combos send again.
        add(*w, QStringLiteral("copy"));
        QCOMPARE(stored("copy"), QLatin1String(kSample));
        QCOMPARE(FakeUsb::framesWritten(device).size(), std::size_t(2));
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(0);
        QCOMPARE(FakeUsb::framesWritten(device).size(), std::size_t(4));

        // A source code or time base without an entry (3; 4 and -1) leaves its
        // combo, and what the combo shows goes out; missing fields and
        // non-numbers read as 0.
        store()->setValue(QStringLiteral("odd"), "3|1|abc|5|||||||||||4|-1");
        FakeUsb::clearCalls();
        choose(*w, QStringLiteral("odd"));
        const std::vector<Bytes> odd = FakeUsb::framesWritten(device);
        QCOMPARE(odd.size(), std::size_t(2));
        QCOMPARE(Bytes(odd[0].begin() + 51, odd[0].end()), (Bytes{2, 1})); // time bases
        add(*w, QStringLiteral("odd copy"));
        QCOMPARE(stored("odd copy"), QStringLiteral("6|1|0|5|0|0|0|0|0|0|0|0|0|0|2|1"));

        // A period its time base cannot count: the form shows the profile,
        // nothing is sent, and the box says both.
        store()->setValue(QStringLiteral("long"), "0|0|5000|300|1|1|0|200|0|200|0|200|0|200|0|0");
        FakeUsb::clearCalls();
        MessageBoxWatcher boxes;
        choose(*w, QStringLiteral("long"));
        QTRY_COMPARE(boxes.count(), 1);
        QVERIFY(boxes.last().text.contains("shown in the panel, but nothing was sent"));
        QCOMPARE(FakeUsb::framesWritten(device).size(), std::size_t(0));
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG1")->value(), 5000.0);
    }

    void loadingOverEthernetSendsResetAndSettingsOnce()
    {
        DxuSimServer sim;
        QVERIFY2(sim.start(QHostAddress(QLatin1String(kSimAddress)), 80),
                 qPrintable(sim.errorString()));
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

        // A store that cannot be parsed whole does not take the address.
        const QByteArray broken("[General]\nLAST_DXU_IP=\"10.0.0.5\n[Profiles]\nsample=0\n");
        QFile file(store()->fileName());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(broken) && file.flush());
        EthernetWindow::disconnectEthernet(*w);
        QVERIFY(EthernetWindow::connectTo(*w, QLatin1String(kSimAddress)));
        QCOMPARE(fileContent(file.fileName()), broken);
    }
};

DXU_TEST_MAIN(ProfilesTest)
#include "tst_profiles.moc"
