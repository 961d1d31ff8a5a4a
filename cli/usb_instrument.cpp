// The instrument over USB: the connect read (identity and status), then the
// panel's frames.
#include "cli/instrument_link.h"

#include "device/usb_device.h"
#include "device/usb_settings_block.h"
#include "network/network_block.h"

namespace {

class UsbInstrument : public InstrumentLink
{
public:
    UsbInstrument()
    {
        device.frameTrace = [this](const std::uint8_t *frame, int length) {
            trace(QStringLiteral("USB frame ") +
                  QString::fromLatin1(
                      QByteArray(reinterpret_cast<const char *>(frame), length).toHex(' ')));
        };
    }

    bool readState(InstrumentState &state) override
    {
        if (!open())
            return false;
        copyBlockToRecord(device.settings, state.record);
        state.isDxu3 = device.isDxu3;
        // A DXU2's status carries no threshold.
        state.thresholdVolts.reset();
        if (device.isDxu3)
            state.thresholdVolts = static_cast<double>(device.settings.thresholdVolts);
        return true;
    }

    bool sendSettings(const GeneratorSettings &record) override
    {
        if (!open())
            return false;
        // The block keeps the threshold read at connect.
        copyRecordToBlock(record, device.settings);
        return device.sendSettings() ||
               failed(QStringLiteral("the settings frame did not go through"));
    }

    bool sendSettingsAndStop(const GeneratorSettings &record) override
    {
        return sendSettings(record) && stop(true, true);
    }

    bool run(const GeneratorSettings &, bool gen1, bool gen2) override
    {
        return open() && (device.runGenerators(gen1, gen2) ||
                          failed(QStringLiteral("the run frame did not go through")));
    }

    bool stop(bool gen1, bool gen2) override
    {
        return open() && (device.resetGenerators(gen1, gen2) ||
                          failed(QStringLiteral("the stop frame did not go through")));
    }

    // Both generators stop, then the settings as read go out again with the
    // new level.
    bool setThreshold(double volts) override
    {
        if (!stop(true, true))
            return false;
        device.settings.thresholdVolts = static_cast<float>(volts);
        return device.sendSettings() ||
               failed(QStringLiteral("the settings frame did not go through"));
    }

    bool readNetwork(NetworkFields &fields, QString &serialNumber) override
    {
        if (!open())
            return false;
        std::uint8_t reply[NetworkBlock::IdentityReplySize] = {};
        if (!device.readIdentity(reply))
            return failed(QStringLiteral("the identity reply did not come in full"));
        fields = NetworkBlock::fieldsFromIdentity(reply);
        serialNumber = NetworkBlock::serialNumberText(reply);
        return true;
    }

    bool writeNetwork(const NetworkFields &fields) override
    {
        if (!open())
            return false;
        NetworkBlock::fillBlock(device.networkBlock, fields);
        return device.writeNetworkBlock() ||
               failed(QStringLiteral("the network frame did not go through"));
    }

private:
    // A command that did not go through, or an instrument gone from the bus.
    bool failed(const QString &what)
    {
        return fail(device.wasUnplugged() ? QStringLiteral("the DXU was unplugged from USB")
                                          : what);
    }

    // Finding the instrument reads its identity and status; every command
    // needs both in full.
    bool open()
    {
        if (opened)
            return true;
        if (!device.findDevice()) {
            switch (device.findFailure()) {
            case UsbDevice::FindFailure::CannotOpen:
                return fail(QStringLiteral("a DXU is on USB but cannot be opened (%1)")
                                .arg(device.failureCause()));
            case UsbDevice::FindFailure::BadAnswer:
                return fail(QStringLiteral("the DXU on USB did not report its settings (%1)")
                                .arg(device.failureCause()));
            default:
                return fail(QStringLiteral("no DXU found on USB"));
            }
        }
        opened = true;
        return true;
    }

    UsbDevice device;
    bool opened = false;
};

} // namespace

std::unique_ptr<InstrumentLink> makeUsbLink() { return std::make_unique<UsbInstrument>(); }
