#pragma once

class QCoreApplication;

// SIGINT and SIGTERM (a console's Ctrl+C or close on Windows) end the event
// loop of `app` from the loop itself, so that a server program shuts down
// cleanly: dxu-sim and dxu-scpi.
void quitOnTerminationSignals(QCoreApplication &app);
