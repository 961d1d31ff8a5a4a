// The instrument's replies as the window applies them: the simulated
// instrument's pages for both models, pages the patterns only partly match,
// NUL padding, which replies reach the widgets, and failed exchanges.
#include "app/dxu_gui.h"
#include "device/http_client.h"
#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QSignalSpy>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

struct DxuGuiTestAccess
{
    static HttpClient &httpClient(dxu_gui &w) { return *w.httpClient; }
    static const GeneratorSettings &record(dxu_gui &w) { return w.record; }
    static const QByteArray &httpResponse(dxu_gui &w) { return w.httpResponse; }
    static bool deviceIsDxu3(dxu_gui &w) { return w.deviceIsDxu3; }
};

namespace {

const char *const kSimAddress = "127.0.0.36";
const char *const kFixedAddress = "127.0.0.37";

// Answers every request with the same body: an instrument whose page the
// simulator does not write (NUL padding, values the patterns refuse).
class FixedReplyServer : public QObject
{
public:
    bool start(const QString &address)
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    request += socket->readAll();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    request.clear();
                    socket->write(
                        "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                        "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        return server.listen(QHostAddress(address), 80);
    }

    QByteArray body;

private:
    QTcpServer server;
    QByteArray request;
};

DxuSimState variedState()
{
    DxuSimState s;
    s.ts1 = 6;
    s.ts2 = 1;
    s.p1 = 1.5;
    s.p2 = 1234.57;
    s.pn1 = 16;
    s.pn2 = 131072;
    s.ch1_st1 = 0.00002;
    s.ch1_et1 = 0.00006; // a width of 4e-05
    s.ch2_st1 = 0.25;
    s.ch2_et1 = 0.75;
    s.ch1_st2 = 12.5;
    s.ch1_et2 = 212.5;
    s.ch2_st2 = 3;
    s.ch2_et2 = 3.00002;
    s.freq1 = 3;
    s.freq2 = 2;
    return s;
}

} // namespace

class EthernetRepliesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageRecoversTheInstrumentsState_data();
    void pageRecoversTheInstrumentsState();
    void firstPageSendsNoSourceChange();
    void laterRepliesChangeTheRecordOnly();
    void nulBytesAreRemovedFromTheStoredReply();
    void partlyMatchingPageLeavesTheTwelveFields_data();
    void partlyMatchingPageLeavesTheTwelveFields();
    void failedExchangeRereadsThePreviousPage();
    void errorTextBoxShowsTheClientsError();

private:
    QComboBox *combo(const char *name) { return window->findChild<QComboBox *>(name); }
    QDoubleSpinBox *box(const char *name) { return window->findChild<QDoubleSpinBox *>(name); }
    QSpinBox *pulses(const char *name) { return window->findChild<QSpinBox *>(name); }
    bool batchEnded()
    {
        return QTest::qWaitFor(
            [&] { return DxuGuiTestAccess::httpClient(*window).currentId() == 0; }, 10000);
    }
    void requestStatus() { QVERIFY(QMetaObject::invokeMethod(window.get(), "getDXUStatus")); }

    DxuSimServer sim;
    FixedReplyServer fixed;
    std::unique_ptr<dxu_gui> window;
};

void EthernetRepliesTest::initTestCase()
{
    QVERIFY2(sim.start(QHostAddress(QLatin1String(kSimAddress)), 80),
             qPrintable(sim.errorString()));
    QVERIFY(fixed.start(QLatin1String(kFixedAddress)));
}

void EthernetRepliesTest::init()
{
    QVERIFY(sim.isListening() || sim.start(QHostAddress(QLatin1String(kSimAddress)), 80));
    sim.setState(DxuSimState());
    sim.setModel(3);
    sim.clearLog();
    window = std::make_unique<dxu_gui>();
}

void EthernetRepliesTest::cleanup() { window.reset(); }

void EthernetRepliesTest::pageRecoversTheInstrumentsState_data()
{
    QTest::addColumn<int>("model");
    QTest::newRow("DXU2") << 2;
    QTest::newRow("DXU3") << 3;
}

void EthernetRepliesTest::pageRecoversTheInstrumentsState()
{
    QFETCH(int, model);
    const DxuSimState s = variedState();
    sim.setState(s);
    sim.setModel(model);
    QSignalSpy statusMessages(window->statusBar(), &QStatusBar::messageChanged);

    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QCOMPARE(EthernetWindow::connectionLabel(*window),
             QStringLiteral("127.0.0.36 (DXU%1)").arg(model));
    QVERIFY(statusMessages.contains(QVariantList{QStringLiteral("Command applied")}));

    const GeneratorSettings &r = DxuGuiTestAccess::record(*window);
    QCOMPARE(int(r.ts1), s.ts1);
    QCOMPARE(int(r.ts2), s.ts2);
    QCOMPARE(r.p1, s.p1);
    QCOMPARE(r.p2, s.p2);
    QCOMPARE(r.pn1, s.pn1);
    QCOMPARE(r.pn2, s.pn2);
    QCOMPARE(r.ch1_st1, s.ch1_st1);
    QCOMPARE(r.ch1_et1, s.ch1_et1);
    QCOMPARE(r.ch2_st1, s.ch2_st1);
    QCOMPARE(r.ch2_et1, s.ch2_et1);
    QCOMPARE(r.ch1_st2, s.ch1_st2);
    QCOMPARE(r.ch1_et2, s.ch1_et2);
    QCOMPARE(r.ch2_st2, s.ch2_st2);
    QCOMPARE(r.ch2_et2, s.ch2_et2);
    QCOMPARE(r.freq1, s.freq1);
    QCOMPARE(r.freq2, s.freq2);

    // The widgets show the first page, widths as widths.
    QCOMPARE(combo("sourceG1")->currentIndex(), 4);
    QCOMPARE(combo("sourceG2")->currentIndex(), 1);
    QCOMPARE(combo("timeUnitG1")->currentIndex(), 3);
    QCOMPARE(combo("timeUnitG2")->currentIndex(), 2);
    QCOMPARE(box("periodG1")->value(), 1.5);
    QCOMPARE(box("periodG2")->value(), 1234.57);
    QCOMPARE(pulses("pulsesG2")->value(), 131072);
    QCOMPARE(box("g1c1start")->value(), 0.00002);
    QCOMPARE(box("g1c1stop")->value(), 0.00004);
    QCOMPARE(box("g2c1stop")->value(), 200.0);
    QCOMPARE(box("g2c2stop")->value(), 0.00002);

    const bool model3 = model == 3;
    QCOMPARE(DxuGuiTestAccess::deviceIsDxu3(*window), model3);
    QCOMPARE(EthernetWindow::action(*window, "actionTrigger_threshold")->isEnabled(), model3);
    QCOMPARE(EthernetWindow::action(*window, "actionDivideBy_calc")->isEnabled(), model3);
    QVERIFY(EthernetWindow::action(*window, "actionIP_Settings")->isEnabled());
    QVERIFY(window->findChild<QGroupBox *>("groupG1")->isEnabled());
}

void EthernetRepliesTest::firstPageSendsNoSourceChange()
{
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    // Closing the link leaves the source combos connected.
    EthernetWindow::disconnectEthernet(*window);
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("Disconnected"));

    DxuSimState running;
    running.ts1 = 2;
    running.ts2 = 1;
    running.ch2_et2 = 150; // a field of generator 2 changes last
    running.gen1Running = true;
    running.gen2Running = true;
    sim.setState(running);
    sim.clearLog();

    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    QTest::qWait(200);
    QCOMPARE(sim.requestLog(), QStringList{QStringLiteral("/sg_hr_setup2.shtml")});
    QVERIFY(sim.state().gen1Running);
    QVERIFY(sim.state().gen2Running);
    QCOMPARE(combo("sourceG1")->currentIndex(), 2);
    QCOMPARE(combo("sourceG2")->currentIndex(), 1);
    // The value slots still ran while the combos were quiet.
    QCOMPARE(box("g2c2stop")->value(), 150.0);
    QVERIFY(window->findChild<QRadioButton *>("showG2")->isChecked());

    // Afterwards the operator's own source change is sent again.
    QVERIFY(!combo("sourceG1")->signalsBlocked());
    combo("sourceG1")->setCurrentIndex(0);
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog().size(), 3);
    QCOMPARE(sim.state().ts1, 0);
}

void EthernetRepliesTest::laterRepliesChangeTheRecordOnly()
{
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());

    DxuSimState changed;
    changed.p1 = 5;
    changed.ts1 = 4;
    changed.freq2 = 1;
    sim.setState(changed);
    requestStatus();
    QVERIFY(batchEnded());
    const GeneratorSettings &r = DxuGuiTestAccess::record(*window);
    QCOMPARE(r.p1, 5.0);
    QCOMPARE(int(r.ts1), 4);
    QCOMPARE(r.freq2, 1);
    QCOMPARE(box("periodG1")->value(), 300.0);
    QCOMPARE(combo("sourceG1")->currentIndex(), 0);
    QCOMPARE(combo("timeUnitG2")->currentIndex(), 0);

    // A new connection fills them again.
    EthernetWindow::disconnectEthernet(*window);
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    QCOMPARE(box("periodG1")->value(), 5.0);
    QCOMPARE(combo("sourceG1")->currentIndex(), 3);
    QCOMPARE(combo("timeUnitG2")->currentIndex(), 1);
}

void EthernetRepliesTest::nulBytesAreRemovedFromTheStoredReply()
{
    const DxuSimState s = variedState();
    const QByteArray page = setupPage(s, 3);
    QByteArray padded;
    for (qsizetype at = 0; at < page.size(); at += 7)
        padded += page.mid(at, 7) + '\0';
    padded += QByteArray(512, '\0');
    fixed.body = padded;

    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kFixedAddress)));
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("127.0.0.37 (DXU3)"));
    QCOMPARE(DxuGuiTestAccess::httpResponse(*window), page);
    const GeneratorSettings &r = DxuGuiTestAccess::record(*window);
    QCOMPARE(r.p2, s.p2);
    QCOMPARE(r.ch2_et2, s.ch2_et2);
    QCOMPARE(int(r.ts1), s.ts1);
    QCOMPARE(r.freq2, s.freq2);
}

void EthernetRepliesTest::partlyMatchingPageLeavesTheTwelveFields_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("one-digit exponent")
        << QByteArray("value=\"0.5\"") << QByteArray("value=\"1e-5\"");
    QTest::newRow("no doubled quote") << QByteArray("\"\">") << QByteArray("\">");
}

void EthernetRepliesTest::partlyMatchingPageLeavesTheTwelveFields()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    DxuSimState s;
    s.p1 = 7;
    s.pn2 = 9;
    s.ch2_et1 = 0.5; // a width of 0.5
    s.ts1 = 2;
    s.freq1 = 1;
    QByteArray page = setupPage(s, 2);
    QVERIFY(page.contains(from));
    fixed.body = page.replace(from, to);

    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kFixedAddress)));
    const GeneratorSettings &r = DxuGuiTestAccess::record(*window);
    QCOMPARE(r.p1, 300.0);
    QCOMPARE(r.pn2, 1);
    QCOMPARE(r.ch2_et1, 200.0);
    QCOMPARE(box("periodG1")->value(), 300.0);
    // The selects have patterns of their own.
    QCOMPARE(int(r.ts1), 2);
    QCOMPARE(r.freq1, 1);
    QCOMPARE(combo("sourceG1")->currentIndex(), 2);
}

void EthernetRepliesTest::failedExchangeRereadsThePreviousPage()
{
    DxuSimState s;
    s.p1 = 42;
    sim.setState(s);
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kSimAddress)));
    QVERIFY(batchEnded());
    const QByteArray page = DxuGuiTestAccess::httpResponse(*window);

    MessageBoxWatcher boxes;
    QSignalSpy statusMessages(window->statusBar(), &QStatusBar::messageChanged);
    sim.stop(); // the address now refuses connections
    box("periodG1")->setValue(8);
    window->findChild<QPushButton *>("runGen1")->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 10000);
    QCOMPARE(boxes.last().title, QStringLiteral("DXU Ethernet Connection"));
    QCOMPARE(boxes.last().text, QStringLiteral("Can't find DXU on <b>127.0.0.36</b> <br>Check "
                                               "ethernet cable or try to connect via USB!"));
    QCOMPARE(boxes.last().icon, QMessageBox::Warning);
    QVERIFY(statusMessages.contains(QVariantList{QStringLiteral("Error")}));

    // The stored page is kept and read again: the record goes back to it.
    QCOMPARE(DxuGuiTestAccess::httpResponse(*window), page);
    QCOMPARE(DxuGuiTestAccess::record(*window).p1, 42.0);
    QVERIFY(DxuGuiTestAccess::deviceIsDxu3(*window));
    QCOMPARE(EthernetWindow::connectionLabel(*window), QStringLiteral("Disconnected"));
    QVERIFY(!EthernetWindow::action(*window, "actionEthernet")->isChecked());
    QVERIFY(!window->findChild<QGroupBox *>("groupG1")->isEnabled());
    QVERIFY(EthernetWindow::action(*window, "actionIP_Settings")->isEnabled());

    // The source combos no longer send.
    QVERIFY(sim.start(QHostAddress(QLatin1String(kSimAddress)), 80));
    sim.clearLog();
    combo("sourceG1")->setCurrentIndex(1);
    QTest::qWait(300);
    QCOMPARE(sim.requestLog(), QStringList());
}

void EthernetRepliesTest::errorTextBoxShowsTheClientsError()
{
    sim.stop();
    MessageBoxWatcher boxes;
    EthernetWindow::chooseEthernet(*window, QLatin1String(kSimAddress));
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 10000);

    QVERIFY(QMetaObject::invokeMethod(window.get(), "handleResponse2", Q_ARG(bool, false)));
    QCOMPARE(boxes.count(), 1);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "handleResponse2", Q_ARG(bool, true)));
    QCOMPARE(boxes.count(), 2);
    QCOMPARE(boxes.last().text, QStringLiteral("Connection refused (or timed out)"));
    QCOMPARE(boxes.last().title, QString());
}

DXU_TEST_MAIN(EthernetRepliesTest)
#include "tst_ethernet_replies.moc"
