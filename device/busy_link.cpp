#include "device/instrument_link.h"

namespace {
class BusyLink : public InstrumentLink
{
public:
    explicit BusyLink(const QString &why) { fail(why); }
    bool readState(InstrumentState &) override { return false; }
    bool sendSettings(const GeneratorSettings &) override { return false; }
    bool sendSource(const GeneratorSettings &, int) override { return false; }
    bool sendSettingsAndRun(const GeneratorSettings &, bool, bool) override { return false; }
    bool run(const GeneratorSettings &, bool, bool) override { return false; }
    bool stop(bool, bool) override { return false; }
    bool setThreshold(double) override { return false; }
    bool readNetwork(NetworkFields &, QString &) override { return false; }
    bool writeNetwork(const NetworkFields &) override { return false; }
};
} // namespace

std::unique_ptr<InstrumentLink> makeBusyLink(const QString &why)
{
    return std::make_unique<BusyLink>(why);
}
