#pragma once

#include <QObject>
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
// stay as they are.
class WaitFeedback : public QObject
{
public:
    WaitFeedback(HttpClient *client, QStatusBar *statusBar, std::function<QString()> waitingText,
                 QObject *parent);
    ~WaitFeedback() override;

    // How long a request runs before the cursor says the panel waits.
    static constexpr int BusyCursorDelayMs = 300;

private:
    void requestStarted();
    void requestEnded();
    void showBusyCursor();
    void restoreCursor();

    QStatusBar *statusBar;
    std::function<QString()> waitingText;
    QTimer busyDelay;
    bool busyCursorShown = false;
    QString shownText;
};
