// The main window as it starts: title, address, start values, previewed
// generator, what is enabled before a device answers.
#include "app/dxu_gui.h"
#include "persistence/settings_store.h"
#include "support/test_support.h"

#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>

struct DxuGuiTestAccess
{
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static bool previewShowsGen1(dxu_gui &w) { return w.previewShowsGen1; }
    static const GeneratorSettings &record(dxu_gui &w) { return w.record; }
};

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
        store->clear();
        store->sync();
    }

    void titleAndAddress()
    {
        dxu_gui window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Halvorn DXU Interface v1.5.5"));
        QCOMPARE(DxuGuiTestAccess::deviceIp(window), QStringLiteral("192.168.0.0"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Ready"));
    }

    void storedAddressIsOffered()
    {
        {
            QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
            store->setValue(QLatin1String(SettingsStore::LastIpKey), QStringLiteral("127.0.0.9"));
            store->sync();
        }
        dxu_gui window;
        QCOMPARE(DxuGuiTestAccess::deviceIp(window), QStringLiteral("127.0.0.9"));
    }

    void startValuesOfBothGenerators()
    {
        dxu_gui window;
        for (const char *name : {"periodG1", "periodG2"})
            QCOMPARE(window.findChild<QDoubleSpinBox *>(name)->value(), 300.0);
        for (const char *name : {"pulsesG1", "pulsesG2"})
            QCOMPARE(window.findChild<QSpinBox *>(name)->value(), 1);
        for (const char *name : {"g1c1start", "g1c2start", "g2c1start", "g2c2start"})
            QCOMPARE(window.findChild<QDoubleSpinBox *>(name)->value(), 0.0);
        for (const char *name : {"g1c1stop", "g1c2stop", "g2c1stop", "g2c2stop"})
            QCOMPARE(window.findChild<QDoubleSpinBox *>(name)->value(), 200.0);
        const GeneratorSettings &r = DxuGuiTestAccess::record(window);
        QCOMPARE(r.ch1_et1, 200.0);
        QCOMPARE(r.p2, 300.0);

        QVERIFY(DxuGuiTestAccess::previewShowsGen1(window));
        QVERIFY(window.findChild<QRadioButton *>("showG1")->isChecked());
        QCOMPARE(window.findChild<QGroupBox *>("previewGroup")->title(),
                 QStringLiteral("Signal Preview for Generator#1"));
    }

    void controlsWaitForADevice()
    {
        dxu_gui window;
        window.show();
        for (const char *name : {"groupG1", "groupG2", "previewGroup"})
            QVERIFY2(!window.findChild<QGroupBox *>(name)->isEnabled(), name);
        for (const char *name :
             {"resetButton", "runBoth", "runGen1", "runGen2", "stopGen1", "stopGen2"})
            QVERIFY2(!window.findChild<QPushButton *>(name)->isEnabled(), name);
        QVERIFY(!window.findChild<QMenu *>("menuProfiles")->menuAction()->isEnabled());
        QVERIFY(!window.findChild<QMenu *>("menuTools")->menuAction()->isEnabled());
        QVERIFY(window.findChild<QMenu *>("menuConncection")->menuAction()->isEnabled());
        QVERIFY(window.findChild<QMenu *>("menuAbout")->menuAction()->isEnabled());
        QVERIFY(!window.findChild<QAction *>("actionIP_Settings")->isEnabled());
        QVERIFY(window.findChild<QAction *>("actionUSB")->isEnabled());
        QVERIFY(window.findChild<QAction *>("actionEthernet")->isEnabled());
    }

    void fixedSizeAndMenus()
    {
        dxu_gui window;
        QCOMPARE(window.minimumSize(), QSize(310, 678));
        QCOMPARE(window.maximumSize(), QSize(310, 678));
        const QStringList titles = [&] {
            QStringList t;
            for (QAction *a : window.menuBar()->actions())
                t << a->text();
            return t;
        }();
        QCOMPARE(titles, (QStringList{"Connection", "Profiles", "Settings", "?"}));
        QVERIFY(window.findChild<QAction *>("actionMiliseconds")->isChecked());
        QVERIFY(!window.findChild<QAction *>("actionMicroseconds")->isChecked());
    }

    // Every slot of the window, in the order its meta-object declares them.
    void slotTable()
    {
        dxu_gui window;
        const QMetaObject *meta = window.metaObject();
        QStringList names;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            if (meta->method(i).methodType() == QMetaMethod::Slot)
                names << QString::fromLatin1(meta->method(i).methodSignature());
        QCOMPARE(names.size(), 47);
        QCOMPARE(names.first(), QStringLiteral("exportDXUSettings()"));
        QCOMPARE(names.at(43), QStringLiteral("loadProfileDXUSettings(QAction*)"));
        QCOMPARE(names.last(), QStringLiteral("switchToCompactMode(bool)"));
    }
};

DXU_TEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
