// The main window: its modes (compact, always on top) and the entries that
// open the other windows (about, help, slave control), and the USB link:
// connecting through the menu, the read-back into the fields, the commands'
// frames, failures, disconnecting, and the network settings dialog over USB.
#include "app/dxu_gui.h"
#include "device/http_client.h"
#include "device/usb_frames.h"
#include "fakeusb/fake_usb.h"
#include "network/finddialog.h"
#include "sim/dxu_sim_server.h"
#include "support/ethernet_window.h"
#include "support/message_boxes.h"
#include "support/test_support.h"
#include "support/window_access.h"

#include <libusb.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextDocument>
#include <QWindow>

#include <memory>

using FakeUsb::Bytes;
using FakeUsb::Model;

using Access = DxuGuiTestAccess;

namespace {
// Settings an instrument might hold, none of them the panel's start values:
// Ext.Trig. Rising Edge, Gen1 Slave, periods of 14999999 ticks at 20 ns and
// 1234567 at 160 ns (time bases 0 and 3), starts 1, 2, 1, 2 ms, ends 5, 7, 10,
// 12 ms, 12 and 34 pulses, 2.5 V.
const UsbSettingsBlock held{2,  1,  299.99998, 197.53072, {1, 2, 1, 2}, {5, 7, 10, 12},
                            12, 34, 0,         3,         2.5f};

Bytes instrumentStatus()
{
    const Bytes frame = settingsFrame(held, true);
    return Bytes(frame.begin() + 1, frame.end());
}
} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

public slots:
    void recordUrl(const QUrl &url) { openedUrls << url; }

private:
    QList<QUrl> openedUrls;
    std::unique_ptr<dxu_gui> w;
    Ui::dxu_guiClass *ui = nullptr;

    QList<QAction *> modelActions()
    {
        return {ui->actionIP_Settings, ui->actionTrigger_threshold, ui->actionDivideBy_calc};
    }

    // The class names of the visible top-level windows.
    static QStringList visibleTopLevels()
    {
        QStringList names;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->isVisible())
                names << QString::fromLatin1(widget->metaObject()->className());
        return names;
    }

    // A shown window that reaches no real address, connected through the
    // menu when asked; the call log then starts afresh.
    void openWindow(bool connect)
    {
        w = std::make_unique<dxu_gui>();
        ui = &Access::ui(*w);
        Access::deviceIp(*w) = QStringLiteral("127.0.0.61");
        w->show();
        QTest::qVerify(QTest::qWaitForWindowExposed(w.get()), "exposed", "", __FILE__, __LINE__);
        if (connect)
            ui->actionUSB->trigger();
        FakeUsb::clearCalls();
    }

    // Sets the threshold through the menu, answering the dialog with `level`
    // or Cancel; returns the level the dialog offered.
    double setThreshold(double level, bool accept)
    {
        double offered = -1;
        QTimer::singleShot(0, w.get(), [&offered, level, accept] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            offered = dialog->doubleValue();
            dialog->setDoubleValue(level);
            accept ? dialog->accept() : dialog->reject();
        });
        ui->actionTrigger_threshold->trigger();
        return offered;
    }

private slots:
    void init()
    {
        w.reset();
        FakeUsb::reset();
    }

    // The instrument gets back exactly the ticks it reported, the fields
    // changed since, and after a reconnect what it holds then. The threshold
    // dialog offers the level the instrument reported; the generators are
    // reset, then the settings last sent or read (not the fields) go out with
    // the new level. Cancel sends and keeps nothing; neither does a level
    // that did not arrive. A source change sends the settings, then resets.
    void connectRunAndDisconnect()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        FakeUsb::setStatus(dxu, instrumentStatus());
        MessageBoxWatcher boxes; // a failed connect must not block
        openWindow(false);
        QVERIFY(!ui->actionTrigger_threshold->isEnabled()); // no model yet
        QVERIFY(!ui->actionDivideBy_calc->isEnabled());
        Access::connectSourceCombos(*w); // as an Ethernet session leaves them
        ui->actionUSB->trigger();
        QCOMPARE(ui->dev_status->text(), QStringLiteral("USB connected DXU3"));
        QVERIFY(ui->actionTrigger_threshold->isEnabled());
        QCOMPARE(ui->periodG1->value(), 299.99998);
        QCOMPARE(ui->g1c1stop->value(), 4.0); // width = end - start
        // connecting reads; the read-back sends nothing back
        QCOMPARE(FakeUsb::framesWritten(dxu), (std::vector<Bytes>{{0x07}, {0x0A}}));
        FakeUsb::clearCalls();
        QTest::mouseClick(ui->runBoth, Qt::LeftButton);
        QCOMPARE(FakeUsb::framesWritten(dxu),
                 (std::vector<Bytes>{settingsFrame(held, true), {0x0B, 0x0C}}));

        FakeUsb::clearCalls();
        ui->periodG1->setValue(12.5);
        ui->g1c1stop->setValue(2);
        ui->pulsesG1->setValue(3);
        ui->timeUnitG2->setCurrentIndex(1);
        ui->g2c1stop->setValue(3);
        ui->g2c2start->setValue(0.5);
        QCOMPARE(setThreshold(1.25, true), 2.5);
        UsbSettingsBlock level = held;
        level.thresholdVolts = 1.25f;
        QCOMPARE(FakeUsb::framesWritten(dxu),
                 (std::vector<Bytes>{{0x0B, 0x03}, settingsFrame(level, true)}));
        FakeUsb::setWriteFails(dxu, 0x09);
        for (bool accept : {false, true, false}) {
            FakeUsb::clearCalls();
            QCOMPARE(setThreshold(0.05, accept), 1.25);
            QCOMPARE(FakeUsb::framesWritten(dxu).size(), std::size_t(accept ? 2 : 0));
        }
        // settings that did not arrive: no run after them, and the window says so
        w->statusBar()->clearMessage();
        QTest::mouseClick(ui->runGen1, Qt::LeftButton);
        QCOMPARE(FakeUsb::framesWritten(dxu).size(), std::size_t(1)); // the settings only
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Error"));
        FakeUsb::setWriteFails(dxu, 0x09, false);
        FakeUsb::clearCalls();
        QTest::mouseClick(ui->runGen1, Qt::LeftButton);
        // the fields as read, with the changes above; Ch1 end = start + width
        UsbSettingsBlock sent{2, 1,  12.5, 197.53072, {1, 2, 1, 0.5}, {3, 7, 4, 10.5},
                              3, 34, 0,    1,         1.25f};
        QCOMPARE(FakeUsb::framesWritten(dxu),
                 (std::vector<Bytes>{settingsFrame(sent, true), {0x0B, 0x04}}));
        FakeUsb::clearCalls();
        ui->sourceG2->setCurrentIndex(0);
        ui->sourceG1->setCurrentIndex(4); // Ext.Trig. High Level
        sent.source2 = 0;
        const Bytes gen2Changed = settingsFrame(sent, true);
        sent.source1 = 6;
        QCOMPARE(FakeUsb::framesWritten(dxu),
                 (std::vector<Bytes>{
                     gen2Changed, {0x0B, 0x02}, settingsFrame(sent, true), {0x0B, 0x03}}));
        FakeUsb::clearCalls();
        QTest::mouseClick(ui->stopGen1, Qt::LeftButton);
        QCOMPARE(FakeUsb::framesWritten(dxu), (std::vector<Bytes>{{0x0B, 0x01}}));

        ui->actionUSB->trigger();
        QCOMPARE(ui->dev_status->text(), QStringLiteral("Disconnected"));
        for (QWidget *widget : QWidgetList{ui->groupG1, ui->groupG2, ui->runBoth, ui->menuProfiles})
            QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
        for (QAction *action : modelActions())
            QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
        QCOMPARE(FakeUsb::openHandles(), 0);
        FakeUsb::clearCalls();
        ui->sourceG1->setCurrentIndex(1); // sends no longer
        ui->pulsesG1->setValue(99);
        QVERIFY(FakeUsb::calls().empty());

        ui->actionUSB->trigger();
        FakeUsb::clearCalls();
        QTest::mouseClick(ui->runBoth, Qt::LeftButton);
        QCOMPARE(FakeUsb::framesWritten(dxu).at(0), settingsFrame(sent, true));
    }

    // Unplugged between two commands: the command fails, the link closes and
    // says why; plugged in again, the menu connects anew.
    void unpluggedInstrumentClosesTheLink()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        MessageBoxWatcher boxes;
        openWindow(true);
        FakeUsb::unplug(dxu);
        QTest::mouseClick(ui->runGen1, Qt::LeftButton);
        QTRY_COMPARE(boxes.count(), 1);
        QVERIFY(boxes.last().text.startsWith("The DXU was unplugged from USB."));
        QCOMPARE(ui->dev_status->text(), QStringLiteral("Disconnected"));
        QVERIFY(!ui->actionUSB->isChecked() && !ui->runGen1->isEnabled() &&
                FakeUsb::openHandles() == 0);
        FakeUsb::replug(dxu);
        ui->actionUSB->trigger();
        QCOMPARE(ui->dev_status->text(), QStringLiteral("USB connected DXU2"));
        QCOMPARE(boxes.count(), 1);
    }

    void missingOrUnusableInstrumentWarns_data()
    {
        QTest::addColumn<int>("openError");
        QTest::addColumn<bool>("garbled");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << false
                              << QStringLiteral(
                                     "Can't find DXU via USB.\nCheck USB cable or try to "
                                     "connect via Ethernet!");
        QTest::newRow("not openable")
            << int(LIBUSB_ERROR_ACCESS) << false << QStringLiteral("LIBUSB_ERROR_ACCESS");
        QTest::newRow("garbled status")
            << 0 << true << QStringLiteral("did not report its settings");
    }

    void missingOrUnusableInstrumentWarns()
    {
        QFETCH(int, openError);
        QFETCH(bool, garbled);
        QFETCH(QString, text);
        FakeUsb::addUnrelatedDevice(0x03EB, 0x2FF4); // same maker, another product
        FakeUsb::addUnrelatedDevice(0x1234, 0x204F); // same product id, another maker
        if (openError || garbled) {
            const int dxu = FakeUsb::addInstrument(Model::Dxu3);
            FakeUsb::setOpenError(dxu, openError);
            if (garbled)
                FakeUsb::setStatus(dxu, Bytes(56, 0xFF)); // time bases 255, NaN volts
        }
        MessageBoxWatcher boxes;
        openWindow(true);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("DXU USB Connection"));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        if (!openError && !garbled)
            QCOMPARE(boxes.last().text, text);
        QVERIFY2(boxes.last().text.contains(text), qPrintable(boxes.last().text));
#ifdef Q_OS_LINUX
        if (openError)
            QVERIFY(boxes.last().text.contains(QLatin1String("61-dxu-panel-uaccess.rules")));
#endif
        QVERIFY(!ui->actionUSB->isChecked());
        QCOMPARE(ui->dev_status->text(), QStringLiteral("Disconnected"));
        QCOMPARE(ui->periodG1->value(), 300.0); // nothing garbled shown
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
        ui->actionUSB->trigger(); // nothing on USB
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(ui->dev_status->text(), QStringLiteral("127.0.0.62 (DXU3)"));
        QVERIFY(ui->actionEthernet->isChecked() && Access::ethernetConnected(*w));
        QCOMPARE(Access::httpResponse(*w), page);
        for (QAction *action : modelActions())
            QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
        EthernetWindow::disconnectEthernet(*w);
        QVERIFY(!ui->actionTrigger_threshold->isEnabled() && !ui->actionDivideBy_calc->isEnabled());

        QVERIFY(EthernetWindow::connectTo(*w, QStringLiteral("127.0.0.62")));
        QVERIFY(EthernetWindow::batchEnded(*w));
        FakeUsb::addInstrument(Model::Dxu2);
        ui->actionUSB->trigger();
        QCOMPARE(ui->dev_status->text(), QStringLiteral("USB connected DXU2"));
        QVERIFY(!Access::ethernetConnected(*w) && !ui->actionEthernet->isChecked());
        QVERIFY(Access::httpResponse(*w).isEmpty() && !ui->actionTrigger_threshold->isEnabled());
        QCOMPARE(boxes.count(), 1);
    }

    // On USB the IP settings read the identity reply over USB, no HTTP. Its
    // serial bytes 0A 00 FF 01 23 45 67 89 AB CD are followed, from byte 13, by
    // the network block: DHCP (any non-zero byte is on), MAC, IP, mask,
    // gateway. A read that fails (no reply, a short one, a failed claim) warns,
    // shows nothing and leaves nothing to submit, until a read succeeds again.
    // The block goes out built from the typed texts; a write that fails warns
    // and keeps the dialog open and the instrument's settings.
    void networkSettingsOverUsb()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::IdentityReply reply{};
        const QByteArray bytes = QByteArray::fromHex("0a00ff0123456789abcd 020000 80"
                                                     "001bc50a0b0c 7f00003c ffff0000 7f0000fe");
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        FakeUsb::setIdentity(dxu, reply);
        openWindow(true);
        ui->actionIP_Settings->trigger();
        auto *dialog = w->findChild<FindDialog *>();
        QVERIFY(dialog->isVisible());
        QCOMPARE(FakeUsb::framesWritten(dxu), std::vector<Bytes>{{0x07}});
        QVERIFY(dialog->findChildren<HttpClient *>().isEmpty());
        const auto edit = [dialog](const char *name) {
            return dialog->findChild<QLineEdit *>(QLatin1String(name));
        };
        auto *dhcp = dialog->findChild<QCheckBox *>(QStringLiteral("dhcpCheckBox"));
        auto *submit = dialog->findChild<QPushButton *>(QStringLiteral("submitButton"));
        QVERIFY(dhcp->isChecked());
        for (int replyLength : {0, 31, -2, -1}) {
            FakeUsb::setReplyLength(dxu, 0x07, std::max(replyLength, -1));
            FakeUsb::setClaimError(dxu, replyLength == -2 ? LIBUSB_ERROR_BUSY : 0);
            MessageBoxWatcher boxes;
            dialog->readNetworkSettings();
            QStringList shown;
            for (const char *name : {"serialEdit", "macEdit", "ipEdit", "maskEdit", "gatewayEdit"})
                shown << edit(name)->text();
            QCOMPARE(boxes.count(), replyLength == -1 ? 0 : 1);
            QCOMPARE(submit->isEnabled(), replyLength == -1);
            QCOMPARE(shown, replyLength == -1
                                ? QStringList({"A0FF123456789ABCD", "00:1B:C5:0A:0B:0C",
                                               "127.0.0.60", "255.255.0.0", "127.0.0.254"})
                                : QStringList(5, QString()));
            if (replyLength != -1)
                QCOMPARE(boxes.last().text,
                         QStringLiteral("Can't read the network settings from the DXU via USB."));
        }

        FakeUsb::setWriteFails(dxu, 0x08);
        edit("macEdit")->setText(QStringLiteral("aa:BB:c:0D:e0:7f"));
        MessageBoxWatcher boxes;
        submit->click();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title + QStringLiteral(": ") + boxes.last().text,
                 QStringLiteral("DXU USB Connection: Can't write the network settings to the DXU "
                                "via USB."));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        QVERIFY(dialog->isVisible());

        FakeUsb::setWriteFails(dxu, 0x08, false);
        edit("ipEdit")->setText(QStringLiteral("10.1.2.3"));
        edit("gatewayEdit")->setText(QStringLiteral("010.1.0.254"));
        for (bool dhcpOn : {true, false}) {
            dhcp->setChecked(dhcpOn);
            FakeUsb::clearCalls();
            const int before = boxes.count();
            submit->click();
            QCOMPARE(boxes.count(), before + 1);
            QCOMPARE(boxes.last().text,
                     QStringLiteral("Please restart DXU to apply new network settings!"));
            QVERIFY(!dialog->isVisible());
            // Code, DHCP, MAC, IP, mask, gateway.
            const QByteArray frame = QByteArray::fromHex(QByteArray(dhcpOn ? "0801" : "0800") +
                                                         "aabb0c0de07f 0a010203 ffff0000 0a0100fe");
            QCOMPARE(FakeUsb::framesWritten(dxu),
                     std::vector<Bytes>({Bytes(frame.begin(), frame.end())}));
        }
        FakeUsb::unplug(dxu); // under the read: the dialog goes, and the USB link
        ui->actionIP_Settings->trigger();
        QVERIFY(boxes.last().text.startsWith("The DXU was unplugged from USB."));
        QVERIFY(!dialog->isVisible() && ui->dev_status->text() == "Disconnected");
    }

    // Compact mode hides the five framed elements and moves the buttons up
    // into three rows of a fixed window 160 high, in the columns of the
    // normal layout; off, the form's layout comes back. (With the fonts the
    // form is drawn for, the columns stand at x 26 and 171 and the window is
    // 310 wide.)
    void compactModeLayerAndAbout()
    {
        openWindow(false);
        const QWidgetList framed = {ui->previewGroup, ui->groupG1, ui->groupG2, ui->groupBox,
                                    ui->label_8};
        QList<QPushButton *> buttons = {ui->runGen1,  ui->stopGen1,    ui->runGen2,
                                        ui->stopGen2, ui->resetButton, ui->runBoth};
        QList<QRect> start;
        for (QPushButton *button : buttons)
            start << button->geometry();
        const QSize normal = w->size();
        const QList<int> compactRows = {20, 53, 20, 53, 83, 83};
        for (bool on : {true, false}) {
            ui->actionCompact_Mode->setChecked(on);
            QTRY_COMPARE(w->size(), on ? QSize(normal.width(), 160) : normal);
            QCOMPARE(w->minimumSize(), w->maximumSize());
            for (QWidget *widget : framed)
                QVERIFY2(widget->isVisibleTo(w.get()) != on, qPrintable(widget->objectName()));
            // Generator 2's buttons and reset one pixel right of where the
            // form first placed them (two where the widened form grows it).
            const int right = ui->runGen2->x();
            QVERIFY(right - start[2].x() >= 1 && right - start[2].x() <= 2);
            for (int i = 0; i < buttons.size(); ++i)
                QCOMPARE(buttons[i]->pos(), QPoint(i >= 2 && i <= 4 ? right : start[0].x(),
                                                   on ? compactRows[i] : start[i].y()));
            QCOMPARE(ui->runBoth->size(), on ? QSize(start[0].width(), 31) : start[5].size());
        }

        // The window changes layer in place: not hidden, re-created, moved or
        // resized. The about box names the version.
        QWindow *native = w->windowHandle();
        const QRect geometry = w->geometry();
        for (bool on : {true, false}) {
            ui->actionAlways_on_top->trigger();
            QCOMPARE(native->flags().testFlag(Qt::WindowStaysOnTopHint), on);
            QCOMPARE(w->windowHandle(), native);
            QVERIFY(w->isVisible());
            QCOMPARE(w->geometry(), geometry);
        }
        MessageBoxWatcher boxes;
        ui->actionAbout->trigger();
        QCOMPARE(boxes.count(), 1);
        QTextDocument document;
        document.setHtml(boxes.last().text);
        QCOMPARE(boxes.last().title + ": " + document.toPlainText().split('\n').last(),
                 QStringLiteral("About: Version v1.5.5 (Feb 20 2018)"));
    }

    // Help opens dxuhelp.chm beside the program; without it, the HTML manual
    // (the build tree has it where an installation does). When no program
    // opens either, a box says where both are.
    void helpOpensHelpFileOrManual()
    {
        openWindow(false);
        const QString chm = QCoreApplication::applicationDirPath() + "/dxuhelp.chm";
        QVERIFY(!QFileInfo::exists(chm));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
        for (bool chmBesideProgram : {true, false}) {
            QFile file(chm);
            if (chmBesideProgram)
                QVERIFY(file.open(QIODevice::WriteOnly));
            openedUrls.clear();
            MessageBoxWatcher boxes;
            ui->actionHelp->trigger();
            QTest::qWait(300);
            file.remove();
            QCOMPARE(boxes.count(), 0);
            QCOMPARE(visibleTopLevels(), QStringList({"dxu_gui"}));
            QCOMPARE(openedUrls.size(), 1);
            const QString opened = openedUrls.first().toLocalFile();
            QVERIFY2(chmBesideProgram ? opened == chm
                                      : opened.endsWith("/share/dxu-panel/manual/index.html") &&
                                            QFileInfo::exists(opened),
                     qPrintable(opened));
        }
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "noSuchOpener");
        MessageBoxWatcher boxes;
        ui->actionHelp->trigger();
        QTRY_COMPARE(boxes.count(), 1);
        QVERIFY(boxes.last().text.contains(chm + "; the manual is at ") &&
                boxes.last().text.endsWith("/share/dxu-panel/manual/index.html."));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }
};

DXU_TEST_MAIN(WindowTest)
#include "tst_window_modes_usb.moc"
