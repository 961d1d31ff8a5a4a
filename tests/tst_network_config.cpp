// The plain parts of the network settings: the identity reply as the dialog
// shows it, the network block built from typed texts, the input checks, the
// network page patterns and the write path.
#include "network/address_check.h"
#include "network/network_block.h"
#include "network/network_page.h"
#include "support/test_support.h"

#include <QElapsedTimer>

#include <array>
#include <cstdlib>

using Block = std::array<std::uint8_t, NetworkBlock::BlockSize>;
using Reply = std::array<std::uint8_t, NetworkBlock::IdentityReplySize>;

namespace {

Reply sampleReply()
{
    Reply reply{};
    const std::uint8_t serial[10] = {0x0A, 0x00, 0xFF, 0x10, 0x01, 0x2B, 0x00, 0x00, 0xC0, 0x7};
    std::copy(std::begin(serial), std::end(serial), reply.begin());
    reply[10] = 3;
    reply[13] = 1;
    const std::uint8_t rest[18] = {0x00, 0x1B, 0xC5, 0x0A, 0x0B, 0x0C, 10, 0, 0,
                                   61,   255,  255,  255,  0,    10,   0,  0, 254};
    std::copy(std::begin(rest), std::end(rest), reply.begin() + 14);
    return reply;
}

Block blockOf(const NetworkFields &fields)
{
    Block block;
    block.fill(0xEE);
    NetworkBlock::fillBlock(block.data(), fields);
    return block;
}

NetworkFields typed(const QString &mac, const QString &ip, const QString &mask,
                    const QString &gateway, bool dhcp)
{
    NetworkFields fields;
    fields.mac = mac;
    fields.ip = ip;
    fields.mask = mask;
    fields.gateway = gateway;
    fields.dhcp = dhcp;
    return fields;
}

QString page(const QString &mac, const QString &dhcpInput)
{
    return QStringLiteral("<html><form><table><tr><td>MAC</td><td><input name=\"mac\" value=\"%1\">"
                          "</td></tr><tr><td>IP</td><td><input name=\"ip\" value=\"10.0.0.61\">"
                          "</td></tr><tr><td>Mask</td><td><input name=\"netmask\" "
                          "value=\"255.255.255.0\"></td></tr><tr><td>GW</td><td><input name=\"gw\" "
                          "value=\"10.0.0.254\"></td></tr>%2</table></form></html>")
        .arg(mac, dhcpInput);
}

} // namespace

class NetworkConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void identityReplyAsShown()
    {
        const Reply reply = sampleReply();
        QCOMPARE(NetworkBlock::serialNumberText(reply.data()), QStringLiteral("A0FF1012B00C07"));
        const NetworkFields fields = NetworkBlock::fieldsFromIdentity(reply.data());
        QCOMPARE(fields.mac, QStringLiteral("00:1B:C5:0A:0B:0C"));
        QCOMPARE(fields.ip, QStringLiteral("10.0.0.61"));
        QCOMPARE(fields.mask, QStringLiteral("255.255.255.0"));
        QCOMPARE(fields.gateway, QStringLiteral("10.0.0.254"));
        QVERIFY(fields.dhcp);

        Reply zero{};
        QCOMPARE(NetworkBlock::serialNumberText(zero.data()), QStringLiteral("0000000000"));
        const NetworkFields empty = NetworkBlock::fieldsFromIdentity(zero.data());
        QCOMPARE(empty.mac, QStringLiteral("00:00:00:00:00:00"));
        QCOMPARE(empty.ip, QStringLiteral("0.0.0.0"));
        QVERIFY(!empty.dhcp);
        zero[13] = 0x80; // any non-zero byte means DHCP on
        QVERIFY(NetworkBlock::fieldsFromIdentity(zero.data()).dhcp);
    }

    // What the block's bytes 13..31 carry comes back out as the same texts.
    void identityAndBlockShareTheLayout()
    {
        const Reply reply = sampleReply();
        const Block block = blockOf(NetworkBlock::fieldsFromIdentity(reply.data()));
        QVERIFY(std::equal(block.begin(), block.end(), reply.begin() + 13));
    }

    void blockFromTypedTexts_data()
    {
        QTest::addColumn<bool>("dhcp");
        QTest::newRow("dhcp on") << true;
        QTest::newRow("dhcp off") << false;
    }
    void blockFromTypedTexts()
    {
        QFETCH(bool, dhcp);
        const Block block =
            blockOf(typed(QStringLiteral("aa:BB:c:0D:e0:7f"), QStringLiteral("10.1.2.3"),
                          QStringLiteral("255.255.0.0"), QStringLiteral("10.1.0.254"), dhcp));
        // DHCP, MAC, IP, mask, gateway.
        const QByteArray expected = QByteArray(1, dhcp ? 1 : 0) +
                                    QByteArray::fromHex("aabb0c0de07f 0a010203 ffff0000 0a0100fe");
        QCOMPARE(
            QByteArray(reinterpret_cast<const char *>(block.data()), int(block.size())).toHex(' '),
            expected.toHex(' '));
    }

    // The block conversions take what C's strtoul and atoi take, keeping the
    // low eight bits; missing parts are 0, extra parts are ignored.
    void conversionsLikeC_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text : {"", "0", "7f", "FF", "100", "1ff", " \t2a", "0x1F", "0X1f", "0x",
                                 "0xg", "12zz", "-1", "+10", "g1", "1 2", "-0x10", "ffffffff"})
            QTest::newRow(text) << QString::fromLatin1(text);
    }
    void conversionsLikeC()
    {
        QFETCH(QString, text);
        const QByteArray bytes = text.toLatin1();
        QCOMPARE(NetworkBlock::hexPartByte(text),
                 std::uint8_t(std::strtoul(bytes.constData(), nullptr, 16) & 0xFF));
        QCOMPARE(NetworkBlock::decimalPartByte(text),
                 std::uint8_t(unsigned(std::atoi(bytes.constData())) & 0xFF));
    }

    void partsMissingOrExtra()
    {
        const Block block = blockOf(typed(QStringLiteral("1:2"), QStringLiteral("1.2.3.4.5"),
                                          QStringLiteral("300"), QString(), false));
        const Block expected = {0, 1, 2, 0, 0, 0, 0, 1, 2, 3, 4, 300 & 0xFF, 0, 0, 0, 0, 0, 0, 0};
        QVERIFY(block == expected);
    }

    void macCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("lower") << "aa:bb:cc:dd:ee:ff" << true;
        QTest::newRow("upper") << "AA:BB:CC:DD:EE:FF" << true;
        QTest::newRow("one digit groups") << "0:1b:c:0a:b:c" << true;
        QTest::newRow("five groups") << "aa:bb:cc:dd:ee" << false;
        QTest::newRow("seven groups") << "aa:bb:cc:dd:ee:ff:00" << false;
        QTest::newRow("three digits") << "aaa:bb:cc:dd:ee:ff" << false;
        QTest::newRow("not hex") << "ag:bb:cc:dd:ee:ff" << false;
        QTest::newRow("query tail") << "aa:bb:cc:dd:ee:ff&gw=1" << false;
        QTest::newRow("leading blank") << " aa:bb:cc:dd:ee:ff" << false;
        QTest::newRow("trailing newline") << "aa:bb:cc:dd:ee:ff\n" << false;
        QTest::newRow("dashes") << "aa-bb-cc-dd-ee-ff" << false;
        QTest::newRow("empty") << "" << false;
    }
    void macCheck()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(AddressCheck::isMacAddress(text), valid);
    }

    void firstInvalidFieldInOrder()
    {
        using AddressCheck::Field;
        NetworkFields fields =
            typed(QStringLiteral("aa:bb:cc:dd:ee:ff"), QStringLiteral("10.0.0.2"),
                  QStringLiteral("255.0.0.0"), QStringLiteral("10.0.0.1"), true);
        QCOMPARE(AddressCheck::firstInvalidField(fields), Field::None);
        fields.gateway.clear(); // checked also while DHCP is on
        QCOMPARE(AddressCheck::firstInvalidField(fields), Field::Gateway);
        fields.mask = QStringLiteral("255.0.0");
        QCOMPARE(AddressCheck::firstInvalidField(fields), Field::Mask);
        fields.ip = QStringLiteral("1.2.3.4.5");
        QCOMPARE(AddressCheck::firstInvalidField(fields), Field::Ip);
        fields.mac = QStringLiteral("aa:bb:cc:dd:ee");
        QCOMPARE(AddressCheck::firstInvalidField(fields), Field::Mac);
    }

    void pageTextDropsNulsAndLineFeeds()
    {
        const QByteArray body("va\0lue=\"1\"\r\n<b>\xe9</b>\n", 21);
        QCOMPARE(NetworkPage::pageText(body), QStringLiteral("value=\"1\"\r<b>\u00e9</b>"));
    }

    void pageFillsAddressesAndDhcp()
    {
        NetworkPage::Content content = NetworkPage::parse(
            page(QStringLiteral("00:1b:c5:a:0b:0c"),
                 QStringLiteral("<input type=\"checkbox\" name=\"dhcp\" value=\"1\"CHECKED/>")));
        QVERIFY(content.hasAddresses);
        QCOMPARE(content.fields.mac, QStringLiteral("00:1b:c5:a:0b:0c"));
        QCOMPARE(content.fields.ip, QStringLiteral("10.0.0.61"));
        QCOMPARE(content.fields.mask, QStringLiteral("255.255.255.0"));
        QCOMPARE(content.fields.gateway, QStringLiteral("10.0.0.254"));
        QVERIFY(content.hasDhcp);
        QVERIFY(content.fields.dhcp);

        content = NetworkPage::parse(
            page(QStringLiteral("00:1b:c5:0a:0b:0c"),
                 QStringLiteral("<input type=\"checkbox\" name=\"dhcp\" value=\"1\"/>")));
        QVERIFY(content.hasDhcp);
        QVERIFY(!content.fields.dhcp);
    }

    // The page is read as it always was: only lower-case MAC digits, the
    // check box exactly as written, and the line feeds already gone.
    void pageThatDoesNotMatch()
    {
        NetworkPage::Content content = NetworkPage::parse(
            page(QStringLiteral("00:1B:C5:0A:0B:0C"),
                 QStringLiteral("<input type=\"checkbox\" name=\"dhcp\" value=\"1\" CHECKED/>")));
        QVERIFY(!content.hasAddresses);
        QVERIFY(!content.hasDhcp);

        content = NetworkPage::parse(
            NetworkPage::pageText("<input value=\"aa:bb:cc:dd:ee:ff\">\n<input value=\"1.2.3.4\">\n"
                                  "<input value=\"5.6.7.8\">\n<input value=\"9.10.11.12\">"));
        QVERIFY(content.hasAddresses);
        QCOMPARE(content.fields.gateway, QStringLiteral("9.10.11.12"));
    }

    // The dots between the digit groups match any character, as the
    // instrument's pages were always read.
    void addressDotsAreAnyCharacter()
    {
        const NetworkPage::Content content =
            NetworkPage::parse(QStringLiteral("value=\"0:1:2:3:4:5\" value=\"10-0-0-1\" "
                                              "value=\"255 255 0 0\" value=\"10x0x0x9\""));
        QVERIFY(content.hasAddresses);
        QCOMPARE(content.fields.ip, QStringLiteral("10-0-0-1"));
        QCOMPARE(content.fields.gateway, QStringLiteral("10x0x0x9"));
    }

    // Only the page's beginning is searched: a page of MAC-like values alone
    // would otherwise take QRegExp tens of seconds.
    void searchIsBounded()
    {
        QString text = QStringLiteral("value=\"aa:bb:cc:dd:ee:ff\"");
        while (text.size() < 256 * 1024)
            text += QStringLiteral(" value=\"aa:bb:cc:dd:ee:ff\"");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!NetworkPage::parse(text).hasAddresses);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

        const QString addresses =
            QStringLiteral(" value=\"1.2.3.4\" value=\"5.6.7.8\" value=\"9.10.11.12\"");
        QString padded = QStringLiteral("value=\"aa:bb:cc:dd:ee:ff\"");
        padded += QString(NetworkPage::MaxPageLength - padded.size() - addresses.size(),
                          QLatin1Char(' '));
        QVERIFY(NetworkPage::parse(padded + addresses).hasAddresses);
        QVERIFY(!NetworkPage::parse(padded + QLatin1Char(' ') + addresses).hasAddresses);
    }

    void writePathCarriesTextsAsTyped()
    {
        NetworkFields fields =
            typed(QStringLiteral("AA:bb:0:dd:ee:ff"), QStringLiteral("10.0.0.62"),
                  QStringLiteral("255.255.255.0"), QStringLiteral("010.000.000.001"), true);
        QCOMPARE(NetworkPage::writePath(fields),
                 QStringLiteral("/network.shtml?mac=AA:bb:0:dd:ee:ff&dhcp=1&ip=10.0.0.62"
                                "&netmask=255.255.255.0&gw=010.000.000.001"));
        fields.dhcp = false;
        fields.mac = QStringLiteral("%2%3");
        QCOMPARE(NetworkPage::writePath(fields),
                 QStringLiteral("/network.shtml?mac=%2%3&dhcp=0&ip=10.0.0.62"
                                "&netmask=255.255.255.0&gw=010.000.000.001"));
    }
};

DXU_TEST_MAIN(NetworkConfigTest)
#include "tst_network_config.moc"
