// The commands over Ethernet, against the simulated instrument: what each
// operator action requests, and in which order.
#include "app/dxu_gui.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/test_support.h"

#include <QInputDialog>
#include <QPushButton>

#include <memory>

using namespace EthernetWindow;

namespace {

const char *const kAddress = "127.0.0.32";

// Run Gen1 with the values the window starts with.
const QString kStartUpRunGen1 = QStringLiteral(
    "/sg_hr_run.shtml?ts1=0&ts2=0&p1=300&p2=300&pn1=1&pn2=1&ch1_st1=0&ch1_st2=0&ch1_et1=200"
    "&ch1_et2=200&ch2_st1=0&ch2_st2=0&ch2_et1=200&ch2_et2=200&freq1=0&freq2=0&sg1_run=1&save=1");

// kStartUpRunGen1 with one part replaced.
QString startUpWith(const char *from, const char *to)
{
    return QString(kStartUpRunGen1).replace(QLatin1String(from), QLatin1String(to));
}

} // namespace

class EthernetCommandsTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim;
    std::unique_ptr<dxu_gui> window;

private slots:
    void initTestCase()
    {
        QVERIFY2(sim.start(QHostAddress(QLatin1String(kAddress))), qPrintable(sim.errorString()));
    }

    void init()
    {
        sim.setState(DxuSimState());
        window = std::make_unique<dxu_gui>();
        QVERIFY(connectTo(*window, QLatin1String(kAddress)));
        // Every reply connects the source combos again: a change after
        // several replies must still send once.
        for (int reply = 0; reply < 3; ++reply) {
            QVERIFY(QMetaObject::invokeMethod(window.get(), "getDXUStatus"));
            QVERIFY(batchEnded(*window));
        }
        sim.clearLog();
    }

    void cleanup() { window.reset(); }

    void operatorStepsSendTheirRequests_data()
    {
        // Steps: "name=value" sets a spin box, chooses a combo's entry or
        // answers a menu action's number dialog; a bare name clicks a button
        // or triggers a menu action and cancels its dialog.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("sent");
        const QString settings = startUpWith("&sg1_run=1", "");
        QTest::newRow("run gen1") << QStringList{"runGen1"} << QStringList{kStartUpRunGen1};
        QTest::newRow("run both") << QStringList{"runBoth"}
                                  << QStringList{startUpWith("&sg1_run=1", "&sg1_run=1&sg2_run=1")};
        QTest::newRow("200 us") << QStringList{"actionMicroseconds", "g1c1stop=200", "runGen1"}
                                << QStringList{startUpWith("ch1_et1=200", "ch1_et1=0.2")};
        QTest::newRow("20 ns width") << QStringList{"g1c1stop=0.00002", "runGen1"}
                                     << QStringList{startUpWith("ch1_et1=200", "ch1_et1=2e-05")};
        QTest::newRow("stop 1") << QStringList{"stopGen1"} << QStringList{"/sg_run.shtml?reset1=1"};
        QTest::newRow("stop 2") << QStringList{"stopGen2"} << QStringList{"/sg_run.shtml?reset2=1"};
        QTest::newRow("reset") << QStringList{"resetButton"}
                               << QStringList{"/sg_run.shtml?reset1=1&reset2=1"};
        QTest::newRow("source 2") << QStringList{"sourceG2=1"}
                                  << QStringList{"/sg_run.shtml?reset1=1",
                                                 QString(settings).replace("ts2=0", "ts2=1")};
        QTest::newRow("source 1") << QStringList{"sourceG1=3"}
                                  << QStringList{"/sg_run.shtml?reset1=1&reset2=1",
                                                 QString(settings).replace("ts1=0", "ts1=4")};
        // The second change comes before the first one's reply.
        QTest::newRow("both sources")
            << QStringList{"sourceG1=3", "sourceG2=1"}
            << QStringList{"/sg_run.shtml?reset1=1&reset2=1",
                           QString(settings).replace("ts1=0", "ts1=4"), "/sg_run.shtml?reset1=1",
                           QString(settings).replace("ts1=0", "ts1=4").replace("ts2=0", "ts2=1")};
        // A cancelled threshold dialog sends nothing.
        QTest::newRow("threshold")
            << QStringList{"actionTrigger_threshold=2.5", "actionTrigger_threshold"}
            << QStringList{"/sg_run.shtml?reset1=1", "/tt.shtml?volt=2.5"};
    }

    void operatorStepsSendTheirRequests()
    {
        QFETCH(QStringList, steps);
        for (const QString &step : steps) {
            const QString name = step.section(QLatin1Char('='), 0, 0);
            const QString value = step.section(QLatin1Char('='), 1);
            if (auto *spinBox = window->findChild<QDoubleSpinBox *>(name)) {
                spinBox->setValue(value.toDouble());
            } else if (auto *combo = window->findChild<QComboBox *>(name)) {
                combo->setCurrentIndex(value.toInt());
            } else if (auto *button = window->findChild<QPushButton *>(name)) {
                button->click();
            } else {
                QTimer::singleShot(0, [value] {
                    auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
                    if (dialog && !value.isEmpty())
                        dialog->setDoubleValue(value.toDouble());
                    if (dialog)
                        value.isEmpty() ? dialog->reject() : dialog->accept();
                });
                action(*window, qPrintable(name))->trigger();
            }
        }
        QVERIFY(batchEnded(*window));
        QTEST(sim.requestLog(), "sent");
    }
};

DXU_TEST_MAIN(EthernetCommandsTest)
#include "tst_ethernet_commands.moc"
