#pragma once

#include "device/generator_settings.h"
#include "network/network_fields.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

// What a read tells about the instrument.
struct InstrumentState
{
    GeneratorSettings record;
    bool isDxu3 = false;
    std::optional<double> thresholdVolts; // known over USB, from a DXU3's status
};

// The instrument's commands, the same on every link: what goes on the wire
// for each, in what order, and how each reply is judged. A command returns
// false, with failure() saying why, as soon as a transfer fails or a reply is
// not the one expected; what would follow is then not sent.
//
// A link that waits (USB, and Ethernet for dxu-cli and dxu-scpi) has the
// outcome when a command returns. A queued Ethernet link (the panel's) only
// puts the requests on its client's queue and returns true: the replies come
// through the client's own signals.
class InstrumentLink
{
public:
    virtual ~InstrumentLink() = default;

    virtual bool readState(InstrumentState &state) = 0;
    // The settings alone, stored by the instrument; no generator starts.
    virtual bool sendSettings(const GeneratorSettings &record) = 0;
    // A start-source change of `generator` (1 or 2): the settings, with the
    // generators it concerns stopped. Over USB the settings go first, then
    // both generators (generator 1) or generator 2 stop; over Ethernet the
    // reset of both (generator 1) or of generator 1 (generator 2) goes first.
    virtual bool sendSource(const GeneratorSettings &record, int generator) = 0;
    // The run buttons: the settings, then the run of the chosen generators;
    // a generator never starts on settings that did not arrive.
    virtual bool sendSettingsAndRun(const GeneratorSettings &record, bool gen1, bool gen2) = 0;
    // Runs generators on the settings the instrument holds (`current`, as
    // read; over Ethernet they travel with the run).
    virtual bool run(const GeneratorSettings &current, bool gen1, bool gen2) = 0;
    virtual bool stop(bool gen1, bool gen2) = 0;
    // Only a DXU3 has the threshold; the caller checks the model first. Both
    // generators stop, then the new level goes out.
    virtual bool setThreshold(double volts) = 0;
    // The serial number is read over USB only (empty otherwise).
    virtual bool readNetwork(NetworkFields &fields, QString &serialNumber) = 0;
    virtual bool writeNetwork(const NetworkFields &fields) = 0;

    // As a loaded profile is programmed: the settings, both generators stopped.
    bool sendSettingsAndStop(const GeneratorSettings &record) { return sendSource(record, 1); }

    // The level the instrument holds, where the link knows it (USB).
    virtual std::optional<double> heldThreshold() const { return std::nullopt; }
    // The instrument went from the link under the last command (unplugged):
    // no command reaches it until it is found anew.
    virtual bool lost() const { return false; }

    QString failure() const { return reason; }
    // Told what goes on the wire: each request path, or each frame in hex.
    void setTrace(std::function<void(const QString &)> trace) { tracer = std::move(trace); }

protected:
    void trace(const QString &what) const
    {
        if (tracer)
            tracer(what);
    }

    bool fail(const QString &why)
    {
        reason = why;
        return false;
    }

private:
    QString reason;
    std::function<void(const QString &)> tracer;
};

std::unique_ptr<InstrumentLink> makeUsbLink();
// `address` in canonical form; no request waits longer than timeoutMs.
std::unique_ptr<InstrumentLink> makeEthernetLink(const QString &address, int timeoutMs);
// Stands for an instrument another program is busy with: every operation
// fails with `why`, and nothing is sent.
std::unique_ptr<InstrumentLink> makeBusyLink(const QString &why);
