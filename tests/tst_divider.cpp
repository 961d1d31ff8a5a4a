// The divider switch calculator: the switches each divider value shows, by
// the pictures on the labels.
#include "tools/dividebydialog.h"
#include "tools/divider_bits.h"
#include "support/test_support.h"

#include <QLabel>
#include <QSpinBox>

namespace {

// "10110…": one character per switch, as its picture shows it; '?' for a
// picture that is neither the switch's on nor its off picture, '=' where
// those two cannot be told apart.
QString shownSwitches(const QDialog &dialog)
{
    QString shown;
    for (int k = 1; k <= DividerBits::SwitchCount; ++k) {
        const QString name = k == 1 ? QStringLiteral("label") : QStringLiteral("label_%1").arg(k);
        const auto *label = dialog.findChild<QLabel *>(name);
        const QImage image = label ? label->pixmap().toImage() : QImage();
        const QImage on = QPixmap(QStringLiteral(":/divby/%1on.png").arg(k)).toImage();
        const QImage off = QPixmap(QStringLiteral(":/divby/%1off.png").arg(k)).toImage();
        shown += QLatin1Char(on == off ? '=' : image == on ? '1' : image == off ? '0' : '?');
    }
    return shown;
}

} // namespace

class DividerTest : public QObject
{
    Q_OBJECT

private slots:
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
    // A new dialog shows 0 with every switch off. Each value is set from one
    // that lights every switch, so that each one must change.
    void switchesForDivider()
    {
        QFETCH(int, divider);
        QFETCH(QString, switches);
        dividebyDialog dialog;
        dialog.show();
        auto *spinBox = dialog.findChild<QSpinBox *>(QStringLiteral("spinBox"));
        QCOMPARE(spinBox->value(), 0);
        QCOMPARE(shownSwitches(dialog), QStringLiteral("00000000"));
        spinBox->setValue(divider == 1 ? 256 : 1);
        spinBox->setValue(divider);
        QCOMPARE(shownSwitches(dialog), switches);
    }
};

DXU_TEST_MAIN(DividerTest)
#include "tst_divider.moc"
