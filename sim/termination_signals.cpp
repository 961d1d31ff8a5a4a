#include "sim/termination_signals.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#ifdef Q_OS_UNIX
namespace {
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}
} // namespace

// SIGINT and SIGTERM end the event loop from the loop itself: the handler
// only writes a byte into a pipe that the loop watches.
void quitOnTerminationSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
#elif defined(Q_OS_WIN)
namespace {
BOOL WINAPI onConsoleEvent(DWORD)
{
    // Runs on a thread of its own: hand the quit to the event loop.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

void quitOnTerminationSignals(QCoreApplication &) { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }
#else
void quitOnTerminationSignals(QCoreApplication &) {}
#endif
