// The profile value (sixteen fields joined by "|") without the window.
#include "persistence/profile_value.h"
#include "support/test_support.h"

class ProfileValueTest : public QObject
{
    Q_OBJECT

private slots:
    void fieldsStandInTheirPositions()
    {
        const ProfileValue p{6, 1, 1234.56789, 0.5, 131072, 7, {0.00002, 2, 4, 6}, {1, 3, 5, 1e6},
                             3, 2};
        QCOMPARE(formatProfileValue(p),
                 QStringLiteral("6|1|1234.57|0.5|131072|7|2e-05|1|2|3|4|5|6|1e+06|3|2"));
    }

    // Read back and written again: what the parser made of every field.
    void parsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        QTest::newRow("empty, letters, reals where integers belong")
            << QStringLiteral("1.5|0x2|2e3||abc|7|x|1|1|1|1|1|1|1|1e1|2")
            << QStringLiteral("0|0|2000|0|0|7|0|1|1|1|1|1|1|1|0|2");
        QTest::newRow("no numbers a box can hold")
            << QStringLiteral("2|1|nan|inf|0|0|-inf|1e400|0|0|0|0|0|0|0|0")
            << QStringLiteral("2|1|0|0|0|0|0|0|0|0|0|0|0|0|0|0");
        QTest::newRow("fields after the sixteenth")
            << QStringLiteral("1|0|300|300|1|1|0|200|0|200|0|200|0|200|2|3|99|abc")
            << QStringLiteral("1|0|300|300|1|1|0|200|0|200|0|200|0|200|2|3");
    }

    void parsing()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        QCOMPARE(formatProfileValue(parseProfileValue(text)), read);
    }
};

DXU_TEST_MAIN(ProfileValueTest)
#include "tst_profile_value.moc"
