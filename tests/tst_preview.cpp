// The signal preview: geometry, the drawing pixel by pixel, the frequency
// line, and which generator the window previews.
#include "app/dxu_gui.h"
#include "app/preview_drawing.h"
#include "support/test_support.h"

#include <QPixmap>

struct DxuGuiTestAccess
{
    static const PreviewGeometry &geometry(dxu_gui &w) { return w.previewGeometry; }
    static bool showsGen1(dxu_gui &w) { return w.previewShowsGen1; }
};

namespace {
const QColor kBlue(Qt::blue);
const QColor kGreen(Qt::darkGreen);
const QColor kWhite(255, 255, 255);

QImage render(const PreviewGeometry &g, const QString &text = QString())
{
    QImage image(270, 120, QImage::Format_ARGB32_Premultiplied);
    drawPreview(image, g, text);
    return image;
}

int countOf(const QImage &image, const QColor &colour, int x0, int x1, int y)
{
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += image.pixelColor(x, y) == colour;
    return n;
}

struct PaintCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

PreviewGeometry geometryFor(const PreviewInputs &in, double *scale = nullptr)
{
    double s = 0;
    return computePreviewGeometry(PreviewGeometry(), 270, in, scale ? scale : &s);
}
} // namespace

class PreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void startValuesScaleToTheLabel()
    {
        double scale = 0;
        const PreviewGeometry g = geometryFor(PreviewInputs(), &scale);
        QCOMPARE(scale, 0.9);
        QCOMPARE(g.ch1Start, 0);
        QCOMPARE(g.ch1End, 180);
        QCOMPARE(g.ch1Period, 270);
        QCOMPARE(g.ch2End, 180);
        QCOMPARE(g.ch1Low, 40);
        QCOMPARE(g.ch2High, 55);
    }

    void pulsesAreDrawnWhereTheGeometrySays()
    {
        PreviewInputs in;
        in.ch2Delay = 30; // ch2 rises at x 27, falls at x 207
        const QImage image = render(geometryFor(in));
        // Channel 1, blue: rising edge at x 0, high level y 5 up to x 180,
        // falling edge at x 180, low level y 40 from there to the trace end.
        QCOMPARE(image.pixelColor(0, 20), kBlue);
        QCOMPARE(image.pixelColor(100, 5), kBlue);
        QCOMPARE(image.pixelColor(180, 20), kBlue);
        QCOMPARE(image.pixelColor(181, 5), kWhite);
        QVERIFY(countOf(image, kBlue, 181, 269, 40) > 20);   // under the dotted base line
        QCOMPARE(image.pixelColor(100, 40) == kBlue, false); // only the dotted base line
        // Channel 2, dark green, on its own levels.
        QCOMPARE(image.pixelColor(27, 70), kGreen);
        QCOMPARE(image.pixelColor(100, 55), kGreen);
        QCOMPARE(image.pixelColor(207, 70), kGreen);
        QVERIFY(countOf(image, kGreen, 208, 269, 90) > 20);
        QCOMPARE(image.pixelColor(26, 55), kWhite);
        // Solid gray bottom line across the whole width.
        QCOMPARE(image.pixelColor(135, 119), QColor(Qt::gray));
        QCOMPARE(image.pixelColor(269, 119), QColor(Qt::gray));
    }

    void guidesAreDottedAcrossTheHeight()
    {
        PreviewInputs in;
        in.ch1Delay = 100; // x 90
        in.ch1Width = 50;  // falls at x 135
        const QImage image = render(geometryFor(in));
        int gray = 0, white = 0;
        for (int y = 0; y < 118; ++y) {
            if (y == 5 || y == 40 || (y > 5 && y < 40) || y == 55 || y == 90 || (y > 55 && y < 90))
                continue; // the pulse's own edges
            const QColor c = image.pixelColor(135, y);
            gray += c == QColor(Qt::gray);
            white += c == kWhite;
        }
        QVERIFY(gray > 10);
        QVERIFY(white > 10); // dotted, not solid
    }

    void widthPastThePeriodIsClipped()
    {
        PreviewInputs in;
        in.ch1Width = 900; // falling edge far right of the image
        const PreviewGeometry g = geometryFor(in);
        QCOMPARE(g.ch1End, 810);
        const QImage image = render(g);
        QCOMPARE(image.pixelColor(269, 5), kBlue);
    }

    void zeroPeriodDrawsWithoutPulses()
    {
        PreviewInputs in;
        in.period = 0;
        double scale = 0;
        const PreviewGeometry g = geometryFor(in, &scale);
        QVERIFY(qIsInf(scale));
        QVERIFY(!g.pulsesDrawable);
        const QImage image = render(g, ::frequencyLine(0, 300));
        QCOMPARE(image.pixelColor(100, 5), kWhite);
        QCOMPARE(image.pixelColor(135, 119), QColor(Qt::gray));
        QCOMPARE(::frequencyLine(0, 300), QStringLiteral("f1=inf MHz, f2=3.33 Hz "));
    }

    void hugeScaleStaysInRange()
    {
        PreviewInputs in;
        in.period = 0.00001;
        in.ch1Width = 10736;
        in.ch2Delay = 10736;
        const PreviewGeometry g = geometryFor(in);
        QVERIFY(g.pulsesDrawable);
        QCOMPARE(g.ch1Period, 270);
        QVERIFY(g.ch1End > 270);
        QVERIFY(g.ch2Start > 270);
        render(g);
    }

    void frequencyLine_data()
    {
        QTest::addColumn<double>("period1");
        QTest::addColumn<double>("period2");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 300.0 << 300.0 << "f1=3.33 Hz, f2=3.33 Hz ";
        QTest::newRow("300 us") << 300 * 0.0010000000474974513 << 300.0
                                << "f1=3333.33 Hz, f2=3.33 Hz ";
        QTest::newRow("MHz") << 0.0005 << 300.0 << "f1=2.00 MHz, f2=3.33 Hz ";
        QTest::newRow("1 MHz stays Hz") << 0.001 << 0.0005 << "f1=1000000.00 Hz, f2=2.00 MHz ";
    }

    void frequencyLine()
    {
        QFETCH(double, period1);
        QFETCH(double, period2);
        QFETCH(QString, text);
        QCOMPARE(::frequencyLine(period1, period2), text);
    }

    void editingGenerator2SwitchesThePreview()
    {
        dxu_gui w;
        QVERIFY(DxuGuiTestAccess::showsGen1(w));
        w.findChild<QDoubleSpinBox *>("g2c1stop")->setValue(150);
        QVERIFY(!DxuGuiTestAccess::showsGen1(w));
        QVERIFY(w.findChild<QRadioButton *>("showG2")->isChecked());
        QCOMPARE(w.findChild<QGroupBox *>("previewGroup")->title(),
                 QStringLiteral("Signal Preview for Generator#2"));
        QCOMPARE(DxuGuiTestAccess::geometry(w).ch1End, 135);

        // The same value again emits nothing and keeps the previewed generator.
        w.findChild<QRadioButton *>("showG1")->setChecked(true);
        w.findChild<QDoubleSpinBox *>("g2c1stop")->setValue(150);
        QVERIFY(DxuGuiTestAccess::showsGen1(w));
        w.findChild<QSpinBox *>("pulsesG2")->setValue(3);
        QVERIFY(!DxuGuiTestAccess::showsGen1(w));
    }

    void labelShowsTheLatestDrawing()
    {
        dxu_gui w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QLabel *label = w.findChild<QLabel *>("dl");
        w.findChild<QDoubleSpinBox *>("g1c1stop")->setValue(100); // falls at x 90
        QTRY_COMPARE(label->pixmap().toImage().pixelColor(90, 20), kBlue);
        QCOMPARE(label->pixmap().toImage().pixelColor(180, 20) == kBlue, false);

        QCOMPARE(label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 render(DxuGuiTestAccess::geometry(w), ::frequencyLine(300, 300)));

        // Once drawn, the repaint timer's ticks neither hand it over again
        // nor repaint the window.
        QTest::qWait(300);
        const qint64 key = label->pixmap().cacheKey();
        PaintCounter paints;
        w.installEventFilter(&paints);
        QTest::qWait(350);
        QCOMPARE(label->pixmap().cacheKey(), key);
        QCOMPARE(paints.count, 0);
    }

    void zeroPeriodInTheWindow()
    {
        dxu_gui w;
        w.show();
        w.findChild<QDoubleSpinBox *>("periodG1")->setValue(0);
        QVERIFY(!DxuGuiTestAccess::geometry(w).pulsesDrawable);
        QTest::qWait(250); // repaints with the zero period
        QCOMPARE(w.findChild<QLabel *>("dl")->pixmap().toImage().pixelColor(100, 5), kWhite);
    }
};

DXU_TEST_MAIN(PreviewTest)
#include "tst_preview.moc"
