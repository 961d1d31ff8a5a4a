// The whole-text IPv4 check shared by the slave list and the network dialog.
#include "device/ipv4_address.h"
#include "support/test_support.h"

class Ipv4AddressTest : public QObject
{
    Q_OBJECT

private slots:
    void wholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << "192.168.0.0" << true;
        QTest::newRow("all 255") << "255.255.255.255" << true;
        QTest::newRow("all zero") << "0.0.0.0" << true;
        QTest::newRow("leading zeros") << "010.001.000.001" << true;
        QTest::newRow("two hundreds") << "249.250.199.200" << true;
        QTest::newRow("256") << "10.0.0.256" << false;
        QTest::newRow("260") << "260.0.0.1" << false;
        QTest::newRow("300") << "10.300.0.1" << false;
        QTest::newRow("four digits") << "10.0.0.0001" << false;
        QTest::newRow("three groups") << "10.0.1" << false;
        QTest::newRow("five groups") << "1.2.3.4.5" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blank before") << " 10.0.0.1" << false;
        QTest::newRow("blank after") << "10.0.0.1 " << false;
        QTest::newRow("trailing junk") << "10.0.0.1 junk" << false;
        QTest::newRow("trailing newline") << "10.0.0.1\n" << false;
        QTest::newRow("empty group") << "10..0.1" << false;
        QTest::newRow("letter") << "10.0.0.a" << false;
        QTest::newRow("host name") << "localhost" << false;
        QTest::newRow("trailing dot") << "10.0.0.1." << false;
        QTest::newRow("other script digits") << QStringLiteral("1\u0662.0.0.1") << false;
    }

    void wholeText()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(isIpv4Address(text), accepted);
    }
};

DXU_TEST_MAIN(Ipv4AddressTest)
#include "tst_ipv4_address.moc"
