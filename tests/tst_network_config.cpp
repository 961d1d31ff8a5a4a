// The network page patterns on pages the simulated instrument never serves.
#include "network/network_page.h"
#include "support/test_support.h"

#include "sim/dxu_sim_pages.h"

class NetworkConfigTest : public QObject
{
    Q_OBJECT

private slots:
    // The page is read as it always was: only lower-case MAC digits, and the
    // check box exactly as written. A page that does not match sets nothing.
    void upperCasePageSetsNothing()
    {
        const QString page = QStringLiteral(
            "<input name=\"mac\" value=\"%1\">\n<input name=\"ip\" value=\"10.0.0.61\">\n"
            "<input name=\"netmask\" value=\"255.255.255.0\">\n<input name=\"gw\" "
            "value=\"10.0.0.254\">\n<input type=\"checkbox\" name=\"dhcp\" value=\"1\"%2/>");
        NetworkPage::Content content =
            NetworkPage::parse(page.arg(QStringLiteral("00:1b:c5:0a:0b:0c"), "CHECKED"));
        QVERIFY(content.hasAddresses && content.hasDhcp && content.fields.dhcp);
        content = NetworkPage::parse(page.arg(QStringLiteral("00:1B:C5:0A:0B:0C"), " CHECKED"));
        QVERIFY(!content.hasAddresses);
        QVERIFY(!content.hasDhcp);
    }

    // Only the page's first 16 KB are searched.
    void searchIsBounded()
    {
        const QString page = QString::fromLatin1(networkPage(DxuSimNetwork()));
        QVERIFY(NetworkPage::parse(page).hasAddresses);
        const QString late = QString(NetworkPage::MaxPageLength - 50, u' ') + page;
        QVERIFY(!NetworkPage::parse(late).hasAddresses);
    }
};

DXU_TEST_MAIN(NetworkConfigTest)
#include "tst_network_config.moc"
