// The commands over Ethernet, against the simulated instrument: what each
// operator action requests, in which order, and what the instrument then
// holds.
#include "app/dxu_gui.h"
#include "device/http_client.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/test_support.h"

#include <QInputDialog>
#include <QPushButton>

#include <memory>

struct DxuGuiTestAccess
{
    static HttpClient &httpClient(dxu_gui &w) { return *w.httpClient; }
    static double thresholdVolts(dxu_gui &w) { return w.thresholdVolts; }
};

namespace {

const char *const kAddress = "127.0.0.32";

const char *const kStartUpRunGen1 =
    "/sg_hr_run.shtml?ts1=0&ts2=0&p1=300&p2=300&pn1=1&pn2=1&ch1_st1=0&ch1_st2=0&ch1_et1=200"
    "&ch1_et2=200&ch2_st1=0&ch2_st2=0&ch2_et1=200&ch2_et2=200&freq1=0&freq2=0&sg1_run=1&save=1";

// QObject::receivers() is protected; this reaches it for the window's combos.
struct SignalReceivers : QObject
{
    static int count(const QObject *sender, const char *signal)
    {
        return (sender->*(&SignalReceivers::receivers))(signal);
    }
};

struct NumberDialogSeen
{
    QString title;
    QString label;
    double minimum = 0;
    double maximum = 0;
    int decimals = 0;
    double preset = 0;
};

// Chooses Settings → threshold and answers the number dialog with the level,
// or cancels it (std::nullopt).
NumberDialogSeen chooseThreshold(QWidget &window, std::optional<double> level)
{
    NumberDialogSeen seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        seen = {dialog->windowTitle(),   dialog->labelText(),      dialog->doubleMinimum(),
                dialog->doubleMaximum(), dialog->doubleDecimals(), dialog->doubleValue()};
        if (level) {
            dialog->setDoubleValue(*level);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    poll.start();
    EthernetWindow::action(window, "actionTrigger_threshold")->trigger();
    return seen;
}

} // namespace

class EthernetCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void runGen1SendsTheSettingsAndRunsIt();
    void runTailsOfGenerator2AndBoth();
    void stopButtonsResetTheirGenerators_data();
    void stopButtonsResetTheirGenerators();
    void microsecondsGoAsMilliseconds();
    void oneTickWidthUsesTheExponentForm();
    void sourceChangeOfGenerator2();
    void sourceChangeOfGenerator1();
    void sourceChangeAfterSeveralRepliesSendsOnce();
    void thresholdSendsResetThenLevel();
    void cancelledThresholdStillSends();

private:
    QComboBox *combo(const char *name) { return window->findChild<QComboBox *>(name); }
    QDoubleSpinBox *box(const char *name) { return window->findChild<QDoubleSpinBox *>(name); }
    void click(const char *button) { window->findChild<QPushButton *>(button)->click(); }
    // Waits until the client has ended its batch of queued requests.
    bool batchEnded()
    {
        return QTest::qWaitFor(
            [&] { return DxuGuiTestAccess::httpClient(*window).currentId() == 0; }, 10000);
    }

    DxuSimServer sim;
    std::unique_ptr<dxu_gui> window;
};

void EthernetCommandsTest::initTestCase()
{
    QVERIFY2(sim.start(QHostAddress(QLatin1String(kAddress)), 80), qPrintable(sim.errorString()));
}

void EthernetCommandsTest::init()
{
    sim.setState(DxuSimState());
    sim.setModel(3);
    window = std::make_unique<dxu_gui>();
    QVERIFY(EthernetWindow::connectTo(*window, QLatin1String(kAddress)));
    QVERIFY(batchEnded());
    sim.clearLog();
}

void EthernetCommandsTest::cleanup() { window.reset(); }

void EthernetCommandsTest::runGen1SendsTheSettingsAndRunsIt()
{
    click("runGen1");
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog(), QStringList{QLatin1String(kStartUpRunGen1)});
    QVERIFY(sim.state().gen1Running);
    QVERIFY(!sim.state().gen2Running);
    QCOMPARE(sim.requestLines().first(),
             QStringLiteral("GET %1 HTTP/1.1").arg(QLatin1String(kStartUpRunGen1)));
}

void EthernetCommandsTest::runTailsOfGenerator2AndBoth()
{
    click("runGen2");
    QVERIFY(batchEnded());
    click("runBoth");
    QVERIFY(batchEnded());
    const QStringList log = sim.requestLog();
    QCOMPARE(log.size(), 2);
    QVERIFY2(log[0].endsWith(QLatin1String("&freq2=0&sg2_run=1&save=1")), qPrintable(log[0]));
    QVERIFY2(log[1].endsWith(QLatin1String("&freq2=0&sg1_run=1&sg2_run=1&save=1")),
             qPrintable(log[1]));
    QVERIFY(sim.state().gen1Running && sim.state().gen2Running);
}

void EthernetCommandsTest::stopButtonsResetTheirGenerators_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("path");
    QTest::newRow("reset both") << "resetButton"
                                << "/sg_run.shtml?reset1=1&reset2=1";
    QTest::newRow("stop 1") << "stopGen1"
                            << "/sg_run.shtml?reset1=1";
    QTest::newRow("stop 2") << "stopGen2"
                            << "/sg_run.shtml?reset2=1";
}

void EthernetCommandsTest::stopButtonsResetTheirGenerators()
{
    QFETCH(QString, button);
    QFETCH(QString, path);
    click(qPrintable(button));
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog(), QStringList{path});
}

void EthernetCommandsTest::microsecondsGoAsMilliseconds()
{
    EthernetWindow::action(*window, "actionMicroseconds")->trigger();
    box("periodG1")->setValue(300);
    box("g1c1stop")->setValue(200);
    click("runGen1");
    QVERIFY(batchEnded());
    const QString query = sim.requestLog().value(0);
    QVERIFY2(query.contains(QLatin1String("&p1=0.3&")), qPrintable(query));
    QVERIFY2(query.contains(QLatin1String("&ch1_et1=0.2&")), qPrintable(query));
    QCOMPARE(sim.state().ch1_et1, 0.2);
}

void EthernetCommandsTest::oneTickWidthUsesTheExponentForm()
{
    box("g2c2stop")->setValue(0.00002);
    click("runGen2");
    QVERIFY(batchEnded());
    const QString query = sim.requestLog().value(0);
    QVERIFY2(query.contains(QLatin1String("&ch2_et2=2e-05&")), qPrintable(query));
}

void EthernetCommandsTest::sourceChangeOfGenerator2()
{
    combo("sourceG2")->setCurrentIndex(1);
    QVERIFY(batchEnded());
    const QStringList log = sim.requestLog();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0], QStringLiteral("/sg_run.shtml?reset1=1"));
    QVERIFY2(log[1].startsWith(QLatin1String("/sg_hr_run.shtml?ts1=0&ts2=1&")), qPrintable(log[1]));
    QVERIFY2(log[1].endsWith(QLatin1String("&freq2=0&save=1")), qPrintable(log[1]));
    QCOMPARE(sim.state().ts2, 1);
    QVERIFY(window->findChild<QRadioButton *>("showG2")->isChecked());
}

void EthernetCommandsTest::sourceChangeOfGenerator1()
{
    combo("sourceG1")->setCurrentIndex(3);
    QVERIFY(batchEnded());
    const QStringList log = sim.requestLog();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0], QStringLiteral("/sg_run.shtml?reset1=1&reset2=1"));
    QVERIFY2(log[1].startsWith(QLatin1String("/sg_hr_run.shtml?ts1=4&ts2=0&")), qPrintable(log[1]));
    QVERIFY2(log[1].endsWith(QLatin1String("&freq2=0&save=1")), qPrintable(log[1]));
    QCOMPARE(sim.state().ts1, 4);
}

void EthernetCommandsTest::sourceChangeAfterSeveralRepliesSendsOnce()
{
    const char *signal = SIGNAL(currentIndexChanged(int));
    const int afterOneReply = SignalReceivers::count(combo("sourceG1"), signal);
    QVERIFY(afterOneReply >= 1);
    for (int reply = 0; reply < 3; ++reply) {
        QVERIFY(QMetaObject::invokeMethod(window.get(), "getDXUStatus"));
        QVERIFY(batchEnded());
    }
    QCOMPARE(SignalReceivers::count(combo("sourceG1"), signal), afterOneReply);
    QCOMPARE(SignalReceivers::count(combo("sourceG2"), signal), afterOneReply);
    sim.clearLog();

    combo("sourceG1")->setCurrentIndex(1);
    QVERIFY(batchEnded());
    QTest::qWait(200);
    QCOMPARE(sim.requestLog().size(), 2);

    // The reply connected the combo again: the next change sends once more.
    combo("sourceG1")->setCurrentIndex(2);
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog().size(), 4);
    QCOMPARE(sim.state().ts1, 2);
}

void EthernetCommandsTest::thresholdSendsResetThenLevel()
{
    QVERIFY(EthernetWindow::action(*window, "actionTrigger_threshold")->isEnabled());
    const NumberDialogSeen seen = chooseThreshold(*window, 2.5);
    QCOMPARE(seen.title, QStringLiteral("Threshold Trigger"));
    QCOMPARE(seen.label, QStringLiteral("Threshold level, volts:"));
    QCOMPARE(seen.minimum, 0.05);
    QCOMPARE(seen.maximum, 5.0);
    QCOMPARE(seen.decimals, 2);
    QCOMPARE(seen.preset, 5.0);
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog(), (QStringList{QStringLiteral("/sg_run.shtml?reset1=1"),
                                            QStringLiteral("/tt.shtml?volt=2.5")}));
    QCOMPARE(sim.state().thresholdVolts, 2.5);
}

void EthernetCommandsTest::cancelledThresholdStillSends()
{
    chooseThreshold(*window, std::nullopt);
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog(), (QStringList{QStringLiteral("/sg_run.shtml?reset1=1"),
                                            QStringLiteral("/tt.shtml?volt=5")}));

    // A cancelled dialog sends the level it was opened with: the last one set.
    chooseThreshold(*window, 0.75);
    QVERIFY(batchEnded());
    sim.clearLog();
    const NumberDialogSeen seen = chooseThreshold(*window, std::nullopt);
    QCOMPARE(seen.preset, 0.75);
    QVERIFY(batchEnded());
    QCOMPARE(sim.requestLog().value(1), QStringLiteral("/tt.shtml?volt=0.75"));
    QCOMPARE(DxuGuiTestAccess::thresholdVolts(*window), 0.75);
}

DXU_TEST_MAIN(EthernetCommandsTest)
#include "tst_ethernet_commands.moc"
