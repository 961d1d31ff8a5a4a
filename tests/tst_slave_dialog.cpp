// The slave dialog's address list and its panels: start state, adding and
// checking addresses, selecting, deleting, the buttons that follow the
// selection, hiding and reopening; filling the panels from a stored profile;
// and the main window's one instance.
#include "app/dxu_gui.h"
#include "multidevice/multidxudialog.h"
#include "persistence/settings_store.h"
#include "support/input_dialogs.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QAction>
#include <QSettings>

struct SlaveDialogTestAccess
{
    static Ui::multidxudialogClass &ui(multidxudialog &d) { return d.ui; }
    static const QStringList &ipList(multidxudialog &d) { return d.ipList; }
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

QList<int> selectedRows(QListWidget *list)
{
    QList<int> selected;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            selected << row;
    return selected;
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

class SlaveDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void firstRunShowsEmptyListAndStartValues()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        QCOMPARE(ui.dxulistWidget->count(), 0);
        QVERIFY(!ui.pushButton->isEnabled());
        QVERIFY(!ui.pushButton_3->isEnabled());
        QCOMPARE(panels(ui),
                 QStringLiteral("Ext.Trig. Rising Edge|Gen1 Slave|1000|1000|10|10|0|10|0|10|"
                                "0|10|0|10|20 ns|20 ns"));
    }

    void typedAddressIsCheckedBeforeItIsListed_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("title"); // of the warning; none when empty
        QTest::addColumn<bool>("listed");
        QTest::newRow("duplicate") << "10.0.0.1" << QStringLiteral("Input error") << false;
        QTest::newRow("group above 255") << "10.256.0.1" << QStringLiteral("IP error") << false;
        QTest::newRow("three groups") << "10.0.1" << QStringLiteral("IP error") << false;
        QTest::newRow("empty") << QStringLiteral("") << "IP error" << false;
        QTest::newRow("markup") << "<i>R&D" << QStringLiteral("IP error") << false;
        QTest::newRow("cancelled") << QString() << QString() << false;
        QTest::newRow("leading zeros") << "010.000.000.001" << QString() << true;
        QTest::newRow("another") << "127.0.0.51" << QString() << true;
    }

    void typedAddressIsCheckedBeforeItIsListed()
    {
        QFETCH(QString, typed);
        QFETCH(QString, title);
        QFETCH(bool, listed);
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        add(dialog, {QStringLiteral("10.0.0.1")});
        ui.dxulistWidget->item(0)->setSelected(true);
        MessageBoxWatcher boxes;
        add(dialog, {typed});
        QTest::qWait(50);
        QCOMPARE(boxes.count(), title.isEmpty() ? 0 : 1);
        QCOMPARE(boxes.last().title, title);
        if (title == QLatin1String("IP error")) // shown as text, not as markup
            QCOMPARE(
                boxes.last().text,
                QStringLiteral("IP address <b>%1</b> is incorrect").arg(typed.toHtmlEscaped()));
        // Listed as typed, in order; the list is rebuilt and its selection gone.
        const QStringList expected =
            listed ? QStringList{QStringLiteral("10.0.0.1"), typed} : QStringList{"10.0.0.1"};
        QCOMPARE(SlaveDialogTestAccess::ipList(dialog), expected);
        QCOMPARE(ui.dxulistWidget->count(), expected.size());
        QCOMPARE(ui.dxulistWidget->item(expected.size() - 1)->text(), expected.last());
        QCOMPARE(selectedRows(ui.dxulistWidget), listed ? QList<int>() : QList<int>{0});
        QCOMPARE(ui.pushButton->isEnabled(), !listed);
        QCOMPARE(ui.pushButton_3->isEnabled(), !listed);
    }

    void selectingReopeningAndDeleting()
    {
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        QListWidget *list = ui.dxulistWidget;
        dialog.show();
        add(dialog, {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5", "10.0.0.6"});
        // Whether Apply and Delete are enabled follows every change.
        const auto check = [&](const QList<int> &rows) {
            QCOMPARE(selectedRows(list), rows);
            QCOMPARE(ui.pushButton->isEnabled(), !rows.isEmpty());
            QCOMPARE(ui.pushButton_3->isEnabled(), !rows.isEmpty());
        };
        // One click toggles one row, no modifier key needed.
        const auto click = [&](int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                              list->visualItemRect(list->item(row)).center());
        };
        ui.pushButton_4->click();
        check({0, 1, 2, 3, 4, 5});
        ui.pushButton_5->click();
        check({});
        click(0);
        click(2);
        check({0, 2});
        ui.pushButton_5->click();
        check({1, 3, 4, 5});
        click(5);
        check({1, 3, 4});

        ui.periodG1->setValue(12.5);
        dialog.close();
        dialog.show();
        check({1, 3, 4});
        QCOMPARE(ui.periodG1->value(), 12.5);

        MessageBoxWatcher boxes;
        ui.pushButton_3->click();
        QCOMPARE(boxes.count(), 0);
        const QStringList rest = {"10.0.0.1", "10.0.0.3", "10.0.0.6"};
        QCOMPARE(SlaveDialogTestAccess::ipList(dialog), rest);
        for (int row = 0; row < rest.size(); ++row)
            QCOMPARE(list->item(row)->text(), rest[row]);
        check({});
    }

    void fieldsGoToTheirBoxes_data()
    {
        QTest::addColumn<QString>("codes");
        QTest::addColumn<QString>("sources");
        QTest::addColumn<QString>("timeBases");
        QTest::addColumn<QString>("shown");
        // The boxes start on Ext. Sync and Gen1 Slave, 20 ns and 20 ns here.
        QTest::newRow("4 and 0") << "4|0" << QStringLiteral("Ext.Trig. Lowering Edge|Software")
                                 << "3|2"
                                 << "160 ns|80 ns";
        QTest::newRow("3 and 7 leave both")
            << "3|7" << QStringLiteral("Ext. Sync|Gen1 Slave") << "4|-1"
            << "20 ns|20 ns";
        QTest::newRow("6 is High Level")
            << "6|0" << QStringLiteral("Ext.Trig. High Level|Software") << "3|2"
            << "160 ns|80 ns";
    }

    void fieldsGoToTheirBoxes()
    {
        QFETCH(QString, codes);
        QFETCH(QString, sources);
        QFETCH(QString, timeBases);
        QFETCH(QString, shown);
        // Distinct values everywhere, so that two swapped fields show.
        storeOnly({{QStringLiteral("p"),
                    codes + "|0.25|2.5|40000|7|1.5|2|3.25|4|5.5|6|7.75|8|" + timeBases}});
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        ui.sourceG1->setCurrentIndex(1);
        ui.slavePresetsCombo->setCurrentText(QStringLiteral("p"));
        QCOMPARE(panels(ui), sources + "|0.25|2.5|40000|7|1.5|2|3.25|4|5.5|6|7.75|8|" + shown);
    }

    void blankEntryChangesNothingAndNamesAreReadOnce()
    {
        storeOnly({{QStringLiteral("p"), QStringLiteral("6|0|12|13|2|3|0|1|0|1|0|1|0|1|1|1")},
                   {QStringLiteral("gone"), QStringLiteral("6|0|12|13|2|3|1|2|3|4|5|6|7|8|3|3")}});
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        QComboBox *combo = ui.slavePresetsCombo;
        combo->setCurrentText(QStringLiteral("p"));
        ui.periodG1->setValue(99);
        ui.sourceG2->setCurrentIndex(1);
        const QString edited = panels(ui);
        QCOMPARE(edited,
                 QStringLiteral(
                     "Ext.Trig. High Level|Gen1 Slave|99|13|2|3|0|1|0|1|0|1|0|1|40 ns|40 ns"));
        combo->setCurrentText(QStringLiteral(" "));
        QCOMPARE(panels(ui), edited);

        // Saved or deleted after the dialog was built: the names stay as they
        // were until the next start, and a deleted one reads as the default.
        storeOnly({{QStringLiteral("new"), QStringLiteral("1|1|1|1|1|1|1|1|1|1|1|1|1|1|1|1")}});
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names << combo->itemText(i);
        QCOMPARE(names,
                 (QStringList{QStringLiteral(" "), QStringLiteral("gone"), QStringLiteral("p")}));
        combo->setCurrentText(QStringLiteral("gone"));
        QCOMPARE(panels(ui), QStringLiteral("Software|Software|300|300|1|1|0|200|0|200|0|200|0|200|"
                                            "20 ns|20 ns"));
    }

    // Made at its first opening, the dialog lists the profiles there were at
    // start-up, and is the same dialog at every opening.
    void mainWindowShowsItsOneDialog()
    {
        storeOnly({{QStringLiteral("early"), QStringLiteral("6|0|12|13|2|3|0|1|0|1|0|1|0|1|1|1")}});
        dxu_gui window;
        window.show();
        storeOnly({{QStringLiteral("late"), QStringLiteral("6|0|12|13|2|3|0|1|0|1|0|1|0|1|1|1")}});
        QAction *action = window.findChild<QAction *>(QStringLiteral("actionManage_Slave"));
        QVERIFY(action);
        action->trigger();
        QCOMPARE(window.findChildren<multidxudialog *>().size(), 1);
        multidxudialog *dialog = window.findChildren<multidxudialog *>().first();
        const auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("slavePresetsCombo"));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), QStringLiteral("early"));
        QVERIFY(dialog->isVisible());
        add(*dialog, {QStringLiteral("10.0.0.7")});
        dialog->close();
        action->trigger();
        QCOMPARE(window.findChildren<multidxudialog *>().size(), 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(SlaveDialogTestAccess::ipList(*dialog), QStringList{QStringLiteral("10.0.0.7")});
    }
};

DXU_TEST_MAIN(SlaveDialogTest)
#include "tst_slave_dialog.moc"
