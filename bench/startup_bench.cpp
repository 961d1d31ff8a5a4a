// Start-up and idle cost of the panel beside a bare Qt window with a menu and
// a button and beside the panel's form alone (its .ui in a plain main window,
// none of the panel's code), all started as fresh processes in the same run,
// in turn:
// - start to first paint: from spawning the process to the end of its
//   window's first paint (median of the runs);
// - the CPU time the process used by then (median; load on a shared machine
//   stretches the wall time far more than this);
// - resident memory then (median);
// - idle CPU: the share of one core each process uses while its window
//   stands shown with nothing to do (no instrument connected).
// dxu-startup-bench [runs] [idle seconds]   (default 15 runs, 20 s)
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

qint64 monotonicNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QStringList runProbe(const QString &program, const QStringList &extra)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    static QTemporaryDir configHome; // the panel reads its store: keep the user's out of it
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.path());
    child.setProcessEnvironment(env);
    child.start(program,
                QStringList{QStringLiteral("probe"), QString::number(monotonicNs())} + extra);
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(1);
    }
    return QString::fromLatin1(child.readAllStandardOutput().trimmed()).split(u' ');
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 15;
    const int idleSeconds = argc > 2 ? qMax(1, QByteArray(argv[2]).toInt()) : 20;
    const QString dir = QCoreApplication::applicationDirPath();
    enum { Bare, Panel, Form, Programs };
    const QString programs[Programs] = {dir + QStringLiteral("/dxu-bare-window-probe"),
                                        dir + QStringLiteral("/dxu-panel-probe"),
                                        dir + QStringLiteral("/dxu-form-probe")};
    std::vector<double> ms[Programs], kib[Programs], cpuMs[Programs];
    for (int i = 0; i < runs; ++i)
        for (int p = 0; p < Programs; ++p) {
            const QStringList out = runProbe(programs[p], {});
            ms[p].push_back(out.value(0).toDouble());
            kib[p].push_back(out.value(1).toDouble());
            cpuMs[p].push_back(out.value(2).toDouble());
        }
    double idle[Programs] = {};
    for (int p : {Bare, Panel})
        idle[p] = runProbe(programs[p], {QString::number(idleSeconds)}).value(0).toDouble();

    std::printf("platform %s, %d runs each, in turn\n", qgetenv("QT_QPA_PLATFORM").constData(),
                runs);
    std::printf("%-34s %12s %12s %8s %12s %8s\n", "", "panel", "bare window", "ratio", "form alone",
                "ratio");
    // The second ratio is the form's own against the bare window: what the
    // window's content costs before any of the panel's code runs.
    const auto row = [](const char *label, const std::vector<double> *v, double scale,
                        const char *unit) {
        const double panel = median(v[Panel]) / scale, bare = median(v[Bare]) / scale,
                     form = median(v[Form]) / scale;
        std::printf("%-34s %9.1f %-3s %8.1f %-3s %7.2fx %8.1f %-3s %7.2fx\n", label, panel, unit,
                    bare, unit, panel / bare, form, unit, form / bare);
    };
    row("start to first paint (median)", ms, 1, "ms");
    row("CPU time to first paint (median)", cpuMs, 1, "ms");
    row("resident memory (median)", kib, 1024, "MiB");
    std::printf("%-34s %10.3f %% %10.3f %%   (of one core over %d s)\n", "idle CPU, window shown",
                idle[Panel], idle[Bare], idleSeconds);
    return 0;
}
