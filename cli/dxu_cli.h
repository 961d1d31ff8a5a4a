#pragma once

#include <QStringList>

class QTextStream;

namespace CliExit {
constexpr int Ok = 0;     // every transfer and reply succeeded
constexpr int Failed = 1; // the instrument did not answer, a transfer failed, a reply was wrong
constexpr int Usage = 2;  // the command line cannot be carried out
} // namespace CliExit

// One call of dxu-cli: `arguments` as the program receives them (the first
// is the program's name). Results go to `out`, the reason for a failure or
// usage error to `err`. Runs inside a Qt core application: the Ethernet link
// waits for its replies in local event loops.
int runDxuCli(const QStringList &arguments, QTextStream &out, QTextStream &err);
