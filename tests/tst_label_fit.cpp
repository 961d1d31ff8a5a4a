// Every text of every window shows whole with the fonts of the machine that
// runs the test: labels, buttons, check boxes, group titles, every value a
// spin box can hold and every combo item, in both time units and in compact
// mode; no group frame runs through a control; no control reaches past its
// parent; the window fits a 1920 × 1200 screen. CTest runs it at scale 1
// and 2. The preview's channel labels are whole.
#include "app/dxu_gui.h"
#include "app/preview_drawing.h"
#include "widgets/form_fit.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "support/test_support.h"
#include "support/window_access.h"
#include "tools/dividebydialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleOption>

#include <algorithm>

namespace {

QString shownText(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// The title and the frame of a group box, in its own coordinates.
QPair<QRect, QRect> titleAndFrame(QGroupBox *box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const auto rect = [&](QStyle::SubControl part) {
        return box->style()->subControlRect(QStyle::CC_GroupBox, &option, part, box);
    };
    return {rect(QStyle::SC_GroupBoxLabel), rect(QStyle::SC_GroupBoxFrame)};
}

// The width the text needs, and the width the widget gives it; 0, 0 for a
// widget that shows no plain one-line text.
QPair<int, int> neededAndGiven(QWidget *widget)
{
    const QFontMetrics metrics = widget->fontMetrics();
    QStyle *style = widget->style();
    QStringList texts;
    int room = 0;
    int margin = 0;
    if (auto *box = qobject_cast<QAbstractSpinBox *>(widget)) {
        QStyleOptionSpinBox option;
        option.initFrom(box);
        option.buttonSymbols = box->buttonSymbols();
        option.frame = box->hasFrame();
        option.subControls = QStyle::SC_All;
        room = style->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, box)
                   .width();
        // The ends of the range and its widest digits; the line edit keeps
        // 2 px either side of the text and one for the cursor.
        texts =
            spinBoxTexts(box->property("minimum").toDouble(), box->property("maximum").toDouble(),
                         box->property("decimals").toInt(), box->property("prefix").toString(),
                         box->property("suffix").toString(), metrics);
        margin = 5;
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.subControls = QStyle::SC_All;
        room =
            style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                .width();
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        margin = 2; // the item is drawn 1 px inside the field on either side
    } else if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (label->wordWrap() || Qt::mightBeRichText(label->text()))
            return {0, 0};
        texts << label->text();
        room = label->contentsRect().width() - 2 * label->margin() - qMax(label->indent(), 0);
    } else if (auto *box = qobject_cast<QGroupBox *>(widget)) {
        texts << box->title();
        room = box->contentsRect().right() - titleAndFrame(box).first.left();
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QPushButton *>(button)) {
            // Centred text that touches the frame reads as cut off.
            margin = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
            if (!button->icon().isNull())
                margin += button->iconSize().width() + 4;
        } else if (button->inherits("QRadioButton")) {
            contents = QStyle::SE_RadioButtonContents;
        } else if (button->inherits("QCheckBox")) {
            contents = QStyle::SE_CheckBoxContents;
        } else {
            return {0, 0};
        }
        texts << button->text();
        room = style->subElementRect(contents, &option, button).width();
    }
    int needed = 0;
    for (const QString &text : texts)
        if (!text.isEmpty())
            needed = qMax(needed, metrics.horizontalAdvance(shownText(text)) + margin);
    return {needed, needed ? room : 0};
}

// The shown widgets of the window that the operator reads or works, not the
// parts that spin boxes, combos and lists are made of.
QWidgetList controls(QWidget *window)
{
    QWidgetList found;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        QWidget *parent = widget->parentWidget();
        if (widget->window() == window && widget->isVisibleTo(window) &&
            !qobject_cast<QAbstractSpinBox *>(parent) && !qobject_cast<QComboBox *>(parent) &&
            (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget) ||
             qobject_cast<QAbstractSpinBox *>(widget) || qobject_cast<QComboBox *>(widget) ||
             qobject_cast<QAbstractItemView *>(widget) || qobject_cast<QLineEdit *>(widget)))
            found << widget;
    }
    return found;
}

// What the operator would see cut or crossed: texts that do not fit, controls
// and group boxes that reach past the widget that holds them, and controls
// that a group box's title or one of its frame lines runs through (whether
// they are the box's children or lie on it from outside).
QStringList faultsOf(QWidget *window)
{
    QStringList faults;
    const QWidgetList shown = controls(window);
    QList<QGroupBox *> boxes;
    for (QGroupBox *box : window->findChildren<QGroupBox *>())
        if (box->isVisibleTo(window))
            boxes << box;
    const QWidgetList widgets = shown + QWidgetList(boxes.begin(), boxes.end());
    for (QWidget *widget : widgets) {
        const auto [needed, given] = neededAndGiven(widget);
        if (needed > given)
            faults << QStringLiteral("%1 needs %2 px, has %3")
                          .arg(widget->objectName())
                          .arg(needed)
                          .arg(given);
        if (!widget->parentWidget()->rect().contains(widget->geometry()))
            faults << widget->objectName() + QStringLiteral(" reaches past its parent");
    }
    for (QGroupBox *box : boxes) {
        const QPoint origin = box->mapTo(window, QPoint(0, 0));
        auto [title, frame] = titleAndFrame(box);
        title.translate(origin);
        frame.translate(origin);
        title.setWidth(
            qMin(title.width(), box->fontMetrics().horizontalAdvance(shownText(box->title()))));
        const QList<QRect> lines = {{frame.left(), frame.top(), frame.width(), 1},
                                    {frame.left(), frame.bottom(), frame.width(), 1},
                                    {frame.left(), frame.top(), 1, frame.height()},
                                    {frame.right(), frame.top(), 1, frame.height()},
                                    box->title().isEmpty() ? QRect() : title};
        for (QWidget *widget : shown) {
            const QRect place(widget->mapTo(window, QPoint(0, 0)), widget->size());
            if (std::any_of(lines.begin(), lines.end(), [&](const QRect &line) {
                    return line.isValid() && place.intersects(line);
                }))
                faults << box->objectName() + QStringLiteral(" crosses ") + widget->objectName();
        }
    }
    return faults;
}

} // namespace

class LabelFitTest : public QObject
{
    Q_OBJECT

private slots:
    void everyTextFits_data()
    {
        QTest::addColumn<int>("window");
        int i = 0;
        for (const char *name :
             {"main window in ms", "main window in us", "main window in compact mode",
              "slave dialog", "network dialog", "divider dialog"})
            QTest::newRow(name) << i++;
    }

    void everyTextFits()
    {
        QFETCH(int, window);
        dxu_gui main;
        main.findChild<QAction *>(QStringLiteral("actionMicroseconds"))->setChecked(window == 1);
        main.findChild<QAction *>(QStringLiteral("actionCompact_Mode"))->setChecked(window == 2);
        using Access = DxuGuiTestAccess;
        QWidget *shown = window < 3
                             ? &main
                             : QWidgetList{Access::slaveDialog(main), Access::networkDialog(main),
                                           Access::dividerDialog(main)}
                                   .at(window - 3);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        if (window <= 1) {
            // The microsecond display holds the largest value with two decimals.
            const auto *period = main.findChild<QDoubleSpinBox *>(QStringLiteral("periodG1"));
            QCOMPARE(period->decimals(), window == 1 ? 2 : 5);
            QCOMPARE(period->maximum(), window == 1 ? 1.0736e7 : 10736.0);
        }
        QStringList faults = faultsOf(shown);
        // The whole window, with its frame, lies on the 1920 × 1200 screen.
        QCOMPARE(shown->screen()->geometry().size() * shown->devicePixelRatio(), QSize(1920, 1200));
        const QRect screen = shown->screen()->availableGeometry();
        if (!screen.contains(shown->frameGeometry()))
            faults
                << QStringLiteral("the window is %1 px high").arg(shown->frameGeometry().height());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("; "))));
    }

    // Fitting a drawn form: where every text fits nothing moves; a box too
    // narrow for its values grows just enough, its group with it, and what
    // stands right of the group moves along, while what stands left stays.
    void fitMovesOnlyWhatMust()
    {
        for (int boxWidth : {200, 40}) {
            QWidget form;
            auto *group = new QGroupBox(QStringLiteral("G"), &form);
            auto *label = new QLabel(QStringLiteral("P:"), group);
            auto *box = new QDoubleSpinBox(group);
            auto *beside = new QPushButton(QStringLiteral("B"), &form);
            const QList<QRect> before = {{10, 10, boxWidth + 130, 90},
                                         {10, 50, 100, 20},
                                         {115, 50, boxWidth, 20},
                                         {boxWidth + 150, 10, 60, 30}};
            const QWidgetList parts = {group, label, box, beside};
            for (int i = 0; i < 4; ++i)
                parts[i]->setGeometry(before[i]);
            box->setDecimals(5);
            box->setMaximum(10736);
            const QSize drawn(boxWidth + 220, 110);
            const FormStretch stretch = fitToFonts(&form, drawn);
            const auto [needed, given] = neededAndGiven(box);
            const int grown = box->width() - boxWidth;
            QCOMPARE(grown > 0, boxWidth < 100);
            QVERIFY(grown > 0 ? given == needed : needed <= given);
            const QList<QRect> after = {before[0].adjusted(0, 0, grown, 0), before[1],
                                        before[2].adjusted(0, 0, grown, 0),
                                        before[3].translated(grown, 0)};
            for (int i = 0; i < 4; ++i)
                QCOMPARE(parts[i]->geometry(), after[i]);
            QCOMPARE(stretch.map(QRect(QPoint(0, 0), drawn)).size(), drawn + QSize(grown, 0));
        }
    }

    // The channel names of the preview stand whole inside the image, right of
    // the falling edge where there is room and left of it where there is not.
    void previewLabelsWhole()
    {
        const QRect image(0, 0, 270, 120);
        const QFontMetrics metrics{QFont()};
        for (int fall : {0, 100, 180, 200, 250, 269, 270, 300, 100000}) {
            PreviewGeometry geometry;
            geometry.ch1End = geometry.ch2End = fall;
            for (int channel : {1, 2}) {
                const QString text = QStringLiteral("Channel#%1").arg(channel);
                const QRect place = channelLabelRect(geometry, channel, image.width(), metrics);
                QVERIFY2(image.contains(place), qPrintable(text));
                QVERIFY2(place.width() >= metrics.horizontalAdvance(text), qPrintable(text));
                QCOMPARE(place.top(), (channel == 1 ? geometry.ch1Low : geometry.ch2Low) - 12);
                // Clear of the falling edge, at the design's distance where it fits.
                QVERIFY(place.left() > fall || place.right() < fall);
                if (fall + 30 + metrics.horizontalAdvance(text) <= image.width())
                    QCOMPARE(place.left(), fall + 30);
            }
        }
    }
};

// The windows are tried on a screen of 1920 × 1200 device pixels; with
// QT_SCALE_FACTOR=2 that leaves the window 960 × 600.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" DXU_SOURCE_DIR "/tests/support/screen-1920x1200.json");
    TestSupport::isolateSettings();
    Q_INIT_RESOURCE(dxu);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    LabelFitTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_label_fit.moc"
