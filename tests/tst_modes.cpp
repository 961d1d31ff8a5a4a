// The window modes and the entries that open the other windows: compact mode,
// always on top, the about box, help, slave control and the IP settings.
#include "app/dxu_gui.h"
#include "device/http_client.h"
#include "fakeusb/fake_usb.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTextDocument>
#include <QWindow>

#include <memory>

struct DxuGuiTestAccess
{
    static Ui::dxu_guiClass &ui(dxu_gui &w) { return w.ui; }
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
};

class ModesTest : public QObject
{
    Q_OBJECT

public slots:
    void recordUrl(const QUrl &url) { openedUrls << url; }

private:
    QList<QUrl> openedUrls;

    std::unique_ptr<dxu_gui> window;
    Ui::dxu_guiClass *ui = nullptr;

    // The class names of the visible top-level windows.
    static QStringList visibleTopLevels()
    {
        QStringList names;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->isVisible())
                names << QString::fromLatin1(widget->metaObject()->className());
        return names;
    }

private slots:
    // A shown main window, on no instrument; no HTTP may leave it but to
    // loopback.
    void init()
    {
        FakeUsb::reset();
        window = std::make_unique<dxu_gui>();
        DxuGuiTestAccess::deviceIp(*window) = QStringLiteral("127.0.0.70");
        ui = &DxuGuiTestAccess::ui(*window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() { window.reset(); }

    // Compact mode hides the five framed elements and moves the buttons up
    // into a fixed 310 × 160 window; off, the form's layout comes back.
    void compactMode()
    {
        const QWidgetList framed = {ui->previewGroup, ui->groupG1, ui->groupG2, ui->groupBox,
                                    ui->label_8};
        for (bool on : {true, false}) {
            ui->actionCompact_Mode->setChecked(on);
            QTRY_COMPARE(window->size(), QSize(310, on ? 160 : 678));
            QCOMPARE(window->minimumSize(), window->maximumSize());
            for (QWidget *widget : framed)
                QVERIFY2(widget->isVisibleTo(window.get()) != on, qPrintable(widget->objectName()));
            const QList<QPoint> buttons = {ui->runGen1->pos(), ui->stopGen1->pos(),
                                           ui->runGen2->pos(), ui->stopGen2->pos(),
                                           ui->resetButton->pos()};
            const QList<QPoint> expected =
                on ? QList<QPoint>{{26, 20}, {26, 53}, {171, 20}, {171, 53}, {171, 83}}
                   : QList<QPoint>{{26, 517}, {26, 550}, {171, 517}, {171, 550}, {171, 220}};
            QCOMPARE(buttons, expected);
            QCOMPARE(ui->runBoth->geometry(),
                     on ? QRect(26, 83, 122, 31) : QRect(26, 580, 268, 34));
        }
    }

    // The window changes layer in place: not hidden, re-created, moved or
    // resized.
    void alwaysOnTop()
    {
        QWindow *native = window->windowHandle();
        const QRect geometry = window->geometry();
        for (bool on : {true, false}) {
            ui->actionAlways_on_top->trigger();
            QCOMPARE(native->flags().testFlag(Qt::WindowStaysOnTopHint), on);
            QCOMPARE(window->windowHandle(), native);
            QVERIFY(window->isVisible());
            QCOMPARE(window->geometry(), geometry);
        }
    }

    void aboutBox()
    {
        MessageBoxWatcher boxes;
        ui->actionAbout->trigger();
        QCOMPARE(boxes.count(), 1);
        QTextDocument document;
        document.setHtml(boxes.last().text);
        QCOMPARE(boxes.last().title + ": " + document.toPlainText().split('\n').last(),
                 QStringLiteral("About: Version v1.5.5 (Feb 20 2018)"));
    }

    // Help opens dxuhelp.chm beside the program; without it, the HTML manual
    // (the build tree has it where an installation does), never a box.
    void helpOpensHelpFileOrManual_data()
    {
        QTest::addColumn<bool>("chmBesideProgram");
        QTest::newRow("dxuhelp.chm beside the program") << true;
        QTest::newRow("no dxuhelp.chm") << false;
    }

    void helpOpensHelpFileOrManual()
    {
        QFETCH(bool, chmBesideProgram);
        const QString chm = QCoreApplication::applicationDirPath() + "/dxuhelp.chm";
        QVERIFY(!QFileInfo::exists(chm));
        QFile file(chm);
        if (chmBesideProgram)
            QVERIFY(file.open(QIODevice::WriteOnly));
        openedUrls.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
        MessageBoxWatcher boxes;
        ui->actionHelp->trigger();
        QTest::qWait(300);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        if (chmBesideProgram)
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

    // The second time shows the same dialog, with the slave it was given.
    void slaveControlTwiceKeepsOneDialog()
    {
        ui->actionManage_Slave->trigger();
        auto *slaves = window->findChild<multidxudialog *>();
        auto *list = slaves->findChild<QListWidget *>(QStringLiteral("dxulistWidget"));
        QVERIFY(slaves->isVisible() && list);
        list->addItem(QStringLiteral("127.0.0.62"));
        const int items = list->count();
        ui->actionManage_Slave->trigger();
        QVERIFY(slaves->isVisible() && !slaves->isModal());
        QCOMPARE(list->count(), items);
        QCOMPARE(visibleTopLevels().count(QStringLiteral("multidxudialog")), 1);
    }

    // Connected by USB, the IP settings read the instrument's identity over
    // USB and make no HTTP request.
    void ipSettingsOnUsbReadOverUsb()
    {
        const int instrument = FakeUsb::addInstrument(FakeUsb::Model::Dxu3);
        ui->actionUSB->trigger();
        FakeUsb::clearCalls();
        ui->actionIP_Settings->trigger();
        auto *dialog = window->findChild<FindDialog *>();
        QVERIFY(dialog->isVisible());
        QCOMPARE(FakeUsb::framesWritten(instrument), std::vector<FakeUsb::Bytes>{{0x07}});
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("serialEdit"))->text(),
                 QStringLiteral("10111213141516171819"));
        QVERIFY(dialog->findChildren<HttpClient *>().isEmpty());
    }
};

DXU_TEST_MAIN(ModesTest)
#include "tst_modes.moc"
