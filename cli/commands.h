#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

enum class CliLink { None, Usb, Ethernet };

// One call of dxu-cli as its command line gives it.
struct CliOptions
{
    CliLink link = CliLink::None;
    QString address;      // canonical IPv4 address, for CliLink::Ethernet
    int timeoutMs = 2500; // for each Ethernet reply, as the panel waits
    bool json = false;
    bool networkSet = false;
    QString command;
    QStringList arguments;
};

// Checks the command's values, then carries it out; returns the exit status.
int runCommand(const CliOptions &options, QTextStream &out, QTextStream &err);

// The lock that keeps the calls of dxu-cli on one instrument (the one on
// USB, or one address) from talking to it at the same time: "set" reads the
// settings and sends them all back with its changes, so two at once would
// undo each other.
QString instrumentLockPath(CliLink link, const QString &address);

// Writes the reason for a usage error; returns CliExit::Usage.
int usageError(QTextStream &err, const QString &why);
