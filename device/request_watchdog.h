#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class HttpClient;

// Gives up a request that does not answer in time. It watches one HTTP
// client: every command the client starts (host selection included)
// restarts the wait, the end of the client's batch stops it. When the wait
// runs out, the client is aborted (which ends its batch with done(true))
// and gaveUpRequest() follows; a patience rule, asked at each time-out, may
// leave the request alone instead, and the wait then runs again.
class RequestWatchdog : public QObject
{
    Q_OBJECT
public:
    explicit RequestWatchdog(int waitMs, QObject *parent = nullptr);

    // Watches this client from now on; one watched before is let go.
    void watch(HttpClient *client);
    // Stops the wait and lets the watched client go: a later time-out aborts
    // nothing.
    void release();
    // The rule answers true when a slow request had better be left to the
    // client's own errors.
    void setPatience(std::function<bool()> leaveAlone);

    bool isRunning() const;
    // The wait of the request timed last ran out and the client was aborted.
    bool gaveUp() const;

public slots:
    void start();
    void stop();
    // The wait has run out: abort the watched client unless patience says not.
    void expire();

signals:
    // After the abort of a request that did not answer in time.
    void gaveUpRequest();

private:
    QTimer timer;
    int waitMs;
    QPointer<HttpClient> client;
    std::function<bool()> patience;
    bool aborted = false;
};
