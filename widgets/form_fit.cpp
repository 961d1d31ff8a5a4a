#include "widgets/form_fit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyleOption>

#include <algorithm>
#include <map>

namespace {

// S(b) >= S(a) + grow: the stretch must widen the stretch of axis from a to b
// by at least grow pixels.
struct Need
{
    int a;
    int b;
    int grow;
};

// The smallest non-decreasing shift that meets every need, fixed at 0, end
// and the ends of the needs; linear in between.
AxisStretch solve(const QList<Need> &needs, int end)
{
    std::map<int, double> shift{{0, 0.0}, {end, 0.0}};
    for (const Need &need : needs)
        if (need.grow > 0) {
            shift.emplace(need.a, 0.0);
            shift.emplace(need.b, 0.0);
        }
    double carried = 0;
    for (auto &[at, value] : shift) {
        value = carried;
        for (const Need &need : needs)
            if (need.grow > 0 && need.b == at)
                value = std::max(value, shift.at(need.a) + need.grow);
        carried = value;
    }
    return AxisStretch(QList<QPair<int, double>>(shift.begin(), shift.end()));
}

QString shownText(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

int widest(const QFontMetrics &metrics, const QStringList &texts)
{
    int width = 0;
    for (const QString &text : texts)
        width = std::max(width, metrics.horizontalAdvance(text));
    return width;
}

// Where a group box draws its title (SC_GroupBoxLabel) or its frame
// (SC_GroupBoxFrame).
QRect groupPart(const QGroupBox *box, QStyle::SubControl part)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    return box->style()->subControlRect(QStyle::CC_GroupBox, &option, part, box);
}

// How far below a group box's top edge a widget at place (in the box's
// coordinates) must start: clear of the frame line, and of the title where
// it stands under it.
int contentTop(const QGroupBox *box, const QRect &place)
{
    int top = groupPart(box, QStyle::SC_GroupBoxFrame).top() + 2;
    const QRect title = groupPart(box, QStyle::SC_GroupBoxLabel);
    if (!box->title().isEmpty() && place.left() <= title.right() && place.right() >= title.left())
        top = std::max(top, title.bottom() + 2);
    return top;
}

bool isContainer(const QWidget *widget)
{
    if (widget->layout() || widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).isEmpty())
        return false;
    return qobject_cast<const QGroupBox *>(widget) ||
           widget->metaObject() == &QWidget::staticMetaObject;
}

// The pixels a widget lacks to show its text whole (0 or less: none).
int missingWidth(const QWidget *widget, const FitOptions &options)
{
    const QFontMetrics metrics = widget->fontMetrics();
    QStyle *style = widget->style();
    const QStringList more = options.moreTexts ? options.moreTexts(widget) : QStringList();
    if (auto *box = qobject_cast<const QAbstractSpinBox *>(widget)) {
        QStringList texts = more;
        if (auto *d = qobject_cast<const QDoubleSpinBox *>(box))
            texts += spinBoxTexts(d->minimum(), d->maximum(), d->decimals(), d->prefix(),
                                  d->suffix(), metrics);
        else if (auto *i = qobject_cast<const QSpinBox *>(box))
            texts += spinBoxTexts(i->minimum(), i->maximum(), 0, i->prefix(), i->suffix(), metrics);
        QStyleOptionSpinBox option;
        option.initFrom(box);
        option.buttonSymbols = box->buttonSymbols();
        option.frame = box->hasFrame();
        option.subControls = QStyle::SC_All;
        const QRect field =
            style->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, box);
        // The line edit keeps 2 px either side of its text, and one for the
        // cursor.
        return widest(metrics, texts) + 5 - field.width();
    }
    if (auto *combo = qobject_cast<const QComboBox *>(widget)) {
        QStringList texts = more;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.subControls = QStyle::SC_All;
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, combo);
        // The current item is drawn 1 px inside the field on either side.
        return widest(metrics, texts) + 2 - field.width();
    }
    if (auto *label = qobject_cast<const QLabel *>(widget)) {
        if (label->text().isEmpty() || label->wordWrap() || Qt::mightBeRichText(label->text()))
            return 0;
        const int room =
            label->contentsRect().width() - 2 * label->margin() - std::max(label->indent(), 0);
        return widest(metrics, more + QStringList{shownText(label->text())}) - room;
    }
    if (auto *box = qobject_cast<const QGroupBox *>(widget)) {
        if (box->title().isEmpty())
            return 0;
        return groupPart(box, QStyle::SC_GroupBoxLabel).left() +
               metrics.horizontalAdvance(shownText(box->title())) - box->contentsRect().right();
    }
    auto *button = qobject_cast<const QAbstractButton *>(widget);
    if (!button || button->text().isEmpty())
        return 0;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    int padding = 0;
    if (qobject_cast<const QPushButton *>(button)) {
        // Centred text that touches the frame reads as cut off.
        padding = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        if (!button->icon().isNull())
            padding += button->iconSize().width() + 4;
    } else if (button->inherits("QRadioButton")) {
        contents = QStyle::SE_RadioButtonContents;
    } else if (button->inherits("QCheckBox")) {
        contents = QStyle::SE_CheckBoxContents;
    } else {
        return 0;
    }
    const QRect room = style->subElementRect(contents, &option, button);
    return padding + metrics.horizontalAdvance(shownText(button->text())) - room.width();
}

struct Fit
{
    const FitOptions &options;

    // What the container's children need, as needs on its two axes.
    QPair<QList<Need>, QList<Need>> needsWithin(QWidget *container, QSize size) const
    {
        QList<Need> across, down;
        const QList<QWidget *> children =
            container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        auto *ownBox = qobject_cast<QGroupBox *>(container);
        for (QWidget *child : children) {
            if (child->isWindow())
                continue;
            const QRect r = child->geometry();
            const int right = r.x() + r.width();
            const int bottom = r.y() + r.height();
            int wider = 0, taller = 0;
            if (isContainer(child)) {
                const QSize grown = grownSize(child);
                wider = grown.width() - r.width();
                taller = grown.height() - r.height();
            } else if (!options.keepSize.contains(child)) {
                wider = missingWidth(child, options);
            }
            across << Need{r.x(), right, wider};
            down << Need{r.y(), bottom, taller};
            // Inside a group box: below its title, within its frame.
            if (ownBox) {
                down << Need{0, r.y(), contentTop(ownBox, r) - r.y()};
                across << Need{0, r.x(), 2 - r.x()}
                       << Need{right, size.width(), 2 - (size.width() - right)};
                down << Need{bottom, size.height(), 2 - (size.height() - bottom)};
            }
        }
        if (ownBox)
            across << Need{0, size.width(), missingWidth(ownBox, options)};
        // Group boxes drawn as frames behind the widgets that lie on them.
        for (QWidget *frameWidget : children) {
            auto *frame = qobject_cast<QGroupBox *>(frameWidget);
            if (!frame || frame->isWindow())
                continue;
            const QRect f = frame->geometry();
            for (QWidget *child : children) {
                if (child == frame || child->isWindow() || qobject_cast<QGroupBox *>(child) ||
                    !f.intersects(child->geometry()))
                    continue;
                const QRect r = child->geometry();
                down << Need{f.y(), r.y(),
                             contentTop(frame, r.translated(-f.topLeft())) - (r.y() - f.y())};
                down << Need{r.y() + r.height(), f.y() + f.height(),
                             2 - (f.y() + f.height() - r.y() - r.height())};
                across << Need{f.x(), r.x(), 2 - (r.x() - f.x())};
                across << Need{r.x() + r.width(), f.x() + f.width(),
                               2 - (f.x() + f.width() - r.x() - r.width())};
            }
        }
        return {across, down};
    }

    QSize grownSize(QWidget *container) const
    {
        const QSize size = container->size();
        const auto [across, down] = needsWithin(container, size);
        return {size.width() + qRound(solve(across, size.width()).shiftAt(size.width())),
                size.height() + qRound(solve(down, size.height()).shiftAt(size.height()))};
    }

    // Places the children of container, which was drawn at drawn and is
    // given the size given.
    FormStretch place(QWidget *container, QSize drawn, QSize given) const
    {
        auto [across, down] = needsWithin(container, drawn);
        across << Need{0, drawn.width(), given.width() - drawn.width()};
        down << Need{0, drawn.height(), given.height() - drawn.height()};
        FormStretch stretch{solve(across, drawn.width()), solve(down, drawn.height())};
        for (QWidget *child : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow())
                continue;
            const QRect drawnPlace = child->geometry();
            QRect fitted = stretch.map(drawnPlace);
            if (options.keepSize.contains(child)) {
                fitted = QRect(QPoint(fitted.center().x() - drawnPlace.width() / 2 + 1,
                                      fitted.center().y() - drawnPlace.height() / 2 + 1),
                               drawnPlace.size());
            } else if (isContainer(child)) {
                place(child, drawnPlace.size(), fitted.size());
            }
            child->setGeometry(fitted);
        }
        return stretch;
    }
};

} // namespace

double AxisStretch::shiftAt(int x) const
{
    if (knots.isEmpty())
        return 0;
    if (x <= knots.first().first)
        return knots.first().second;
    for (int i = 1; i < knots.size(); ++i) {
        const auto &[x1, s1] = knots.at(i);
        if (x <= x1) {
            const auto &[x0, s0] = knots.at(i - 1);
            return s0 + (s1 - s0) * (x - x0) / (x1 - x0);
        }
    }
    return knots.last().second;
}

QRect FormStretch::map(const QRect &drawn) const
{
    const QPoint topLeft(x.map(drawn.x()), y.map(drawn.y()));
    const QPoint end(x.map(drawn.x() + drawn.width()), y.map(drawn.y() + drawn.height()));
    return QRect(topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y()));
}

QStringList spinBoxTexts(double low, double high, int decimals, const QString &prefix,
                         const QString &suffix, const QFontMetrics &metrics)
{
    QChar wide = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit)
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(wide))
            wide = QLatin1Char(digit);
    QStringList texts;
    for (double value : {low, high}) {
        QString text = QString::number(value, 'f', decimals);
        texts << prefix + text + suffix;
        texts << prefix + text.replace(QRegularExpression(QStringLiteral("[0-9]")), wide) + suffix;
    }
    return texts;
}

FormStretch fitToFonts(QWidget *container, QSize drawn, const FitOptions &options)
{
    const Fit fit{options};
    const QSize size = container->size();
    container->resize(drawn);
    const QSize grown = fit.grownSize(container);
    FormStretch stretch = fit.place(container, drawn, grown);
    container->resize(size);
    return stretch;
}
