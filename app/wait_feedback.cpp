#include "app/wait_feedback.h"

#include "device/http_client.h"

#include <QApplication>
#include <QStatusBar>

WaitFeedback::WaitFeedback(HttpClient *client, QStatusBar *statusBar,
                           std::function<QString()> waitingText, QObject *parent)
    : QObject(parent), client(client), statusBar(statusBar), waitingText(std::move(waitingText))
{
    busyDelay.setSingleShot(true);
    busyDelay.setInterval(BusyCursorDelayMs);
    connect(&busyDelay, &QTimer::timeout, this, &WaitFeedback::showBusyCursor);
    idleCheck.setInterval(IdleCheckMs);
    connect(&idleCheck, &QTimer::timeout, this, &WaitFeedback::endIfIdle);
    // requestFinished comes before done(), so the reply handler's boxes and
    // messages find the cursor and the status bar as they were.
    connect(client, &HttpClient::requestStarted, this, &WaitFeedback::requestStarted);
    connect(client, &HttpClient::requestFinished, this, &WaitFeedback::requestEnded);
}

WaitFeedback::~WaitFeedback() { restoreCursor(); }

void WaitFeedback::requestStarted()
{
    if (!busyCursorShown)
        busyDelay.start();
    idleCheck.start();
    const QString text = waitingText();
    if (!text.isEmpty() && statusBar->currentMessage() != text)
        statusBar->showMessage(text);
    shownText = text;
}

void WaitFeedback::requestEnded()
{
    busyDelay.stop();
    idleCheck.stop();
    restoreCursor();
    if (!shownText.isEmpty() && statusBar->currentMessage() == shownText)
        statusBar->clearMessage();
    shownText.clear();
}

void WaitFeedback::endIfIdle()
{
    if (!client || client->currentId() == 0)
        requestEnded();
}

void WaitFeedback::showBusyCursor()
{
    QApplication::setOverrideCursor(Qt::BusyCursor);
    busyCursorShown = true;
}

void WaitFeedback::restoreCursor()
{
    if (!busyCursorShown)
        return;
    QApplication::restoreOverrideCursor();
    busyCursorShown = false;
}
