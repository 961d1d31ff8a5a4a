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

// Writes the reason for a usage error; returns CliExit::Usage.
int usageError(QTextStream &err, const QString &why);
