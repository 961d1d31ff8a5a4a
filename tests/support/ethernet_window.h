#pragma once

// Drives the main window's Ethernet link the way the operator does: the
// Connection menu's Ethernet entry and the address dialog that follows.

#include "support/input_dialogs.h"

#include <QAction>
#include <QLabel>
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

inline bool labelShowsInstrument(QWidget &window)
{
    const QString text = connectionLabel(window);
    return text.endsWith(QLatin1String(" (DXU2)")) || text.endsWith(QLatin1String(" (DXU3)"));
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
    return QTest::qWaitFor([&] { return labelShowsInstrument(window); }, timeoutMs);
}

// Closes the link through the same menu entry.
inline void disconnectEthernet(QWidget &window)
{
    QAction *ethernet = action(window, "actionEthernet");
    if (ethernet->isChecked())
        ethernet->trigger();
}

} // namespace EthernetWindow
