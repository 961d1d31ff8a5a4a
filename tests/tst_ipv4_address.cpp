// Addresses: the whole-text IPv4 check shared by the main window, the slave
// list and the network dialog, the canonical form every request is built from,
// the numeric forms no request may go to; and the network page patterns on
// pages the simulated instrument never serves.
#include "device/ipv4_address.h"
#include "network/network_page.h"
#include "support/test_support.h"

#include "sim/dxu_sim_pages.h"

class Ipv4AddressTest : public QObject
{
    Q_OBJECT

private slots:
    void wholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("host"); // where a request goes; empty: nowhere
        QTest::newRow("plain") << "192.168.0.0" << true << "192.168.0.0";
        QTest::newRow("all 255") << "255.255.255.255" << true << "255.255.255.255";
        QTest::newRow("all zero") << "0.0.0.0" << true << "0.0.0.0";
        QTest::newRow("leading zeros") << "010.001.000.001" << true << "10.1.0.1";
        QTest::newRow("leading zeros, not octal") << "127.000.000.038" << true << "127.0.0.38";
        QTest::newRow("two hundreds") << "249.250.199.200" << true << "249.250.199.200";
        QTest::newRow("256") << "10.0.0.256" << false << "";
        QTest::newRow("260") << "260.0.0.1" << false << "";
        QTest::newRow("300") << "10.300.0.1" << false << "";
        QTest::newRow("four digits") << "10.0.0.0001" << false << "";
        QTest::newRow("two groups") << "127.1" << false << "";
        QTest::newRow("one number") << "2130706433" << false << "";
        QTest::newRow("hexadecimal") << "0x7f.0.0.0xa0" << false << "";
        QTest::newRow("five groups") << "1.2.3.4.5" << false << "";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("blank before") << " 10.0.0.1" << false << "";
        QTest::newRow("blank after") << "10.0.0.1 " << false << "10.0.0.1 ";
        QTest::newRow("trailing junk") << "10.0.0.1 junk" << false << "10.0.0.1 junk";
        QTest::newRow("trailing newline") << "10.0.0.1\n" << false << "10.0.0.1\n";
        QTest::newRow("empty group") << "10..0.1" << false << "";
        QTest::newRow("host name with digits") << "dxu-3.lab" << false << "dxu-3.lab";
        QTest::newRow("IPv6") << "::1" << false << "::1";
        QTest::newRow("trailing dot") << "10.0.0.1." << false << "";
        QTest::newRow("other script digits") << QStringLiteral("1\u0662.0.0.1") << false << "";
    }

    void wholeText()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(QString, host);
        QCOMPARE(isIpv4Address(text), accepted);
        QCOMPARE(canonicalIpv4(text), accepted ? host : QString());
        QCOMPARE(normalizedAddress(text), accepted ? host : text);
        QCOMPARE(requestHost(text), host);
    }

    // What may be typed as an instrument's address, wherever one is typed:
    // blanks around it dropped, an IPv4 address or a host name, and no
    // address that is not one instrument's.
    void instrumentAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("taken"); // the address as used, or why it is refused
        const QStringList rows[] = {
            {" 127.0.0.1\t", "127.0.0.1"},
            {"Dxu-3.lab.", "Dxu-3.lab."},
            {"223.255.255.254", "223.255.255.254"},
            {"000.0.0.0", "0.0.0.0 is the unspecified address, no instrument's"},
            {"255.255.255.255", "255.255.255.255 is the broadcast address, no instrument's"},
            {"239.255.255.255", "239.255.255.255 is a multicast address (224.0.0.0 to "
                                "239.255.255.255), no instrument's"}};
        for (const QStringList &row : rows)
            QTest::newRow(qPrintable(row[0])) << row[0] << row[1];
        for (const char *text : {"127.1", "999.1.1.1", "0x7f.0.0.1", "dxu_lab", "-dxu.lab",
                                 "dxu-.lab", "a..b", "<i>1.2.3.4</i>", "::1", "10.0.0.1 x"})
            QTest::newRow(text)
                << text << QStringLiteral("%1 is not an IPv4 address or host name").arg(text);
    }

    void instrumentAddress()
    {
        QFETCH(QString, typed);
        const InstrumentAddress checked = checkInstrumentAddress(typed);
        QCOMPARE(checked.address.isEmpty(), !checked.problem.isEmpty());
        QTEST(checked.problem.isEmpty() ? checked.address : checked.problem, "taken");
    }

    // The page is read as it always was: only MAC groups of one or two
    // lower-case digits, the check box exactly as written, and only the page's
    // first 16 KB. A page that does not match sets nothing.
    void networkPageIsReadAsWritten()
    {
        const QString page = QStringLiteral(
            "<input name=\"mac\" value=\"%1\">\n<input name=\"ip\" value=\"10.0.0.61\">\n"
            "<input name=\"netmask\" value=\"255.255.255.0\">\n<input name=\"gw\" "
            "value=\"10.0.0.254\">\n<input type=\"checkbox\" name=\"dhcp\" value=\"1\"%2/>");
        NetworkPage::Content content =
            NetworkPage::parse(page.arg(QStringLiteral("00:1b:c5:0a:0b:0c"), "CHECKED"));
        QVERIFY(content.hasAddresses && content.hasDhcp && content.fields.dhcp);
        content = NetworkPage::parse(page.arg(QStringLiteral("00:1B:C5:0A:0B:0C"), " CHECKED"));
        QVERIFY(!content.hasAddresses && !content.hasDhcp);
        content = NetworkPage::parse(page.arg(QStringLiteral("00:1bc:c5:0a:0b:0c"), "CHECKED"));
        QVERIFY(!content.hasAddresses); // a MAC group of three digits

        const QString served = QString::fromLatin1(networkPage(DxuSimNetwork()));
        QVERIFY(NetworkPage::parse(served).hasAddresses);
        const QString late = QString(NetworkPage::MaxPageLength - 50, u' ') + served;
        QVERIFY(!NetworkPage::parse(late).hasAddresses);
    }
};

DXU_TEST_MAIN(Ipv4AddressTest)
#include "tst_ipv4_address.moc"
