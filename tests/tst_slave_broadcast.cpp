// The slave dialog's broadcast against simulated instruments on
// 127.0.0.51-.59, port 80: one request per selected instrument in turn, what
// the instruments received, the warning for one that stays silent or refuses,
// error pages counted as answers, Abort, a second Apply while one runs, and
// the watchdog and clients left behind. Also measures a broadcast to five.
#include "device/http_client.h"
#include "multidevice/multidxudialog.h"
#include "persistence/settings_store.h"
#include "sim/dxu_sim_server.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

struct SlaveDialogTestAccess
{
    static Ui::multidxudialogClass &ui(multidxudialog &d) { return d.ui; }
    static bool requestDone(multidxudialog &d) { return d.requestDone; }
    static const QTimer &requestTimer(multidxudialog &d) { return d.requestTimer; }
    static const QByteArray &httpResponse(multidxudialog &d) { return d.httpResponse; }
};

namespace {

const char *const kWarningTitle = "Slave DXU's connection problem";
const char *const kWarningText =
    "At least one DXU in list did not response after 2 sec!\nCheck Ethernet connection.";

QString address(int last) { return QStringLiteral("127.0.0.%1").arg(last); }

// A simulated instrument that notes when each request arrived.
struct Instrument
{
    explicit Instrument(int last, const QElapsedTimer &clock) : host(address(last))
    {
        QObject::connect(&server, &DxuSimServer::requestReceived, &server,
                         [this, &clock](const QString &) { arrivals << clock.elapsed(); });
    }
    QString host;
    DxuSimServer server;
    QList<qint64> arrivals;
};

// Answers every request with a 404 page, as an instrument that lacks the page.
class ErrorPageServer : public QObject
{
public:
    bool listen(const QString &host)
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    ++requests;
                    const QByteArray body = "<html><body>Not Found</body></html>";
                    socket->write("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n"
                                  "Content-Length: " +
                                  QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        QElapsedTimer waited;
        waited.start();
        while (!server.listen(QHostAddress(host), 80) && waited.elapsed() < 20000)
            QTest::qWait(200);
        return server.isListening();
    }
    int requests = 0;

private:
    QTcpServer server;
};

void addAddresses(multidxudialog &dialog, const QStringList &addresses)
{
    QList<std::optional<QString>> answers;
    for (const QString &a : addresses)
        answers << a;
    InputDialogAnswerer answerer(answers);
    for (int i = 0; i < addresses.size(); ++i)
        SlaveDialogTestAccess::ui(dialog).pushButton_2->click();
    QCOMPARE(answerer.count(), int(addresses.size()));
}

QString expectedQuery(const QString &values)
{
    return QStringLiteral("/sg_hr_run.shtml?") + values + QStringLiteral("&save=1");
}

// The query of the dialog's start values.
const char *const kStartValues = "ts1=2&ts2=1&p1=1000&p2=1000&pn1=10&pn2=10&ch1_st1=0&ch1_st2=0"
                                 "&ch1_et1=10&ch1_et2=10&ch2_st1=0&ch2_st2=0&ch2_et1=10&ch2_et2=10"
                                 "&freq1=0&freq2=0";

// Presses the progress window's "Abort" button.
void pressAbort(multidxudialog &dialog)
{
    QProgressDialog *progress = dialog.findChild<QProgressDialog *>();
    QVERIFY(progress);
    const QList<QPushButton *> buttons = progress->findChildren<QPushButton *>();
    for (QPushButton *button : buttons)
        if (button->text() == QLatin1String("Abort"))
            button->click();
}

} // namespace

class SlaveBroadcastTest : public QObject
{
    Q_OBJECT

    QElapsedTimer clock;
    std::vector<std::unique_ptr<Instrument>> instruments;

    // Another run of this program (a second build tree) may hold the address
    // for a while: wait for it rather than fail at once.
    Instrument &startInstrument(int last)
    {
        instruments.push_back(std::make_unique<Instrument>(last, clock));
        Instrument &instrument = *instruments.back();
        QElapsedTimer waited;
        waited.start();
        while (!instrument.server.start(QHostAddress(instrument.host), 80) &&
               waited.elapsed() < 20000)
            QTest::qWait(200);
        return instrument;
    }

    bool allListening() const
    {
        for (const auto &instrument : instruments) {
            if (!instrument->server.isListening()) {
                qWarning("cannot listen on %s:80: %s", qPrintable(instrument->host),
                         qPrintable(instrument->server.errorString()));
                return false;
            }
        }
        return true;
    }

private slots:
    void init()
    {
        clock.start();
        QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
        store->clear();
        store->sync();
    }

    void cleanup() { instruments.clear(); }

    void silentInstrumentIsReportedAndSkipped()
    {
        Instrument &first = startInstrument(51);
        Instrument &silent = startInstrument(52);
        Instrument &third = startInstrument(53);
        silent.server.setSilent(true);
        const DxuSimState untouched = silent.server.state();

        QVERIFY(allListening());
        multidxudialog dialog;
        dialog.show();
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddresses(dialog, {first.host, silent.host, third.host});
        ui.sourceG1->setCurrentIndex(4); // Ext.Trig. High Level
        ui.periodG1->setValue(250);
        ui.pulsesG1->setValue(40000);
        ui.g1c1start->setValue(1.5);
        ui.g1c1stop->setValue(2);
        ui.timeUnitG2->setCurrentIndex(3);
        ui.pushButton_4->click();

        QList<qint64> boxTimes;
        MessageBoxWatcher boxes([&](QMessageBox *box) {
            boxTimes << clock.elapsed();
            box->button(QMessageBox::Ok)->click();
        });
        ui.pushButton->click(); // returns when the broadcast is over

        const QString query = expectedQuery(QStringLiteral(
            "ts1=6&ts2=1&p1=250&p2=1000&pn1=40000&pn2=10&ch1_st1=1.5&ch1_st2=0&ch1_et1=3.5"
            "&ch1_et2=10&ch2_st1=0&ch2_st2=0&ch2_et1=10&ch2_et2=10&freq1=0&freq2=3"));
        for (Instrument *instrument : {&first, &silent, &third}) {
            QCOMPARE(instrument->server.requestLog(), QStringList{query});
            QCOMPARE(instrument->server.requestLines(),
                     QStringList{QStringLiteral("GET %1 HTTP/1.1").arg(query)});
        }
        QVERIFY(first.arrivals.at(0) < silent.arrivals.at(0));
        QVERIFY(silent.arrivals.at(0) < third.arrivals.at(0));

        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QLatin1String(kWarningTitle));
        QCOMPARE(boxes.last().text, QLatin1String(kWarningText));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        const qint64 waited = boxTimes.at(0) - silent.arrivals.at(0);
        QVERIFY2(waited >= 1800 && waited < 6000, qPrintable(QString::number(waited)));
        // The third request went out only after the box was answered.
        QVERIFY(third.arrivals.at(0) >= boxTimes.at(0));

        for (Instrument *instrument : {&first, &third}) {
            const DxuSimState s = instrument->server.state();
            QCOMPARE(s.ts1, 6);
            QCOMPARE(s.ts2, 1);
            QCOMPARE(s.p1, 250.0);
            QCOMPARE(s.pn1, 40000);
            QCOMPARE(s.ch1_st1, 1.5);
            QCOMPARE(s.ch1_et1, 3.5);
            QCOMPARE(s.freq2, 3);
            QCOMPARE(s.saves, 1);
            QVERIFY(!s.gen1Running);
            QVERIFY(!s.gen2Running);
        }
        QVERIFY(silent.server.state() == untouched);

        // The progress window went with the slot; panels and selection stay.
        QVERIFY(!dialog.findChild<QProgressDialog *>());
        QCOMPARE(ui.dxulistWidget->selectedItems().size(), 3);
        QCOMPARE(ui.g1c1stop->value(), 2.0);
        QVERIFY(!SlaveDialogTestAccess::requestDone(dialog));
    }

    void refusedConnectionIsReportedAtOnce()
    {
        // Nobody listens on .56.
        Instrument &answering = startInstrument(57);
        QVERIFY(allListening());
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddresses(dialog, {address(56), answering.host});
        ui.pushButton_4->click();
        MessageBoxWatcher boxes;
        QElapsedTimer took;
        took.start();
        ui.pushButton->click();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QLatin1String(kWarningTitle));
        QCOMPARE(answering.server.requestLog(),
                 QStringList{expectedQuery(QLatin1String(kStartValues))});
        QVERIFY2(took.elapsed() < 1900, qPrintable(QString::number(took.elapsed())));
    }

    void anyPageCountsAsAnAnswer()
    {
        ErrorPageServer lacksThePage;
        QVERIFY(lacksThePage.listen(address(54)));
        Instrument &after = startInstrument(55);
        QVERIFY(allListening());
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddresses(dialog, {address(54), after.host});
        ui.pushButton_4->click();
        MessageBoxWatcher boxes;
        ui.pushButton->click();
        QCOMPARE(lacksThePage.requests, 1);
        QCOMPARE(after.server.requestLog().size(), 1);
        QCOMPARE(boxes.count(), 0);
        // The body of the last reply is kept.
        QVERIFY(!SlaveDialogTestAccess::httpResponse(dialog).isEmpty());
    }

    void nothingSelectedSendsNothing()
    {
        Instrument &instrument = startInstrument(58);
        QVERIFY(allListening());
        multidxudialog dialog;
        addAddresses(dialog, {instrument.host});
        MessageBoxWatcher boxes;
        QVERIFY(QMetaObject::invokeMethod(&dialog, "applySettings"));
        QTest::qWait(100);
        QVERIFY(instrument.server.requestLog().isEmpty());
        QCOMPARE(boxes.count(), 0);
    }

    void progressWindowIsWindowModalAndAbortStopsBeforeTheNext()
    {
        QList<Instrument *> five;
        for (int last = 51; last <= 55; ++last)
            five << &startInstrument(last);
        QVERIFY(allListening());
        multidxudialog dialog;
        dialog.show();
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        QStringList hosts;
        for (Instrument *instrument : five)
            hosts << instrument->host;
        addAddresses(dialog, hosts);
        ui.pushButton_4->click();

        bool sawProgress = false;
        QObject::connect(&five.at(1)->server, &DxuSimServer::requestReceived, &dialog, [&] {
            QProgressDialog *progress = dialog.findChild<QProgressDialog *>();
            QVERIFY(progress);
            sawProgress = true;
            QVERIFY(progress->isVisible());
            QCOMPARE(progress->windowModality(), Qt::WindowModal);
            QCOMPARE(progress->labelText(), QStringLiteral("Applying Settings to DXU's..."));
            QCOMPARE(progress->maximum(), 5);
            QCOMPARE(progress->value(), 1);
            QCOMPARE(QApplication::activeModalWidget(), progress);
            QTimer::singleShot(0, &dialog, [&] { pressAbort(dialog); });
        });
        MessageBoxWatcher boxes;
        ui.pushButton->click();

        QVERIFY(sawProgress);
        QCOMPARE(five.at(0)->server.requestLog().size(), 1);
        // The request in flight when Abort was pressed finished normally.
        QCOMPARE(five.at(1)->server.requestLog().size(), 1);
        QCOMPARE(five.at(1)->server.state().saves, 1);
        for (int i = 2; i < 5; ++i)
            QVERIFY2(five.at(i)->server.requestLog().isEmpty(), qPrintable(five.at(i)->host));
        QCOMPARE(boxes.count(), 0);
    }

    void secondApplyWhileOneRunsIsIgnored()
    {
        Instrument &a = startInstrument(51);
        Instrument &b = startInstrument(52);
        Instrument &c = startInstrument(53);
        QVERIFY(allListening());
        multidxudialog dialog;
        dialog.show();
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddresses(dialog, {a.host, b.host, c.host});
        ui.pushButton_4->click();

        int clientsDuringBroadcast = 0;
        QObject::connect(&a.server, &DxuSimServer::requestReceived, &dialog, [&] {
            if (clientsDuringBroadcast > 0)
                return;
            clientsDuringBroadcast = int(dialog.findChildren<HttpClient *>().size());
            // Reaches the dialog inside the broadcast's own waits.
            QMetaObject::invokeMethod(&dialog, "applySettings", Qt::QueuedConnection);
        });
        // Abort hides the progress window, so the button could be pressed
        // again while the request in flight finishes.
        bool pressedAgain = false;
        QObject::connect(&b.server, &DxuSimServer::requestReceived, &dialog, [&] {
            if (pressedAgain)
                return;
            pressedAgain = true;
            QTimer::singleShot(0, &dialog, [&] {
                pressAbort(dialog);
                ui.pushButton->click();
            });
        });
        ui.pushButton->click();

        QCOMPARE(clientsDuringBroadcast, 1);
        QCOMPARE(a.server.requestLog().size(), 1);
        QCOMPARE(b.server.requestLog().size(), 1);
        QVERIFY(c.server.requestLog().isEmpty());
    }

    void watchdogAndClientDoNotOutliveTheBroadcast()
    {
        Instrument &answering = startInstrument(59);
        Instrument &silent = startInstrument(58);
        silent.server.setSilent(true);
        QVERIFY(allListening());
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddresses(dialog, {silent.host, answering.host});
        ui.pushButton_4->click();

        MessageBoxWatcher boxes;
        ui.pushButton->click();
        QCOMPARE(boxes.count(), 1);
        QVERIFY(!SlaveDialogTestAccess::requestTimer(dialog).isActive());

        ui.dxulistWidget->item(0)->setSelected(false);
        ui.pushButton->click();
        QCOMPARE(answering.server.requestLog().size(), 2);
        QVERIFY(!SlaveDialogTestAccess::requestTimer(dialog).isActive());

        // Nothing of the finished broadcasts fires or delivers later: no box,
        // and requestDone stays as the broadcast left it.
        QTest::qWait(2300);
        QCOMPARE(boxes.count(), 1);
        QVERIFY(!SlaveDialogTestAccess::requestDone(dialog));
        QVERIFY(dialog.findChildren<HttpClient *>().isEmpty());
    }

    void measureBroadcastToFive()
    {
        QStringList hosts;
        for (int last = 51; last <= 55; ++last)
            hosts << startInstrument(last).host;
        QVERIFY(allListening());
        multidxudialog dialog;
        dialog.show();
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddresses(dialog, hosts);
        ui.pushButton_4->click();
        QElapsedTimer took;
        took.start();
        ui.pushButton->click();
        const qint64 elapsed = took.elapsed();
        qInfo("broadcast to five answering instruments: %lld ms", elapsed);
        for (const auto &instrument : instruments)
            QCOMPARE(instrument->server.requestLog().size(), 1);
    }
};

DXU_TEST_MAIN(SlaveBroadcastTest)
#include "tst_slave_broadcast.moc"
