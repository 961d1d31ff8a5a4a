// The pictures: every one the code addresses is compiled in and loads, and the
// divider switch calculator shows the switches of each divider value by them.
#include "support/test_support.h"
#include "tools/dividebydialog.h"
#include "tools/divider_bits.h"

#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
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
    // Scans the program's sources and forms for ":/…" paths, so a picture
    // added to the code without its file fails here; the switch pictures too.
    void everyPathInTheCodeLoads()
    {
        const QString root = QStringLiteral(DXU_SOURCE_DIR);
        const QRegularExpression path(
            QStringLiteral("(:/(?:dxu_gui|newPrefix|divby)/[^\"<)%]+)(?!%)"));
        QSet<QString> paths;
        for (const char *folder :
             {"app", "device", "persistence", "multidevice", "network", "tools"}) {
            QDirIterator it(root + QLatin1Char('/') + QLatin1String(folder),
                            {"*.cpp", "*.h", "*.ui"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                auto matches = path.globalMatch(QString::fromUtf8(file.readAll()));
                while (matches.hasNext())
                    paths.insert(matches.next().captured(1));
            }
        }
        QVERIFY(paths.size() >= 12);
        for (int k = 1; k <= DividerBits::SwitchCount; ++k) // addressed by number
            for (const char *state : {"on", "off"})
                paths.insert(QStringLiteral(":/divby/%1%2.png").arg(k).arg(QLatin1String(state)));
        for (const QString &p : paths)
            QVERIFY2(!QPixmap(p).isNull(), qPrintable(p));
    }

    // A new dialog shows 0 with every switch off. Each value is set from one
    // that lights every switch, so that each one must change (switch 1 first).
    void switchesForDivider()
    {
        dividebyDialog dialog;
        dialog.show();
        auto *spinBox = dialog.findChild<QSpinBox *>(QStringLiteral("spinBox"));
        QCOMPARE(spinBox->value(), 0);
        QCOMPARE(shownSwitches(dialog), QStringLiteral("00000000"));
        const QList<QPair<int, QString>> rows = {
            {1, "11111111"},   {2, "01111111"},   {3, "10111111"},   {100, "00111001"},
            {128, "00000001"}, {255, "10000000"}, {256, "00000000"}, {0, "00000000"}};
        for (const auto &[divider, switches] : rows) {
            spinBox->setValue(divider == 1 ? 256 : 1);
            spinBox->setValue(divider);
            QCOMPARE(shownSwitches(dialog), switches);
        }
    }
};

DXU_TEST_MAIN(DividerTest)
#include "tst_divider.moc"
