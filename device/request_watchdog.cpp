#include "device/request_watchdog.h"

#include "device/http_client.h"

RequestWatchdog::RequestWatchdog(int waitMs, QObject *parent) : QObject(parent), waitMs(waitMs)
{
    connect(&timer, &QTimer::timeout, this, &RequestWatchdog::expire);
}

void RequestWatchdog::watch(HttpClient *watched)
{
    release();
    client = watched;
    if (!watched)
        return;
    connect(watched, &HttpClient::requestStarted, this, &RequestWatchdog::start);
    connect(watched, &HttpClient::done, this, &RequestWatchdog::stop);
}

void RequestWatchdog::release()
{
    timer.stop();
    if (client)
        client->disconnect(this);
    client = nullptr;
}

void RequestWatchdog::setPatience(std::function<bool()> leaveAlone)
{
    patience = std::move(leaveAlone);
}

bool RequestWatchdog::isRunning() const { return timer.isActive(); }

bool RequestWatchdog::gaveUp() const { return aborted; }

void RequestWatchdog::start()
{
    aborted = false;
    timer.start(waitMs);
}

void RequestWatchdog::stop() { timer.stop(); }

void RequestWatchdog::expire()
{
    if (patience && patience())
        return; // the timer keeps running: asked again at the next time-out
    // Stopped before the abort: the failure handler the abort calls may open
    // a box, and its event loop must not see a second time-out.
    timer.stop();
    aborted = client != nullptr;
    if (client)
        client->abort();
    emit gaveUpRequest();
}
