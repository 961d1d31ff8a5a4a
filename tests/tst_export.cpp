// The settings export: the nineteen lines as a plain function, and the
// window's slot with its file dialog, its failures and its status-bar warning.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "persistence/export_text.h"
#include "support/file_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QStatusBar>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

struct DxuGuiTestAccess
{
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static bool usbConnected(dxu_gui &w) { return w.usbConnected; }
};

namespace {
const char *const kAddress = "127.0.0.43";
const QDateTime kWhen(QDate(2026, 12, 5), QTime(1, 13, 9));
const char *const kRedBold =
    "QStatusBar{padding-left:8px;background:rgba(0,0,0,0);color:rgb(255,0,0);font-weight:bold;}";

QByteArray fileContent(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

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
    rlimit limited = saved;
    limited.rlim_cur = 64;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    job();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
}

template <typename T> T *child(dxu_gui &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

std::unique_ptr<dxu_gui> newWindow()
{
    auto window = std::make_unique<dxu_gui>();
    DxuGuiTestAccess::deviceIp(*window) = QLatin1String(kAddress);
    window->show();
    return window;
}

// Runs the export through its menu action, answering the file dialog with
// `fileName` (std::nullopt cancels it).
SeenFileDialog exportThroughMenu(dxu_gui &w, const std::optional<QString> &fileName)
{
    FileDialogAnswerer answerer({fileName});
    child<QAction>(w, "actionExport_current_settings")->trigger();
    return answerer.last();
}

// The file dialog itself asks before it replaces a file: the operator agrees.
void clickYes(QMessageBox *box) { box->button(QMessageBox::Yes)->click(); }
} // namespace

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FakeUsb::reset(); }

    void nineteenLinesByteForByte()
    {
        ExportedSettings s;
        s.generator[0] = {"Ext.Trig. High Level", 1234.56789, 131072, {1, 2}, {3, 2e-05}, "160 ns"};
        s.generator[1] = {"Gen1 Slave", 300000, 40000, {5, 7.5}, {6, 8}, "40 ns"};
        QCOMPARE(
            exportText(s, QLatin1String(kAddress), kWhen, QLocale::c()),
            QStringLiteral("DXU Settings: 127.0.0.43 (Sat Dec 5 2026 01:13:09)\r\n"
                           "Genarator#1:\r\nMode: Ext.Trig. High Level\r\n"
                           "Period: 1234.57\r\nPulses: 131072\r\n"
                           "Ch1 Delay: 1\r\nCh1 Width: 3\r\nCh2 Delay: 2\r\nCh2 Width: 2e-05\r\n"
                           "Time Unit: 160 ns\r\n"
                           "Genarator#2:\r\nMode: Gen1 Slave\r\nPeriod: 300000\r\nPulses: 40000\r\n"
                           "Ch3 Delay: 5\r\nCh3 Width: 6\r\nCh4 Delay: 7.5\r\nCh4 Width: 8\r\n"
                           "Time Unit: 40 ns\r\n"));
        // An address with a placeholder in it is written as typed.
        QVERIFY(exportText(s, QStringLiteral("%2 host"), kWhen, QLocale::c())
                    .startsWith(QStringLiteral("DXU Settings: %2 host (Sat Dec 5 2026 01:13:09)")));
        // The time stamp names day and month in the user's language, the
        // numbers in plain digits as always.
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        QCOMPARE(exportTimeStamp(kWhen, arabic),
                 QStringLiteral("%1 %2 5 2026 01:13:09")
                     .arg(arabic.dayName(6, QLocale::ShortFormat),
                          arabic.monthName(12, QLocale::ShortFormat)));
    }

    // Over USB, in microseconds, exported twice to the same file, then once
    // more on a full disk.
    void theMenuExportsTheDisplayedSettings()
    {
        FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        auto w = newWindow();
        child<QAction>(*w, "actionUSB")->trigger();
        QVERIFY(DxuGuiTestAccess::usbConnected(*w));
        child<QAction>(*w, "actionMicroseconds")->trigger();
        child<QDoubleSpinBox>(*w, "periodG2")->setValue(1234.56789);
        child<QSpinBox>(*w, "pulsesG1")->setValue(131072);
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(4);
        child<QComboBox>(*w, "timeUnitG2")->setCurrentIndex(3);
        child<QDoubleSpinBox>(*w, "g2c1start")->setValue(3);
        const QString name = QDir::home().filePath(QStringLiteral("settings.txt"));
        exportThroughMenu(*w, name);
        child<QSpinBox>(*w, "pulsesG2")->setValue(77);
        MessageBoxWatcher replaceIt(clickYes);
        exportThroughMenu(*w, name);

        const QByteArray written = fileContent(name);
        QVERIFY(written.startsWith("DXU Settings: 127.0.0.43 ("));
        QCOMPARE(written.mid(written.indexOf('\n') + 1),
                 QByteArray("Genarator#1:\r\nMode: Ext.Trig. High Level\r\nPeriod: 300000\r\n"
                            "Pulses: 131072\r\nCh1 Delay: 0\r\nCh1 Width: 200000\r\n"
                            "Ch2 Delay: 0\r\nCh2 Width: 200000\r\nTime Unit: 20 ns\r\n"
                            "Genarator#2:\r\nMode: Software\r\nPeriod: 1234.57\r\nPulses: 77\r\n"
                            "Ch3 Delay: 3\r\nCh3 Width: 200000\r\n"
                            "Ch4 Delay: 0\r\nCh4 Width: 200000\r\nTime Unit: 160 ns\r\n"));
        QVERIFY(w->statusBar()->styleSheet().isEmpty());

        // A write error is no success, and leaves the last export whole.
        const QStringList files = filesIn(QDir::homePath());
        onAFullDisk([&] { exportThroughMenu(*w, name); });
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Warning: Can't write file."));
        QCOMPARE(w->statusBar()->styleSheet(), QLatin1String(kRedBold));
        QCOMPARE(fileContent(name), written);
        QCOMPARE(filesIn(QDir::homePath()), files);
    }

    void aCancelledDialogShowsAndWritesNothing()
    {
        auto w = newWindow();
        const QStringList before = filesIn(QDir::homePath());
        MessageBoxWatcher boxes;
        QCOMPARE(exportThroughMenu(*w, std::nullopt).caption,
                 QStringLiteral("Select file to export DXU settings"));
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Ready"));
        QVERIFY(w->statusBar()->styleSheet().isEmpty());
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(filesIn(QDir::homePath()), before);
    }

    void anUnwritablePathWarnsInRedUntilTheWarningGoes()
    {
        auto w = newWindow();
        QTemporaryDir dir;
        const QString unwritable = dir.filePath(QStringLiteral("missing/settings.txt"));
        QStatusBar *bar = w->statusBar();

        exportThroughMenu(*w, unwritable);
        QCOMPARE(bar->currentMessage(), QStringLiteral("Warning: Can't open file for writing."));
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        QVERIFY(QDir(dir.path()).isEmpty());
        bar->showMessage(QStringLiteral("Command applied"), 1000);
        QVERIFY(bar->styleSheet().isEmpty());

        // A warning left alone loses its style when its time is up.
        exportThroughMenu(*w, unwritable);
        QTRY_VERIFY_WITH_TIMEOUT(bar->currentMessage().isEmpty(), 15000);
        QVERIFY(bar->styleSheet().isEmpty());

        // Warnings in a row, the same or another, keep the style until
        // something else is shown.
        exportThroughMenu(*w, unwritable);
        exportThroughMenu(*w, unwritable);
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        onAFullDisk([&] { exportThroughMenu(*w, dir.filePath(QStringLiteral("full.txt"))); });
        QCOMPARE(bar->currentMessage(), QStringLiteral("Warning: Can't write file."));
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        bar->showMessage(QStringLiteral("Error"), 1000);
        QVERIFY(bar->styleSheet().isEmpty());
    }
};

DXU_TEST_MAIN(ExportTest)
#include "tst_export.moc"
