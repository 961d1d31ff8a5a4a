// The network settings dialog over Ethernet, against the instrument's
// simulated web server on 127.0.0.61-69: the network page in the fields, the
// write request, the input checks before it, and the failures the operator
// is told about: a silent instrument, a write that did not go through or
// that the instrument refused; an older request must not answer a newer one,
// nor a request the operator gave up.
#include "app/dxu_gui.h"
#include "network/finddialog.h"
#include "sim/dxu_sim_server.h"
#include "support/message_boxes.h"
#include "support/test_support.h"
#include "support/window_access.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

namespace {

const char *const ReadPath = "/network.shtml";
const QString PageMac = QStringLiteral("00:1b:c5:0a:0b:0c");
const QString Restart =
    QStringLiteral("Halvorn DXU: Please restart DXU to apply new network settings!");
const QString Lost = QStringLiteral("DXU Ethernet Connection: Can't find DXU on <b>%1</b> "
                                    "<br>Check ethernet cable or try to connect via USB!");
// Generous: the dialog gives a request 2.5 s, the machine may be busy.
constexpr int ReplyWaitMs = 15000;

} // namespace

class NetworkEthernetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DxuSimServer> server;
    std::unique_ptr<FindDialog> owned;
    FindDialog *dialog = nullptr; // the one the test works with
    MessageBoxWatcher *boxes = nullptr;

    QLineEdit *edit(const QString &name) { return dialog->findChild<QLineEdit *>(name); }

    // Starts the simulated instrument at `at` with MAC 00:1b:c5:0a:0b:0c, IP
    // 127.0.0.61, mask 255.0.0.0 and gateway 127.0.0.1, and opens the dialog
    // on it as the main window does, its address given with leading zeros
    // (decimal). The request leaves only once the event loop runs, so the
    // caller can still make the instrument silent or slow.
    std::unique_ptr<DxuSimServer> serve(const char *at, bool dhcp = false, bool open = true)
    {
        auto sim = std::make_unique<DxuSimServer>();
        DxuSimState state;
        state.network.ip = {127, 0, 0, 61};
        state.network.dhcp = dhcp;
        sim->setState(state);
        if (!sim->start(QHostAddress(QString::fromLatin1(at))))
            qFatal("cannot listen on %s:80: %s", at, qPrintable(sim->errorString()));
        if (open) {
            dialog->setDeviceIp(QString::fromLatin1(at).replace("127.0.0.", "127.000.000.0"));
            dialog->readNetworkSettings();
            dialog->setModal(true);
            dialog->show();
        }
        return sim;
    }

private slots:
    void init()
    {
        owned = std::make_unique<FindDialog>(nullptr); // no USB on this path
        dialog = owned.get();
        boxes = new MessageBoxWatcher;
    }

    void cleanup()
    {
        owned.reset();
        server.reset();
        delete boxes;
    }

    // One field typed over the page's valid values (IP 127.0.0.64, mask
    // 255.255.0.0, gateway 127.000.0.1), then Submit: the write goes out with
    // the texts as typed, addresses in canonical form, and only the restart
    // request closes the dialog; bad input sends nothing; a write that does
    // not go through, that the instrument refuses or never answers (given up
    // after the watchdog's time) warns, and the fields stay.
    void submit_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("dhcpOn");
        QTest::addColumn<QString>("value");
        // 200 answers, 500 refuses, 0 gone before the write, -1 silent.
        QTest::addColumn<int>("instrument");
        QTest::addColumn<QString>("message");
        QTest::newRow("dhcp on, upper-case mac")
            << "macEdit" << true << "AA:BB:CC:DD:EE:FF" << 200 << Restart;
        QTest::newRow("dhcp off, short groups")
            << "macEdit" << false << "a:b:c:d:e:f" << 200 << Restart;
        QTest::newRow("dhcp on, the IP only kept")
            << "ipEdit" << true << "0.0.0.0" << 200 << Restart;
        QTest::newRow("blanks around") << "ipEdit" << false << " 127.0.0.65 " << 200 << Restart;
        // Refused: field, value, and what is expected of its form (checked
        // with DHCP on too) or why the instrument would be unreachable after
        // its restart (a group MAC; the rest with DHCP off).
        const QMap<QString, QString> names = {{"macEdit", "MAC"},
                                              {"ipEdit", "IP"},
                                              {"maskEdit", "Network Mask"},
                                              {"gatewayEdit", "Gateway"}};
        const QString pairs = "Six hex pairs are expected, e.g. 00:1B:C5:0A:0B:0C.",
                      groups = "Four decimal groups 0 to 255 are expected, e.g. 192.168.0.10.";
        const QStringList refused[] = {
            {"macEdit", "aa:bb:cc:dd:ee:ff&gw=1", pairs},
            {"macEdit", "aa:bb:cc:dd:ee", pairs},
            {"macEdit", "FF:FF:FF:FF:FF:FF",
             "FF:FF:FF:FF:FF:FF is a group (multicast or broadcast) MAC address, no instrument's."},
            {"ipEdit", "256.1.1.1", groups},
            {"maskEdit", "255.0.0", groups},
            {"gatewayEdit", "", groups},
            {"ipEdit", "0.0.0.0", "0.0.0.0 is the unspecified address, no instrument's."},
            {"ipEdit", "255.255.255.255",
             "255.255.255.255 is the broadcast address, no instrument's."},
            {"ipEdit", "127.0.255.255",
             "127.0.255.255 is the broadcast address of its subnet 127.0.0.0/16."},
            {"maskEdit", "255.255.255.1",
             "255.255.255.1 is not a network mask: its ones must come first, without a gap."},
            {"gatewayEdit", "10.0.0.1",
             "10.0.0.1 is outside the subnet 127.0.0.0/16 of the IP address and mask."}};
        for (const QStringList &r : refused)
            QTest::newRow(qPrintable(r[0] + '=' + r[1]))
                << r[0] << (r[0] == "macEdit" || r[2] == groups) << r[1] << 200
                << "Input error: " + names[r[0]] + " address is incorrect!\n" + r[2];
        QTest::newRow("connection refused")
            << "ipEdit" << false << "127.0.0.69" << 0 << Lost.arg("127.0.0.63");
        QTest::newRow("refused by the instrument")
            << "ipEdit" << false << "127.0.0.69" << 500 << Lost.arg("127.0.0.63");
        QTest::newRow("silent instrument")
            << "ipEdit" << false << "127.0.0.69" << -1 << Lost.arg("127.0.0.63");
    }
    void submit()
    {
        QFETCH(QString, field);
        QFETCH(bool, dhcpOn);
        QFETCH(QString, value);
        QFETCH(int, instrument);
        QFETCH(QString, message);
        server = serve("127.0.0.63");
        QTRY_COMPARE_WITH_TIMEOUT(edit("macEdit")->text(), PageMac, ReplyWaitMs);
        server->clearLog();
        if (instrument == 0)
            server->stop();
        server->setFailureStatus(instrument == 500 ? 500 : 0);
        server->setSilent(instrument < 0);
        dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox"))->setChecked(dhcpOn);
        edit("ipEdit")->setText(QStringLiteral("127.0.0.64"));
        edit("maskEdit")->setText(QStringLiteral("255.255.0.0"));
        edit("gatewayEdit")->setText(QStringLiteral("127.000.0.1"));
        edit(field)->setText(value);
        dialog->findChild<QPushButton *>(QStringLiteral("submitButton"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(boxes->count(), 1, ReplyWaitMs);
        QCOMPARE(boxes->last().title + ": " + boxes->last().text, message);
        QCOMPARE(dialog->isVisible(), message != Restart);
        QCOMPARE(edit(field)->text(), value);
        QTest::qWait(300);
        QCOMPARE(boxes->count(), 1);
        // Only the MAC or the IP is typed in the rows that write.
        const QString written = QStringLiteral("/network.shtml?mac=%1&dhcp=%2&ip=%3"
                                               "&netmask=255.255.0.0&gw=127.0.0.1")
                                    .arg(field == "macEdit" ? value : PageMac)
                                    .arg(dhcpOn ? 1 : 0)
                                    .arg(field == "ipEdit" ? value.trimmed() : "127.0.0.64");
        const bool sent = instrument != 0 && !message.startsWith("Input error");
        QCOMPARE(server->requestLog(), sent ? QStringList({written}) : QStringList());
    }

    // Through the main window, not connected by USB: each opening reads the
    // page anew into the fields, DHCP on and then off; Cancel sends nothing
    // and hides.
    void openingReadsPageAndCancelSendsNothing()
    {
        server = serve("127.0.0.66", true, false);
        dxu_gui window;
        DxuGuiTestAccess::deviceIp(window) = QStringLiteral("127.0.0.66");
        for (bool dhcpOn : {true, false}) {
            DxuSimState state = server->state();
            state.network.dhcp = dhcpOn;
            server->setState(state);
            QVERIFY(QMetaObject::invokeMethod(&window, "ipsettings"));
            dialog = window.findChild<FindDialog *>();
            auto *dhcp = dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox"));
            QVERIFY(dialog->isVisible() && dialog->isModal());
            QTRY_COMPARE_WITH_TIMEOUT(edit("macEdit")->text(), PageMac, ReplyWaitMs);
            QStringList shown;
            for (const char *name : {"serialEdit", "ipEdit", "maskEdit", "gatewayEdit"})
                shown << edit(name)->text();
            QCOMPARE(shown,
                     QStringList({"N/A (Only for USB)", "127.0.0.61", "255.0.0.0", "127.0.0.1"}));
            QVERIFY(!edit("serialEdit")->isEnabled());
            QCOMPARE(dhcp->isChecked(), dhcpOn);
            QCOMPARE(edit("ipEdit")->isEnabled(), !dhcpOn);
            edit("macEdit")->setText(QStringLiteral("aa:aa:aa:aa:aa:aa"));
            dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
            QVERIFY(!dialog->isVisible());
        }
        QTest::qWait(300);
        QCOMPARE(server->requestLog(), QStringList({ReadPath, ReadPath}));
        QCOMPARE(boxes->count(), 0);
        server->setForeignBody("hello"); // not the network page: no answer
        QVERIFY(QMetaObject::invokeMethod(&window, "ipsettings"));
        QTRY_COMPARE_WITH_TIMEOUT(boxes->count(), 1, ReplyWaitMs);
        QVERIFY(boxes->last().text.startsWith("Can't find DXU on <b>127.0.0.66</b>"));
        // What was typed over the fields gives way to the last page that came.
        QTRY_COMPARE_WITH_TIMEOUT(edit("macEdit")->text(), PageMac, ReplyWaitMs);
    }

    // A name that does not resolve says so: only silence is the cable's.
    void unresolvableNameSaysSo()
    {
        dialog->setDeviceIp(QStringLiteral("no-such-dxu.invalid"));
        dialog->readNetworkSettings();
        QTRY_COMPARE_WITH_TIMEOUT(boxes->count(), 1, ReplyWaitMs);
        QVERIFY(
            boxes->last().text.startsWith("The name <b>no-such-dxu.invalid</b> does not resolve"));
    }

    // A second read started while the first is still waiting for its reply:
    // the first one's late page must not fill the fields or warn.
    void olderRequestDoesNotAnswerNewerOne()
    {
        auto slow = serve("127.0.0.69", true);
        DxuSimState other = slow->state();
        other.network.mac = {0xde, 0xad, 0xbe, 0xef, 0x00, 0x01};
        slow->setState(other);
        slow->setReplyDelay(1500);
        QTRY_COMPARE_WITH_TIMEOUT(slow->requestLog().size(), 1, ReplyWaitMs);
        server = serve("127.0.0.64");
        QTRY_COMPARE_WITH_TIMEOUT(edit("macEdit")->text(), PageMac, ReplyWaitMs);
        QTest::qWait(2500); // past the slow reply and the first request's watchdog
        QCOMPARE(edit("macEdit")->text(), PageMac);
        QVERIFY(!dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox"))->isChecked());
        QCOMPARE(boxes->count(), 0);
    }

    // A request the operator gave up reports nothing: a read whose dialog is
    // destroyed (run under the sanitizers, this catches a reply reaching a
    // dialog being destroyed), or a write cancelled before its reply.
    void abandonedRequestReportsNothing_data()
    {
        QTest::addColumn<bool>("cancelWrite");
        QTest::newRow("dialog destroyed") << false;
        QTest::newRow("write cancelled") << true;
    }

    void abandonedRequestReportsNothing()
    {
        QFETCH(bool, cancelWrite);
        server = serve("127.0.0.67");
        server->setReplyDelay(300);
        QTRY_COMPARE_WITH_TIMEOUT(server->requestLog().size(), 1, ReplyWaitMs);
        if (cancelWrite) {
            QTRY_COMPARE_WITH_TIMEOUT(edit("macEdit")->text(), PageMac, ReplyWaitMs);
            dialog->findChild<QPushButton *>(QStringLiteral("submitButton"))->click();
            QTRY_COMPARE_WITH_TIMEOUT(server->requestLog().size(), 2, ReplyWaitMs);
            dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
            QVERIFY(!dialog->isVisible());
        } else {
            owned.reset();
        }
        QTest::qWait(800);
        QCOMPARE(boxes->count(), 0);
    }
};

DXU_TEST_MAIN(NetworkEthernetTest)
#include "tst_network_ethernet.moc"
