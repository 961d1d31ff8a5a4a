// The slave dialog's address list and its panels: start state, adding and
// checking addresses, deleting, selecting, the buttons that follow the
// selection, hiding and reopening, and the main window's one instance.
#include "app/dxu_gui.h"
#include "multidevice/multidxudialog.h"
#include "persistence/settings_store.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QAction>
#include <QMetaMethod>
#include <QSettings>

struct SlaveDialogTestAccess
{
    static Ui::multidxudialogClass &ui(multidxudialog &d) { return d.ui; }
    static const QStringList &ipList(multidxudialog &d) { return d.ipList; }
};

namespace {

QStringList rows(QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

QList<int> selectedRows(QListWidget *list)
{
    QList<int> selected;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            selected << row;
    return selected;
}

// Types the address into the "Add DXU" box, as the operator does.
void addAddress(multidxudialog &dialog, const QString &address)
{
    InputDialogAnswerer answerer({address});
    SlaveDialogTestAccess::ui(dialog).pushButton_2->click();
    QCOMPARE(answerer.count(), 1);
}

// A click on a row, without modifier keys.
void clickRow(QListWidget *list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

} // namespace

class SlaveDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
        store->clear();
        store->sync();
    }

    void firstRunShowsEmptyListAndStartValues()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        QCOMPARE(dialog.objectName(), QStringLiteral("Dialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Slave DXU Control"));
        QCOMPARE(dialog.size(), QSize(298, 483));
        QVERIFY(!dialog.windowIcon().isNull());

        QCOMPARE(ui.dxulistWidget->count(), 0);
        QVERIFY(SlaveDialogTestAccess::ipList(dialog).isEmpty());
        QCOMPARE(ui.dxulistWidget->selectionMode(), QAbstractItemView::MultiSelection);
        QVERIFY(!ui.pushButton->isEnabled());
        QVERIFY(!ui.pushButton_3->isEnabled());

        QCOMPARE(ui.sourceG1->currentText(), QStringLiteral("Ext.Trig. Rising Edge"));
        QCOMPARE(ui.sourceG2->currentText(), QStringLiteral("Gen1 Slave"));
        QCOMPARE(ui.sourceG1->count(), 5);
        QCOMPARE(ui.sourceG2->count(), 2);
        for (QDoubleSpinBox *period : {ui.periodG1, ui.periodG2}) {
            QCOMPARE(period->value(), 1000.0);
            QCOMPARE(period->maximum(), 10736.0);
            QCOMPARE(period->decimals(), 5);
        }
        for (QSpinBox *pulses : {ui.pulsesG1, ui.pulsesG2}) {
            QCOMPARE(pulses->value(), 10);
            QCOMPARE(pulses->maximum(), 131072);
        }
        for (QDoubleSpinBox *delay : {ui.g1c1start, ui.g1c2start, ui.g2c1start, ui.g2c2start})
            QCOMPARE(delay->value(), 0.0);
        for (QDoubleSpinBox *width : {ui.g1c1stop, ui.g1c2stop, ui.g2c1stop, ui.g2c2stop})
            QCOMPARE(width->value(), 10.0);
        for (QComboBox *timeBase : {ui.timeUnitG1, ui.timeUnitG2}) {
            QCOMPARE(timeBase->currentText(), QStringLiteral("20 ns"));
            QCOMPARE(timeBase->count(), 4);
            QVERIFY(timeBase->toolTip().contains(QLatin1String("10736")));
        }
        // No profile stored: only the blank entry.
        QCOMPARE(ui.slavePresetsCombo->count(), 1);
        QCOMPARE(ui.slavePresetsCombo->currentText(), QStringLiteral(" "));
    }

    void slotsKeepTheirOrder()
    {
        const QMetaObject &meta = multidxudialog::staticMetaObject;
        const QByteArrayList expected = {"stopTrying()",
                                         "Trying(int)",
                                         "applySettings()",
                                         "handleHTTPResponseSlave(bool)",
                                         "addDXU()",
                                         "delDXU()",
                                         "selectallDXU()",
                                         "inverseDXU()",
                                         "selectionIPChanged()",
                                         "showProfileSettings(QString)"};
        QByteArrayList actual;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
            actual << meta.method(i).methodSignature();
        QCOMPARE(actual, expected);
    }

    void addAsksForAnAddressAndListsItInOrder()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        InputDialogAnswerer answerer({QStringLiteral("127.0.0.51"), QStringLiteral("10.0.0.2")});
        ui.pushButton_2->click();
        ui.pushButton_2->click();
        QCOMPARE(answerer.count(), 2);
        QCOMPARE(answerer.last().title, QStringLiteral("Add DXU"));
        QCOMPARE(answerer.last().label, QStringLiteral("DXU IP:"));
        QCOMPARE(answerer.last().presetText, QStringLiteral("192.168.0.0"));
        const QStringList expected = {QStringLiteral("127.0.0.51"), QStringLiteral("10.0.0.2")};
        QCOMPARE(rows(ui.dxulistWidget), expected);
        QCOMPARE(SlaveDialogTestAccess::ipList(dialog), expected);
    }

    void duplicateAddressIsRefused()
    {
        multidxudialog dialog;
        addAddress(dialog, QStringLiteral("10.0.0.1"));
        MessageBoxWatcher boxes;
        addAddress(dialog, QStringLiteral("10.0.0.1"));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Input error"));
        QCOMPARE(boxes.last().text, QStringLiteral("DXU with IP 10.0.0.1 already in list"));
        QCOMPARE(boxes.last().icon, QMessageBox::Warning);
        QCOMPARE(SlaveDialogTestAccess::ui(dialog).dxulistWidget->count(), 1);
    }

    void malformedAddressIsRefused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("group above 255") << QStringLiteral("10.256.0.1");
        QTest::newRow("three groups") << QStringLiteral("10.0.1");
        QTest::newRow("empty") << QString();
        QTest::newRow("five groups") << QStringLiteral("10.0.0.1.5");
        QTest::newRow("blank before") << QStringLiteral(" 10.0.0.1");
        QTest::newRow("four digits") << QStringLiteral("10.0.0.0001");
    }

    void malformedAddressIsRefused()
    {
        QFETCH(QString, address);
        multidxudialog dialog;
        addAddress(dialog, QStringLiteral("10.0.0.1"));
        MessageBoxWatcher boxes;
        addAddress(dialog, address);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("IP error"));
        QCOMPARE(boxes.last().text,
                 QStringLiteral("IP address <b>%1</b> is incorrect").arg(address));
        QCOMPARE(SlaveDialogTestAccess::ipList(dialog), QStringList{QStringLiteral("10.0.0.1")});
    }

    void leadingZerosAreKeptAsTypedAndCountAsAnotherEntry()
    {
        multidxudialog dialog;
        MessageBoxWatcher boxes;
        addAddress(dialog, QStringLiteral("10.0.0.1"));
        addAddress(dialog, QStringLiteral("010.000.000.001"));
        QCOMPARE(boxes.count(), 0);
        const QStringList expected = {QStringLiteral("10.0.0.1"),
                                      QStringLiteral("010.000.000.001")};
        QCOMPARE(rows(SlaveDialogTestAccess::ui(dialog).dxulistWidget), expected);
    }

    void cancellingTheInputChangesNothing()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddress(dialog, QStringLiteral("10.0.0.1"));
        ui.dxulistWidget->item(0)->setSelected(true);
        MessageBoxWatcher boxes;
        InputDialogAnswerer answerer({std::nullopt});
        ui.pushButton_2->click();
        QCOMPARE(answerer.count(), 1);
        QTest::qWait(50);
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(rows(ui.dxulistWidget), QStringList{QStringLiteral("10.0.0.1")});
        QCOMPARE(selectedRows(ui.dxulistWidget), QList<int>{0});
        QVERIFY(ui.pushButton->isEnabled());
    }

    void addingClearsTheSelection()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        addAddress(dialog, QStringLiteral("10.0.0.1"));
        ui.dxulistWidget->item(0)->setSelected(true);
        QVERIFY(ui.pushButton->isEnabled());
        addAddress(dialog, QStringLiteral("10.0.0.2"));
        QVERIFY(selectedRows(ui.dxulistWidget).isEmpty());
        QVERIFY(!ui.pushButton->isEnabled());
        QVERIFY(!ui.pushButton_3->isEnabled());
    }

    void deletingSelectedRowsKeepsTheOrderOfTheRest()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        dialog.show();
        for (int i = 1; i <= 6; ++i)
            addAddress(dialog, QStringLiteral("10.0.0.%1").arg(i));
        for (int row : {4, 1, 3})
            clickRow(ui.dxulistWidget, row);
        QCOMPARE(selectedRows(ui.dxulistWidget), (QList<int>{1, 3, 4}));

        MessageBoxWatcher boxes;
        ui.pushButton_3->click();
        QCOMPARE(boxes.count(), 0);
        const QStringList expected = {QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.3"),
                                      QStringLiteral("10.0.0.6")};
        QCOMPARE(rows(ui.dxulistWidget), expected);
        QCOMPARE(SlaveDialogTestAccess::ipList(dialog), expected);
        QVERIFY(!ui.pushButton->isEnabled());
        QVERIFY(!ui.pushButton_3->isEnabled());
    }

    void deletingWithNothingSelectedWarns()
    {
        multidxudialog dialog;
        addAddress(dialog, QStringLiteral("10.0.0.1"));
        MessageBoxWatcher boxes;
        // The button is disabled then; the slot is reached directly.
        QVERIFY(QMetaObject::invokeMethod(&dialog, "delDXU"));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QStringLiteral("Input error"));
        QCOMPARE(boxes.last().text, QStringLiteral("Nothing to delete, select DXU first"));
        QCOMPARE(SlaveDialogTestAccess::ipList(dialog), QStringList{QStringLiteral("10.0.0.1")});
    }

    void selectAllInverseAndTheButtonsFollow()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        dialog.show();
        for (int i = 1; i <= 4; ++i)
            addAddress(dialog, QStringLiteral("10.0.0.%1").arg(i));

        ui.pushButton_4->click();
        QCOMPARE(selectedRows(ui.dxulistWidget), (QList<int>{0, 1, 2, 3}));
        QVERIFY(ui.pushButton->isEnabled());
        QVERIFY(ui.pushButton_3->isEnabled());
        QCOMPARE(ui.pushButton->toolTip(), QStringLiteral("Apply settings"));

        ui.pushButton_5->click();
        QVERIFY(selectedRows(ui.dxulistWidget).isEmpty());
        QVERIFY(!ui.pushButton->isEnabled());
        QVERIFY(!ui.pushButton_3->isEnabled());
        QCOMPARE(ui.pushButton->toolTip(), QStringLiteral("Select DXU(s) first"));

        // One click toggles one row, no modifier key needed.
        clickRow(ui.dxulistWidget, 0);
        clickRow(ui.dxulistWidget, 2);
        QCOMPARE(selectedRows(ui.dxulistWidget), (QList<int>{0, 2}));
        QVERIFY(ui.pushButton->isEnabled());
        ui.pushButton_5->click();
        QCOMPARE(selectedRows(ui.dxulistWidget), (QList<int>{1, 3}));
        clickRow(ui.dxulistWidget, 1);
        clickRow(ui.dxulistWidget, 3);
        QVERIFY(selectedRows(ui.dxulistWidget).isEmpty());
        QVERIFY(!ui.pushButton->isEnabled());
    }

    void hidingAndReopeningKeepsListAndSelection()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        dialog.show();
        for (int i = 1; i <= 3; ++i)
            addAddress(dialog, QStringLiteral("10.0.0.%1").arg(i));
        clickRow(ui.dxulistWidget, 2);
        ui.periodG1->setValue(12.5);
        dialog.close();
        QVERIFY(!dialog.isVisible());
        dialog.show();
        QCOMPARE(rows(ui.dxulistWidget).size(), 3);
        QCOMPARE(selectedRows(ui.dxulistWidget), QList<int>{2});
        QCOMPARE(ui.periodG1->value(), 12.5);
        QVERIFY(ui.pushButton->isEnabled());
    }

    void mainWindowShowsItsOneDialog()
    {
        dxu_gui window;
        window.show();
        QAction *action = window.findChild<QAction *>(QStringLiteral("actionManage_Slave"));
        QVERIFY(action);
        QCOMPARE(window.findChildren<multidxudialog *>().size(), 1);
        multidxudialog *dialog = window.findChildren<multidxudialog *>().first();
        QVERIFY(!dialog->isVisible());

        action->trigger();
        QVERIFY(dialog->isVisible());
        addAddress(*dialog, QStringLiteral("10.0.0.7"));
        dialog->close();
        action->trigger();
        QCOMPARE(window.findChildren<multidxudialog *>().size(), 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(SlaveDialogTestAccess::ipList(*dialog), QStringList{QStringLiteral("10.0.0.7")});
    }
};

DXU_TEST_MAIN(SlaveDialogTest)
#include "tst_slave_dialog.moc"
