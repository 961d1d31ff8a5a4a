// dxu-cli, dxu-panel and dxu-sim against the simulated instruments: what each
// command sends on both links, what it prints, and its exit status when the
// instrument is silent, refuses, answers 500 or something else, or a USB
// transfer fails; the programs as a user starts them, and the window's start
// links with the feedback it gives while it waits.
#include "app/dxu_gui.h"
#include "cli/commands.h"
#include "cli/dxu_cli.h"
#include "fakeusb/fake_usb.h"
#include "persistence/profile_store.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <libusb.h>

#include <QLabel>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <functional>
#include <memory>

// Puts a fault into the simulated USB instrument.
using Fault = std::function<void(int)>;
Q_DECLARE_METATYPE(Fault)

namespace {
const QString kSim = QStringLiteral("127.0.0.40");
const QString kSimDxu2 = QStringLiteral("127.0.0.41");
const QString kSilent = QStringLiteral("127.0.0.42");
const QString kNobody = QStringLiteral("127.0.0.43"); // connections refused
const QString k500 = QStringLiteral("127.0.0.44");
const QString k404 = QStringLiteral("127.0.0.47");
const QString kRouter = QStringLiteral("127.0.0.45"); // 200, but not the instrument's pages
const QString kSimProgram = QStringLiteral("127.0.0.46");

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

QString program(const char *relativePath)
{
    return QStringLiteral(DXU_BINARY_DIR "/") + QLatin1String(relativePath);
}

QString connectionLabel(dxu_gui &window)
{
    return window.findChild<QLabel *>(QStringLiteral("dev_status"))->text();
}
} // namespace

class CliTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim, simDxu2, silent, refusing, notFound;
    QTcpServer router;
    int usb = -1;
    QTemporaryDir files;

private slots:
    void initTestCase()
    {
        simDxu2.setModel(2);
        silent.setSilent(true);
        refusing.setFailureStatus(500);
        notFound.setFailureStatus(404);
        for (auto [server, address] : {std::pair{&sim, kSim},
                                       {&simDxu2, kSimDxu2},
                                       {&silent, kSilent},
                                       {&refusing, k500},
                                       {&notFound, k404}})
            QVERIFY(server->start(QHostAddress(address)));
        QVERIFY(router.listen(QHostAddress(kRouter), 80));
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

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("sent");
        // Over Ethernet the requests in order; over USB the frames after the
        // connect read.
        auto ethernet = [](const char *name, const QStringList &arguments, int code,
                           const QStringList &requests) {
            QTest::newRow(name) << QStringList{"--ethernet", "127.0.0.040"} + arguments << code
                                << requests;
        };
        auto usb = [](const char *name, const QStringList &arguments, int code,
                      const QString &frames) {
            QTest::newRow(name) << QStringList{"--usb"} + arguments << code
                                << ("07,0a" + (frames.isEmpty() ? "" : "," + frames)).split(',');
        };
        const QString probe = QStringLiteral("/sg_hr_setup2.shtml");
        ethernet("status", {"status"}, 0, {probe});
        ethernet("set", {"set", "p1=100", "ch1_et1=50.000004", "ts2=1"}, 0,
                 {probe, kSettings.arg(1).arg(100).arg(50) + "&save=1"});
        ethernet("run 1", {"run", "1"}, 0, {probe, kStartUp + "&sg1_run=1&save=1"});
        ethernet("run both", {"run", "both"}, 0, {probe, kStartUp + "&sg1_run=1&sg2_run=1&save=1"});
        ethernet("stop", {"stop"}, 0, {"/sg_run.shtml?reset1=1&reset2=1"});
        ethernet("stop 2", {"stop", "2"}, 0, {"/sg_run.shtml?reset2=1"});
        ethernet("threshold", {"threshold", "2.345"}, 0,
                 {probe, "/sg_run.shtml?reset1=1", "/tt.shtml?volt=2.35"});
        ethernet("network", {"network"}, 0, {"/network.shtml"});
        ethernet("network --set", {"network", "--set", "ip=010.1.2.3", "dhcp=on"}, 0,
                 {"/network.shtml", "/network.shtml?mac=00:1b:c5:0a:0b:0c&dhcp=1&ip=10.1.2.3"
                                    "&netmask=255.0.0.0&gw=127.0.0.1"});
        ethernet("profile load", {"profile", "load", "bench"}, 0,
                 {"/sg_run.shtml?reset1=1&reset2=1", kBenchQuery});
        ethernet("profile save", {"profile", "save", "now"}, 0, {probe});
        // Refused before anything goes out, but for what only a read can tell.
        ethernet("period range", {"set", "p1=10736.1"}, 2, {});
        ethernet("width range", {"set", "ch1_st1=250"}, 2, {probe});
        ethernet("5000 ms at 20 ns", {"set", "p1=5000"}, 2, {probe});
        ethernet("half-tick width", {"set", "ch1_et1=0.00001"}, 2, {probe});
        ethernet("source range", {"set", "ts1=3"}, 2, {});
        ethernet("pulses", {"set", "pn1=131073"}, 2, {});
        ethernet("time base", {"set", "freq2=4"}, 2, {});
        ethernet("no field", {"set", "p3=1"}, 2, {});
        ethernet("no number", {"set", "pn1=1.5"}, 2, {});
        ethernet("threshold range", {"threshold", "5.01"}, 2, {});
        ethernet("threshold too low", {"threshold", "0.04"}, 2, {});
        ethernet("lowest threshold", {"threshold", "0.05"}, 0,
                 {probe, "/sg_run.shtml?reset1=1", "/tt.shtml?volt=0.05"});
        ethernet("run 3", {"run", "3"}, 2, {});
        ethernet("network field", {"network", "--set", "ip=1.2.3.4.5"}, 2, {});
        // What would leave the instrument unreachable is refused after the read.
        ethernet("gapped mask", {"network", "--set", "mask=255.255.255.1"}, 2, {"/network.shtml"});
        ethernet("group mac", {"network", "--set", "mac=01:00:5e:00:00:01"}, 2, {"/network.shtml"});
        ethernet("no gateway", {"network", "--set", "gateway=0.0.0.0"}, 0,
                 {"/network.shtml", "/network.shtml?mac=00:1b:c5:0a:0b:0c&dhcp=0&ip=127.0.0.1"
                                    "&netmask=255.0.0.0&gw=0.0.0.0"});
        ethernet("no profile", {"profile", "load", "none"}, 2, {});
        ethernet("profile name", {"profile", "save", "a/b"}, 2, {});
        ethernet("unknown", {"frobnicate"}, 2, {});
        ethernet("--set", {"status", "--set"}, 2, {});

        usb("usb status", {"status"}, 0, {});
        usb("usb set", {"set", "p1=100", "p2=0.5", "ch1_et1=50", "pn2=7"}, 0,
            "0900003f4b4c00a761000000000000000000000000000000000000a0252600"
            "809698008096980080969800010000000700000000000000a040");
        usb("usb run 1", {"run", "1"}, 0, "0b04");
        usb("usb run both", {"run", "both"}, 0, "0b0c");
        usb("usb stop", {"stop"}, 0, "0b03");
        usb("usb stop 1", {"stop", "1"}, 0, "0b01");
        // The threshold goes with the settings as read: both generators stop,
        // then the settings frame carries the new level (2.5 V: 00 00 20 40).
        usb("usb threshold", {"threshold", "2.5"}, 0,
            "0b03,090000bfe1e400bfe1e40000000000000000000000000000000000809698008096980080969800"
            "809698000100000001000000000000002040");
        usb("usb network", {"network"}, 0, "07");
        usb("usb network --set",
            {"network", "--set", "mac=aa:bb:cc:dd:ee:ff", "ip=10.1.2.3", "mask=255.255.0.0",
             "gateway=10.1.0.1", "dhcp=off"},
            0, "07,0800aabbccddeeff0a010203ffff00000a010001");
        usb("usb profile load", {"profile", "load", "bench"}, 0, kUsbBenchFrame + ",0b03");
        usb("usb profile save", {"profile", "save", "usb"}, 0, {});
        usb("usb width range", {"set", "ch2_et1=-1"}, 2, {});
        usb("usb 5000 ms", {"set", "p2=5000"}, 2, {});
    }

    // Every command on both links: what goes out, the exit status.
    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        const Result result = cli(arguments);
        QVERIFY2(result.code == code, qPrintable(result.err));
        QTEST(arguments[0] == "--usb" ? hexFrames(usb) : sim.requestLog(), "sent");
        QCOMPARE(result.err.isEmpty(), result.code == 0);
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        auto row = [](const char *name, const QStringList &arguments, int code,
                      const QString &reason, const Fault &fault = {}) {
            QTest::newRow(name) << arguments << fault << code << reason;
        };
        row("silent", {"--ethernet", kSilent, "--timeout", "300", "stop"}, 1, "Request timed out");
        row("refusing", {"--ethernet", kNobody, "status"}, 1, "Connection refused");
        row("500", {"--ethernet", k500, "stop", "1"}, 1, "HTTP status 500");
        row("404", {"--ethernet", k404, "stop", "1"}, 1, "HTTP status 404");
        row("not the setup page", {"--ethernet", kRouter, "status"}, 1, "not the DXU's setup page");
        row("not the network page", {"--ethernet", kRouter, "network"}, 1,
            "not the DXU's network page");
        row("DXU2 threshold", {"--ethernet", kSimDxu2, "threshold", "1"}, 2,
            "no adjustable trigger threshold");
        row("no USB DXU", {"--usb", "stop"}, 1, "no DXU found", [](int) { FakeUsb::reset(); });
        row("claim", {"--usb", "stop"}, 1, "cannot be opened (LIBUSB_ERROR_BUSY",
            [](int usb) { FakeUsb::setClaimError(usb, LIBUSB_ERROR_BUSY); });
        row("short status", {"--usb", "stop"}, 1,
            "did not report its settings (no complete status)",
            [](int usb) { FakeUsb::setReplyLength(usb, 0x0A, 51); });
        row("settings frame", {"--usb", "set", "pn1=2"}, 1, "settings frame did not go through",
            [](int usb) { FakeUsb::setWriteFails(usb, 0x09); });
        row("run ack", {"--usb", "run", "2"}, 1, "run frame did not go through",
            [](int usb) { FakeUsb::setReplyLength(usb, 0x0B, 0); });
        row("unplugged", {"--usb", "set", "pn1=2"}, 1, "the DXU was unplugged from USB",
            [](int usb) { FakeUsb::unplugAfter(usb, 5); }); // the connect read's five transfers
        row("implausible", {"--usb", "status"}, 1,
            "did not report its settings (settings out of range)", [](int usb) {
                FakeUsb::Bytes status(56, 0);
                status[50] = 7;
                FakeUsb::setStatus(usb, status);
            });
        row("no link", {"status"}, 2, "--usb or --ethernet");
        // A name is looked up; what is not one instrument's address is refused.
        row("localhost", {"--ethernet", " localhost ", "stop"}, 1,
            "to localhost: Connection refused");
        row("host name", {"--ethernet", "no-such-dxu.invalid", "status"}, 1, "not found");
        row("hex address", {"--ethernet", "0x7f.0.0.40", "status"}, 2,
            "0x7f.0.0.40 is not an IPv4 address or host name");
        row("unspecified", {"--ethernet", "0.0.0.0", "stop"}, 2, "the unspecified address");
        row("both links", {"--usb", "--ethernet", kSim, "stop"}, 2, "either --usb or --ethernet");
        row("profile beyond", {"--usb", "profile", "load", "long"}, 2,
            "p1: Generator #1 period 5000 ms is more than", [](int) {
                std::unique_ptr<QSettings>(SettingsStore::openProfileSettings())
                    ->setValue("long", "0|0|5000|300|1|1|0|200|0|200|0|200|0|200|0|0");
            });
    }

    // A failure is never exit status 0, and says why on the error stream.
    void failures()
    {
        QFETCH(Fault, fault);
        if (fault)
            fault(usb);
        QFETCH(QStringList, arguments);
        const Result result = cli(arguments);
        QTEST(result.code, "code");
        QFETCH(QString, reason);
        QVERIFY2(result.err.contains(reason), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        // Nothing follows a failed read, a refused value or a failed frame.
        QVERIFY(hexFrames(usb).size() <= 3);
    }

    // What status prints, as text and as JSON, on both links and models;
    // settings saved from one instrument, listed, loaded into another, and
    // exported.
    void statusProfilesAndExport()
    {
        DxuSimState lab;
        lab.ts1 = 4;
        lab.p1 = 1234.56789;
        lab.pn2 = 131072;
        lab.ch2_st1 = 1.5;
        lab.ch2_et1 = 2;
        lab.freq2 = 3;
        sim.setState(lab);
        QCOMPARE(cli({"--ethernet", kSim, "status"}).out,
                 QStringLiteral("ts1=4\nts2=0\np1=1234.57\np2=300\npn1=1\npn2=131072\n"
                                "ch1_st1=0\nch1_et1=200\nch2_st1=1.5\nch2_et1=2\n"
                                "ch1_st2=0\nch1_et2=200\nch2_st2=0\nch2_et2=200\n"
                                "freq1=0\nfreq2=3\nmodel=DXU3\n"));
        const QString dxu2 = cli({"--ethernet", kSimDxu2, "--json", "status"}).out;
        QCOMPARE(dxu2,
                 QStringLiteral("{\"ch1_et1\":200,\"ch1_et2\":200,\"ch1_st1\":0,\"ch1_st2\":0,"
                                "\"ch2_et1\":200,\"ch2_et2\":200,\"ch2_st1\":0,\"ch2_st2\":0,"
                                "\"freq1\":0,\"freq2\":0,\"model\":\"DXU2\",\"p1\":300,\"p2\":300,"
                                "\"pn1\":1,\"pn2\":1,\"ts1\":0,\"ts2\":0}\n"));
        // The same settings from a DXU3 over USB, which tells its threshold;
        // the period comes as the instrument counts it.
        QCOMPARE(cli({"--usb", "--json", "status"}).out,
                 QString(dxu2).replace("DXU2", "DXU3").replace("\"ts1", "\"threshold\":5,\"ts1"));
        QCOMPARE(cli({"--usb", "network"}).out,
                 QStringLiteral("serial=10111213141516171819\nmac=00:1B:C5:0A:0B:0C\n"
                                "ip=127.0.0.50\nmask=255.0.0.0\ngateway=127.0.0.1\ndhcp=off\n"));
        QCOMPARE(cli({"--ethernet", kSim, "--json", "network"}).out,
                 QStringLiteral("{\"dhcp\":false,\"gateway\":\"127.0.0.1\",\"ip\":\"127.0.0.1\","
                                "\"mac\":\"00:1b:c5:0a:0b:0c\",\"mask\":\"255.0.0.0\"}\n"));

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
        const Result missing = cli({"--usb", "export", files.filePath("no/such/dir")});
        QCOMPARE(missing.code, 1);
        QVERIFY2(missing.err.contains(files.filePath("no/such/dir") + ": " +
                                      TestSupport::writeFailure(files.filePath("no/such/dir"))),
                 qPrintable(missing.err));
    }

    // What is there stays what it is: standard output, a FIFO (written in
    // place), a symbolic link (its target written), a writable file in a
    // folder that takes no new file; a full device fails.
    void exportTargets()
    {
        const Result toStdout = cli({"--ethernet", kSim, "export", "-"});
        QVERIFY(toStdout.out.startsWith("DXU Settings: 127.0.0.40 ("));
        QCOMPARE(toStdout.out.count("\r\n"), 19);
        QVERIFY(!QFile::exists("-"));
#ifdef Q_OS_WIN
        QSKIP("FIFOs, /dev/full and folder permissions as the export meets them are POSIX's");
#else
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo"), target = dir.filePath("target");
        QCOMPARE(mkfifo(qPrintable(fifo), 0600), 0);
        const int reader = ::open(qPrintable(fifo), O_RDONLY | O_NONBLOCK);
        QCOMPARE(cli({"--usb", "export", fifo}).code, 0);
        char buffer[4096];
        const QByteArray fromFifo(buffer, int(std::max<ssize_t>(0, ::read(reader, buffer, 4096))));
        ::close(reader);
        QVERIFY(fromFifo.startsWith("DXU Settings: USB ("));
        QVERIFY(!QFileInfo(fifo).isFile());
        QVERIFY(QFile::link(target, dir.filePath("link")));
        QCOMPARE(cli({"--usb", "export", dir.filePath("link")}).code, 0);
        QVERIFY(QFileInfo(dir.filePath("link")).isSymLink());
        QCOMPARE(QFileInfo(target).size(), fromFifo.size());
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(cli({"--usb", "export", target}).code, 0);
        QVERIFY(QFile::setPermissions(dir.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 3);
        const Result full = cli({"--usb", "export", "/dev/full"});
        QCOMPARE(full.code, 1);
        QVERIFY2(full.err.contains("/dev/full: No space left on device"), qPrintable(full.err));
        QVERIFY(!QFileInfo("/dev/full").isFile());
#endif
    }

    // Over Ethernet the page shows widths of six digits: an end that set does
    // not name goes back as the instrument holds it, or is told where the
    // page leaves it open; a value the query cannot carry is told as sent.
    void setOverEthernet()
    {
        DxuSimState lab;
        lab.ch1_st1 = 8.47785;
        lab.ch1_et1 = 74.5364;
        lab.ch2_st2 = 1.75045;
        lab.ch2_et2 = 47.6475; // the page fits 47.6475 and 47.6476
        sim.setState(lab);
        const Result result = cli({"--ethernet", kSim, "set", "p1=1234.56789"});
        QCOMPARE(result.code, 0);
        QCOMPARE(sim.state().p1, 1234.57);
        QCOMPARE(sim.state().ch1_et1, 74.5364);
        QCOMPARE(
            result.err,
            QStringLiteral("dxu-cli: ch2_et2: the page's width 45.8971 after the start 1.75045 "
                           "fits the ends 47.6476, 47.6475; 47.6476 is sent\n"
                           "dxu-cli: p1=1234.56789 is sent as 1234.57 (the Ethernet query "
                           "carries six significant digits)\n"));
        QCOMPARE(cli({"--ethernet", kSim, "run", "1"}).code, 0); // sends them back too
        QCOMPARE(sim.state().ch1_et1, 74.5364);
    }

    // Calls on one instrument take turns: one that waits too long sends nothing.
    void callsOnOneInstrumentTakeTurns()
    {
        QLockFile held(instrumentLockPath(CliLink::Ethernet, kSim));
        QVERIFY(held.lock());
        const Result busy = cli({"--ethernet", kSim, "--timeout", "100", "set", "pn1=2"});
        QCOMPARE(busy.code, 1);
        QVERIFY2(busy.err.contains("another dxu-cli kept the DXU busy"), qPrintable(busy.err));
        QVERIFY(sim.requestLog().isEmpty());
        QCOMPARE(cli({"--usb", "stop"}).code, 0); // another instrument
        held.unlock();
        QCOMPARE(cli({"--ethernet", kSim, "set", "pn1=2"}).code, 0);
    }

    // A store that cannot be parsed whole (or read at all: a folder where the
    // file belongs) is said to be so, and kept as it is.
    void unusableStore_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        const QString parsed = QStringLiteral("cannot be parsed whole (line %1)");
        QTest::newRow("stray ]") << QByteArray("[Profiles]\nbench=0\n]\n") << parsed.arg(3);
        QTest::newRow("no =") << QByteArray("[Profiles]\nbench\n") << parsed.arg(2);
        QTest::newRow("no ]") << QByteArray("[General]\nx=1\n\n[Profiles\nbench=0\n")
                              << parsed.arg(4);
        QTest::newRow("open quote") << QByteArray("[General]\nLAST_DXU_IP=\"10.0.0.5\n[Profiles]\n"
                                                  "bench=0\n")
                                    << parsed.arg(2);
        QTest::newRow("folder") << QByteArray() << QStringLiteral("cannot be read");
    }

    void unusableStore()
    {
        QFETCH(QByteArray, content);
        const QString file =
            std::unique_ptr<QSettings>(SettingsStore::openMainSettings())->fileName();
        QFile::remove(file);
        QFile store(file);
        QVERIFY(content.isNull() ? QDir().mkpath(file)
                                 : store.open(QIODevice::WriteOnly) && store.write(content));
        store.close();
        auto cleanUp = qScopeGuard([&] {
            store.close(); // Windows removes no open file
            QFile::remove(file) || QDir().rmdir(file);
        });
        for (const QStringList &arguments : {QStringList{"profile", "list"},
                                             {"--ethernet", kSim, "profile", "save", "new"},
                                             {"--ethernet", kSim, "profile", "load", "bench"}}) {
            const Result result = cli(arguments);
            QCOMPARE(result.code, 1);
            QFETCH(QString, reason);
            QVERIFY2(result.err.contains(reason), qPrintable(result.err));
        }
        QVERIFY(sim.requestLog().size() <= 1); // the read before a save
        if (!content.isNull()) {
            QVERIFY(store.open(QIODevice::ReadOnly));
            QCOMPARE(store.readAll(), content);
        }
    }

    // Saves at the same moment from several programs: each that succeeds is
    // kept, the others are refused, and the limit of ten holds; at the limit
    // a profile may still be saved again.
    void simultaneousSaves()
    {
#ifdef Q_OS_WIN
        QSKIP("The store is the registry on Windows; the tests' settings file cannot be replaced "
              "there while another program reads it");
#endif
        for (int i = 0; i < 5; ++i)
            QCOMPARE(cli({"--ethernet", kSim, "profile", "save", QString::number(i)}).code, 0);
        // The programs use the store of this test program.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString file =
            std::unique_ptr<QSettings>(SettingsStore::openMainSettings())->fileName();
        environment.insert("XDG_CONFIG_HOME", QFileInfo(file).dir().absoluteFilePath(".."));
        std::vector<std::unique_ptr<QProcess>> savers;
        for (int i = 0; i < 8; ++i) {
            savers.push_back(std::make_unique<QProcess>());
            savers.back()->setProcessEnvironment(environment);
            savers.back()->start(
                DXU_CLI_PATH, {"--ethernet", kSim, "profile", "save", "new" + QString::number(i)});
        }
        QStringList kept;
        for (int i = 0; i < 8; ++i) {
            QVERIFY(
                QTest::qWaitFor([&] { return savers[i]->state() == QProcess::NotRunning; }, 20000));
            QVERIFY2(savers[i]->exitCode() == 0 || savers[i]->exitCode() == 2,
                     savers[i]->readAllStandardError().constData());
            if (savers[i]->exitCode() == 0)
                kept << "new" + QString::number(i);
        }
        const QStringList names = cli({"profile", "list"}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(names.size(), 10);
        for (const QString &name : kept)
            QVERIFY(names.contains(name));
        sim.clearLog(); // an 11th is refused before the instrument is read
        QCOMPARE(cli({"--ethernet", kSim, "profile", "save", "new"}).code, 2);
        QVERIFY(sim.requestLog().isEmpty());
        QCOMPARE(cli({"--ethernet", kSim, "profile", "save", "0"}).code, 0); // one overwritten
    }

    // The installed programs as a user runs them: what they print, their
    // exit statuses.
    void programs_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        const QString panel = program("app/dxu-panel");
        auto row = [](const char *name, const QString &program, const QStringList &arguments,
                      int exitCode, const QString &output) {
            QTest::newRow(name) << program << arguments << exitCode << output;
        };
        row("panel version", panel, {"--version"}, 0, "dxu-panel 1.5.5");
        row("panel help", panel, {"--help"}, 0, "--ethernet <address>  Connect over Ethernet");
        row("both links", panel, {"--usb", "--ethernet", kSim}, 1,
            "--usb and --ethernet exclude each other");
        row("blank address", panel, {"--ethernet", " "}, 1, "--ethernet needs an address");
        row("stray argument", panel, {kSim}, 1, "unexpected argument: " + kSim);
        row("unspecified address", panel, {"--ethernet", "0.0.0.0"}, 1,
            "0.0.0.0 is the unspecified address, no instrument's");
        row("unknown option", panel, {"--serial"}, 1, "Unknown option 'serial'");
        row("sim help", program("sim/dxu-sim"), {"--help"}, 0, "--model <2|3>");
        row("sim version", program("sim/dxu-sim"), {"--version"}, 0, "dxu-sim 1.5.5");
        // JSON on standard output.
        row("cli status", DXU_CLI_PATH, {"--ethernet", kSim, "--json", "status"}, 0, "\"p1\":300,");
        row("cli no command", DXU_CLI_PATH, {}, 2, "no command given");
    }

    void programs()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        // The simulator answers from this thread's event loop.
        QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QTEST(process.exitCode(), "exitCode");
        QFETCH(QString, output);
        const QString printed = QString::fromLocal8Bit(process.readAll());
        QVERIFY2(printed.contains(output), qPrintable(printed));
    }

    // dxu-sim serves until it is terminated, and logs each request; the
    // panel, started with --ethernet, probes the address.
    void panelAndSimulatorPrograms()
    {
        QProcess simulator, panel;
        simulator.start(program("sim/dxu-sim"), {"--address", kSimProgram, "--model", "2"});
        QVERIFY(simulator.waitForStarted(10000));
        QByteArray output; // everything it printed so far
        auto printed = [&] { return output += simulator.readAllStandardOutput(); };
        QTRY_VERIFY_WITH_TIMEOUT(printed().contains("DXU2 simulator on"), 10000);
        panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        panel.start(program("app/dxu-panel"), {"--ethernet", kSimProgram});
        QTRY_VERIFY_WITH_TIMEOUT(printed().contains("GET /sg_hr_setup2.shtml -> setup page (200)"),
                                 20000);
        panel.kill();
        panel.waitForFinished();
#ifdef Q_OS_WIN
        // No signal reaches another process on Windows, and its console's
        // Ctrl+C only programs that share the console: it is ended outright.
        return simulator.kill();
#else
        ::kill(simulator.processId(), SIGTERM);
        QVERIFY(simulator.waitForFinished(10000));
        QCOMPARE(simulator.exitStatus(), QProcess::NormalExit);
        QCOMPARE(simulator.exitCode(), 0);
        QVERIFY(printed().contains("dxu-sim: stopped"));
#endif
    }

    // A silent address: "Connecting to …" and a busy cursor while the panel
    // waits, then the menu's failure box; the reply's own message stays.
    // Then the instrument's address, then USB.
    void linksAtStart()
    {
        MessageBoxWatcher boxes;
        dxu_gui window;
        window.connectEthernetAtStart(kSilent);
        QTRY_COMPARE(window.statusBar()->currentMessage(), "Connecting to " + kSilent + "…");
        QTRY_VERIFY(QApplication::overrideCursor() &&
                    QApplication::overrideCursor()->shape() == Qt::BusyCursor);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 10000);
        QVERIFY(boxes.last().text.contains(kSilent));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Error"));
        QCOMPARE(connectionLabel(window), QStringLiteral("Disconnected"));

        window.connectEthernetAtStart(kSim);
        QTRY_COMPARE(connectionLabel(window), kSim + " (DXU3)");
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Command applied"));

        FakeUsb::reset();
        FakeUsb::addInstrument(FakeUsb::Model::Dxu2);
        window.connectUsbAtStart();
        QCOMPARE(connectionLabel(window), QStringLiteral("USB connected DXU2"));
        QVERIFY(window.findChild<QAction *>(QStringLiteral("actionUSB"))->isChecked());
    }
};

DXU_TEST_MAIN(CliTest)
#include "tst_cli.moc"
