// The main window: how it starts, the Generator settings record behind its
// boxes in milliseconds or microseconds, and the signal preview, from the
// drawing pixel by pixel to the label in the window.
#include "app/dxu_gui.h"
#include "app/preview_drawing.h"
#include "device/usb_frames.h"
#include "persistence/settings_store.h"
#include "support/test_support.h"
#include "support/window_access.h"

#include <QMenuBar>
#include <QPixmap>
#include <QSettings>
#include <QStatusBar>

namespace {
const QColor kBlue(Qt::blue);
const QColor kGreen(Qt::darkGreen);
const QColor kWhite(255, 255, 255);

template <class T = QDoubleSpinBox> T *child(dxu_gui &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

// The preview label is 270 px wide: the start period of 300 ms draws at 0.9 px per ms.
QImage render(const PreviewGeometry &g, const QString &text = QString())
{
    QImage image(270, 120, QImage::Format_ARGB32_Premultiplied);
    drawPreview(image, g, text);
    return image;
}

PreviewGeometry geometryFor(const PreviewInputs &in)
{
    double scale = 0;
    return computePreviewGeometry(PreviewGeometry(), 270, in, &scale);
}

int countOf(const QImage &image, const QColor &colour, int x0, int x1, int y)
{
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += image.pixelColor(x, y) == colour;
    return n;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    // As it starts, before a device answers; the address stored last is offered.
    void startState()
    {
        dxu_gui w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Halvorn DXU Interface v1.5.5"));
        QCOMPARE(DxuGuiTestAccess::deviceIp(w), QStringLiteral("192.168.0.0"));
        QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Ready"));
        // Fixed, at the form's 310 × 678 or wider and taller where the fonts
        // here need more room.
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(w.width() >= 310 && w.height() >= 678);
        for (const char *name : {"periodG1", "periodG2"})
            QCOMPARE(child(w, name)->value(), 300.0);
        for (const char *name : {"pulsesG1", "pulsesG2"})
            QCOMPARE(child<QSpinBox>(w, name)->value(), 1);
        for (const char *name : {"g1c1start", "g1c2start", "g2c1start", "g2c2start"})
            QCOMPARE(child(w, name)->value(), 0.0);
        for (const char *name : {"g1c1stop", "g1c2stop", "g2c1stop", "g2c2stop"})
            QCOMPARE(child(w, name)->value(), 200.0);
        QCOMPARE(DxuGuiTestAccess::record(w).ch1_et1, 200.0);
        QCOMPARE(DxuGuiTestAccess::record(w).p2, 300.0);
        QVERIFY(child<QRadioButton>(w, "showG1")->isChecked());
        QCOMPARE(child<QGroupBox>(w, "previewGroup")->title(),
                 QStringLiteral("Signal Preview for Generator#1"));
        QVERIFY(child<QAction>(w, "actionMiliseconds")->isChecked());
        QVERIFY(!child<QAction>(w, "actionMicroseconds")->isChecked());

        for (const char *name : {"groupG1", "groupG2", "previewGroup"})
            QVERIFY2(!child<QGroupBox>(w, name)->isEnabled(), name);
        for (const char *name :
             {"resetButton", "runBoth", "runGen1", "runGen2", "stopGen1", "stopGen2"})
            QVERIFY2(!child<QPushButton>(w, name)->isEnabled(), name);
        QStringList menus;
        for (QAction *menu : w.menuBar()->actions())
            menus << menu->text() + (menu->isEnabled() ? "" : " (off)");
        QCOMPARE(menus, (QStringList{"Connection", "Profiles (off)", "Settings (off)", "?"}));
        QVERIFY(!child<QAction>(w, "actionIP_Settings")->isEnabled());
        QVERIFY(child<QAction>(w, "actionUSB")->isEnabled());
        QVERIFY(child<QAction>(w, "actionEthernet")->isEnabled());
        // Every slot, in the order the meta-object declares them.
        const QMetaObject *meta = w.metaObject();
        QStringList names;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            if (meta->method(i).methodType() == QMetaMethod::Slot)
                names << QString::fromLatin1(meta->method(i).methodSignature());
        QCOMPARE(names.size(), 47);
        QCOMPARE(names.first(), QStringLiteral("exportDXUSettings()"));
        QCOMPARE(names.at(43), QStringLiteral("loadProfileDXUSettings(QAction*)"));
        QCOMPARE(names.last(), QStringLiteral("switchToCompactMode(bool)"));

        QScopedPointer<QSettings> store(SettingsStore::openMainSettings());
        store->setValue(QLatin1String(SettingsStore::LastIpKey), QStringLiteral("127.0.0.9"));
        store->sync();
        dxu_gui second;
        QCOMPARE(DxuGuiTestAccess::deviceIp(second), QStringLiteral("127.0.0.9"));
    }

    void microsecondsEnterTheRecordInMilliseconds()
    {
        dxu_gui w;
        child<QAction>(w, "actionMicroseconds")->trigger();
        QVERIFY(!child<QAction>(w, "actionMiliseconds")->isChecked());
        QCOMPARE(child(w, "periodG1")->decimals(), 2);
        QCOMPARE(child(w, "periodG1")->maximum(), 1.0736e7);
        QCOMPARE(child<QLabel>(w, "label")->text(), QStringLiteral("Period, us:"));
        QCOMPARE(child<QGroupBox>(w, "groupCh4")->title(), QStringLiteral("Ch4, us"));

        child(w, "periodG1")->setValue(300);
        child(w, "g2c1start")->setValue(2);
        child(w, "g2c1stop")->setValue(5);
        DxuGuiTestAccess::fieldsToRecord(w);
        const GeneratorSettings &r = DxuGuiTestAccess::record(w);
        QCOMPARE(r.p1, 0.3);
        QCOMPARE(r.ch1_st2, 0.002);
        QCOMPARE(r.ch1_et2, 0.007);

        // A two-decimal entry is k * 10 ns, exactly k >> (tb + 1) ticks: up to
        // 20 us and near the top of the range every value goes out exactly
        // (1,000,000 us once went out as 50000002 ticks).
        int wrong = 0;
        for (qint64 first : {qint64(0), qint64(1073598000), qint64(99999000)})
            for (qint64 k = first; k <= first + 2000; ++k) {
                child(w, "periodG1")->setValue(k / 100.0);
                DxuGuiTestAccess::fieldsToRecord(w);
                for (std::uint8_t timeBase = 0; timeBase < 4; ++timeBase)
                    wrong += timeToTicks(r.p1, timeBase) != k >> (timeBase + 1);
            }
        QCOMPARE(wrong, 0);
    }

    // A switch shows the record, not the edits; unchecking a unit by hand does nothing.
    void switchingShowsTheRecordInEitherUnit()
    {
        dxu_gui w;
        child<QAction>(w, "actionMiliseconds")->trigger();
        QVERIFY(!child<QAction>(w, "actionMiliseconds")->isChecked());
        QCOMPARE(child(w, "periodG1")->decimals(), 5);
        child(w, "g1c1stop")->setValue(12.5);
        DxuGuiTestAccess::record(w).p1 = 1.5;
        child<QAction>(w, "actionMicroseconds")->trigger();
        QCOMPARE(child(w, "periodG1")->text(), QStringLiteral("1500.00"));
        QCOMPARE(child(w, "g1c1stop")->value(), 200000.0);
        child<QAction>(w, "actionMiliseconds")->trigger();
        QCOMPARE(child(w, "periodG1")->text(), QStringLiteral("1.50000"));
        QCOMPARE(DxuGuiTestAccess::unitFactor(w), 1.0);
        QVERIFY(!child<QAction>(w, "actionMicroseconds")->isChecked());
        QCOMPARE(child<QLabel>(w, "label_18")->text(), QStringLiteral("Period, ms:"));

        // The boxes step by one tick of their generator's time base.
        const double tick = static_cast<double>(static_cast<float>(2e-5));
        QCOMPARE(child(w, "periodG1")->singleStep(), tick);
        child<QComboBox>(w, "timeUnitG1")->setCurrentIndex(2);
        for (const char *name : {"periodG1", "g1c1start", "g1c1stop", "g1c2start", "g1c2stop"})
            QCOMPARE(child(w, name)->singleStep(), 7.999999797903001e-05);
        for (const char *name : {"periodG2", "g2c1start", "g2c1stop", "g2c2start", "g2c2stop"})
            QCOMPARE(child(w, name)->singleStep(), tick);
        QCOMPARE(DxuGuiTestAccess::record(w).freq1, 2);

        child<QAction>(w, "actionMicroseconds")->trigger();
        QCOMPARE(child(w, "periodG1")->singleStep(),
                 static_cast<double>(static_cast<float>(4 * 0.02f)));
        QCOMPARE(child(w, "periodG2")->singleStep(), static_cast<double>(0.02f));
    }

    // Sources go as codes; the boxes show widths, the record holds ends.
    void recordAndFields()
    {
        dxu_gui w;
        GeneratorSettings &r = DxuGuiTestAccess::record(w);
        auto *source1 = child<QComboBox>(w, "sourceG1");
        auto *source2 = child<QComboBox>(w, "sourceG2");
        source1->setCurrentIndex(3);
        source2->setCurrentIndex(1);
        child(w, "g1c1start")->setValue(1.5);
        child(w, "g1c1stop")->setValue(2);
        DxuGuiTestAccess::fieldsToRecord(w);
        QCOMPARE(int(r.ts1), 4);
        QCOMPARE(int(r.ts2), 1);
        QCOMPARE(r.ch1_et1, 3.5); // start plus width

        r.ts1 = 6;
        r.ts2 = 0;
        r.ch2_st1 = 1.25;
        r.ch2_et1 = 4.0;
        r.ch1_st2 = 1.0;
        r.ch1_et2 = 3.5;
        r.pn2 = 40000;
        r.freq2 = 3;
        DxuGuiTestAccess::recordToFields(w);
        QCOMPARE(source1->currentIndex(), 4);
        QCOMPARE(source2->currentIndex(), 0);
        QCOMPARE(child(w, "g1c2start")->value(), 1.25);
        QCOMPARE(child(w, "g1c2stop")->value(), 2.75);
        QCOMPARE(child(w, "g2c1stop")->value(), 2.5);
        QCOMPARE(child<QSpinBox>(w, "pulsesG2")->value(), 40000);
        QCOMPARE(child<QComboBox>(w, "timeUnitG2")->currentIndex(), 3);

        // Source codes and time bases without an entry (from a page, a frame)
        // leave the combos where they are.
        r.ts1 = 3;
        r.ts2 = 5;
        r.freq1 = 4;
        r.freq2 = 255;
        DxuGuiTestAccess::recordToFields(w);
        DxuGuiTestAccess::fieldsToRecord(w);
        QCOMPARE(source1->currentIndex(), 4);
        QCOMPARE(source2->currentIndex(), 0);
        QCOMPARE(r.freq1, 0);
        QCOMPARE(r.freq2, 3);
    }

    // The preview's pulses, guides and frequency line.
    void preview()
    {
        PreviewInputs in;
        in.ch1Delay = 10;  // ch1 rises at x 9
        in.ch1Width = 190; // falls at x 180
        in.ch2Delay = 30;  // ch2 rises at x 27, falls at x 207
        const QImage image = render(geometryFor(in));
        // Channel 1, blue: high level y 5, low level y 40 after the falling
        // edge up to the trace end; before its delay only the dotted base line.
        QCOMPARE(image.pixelColor(4, 5), kWhite);
        QCOMPARE(image.pixelColor(9, 20), kBlue);
        QCOMPARE(image.pixelColor(100, 5), kBlue);
        QCOMPARE(image.pixelColor(180, 20), kBlue);
        QCOMPARE(image.pixelColor(181, 5), kWhite);
        QVERIFY(countOf(image, kBlue, 181, 269, 40) > 20);
        QCOMPARE(image.pixelColor(100, 40) == kBlue, false);
        // Channel 2, dark green, on its own levels.
        QCOMPARE(image.pixelColor(27, 70), kGreen);
        QCOMPARE(image.pixelColor(100, 55), kGreen);
        QCOMPARE(image.pixelColor(207, 70), kGreen);
        QVERIFY(countOf(image, kGreen, 208, 269, 90) > 20);
        QCOMPARE(image.pixelColor(26, 55), kWhite);
        // Solid gray bottom line across the whole width; dotted guides at the
        // edges across the height.
        QCOMPARE(image.pixelColor(135, 119), QColor(Qt::gray));
        QCOMPARE(image.pixelColor(269, 119), QColor(Qt::gray));
        int gray = 0, white = 0;
        for (int y = 41; y < 118; ++y) {
            gray += y != 55 && image.pixelColor(180, y) == QColor(Qt::gray);
            white += image.pixelColor(180, y) == kWhite;
        }
        QVERIFY(gray > 10 && white > 10);

        // Edges far right of the image are clipped; huge scales stay in range.
        in = PreviewInputs();
        in.ch1Width = 900; // falls at x 810
        QCOMPARE(render(geometryFor(in)).pixelColor(269, 5), kBlue);
        in.period = 0.00001;
        in.ch1Width = 10736;
        in.ch2Delay = 10736;
        const PreviewGeometry g = geometryFor(in);
        QCOMPARE(g.ch1Period, 270);
        QVERIFY(g.ch1End > 270 && g.ch2Start > 270);
        QCOMPARE(render(g).pixelColor(269, 5), kBlue);

        const struct
        {
            double period1, period2;
            const char *text;
        } rows[] = {{300, 300, "f1=3.33 Hz, f2=3.33 Hz "},
                    {300 * 0.0010000000474974513, 300, "f1=3333.33 Hz, f2=3.33 Hz "},
                    {0.0005, 300, "f1=2.00 MHz, f2=3.33 Hz "},
                    {0.001, 0.0005, "f1=1000000.00 Hz, f2=2.00 MHz "},
                    {0, 300, "f1=inf MHz, f2=3.33 Hz "}};
        for (const auto &row : rows)
            QCOMPARE(::frequencyLine(row.period1, row.period2), QLatin1String(row.text));
    }

    void labelShowsTheLatestDrawing()
    {
        dxu_gui w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QLabel *label = child<QLabel>(w, "dl");
        child(w, "g1c1stop")->setValue(100); // falls at x 90
        QTRY_COMPARE(label->pixmap().toImage().pixelColor(90, 20), kBlue);
        QCOMPARE(label->pixmap().toImage().pixelColor(180, 20) == kBlue, false);
        QCOMPARE(label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 render(DxuGuiTestAccess::geometry(w), ::frequencyLine(300, 300)));

        // Once drawn, the repaint timer's ticks do not hand it over again.
        QTest::qWait(300);
        const qint64 key = label->pixmap().cacheKey();
        QTest::qWait(350);
        QCOMPARE(label->pixmap().cacheKey(), key);

        // A zero period draws no pulses.
        child(w, "periodG1")->setValue(0);
        QTRY_COMPARE(label->pixmap().toImage().pixelColor(50, 5), kWhite);

        // Editing generator 2 previews it.
        child(w, "g2c1stop")->setValue(150);
        QVERIFY(child<QRadioButton>(w, "showG2")->isChecked());
        QCOMPARE(child<QGroupBox>(w, "previewGroup")->title(),
                 QStringLiteral("Signal Preview for Generator#2"));
        QCOMPARE(DxuGuiTestAccess::geometry(w).ch1End, 135);

        // The same value again emits nothing and keeps the previewed generator.
        child<QRadioButton>(w, "showG1")->setChecked(true);
        child(w, "g2c1stop")->setValue(150);
        QVERIFY(DxuGuiTestAccess::showsGen1(w));
        child<QSpinBox>(w, "pulsesG2")->setValue(3);
        QVERIFY(!DxuGuiTestAccess::showsGen1(w));
    }
};

DXU_TEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
