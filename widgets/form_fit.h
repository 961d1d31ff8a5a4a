#pragma once

// Fitting a form whose widgets sit at fixed positions to the fonts of the
// machine it runs on. The form is drawn for one set of fonts; with wider ones
// a value, item or title would be cut. fitToFonts() measures every text and
// widens what is too narrow, and moves down what a frame's title would run
// through; the widgets beside and below move along and the containers grow,
// so the arrangement stays as drawn. Where every text fits, nothing moves.

#include <QList>
#include <QPair>
#include <QRect>
#include <QStringList>

#include <functional>

class QFontMetrics;
class QWidget;

// How one axis of a container is stretched: the shift grows linearly between
// fixed points, so that what lies between two grown columns widens with them.
class AxisStretch
{
public:
    // Pairs of a coordinate and its shift, in ascending order of coordinate.
    explicit AxisStretch(QList<QPair<int, double>> knots = {}) : knots(std::move(knots)) {}
    double shiftAt(int x) const;
    int map(int x) const { return x + qRound(shiftAt(x)); }

private:
    QList<QPair<int, double>> knots;
};

struct FormStretch
{
    AxisStretch x, y;
    // The place of a rectangle of the form as drawn, in the fitted form.
    QRect map(const QRect &drawn) const;
};

struct FitOptions
{
    // Further texts a widget must be able to show, beyond what it holds now
    // (another display unit's range, say).
    std::function<QStringList(const QWidget *)> moreTexts;
    // Widgets that keep their size (an image drawn at a fixed size); they
    // stand centred in the room they would have grown to.
    QList<const QWidget *> keepSize;
};

// The texts a spin box shows at the ends of a range and with its widest
// digits, prefix and suffix included.
QStringList spinBoxTexts(double low, double high, int decimals, const QString &prefix,
                         const QString &suffix, const QFontMetrics &metrics);

// Fits the children of container, a widget without a layout of size drawn,
// and returns how its own coordinates were stretched. The container itself is
// not resized: its new size is the stretch's map of QRect({0, 0}, drawn).
FormStretch fitToFonts(QWidget *container, QSize drawn, const FitOptions &options = {});
