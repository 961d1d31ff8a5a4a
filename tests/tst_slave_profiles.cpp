// Filling the slave dialog's panels from a stored profile: the list of names,
// the blank entry, source codes without an entry, every field in its box,
// and a name deleted after the box was filled.
#include "multidevice/multidxudialog.h"
#include "persistence/profile_value.h"
#include "persistence/settings_store.h"
#include "support/test_support.h"

#include <QSettings>

struct SlaveDialogTestAccess
{
    static Ui::multidxudialogClass &ui(multidxudialog &d) { return d.ui; }
};

namespace {

void storeProfile(const QString &name, const QString &value)
{
    QScopedPointer<QSettings> store(SettingsStore::openProfileSettings());
    store->setValue(name, value);
    store->sync();
}

void removeProfile(const QString &name)
{
    QScopedPointer<QSettings> store(SettingsStore::openProfileSettings());
    store->remove(name);
    store->sync();
}

void choose(multidxudialog &dialog, const QString &name)
{
    QComboBox *combo = SlaveDialogTestAccess::ui(dialog).slavePresetsCombo;
    const int index = combo->findText(name);
    QVERIFY2(index >= 0, qPrintable(name));
    combo->setCurrentIndex(index);
}

} // namespace

class SlaveProfilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
        store->clear();
        store->sync();
    }

    void storedNamesFollowTheBlankEntry()
    {
        storeProfile(QStringLiteral("beta"), QLatin1String(ProfileFormat::DefaultValue));
        storeProfile(QStringLiteral("alpha"), QLatin1String(ProfileFormat::DefaultValue));
        multidxudialog dialog;
        QComboBox *combo = SlaveDialogTestAccess::ui(dialog).slavePresetsCombo;
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QStringLiteral(" "));
        QCOMPARE(combo->itemText(1), QStringLiteral("alpha"));
        QCOMPARE(combo->itemText(2), QStringLiteral("beta"));
        QCOMPARE(combo->currentIndex(), 0);

        // Saved after the dialog was built: not offered until the next start.
        storeProfile(QStringLiteral("gamma"), QLatin1String(ProfileFormat::DefaultValue));
        QCOMPARE(combo->count(), 3);
    }

    void everyFieldGoesToItsBox()
    {
        // Distinct values everywhere, so that two swapped fields show.
        storeProfile(QStringLiteral("full"),
                     QStringLiteral("4|0|0.25|2.5|40000|7|1.5|2|3.25|4|5.5|6|7.75|8|3|2"));
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        choose(dialog, QStringLiteral("full"));

        QCOMPARE(ui.sourceG1->currentText(), QStringLiteral("Ext.Trig. Lowering Edge"));
        QCOMPARE(ui.sourceG2->currentText(), QStringLiteral("Software"));
        QCOMPARE(ui.periodG1->value(), 0.25);
        QCOMPARE(ui.periodG2->value(), 2.5);
        QCOMPARE(ui.pulsesG1->value(), 40000);
        QCOMPARE(ui.pulsesG2->value(), 7);
        QCOMPARE(ui.g1c1start->value(), 1.5);
        QCOMPARE(ui.g1c1stop->value(), 2.0);
        QCOMPARE(ui.g1c2start->value(), 3.25);
        QCOMPARE(ui.g1c2stop->value(), 4.0);
        QCOMPARE(ui.g2c1start->value(), 5.5);
        QCOMPARE(ui.g2c1stop->value(), 6.0);
        QCOMPARE(ui.g2c2start->value(), 7.75);
        QCOMPARE(ui.g2c2stop->value(), 8.0);
        QCOMPARE(ui.timeUnitG1->currentText(), QStringLiteral("160 ns"));
        QCOMPARE(ui.timeUnitG2->currentText(), QStringLiteral("80 ns"));
    }

    void blankEntryChangesNothing()
    {
        storeProfile(QStringLiteral("p"), QStringLiteral("6|0|12|13|2|3|0|1|0|1|0|1|0|1|1|1"));
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        choose(dialog, QStringLiteral("p"));
        ui.periodG1->setValue(99);
        ui.sourceG2->setCurrentIndex(1);
        choose(dialog, QStringLiteral(" "));
        QCOMPARE(ui.periodG1->value(), 99.0);
        QCOMPARE(ui.periodG2->value(), 13.0);
        QCOMPARE(ui.sourceG1->currentIndex(), 4);
        QCOMPARE(ui.sourceG2->currentIndex(), 1);
        QCOMPARE(ui.pulsesG2->value(), 3);
    }

    void sourceCodesWithoutAnEntryLeaveTheBox_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("sourceG1");
        QTest::addColumn<int>("sourceG2");
        // Both boxes start on entry 1 in this test.
        QTest::newRow("3 and 7 leave both") << "3|7|1|1|1|1|0|1|0|1|0|1|0|1|0|0" << 1 << 1;
        QTest::newRow("6 is High Level") << "6|0|1|1|1|1|0|1|0|1|0|1|0|1|0|0" << 4 << 0;
        QTest::newRow("5 leaves, 0 is Software") << "5|0|1|1|1|1|0|1|0|1|0|1|0|1|0|0" << 1 << 0;
        QTest::newRow("2 is Rising Edge") << "2|1|1|1|1|1|0|1|0|1|0|1|0|1|0|0" << 2 << 1;
        QTest::newRow("not a number reads as 0") << "x|y|1|1|1|1|0|1|0|1|0|1|0|1|0|0" << 0 << 0;
    }

    void sourceCodesWithoutAnEntryLeaveTheBox()
    {
        QFETCH(QString, value);
        QFETCH(int, sourceG1);
        QFETCH(int, sourceG2);
        storeProfile(QStringLiteral("codes"), value);
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        ui.sourceG1->setCurrentIndex(1);
        ui.sourceG2->setCurrentIndex(1);
        choose(dialog, QStringLiteral("codes"));
        QCOMPARE(ui.sourceG1->currentIndex(), sourceG1);
        QCOMPARE(ui.sourceG2->currentIndex(), sourceG2);
        QCOMPARE(ui.periodG1->value(), 1.0);
    }

    void shortValueReadsMissingFieldsAsZero()
    {
        storeProfile(QStringLiteral("short"), QStringLiteral("6|0|5"));
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        choose(dialog, QStringLiteral("short"));
        QCOMPARE(ui.sourceG1->currentIndex(), 4);
        QCOMPARE(ui.periodG1->value(), 5.0);
        QCOMPARE(ui.periodG2->value(), 0.0);
        QCOMPARE(ui.pulsesG1->value(), 0);
        QCOMPARE(ui.g1c1stop->value(), 0.0);
        QCOMPARE(ui.timeUnitG2->currentIndex(), 0);
    }

    void nameNoLongerStoredLoadsTheDefault()
    {
        storeProfile(QStringLiteral("gone"), QStringLiteral("6|0|12|13|2|3|1|2|3|4|5|6|7|8|3|3"));
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        removeProfile(QStringLiteral("gone"));
        choose(dialog, QStringLiteral("gone"));
        // "0|0|300|300|1|1|0|200|0|200|0|200|0|200|0|0"
        QCOMPARE(ui.sourceG1->currentIndex(), 0);
        QCOMPARE(ui.sourceG2->currentIndex(), 0);
        QCOMPARE(ui.periodG1->value(), 300.0);
        QCOMPARE(ui.periodG2->value(), 300.0);
        QCOMPARE(ui.pulsesG1->value(), 1);
        QCOMPARE(ui.pulsesG2->value(), 1);
        for (QDoubleSpinBox *delay : {ui.g1c1start, ui.g1c2start, ui.g2c1start, ui.g2c2start})
            QCOMPARE(delay->value(), 0.0);
        for (QDoubleSpinBox *width : {ui.g1c1stop, ui.g1c2stop, ui.g2c1stop, ui.g2c2stop})
            QCOMPARE(width->value(), 200.0);
        QCOMPARE(ui.timeUnitG1->currentIndex(), 0);
        QCOMPARE(ui.timeUnitG2->currentIndex(), 0);
    }

    void loadingLeavesTheAddressListAlone()
    {
        storeProfile(QStringLiteral("p"), QLatin1String(ProfileFormat::DefaultValue));
        multidxudialog dialog;
        auto &ui = SlaveDialogTestAccess::ui(dialog);
        ui.dxulistWidget->addItems({QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2")});
        ui.dxulistWidget->item(1)->setSelected(true);
        choose(dialog, QStringLiteral("p"));
        QCOMPARE(ui.dxulistWidget->count(), 2);
        QVERIFY(ui.dxulistWidget->item(1)->isSelected());
        QVERIFY(!ui.dxulistWidget->item(0)->isSelected());
    }
};

DXU_TEST_MAIN(SlaveProfilesTest)
#include "tst_slave_profiles.moc"
