#pragma once

#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <QString>

// Pixel positions of one period of the previewed generator: the x positions
// of both channels' edges and trace ends, and the four fixed levels.
struct PreviewGeometry
{
    int ch1Start = 0;
    int ch1End = 200;
    int ch1Period = 300;
    int ch2Start = 0;
    int ch2End = 200;
    int ch2Period = 300;
    int ch1High = 5;
    int ch1Low = 40;
    int ch2High = 55;
    int ch2Low = 90;
    // False when the period is 0: there is no scale, so no pulse is drawn.
    bool pulsesDrawable = true;

    bool operator==(const PreviewGeometry &o) const
    {
        return ch1Start == o.ch1Start && ch1End == o.ch1End && ch1Period == o.ch1Period &&
               ch2Start == o.ch2Start && ch2End == o.ch2End && ch2Period == o.ch2Period &&
               ch1High == o.ch1High && ch1Low == o.ch1Low && ch2High == o.ch2High &&
               ch2Low == o.ch2Low && pulsesDrawable == o.pulsesDrawable;
    }
    bool operator!=(const PreviewGeometry &o) const { return !(*this == o); }
};

// The displayed values of the previewed generator's boxes.
struct PreviewInputs
{
    double period = 300;
    double ch1Delay = 0;
    double ch1Width = 200;
    double ch2Delay = 0;
    double ch2Width = 200;
};

// Scales one period to the label's width. scale receives pixels per displayed
// unit (infinite for a zero period). Positions far outside the image are
// clamped, which draws the same as the exact value would.
PreviewGeometry computePreviewGeometry(const PreviewGeometry &levels, int width,
                                       const PreviewInputs &inputs, double *scale);

// "f1=%1 %2, f2=%3 %4 " from both generators' periods in milliseconds.
QString frequencyLine(double period1Ms, double period2Ms);

// Where the name of channel 1 or 2 is written, as wide as the name: at the
// channel's low level, 30 px right of its falling edge, or nearer (or
// before the edge) where the image would cut it.
QRect channelLabelRect(const PreviewGeometry &geometry, int channel, int width,
                       const QFontMetrics &metrics);

// "Channel#1" or "Channel#2".
QString channelName(int channel);

// Draws the preview into image (its size sets the width and height).
void drawPreview(QImage &image, const PreviewGeometry &geometry, const QString &frequencies);
