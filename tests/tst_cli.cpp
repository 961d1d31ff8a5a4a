// dxu-cli against the simulated instruments: what each command sends on both
// links, what it prints, and its exit status when the instrument is silent,
// refuses, answers 500 or something else, or a USB transfer fails.
#include "app/dxu_gui.h"
#include "cli/dxu_cli.h"
#include "device/entry_texts.h"
#include "device/record_ranges.h"
#include "fakeusb/fake_usb.h"
#include "persistence/profile_store.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/test_support.h"

#include <libusb.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

namespace {
const QString kSim = QStringLiteral("127.0.0.40");
const QString kSimDxu2 = QStringLiteral("127.0.0.41");
const QString kSilent = QStringLiteral("127.0.0.42");
const QString kNobody = QStringLiteral("127.0.0.43"); // connections refused
const QString k500 = QStringLiteral("127.0.0.44");
const QString kRouter = QStringLiteral("127.0.0.45"); // 200, but not the instrument's pages

const QString kSettings = QStringLiteral(
    "/sg_hr_run.shtml?ts1=0&ts2=%1&p1=%2&p2=300&pn1=1&pn2=1&ch1_st1=0&ch1_st2=0&ch1_et1=%3"
    "&ch1_et2=200&ch2_st1=0&ch2_st2=0&ch2_et1=200&ch2_et2=200&freq1=0&freq2=0");
const QString kStartUp = kSettings.arg(0).arg(300).arg(200);
// The profile stored as "bench", and the query that programs it.
const char *const kBench = "2|1|100|50|3|4|1|2|3|4|5|6|7|8|1|2";
const QString kBenchQuery = QStringLiteral(
    "/sg_hr_run.shtml?ts1=2&ts2=1&p1=100&p2=50&pn1=3&pn2=4&ch1_st1=1&ch1_st2=5&ch1_et1=3"
    "&ch1_et2=11&ch2_st1=3&ch2_st2=7&ch2_et1=7&ch2_et2=15&freq1=1&freq2=2&save=1");
// Frames after the connect read (0x07 identity, 0x0A status): the 57-byte
// settings frames in hex, code 09 first.
const QString kUsbBenchFrame = QStringLiteral(
    "0902019f25260067890900a8610000f824010024f40000cc550100f824010098ab02001c1902006cdc0200"
    "030000000400000001020000a040");

DxuSimState labState()
{
    DxuSimState state;
    state.ts1 = 4;
    state.p1 = 1234.56789;
    state.pn2 = 131072;
    state.ch2_st1 = 1.5;
    state.ch2_et1 = 2;
    state.freq2 = 3;
    return state;
}

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

Result cli(const QStringList &arguments)
{
    Result result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = runDxuCli(QStringList{QStringLiteral("dxu-cli")} + arguments, out, err);
    return result;
}

QStringList hexFrames(int device)
{
    QStringList frames;
    for (const FakeUsb::Bytes &frame : FakeUsb::framesWritten(device))
        frames << QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size())).toHex());
    return frames;
}

// A web server that answers every request with one fixed reply.
void serveFixedReply(QTcpServer &server, const QByteArray &reply)
{
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, reply] {
        QTcpSocket *socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, reply] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            socket->write(reply);
            socket->disconnectFromHost();
        });
    });
}
} // namespace

class CliTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim, simDxu2, silent;
    QTcpServer answers500, router;
    int usb = -1;
    QTemporaryDir files;

private slots:
    void initTestCase()
    {
        simDxu2.setModel(2);
        silent.setSilent(true);
        for (auto [server, address] :
             {std::pair{&sim, kSim}, {&simDxu2, kSimDxu2}, {&silent, kSilent}})
            QVERIFY(server->start(QHostAddress(address)));
        QVERIFY(answers500.listen(QHostAddress(k500), 80));
        QVERIFY(router.listen(QHostAddress(kRouter), 80));
        serveFixedReply(answers500,
                        "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
        serveFixedReply(router, "HTTP/1.0 200 OK\r\nContent-Length: 13\r\n\r\n<p>router</p>");
    }

    void init()
    {
        sim.setState(DxuSimState());
        for (DxuSimServer *server : {&sim, &simDxu2, &silent})
            server->clearLog();
        FakeUsb::reset();
        usb = FakeUsb::addInstrument(FakeUsb::Model::Dxu3);
        const std::unique_ptr<QSettings> store(SettingsStore::openProfileSettings());
        store->remove(QString()); // every profile
        QVERIFY(ProfileStore::write(*store, QStringLiteral("bench"), QLatin1String(kBench)));
    }

    void ethernetCommands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("requests");
        const QString probe = QStringLiteral("/sg_hr_setup2.shtml");
        const QString save = QStringLiteral("&save=1");
        QTest::newRow("status") << QStringList{"status"} << 0 << QStringList{probe};
        QTest::newRow("set") << QStringList{"set", "p1=100", "ch1_et1=50.000004", "ts2=1"} << 0
                             << QStringList{probe, kSettings.arg(1).arg(100).arg(50) + save};
        QTest::newRow("run 1") << QStringList{"run", "1"} << 0
                               << QStringList{probe, kStartUp + "&sg1_run=1" + save};
        QTest::newRow("run both") << QStringList{"run", "both"} << 0
                                  << QStringList{probe, kStartUp + "&sg1_run=1&sg2_run=1" + save};
        QTest::newRow("stop") << QStringList{"stop"} << 0
                              << QStringList{"/sg_run.shtml?reset1=1&reset2=1"};
        QTest::newRow("stop 2") << QStringList{"stop", "2"} << 0
                                << QStringList{"/sg_run.shtml?reset2=1"};
        QTest::newRow("threshold")
            << QStringList{"threshold", "2.345"} << 0
            << QStringList{probe, "/sg_run.shtml?reset1=1", "/tt.shtml?volt=2.35"};
        QTest::newRow("network") << QStringList{"network"} << 0 << QStringList{"/network.shtml"};
        QTest::newRow("network --set")
            << QStringList{"network", "--set", "ip=010.1.2.3", "dhcp=on"} << 0
            << QStringList{"/network.shtml",
                           "/network.shtml?mac=00:1b:c5:0a:0b:0c&dhcp=1&ip=10.1.2.3"
                           "&netmask=255.0.0.0&gw=127.0.0.1"};
        QTest::newRow("profile load")
            << QStringList{"profile", "load", "bench"} << 0
            << QStringList{"/sg_run.shtml?reset1=1&reset2=1", kBenchQuery};
        QTest::newRow("profile save")
            << QStringList{"profile", "save", "now"} << 0 << QStringList{probe};
        // Refused before anything goes out, but for what only a read can tell.
        QTest::newRow("period range") << QStringList{"set", "p1=10736.1"} << 2 << QStringList{};
        QTest::newRow("width range")
            << QStringList{"set", "ch1_st1=250"} << 2 << QStringList{probe};
        QTest::newRow("source range") << QStringList{"set", "ts1=3"} << 2 << QStringList{};
        QTest::newRow("pulses") << QStringList{"set", "pn1=131073"} << 2 << QStringList{};
        QTest::newRow("time base") << QStringList{"set", "freq2=4"} << 2 << QStringList{};
        QTest::newRow("no field") << QStringList{"set", "p3=1"} << 2 << QStringList{};
        QTest::newRow("no number") << QStringList{"set", "pn1=1.5"} << 2 << QStringList{};
        QTest::newRow("threshold range") << QStringList{"threshold", "5.01"} << 2 << QStringList{};
        QTest::newRow("run 3") << QStringList{"run", "3"} << 2 << QStringList{};
        QTest::newRow("network field")
            << QStringList{"network", "--set", "ip=1.2.3.4.5"} << 2 << QStringList{};
        QTest::newRow("no profile") << QStringList{"profile", "load", "none"} << 2 << QStringList{};
        QTest::newRow("profile name")
            << QStringList{"profile", "save", "a/b"} << 2 << QStringList{};
        QTest::newRow("unknown") << QStringList{"frobnicate"} << 2 << QStringList{};
        QTest::newRow("--set") << QStringList{"status", "--set"} << 2 << QStringList{};
    }

    // Every command over Ethernet: the requests in order, the exit status.
    void ethernetCommands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        const Result result = cli(QStringList{"--ethernet", "127.0.0.040"} + arguments);
        QVERIFY2(result.code == code, qPrintable(result.err));
        QTEST(sim.requestLog(), "requests");
        QCOMPARE(result.err.isEmpty(), result.code == 0);
    }

    void usbCommands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("frames");
        const QString read = QStringLiteral("07,0a");
        auto frames = [&read](const QString &more) {
            return (read + (more.isEmpty() ? QString() : QLatin1Char(',') + more)).split(',');
        };
        QTest::newRow("status") << QStringList{"status"} << 0 << frames({});
        QTest::newRow("set") << QStringList{"set", "p1=100", "p2=0.5", "ch1_et1=50", "pn2=7"} << 0
                             << frames(
                                    "0900003f4b4c00a761000000000000000000000000000000000000a0252600"
                                    "809698008096980080969800010000000700000000000000a040");
        QTest::newRow("run 1") << QStringList{"run", "1"} << 0 << frames("0b04");
        QTest::newRow("run both") << QStringList{"run", "both"} << 0 << frames("0b0c");
        QTest::newRow("stop") << QStringList{"stop"} << 0 << frames("0b03");
        QTest::newRow("stop 1") << QStringList{"stop", "1"} << 0 << frames("0b01");
        QTest::newRow("network") << QStringList{"network"} << 0 << frames("07");
        QTest::newRow("network --set")
            << QStringList{"network",
                           "--set",
                           "mac=aa:bb:cc:dd:ee:ff",
                           "ip=10.1.2.3",
                           "mask=255.255.0.0",
                           "gateway=10.1.0.1",
                           "dhcp=off"}
            << 0 << frames("07,0800aabbccddeeff0a010203ffff00000a010001");
        QTest::newRow("profile load")
            << QStringList{"profile", "load", "bench"} << 0 << frames(kUsbBenchFrame + ",0b03");
        QTest::newRow("profile save") << QStringList{"profile", "save", "usb"} << 0 << frames({});
        QTest::newRow("width range") << QStringList{"set", "ch2_et1=-1"} << 2 << frames({});
    }

    // Every command over USB: the frames after the connect read.
    void usbCommands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        const Result result = cli(QStringList{"--usb"} + arguments);
        QVERIFY2(result.code == code, qPrintable(result.err));
        QTEST(hexFrames(usb), "frames");
    }

    // The threshold goes with the settings as read: both generators stop,
    // then the settings frame carries the new level (2.5 V: 00 00 20 40).
    void usbThreshold()
    {
        QCOMPARE(cli({"--usb", "threshold", "2.5"}).code, 0);
        const QStringList frames = hexFrames(usb);
        QCOMPARE(frames.mid(0, 3), QStringList({"07", "0a", "0b03"}));
        QCOMPARE(frames.size(), 4);
        QVERIFY(frames[3].startsWith("090000") && frames[3].endsWith("00002040"));
        QCOMPARE(frames[3].size(), 2 * 57);
    }

    // What status prints, as text and as JSON, on both links and models.
    void statusOutput()
    {
        sim.setState(labState());
        const Result text = cli({"--ethernet", kSim, "status"});
        QCOMPARE(text.out, QStringLiteral("ts1=4\nts2=0\np1=1234.57\np2=300\npn1=1\npn2=131072\n"
                                          "ch1_st1=0\nch1_et1=200\nch2_st1=1.5\nch2_et1=2\n"
                                          "ch1_st2=0\nch1_et2=200\nch2_st2=0\nch2_et2=200\n"
                                          "freq1=0\nfreq2=3\nmodel=DXU3\n"));
        QCOMPARE(cli({"--ethernet", kSimDxu2, "--json", "status"}).out,
                 QStringLiteral("{\"ch1_et1\":200,\"ch1_et2\":200,\"ch1_st1\":0,\"ch1_st2\":0,"
                                "\"ch2_et1\":200,\"ch2_et2\":200,\"ch2_st1\":0,\"ch2_st2\":0,"
                                "\"freq1\":0,\"freq2\":0,\"model\":\"DXU2\",\"p1\":300,\"p2\":300,"
                                "\"pn1\":1,\"pn2\":1,\"ts1\":0,\"ts2\":0}\n"));
        // Over USB a DXU3's threshold is known; the period comes as the
        // instrument counts it.
        const QJsonObject usbStatus =
            QJsonDocument::fromJson(cli({"--usb", "--json", "status"}).out.toUtf8()).object();
        QCOMPARE(usbStatus.value("threshold").toDouble(), 5.0);
        QCOMPARE(usbStatus.value("model").toString(), QStringLiteral("DXU3"));
        QCOMPARE(usbStatus.value("ch2_et2").toDouble(), 200.0);
        QCOMPARE(usbStatus.size(), 18);
        QCOMPARE(cli({"--usb", "network"}).out,
                 QStringLiteral("serial=10111213141516171819\nmac=00:1B:C5:0A:0B:0C\n"
                                "ip=127.0.0.50\nmask=255.0.0.0\ngateway=127.0.0.1\ndhcp=off\n"));
        QCOMPARE(cli({"--ethernet", kSim, "--json", "network"}).out,
                 QStringLiteral("{\"dhcp\":false,\"gateway\":\"127.0.0.1\",\"ip\":\"127.0.0.1\","
                                "\"mac\":\"00:1b:c5:0a:0b:0c\",\"mask\":\"255.0.0.0\"}\n"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        const QStringList status{"status"};
        QTest::newRow("silent") << QStringList{"--ethernet", kSilent, "--timeout", "300", "stop"}
                                << "" << 1 << "Connection refused (or timed out)";
        QTest::newRow("refusing") << QStringList{"--ethernet", kNobody, "status"} << "" << 1
                                  << "Connection refused";
        QTest::newRow("500") << QStringList{"--ethernet", k500, "stop", "1"} << "" << 1
                             << "HTTP status 500";
        QTest::newRow("not the setup page") << QStringList{"--ethernet", kRouter, "status"} << ""
                                            << 1 << "not the DXU's setup page";
        QTest::newRow("not the network page") << QStringList{"--ethernet", kRouter, "network"} << ""
                                              << 1 << "not the DXU's network page";
        QTest::newRow("DXU2 threshold") << QStringList{"--ethernet", kSimDxu2, "threshold", "1"}
                                        << "" << 2 << "no adjustable trigger threshold";
        QTest::newRow("no USB DXU")
            << QStringList{"--usb", "stop"} << "unplugged" << 1 << "no DXU found";
        QTest::newRow("claim") << QStringList{"--usb", "stop"} << "claim" << 1
                               << "cannot be opened (LIBUSB_ERROR_BUSY";
        QTest::newRow("short status") << QStringList{"--usb", "stop"} << "short status" << 1
                                      << "did not report its settings (no complete status)";
        QTest::newRow("settings frame") << QStringList{"--usb", "set", "pn1=2"} << "settings write"
                                        << 1 << "settings frame did not go through";
        QTest::newRow("run ack") << QStringList{"--usb", "run", "2"} << "no control ack" << 1
                                 << "run frame did not go through";
        QTest::newRow("implausible") << QStringList{"--usb", "status"} << "time base 7" << 1
                                     << "did not report its settings (settings out of range)";
        QTest::newRow("no link") << QStringList{"status"} << "" << 2 << "--usb or --ethernet";
        QTest::newRow("host name")
            << QStringList{"--ethernet", "dxu.lab", "status"} << "" << 2 << "no IPv4 address";
        QTest::newRow("hex address")
            << QStringList{"--ethernet", "0x7f.0.0.40", "status"} << "" << 2 << "no IPv4 address";
        QTest::newRow("both links") << QStringList{"--usb", "--ethernet", kSim, "stop"} << "" << 2
                                    << "either --usb or --ethernet";
    }

    // A failure is never exit status 0, and says why on the error stream.
    void failures()
    {
        QFETCH(QString, fault);
        if (fault == "unplugged") {
            FakeUsb::reset();
        } else if (fault == "claim") {
            FakeUsb::setClaimError(usb, LIBUSB_ERROR_BUSY);
        } else if (fault == "short status") {
            FakeUsb::setReplyLength(usb, 0x0A, 51);
        } else if (fault == "settings write") {
            FakeUsb::setWriteFails(usb, 0x09);
        } else if (fault == "no control ack") {
            FakeUsb::setReplyLength(usb, 0x0B, 0);
        } else if (fault == "time base 7") {
            FakeUsb::Bytes status(56, 0);
            status[50] = 7;
            FakeUsb::setStatus(usb, status);
        }
        QFETCH(QStringList, arguments);
        const Result result = cli(arguments);
        QTEST(result.code, "code");
        QFETCH(QString, reason);
        QVERIFY2(result.err.contains(reason), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        // Nothing follows a failed read, a refused value or a failed frame.
        QVERIFY(hexFrames(usb).size() <= 3);
    }

    // Saved from one instrument's settings, listed, and loaded into another.
    void profilesAndExport()
    {
        sim.setState(labState());
        QCOMPARE(cli({"--ethernet", kSim, "profile", "save", "lab"}).code, 0);
        QCOMPARE(cli({"--json", "profile", "list"}).out, QStringLiteral("[\"bench\",\"lab\"]\n"));
        const std::unique_ptr<QSettings> store(SettingsStore::openProfileSettings());
        QCOMPARE(ProfileStore::read(*store, "lab"),
                 QStringLiteral("4|0|1234.57|300|1|131072|0|200|1.5|0.5|0|200|0|200|0|3"));
        QCOMPARE(cli({"--ethernet", kSimDxu2, "profile", "load", "lab"}).code, 0);
        QCOMPARE(simDxu2.state().ch2_et1, 2.0);
        QCOMPARE(simDxu2.state().ts1, 4);

        const QString file = files.filePath("settings.txt");
        QCOMPARE(cli({"--ethernet", kSim, "export", file}).code, 0);
        QFile exported(file);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = exported.readAll().split('\n');
        QVERIFY(lines[0].startsWith("DXU Settings: 127.0.0.40 ("));
        QCOMPARE(lines.mid(1, 9).join('\n'),
                 QByteArray("Genarator#1:\r\nMode: Ext.Trig. Lowering Edge\r\nPeriod: 1234.57\r\n"
                            "Pulses: 1\r\nCh1 Delay: 0\r\nCh1 Width: 200\r\nCh2 Delay: 1.5\r\n"
                            "Ch2 Width: 0.5\r\nTime Unit: 20 ns\r"));
        QCOMPARE(lines.size(), 20);
        QCOMPARE(cli({"--usb", "export", files.filePath("no/such/dir")}).code, 1);
    }

    // The window's boxes and combos hold what the command line checks against.
    void windowAgrees()
    {
        dxu_gui window;
        const auto *period = window.findChild<QDoubleSpinBox *>("periodG2");
        QCOMPARE(period->maximum(), RecordRanges::MaxTimeMs);
        QCOMPARE(period->decimals(), RecordRanges::TimeDecimals);
        QCOMPARE(window.findChild<QSpinBox *>("pulsesG1")->maximum(), RecordRanges::MaxPulses);
        const auto *timeBase = window.findChild<QComboBox *>("timeUnitG2");
        QCOMPARE(timeBase->count(), RecordRanges::TimeBaseCount);
        for (int i = 0; i < timeBase->count(); ++i)
            QCOMPARE(timeBase->itemText(i), timeBaseEntryText(i));
        for (int generator : {1, 2}) {
            const auto *source =
                window.findChild<QComboBox *>(QStringLiteral("sourceG%1").arg(generator));
            for (int i = 0; i < source->count(); ++i) {
                const int code =
                    generator == 1 ? sourceCodeFromIndexG1(i) : sourceCodeFromIndexG2(i);
                QCOMPARE(source->itemText(i), sourceEntryText(generator, code));
            }
        }
    }

    // The installed program: JSON on standard output, the exit statuses.
    void program()
    {
        for (const auto &[arguments, code] :
             {std::pair{QStringList{"--ethernet", kSim, "--json", "status"}, 0},
              {QStringList{"--ethernet", kNobody, "status"}, 1},
              {QStringList{}, 2}}) {
            QProcess process;
            process.start(QStringLiteral(DXU_CLI_PATH), arguments);
            // The simulator answers from this thread's event loop.
            QVERIFY(
                QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
            QCOMPARE(process.exitCode(), code);
            if (code == 0)
                QCOMPARE(QJsonDocument::fromJson(process.readAllStandardOutput())
                             .object()
                             .value("p1")
                             .toDouble(),
                         300.0);
            else
                QVERIFY(!process.readAllStandardError().isEmpty());
        }
    }
};

DXU_TEST_MAIN(CliTest)
#include "tst_cli.moc"
