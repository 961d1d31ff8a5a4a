#include "app/preview_drawing.h"

#include <QCoreApplication>
#include <QLineF>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {
// Pixel positions stay within this range; anything beyond lies far outside
// the image and is clipped the same way.
constexpr double kPixelLimit = 1.0e6;

int toPixel(double x)
{
    if (std::isnan(x))
        return 0;
    return static_cast<int>(std::trunc(std::fmax(-kPixelLimit, std::fmin(kPixelLimit, x))));
}

QPen previewPen(Qt::GlobalColor colour, Qt::PenStyle style)
{
    QPen pen(QColor(colour), 1, style, Qt::SquareCap, Qt::BevelJoin);
    return pen;
}

void drawPulse(QPainter &p, int start, int end, int period, int high, int low)
{
    p.drawLine(QLineF(start, low, start, high));
    p.drawLine(QLineF(start, high, end, high));
    p.drawLine(QLineF(end, high, end, low));
    p.drawLine(QLineF(end, low, period, low));
}

QString frequencyText(double periodMs, QString *unit)
{
    double hz = 1000.0 / periodMs;
    *unit = QStringLiteral("Hz");
    if (hz > 1e6) {
        hz /= 1e6;
        *unit = QStringLiteral("MHz");
    }
    return QString::number(hz, 'f', 2);
}
} // namespace

PreviewGeometry computePreviewGeometry(const PreviewGeometry &levels, int width,
                                       const PreviewInputs &in, double *scale)
{
    PreviewGeometry g = levels;
    const double s = width / in.period;
    *scale = s;
    g.pulsesDrawable = std::isfinite(s);
    if (!g.pulsesDrawable) {
        g.ch1Start = g.ch1End = g.ch1Period = 0;
        g.ch2Start = g.ch2End = g.ch2Period = 0;
        return g;
    }
    g.ch1End = toPixel((in.ch1Delay + in.ch1Width) * s);
    g.ch1Start = toPixel(in.ch1Delay * s);
    g.ch1Period = toPixel(in.period * s);
    g.ch2End = toPixel((in.ch2Delay + in.ch2Width) * s);
    g.ch2Start = toPixel(in.ch2Delay * s);
    g.ch2Period = toPixel(in.period * s);
    return g;
}

QString frequencyLine(double period1Ms, double period2Ms)
{
    QString unit1, unit2;
    const QString f1 = frequencyText(period1Ms, &unit1);
    const QString f2 = frequencyText(period2Ms, &unit2);
    return QCoreApplication::translate("dxu_gui", "f1=%1 %2, f2=%3 %4 ").arg(f1, unit1, f2, unit2);
}

QString channelName(int channel)
{
    return channel == 1 ? QCoreApplication::translate("dxu_gui", "Channel#1")
                        : QCoreApplication::translate("dxu_gui", "Channel#2");
}

QRect channelLabelRect(const PreviewGeometry &g, int channel, int width,
                       const QFontMetrics &metrics)
{
    const int fall = channel == 1 ? g.ch1End : g.ch2End;
    const int low = channel == 1 ? g.ch1Low : g.ch2Low;
    // As wide as the name, and inside the image: moved left as far as needed
    // while it stays clear of the falling edge, else put before that edge.
    const int textWidth = metrics.horizontalAdvance(channelName(channel)) + 1;
    int x = std::min(fall + 30, width - textWidth);
    if (x <= fall + 3)
        x = std::max(0, std::min(fall - 6, width) - textWidth);
    return QRect(x, low - 12, textWidth, 20);
}

void drawPreview(QImage &image, const PreviewGeometry &g, const QString &frequencies)
{
    const int w = image.width();
    const int h = image.height();
    QPainter p(&image);
    p.fillRect(p.viewport(), QColor(255, 255, 255, 255));

    if (g.pulsesDrawable) {
        p.setPen(previewPen(Qt::blue, Qt::SolidLine));
        drawPulse(p, g.ch1Start, g.ch1End, g.ch1Period, g.ch1High, g.ch1Low);
        p.drawText(channelLabelRect(g, 1, w, p.fontMetrics()), Qt::AlignLeft, channelName(1));
        p.setPen(previewPen(Qt::darkGreen, Qt::SolidLine));
        drawPulse(p, g.ch2Start, g.ch2End, g.ch2Period, g.ch2High, g.ch2Low);
        p.drawText(channelLabelRect(g, 2, w, p.fontMetrics()), Qt::AlignLeft, channelName(2));
    }

    // Without a drawable period the base lines span the whole image.
    const int end1 = g.pulsesDrawable ? g.ch1Period : w;
    const int end2 = g.pulsesDrawable ? g.ch2Period : w;
    p.setPen(previewPen(Qt::gray, Qt::DotLine));
    p.drawLine(QLineF(0, g.ch1Low, end1, g.ch1Low));
    p.drawLine(QLineF(0, g.ch2Low, end2, g.ch2Low));
    if (g.pulsesDrawable) {
        for (int x : {g.ch2Start, g.ch2End, g.ch1Start, g.ch1End})
            p.drawLine(QLineF(x, 0, x, h));
    }

    p.setPen(previewPen(Qt::gray, Qt::SolidLine));
    p.drawLine(QLineF(0, h - 1, w, h - 1));
    p.drawText(QRect(5, h - 18, 280, 20), Qt::AlignLeft, frequencies);
    p.end();
}
