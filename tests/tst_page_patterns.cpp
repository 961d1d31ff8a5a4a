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
        for (int i = 0; i < 3000; ++i) {
            const QString page = i % 1000 == 999 ? pages.large(4 * 1024) : pages.next();
            const QString difference = PagePatternsReference::difference(page);
            QVERIFY2(difference.isEmpty(), qPrintable(difference + page));
            settingsFound += SetupPagePatterns::matchSettings(page).has_value();
        }
        QVERIFY(settingsFound > 100); // the slice reaches the interesting cases
    }
};

DXU_TEST_MAIN(PagePatternsTest)
#include "tst_page_patterns.moc"
