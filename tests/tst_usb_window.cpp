// The main window on the USB link: connecting through the menu, the read-back
// into the fields, the commands' frames, failures in the status bar, and
// disconnecting.
#include "app/dxu_gui.h"
#include "device/http_client.h"
#include "device/usb_device.h"
#include "fakeusb/fake_usb.h"
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
    static bool &usbConnected(dxu_gui &w) { return w.usbConnected; }
    static bool &ethernetConnected(dxu_gui &w) { return w.ethernetConnected; }
    static QByteArray &httpResponse(dxu_gui &w) { return w.httpResponse; }
    static double thresholdVolts(dxu_gui &w) { return w.thresholdVolts; }
    static const GeneratorSettings &record(dxu_gui &w) { return w.record; }
    static UsbDevice &usbDevice(dxu_gui &w) { return *w.usbDevice; }
    static void connectSourceCombos(dxu_gui &w) { w.connectSourceCombos(); }
    static void queueProbe(dxu_gui &w) { w.test(); }
};
using Access = DxuGuiTestAccess;

namespace {
// No test may reach the panel's default address.
const char *const kUnusedLoopbackAddress = "127.0.0.61";

std::unique_ptr<dxu_gui> newWindow()
{
    auto window = std::make_unique<dxu_gui>();
    Access::deviceIp(*window) = QLatin1String(kUnusedLoopbackAddress);
    window->show();
    return window;
}

template <typename T> T *child(dxu_gui &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

QAction *action(dxu_gui &w, const char *name) { return child<QAction>(w, name); }

QString label(dxu_gui &w) { return child<QLabel>(w, "dev_status")->text(); }

void putU32(Bytes &bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t u32At(const Bytes &bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// Settings an instrument might hold, none of them the panel's start values.
Bytes instrumentStatus()
{
    Bytes status(56, 0);
    status[0] = 2;               // Ext.Trig. Rising Edge
    status[1] = 1;               // Gen1 Slave
    putU32(status, 2, 14999999); // 299.99998 ms at 20 ns
    putU32(status, 6, 624999);   // 99.99984 ms at 160 ns
    putU32(status, 10, 50000);   // Ch1 start 1 ms
    putU32(status, 14, 100000);  // Ch2 start 2 ms
    putU32(status, 18, 6250);    // Ch3 start 1 ms
    putU32(status, 22, 12500);   // Ch4 start 2 ms
    putU32(status, 26, 250000);  // Ch1 end 5 ms
    putU32(status, 30, 350000);  // Ch2 end 7 ms
    putU32(status, 34, 62500);   // Ch3 end 10 ms
    putU32(status, 38, 75000);   // Ch4 end 12 ms
    putU32(status, 42, 12);
    putU32(status, 46, 34);
    status[50] = 0;
    status[51] = 3;
    putU32(status, 52, 0x40200000); // 2.5 V
    return status;
}

std::vector<Bytes> framesAfterConnecting(int device)
{
    std::vector<Bytes> frames = FakeUsb::framesWritten(device);
    // the identification and the status request belong to the connection
    frames.erase(frames.begin(), frames.begin() + std::min<std::size_t>(2, frames.size()));
    return frames;
}

// Answers the threshold dialog with `volts`, noting the value it offered.
class ThresholdAnswerer : public QObject
{
public:
    explicit ThresholdAnswerer(double volts) : volts(volts)
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            offered = dialog->doubleValue();
            title = dialog->windowTitle();
            dialog->setDoubleValue(this->volts);
            dialog->accept();
        });
        poll.start(10);
    }
    double offered = -1;
    QString title;

private:
    double volts;
    QTimer poll;
};
} // namespace

class UsbWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FakeUsb::reset(); }

    void connectingShowsTheInstrumentsSettings()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setStatus(dxu, instrumentStatus());
        auto w = newWindow();
        action(*w, "actionMicroseconds")->trigger();
        action(*w, "actionUSB")->trigger();

        QVERIFY(action(*w, "actionUSB")->isChecked());
        QCOMPARE(label(*w), QStringLiteral("USB connected DXU3"));
        QVERIFY(Access::usbConnected(*w));
        QVERIFY(child<QGroupBox>(*w, "groupG1")->isEnabled());
        QVERIFY(child<QPushButton>(*w, "runGen1")->isEnabled());
        QVERIFY(action(*w, "actionIP_Settings")->isEnabled());
        QVERIFY(action(*w, "actionTrigger_threshold")->isEnabled());
        QVERIFY(action(*w, "actionDivideBy_calc")->isEnabled());
        QVERIFY(!action(*w, "actionMicroseconds")->isChecked()); // back to milliseconds

        QCOMPARE(child<QComboBox>(*w, "sourceG1")->currentIndex(), 2);
        QCOMPARE(child<QComboBox>(*w, "sourceG2")->currentIndex(), 1);
        QCOMPARE(child<QComboBox>(*w, "timeUnitG2")->currentIndex(), 3);
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG1")->value(), 299.99998);
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG2")->value(), 99.99984);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g1c1start")->value(), 1.0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g1c1stop")->value(), 4.0); // width = end - start
        QCOMPARE(child<QDoubleSpinBox>(*w, "g1c2stop")->value(), 5.0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g2c1stop")->value(), 9.0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g2c2start")->value(), 2.0);
        QCOMPARE(child<QDoubleSpinBox>(*w, "g2c2stop")->value(), 10.0);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG1")->value(), 12);
        QCOMPARE(child<QSpinBox>(*w, "pulsesG2")->value(), 34);
        QCOMPARE(Access::thresholdVolts(*w), 2.5);
        QCOMPARE(Access::record(*w).freq2, 3);
        // connecting reads; it sends no settings
        QCOMPARE(FakeUsb::framesWritten(dxu), (std::vector<Bytes>{{0x07}, {0x0A}}));
    }

    void runGen1SendsTheWidgetsValuesThenRuns()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        child<QDoubleSpinBox>(*w, "periodG1")->setValue(12.5);
        child<QDoubleSpinBox>(*w, "g1c1start")->setValue(1);
        child<QDoubleSpinBox>(*w, "g1c1stop")->setValue(2);
        child<QSpinBox>(*w, "pulsesG1")->setValue(3);
        child<QComboBox>(*w, "timeUnitG2")->setCurrentIndex(1);
        child<QDoubleSpinBox>(*w, "g2c2start")->setValue(0.5);

        QTest::mouseClick(child<QPushButton>(*w, "runGen1"), Qt::LeftButton);

        const std::vector<Bytes> frames = framesAfterConnecting(dxu);
        QCOMPARE(frames.size(), std::size_t(2));
        const Bytes &settings = frames[0];
        QCOMPARE(settings.size(), std::size_t(57));
        QCOMPARE(settings[0], std::uint8_t(0x09));
        QCOMPARE(u32At(settings, 3), 624999u);  // 12.5 ms, one tick short
        QCOMPARE(u32At(settings, 11), 50000u);  // Ch1 start 1 ms
        QCOMPARE(u32At(settings, 23), 12500u);  // Ch4 start 0.5 ms at 40 ns
        QCOMPARE(u32At(settings, 27), 150000u); // Ch1 end = start + width = 3 ms
        QCOMPARE(u32At(settings, 43), 3u);
        QCOMPARE(settings[52], std::uint8_t(1));
        QCOMPARE(Bytes(settings.begin() + 53, settings.end()), (Bytes{0x00, 0x00, 0xA0, 0x40}));
        QCOMPARE(frames[1], (Bytes{0x0B, 0x04}));
        QVERIFY(w->statusBar()->currentMessage() != QStringLiteral("Error"));
    }

    void runAndStopButtonsSendTheirFlags()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        for (const char *button : {"runGen2", "runBoth", "stopGen1", "stopGen2", "resetButton"})
            QTest::mouseClick(child<QPushButton>(*w, button), Qt::LeftButton);
        std::vector<Bytes> controls;
        for (const Bytes &frame : framesAfterConnecting(dxu)) {
            if (frame[0] == 0x09)
                QCOMPARE(frame.size(), std::size_t(53));
            else
                controls.push_back(frame);
        }
        QCOMPARE(controls,
                 (std::vector<Bytes>{
                     {0x0B, 0x08}, {0x0B, 0x0C}, {0x0B, 0x01}, {0x0B, 0x02}, {0x0B, 0x03}}));
    }

    void sourceChangesSendSettingsThenReset()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(1);
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(4);
        const std::vector<Bytes> frames = framesAfterConnecting(dxu);
        QCOMPARE(frames.size(), std::size_t(4));
        QCOMPARE(frames[0][0], std::uint8_t(0x09));
        QCOMPARE(frames[0][2], std::uint8_t(1)); // Gen1 Slave
        QCOMPARE(frames[1], (Bytes{0x0B, 0x02}));
        QCOMPARE(frames[2][1], std::uint8_t(6)); // Ext.Trig. High Level
        QCOMPARE(frames[3], (Bytes{0x0B, 0x03}));
        QVERIFY(!child<QRadioButton>(*w, "showG2")->isChecked()); // generator 1 changed last
    }

    void thresholdResetsBothThenSendsTheLevel()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setStatus(dxu, instrumentStatus());
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        child<QDoubleSpinBox>(*w, "periodG2")->setValue(50);
        ThresholdAnswerer answer(1.25);
        action(*w, "actionTrigger_threshold")->trigger();
        QCOMPARE(answer.title, QStringLiteral("Threshold Trigger"));
        QCOMPARE(answer.offered, 2.5); // what the instrument reported
        const std::vector<Bytes> frames = framesAfterConnecting(dxu);
        QCOMPARE(frames.size(), std::size_t(2));
        QCOMPARE(frames[0], (Bytes{0x0B, 0x03}));
        QCOMPARE(frames[1].size(), std::size_t(57));
        QCOMPARE(Bytes(frames[1].begin() + 53, frames[1].end()), (Bytes{0x00, 0x00, 0xA0, 0x3F}));
        // the settings last read are resent, the fields are not collected
        QCOMPARE(u32At(frames[1], 7), 624998u);
    }

    void dxu2ThresholdFrameCarriesNoLevel()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        QCOMPARE(label(*w), QStringLiteral("USB connected DXU2"));
        QVERIFY(!action(*w, "actionTrigger_threshold")->isEnabled());
        QVERIFY(!action(*w, "actionDivideBy_calc")->isEnabled());
        ThresholdAnswerer answer(1.0);
        QMetaObject::invokeMethod(w.get(), "setThreshold");
        QCOMPARE(answer.offered, 5.0);
        const std::vector<Bytes> frames = framesAfterConnecting(dxu);
        QCOMPARE(frames.size(), std::size_t(2));
        QCOMPARE(frames[0], (Bytes{0x0B, 0x03}));
        QCOMPARE(frames[1].size(), std::size_t(53));
    }

    void failedClaimShowsErrorAndTheSlotCarriesOn()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        FakeUsb::setClaimError(dxu, LIBUSB_ERROR_BUSY);
        FakeUsb::clearCalls();
        QTest::mouseClick(child<QPushButton>(*w, "runGen1"), Qt::LeftButton);
        QVERIFY(FakeUsb::framesWritten(dxu).empty());
        // both frames were attempted: two claims
        int claims = 0;
        for (const FakeUsb::Call &call : FakeUsb::calls())
            claims += call.function == "libusb_claim_interface";
        QCOMPARE(claims, 2);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Error"));
        QTRY_VERIFY_WITH_TIMEOUT(w->statusBar()->currentMessage().isEmpty(), 10000);
    }

    void anyFailedTransferShowsError()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        FakeUsb::setReplyLength(dxu, 0x0B, 0); // the control frame gets no acknowledgement
        QTest::mouseClick(child<QPushButton>(*w, "runGen2"), Qt::LeftButton);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Error"));

        w->statusBar()->clearMessage();
        FakeUsb::setReplyLength(dxu, 0x0B, -1);
        FakeUsb::setWriteFails(dxu, 0x09); // now the settings frame fails, the run goes out
        QTest::mouseClick(child<QPushButton>(*w, "runGen2"), Qt::LeftButton);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Error"));
        QCOMPARE(FakeUsb::framesWritten(dxu).back(), (Bytes{0x0B, 0x08}));

        w->statusBar()->clearMessage();
        FakeUsb::setWriteFails(dxu, 0x09, false);
        QTest::mouseClick(child<QPushButton>(*w, "stopGen2"), Qt::LeftButton);
        QVERIFY(w->statusBar()->currentMessage().isEmpty());
    }

    void disconnectingDisablesAndCloses()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        QCOMPARE(FakeUsb::openHandles(dxu), 1);
        action(*w, "actionUSB")->trigger();

        QVERIFY(!action(*w, "actionUSB")->isChecked());
        QCOMPARE(label(*w), QStringLiteral("Disconnected"));
        QVERIFY(!Access::usbConnected(*w));
        QVERIFY(!child<QGroupBox>(*w, "groupG1")->isEnabled());
        QVERIFY(!child<QGroupBox>(*w, "groupG2")->isEnabled());
        QVERIFY(!child<QPushButton>(*w, "runBoth")->isEnabled());
        QVERIFY(!child<QMenu>(*w, "menuProfiles")->isEnabled());
        QVERIFY(!action(*w, "actionIP_Settings")->isEnabled());
        QCOMPARE(FakeUsb::openHandles(), 0);
        QVERIFY(!FakeUsb::interfaceClaimed(dxu));

        // the source combos no longer send
        FakeUsb::clearCalls();
        child<QComboBox>(*w, "sourceG1")->setCurrentIndex(1);
        QVERIFY(FakeUsb::calls().empty());
    }

    void anotherModelAfterReconnecting()
    {
        FakeUsb::addInstrument(Model::Dxu3);
        auto w = newWindow();
        action(*w, "actionUSB")->trigger();
        action(*w, "actionUSB")->trigger();
        FakeUsb::reset();
        const int dxu2 = FakeUsb::addInstrument(Model::Dxu2);
        action(*w, "actionUSB")->trigger();
        QCOMPARE(label(*w), QStringLiteral("USB connected DXU2"));
        QVERIFY(!action(*w, "actionTrigger_threshold")->isEnabled());
        QTest::mouseClick(child<QPushButton>(*w, "runGen1"), Qt::LeftButton);
        QCOMPARE(framesAfterConnecting(dxu2).front().size(), std::size_t(53));
    }

    void noInstrumentGivesTheWarning_data()
    {
        QTest::addColumn<bool>("unrelatedDevice");
        QTest::newRow("empty bus") << false;
        QTest::newRow("only another maker's device") << true;
    }

    void noInstrumentGivesTheWarning()
    {
        QFETCH(bool, unrelatedDevice);
        if (unrelatedDevice)
            FakeUsb::addUnrelatedDevice(0x046D, 0xC52B);
        auto w = newWindow();
        MessageBoxWatcher boxes;
        action(*w, "actionUSB")->trigger();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("DXU USB Connection"));
        QCOMPARE(boxes.last().text,
                 QStringLiteral("Can't find DXU via USB.\nCheck USB cable or try to connect via "
                                "Ethernet!"));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        QVERIFY(!action(*w, "actionUSB")->isChecked());
        QCOMPARE(label(*w), QStringLiteral("Disconnected"));
        QVERIFY(!action(*w, "actionIP_Settings")->isEnabled());
        QVERIFY(!Access::usbConnected(*w));
        QVERIFY(!child<QGroupBox>(*w, "groupG1")->isEnabled()); // left as it was
    }

    void unusableInstrumentNamesTheCause_data()
    {
        QTest::addColumn<bool>("failOpen");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("cause");
        QTest::newRow("not openable")
            << true << int(LIBUSB_ERROR_ACCESS) << QStringLiteral("LIBUSB_ERROR_ACCESS");
        QTest::newRow("not claimable")
            << false << int(LIBUSB_ERROR_BUSY) << QStringLiteral("LIBUSB_ERROR_BUSY");
    }

    void unusableInstrumentNamesTheCause()
    {
        QFETCH(bool, failOpen);
        QFETCH(int, error);
        QFETCH(QString, cause);
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        if (failOpen)
            FakeUsb::setOpenError(dxu, error);
        else
            FakeUsb::setClaimError(dxu, error);
        auto w = newWindow();
        MessageBoxWatcher boxes;
        action(*w, "actionUSB")->trigger();

        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("DXU USB Connection"));
        QVERIFY2(boxes.last().text.contains(cause), qPrintable(boxes.last().text));
#ifdef Q_OS_LINUX
        QVERIFY(boxes.last().text.contains(QLatin1String("61-dxu-panel-uaccess.rules")));
        QVERIFY(boxes.last().text.contains(QLatin1String("udevadm")));
#endif
        QVERIFY(!Access::usbConnected(*w));
        QVERIFY(!action(*w, "actionUSB")->isChecked());
        QCOMPARE(label(*w), QStringLiteral("Disconnected"));
        QVERIFY(!action(*w, "actionIP_Settings")->isEnabled());
        QCOMPARE(FakeUsb::openHandles(), 0);

        // commands go nowhere near the unusable instrument
        FakeUsb::clearCalls();
        QMetaObject::invokeMethod(w.get(), "resetGens");
        QVERIFY(FakeUsb::calls().empty());
    }

    void connectingClosesTheEthernetLink()
    {
        FakeUsb::addInstrument(Model::Dxu2);
        auto w = newWindow();
        MessageBoxWatcher boxes;
        // an Ethernet probe on its way to an address where nothing answers
        action(*w, "actionEthernet")->setChecked(true);
        Access::ethernetConnected(*w) = true;
        Access::httpResponse(*w) = "<html>Human Readable setup</html>";
        Access::queueProbe(*w);

        action(*w, "actionUSB")->trigger();
        QCOMPARE(label(*w), QStringLiteral("USB connected DXU2"));
        QVERIFY(!Access::ethernetConnected(*w));
        QVERIFY(!action(*w, "actionEthernet")->isChecked());
        QVERIFY(Access::httpResponse(*w).isEmpty());

        // the dropped probe neither fails nor takes the label back
        QTest::qWait(700);
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(label(*w), QStringLiteral("USB connected DXU2"));
        QVERIFY(Access::usbConnected(*w));
    }

    void readBackDoesNotSendTheSourcesBack()
    {
        // After an Ethernet session the source combos are still connected.
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setStatus(dxu, instrumentStatus());
        auto w = newWindow();
        Access::connectSourceCombos(*w);
        action(*w, "actionUSB")->trigger();
        QCOMPARE(FakeUsb::framesWritten(dxu), (std::vector<Bytes>{{0x07}, {0x0A}}));
        QCOMPARE(child<QComboBox>(*w, "sourceG1")->currentIndex(), 2);
        QCOMPARE(child<QDoubleSpinBox>(*w, "periodG1")->value(), 299.99998);
        QCOMPARE(FakeUsb::status(dxu), instrumentStatus()); // the instrument kept its settings

        // and they are connected again afterwards
        child<QComboBox>(*w, "sourceG2")->setCurrentIndex(0);
        QCOMPARE(framesAfterConnecting(dxu).back(), (Bytes{0x0B, 0x02}));
    }

    void closingTheWindowReleasesTheInstrument()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        {
            auto w = newWindow();
            action(*w, "actionUSB")->trigger();
            QVERIFY(FakeUsb::interfaceClaimed(dxu));
        }
        QCOMPARE(FakeUsb::openHandles(), 0);
        bool released = false;
        for (const FakeUsb::Call &call : FakeUsb::calls())
            released |= call.function == "libusb_release_interface" && call.result == 0;
        QVERIFY(released);
    }
};

DXU_TEST_MAIN(UsbWindowTest)
#include "tst_usb_window.moc"
