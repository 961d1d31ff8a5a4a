// The divider switch calculator: the switches each divider value shows, by
// the pictures on the labels, and the bits behind them.
#include "tools/dividebydialog.h"
#include "tools/divider_bits.h"
#include "support/test_support.h"

#include <QLabel>
#include <QSpinBox>

namespace {

const char *const SwitchLabels[DividerBits::SwitchCount] = {
    "label", "label_2", "label_3", "label_4", "label_5", "label_6", "label_7", "label_8"};

QImage labelImage(const QDialog &dialog, const char *name)
{
    auto *label = dialog.findChild<QLabel *>(QLatin1String(name));
    return label ? label->pixmap().toImage() : QImage();
}

QImage resourceImage(const QString &path) { return QPixmap(path).toImage(); }

// "10110…": one character per switch, as its picture shows it; '?' for a
// picture that is neither the switch's on nor its off picture.
QString shownSwitches(const QDialog &dialog)
{
    QString shown;
    for (int k = 1; k <= DividerBits::SwitchCount; ++k) {
        const QImage image = labelImage(dialog, SwitchLabels[k - 1]);
        if (image == resourceImage(QStringLiteral(":/divby/%1on.png").arg(k)))
            shown += QLatin1Char('1');
        else if (image == resourceImage(QStringLiteral(":/divby/%1off.png").arg(k)))
            shown += QLatin1Char('0');
        else
            shown += QLatin1Char('?');
    }
    return shown;
}

} // namespace

class DividerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The comparisons below mean something only if the pictures differ.
        for (int k = 1; k <= DividerBits::SwitchCount; ++k)
            QVERIFY(resourceImage(QStringLiteral(":/divby/%1on.png").arg(k)) !=
                    resourceImage(QStringLiteral(":/divby/%1off.png").arg(k)));
    }

    void form()
    {
        dividebyDialog dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("divDialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Switch Calculator"));
        QCOMPARE(dialog.size(), QSize(223, 135));
        auto *spinBox = dialog.findChild<QSpinBox *>(QStringLiteral("spinBox"));
        QVERIFY(spinBox);
        QCOMPARE(spinBox->minimum(), 0);
        QCOMPARE(spinBox->maximum(), 256);
        QCOMPARE(spinBox->geometry(), QRect(153, 9, 61, 22));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_10"))->text(),
                 QStringLiteral("Divider:"));
        const int xs[DividerBits::SwitchCount] = {9, 33, 56, 79, 100, 122, 146, 169};
        for (int k = 0; k < DividerBits::SwitchCount; ++k)
            QCOMPARE(dialog.findChild<QLabel *>(QLatin1String(SwitchLabels[k]))->geometry(),
                     QRect(xs[k], 30, 31, 101));
    }

    void firstOpeningShowsZeroAndAllOff()
    {
        dividebyDialog dialog;
        dialog.show();
        QCOMPARE(dialog.findChild<QSpinBox *>(QStringLiteral("spinBox"))->value(), 0);
        QCOMPARE(shownSwitches(dialog), QStringLiteral("00000000"));
    }

    void switchesForDivider_data()
    {
        QTest::addColumn<int>("divider");
        QTest::addColumn<QString>("switches"); // switch 1 first
        QTest::newRow("1") << 1 << "11111111";
        QTest::newRow("2") << 2 << "01111111";
        QTest::newRow("3") << 3 << "10111111";
        QTest::newRow("100") << 100 << "00111001";
        QTest::newRow("128") << 128 << "00000001";
        QTest::newRow("255") << 255 << "10000000";
        QTest::newRow("256") << 256 << "00000000";
        QTest::newRow("0") << 0 << "00000000";
    }
    void switchesForDivider()
    {
        QFETCH(int, divider);
        QFETCH(QString, switches);

        const auto on = DividerBits::switchStates(divider);
        QString bits;
        for (bool b : on)
            bits += QLatin1Char(b ? '1' : '0');
        QCOMPARE(bits, switches);

        dividebyDialog dialog;
        auto *spinBox = dialog.findChild<QSpinBox *>(QStringLiteral("spinBox"));
        // From a value that lights every switch, so that each one must change.
        spinBox->setValue(divider == 1 ? 256 : 1);
        spinBox->setValue(divider);
        QCOMPARE(shownSwitches(dialog), switches);
    }

    void steppingFromOneToTwo()
    {
        dividebyDialog dialog;
        auto *spinBox = dialog.findChild<QSpinBox *>(QStringLiteral("spinBox"));
        spinBox->setValue(1);
        QCOMPARE(shownSwitches(dialog), QStringLiteral("11111111"));
        spinBox->stepUp();
        QCOMPARE(shownSwitches(dialog), QStringLiteral("01111111"));
    }

    void endPieceAndDevicePictureNeverChange()
    {
        dividebyDialog dialog;
        const QImage end = resourceImage(QStringLiteral(":/divby/end.png"));
        const QImage device = resourceImage(QStringLiteral(":/divby/device.ico"));
        QVERIFY(!end.isNull());
        QVERIFY(!device.isNull());
        auto *spinBox = dialog.findChild<QSpinBox *>(QStringLiteral("spinBox"));
        for (int value : {0, 1, 100, 255, 256}) {
            spinBox->setValue(value);
            QCOMPARE(labelImage(dialog, "label_9"), end);
            QCOMPARE(labelImage(dialog, "label_11"), device);
        }
    }
};

DXU_TEST_MAIN(DividerTest)
#include "tst_divider.moc"
