// Start-up of the panel: time from entering main() to the main window being
// shown and exposed, and the resident memory then. Prints the median of the
// runs it is given (default 5), each in a fresh process, and the largest
// resident set: dxu-startup-bench [runs]
#include "app/dxu_gui.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// One start in this process: prints "<ms> <KiB>".
int measureOnce(int argc, char *argv[], const QElapsedTimer &sinceMain)
{
    QApplication app(argc, argv);
    dxu_gui window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    const qint64 ms = sinceMain.nsecsElapsed() / 1000;
    std::printf("%lld %ld\n", static_cast<long long>(ms), residentKiB());
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    Q_INIT_RESOURCE(dxu);
    if (argc > 1 && qstrcmp(argv[1], "--once") == 0)
        return measureOnce(argc, argv, sinceMain);

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 5;
    QTemporaryDir configHome; // the panel reads its store: keep the user's out of it
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.path());
    std::vector<double> times;
    long maxRss = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--once")});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            std::fprintf(stderr, "run %d failed\n", i);
            return 1;
        }
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        times.push_back(fields.value(0).toDouble() / 1000.0);
        maxRss = std::max(maxRss, fields.value(1).toLong());
    }
    std::sort(times.begin(), times.end());
    std::printf("platform %s, %d runs\n", qgetenv("QT_QPA_PLATFORM").constData(), runs);
    std::printf("start-up to window exposed: median %.1f ms (min %.1f, max %.1f)\n",
                times[times.size() / 2], times.front(), times.back());
    std::printf("resident memory with the window shown: %.1f MiB\n", maxRss / 1024.0);
    return 0;
}
