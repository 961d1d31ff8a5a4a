// What the operator meets in every window, whatever the desktop: each control
// has a name of its own for a screen reader, the wheel changes only the
// control the operator chose, Return presses the focused button, and the
// connection status reads clearly in a light and a dark palette.
#include "app/dxu_gui.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "sim/dxu_sim_server.h"
#include "support/message_boxes.h"
#include "support/test_support.h"
#include "support/window_access.h"
#include "tools/dividebydialog.h"

#include <QAccessible>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyleFactory>
#include <QtTest/qtestspontaneevent.h>

#include <cmath>

namespace {

using Access = DxuGuiTestAccess;
const char *const kWindows[] = {"main window", "slave dialog", "network dialog", "divider dialog"};

// The instrument the main window's commands reach.
const char *const kInstrument = "127.0.0.71";

QWidget *shownWindow(dxu_gui &main, int window)
{
    Access::deviceIp(main) = QLatin1String(kInstrument);
    const QList<QWidget *> windows{&main, Access::slaveDialog(main), Access::networkDialog(main),
                                   Access::dividerDialog(main)};
    main.setControlsEnabled(true);
    windows.at(window)->show();
    windows.at(window)->activateWindow();
    return QTest::qWaitForWindowExposed(windows.at(window)) ? windows.at(window) : nullptr;
}

QString accessible(QObject *object, QAccessible::Text text = QAccessible::Name)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(text) : QString();
}

// The controls Tab reaches (a spin box's own line edit is part of the box).
QList<QWidget *> focusable(QWidget *window)
{
    QList<QWidget *> controls;
    for (QWidget *widget : window->findChildren<QWidget *>())
        if (widget->window() == window && (widget->focusPolicy() & Qt::TabFocus) &&
            !qobject_cast<QAbstractSpinBox *>(widget->parentWidget()))
            controls << widget;
    return controls;
}

QString shown(QWidget *control)
{
    if (auto *box = qobject_cast<QComboBox *>(control))
        return box->currentText();
    return static_cast<QAbstractSpinBox *>(control)->text();
}

void turnWheel(QWidget *control, int delta)
{
    const QPointF at(control->width() / 2.0, control->height() / 2.0);
    QWheelEvent wheel(at, control->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel); // as it comes from the mouse: focus and all
    QApplication::sendEvent(control, &wheel);
}

double luminance(const QColor &colour)
{
    double sum = 0;
    const double weights[] = {0.2126, 0.7152, 0.0722};
    const double channels[] = {colour.redF(), colour.greenF(), colour.blueF()};
    for (int i = 0; i < 3; ++i)
        sum += weights[i] * (channels[i] <= 0.03928 ? channels[i] / 12.92
                                                    : std::pow((channels[i] + 0.055) / 1.055, 2.4));
    return sum;
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

    DxuSimServer instrument;

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QVERIFY(instrument.start(QHostAddress(QLatin1String(kInstrument))));
    }
    void init() { instrument.clearLog(); }

    void eachWindow_data()
    {
        QTest::addColumn<int>("window");
        for (int i = 0; i < 4; ++i)
            QTest::newRow(kWindows[i]) << i;
    }

    // Every control has a name of its own, not its box's title nor its value.
    void everyControlHasItsOwnName_data() { eachWindow_data(); }
    void everyControlHasItsOwnName()
    {
        QFETCH(int, window);
        dxu_gui main;
        QWidget *shownOne = shownWindow(main, window);
        QVERIFY(shownOne);
        QStringList names;
        for (QWidget *control : focusable(shownOne)) {
            const QString name = accessible(control);
            QVERIFY2(!name.isEmpty(), qPrintable(control->objectName()));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
        const QList<QPair<QString, QString>> expected[] = {
            {{"periodG1", "Generator 1 period"},
             {"g2c1start", "Channel 3 delay"},
             {"g1c1stop", "Channel 1 width"},
             {"sourceG2", "Generator 2 start source"},
             {"pulsesG1", "Generator 1 pulses"},
             {"timeUnitG2", "Generator 2 time base"},
             {"runGen1", "Run generator 1"}},
            {{"dxulistWidget", "Slave instruments"},
             {"slavePresetsCombo", "Profile"},
             {"g2c2stop", "Channel 4 width"}},
            {{"serialEdit", "Serial number"}, {"macEdit", "MAC address"}},
            {{"spinBox", "Divider"}, {"label", "Switch 1 off"}, {"label_8", "Switch 8 off"}}};
        for (const auto &[object, name] : expected[window])
            QCOMPARE(accessible(shownOne->findChild<QWidget *>(object)), name);
        if (window == 0) {
            const QString table =
                accessible(main.findChild<QComboBox *>("timeUnitG1"), QAccessible::Description);
            QVERIFY2(!Qt::mightBeRichText(table) && table.contains("10736"), qPrintable(table));
            QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(main.menuBar());
            QCOMPARE(bar->child(3)->text(QAccessible::Name), QStringLiteral("Help"));
            QCOMPARE(main.findChild<QMenu *>("menuAbout")->title(), QStringLiteral("?"));
        } else if (window == 3) {
            shownOne->findChild<QSpinBox *>()->setValue(100); // 156: switches 3, 4, 5 and 8 on
            QCOMPARE(accessible(shownOne->findChild<QWidget *>("label_3")), "Switch 3 on");
            QCOMPARE(accessible(shownOne->findChild<QWidget *>("label_6")), "Switch 6 off");
        }
    }

    // A wheel turned over a box or list the operator has not chosen leaves
    // it as it is; once chosen, the wheel changes it.
    void wheelChangesOnlyTheChosenControl_data() { eachWindow_data(); }
    void wheelChangesOnlyTheChosenControl()
    {
        QFETCH(int, window);
        dxu_gui main;
        Access::connectSourceCombos(main);
        QWidget *shownOne = shownWindow(main, window);
        QVERIFY(shownOne);
        QList<QWidget *> controls;
        for (QWidget *control : focusable(shownOne))
            if (qobject_cast<QComboBox *>(control) || qobject_cast<QAbstractSpinBox *>(control))
                controls << control;
        for (QWidget *control : controls) {
            const QString before = shown(control);
            for (int delta : {120, -120})
                turnWheel(control, delta);
            QVERIFY2(shown(control) == before && !control->hasFocus(),
                     qPrintable(control->objectName()));
        }
        QTest::qWait(300);
        QCOMPARE(instrument.requestLog(), QStringList()); // the source combos sent nothing
        for (QWidget *control : controls) {
            const QString before = shown(control);
            control->setFocus();
            turnWheel(control, 120);
            if (shown(control) == before)
                turnWheel(control, -120);
            QVERIFY2(shown(control) != before, qPrintable(control->objectName()));
        }
    }

    // Return and Enter press the focused button, never another one.
    void returnPressesTheFocusedButton_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("button");
        QTest::newRow("Run Gen1") << 0 << "runGen1";
        QTest::newRow("Stop DXU") << 0 << "resetButton";
        QTest::newRow("Select All") << 1 << "pushButton_4";
        QTest::newRow("Cancel") << 2 << "cancelButton";
    }
    void returnPressesTheFocusedButton()
    {
        QFETCH(int, window);
        QFETCH(QString, button);
        dxu_gui main;
        QWidget *shownOne = shownWindow(main, window);
        QVERIFY(shownOne);
        MessageBoxWatcher boxes;
        QList<std::shared_ptr<QSignalSpy>> others;
        for (QPushButton *other : shownOne->findChildren<QPushButton *>())
            if (other->objectName() != button)
                others << std::make_shared<QSignalSpy>(other, &QPushButton::clicked);
        auto *pressed = shownOne->findChild<QPushButton *>(button);
        QSignalSpy clicks(pressed, &QPushButton::clicked);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            shownOne->show();
            pressed->setFocus();
            QTest::keyClick(pressed, key);
        }
        QCOMPARE(clicks.count(), 2);
        for (const auto &other : others)
            QCOMPARE(other->count(), 0);
        QCOMPARE(boxes.count(), 0);
        if (button == QLatin1String("runGen1"))
            QTRY_COMPARE(instrument.requestLog().filter("sg1_run=1").size(), 2);
    }

    // The connection status keeps a contrast of 4.5:1 to the window behind it.
    void connectionStatusReads_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void connectionStatusReads()
    {
        QFETCH(bool, dark);
        const QPalette light = QApplication::style()->standardPalette();
        QPalette palette = light;
        if (dark) {
            for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
                palette.setColor(role, QColor(0x2d, 0x2d, 0x2d));
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(role, QColor(0xee, 0xee, 0xee));
            palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6e, 0x6e, 0x6e));
        }
        QApplication::setPalette(palette);
        dxu_gui main;
        main.show();
        auto *status = main.findChild<QLabel *>("dev_status");
        QCOMPARE(status->text(), QStringLiteral("N/A"));
        const QPalette::ColorGroup group =
            status->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const double text = luminance(status->palette().color(group, status->foregroundRole()));
        const double back =
            luminance(status->parentWidget()->palette().color(group, QPalette::Window));
        const double contrast = (qMax(text, back) + 0.05) / (qMin(text, back) + 0.05);
        QApplication::setPalette(light);
        QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
    }
};

DXU_TEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
