#pragma once

#include "cli/commands.h"
#include "cli/link_actions.h"
#include "scpi/scpi_parser.h"
#include "scpi/scpi_status.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QLockFile;

// The one instrument a dxu-scpi serves.
struct ScpiTarget
{
    CliLink link = CliLink::Usb;
    QString address; // canonical IPv4 address, for CliLink::Ethernet
    int timeoutMs = 2500;
    QString version; // the panel's, for *IDN?
};

// The SCPI command set of the DXU over the links dxu-cli drives: each line's
// commands carried out in order, through the same read-modify-write as
// "dxu-cli set" and the same checks. Each line takes dxu-cli's lock on the
// instrument and a link of its own, both given up when the line is done.
class ScpiDevice
{
public:
    explicit ScpiDevice(const ScpiTarget &target);
    ~ScpiDevice();

    // Carries out one line (without its LF) and returns the replies of its
    // queries joined by ";", empty when it asked nothing or no query could
    // be answered. A failed transfer or a bad reply (-240) ends the line.
    QByteArray executeLine(const QByteArray &line);

    ScpiStatus &status() { return model; }

    // Told each request or frame that goes to the instrument, and each note
    // on what the Ethernet query changes.
    void setTrace(std::function<void(const QString &)> trace) { tracer = std::move(trace); }

private:
    struct Entry;
    static const Entry entries[];

    bool execute(const Scpi::Command &command, QList<QByteArray> &replies);
    InstrumentLink &instrument();
    bool linkFailed();
    bool actionDone(const LinkActions::Result &result, int refusedCode = -222);

    bool identify(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool reset(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool common(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool errorQueue(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool generator(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool generatorState(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool channel(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool threshold(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool network(const Scpi::Command &, const QList<int> &, QByteArray &reply);
    bool memory(const Scpi::Command &, const QList<int> &, QByteArray &reply);

    bool readState(InstrumentState &state);
    bool setValues(const LinkActions::Assignments &assign);

    ScpiTarget target;
    ScpiStatus model;
    std::function<void(const QString &)> tracer;
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<InstrumentLink> link;
};
