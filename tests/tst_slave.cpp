// The slave dialog: its address list (adding and checking addresses,
// selecting, deleting, the buttons that follow the selection, hiding and
// reopening), its panels filled from a stored profile, the main window's one
// instance; and the broadcast against simulated instruments on
// 127.0.0.51-.54, port 80: one request per selected instrument in turn, the
// warning for one that stays silent or refuses, Abort, a second Apply while
// one runs, quitting while one waits, the watchdog and clients left behind.
#include "app/dxu_gui.h"
#include "device/http_client.h"
#include "device/request_watchdog.h"
#include "multidevice/multidxudialog.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QAction>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>

#include <memory>
#include <vector>

struct SlaveDialogTestAccess
{
    static Ui::multidxudialogClass &ui(multidxudialog &d) { return d.ui; }
    static const QStringList &ipList(multidxudialog &d) { return d.ipList; }
    static bool watchdogRuns(multidxudialog &d) { return d.requestWatchdog->isRunning(); }
};

namespace {

// Types each address into the "Add DXU" box (a null text cancels it).
void add(multidxudialog &dialog, const QStringList &addresses)
{
    QList<std::optional<QString>> answers;
    for (const QString &address : addresses)
        answers << (address.isNull() ? std::nullopt : std::optional<QString>(address));
    InputDialogAnswerer answerer(answers);
    for (int i = 0; i < addresses.size(); ++i)
        SlaveDialogTestAccess::ui(dialog).pushButton_2->click();
    QCOMPARE(answerer.count(), int(addresses.size()));
    QCOMPARE(answerer.last().presetText, QStringLiteral("192.168.0.0"));
}

// The rows selected, and Apply and Delete enabled exactly when there are some;
// the list shows the addresses as typed, in order.
void checkList(multidxudialog &dialog, const QStringList &addresses, const QList<int> &selected)
{
    auto &ui = SlaveDialogTestAccess::ui(dialog);
    QStringList shown;
    QList<int> rows;
    for (int row = 0; row < ui.dxulistWidget->count(); ++row) {
        shown << ui.dxulistWidget->item(row)->text();
        if (ui.dxulistWidget->item(row)->isSelected())
            rows << row;
    }
    QCOMPARE(SlaveDialogTestAccess::ipList(dialog), addresses);
    QCOMPARE(shown, addresses);
    QCOMPARE(rows, selected);
    QCOMPARE(ui.pushButton->isEnabled(), !selected.isEmpty());
    QCOMPARE(ui.pushButton_3->isEnabled(), !selected.isEmpty());
}

// Replaces the stored profiles with these names and values.
void storeOnly(const QList<std::pair<QString, QString>> &profiles)
{
    QScopedPointer<QSettings> settings(SettingsStore::openProfileSettings());
    settings->remove(QString());
    for (const auto &[name, value] : profiles)
        settings->setValue(name, value);
    settings->sync();
}

// The panels in the order of a stored profile; sources and time bases as shown.
QString panels(const Ui::multidxudialogClass &ui)
{
    QStringList fields = {ui.sourceG1->currentText(), ui.sourceG2->currentText()};
    const QList<QAbstractSpinBox *> boxes = {ui.periodG1,  ui.periodG2, ui.pulsesG1,  ui.pulsesG2,
                                             ui.g1c1start, ui.g1c1stop, ui.g1c2start, ui.g1c2stop,
                                             ui.g2c1start, ui.g2c1stop, ui.g2c2start, ui.g2c2stop};
    for (const QAbstractSpinBox *box : boxes)
        fields << box->property("value").toString();
    fields << ui.timeUnitG1->currentText() << ui.timeUnitG2->currentText();
    return fields.join(QLatin1Char('|'));
}

} // namespace

class SlaveTest : public QObject
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
        QStringList typed;
        for (int last : lasts) {
            const QString host = QStringLiteral("127.0.0.%1").arg(last);
            typed << QStringLiteral("127.0.0.%1").arg(last, 3, 10, QLatin1Char('0'));
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
        add(*dialog, typed);
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

    // A refused address leaves the list and its selection alone, a listed
    // one rebuilds the list without selection; one click toggles one row;
    // hiding keeps everything; Delete drops the selected rows.
    void theAddressList()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        QListWidget *list = ui.dxulistWidget;
        dialog.show();
        checkList(dialog, {}, {});
        QCOMPARE(panels(ui), QStringLiteral("Ext.Trig. Rising Edge|Gen1 Slave|1000|1000|10|10|0|10|"
                                            "0|10|0|10|0|10|20 ns|20 ns"));
        add(dialog, {QStringLiteral("10.0.0.1")});
        list->item(0)->setSelected(true);
        MessageBoxWatcher boxes;
        // A duplicate (blanks around it dropped), a group above 255, three
        // groups, empty, markup, no instrument's addresses; cancelled.
        add(dialog, {" 10.0.0.1 ", "10.256.0.1", "10.0.1", QStringLiteral(""), "<i>R&D", "0.0.0.0",
                     "239.1.1.1", QString()});
        QTest::qWait(50);
        QStringList titles;
        for (const SeenMessageBox &box : boxes.seen())
            titles << box.title;
        QCOMPARE(titles, QStringList{"Input error"} + QStringList(6, "IP error"));
        // Shown as text, not as markup.
        QVERIFY(boxes.seen()[4].text.endsWith(
            "<br>&lt;i&gt;R&amp;D is not an IPv4 address or host name."));
        QVERIFY(boxes.last().text.contains("<br>239.1.1.1 is a multicast address"));
        checkList(dialog, {QStringLiteral("10.0.0.1")}, {0});
        const QStringList all = {"10.0.0.1", "010.000.000.002", "10.0.0.3",
                                 "10.0.0.4", "dxu-5.lab",       "127.0.0.51"};
        add(dialog, all.mid(1));
        checkList(dialog, all, {});

        const auto click = [&](int row) { // no modifier key needed
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                              list->visualItemRect(list->item(row)).center());
        };
        ui.pushButton_4->click();
        checkList(dialog, all, {0, 1, 2, 3, 4, 5});
        ui.pushButton_5->click();
        checkList(dialog, all, {});
        click(0);
        click(2);
        checkList(dialog, all, {0, 2});
        ui.pushButton_5->click();
        checkList(dialog, all, {1, 3, 4, 5});
        click(5);

        ui.periodG1->setValue(12.5);
        dialog.close();
        dialog.show();
        checkList(dialog, all, {1, 3, 4});
        QCOMPARE(ui.periodG1->value(), 12.5);
        ui.pushButton_3->click();
        QCOMPARE(boxes.count(), 7); // none for Delete
        checkList(dialog, {"10.0.0.1", "10.0.0.3", "127.0.0.51"}, {});
    }

    // Made at its first opening from the main window, the dialog lists the
    // profiles there were at start-up, and is the same dialog at every
    // opening. A stored profile fills its panels: source codes and time bases
    // without an entry (3 and 7; 4 and -1) leave their boxes, a blank entry
    // changes nothing, and a profile deleted since reads as the default.
    void aStoredProfileFillsThePanels()
    {
        // Distinct values everywhere, so that two swapped fields show.
        const QString values = QStringLiteral("|0.25|2.5|40000|7|1.5|2|3.25|4|5.5|6|7.75|8|");
        storeOnly({{"p", "4|0" + values + "3|2"},
                   {"odd", "3|7|12|13|2|3|0|1|0|1|0|1|0|1|4|-1"},
                   {"gone", "6|1|1|2|3|4|5|6|7|8|3|3"}});
        dxu_gui window;
        window.show();
        QScopedPointer<QSettings>(SettingsStore::openProfileSettings())->remove("gone");
        QAction *action = window.findChild<QAction *>(QStringLiteral("actionManage_Slave"));
        action->trigger();
        QCOMPARE(window.findChildren<multidxudialog *>().size(), 1);
        multidxudialog *dialog = window.findChildren<multidxudialog *>().first();
        QVERIFY(dialog->isVisible());
        auto &ui = SlaveDialogTestAccess::ui(*dialog);
        QComboBox *combo = ui.slavePresetsCombo;
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names << combo->itemText(i);
        QCOMPARE(names, (QStringList{" ", "gone", "odd", "p"}));

        combo->setCurrentText(QStringLiteral("p"));
        QCOMPARE(panels(ui), "Ext.Trig. Lowering Edge|Software" + values + "160 ns|80 ns");
        combo->setCurrentText(QStringLiteral("odd"));
        ui.periodG1->setValue(99);
        const QString edited = panels(ui);
        QCOMPARE(edited, QStringLiteral("Ext.Trig. Lowering Edge|Software|99|13|2|3|0|1|0|1|0|1|0|"
                                        "1|160 ns|80 ns"));
        combo->setCurrentText(QStringLiteral(" "));
        QCOMPARE(panels(ui), edited);
        combo->setCurrentText(QStringLiteral("gone"));
        QCOMPARE(panels(ui), QStringLiteral("Software|Software|300|300|1|1|0|200|0|200|0|200|0|200|"
                                            "20 ns|20 ns"));

        dialog->close();
        action->trigger();
        QCOMPARE(window.findChildren<multidxudialog *>().size(), 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(ui.periodG1->value(), 300); // as left
    }

    void silentOrRefusingInstrumentIsReportedEach()
    {
        QVERIFY(open({51, 52, 54, 53}));
        server(1).setSilent(true);
        server(2).setFailureStatus(500);
        server(3).setForeignBody("hello"); // not the instrument's page
        ui->sourceG1->setCurrentIndex(4);  // Ext.Trig. High Level
        ui->periodG1->setValue(250);
        ui->pulsesG1->setValue(40000);
        ui->g1c1start->setValue(1.5);
        ui->g1c1stop->setValue(2);
        // each channel ends at delay plus width, summed before it is formatted
        ui->g2c2start->setValue(10000);
        ui->g2c2stop->setValue(735.12345);
        ui->timeUnitG2->setCurrentIndex(3);
        QList<qint64> boxTimes;
        MessageBoxWatcher boxes([&](QMessageBox *box) {
            boxTimes << clock.elapsed();
            box->button(QMessageBox::Ok)->click();
        });
        ui->pushButton->click(); // returns when the broadcast is over

        const QString query = QStringLiteral(
            "/sg_hr_run.shtml?ts1=6&ts2=1&p1=250&p2=1000&pn1=40000&pn2=10&ch1_st1=1.5&ch1_st2=0"
            "&ch1_et1=3.5&ch1_et2=10&ch2_st1=0&ch2_st2=10000&ch2_et1=10&ch2_et2=10735.1&freq1=0"
            "&freq2=3&save=1");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(server(i).requestLog(), QStringList{query});
        QCOMPARE(arrivedAt, (QStringList{"127.0.0.51", "127.0.0.52", "127.0.0.54", "127.0.0.53"}));
        // One box for the silent one, when the watchdog gave up on it, and
        // one each for the refusal and the foreign page.
        QCOMPARE(boxes.count(), 3);
        QCOMPARE(boxes.last().title, QStringLiteral("Slave DXU's connection problem"));
        // Each box names the instrument, as listed, and what went wrong.
        const QString designed = QStringLiteral("At least one DXU in list did not response after 2 "
                                                "sec!\nCheck Ethernet connection.\n");
        QCOMPARE(boxes.seen().first().text, designed + "127.0.0.052 did not answer within 2 s.");
        QCOMPARE(boxes.seen()[1].text, designed + "127.0.0.054 answered with HTTP status 500.");
        QCOMPARE(boxes.last().text,
                 designed + "127.0.0.053 answered with something other than its setup page.");
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        const qint64 waited = boxTimes[0] - arrivals[1];
        QVERIFY2(waited >= 1800 && waited < 6000, qPrintable(QString::number(waited)));
        // The next requests went out only after the box was answered.
        QVERIFY(arrivals[2] >= boxTimes[0]);
        QVERIFY(arrivals[3] >= boxTimes[1]);

        // Nothing of that broadcast fires into a later one or delivers later.
        QVERIFY(!SlaveDialogTestAccess::watchdogRuns(*dialog));
        server(2).setFailureStatus(0);
        server(3).setForeignBody(std::nullopt);
        ui->dxulistWidget->item(1)->setSelected(false);
        const qint64 started = clock.elapsed();
        ui->pushButton->click();
        qInfo("broadcast to three answering instruments: %lld ms", clock.elapsed() - started);
        QCOMPARE(server(3).requestLog().size(), 2);
        QVERIFY(!SlaveDialogTestAccess::watchdogRuns(*dialog));
        QTest::qWait(2300);
        QCOMPARE(boxes.count(), 3);
        QVERIFY(dialog->findChildren<HttpClient *>().isEmpty());

        // Values the time base cannot count go to no instrument.
        ui->periodG1->setValue(5000);
        ui->pushButton->click();
        QCOMPARE(boxes.count(), 4);
        QVERIFY(boxes.last().text.contains("the 80 ns or 160 ns time base can count it"));
        QCOMPARE(server(3).requestLog().size(), 2);
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
};

DXU_TEST_MAIN(SlaveTest)
#include "tst_slave.moc"
