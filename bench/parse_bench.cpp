// Prints how long the setup page parser takes (median of repeated runs) on
// the simulated instrument's page, on that page padded to the 64 KB the HTTP
// client accepts, and on padded pages that almost match the settings pattern
// (the doubled quote after the second value missing), which made the pattern
// engine try every numeric value attribute before it gave up. Each figure
// stands beside the same page's time on the patterns run by QRegExp; times
// are CPU time of the parsing thread, median of repeated runs.
//
// dxu-parse-bench --differential N [SEED] instead compares the matchers with
// QRegExp on N generated pages and prints every page where they differ.
#include "device/setup_page_parser.h"
#include "page_generator.h"
#include "page_patterns_reference.h"
#include "sim/dxu_sim_pages.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

DxuSimState realisticState()
{
    DxuSimState s;
    s.ts1 = 2;
    s.ts2 = 1;
    s.p1 = 1.5;
    s.p2 = 1234.57;
    s.pn1 = 16;
    s.pn2 = 1;
    s.ch1_st1 = 0.00002;
    s.ch1_et1 = 0.10002;
    s.ch2_st1 = 0.25;
    s.ch2_et1 = 0.75;
    s.ch1_st2 = 12.5;
    s.ch1_et2 = 212.5;
    s.ch2_et2 = 0.00004;
    s.freq1 = 1;
    s.freq2 = 3;
    s.thresholdVolts = 2.5;
    return s;
}

// Table rows of the kind the instrument's page has, each with two numeric
// value attributes, inserted at `where` until the page is exactly `size`
// bytes long (the remainder is filled with a comment).
QByteArray padded(QByteArray page, const QByteArray &where, int size)
{
    QByteArray rows;
    const int room = size - page.size();
    for (int n = 0;; ++n) {
        const QByteArray row =
            QStringLiteral("<tr><TD>Reserved %1</TD><TD><input type=\"text\" size=\"10\" "
                           "name=\"r%1a\" value=\"%2\"></TD><TD><input type=\"text\" size=\"10\" "
                           "name=\"r%1b\" value=\"%3\"></TD></tr>\n")
                .arg(n)
                .arg(n * 0.125 + 0.5)
                .arg(1000 + n)
                .toLatin1();
        if (rows.size() + row.size() + 8 > room)
            break;
        rows += row;
    }
    rows += "<!--" + QByteArray(room - rows.size() - 8, ' ') + "-->";
    rows += '\n';
    page.insert(page.indexOf(where), rows);
    return page;
}

// The densest filler: bare numeric value attributes, nothing else.
QByteArray denseValues(QByteArray page, int size)
{
    QByteArray values;
    const QByteArray one = "<i value=\"7\">";
    while (page.size() + values.size() + one.size() <= size)
        values += one;
    values += QByteArray(size - page.size() - values.size(), ' ');
    page.insert(page.indexOf("</table>"), values);
    return page;
}

QByteArray withoutDoubledQuote(QByteArray page)
{
    const int at = page.indexOf("\"\">");
    page.remove(at, 1);
    return page;
}

// What the panel did before: NUL bytes and line feeds removed, then every
// setup page pattern on QRegExp.
bool parseWithQRegExp(const QString &text)
{
    using namespace PagePatternsReference;
    const bool found = search(SettingsPattern, text).has_value();
    for (const char *select : SelectPatterns)
        search(select, text);
    search(Model3Marker, text);
    return found;
}

bool parseWithMatcher(const QString &text) { return parseSetupPage(text).timing.has_value(); }

// The thread's CPU time: on a machine shared with other work the wall time
// of the same run varies tenfold, this hardly.
qint64 threadCpuNs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Timing
{
    double medianMs;
    bool settingsFound;
};

Timing measure(const QByteArray &body, int runs, bool (*parse)(const QString &))
{
    std::vector<double> times;
    bool found = false;
    for (int i = 0; i < runs; ++i) {
        const qint64 start = threadCpuNs();
        QByteArray stored = body;
        removeNulBytes(stored);
        const QString text = setupPageText(stored);
        // The bound applies to both, as it always did.
        found = text.size() <= MaxSetupPageLength && parse(text);
        times.push_back((threadCpuNs() - start) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], found};
}

void report(const char *name, const QByteArray &body, int runs, int referenceRuns)
{
    const Timing t = measure(body, runs, parseWithMatcher);
    const Timing r = measure(body, referenceRuns, parseWithQRegExp);
    std::printf("%-44s %6d B %9.4f ms  QRegExp %10.3f ms  %8.0fx  (median of %d / %d; "
                "settings %s%s)\n",
                name, int(body.size()), t.medianMs, r.medianMs, r.medianMs / t.medianMs, runs,
                referenceRuns, t.settingsFound ? "found" : "not found",
                t.settingsFound == r.settingsFound ? "" : ", QRegExp DIFFERS");
}

int differential(qint64 pages, quint64 seed)
{
    PageGenerator generator(seed);
    qint64 differing = 0, settingsFound = 0, addressesFound = 0;
    QElapsedTimer clock;
    clock.start();
    for (qint64 i = 0; i < pages; ++i) {
        // Every 20000th page is a large padded one (QRegExp takes up to a
        // second on those); the rest are small.
        const QString page = i % 20000 == 19999 ? generator.large(1024 * (1 + int(i / 20000 % 64)))
                                                : generator.next();
        const QString difference = PagePatternsReference::difference(page);
        if (!difference.isEmpty()) {
            ++differing;
            std::printf("page %lld differs:\n%s%s\n", static_cast<long long>(i),
                        qPrintable(difference), qPrintable(page));
        }
        settingsFound += SetupPagePatterns::matchSettings(page).has_value();
        addressesFound += NetworkPagePatterns::matchAddresses(page).has_value();
    }
    std::printf("%lld pages (seed %llu) in %.0f s: %lld differ; the settings pattern matched "
                "%lld, the addresses pattern %lld\n",
                static_cast<long long>(pages), static_cast<unsigned long long>(seed),
                clock.elapsed() / 1000.0, static_cast<long long>(differing),
                static_cast<long long>(settingsFound), static_cast<long long>(addressesFound));
    return differing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--differential") == 0)
        return differential(QByteArray(argv[2]).toLongLong(),
                            argc > 3 ? QByteArray(argv[3]).toULongLong() : 1);

    const int bound = MaxSetupPageLength;
    const QByteArray page = setupPage(realisticState(), 3);
    const QByteArray nearMiss = withoutDoubledQuote(page);

    report("simulator's setup page", page, 1001, 101);
    report("simulator's page, no doubled quote", nearMiss, 1001, 101);
    report("64 KB page, padding after the fields", padded(page, "</table>", bound), 101, 11);
    report("64 KB page, padding before the fields", padded(page, "<tr><TD>Period", bound), 101, 11);
    report("64 KB near miss, padding after the fields", padded(nearMiss, "</table>", bound), 101,
           5);
    report("64 KB near miss, padding before the fields", padded(nearMiss, "<tr><TD>Period", bound),
           101, 5);
    for (int kb : {8, 16, 32}) {
        const QByteArray name =
            "near miss, dense value attributes, " + QByteArray::number(kb) + " KB";
        report(name.constData(), denseValues(nearMiss, kb * 1024), 101, 3);
    }
    report("64 KB near miss, dense value attributes", denseValues(nearMiss, bound), 101, 1);
    QByteArray overBound = padded(nearMiss, "</table>", bound + 1);
    overBound.replace('\n', ' '); // line feeds do not count towards the bound
    report("64 KB + 1 near miss (refused unread)", overBound, 101, 11);
    return 0;
}
