#pragma once

// Shared by the two programs dxu-startup-bench starts: the panel and a bare
// Qt window. Each prints, on one line, the time from its start (the spawn
// time the bench passes as argv[2], in ns of CLOCK_MONOTONIC) to the end of
// its window's first paint, its resident memory and the CPU time it used by
// then (the figure that load on a shared machine disturbs least); or, given
// "idle",
// the share of one core the process used while its window stood shown.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace StartupProbe {

inline qint64 nowNs(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Reports once the window's first paint has been delivered and the event
// loop is back (the paint of every child and the flush belong to it).
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget *window, int argc, char *argv[]) : window(window)
    {
        spawnNs = argc > 2 ? QByteArray(argv[2]).toLongLong() : nowNs(CLOCK_MONOTONIC);
        idleSeconds = argc > 3 ? QByteArray(argv[3]).toInt() : 0;
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window && event->type() == QEvent::Paint && !painted) {
            painted = true;
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    void report()
    {
        if (idleSeconds <= 0) {
            std::printf("%.3f %ld %.3f\n", (nowNs(CLOCK_MONOTONIC) - spawnNs) / 1e6, residentKiB(),
                        nowNs(CLOCK_PROCESS_CPUTIME_ID) / 1e6);
            std::fflush(stdout);
            QCoreApplication::quit();
            return;
        }
        // Let start-up settle, then measure the process's own CPU time.
        QTimer::singleShot(1000, this, [this] {
            const qint64 cpu0 = nowNs(CLOCK_PROCESS_CPUTIME_ID), wall0 = nowNs(CLOCK_MONOTONIC);
            QTimer::singleShot(idleSeconds * 1000, this, [this, cpu0, wall0] {
                const double cpu = double(nowNs(CLOCK_PROCESS_CPUTIME_ID) - cpu0);
                const double wall = double(nowNs(CLOCK_MONOTONIC) - wall0);
                std::printf("%.4f\n", 100.0 * cpu / wall);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        });
    }

    QWidget *window;
    qint64 spawnNs = 0;
    int idleSeconds = 0;
    bool painted = false;
};

} // namespace StartupProbe
