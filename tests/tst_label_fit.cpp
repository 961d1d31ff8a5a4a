// Every text of every window shows whole with the fonts of the machine that
// runs the test, at the geometry the forms give: labels, buttons, check
// boxes and group titles, in both time units. CTest runs it at scale 1 and 2.
#include "app/dxu_gui.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "support/test_support.h"
#include "support/window_access.h"
#include "tools/dividebydialog.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOption>

namespace {

QString shownText(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// The width the text needs, and the width the widget gives it; 0, 0 for a
// widget that shows no plain one-line text.
QPair<int, int> neededAndGiven(QWidget *widget)
{
    const QFontMetrics metrics = widget->fontMetrics();
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
        const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, box);
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
        padding = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        if (!button->icon().isNull())
            padding += button->iconSize().width() + 4;
    } else if (button->inherits("QRadioButton")) {
        contents = QStyle::SE_RadioButtonContents;
    } else if (button->inherits("QCheckBox")) {
        contents = QStyle::SE_CheckBoxContents;
    } else {
        return {0, 0};
    }
    const QRect room = button->style()->subElementRect(contents, &option, button);
    return {padding + metrics.horizontalAdvance(shownText(button->text())), room.width()};
}

QStringList clippedTexts(QWidget *window)
{
    QStringList clipped;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->window() != window)
            continue;
        const auto [needed, given] = neededAndGiven(widget);
        if (needed > given)
            clipped << QStringLiteral("%1 needs %2 px, has %3")
                           .arg(widget->objectName())
                           .arg(needed)
                           .arg(given);
    }
    return clipped;
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
        for (const char *name : {"main window in ms", "main window in us", "slave dialog",
                                 "network dialog", "divider dialog"})
            QTest::newRow(name) << i++;
    }

    void everyTextFits()
    {
        QFETCH(int, window);
        dxu_gui main;
        main.findChild<QAction *>(QStringLiteral("actionMicroseconds"))->setChecked(window == 1);
        using Access = DxuGuiTestAccess;
        QWidget *shown = QList<QWidget *>{&main, &main, Access::slaveDialog(main),
                                          Access::networkDialog(main), Access::dividerDialog(main)}
                             .at(window);
        QVERIFY(shown);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        const QStringList clipped = clippedTexts(shown);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1String("; "))));
    }
};

DXU_TEST_MAIN(LabelFitTest)
#include "tst_label_fit.moc"
