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

QWidget *shownWindow(dxu_gui &main, int window)
{
    Access::deviceIp(main) = QLatin1String(kInstrument);
    QWidget *shown = QList<QWidget *>{&main, Access::slaveDialog(main), Access::networkDialog(main),
                                      Access::dividerDialog(main)}
                         .at(window);
    main.setControlsEnabled(true);
    shown->show();
    shown->activateWindow();
    return QTest::qWaitForWindowExposed(shown) ? shown : nullptr;
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

// What a wheel may change: the entry of a combo box, the value of a spin box.
QString shown(QWidget *control)
{
    if (auto *box = qobject_cast<QComboBox *>(control))
        return box->count() > 1 ? box->currentText() : QString(); // a lone entry stays
    auto *spin = qobject_cast<QAbstractSpinBox *>(control);
    return spin ? spin->text() : QString();
}

void turnWheel(QWidget *control, int delta)
{
    const QPointF at(control->width() / 2.0, control->height() / 2.0);
    QWheelEvent wheel(at, control->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel); // as from the mouse: it may give focus
    QApplication::sendEvent(control, &wheel);
}

// The relative luminance of the contrast ratio for text on a screen.
double luminance(const QColor &colour)
{
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

    DxuSimServer instrument;

private slots:
    void initTestCase() { QVERIFY(instrument.start(QHostAddress(QLatin1String(kInstrument)))); }

    void eachWindow_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("names"); // some controls and the names they must have
        QTest::addColumn<QString>("button");
        QTest::newRow("main window")
            << 0
            << "periodG1=Generator 1 period;g2c1start=Channel 3 delay;g1c1stop=Channel 1 width;"
               "sourceG2=Generator 2 start source;timeUnitG2=Generator 2 time base;"
               "pulsesG1=Generator 1 pulses;runGen1=Run generator 1"
            << "runGen1";
        QTest::newRow("slave dialog") << 1
                                      << "dxulistWidget=Slave instruments;"
                                         "slavePresetsCombo=Profile;g2c2stop=Channel 4 width"
                                      << "pushButton_4";
        QTest::newRow("network dialog") << 2 << "serialEdit=Serial number;macEdit=MAC address"
                                        << "cancelButton";
        QTest::newRow("divider dialog") << 3 << "spinBox=Divider;label=Switch 1 off"
                                        << "";
    }

    // Every control has a name of its own, not its box's title nor its value;
    // a wheel turned over a box the operator has not chosen leaves it (and
    // the instrument) as it was, and once chosen, the wheel changes it;
    // Return and Enter press the focused button, never another one.
    void eachWindow()
    {
        QFETCH(int, window);
        QFETCH(QString, names);
        QFETCH(QString, button);
        dxu_gui main;
        Access::connectSourceCombos(main);
        instrument.clearLog();
        QWidget *shownOne = shownWindow(main, window);
        QVERIFY(shownOne);
        QStringList seen;
        for (QWidget *control : focusable(shownOne)) {
            const QString name = accessible(control);
            QVERIFY2(!name.isEmpty() && !seen.contains(name), qPrintable(control->objectName()));
            seen << name;
        }
        for (const QString &pair : names.split(';'))
            QCOMPARE(accessible(shownOne->findChild<QWidget *>(pair.section('=', 0, 0))),
                     pair.section('=', 1));

        if (QWidget *chosen = QApplication::focusWidget()) // a dialog's first control
            chosen->clearFocus();
        for (QWidget *control : focusable(shownOne)) {
            const QString before = shown(control);
            turnWheel(control, 120);
            turnWheel(control, -120);
            QVERIFY2(shown(control) == before && !control->hasFocus(),
                     qPrintable(control->objectName()));
        }
        QTest::qWait(300);
        QCOMPARE(instrument.requestLog(), QStringList()); // no source change went out
        for (QWidget *control : focusable(shownOne)) {
            const QString before = shown(control);
            control->setFocus();
            turnWheel(control, 120);
            if (shown(control) == before)
                turnWheel(control, -120);
            QVERIFY2(before.isNull() || shown(control) != before,
                     qPrintable(control->objectName()));
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
            const QPalette light = QApplication::palette();
            for (const QPalette &palette :
                 {light, QPalette(QColor(238, 238, 238), QColor(45, 45, 45))}) {
                QApplication::setPalette(palette);
                const auto group = status->isEnabled() ? QPalette::Active : QPalette::Disabled;
                const double text =
                    luminance(status->palette().color(group, status->foregroundRole()));
                const double back =
                    luminance(status->parentWidget()->palette().color(group, QPalette::Window));
                QApplication::setPalette(light);
                QVERIFY2(qMax(text, back) + 0.05 >= 4.5 * (qMin(text, back) + 0.05),
                         qPrintable(palette.color(QPalette::Window).name()));
            }
            const QString table =
                accessible(main.findChild<QComboBox *>("timeUnitG1"), QAccessible::Description);
            QVERIFY2(!Qt::mightBeRichText(table) && table.contains("10736"), qPrintable(table));
            QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(main.menuBar());
            QCOMPARE(bar->child(3)->text(QAccessible::Name), QStringLiteral("Help"));
            QCOMPARE(main.findChild<QMenu *>("menuAbout")->title(), QStringLiteral("?"));
        } else if (window == 3) {                             // the switches by their state
            shownOne->findChild<QSpinBox *>()->setValue(100); // 156: switches 3, 4, 5 and 8 on
            QCOMPARE(accessible(shownOne->findChild<QWidget *>("label_3")), "Switch 3 on");
            QCOMPARE(accessible(shownOne->findChild<QWidget *>("label_6")), "Switch 6 off");
        }
    }
};

DXU_TEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
