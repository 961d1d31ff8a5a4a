// The command line of dxu-panel and dxu-sim, and connecting at start: the
// programs as a user runs them, and the window's start links with the
// feedback it gives while it waits.
#include "app/dxu_gui.h"
#include "fakeusb/fake_usb.h"
#include "sim/dxu_sim_server.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QLabel>
#include <QProcess>
#include <QStatusBar>

namespace {

const QString kSimAddress = QStringLiteral("127.0.0.71");
const QString kSilentAddress = QStringLiteral("127.0.0.72");

QString program(const char *relativePath)
{
    return QStringLiteral(DXU_BINARY_DIR "/") + QLatin1String(relativePath);
}

QString connectionLabel(dxu_gui &window)
{
    return window.findChild<QLabel *>(QStringLiteral("dev_status"))->text();
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim;
    DxuSimServer silent;

private slots:
    void initTestCase()
    {
        silent.setSilent(true);
        QVERIFY2(sim.start(QHostAddress(kSimAddress)), qPrintable(sim.errorString()));
        QVERIFY2(silent.start(QHostAddress(kSilentAddress)), qPrintable(silent.errorString()));
    }

    void printsAndRefuses_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        const QString panel = program("app/dxu-panel");
        const QString simulator = program("sim/dxu-sim");
        QTest::newRow("panel version")
            << panel << QStringList{"--version"} << 0 << "dxu-panel 1.5.5";
        QTest::newRow("panel help")
            << panel << QStringList{"--help"} << 0 << "--ethernet <address>  Connect over Ethernet";
        QTest::newRow("both links") << panel << QStringList{"--usb", "--ethernet", kSimAddress} << 1
                                    << "--usb and --ethernet exclude each other";
        QTest::newRow("blank address")
            << panel << QStringList{"--ethernet", " "} << 1 << "--ethernet needs an address";
        QTest::newRow("stray argument")
            << panel << QStringList{kSimAddress} << 1 << "unexpected argument: " + kSimAddress;
        QTest::newRow("unknown option")
            << panel << QStringList{"--serial"} << 1 << "Unknown option 'serial'";
        QTest::newRow("sim help") << simulator << QStringList{"--help"} << 0 << "--model <2|3>";
        QTest::newRow("sim version")
            << simulator << QStringList{"--version"} << 0 << "dxu-sim 1.5.5";
    }

    void printsAndRefuses()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString printed = QString::fromLocal8Bit(process.readAll());
        QVERIFY2(printed.contains(output), qPrintable(printed));
    }

    // The program itself, started with --ethernet, probes the address.
    void panelProbesTheAddressAtStart()
    {
        sim.clearLog();
        QProcess panel;
        panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        panel.start(program("app/dxu-panel"), {"--ethernet", kSimAddress});
        const bool probed = QTest::qWaitFor([this] { return !sim.requestLog().isEmpty(); }, 20000);
        panel.kill();
        panel.waitForFinished();
        QVERIFY(probed);
        QCOMPARE(sim.requestLog().first(), QStringLiteral("/sg_hr_setup2.shtml"));
    }

    // A silent address: "Connecting to …" and a busy cursor while the panel
    // waits, then the menu's failure box; the reply's own message stays.
    void ethernetAtStartWaitsVisiblyThenReports()
    {
        MessageBoxWatcher boxes;
        dxu_gui window;
        window.connectEthernetAtStart(kSilentAddress);
        QTRY_COMPARE(window.statusBar()->currentMessage(), "Connecting to " + kSilentAddress + "…");
        QTRY_VERIFY(QApplication::overrideCursor() &&
                    QApplication::overrideCursor()->shape() == Qt::BusyCursor);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 10000);
        QVERIFY(boxes.last().text.contains(kSilentAddress));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Error"));
        QCOMPARE(connectionLabel(window), QStringLiteral("Disconnected"));

        window.connectEthernetAtStart(kSimAddress);
        QTRY_COMPARE(connectionLabel(window), kSimAddress + " (DXU3)");
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Command applied"));
    }

    void usbAtStart()
    {
        FakeUsb::reset();
        FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        dxu_gui window;
        window.connectUsbAtStart();
        QCOMPARE(connectionLabel(window), QStringLiteral("USB connected DXU2"));
        QVERIFY(window.findChild<QAction *>(QStringLiteral("actionUSB"))->isChecked());
    }
};

DXU_TEST_MAIN(CommandLineTest)
#include "tst_command_line.moc"
