// Start-up and idle cost of the panel beside a bare Qt window with a menu and
// a button, both started as fresh processes in the same run, alternately:
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
    const QString programs[2] = {dir + QStringLiteral("/dxu-bare-window-probe"),
                                 dir + QStringLiteral("/dxu-panel-probe")};
    std::vector<double> ms[2], kib[2], cpuMs[2];
    for (int i = 0; i < runs; ++i)
        for (int p = 0; p < 2; ++p) {
            const QStringList out = runProbe(programs[p], {});
            ms[p].push_back(out.value(0).toDouble());
            kib[p].push_back(out.value(1).toDouble());
            cpuMs[p].push_back(out.value(2).toDouble());
        }
    double idle[2];
    for (int p = 0; p < 2; ++p)
        idle[p] = runProbe(programs[p], {QString::number(idleSeconds)}).value(0).toDouble();

    std::printf("platform %s, %d runs each, alternating\n", qgetenv("QT_QPA_PLATFORM").constData(),
                runs);
    std::printf("%-34s %12s %12s %8s\n", "", "panel", "bare window", "ratio");
    std::printf("%-34s %9.1f ms %9.1f ms %7.2fx\n", "start to first paint (median)", median(ms[1]),
                median(ms[0]), median(ms[1]) / median(ms[0]));
    std::printf("%-34s %9.1f ms %9.1f ms %7.2fx\n", "CPU time to first paint (median)",
                median(cpuMs[1]), median(cpuMs[0]), median(cpuMs[1]) / median(cpuMs[0]));
    std::printf("%-34s %8.1f MiB %8.1f MiB %7.2fx\n", "resident memory (median)",
                median(kib[1]) / 1024, median(kib[0]) / 1024, median(kib[1]) / median(kib[0]));
    std::printf("%-34s %10.3f %% %10.3f %%   (of one core over %d s)\n", "idle CPU, window shown",
                idle[1], idle[0], idleSeconds);
    return 0;
}
