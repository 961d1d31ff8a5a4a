// Every picture the program addresses is compiled in and loads.
#include "support/test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPixmap>
#include <QRegularExpression>

class ResourcesTest : public QObject
{
    Q_OBJECT

private slots:
    // Scans the program's sources and forms for ":/…" paths, so a picture
    // added to the code without its file fails here.
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
        for (const QString &p : paths)
            QVERIFY2(!QPixmap(p).isNull(), qPrintable(p));
    }

    void switchPicturesAndEndPiece()
    {
        for (int k = 1; k <= 8; ++k)
            for (const char *state : {"on", "off"}) {
                const QString p =
                    QStringLiteral(":/divby/%1%2.png").arg(k).arg(QLatin1String(state));
                const QPixmap picture(p);
                QVERIFY2(!picture.isNull(), qPrintable(p));
                QCOMPARE(picture.size(), QSize(24, 81));
            }
        QVERIFY(!QPixmap(QStringLiteral(":/divby/end.png")).isNull());
        QVERIFY(!QPixmap(QStringLiteral(":/divby/device.ico")).isNull());
        QVERIFY(!QPixmap(QStringLiteral(":/dxu_gui/Halvorn blue logo cropped.jpg")).isNull());
    }
};

DXU_TEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
