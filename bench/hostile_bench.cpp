// Every case of the hostile web server against the HTTP client: how the
// command ends (the client's error text, or what it took for a reply), how
// long it took, how much the resident memory grew while it ran, the longest
// time the event loop was blocked, and how many requests reached the server.
// dxu-hostile-bench [transfer time-out in ms, default 5000]
#include "device/http_client.h"
#include "sim/hostile_web_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 where missing.
qint64 statusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int timeoutMs = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    HostileWebServer server(HostileWebServer::EndlessBody);
    if (!server.start(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("transfer time-out %d ms; 127.0.0.1:%d\n", timeoutMs, server.serverPort());
    std::printf("%-27s %-40s %8s %9s %9s %5s\n", "case", "outcome", "end ms", "+RSS kB", "stall ms",
                "reqs");
    for (HostileWebServer::Behaviour behaviour : HostileWebServer::allBehaviours()) {
        server.setBehaviour(behaviour);
        const int requestsBefore = int(server.requestLines().size());
        HttpClient client;
        client.setTransferTimeout(timeoutMs);
        const qint64 rssBefore = statusKb("VmRSS");
        qint64 rssPeak = rssBefore, stallMs = 0;
        QElapsedTimer sinceTick, clock;
        QTimer ticker; // a blocked event loop shows as a late tick
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            stallMs = qMax(stallMs, sinceTick.restart());
            rssPeak = qMax(rssPeak, statusKb("VmRSS"));
        });
        QEventLoop loop;
        QString outcome;
        QObject::connect(&client, &HttpClient::done, [&](bool error) {
            outcome = error ? client.errorString()
                            : QStringLiteral("COMPLETED: status %1, %2 bytes")
                                  .arg(client.statusCode())
                                  .arg(client.readAll().size());
            loop.quit();
        });
        clock.start();
        sinceTick.start();
        ticker.start(10);
        client.setHost(QStringLiteral("127.0.0.1"), server.serverPort());
        client.get(QStringLiteral("/sg_hr_setup2.shtml"));
        loop.exec();
        const qint64 endMs = clock.elapsed();
        QElapsedTimer settle; // let a repeated request arrive, and time the release
        settle.start();
        while (settle.elapsed() < 300)
            app.processEvents(QEventLoop::AllEvents, 10);
        stallMs = qMax(stallMs, sinceTick.elapsed());
        std::printf("%-27s %-40s %8lld %9lld %9lld %5lld\n",
                    qPrintable(HostileWebServer::name(behaviour)), qPrintable(outcome),
                    static_cast<long long>(endMs), static_cast<long long>(rssPeak - rssBefore),
                    static_cast<long long>(stallMs),
                    static_cast<long long>(server.requestLines().size() - requestsBefore));
    }
    std::printf("peak resident memory of the process (VmHWM): %lld kB\n",
                static_cast<long long>(statusKb("VmHWM")));
    return 0;
}
