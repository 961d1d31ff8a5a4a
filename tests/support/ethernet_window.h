#pragma once

// Drives the main window's Ethernet link the way the operator does: the
// Connection menu's Ethernet entry and the address dialog that follows.

#include "device/http_client.h"
#include "support/input_dialogs.h"

#include <QAction>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <optional>

namespace EthernetWindow {

inline QAction *action(QWidget &window, const char *name)
{
    return window.findChild<QAction *>(QLatin1String(name));
}

inline QString connectionLabel(QWidget &window)
{
    return window.findChild<QLabel *>(QStringLiteral("dev_status"))->text();
}

// Chooses Connection → Ethernet and answers the address dialog with the
// address (std::nullopt cancels it). Returns the dialog as it was shown.
inline SeenInputDialog chooseEthernet(QWidget &window, const std::optional<QString> &address)
{
    InputDialogAnswerer answers({address});
    action(window, "actionEthernet")->trigger();
    return answers.last();
}

// chooseEthernet, then waits until the instrument's first page is applied.
inline bool connectTo(QWidget &window, const QString &address, int timeoutMs = 10000)
{
    chooseEthernet(window, address);
    const QRegularExpression instrument(QStringLiteral(" \\(DXU[23]\\)$"));
    return QTest::qWaitFor([&] { return connectionLabel(window).contains(instrument); }, timeoutMs);
}

// Waits until the window's HTTP client has ended its batch of requests.
inline bool batchEnded(QWidget &window)
{
    const HttpClient *client = window.findChild<HttpClient *>();
    return QTest::qWaitFor([client] { return client->currentId() == 0; }, 10000);
}

// Closes the link through the same menu entry.
inline void disconnectEthernet(QWidget &window)
{
    if (action(window, "actionEthernet")->isChecked())
        action(window, "actionEthernet")->trigger();
}

} // namespace EthernetWindow
