// Every text of every window shows whole with the fonts of the machine that
// runs the test: labels, buttons, check boxes, group titles, every value a
// spin box can hold and every combo item, in both time units and in compact
// mode; no group frame runs through a control; no control reaches past its
// parent; the window fits a 1920 × 1200 screen. CTest runs it at scale 1
// and 2. The preview's channel labels are whole.
#include "app/dxu_gui.h"
#include "app/preview_drawing.h"
#include "forms/form_fit.h"
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
#include <QSpinBox>
#include <QStyleOption>

namespace {

QString shownText(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// The texts a spin box shows at its ends and with its widest digits, in the
// width of its range.
QStringList spinTexts(QAbstractSpinBox *box)
{
    QString prefix, suffix;
    double low = 0, high = 0;
    int decimals = 0;
    if (auto *d = qobject_cast<QDoubleSpinBox *>(box)) {
        prefix = d->prefix();
        suffix = d->suffix();
        low = d->minimum();
        high = d->maximum();
        decimals = d->decimals();
    } else if (auto *i = qobject_cast<QSpinBox *>(box)) {
        prefix = i->prefix();
        suffix = i->suffix();
        low = i->minimum();
        high = i->maximum();
    }
    const QFontMetrics metrics = box->fontMetrics();
    QChar widest = QLatin1Char('0');
    for (char c = '1'; c <= '9'; ++c)
        if (metrics.horizontalAdvance(QLatin1Char(c)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(c);
    QStringList texts;
    for (double value : {low, high}) {
        QString text = QString::number(value, 'f', decimals);
        texts << text;
        texts << text.replace(QRegularExpression(QStringLiteral("[0-9]")), widest);
    }
    for (QString &text : texts)
        text = prefix + text + suffix;
    return texts;
}

// The width the text needs, and the width the widget gives it; 0, 0 for a
// widget that shows no plain one-line text.
QPair<int, int> neededAndGiven(QWidget *widget)
{
    const QFontMetrics metrics = widget->fontMetrics();
    QStyle *style = widget->style();
    if (auto *box = qobject_cast<QAbstractSpinBox *>(widget)) {
        QStyleOptionSpinBox option;
        option.initFrom(box);
        option.buttonSymbols = box->buttonSymbols();
        option.frame = box->hasFrame();
        option.subControls = QStyle::SC_All;
        const QRect field =
            style->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, box);
        // The line edit keeps 2 px either side of the text and one for the
        // cursor.
        int needed = 0;
        for (const QString &text : spinTexts(box))
            needed = qMax(needed, metrics.horizontalAdvance(text) + 5);
        return {needed, field.width()};
    }
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.subControls = QStyle::SC_All;
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, combo);
        // The label is drawn 1 px inside the field on either side.
        int needed = 0;
        for (int i = 0; i < combo->count(); ++i)
            needed = qMax(needed, metrics.horizontalAdvance(combo->itemText(i)) + 2);
        return {needed, field.width()};
    }
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (label->text().isEmpty() || label->wordWrap() || Qt::mightBeRichText(label->text()))
            return {0, 0};
        const int given =
            label->contentsRect().width() - 2 * label->margin() - qMax(label->indent(), 0);
        return {metrics.horizontalAdvance(shownText(label->text())), given};
    }
    if (auto *box = qobject_cast<QGroupBox *>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return {title.left() + metrics.horizontalAdvance(shownText(box->title())),
                box->contentsRect().right()};
    }
    auto *button = qobject_cast<QAbstractButton *>(widget);
    if (!button || button->text().isEmpty())
        return {0, 0};
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    int padding = 0;
    if (qobject_cast<QPushButton *>(button)) {
        // Centred text that touches the frame reads as cut off.
        padding = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        if (!button->icon().isNull())
            padding += button->iconSize().width() + 4;
    } else if (button->inherits("QRadioButton")) {
        contents = QStyle::SE_RadioButtonContents;
    } else if (button->inherits("QCheckBox")) {
        contents = QStyle::SE_CheckBoxContents;
    } else {
        return {0, 0};
    }
    const QRect room = style->subElementRect(contents, &option, button);
    return {padding + metrics.horizontalAdvance(shownText(button->text())), room.width()};
}

// The shown widgets of the window that the operator reads or works, not the
// parts that spin boxes, combos and lists are made of.
QWidgetList controls(QWidget *window)
{
    QWidgetList found;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->window() != window || !widget->isVisibleTo(window))
            continue;
        QWidget *parent = widget->parentWidget();
        if (qobject_cast<QAbstractSpinBox *>(parent) || qobject_cast<QComboBox *>(parent))
            continue;
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget) ||
            qobject_cast<QAbstractSpinBox *>(widget) || qobject_cast<QComboBox *>(widget) ||
            qobject_cast<QAbstractItemView *>(widget) || qobject_cast<QLineEdit *>(widget))
            found << widget;
    }
    return found;
}

QStringList clippedTexts(QWidget *window)
{
    QStringList clipped;
    QWidgetList widgets = controls(window);
    for (QGroupBox *box : window->findChildren<QGroupBox *>())
        if (box->isVisibleTo(window))
            widgets << box;
    for (QWidget *widget : widgets) {
        const auto [needed, given] = neededAndGiven(widget);
        if (needed > given)
            clipped << QStringLiteral("%1 needs %2 px, has %3")
                           .arg(widget->objectName())
                           .arg(needed)
                           .arg(given);
    }
    return clipped;
}

QRect inWindow(QWidget *widget, QWidget *window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// Controls that a group box's title or one of its four frame lines runs
// through, whether they are the box's children or lie on it from outside.
QStringList crossedFrames(QWidget *window)
{
    QStringList crossed;
    const QWidgetList shown = controls(window);
    for (QGroupBox *box : window->findChildren<QGroupBox *>()) {
        if (!box->isVisibleTo(window))
            continue;
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QPoint origin = box->mapTo(window, QPoint(0, 0));
        const QRect frame =
            box->style()
                ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, box)
                .translated(origin);
        QRect title =
            box->style()
                ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box)
                .translated(origin);
        title.setWidth(
            qMin(title.width(), box->fontMetrics().horizontalAdvance(shownText(box->title()))));
        const QList<QRect> lines = {{frame.left(), frame.top(), frame.width(), 1},
                                    {frame.left(), frame.bottom(), frame.width(), 1},
                                    {frame.left(), frame.top(), 1, frame.height()},
                                    {frame.right(), frame.top(), 1, frame.height()},
                                    box->title().isEmpty() ? QRect() : title};
        for (QWidget *widget : shown) {
            const QRect place = inWindow(widget, window);
            for (const QRect &line : lines)
                if (line.isValid() && place.intersects(line)) {
                    crossed << QStringLiteral("%1 crosses %2")
                                   .arg(box->objectName(), widget->objectName());
                    break;
                }
        }
    }
    return crossed;
}

// Controls and group boxes that reach past the widget that holds them, so
// that part of them is cut off.
QStringList cutByParent(QWidget *window)
{
    QStringList cut;
    QWidgetList widgets = controls(window);
    for (QGroupBox *box : window->findChildren<QGroupBox *>())
        if (box->isVisibleTo(window))
            widgets << box;
    for (QWidget *widget : widgets) {
        QWidget *parent = widget->parentWidget();
        if (widget->isWindow() || !parent)
            continue;
        if (!parent->rect().contains(widget->geometry()))
            cut << QStringLiteral("%1 reaches past %2")
                       .arg(widget->objectName(), parent->objectName());
    }
    return cut;
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
        QWidget *shown = QList<QWidget *>{&main,
                                          &main,
                                          &main,
                                          Access::slaveDialog(main),
                                          Access::networkDialog(main),
                                          Access::dividerDialog(main)}
                             .at(window);
        QVERIFY(shown);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        if (window <= 1) {
            // The microsecond display holds the largest value with two decimals.
            const auto *period = main.findChild<QDoubleSpinBox *>(QStringLiteral("periodG1"));
            QCOMPARE(period->decimals(), window == 1 ? 2 : 5);
            QCOMPARE(period->maximum(), window == 1 ? 1.0736e7 : 10736.0);
        }
        QStringList faults = clippedTexts(shown) + crossedFrames(shown) + cutByParent(shown);
        // The whole window, with its frame, lies on the screen.
        const QRect screen = shown->screen()->availableGeometry();
        if (!screen.contains(shown->frameGeometry()))
            faults << QStringLiteral("the window (%1 × %2 with its frame) does not fit the "
                                     "screen (%3 × %4)")
                          .arg(shown->frameGeometry().width())
                          .arg(shown->frameGeometry().height())
                          .arg(screen.width())
                          .arg(screen.height());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("; "))));
    }

    // Fitting a drawn form: where every text fits nothing moves; a box too
    // narrow for its values grows, its group with it, and what stands right
    // of the group moves along, while what stands left stays.
    void fitMovesOnlyWhatMust_data()
    {
        QTest::addColumn<int>("boxWidth");
        QTest::newRow("roomy") << 200;
        QTest::newRow("narrow") << 40;
    }

    void fitMovesOnlyWhatMust()
    {
        QFETCH(int, boxWidth);
        QWidget form;
        auto *group = new QGroupBox(QStringLiteral("G"), &form);
        group->setGeometry(10, 10, boxWidth + 130, 90);
        auto *label = new QLabel(QStringLiteral("P:"), group);
        label->setGeometry(10, 50, 100, 20);
        auto *box = new QDoubleSpinBox(group);
        box->setGeometry(115, 50, boxWidth, 20);
        box->setDecimals(5);
        box->setMaximum(10736);
        auto *beside = new QPushButton(QStringLiteral("B"), &form);
        beside->setGeometry(boxWidth + 150, 10, 60, 30);
        const QSize drawn(boxWidth + 220, 110);
        const QList<QRect> before = {group->geometry(), label->geometry(), box->geometry(),
                                     beside->geometry()};
        const FormStretch stretch = fitToFonts(&form, drawn);
        const QList<QRect> after = {group->geometry(), label->geometry(), box->geometry(),
                                    beside->geometry()};
        const int needed = box->fontMetrics().horizontalAdvance(QStringLiteral("10736.00000")) + 5;
        QStyleOptionSpinBox option;
        option.initFrom(box);
        option.frame = true;
        option.subControls = QStyle::SC_All;
        const int field =
            box->style()
                ->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, box)
                .width();
        if (boxWidth == 200) {
            QCOMPARE(after, before);
            QCOMPARE(stretch.map(QRect(QPoint(0, 0), drawn)).size(), drawn);
            return;
        }
        const int grown = needed - (field - (after[2].width() - before[2].width()));
        QVERIFY(grown > 0);
        QCOMPARE(field, needed);
        QCOMPARE(after[1], before[1]);
        QCOMPARE(after[0], before[0].adjusted(0, 0, grown, 0));
        QCOMPARE(after[3], before[3].translated(grown, 0));
        QCOMPARE(stretch.map(QRect(QPoint(0, 0), drawn)).size(), drawn + QSize(grown, 0));
    }

    // The screen the windows are tried on is a 1920 × 1200 one, at the scale
    // CTest gives.
    void screenIsTheOneAssumed()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        QCOMPARE(screen->geometry().size() * screen->devicePixelRatio(), QSize(1920, 1200));
    }

    // The channel names of the preview stand whole inside the image, right of
    // the falling edge where there is room and left of it where there is not.
    void previewLabelsWhole_data()
    {
        QTest::addColumn<int>("fall");
        for (int fall : {0, 100, 180, 200, 250, 269, 270, 300, 100000})
            QTest::newRow(qPrintable(QString::number(fall))) << fall;
    }

    void previewLabelsWhole()
    {
        QFETCH(int, fall);
        QImage image(270, 120, QImage::Format_RGB32);
        PreviewGeometry geometry;
        geometry.ch1End = geometry.ch2End = fall;
        const QFontMetrics metrics{QFont()};
        for (int channel : {1, 2}) {
            const QString text = QStringLiteral("Channel#%1").arg(channel);
            const QRect place = channelLabelRect(geometry, channel, image.width(), metrics);
            QVERIFY2(image.rect().contains(place), qPrintable(text));
            QVERIFY2(place.width() >= metrics.horizontalAdvance(text), qPrintable(text));
            const int low = channel == 1 ? geometry.ch1Low : geometry.ch2Low;
            QCOMPARE(place.top(), low - 12);
            // Clear of the falling edge, at the design's distance where it fits.
            QVERIFY(place.left() > fall || place.right() < fall);
            if (fall + 30 + metrics.horizontalAdvance(text) <= image.width())
                QCOMPARE(place.left(), fall + 30);
        }
    }
};

// The windows are tried on a screen of 1920 × 1200 device pixels; with
// QT_SCALE_FACTOR=2 that leaves the window 960 × 600.
int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": 1920,
                       "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0)
        return 2;
    file.close();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    TestSupport::isolateSettings();
    Q_INIT_RESOURCE(dxu);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    LabelFitTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_label_fit.moc"
