#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class HttpClient;
class QStatusBar;

// Lets the operator see that the panel waits for the instrument: a busy
// cursor while a request takes longer than a moment, and, while the text
// function gives one (a connection being probed), a status message from the
// start of the request. The message is taken down at the end only if it is
// still shown, so the replies' own messages ("Command applied", "Error")
// stay as they are. A request can also end without a word (an abort with
// the client's signals blocked, as when the operator closes the link): while
// one runs the client is looked at regularly, and the feedback ends as soon
// as it has nothing left to do.
class WaitFeedback : public QObject
{
public:
    WaitFeedback(HttpClient *client, QStatusBar *statusBar, std::function<QString()> waitingText,
                 QObject *parent);
    ~WaitFeedback() override;

    // How long a request runs before the cursor says the panel waits.
    static constexpr int BusyCursorDelayMs = 300;
    // How often a running request is checked for a silent end.
    static constexpr int IdleCheckMs = 100;

private:
    void requestStarted();
    void requestEnded();
    void showBusyCursor();
    void restoreCursor();

    void endIfIdle();

    QPointer<HttpClient> client;
    QStatusBar *statusBar;
    std::function<QString()> waitingText;
    QTimer busyDelay;
    QTimer idleCheck;
    bool busyCursorShown = false;
    QString shownText;
};
