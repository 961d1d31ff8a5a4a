#pragma once

#include "device/instrument_link.h"

class HttpClient;

// The panel's Ethernet link: each command's requests go on the queue of the
// panel's client, to the address `address` gives at that moment, and the
// command returns true at once. The replies, and the judging of them, are the
// client's signals' business (requestStarted, requestFinished, done).
class QueuedEthernetInstrument : public InstrumentLink
{
public:
    QueuedEthernetInstrument(HttpClient *client, std::function<QString()> address);

    // Puts the setup page probe on the queue; `state` is left as it is.
    bool readState(InstrumentState &state) override;
    bool sendSettings(const GeneratorSettings &record) override;
    bool sendSource(const GeneratorSettings &record, int generator) override;
    bool sendSettingsAndRun(const GeneratorSettings &record, bool gen1, bool gen2) override;
    bool run(const GeneratorSettings &current, bool gen1, bool gen2) override;
    bool stop(bool gen1, bool gen2) override;
    bool setThreshold(double volts) override;
    // Put on the queue; `fields` and `serialNumber` are left as they are.
    bool readNetwork(NetworkFields &fields, QString &serialNumber) override;
    bool writeNetwork(const NetworkFields &fields) override;

    // Any page of the instrument's web server, the setup page for one.
    void get(const QString &path);

private:
    template <typename Requests> bool queue(const Requests &requests);

    HttpClient *client;
    std::function<QString()> address;
};
