// The linear matchers of the setup and network pages against the patterns on
// QRegExp, over generated pages (a slice of what dxu-parse-bench
// --differential runs by the million).
#include "support/test_support.h"

#include "page_generator.h"
#include "page_patterns_reference.h"

class PagePatternsTest : public QObject
{
    Q_OBJECT

private slots:
    void matchersAgreeWithQRegExp()
    {
        PageGenerator pages(20261207);
        int settingsFound = 0;
        for (int i = 0; i < 4000; ++i) {
            const QString page = i % 1000 == 999 ? pages.large(8 * 1024) : pages.next();
            const QString difference = PagePatternsReference::difference(page);
            QVERIFY2(difference.isEmpty(), qPrintable(difference + page));
            settingsFound += SetupPagePatterns::matchSettings(page).has_value();
        }
        QVERIFY(settingsFound > 100); // the slice reaches the interesting cases
    }

    // Behind the page functions: the network page is searched in its first
    // 16 KB only, the setup page refused beyond 64 KB.
    void pageFunctionsBoundTheText()
    {
        const QString addresses = QString::fromLatin1(networkPage(DxuSimNetwork()));
        QVERIFY(NetworkPage::parse(addresses).hasAddresses);
        const QString late = QString(NetworkPage::MaxPageLength - 50, u' ') + addresses;
        QVERIFY(!NetworkPage::parse(late).hasAddresses);
    }
};

DXU_TEST_MAIN(PagePatternsTest)
#include "tst_page_patterns.moc"
