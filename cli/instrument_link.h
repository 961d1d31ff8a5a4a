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

// One instrument over USB or Ethernet, as dxu-cli drives it. Each operation
// sends what the panel sends for it and returns false, with failure() saying
// why, as soon as a transfer fails or a reply is not the one expected; what
// would follow is then not sent.
class InstrumentLink
{
public:
    virtual ~InstrumentLink() = default;

    virtual bool readState(InstrumentState &state) = 0;
    // The settings alone, stored by the instrument; no generator starts.
    virtual bool sendSettings(const GeneratorSettings &record) = 0;
    // As the panel programs a loaded profile: the settings, and both
    // generators stopped.
    virtual bool sendSettingsAndStop(const GeneratorSettings &record) = 0;
    // Runs generators on the settings the instrument holds (`current`, as
    // read).
    virtual bool run(const GeneratorSettings &current, bool gen1, bool gen2) = 0;
    virtual bool stop(bool gen1, bool gen2) = 0;
    // Only a DXU3 has the threshold; the caller checks the model first.
    virtual bool setThreshold(double volts) = 0;
    // The serial number is read over USB only (empty otherwise).
    virtual bool readNetwork(NetworkFields &fields, QString &serialNumber) = 0;
    virtual bool writeNetwork(const NetworkFields &fields) = 0;

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
