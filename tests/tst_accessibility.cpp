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
#include <QtTest/qtestspontaneevent.h>

#include <cmath>

namespace {

using Access = DxuGuiTestAccess;
const char *const kInstrument = "127.0.0.71"; // where the main window's commands go
// Windows 0 to 3: the main window, the slave, network and divider dialogs.
// Some of their controls and the names they must have; the button Return presses.
const char *const kNames[] = {"periodG1=Generator 1 period;g2c1start=Channel 3 delay;"
                              "sourceG2=Generator 2 start source;runGen1=Run generator 1",
                              "slavePresetsCombo=Profile;g2c2stop=Channel 4 width",
                              "serialEdit=Serial number", "spinBox=Divider"};
const char *const kButtons[] = {"runGen1", "pushButton_4", "cancelButton", ""};

QWidget *shownWindow(dxu_gui &main, int window)
{
    Access::deviceIp(main) = QLatin1String(kInstrument);
    QWidget *shown = QList<QWidget *>{&main, Access::slaveDialog(main), Access::networkDialog(main),
                                      Access::dividerDialog(main)}
                         .at(window);
    main.setControlsEnabled(true);
    shown->show();
    shown->activateWindow();
    return shown;
}

QString accessible(QObject *object, QAccessible::Text text = QAccessible::Name)
{
    return QAccessible::queryAccessibleInterface(object)->text(text);
}

// The controls Tab reaches (a spin box's own line edit is part of the box);
// `turnable`: those whose value a wheel may change (a lone entry stays).
QList<QWidget *> focusable(QWidget *window, bool turnable = false)
{
    QList<QWidget *> controls;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        auto *box = qobject_cast<QComboBox *>(widget);
        if (widget->window() == window && (widget->focusPolicy() & Qt::TabFocus) &&
            !qobject_cast<QAbstractSpinBox *>(widget->parentWidget()) &&
            (!turnable || (box ? box->count() > 1 : widget->inherits("QAbstractSpinBox"))))
            controls << widget;
    }
    return controls;
}

// Turns the wheel over the control; returns what the control then holds.
QString turnWheel(QWidget *control, int delta)
{
    const QPointF at(control->width() / 2.0, control->height() / 2.0);
    QWheelEvent wheel(at, control->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel); // as from the mouse: it may give focus
    QApplication::sendEvent(control, &wheel);
    return accessible(control, QAccessible::Value);
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

    DxuSimServer instrument;

private slots:
    void initTestCase() { QVERIFY(instrument.start(QHostAddress(QLatin1String(kInstrument)))); }

    void everyWindow_data()
    {
        QTest::addColumn<int>("window");
        for (int window = 0; window < 4; ++window)
            QTest::addRow("window %d", window) << window;
    }

    // Every control has a name of its own, not its box's title nor its value;
    // a wheel turned over a box the operator has not chosen leaves it (and
    // the instrument) as it was, and once chosen, the wheel changes it;
    // Return and Enter press the focused button, never another one.
    void everyWindow()
    {
        QFETCH(int, window);
        const QString names = QLatin1String(kNames[window]), button = kButtons[window];
        dxu_gui main;
        Access::connectSourceCombos(main);
        instrument.clearLog();
        QWidget *shownOne = shownWindow(main, window);
        QVERIFY(QTest::qWaitForWindowExposed(shownOne));
        QStringList seen;
        for (QWidget *control : focusable(shownOne)) {
            const QString name = accessible(control);
            QVERIFY2(!name.isEmpty() && !seen.contains(name), qPrintable(control->objectName()));
            seen << name;
        }
        for (const QString &pair : names.split(';'))
            QCOMPARE(accessible(shownOne->findChild<QWidget *>(pair.section('=', 0, 0))),
                     pair.section('=', 1));

        shownOne->setFocus(); // not a dialog's first control
        for (QWidget *control : focusable(shownOne)) {
            const QString before = accessible(control, QAccessible::Value);
            QVERIFY2(turnWheel(control, 120) == before && turnWheel(control, -120) == before &&
                         !control->hasFocus(),
                     qPrintable(control->objectName()));
        }
        QTest::qWait(300);
        QCOMPARE(instrument.requestLog(), QStringList()); // no source change went out
        for (QWidget *control : focusable(shownOne, true)) {
            const QString before = accessible(control, QAccessible::Value);
            control->setFocus();
            // Turned back afterwards: a time base left changed could refuse the next send.
            const int delta = turnWheel(control, 120) != before ? 120 : -120;
            QVERIFY2(delta > 0 || turnWheel(control, -120) != before,
                     qPrintable(control->objectName()));
            turnWheel(control, -delta);
        }

        QStringList clicked;
        for (QPushButton *any : shownOne->findChildren<QPushButton *>())
            connect(any, &QPushButton::clicked, this,
                    [&clicked, any] { clicked << any->objectName(); });
        if (auto *pressed = shownOne->findChild<QPushButton *>(button)) {
            MessageBoxWatcher boxes;
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                shownOne->show();
                pressed->setFocus();
                QTest::keyClick(pressed, key);
            }
            QCOMPARE(clicked, QStringList({button, button}));
            QCOMPARE(boxes.count(), 0);
            if (window == 0)
                QTRY_COMPARE(instrument.requestLog().filter("sg1_run=1").size(), 2);
        }

        if (window == 0) { // plain text for a rich tool tip; the help menu by name
            // The connection status keeps a contrast of 4.5:1 to the window
            // behind it, in the style's light palette and in a dark one.
            auto *status = main.findChild<QLabel *>("dev_status");
            const auto luminance = [status](QWidget *widget, QPalette::ColorRole role) {
                const auto group = status->isEnabled() ? QPalette::Active : QPalette::Disabled;
                const QColor colour = widget->palette().color(group, role);
                double l[] = {colour.redF(), colour.greenF(), colour.blueF()};
                for (double &c : l)
                    c = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
                return 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2];
            };
            const QPalette light = QApplication::palette();
            for (const QPalette &palette :
                 {light, QPalette(QColor(238, 238, 238), QColor(45, 45, 45))}) {
                QApplication::setPalette(palette);
                const double text = luminance(status, QPalette::WindowText);
                const double back = luminance(status->parentWidget(), QPalette::Window);
                QApplication::setPalette(light);
                QVERIFY2(qMax(text, back) + 0.05 >= 4.5 * (qMin(text, back) + 0.05), "below 4.5:1");
            }
            const QString table = accessible(Access::ui(main).timeUnitG1, QAccessible::Description);
            QVERIFY2(!Qt::mightBeRichText(table) && table.contains("10736"), qPrintable(table));
            QCOMPARE(accessible(main.menuBar()->actions().at(3)), QStringLiteral("Help")); // "?"
        } else if (window == 3) {                             // the switches by their state
            shownOne->findChild<QSpinBox *>()->setValue(100); // 156: switches 3, 4, 5 and 8 on
            QCOMPARE(accessible(shownOne->findChild<QWidget *>("label_3")), "Switch 3 on");
            QCOMPARE(accessible(shownOne->findChild<QWidget *>("label_6")), "Switch 6 off");
        }
    }
};

DXU_TEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
