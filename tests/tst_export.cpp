// The settings export: the nineteen lines as a plain function, the file as
// written (encoding, replacement, failures that leave nothing behind), and
// the window's slot with its file dialog and its status-bar warning.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "persistence/export_text.h"
#include "support/file_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>

#include <csignal>
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

ExportedSettings sampleSettings()
{
    ExportedSettings s;
    ExportedGenerator &g1 = s.generator[0];
    g1.mode = QStringLiteral("Ext.Trig. High Level");
    g1.period = 1234.56789;
    g1.pulses = 131072;
    g1.delay[0] = 1;
    g1.width[0] = 3;
    g1.delay[1] = 2;
    g1.width[1] = 0.00002;
    g1.timeUnit = QStringLiteral("160 ns");
    ExportedGenerator &g2 = s.generator[1];
    g2.mode = QStringLiteral("Gen1 Slave");
    g2.period = 300000;
    g2.pulses = 40000;
    g2.delay[0] = 5;
    g2.width[0] = 6;
    g2.delay[1] = 7.5;
    g2.width[1] = 8;
    g2.timeUnit = QStringLiteral("40 ns");
    return s;
}

const char *const kSampleText = "DXU Settings: 127.0.0.43 (Sat Dec 5 2026 01:13:09)\r\n"
                                "Genarator#1:\r\n"
                                "Mode: Ext.Trig. High Level\r\n"
                                "Period: 1234.57\r\n"
                                "Pulses: 131072\r\n"
                                "Ch1 Delay: 1\r\n"
                                "Ch1 Width: 3\r\n"
                                "Ch2 Delay: 2\r\n"
                                "Ch2 Width: 2e-05\r\n"
                                "Time Unit: 160 ns\r\n"
                                "Genarator#2:\r\n"
                                "Mode: Gen1 Slave\r\n"
                                "Period: 300000\r\n"
                                "Pulses: 40000\r\n"
                                "Ch3 Delay: 5\r\n"
                                "Ch3 Width: 6\r\n"
                                "Ch4 Delay: 7.5\r\n"
                                "Ch4 Width: 8\r\n"
                                "Time Unit: 40 ns\r\n";

// Lines 2 to 19 of an export of the start-up form.
const char *const kStartUpBody = "Genarator#1:\r\n"
                                 "Mode: Software\r\n"
                                 "Period: 300\r\n"
                                 "Pulses: 1\r\n"
                                 "Ch1 Delay: 0\r\n"
                                 "Ch1 Width: 200\r\n"
                                 "Ch2 Delay: 0\r\n"
                                 "Ch2 Width: 200\r\n"
                                 "Time Unit: 20 ns\r\n"
                                 "Genarator#2:\r\n"
                                 "Mode: Software\r\n"
                                 "Period: 300\r\n"
                                 "Pulses: 1\r\n"
                                 "Ch3 Delay: 0\r\n"
                                 "Ch3 Width: 200\r\n"
                                 "Ch4 Delay: 0\r\n"
                                 "Ch4 Width: 200\r\n"
                                 "Time Unit: 20 ns\r\n";

QByteArray fileContent(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &name, const QByteArray &content)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QStringList filesIn(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// While it lives, no file of this process may grow past `bytes`: the next
// write fails with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved{};
    void (*previousHandler)(int) = SIG_DFL;
};

std::unique_ptr<dxu_gui> newWindow()
{
    auto window = std::make_unique<dxu_gui>();
    DxuGuiTestAccess::deviceIp(*window) = QLatin1String(kAddress);
    window->show();
    return window;
}

template <typename T> T *child(dxu_gui &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
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

const char *const kRedBold =
    "QStatusBar{padding-left:8px;background:rgba(0,0,0,0);color:rgb(255,0,0);font-weight:bold;}";
} // namespace

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FakeUsb::reset(); }

    void nineteenLinesByteForByte()
    {
        QCOMPARE(exportText(sampleSettings(), QLatin1String(kAddress), kWhen, QLocale::c()),
                 QLatin1String(kSampleText));
    }

    void theAddressIsWrittenAsTyped()
    {
        const QString text =
            exportText(sampleSettings(), QStringLiteral("%2 host"), kWhen, QLocale::c());
        QVERIFY(
            text.startsWith(QStringLiteral("DXU Settings: %2 host (Sat Dec 5 2026 01:13:09)\r\n")));
    }

    void theTimeStampNamesDayAndMonthInTheUsersLanguage()
    {
        QCOMPARE(exportTimeStamp(kWhen, QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("Sa. Dez. 5 2026 01:13:09"));
        // Names of the language, numbers in plain digits as always.
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        QCOMPARE(exportTimeStamp(kWhen, arabic), arabic.dayName(6, QLocale::ShortFormat) +
                                                     QLatin1Char(' ') +
                                                     arabic.monthName(12, QLocale::ShortFormat) +
                                                     QStringLiteral(" 5 2026 01:13:09"));
        QCOMPARE(exportTimeStamp(QDateTime(QDate(2027, 1, 17), QTime(23, 0, 5)), QLocale::c()),
                 QStringLiteral("Sun Jan 17 2027 23:00:05"));
    }

    void theFileHoldsExactlyTheText()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("settings.txt"));
        const QString text =
            exportText(sampleSettings(), QLatin1String(kAddress), kWhen, QLocale::c());
        QCOMPARE(writeExportFile(name, text), ExportWriteResult::Written);
        QCOMPARE(fileContent(name), QByteArray(kSampleText));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("settings.txt")});
    }

    void aSecondExportReplacesTheFirst()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("settings.txt"));
        QVERIFY(writeFile(name, QByteArray(4096, 'x')));
        QCOMPARE(writeExportFile(name, QStringLiteral("short\r\n")), ExportWriteResult::Written);
        QCOMPARE(fileContent(name), QByteArray("short\r\n"));
    }

    void aFileThatCannotBeOpenedIsNotCreated()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("no such folder/settings.txt"));
        QCOMPARE(writeExportFile(name, QStringLiteral("x\r\n")), ExportWriteResult::OpenFailed);
        QVERIFY(!QFile::exists(name));
        QVERIFY(filesIn(dir.path()).isEmpty());
        QCOMPARE(writeExportFile(dir.path(), QStringLiteral("x\r\n")),
                 ExportWriteResult::OpenFailed);
    }

    void aWriteErrorLeavesTheOldFileWhole()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("settings.txt"));
        QVERIFY(writeFile(name, "previous export\r\n"));
        const QString text =
            exportText(sampleSettings(), QLatin1String(kAddress), kWhen, QLocale::c());
        ExportWriteResult result;
        {
            FileSizeLimit limit(64);
            result = writeExportFile(name, text);
        }
        QCOMPARE(result, ExportWriteResult::WriteFailed);
        QCOMPARE(fileContent(name), QByteArray("previous export\r\n"));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("settings.txt")});
    }

    void theMenuExportsTheDisplayedSettings()
    {
        auto w = newWindow();
        const QString name = QDir::home().filePath(QStringLiteral("start-up.txt"));
        const SeenFileDialog dialog = exportThroughMenu(*w, name);
        QCOMPARE(dialog.caption, QStringLiteral("Select file to export DXU settings"));
        QCOMPARE(dialog.directory, QDir::homePath());
        QCOMPARE(dialog.nameFilters, QStringList{QStringLiteral("*.txt")});

        const QByteArray written = fileContent(name);
        const QRegularExpression header(
            QStringLiteral("^DXU Settings: 127\\.0\\.0\\.43 \\(\\S+ \\S+ \\d{1,2} \\d{4} "
                           "\\d\\d:\\d\\d:\\d\\d\\)\r\n"));
        QVERIFY2(header.match(QString::fromLocal8Bit(written)).hasMatch(), written.constData());
        QVERIFY(written.endsWith(kStartUpBody));
        QCOMPARE(written.count("\r\n"), 19);
        QCOMPARE(written.count('\n'), 19);
        QVERIFY(w->statusBar()->styleSheet().isEmpty());
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Ready"));
    }

    void boxesAreWrittenAsDisplayed()
    {
        auto w = newWindow();
        child<QDoubleSpinBox>(*w, "periodG2")->setValue(1234.56789);
        child<QSpinBox>(*w, "pulsesG1")->setValue(131072);
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(4);
        child<QComboBox>(*w, "timeUnitG2")->setCurrentIndex(3);
        const QString name = QDir::home().filePath(QStringLiteral("edited.txt"));
        exportThroughMenu(*w, name);
        const QList<QByteArray> lines = fileContent(name).split('\n');
        QCOMPARE(lines.value(2), QByteArray("Mode: Ext.Trig. High Level\r"));
        QCOMPARE(lines.value(4), QByteArray("Pulses: 131072\r"));
        QCOMPARE(lines.value(12), QByteArray("Period: 1234.57\r"));
        QCOMPARE(lines.value(18), QByteArray("Time Unit: 160 ns\r"));
    }

    void microsecondsAreWrittenAsShown()
    {
        auto w = newWindow();
        child<QAction>(*w, "actionMicroseconds")->trigger();
        const QString name = QDir::home().filePath(QStringLiteral("micro.txt"));
        exportThroughMenu(*w, name);
        const QList<QByteArray> lines = fileContent(name).split('\n');
        QCOMPARE(lines.value(3), QByteArray("Period: 300000\r"));
        QCOMPARE(lines.value(6), QByteArray("Ch1 Width: 200000\r"));
        QCOMPARE(lines.value(12), QByteArray("Period: 300000\r"));
    }

    void overUsbTheHeaderStillNamesTheAddress()
    {
        FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        auto w = newWindow();
        child<QAction>(*w, "actionUSB")->trigger();
        QVERIFY(DxuGuiTestAccess::usbConnected(*w));
        const QString name = QDir::home().filePath(QStringLiteral("usb.txt"));
        exportThroughMenu(*w, name);
        QVERIFY(fileContent(name).startsWith("DXU Settings: 127.0.0.43 ("));
    }

    void exportingTwiceKeepsOnlyTheSecond()
    {
        auto w = newWindow();
        const QString name = QDir::home().filePath(QStringLiteral("twice.txt"));
        exportThroughMenu(*w, name);
        child<QSpinBox>(*w, "pulsesG2")->setValue(77);
        {
            MessageBoxWatcher replaceIt(clickYes);
            exportThroughMenu(*w, name);
        }
        const QByteArray written = fileContent(name);
        QCOMPARE(written.count("DXU Settings:"), 1);
        QCOMPARE(written.split('\n').value(13), QByteArray("Pulses: 77\r"));
        QCOMPARE(written.count('\n'), 19);
    }

    void aCancelledDialogShowsAndWritesNothing()
    {
        auto w = newWindow();
        const QStringList before = filesIn(QDir::homePath());
        MessageBoxWatcher boxes;
        const SeenFileDialog dialog = exportThroughMenu(*w, std::nullopt);
        QCOMPARE(dialog.caption, QStringLiteral("Select file to export DXU settings"));
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Ready"));
        QVERIFY(w->statusBar()->styleSheet().isEmpty());
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(filesIn(QDir::homePath()), before);
    }

    void anUnwritablePathWarnsAndCreatesNothing()
    {
        auto w = newWindow();
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("missing/settings.txt"));
        exportThroughMenu(*w, name);
        QCOMPARE(w->statusBar()->currentMessage(),
                 QStringLiteral("Warning: Can't open file for writing."));
        QCOMPARE(w->statusBar()->styleSheet(), QLatin1String(kRedBold));
        QVERIFY(filesIn(dir.path()).isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing"))));
    }

    void aWriteErrorIsNotPassedOffAsSuccess()
    {
        auto w = newWindow();
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("settings.txt"));
        QVERIFY(writeFile(name, "previous export\r\n"));
        {
            MessageBoxWatcher replaceIt(clickYes);
            FileSizeLimit limit(64);
            exportThroughMenu(*w, name);
        }
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Warning: Can't write file."));
        QCOMPARE(w->statusBar()->styleSheet(), QLatin1String(kRedBold));
        QCOMPARE(fileContent(name), QByteArray("previous export\r\n"));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("settings.txt")});
    }

    void theWarningStyleGoesWithTheWarning()
    {
        auto w = newWindow();
        QTemporaryDir dir;
        const QString unwritable = dir.filePath(QStringLiteral("missing/settings.txt"));
        QStatusBar *bar = w->statusBar();

        exportThroughMenu(*w, unwritable);
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        bar->showMessage(QStringLiteral("Command applied"), 1000);
        QVERIFY(bar->styleSheet().isEmpty());

        // A warning left alone loses its style when its time is up.
        exportThroughMenu(*w, unwritable);
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        QTRY_VERIFY_WITH_TIMEOUT(bar->currentMessage().isEmpty(), 15000);
        QVERIFY(bar->styleSheet().isEmpty());

        // Two warnings in a row keep the style until something else is shown.
        exportThroughMenu(*w, unwritable);
        exportThroughMenu(*w, unwritable);
        QCOMPARE(bar->styleSheet(), QLatin1String(kRedBold));
        bar->showMessage(QStringLiteral("Error"), 1000);
        QVERIFY(bar->styleSheet().isEmpty());
    }
};

DXU_TEST_MAIN(ExportTest)
#include "tst_export.moc"
