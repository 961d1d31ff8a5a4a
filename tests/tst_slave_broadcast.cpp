// The query the slave dialog sends, and its broadcast against simulated
// instruments on 127.0.0.51-.55, port 80: one request per selected instrument
// in turn, the warning for one that stays silent or refuses, Abort, a second
// Apply while one runs, quitting while one waits, the watchdog and clients
// left behind. Also measures a broadcast to five.
#include "device/http_client.h"
#include "multidevice/broadcast_query.h"
#include "multidevice/multidxudialog.h"
#include "persistence/profile_value.h"
#include "sim/dxu_sim_server.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>

#include <memory>
#include <vector>

struct SlaveDialogTestAccess
{
    static Ui::multidxudialogClass &ui(multidxudialog &d) { return d.ui; }
    static bool watchdogRuns(multidxudialog &d) { return d.requestTimer.isActive(); }
};

class SlaveBroadcastTest : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<DxuSimServer>> instruments;
    // When each request reached a simulated instrument, and which one.
    QElapsedTimer clock;
    QList<qint64> arrivals;
    QStringList arrivedAt;
    std::unique_ptr<multidxudialog> dialog;
    Ui::multidxudialogClass *ui = nullptr;

    // A shown dialog listing 127.0.0.<last> for each of `lasts`, all selected,
    // with a simulated instrument on each address. The addresses are typed
    // with leading zeros ("127.0.0.051"), which are decimal.
    bool open(const QList<int> &lasts)
    {
        clock.start();
        QList<std::optional<QString>> answers;
        for (int last : lasts) {
            const QString host = QStringLiteral("127.0.0.%1").arg(last);
            answers << QStringLiteral("127.0.0.%1").arg(last, 3, 10, QLatin1Char('0'));
            DxuSimServer *instrument = instruments.emplace_back(new DxuSimServer).get();
            connect(instrument, &DxuSimServer::requestReceived, this, [this, host] {
                arrivals << clock.elapsed();
                arrivedAt << host;
            });
            if (!instrument->start(QHostAddress(host), 80))
                return false;
        }
        dialog = std::make_unique<multidxudialog>();
        ui = &SlaveDialogTestAccess::ui(*dialog);
        dialog->show();
        InputDialogAnswerer answerer(answers);
        for (int i = 0; i < lasts.size(); ++i)
            ui->pushButton_2->click();
        ui->pushButton_4->click();
        return ui->dxulistWidget->selectedItems().size() == lasts.size();
    }

    DxuSimServer &server(int i) { return *instruments.at(i); }

private slots:
    void cleanup()
    {
        dialog.reset();
        instruments.clear();
        arrivals.clear();
        arrivedAt.clear();
    }

    void queryPlacesEveryPanelAndRunsNoGenerator()
    {
        // Distinct values everywhere, so that two swapped fields show; each
        // channel ends at delay plus width, summed before it is formatted.
        const ProfileValue panels = parseProfileValue(
            QStringLiteral("6|0|1234.5678|2.5|40000|131072|1.5|2|3|0.25|5|6|10000|736.12345|3|1"));
        QCOMPARE(broadcastQuery(panels),
                 QStringLiteral("/sg_hr_run.shtml?ts1=6&ts2=0&p1=1234.57&p2=2.5&pn1=40000"
                                "&pn2=131072&ch1_st1=1.5&ch1_st2=5&ch1_et1=3.5&ch1_et2=11"
                                "&ch2_st1=3&ch2_st2=10000&ch2_et1=3.25&ch2_et2=10736.1"
                                "&freq1=3&freq2=1&save=1"));
    }

    void silentOrRefusingInstrumentIsReportedEach()
    {
        QVERIFY(open({51, 52, 54, 53}));
        server(1).setSilent(true);
        server(2).setFailureStatus(500);
        ui->sourceG1->setCurrentIndex(4); // Ext.Trig. High Level
        ui->periodG1->setValue(250);
        ui->pulsesG1->setValue(40000);
        ui->g1c1start->setValue(1.5);
        ui->g1c1stop->setValue(2);
        ui->timeUnitG2->setCurrentIndex(3);
        QList<qint64> boxTimes;
        MessageBoxWatcher boxes([&](QMessageBox *box) {
            boxTimes << clock.elapsed();
            box->button(QMessageBox::Ok)->click();
        });
        ui->pushButton->click(); // returns when the broadcast is over

        const QString query = QStringLiteral(
            "/sg_hr_run.shtml?ts1=6&ts2=1&p1=250&p2=1000&pn1=40000&pn2=10&ch1_st1=1.5&ch1_st2=0"
            "&ch1_et1=3.5&ch1_et2=10&ch2_st1=0&ch2_st2=0&ch2_et1=10&ch2_et2=10&freq1=0&freq2=3"
            "&save=1");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(server(i).requestLog(), QStringList{query});
        QCOMPARE(arrivedAt, (QStringList{"127.0.0.51", "127.0.0.52", "127.0.0.54", "127.0.0.53"}));
        // One box for the silent one, when the watchdog gave up on it, and
        // one for the refusal.
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(boxes.last().title, QStringLiteral("Slave DXU's connection problem"));
        QCOMPARE(boxes.last().text, QStringLiteral("At least one DXU in list did not response "
                                                   "after 2 sec!\nCheck Ethernet connection."));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        const qint64 waited = boxTimes[0] - arrivals[1];
        QVERIFY2(waited >= 1800 && waited < 6000, qPrintable(QString::number(waited)));
        // The next requests went out only after the box was answered.
        QVERIFY(arrivals[2] >= boxTimes[0]);
        QVERIFY(arrivals[3] >= boxTimes[1]);

        // Nothing of that broadcast fires into a later one or delivers later.
        QVERIFY(!SlaveDialogTestAccess::watchdogRuns(*dialog));
        server(2).setFailureStatus(0);
        ui->dxulistWidget->item(1)->setSelected(false);
        ui->pushButton->click();
        QCOMPARE(server(3).requestLog().size(), 2);
        QVERIFY(!SlaveDialogTestAccess::watchdogRuns(*dialog));
        QTest::qWait(2300);
        QCOMPARE(boxes.count(), 2);
        QVERIFY(dialog->findChildren<HttpClient *>().isEmpty());
    }

    void abortStopsBeforeTheNextAndASecondApplyIsIgnored()
    {
        QVERIFY(open({51, 52, 53}));
        int requests = 0;
        for (int i = 0; i < 3; ++i)
            connect(&server(i), &DxuSimServer::requestReceived, dialog.get(), [&] {
                if (++requests == 1) {
                    // Reaches the dialog inside the broadcast's own waits.
                    QMetaObject::invokeMethod(dialog.get(), "applySettings", Qt::QueuedConnection);
                    return;
                }
                // Abort hides the progress window, so the button could be
                // pressed again while the request in flight finishes.
                QProgressDialog *progress = dialog->findChild<QProgressDialog *>();
                QVERIFY(progress && progress->isVisible() && requests == 2);
                QCOMPARE(progress->windowModality(), Qt::WindowModal);
                for (QPushButton *button : progress->findChildren<QPushButton *>())
                    if (button->text() == QLatin1String("Abort"))
                        button->click();
                ui->pushButton->click();
            });
        MessageBoxWatcher boxes;
        ui->pushButton->click();

        QCOMPARE(server(0).requestLog().size(), 1);
        // The request in flight when Abort was pressed finished normally.
        QCOMPARE(server(1).requestLog().size(), 1);
        QCOMPARE(server(1).state().saves, 1);
        QVERIFY(server(2).requestLog().isEmpty());
        QCOMPARE(boxes.count(), 0);
    }

    // Closing the panel while a broadcast waits on a silent instrument: once
    // the application quits no event loop runs, so the wait ends there, its
    // request abandoned without a box.
    void quittingEndsTheWait()
    {
        QVERIFY(open({51, 52}));
        server(0).setSilent(true);
        connect(&server(0), &DxuSimServer::requestReceived, dialog.get(),
                [] { QCoreApplication::exit(0); });
        MessageBoxWatcher boxes;
        QTimer::singleShot(0, ui->pushButton, &QPushButton::click);
        QCoreApplication::exec(); // returns once the broadcast has returned
        QCOMPARE(boxes.count(), 0);
        QVERIFY(server(1).requestLog().isEmpty());
        QVERIFY(!SlaveDialogTestAccess::watchdogRuns(*dialog));
    }

    void measureBroadcastToFive()
    {
        QVERIFY(open({51, 52, 53, 54, 55}));
        QElapsedTimer took;
        took.start();
        ui->pushButton->click();
        qInfo("broadcast to five answering instruments: %lld ms", took.elapsed());
        for (int i = 0; i < 5; ++i)
            QCOMPARE(server(i).requestLog().size(), 1);
    }
};

DXU_TEST_MAIN(SlaveBroadcastTest)
#include "tst_slave_broadcast.moc"
