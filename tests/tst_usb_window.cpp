// The main window on the USB link: connecting through the menu, the read-back
// into the fields, the commands' frames, failures, and disconnecting.
#include "app/dxu_gui.h"
#include "device/usb_frames.h"
#include "fakeusb/fake_usb.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <libusb.h>

#include <QInputDialog>
#include <QPushButton>
#include <QStatusBar>

#include <memory>

using FakeUsb::Bytes;
using FakeUsb::Model;

struct DxuGuiTestAccess
{
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static bool &ethernetConnected(dxu_gui &w) { return w.ethernetConnected; }
    static QByteArray &httpResponse(dxu_gui &w) { return w.httpResponse; }
    static void connectSourceCombos(dxu_gui &w) { w.connectSourceCombos(); }
    static void queueProbe(dxu_gui &w) { w.test(); }
};
using Access = DxuGuiTestAccess;

namespace {
// Settings an instrument might hold, none of them the panel's start values.
Bytes instrumentStatus()
{
    // Ext.Trig. Rising Edge, Gen1 Slave, 300 and 100 ms (time bases 0 and 3),
    // starts 1, 2, 1, 2 ms, ends 5, 7, 10, 12 ms, 12 and 34 pulses, 2.5 V.
    const UsbSettingsBlock block{2, 1, 300, 100, {1, 2, 1, 2}, {5, 7, 10, 12}, 12, 34, 0, 3, 2.5f};
    const Bytes frame = settingsFrame(block, true);
    return Bytes(frame.begin() + 1, frame.end());
}
} // namespace

class UsbWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<dxu_gui> w;

    template <typename T = QAction> T *child(const char *name)
    {
        return w->findChild<T *>(QLatin1String(name));
    }
    QString label() { return child<QLabel>("dev_status")->text(); }

    // A window that reaches no real address, connected through the menu when
    // asked; the call log then starts afresh.
    void openWindow(bool connect)
    {
        w = std::make_unique<dxu_gui>();
        Access::deviceIp(*w) = QStringLiteral("127.0.0.61");
        w->show();
        if (connect)
            child("actionUSB")->trigger();
        FakeUsb::clearCalls();
    }

private slots:
    void init()
    {
        w.reset();
        FakeUsb::reset();
    }

    void connectRunAndDisconnect()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setStatus(dxu, instrumentStatus());
        openWindow(false);
        QVERIFY(!child("actionTrigger_threshold")->isEnabled()); // no model yet
        QVERIFY(!child("actionDivideBy_calc")->isEnabled());
        Access::connectSourceCombos(*w); // as an Ethernet session leaves them
        child("actionUSB")->trigger();
        QCOMPARE(label(), QStringLiteral("USB connected DXU3"));
        QVERIFY(child("actionTrigger_threshold")->isEnabled());
        // the fields changed below; the sent frame shows the others as read
        QCOMPARE(child<QDoubleSpinBox>("periodG1")->value(), 300.0);
        QCOMPARE(child<QDoubleSpinBox>("g1c1stop")->value(), 4.0); // width = end - start
        QCOMPARE(child<QSpinBox>("pulsesG1")->value(), 12);
        QCOMPARE(child<QComboBox>("timeUnitG2")->currentIndex(), 3);
        QCOMPARE(child<QDoubleSpinBox>("g2c2start")->value(), 2.0);
        // connecting reads; the read-back sends nothing back
        QCOMPARE(FakeUsb::framesWritten(dxu), (std::vector<Bytes>{{0x07}, {0x0A}}));

        FakeUsb::clearCalls();
        child<QDoubleSpinBox>("periodG1")->setValue(12.5);
        child<QDoubleSpinBox>("g1c1stop")->setValue(2);
        child<QSpinBox>("pulsesG1")->setValue(3);
        child<QComboBox>("timeUnitG2")->setCurrentIndex(1);
        child<QDoubleSpinBox>("g2c2start")->setValue(0.5);
        QTest::mouseClick(child<QPushButton>("runGen1"), Qt::LeftButton);
        // the fields as read, with the changes above; Ch1 end = start + width
        const UsbSettingsBlock sent{2,  1, 12.5, 100, {1, 2, 1, 0.5}, {3, 7, 10, 10.5}, 3,
                                    34, 0, 1,    2.5f};
        QCOMPARE(FakeUsb::framesWritten(dxu),
                 (std::vector<Bytes>{settingsFrame(sent, true), {0x0B, 0x04}}));

        child("actionUSB")->trigger();
        QCOMPARE(label(), QStringLiteral("Disconnected"));
        for (const char *name : {"groupG1", "groupG2", "runBoth", "menuProfiles"})
            QVERIFY2(!child<QWidget>(name)->isEnabled(), name);
        for (const char *name :
             {"actionIP_Settings", "actionTrigger_threshold", "actionDivideBy_calc"})
            QVERIFY2(!child(name)->isEnabled(), name);
        QCOMPARE(FakeUsb::openHandles(), 0);
        FakeUsb::clearCalls();
        child<QComboBox>("sourceG1")->setCurrentIndex(1); // sends no longer
        QVERIFY(FakeUsb::calls().empty());
    }

    // Connect, run, disconnect, a hundred times: the instrument gets back
    // exactly the ticks it reported, every time.
    void reconnectingSendsTheSameTicks()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        Bytes status = instrumentStatus();
        status[2] = 0xBE; // period 1 held as 14999998 at 20 ns
        status[6] = 0x86; // period 2 held as 1234566 at 160 ns
        status[7] = 0xD6;
        status[8] = 0x12;
        FakeUsb::setStatus(dxu, status);
        openWindow(false);
        std::vector<Bytes> settingsSent;
        for (int cycle = 0; cycle < 100; ++cycle) {
            child("actionUSB")->trigger();
            QTest::mouseClick(child<QPushButton>("runBoth"), Qt::LeftButton);
            child("actionUSB")->trigger();
            settingsSent.push_back(FakeUsb::framesWritten(dxu).at(2));
            FakeUsb::clearCalls();
        }
        QCOMPARE(Bytes(settingsSent[0].begin() + 1, settingsSent[0].end()), status);
        for (const Bytes &frame : settingsSent)
            QCOMPARE(frame, settingsSent[0]);
    }

    void sourceChangesSendSettingsThenResetAndFailuresShow()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        openWindow(true);
        child<QComboBox>("sourceG2")->setCurrentIndex(1);
        child<QComboBox>("sourceG1")->setCurrentIndex(4);
        const std::vector<Bytes> frames = FakeUsb::framesWritten(dxu);
        QCOMPARE(frames.size(), std::size_t(4));
        QCOMPARE(frames[0].size(), std::size_t(53));
        QCOMPARE(frames[0][2], std::uint8_t(1)); // Gen1 Slave
        QCOMPARE(frames[1], (Bytes{0x0B, 0x02}));
        QCOMPARE(frames[2][1], std::uint8_t(6)); // Ext.Trig. High Level
        QCOMPARE(frames[3], (Bytes{0x0B, 0x03}));

        // settings that did not arrive (claim or write failed): no run or
        // reset after them, and the window says so
        FakeUsb::setClaimError(dxu, LIBUSB_ERROR_BUSY);
        FakeUsb::clearCalls();
        QTest::mouseClick(child<QPushButton>("runGen1"), Qt::LeftButton);
        QVERIFY(FakeUsb::framesWritten(dxu).empty());
        int claims = 0;
        for (const FakeUsb::Call &call : FakeUsb::calls())
            claims += call.function == "libusb_claim_interface";
        QCOMPARE(claims, 1);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Error"));
        FakeUsb::setClaimError(dxu, 0);
        FakeUsb::setWriteFails(dxu, 0x09);
        w->statusBar()->clearMessage();
        QTest::mouseClick(child<QPushButton>("runBoth"), Qt::LeftButton);
        child<QComboBox>("sourceG2")->setCurrentIndex(0);
        const std::vector<Bytes> settingsOnly = FakeUsb::framesWritten(dxu);
        QCOMPARE(settingsOnly.size(), std::size_t(2));
        QCOMPARE(settingsOnly[0][0] + settingsOnly[1][0], 0x09 + 0x09);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Error"));
    }

    void thresholdResetsBothThenSendsTheLevel()
    {
        for (const Model model : {Model::Dxu3, Model::Dxu2}) {
            const bool dxu3 = model == Model::Dxu3;
            const int dxu = FakeUsb::addInstrument(model);
            FakeUsb::setStatus(dxu, instrumentStatus());
            openWindow(true);
            QCOMPARE(child("actionTrigger_threshold")->isEnabled(), dxu3);
            child<QDoubleSpinBox>("periodG2")->setValue(50);
            double offered = -1;
            QTimer::singleShot(0, w.get(), [&offered] {
                auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                offered = dialog->doubleValue();
                dialog->setDoubleValue(1.25);
                dialog->accept();
            });
            if (dxu3)
                child("actionTrigger_threshold")->trigger();
            else // as the action is disabled, the slot itself
                QMetaObject::invokeMethod(w.get(), "setThreshold");
            QCOMPARE(offered, dxu3 ? 2.5 : 5.0); // what the instrument reported
            // then the settings last read, not the fields, with the new level
            UsbSettingsBlock read;
            QVERIFY(decodeStatusFrame(instrumentStatus().data(), dxu3 ? 56 : 52, read));
            read.thresholdVolts = 1.25f;
            QCOMPARE(FakeUsb::framesWritten(dxu),
                     (std::vector<Bytes>{{0x0B, 0x03}, settingsFrame(read, dxu3)}));
            // Cancel sends and keeps nothing; neither does a level that did not arrive
            FakeUsb::setWriteFails(dxu, 0x09);
            for (bool accept : {false, true, false}) {
                FakeUsb::clearCalls();
                QTimer::singleShot(0, w.get(), [&offered, accept] {
                    auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
                    QVERIFY(dialog);
                    offered = dialog->doubleValue();
                    dialog->setDoubleValue(0.05);
                    accept ? dialog->accept() : dialog->reject();
                });
                QMetaObject::invokeMethod(w.get(), "setThreshold");
                QCOMPARE(offered, 1.25);
                QCOMPARE(FakeUsb::framesWritten(dxu).size(), std::size_t(accept ? 2 : 0));
            }
            init();
        }
    }

    void missingOrUnusableInstrumentWarns_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("claimError");
        QTest::addColumn<int>("statusLength"); // -1: in full
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << false << 0 << 0 << -1
                              << QStringLiteral(
                                     "Can't find DXU via USB.\nCheck USB cable or try to "
                                     "connect via Ethernet!");
        QTest::newRow("not openable")
            << true << int(LIBUSB_ERROR_ACCESS) << 0 << -1 << QStringLiteral("LIBUSB_ERROR_ACCESS");
        QTest::newRow("not claimable")
            << true << 0 << int(LIBUSB_ERROR_BUSY) << -1 << QStringLiteral("LIBUSB_ERROR_BUSY");
        QTest::newRow("short status")
            << true << 0 << 0 << 40 << QStringLiteral("did not report its settings");
        QTest::newRow("garbled status")
            << true << 0 << 0 << -1 << QStringLiteral("did not report its settings");
    }

    void missingOrUnusableInstrumentWarns()
    {
        QFETCH(bool, present);
        QFETCH(int, openError);
        QFETCH(int, claimError);
        QFETCH(int, statusLength);
        QFETCH(QString, text);
        FakeUsb::addUnrelatedDevice(0x03EB, 0x2FF4); // same maker, another product
        FakeUsb::addUnrelatedDevice(0x1234, 0x204F); // same product id, another maker
        if (present) {
            const int dxu = FakeUsb::addInstrument(Model::Dxu3);
            FakeUsb::setOpenError(dxu, openError);
            FakeUsb::setClaimError(dxu, claimError);
            FakeUsb::setReplyLength(dxu, 0x0A, statusLength);
            if (text.startsWith(QLatin1String("did")) && statusLength < 0)
                FakeUsb::setStatus(dxu, Bytes(56, 0xFF)); // time bases 255, NaN volts
        }
        MessageBoxWatcher boxes;
        openWindow(true);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("DXU USB Connection"));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        if (!present)
            QCOMPARE(boxes.last().text, text);
        QVERIFY2(boxes.last().text.contains(text), qPrintable(boxes.last().text));
#ifdef Q_OS_LINUX
        if (openError || claimError)
            QVERIFY(boxes.last().text.contains(QLatin1String("61-dxu-panel-uaccess.rules")));
#endif
        QVERIFY(!child("actionUSB")->isChecked());
        QCOMPARE(label(), QStringLiteral("Disconnected"));
        QCOMPARE(child<QDoubleSpinBox>("periodG1")->value(), 300.0); // nothing garbled shown
        QCOMPARE(FakeUsb::openHandles(), 0);
        QMetaObject::invokeMethod(w.get(), "resetGens"); // goes nowhere near the instrument
        QVERIFY(FakeUsb::calls().empty());
    }

    // A USB connect that fails leaves an Ethernet link as it was; one that
    // succeeds closes it. The model's actions follow the link that is up.
    void connectingClosesTheEthernetLinkOnlyOnSuccess()
    {
        DxuSimServer sim; // a DXU3
        QVERIFY2(sim.start(QHostAddress(QStringLiteral("127.0.0.62"))),
                 qPrintable(sim.errorString()));
        openWindow(false);
        QVERIFY(EthernetWindow::connectTo(*w, QStringLiteral("127.0.0.62")));
        QVERIFY(EthernetWindow::batchEnded(*w));
        MessageBoxWatcher boxes;
        const QByteArray page = Access::httpResponse(*w);
        child("actionUSB")->trigger(); // nothing on USB
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(label(), QStringLiteral("127.0.0.62 (DXU3)"));
        QVERIFY(child("actionEthernet")->isChecked());
        QVERIFY(Access::ethernetConnected(*w));
        QCOMPARE(Access::httpResponse(*w), page);
        for (const char *name :
             {"actionIP_Settings", "actionTrigger_threshold", "actionDivideBy_calc"})
            QVERIFY2(child(name)->isEnabled(), name);
        EthernetWindow::disconnectEthernet(*w);
        QVERIFY(!child("actionTrigger_threshold")->isEnabled());
        QVERIFY(!child("actionDivideBy_calc")->isEnabled());

        // an Ethernet probe on its way to an address where nothing answers
        FakeUsb::addInstrument(Model::Dxu2);
        child("actionEthernet")->setChecked(true);
        Access::deviceIp(*w) = QStringLiteral("127.0.0.61");
        Access::queueProbe(*w);
        child("actionUSB")->trigger();
        QCOMPARE(label(), QStringLiteral("USB connected DXU2"));
        QVERIFY(!Access::ethernetConnected(*w));
        QVERIFY(!child("actionEthernet")->isChecked());
        QVERIFY(Access::httpResponse(*w).isEmpty());

        // the dropped probe neither fails nor takes the label back
        QTest::qWait(700);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(label(), QStringLiteral("USB connected DXU2"));
    }
};

DXU_TEST_MAIN(UsbWindowTest)
#include "tst_usb_window.moc"
