// The window modes and the entries that open the other windows: compact mode,
// always on top, the about box, help, slave control and the IP settings.
#include "app/dxu_gui.h"
#include "device/http_client.h"
#include "fakeusb/fake_usb.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTextDocument>
#include <QWindow>

struct DxuGuiTestAccess
{
    static Ui::dxu_guiClass &ui(dxu_gui &w) { return w.ui; }
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static multidxudialog *slaveDialog(dxu_gui &w) { return w.slaveDialog; }
    static FindDialog *networkDialog(dxu_gui &w) { return w.networkDialog; }
};

namespace {

QList<QWidget *> framedElements(Ui::dxu_guiClass &ui)
{
    return {ui.previewGroup, ui.groupG1, ui.groupG2, ui.groupBox, ui.label_8};
}

QStringList visibleTopLevels()
{
    QStringList names;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            names << QString::fromLatin1(widget->metaObject()->className());
    return names;
}

} // namespace

class ModesTest : public QObject
{
    Q_OBJECT

private slots:
    void compactModeOn()
    {
        dxu_gui window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Ui::dxu_guiClass &ui = DxuGuiTestAccess::ui(window);
        ui.actionCompact_Mode->setChecked(true);

        QTRY_COMPARE(window.size(), QSize(310, 160));
        for (QWidget *widget : framedElements(ui))
            QVERIFY2(!widget->isVisibleTo(&window), qPrintable(widget->objectName()));
        QCOMPARE(ui.runGen1->pos(), QPoint(26, 20));
        QCOMPARE(ui.stopGen1->pos(), QPoint(26, 53));
        QCOMPARE(ui.runGen2->pos(), QPoint(171, 20));
        QCOMPARE(ui.stopGen2->pos(), QPoint(171, 53));
        QCOMPARE(ui.resetButton->pos(), QPoint(171, 83));
        QCOMPARE(ui.runBoth->geometry(), QRect(26, 83, 122, 31));
        // Fixed like the normal layout, and every button inside the window.
        QCOMPARE(window.minimumSize(), QSize(310, 160));
        QCOMPARE(window.maximumSize(), QSize(310, 160));
        for (QWidget *button : QList<QWidget *>{ui.runBoth, ui.resetButton, ui.stopGen2}) {
            const QRect inWindow(button->mapTo(&window, QPoint(0, 0)), button->size());
            QVERIFY(window.rect().contains(inWindow));
        }
    }

    void compactModeOffRestoresTheLayout()
    {
        dxu_gui window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Ui::dxu_guiClass &ui = DxuGuiTestAccess::ui(window);
        ui.actionCompact_Mode->setChecked(true);
        QTRY_COMPARE(window.height(), 160);
        ui.actionCompact_Mode->setChecked(false);

        QTRY_VERIFY(window.height() >= 678);
        QCOMPARE(window.size(), QSize(310, 678));
        QCOMPARE(window.minimumSize(), QSize(310, 678));
        QCOMPARE(window.maximumSize(), QSize(310, 678));
        for (QWidget *widget : framedElements(ui))
            QVERIFY2(widget->isVisibleTo(&window), qPrintable(widget->objectName()));
        QCOMPARE(ui.runGen1->pos(), QPoint(26, 517));
        QCOMPARE(ui.stopGen1->pos(), QPoint(26, 550));
        QCOMPARE(ui.runGen2->pos(), QPoint(171, 517));
        QCOMPARE(ui.stopGen2->pos(), QPoint(171, 550));
        QCOMPARE(ui.resetButton->pos(), QPoint(171, 220));
        QCOMPARE(ui.runBoth->geometry(), QRect(26, 580, 268, 34));
    }

    // The window changes layer in place: not hidden, not re-created, not
    // moved or resized.
    void alwaysOnTop()
    {
        dxu_gui window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWindow *native = window.windowHandle();
        const QRect geometry = window.geometry();
        Ui::dxu_guiClass &ui = DxuGuiTestAccess::ui(window);

        ui.actionAlways_on_top->trigger();
        QVERIFY(ui.actionAlways_on_top->isChecked());
        QCOMPARE(window.windowHandle(), native);
        QVERIFY(native->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        QCOMPARE(window.geometry(), geometry);

        ui.actionAlways_on_top->trigger();
        QCOMPARE(window.windowHandle(), native);
        QVERIFY(!native->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        QCOMPARE(window.geometry(), geometry);
    }

    void aboutBox()
    {
        dxu_gui window;
        MessageBoxWatcher boxes;
        DxuGuiTestAccess::ui(window).actionAbout->trigger();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("About"));
        QVERIFY(boxes.last().text.contains(QStringLiteral("<b>Halvorn Inc.")));
        QVERIFY(
            boxes.last().text.contains(QStringLiteral("<a href=\"https://www.halvorn.example")));

        QTextDocument document;
        document.setHtml(boxes.last().text);
        const QStringList lines = document.toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(0), QStringLiteral("Halvorn Inc."));
        QCOMPARE(lines.at(1), QStringLiteral("Halvorn DXU USB/Ethernet Interface"));
        QCOMPARE(lines.at(3), QString());
        QCOMPARE(lines.last(), QStringLiteral("Version v1.5.5 (Feb 20 2018)"));
    }

    void helpWithoutFileShowsNothing()
    {
        const QString file =
            QCoreApplication::applicationDirPath() + QStringLiteral("/dxuhelp.chm");
        QVERIFY(!QFileInfo::exists(file));
        dxu_gui window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MessageBoxWatcher boxes;
        DxuGuiTestAccess::ui(window).actionHelp->trigger();
        QTest::qWait(300);
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(visibleTopLevels(), QStringList({"dxu_gui"}));
    }

    void slaveControlTwiceKeepsOneDialog()
    {
        dxu_gui window;
        window.show();
        Ui::dxu_guiClass &ui = DxuGuiTestAccess::ui(window);
        ui.actionManage_Slave->trigger();
        multidxudialog *slaves = DxuGuiTestAccess::slaveDialog(window);
        QVERIFY(slaves->isVisible());
        auto *list = slaves->findChild<QListWidget *>(QStringLiteral("dxulistWidget"));
        QVERIFY(list);
        list->addItem(QStringLiteral("127.0.0.62"));
        const int items = list->count();

        ui.actionManage_Slave->trigger();
        QVERIFY(slaves->isVisible());
        QVERIFY(!slaves->isModal());
        QCOMPARE(list->count(), items);
        int dialogs = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->inherits("multidxudialog"))
                ++dialogs;
        QCOMPARE(dialogs, 1);
    }

    // Connected by USB, the IP settings read the instrument's identity over
    // USB and make no HTTP request.
    void ipSettingsOnUsbReadOverUsb()
    {
        FakeUsb::reset();
        const int instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu3);
        FakeUsb::IdentityReply reply = FakeUsb::identity(instrument);
        reply[20] = 10; // IP 10.0.0.50
        FakeUsb::setIdentity(instrument, reply);

        dxu_gui window;
        DxuGuiTestAccess::deviceIp(window) = QStringLiteral("127.0.0.70");
        window.show();
        Ui::dxu_guiClass &ui = DxuGuiTestAccess::ui(window);
        QVERIFY(!ui.actionIP_Settings->isEnabled());
        ui.actionUSB->trigger();
        QVERIFY(ui.actionIP_Settings->isEnabled());
        FakeUsb::clearCalls();

        ui.actionIP_Settings->trigger();
        FindDialog *dialog = DxuGuiTestAccess::networkDialog(window);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->isModal());
        const auto writes = FakeUsb::framesWritten(instrument);
        QCOMPARE(writes.size(), std::size_t(1));
        QCOMPARE(writes.front(), FakeUsb::Bytes({0x07}));
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("serialEdit"))->text(),
                 QStringLiteral("10111213141516171819"));
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("ipEdit"))->text(),
                 QStringLiteral("10.0.0.50"));
        QVERIFY(dialog->findChildren<HttpClient *>().isEmpty());
        dialog->hide();
    }
};

DXU_TEST_MAIN(ModesTest)
#include "tst_modes.moc"
