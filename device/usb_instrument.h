#pragma once

#include "device/instrument_link.h"
#include "device/usb_device.h"

// The instrument over USB: found (identity and status read) at the first
// command, or anew by findInstrument(); then the frames of each command, each
// waited for. The settings frame carries the settings given with the
// threshold the instrument holds.
class UsbInstrument : public InstrumentLink
{
public:
    // How a failure to find the instrument is worded: a line for a script's
    // error output, or the panel's message box.
    enum class Wording { Line, Dialog };

    // Found at the first command (dxu-cli, dxu-scpi), or only by
    // findInstrument() (the panel: a command never looks for an instrument).
    explicit UsbInstrument(bool findAtFirstCommand = true);

    // Closes what is open and looks for the instrument again; false, with
    // findFailureText() saying why, when none could be kept.
    bool findInstrument();
    void close();
    bool isOpen() const { return opened; }
    bool isDxu3() const { return device.isDxu3(); }
    QString findFailureText(Wording wording) const;

    bool readState(InstrumentState &state) override;
    bool sendSettings(const GeneratorSettings &record) override;
    bool sendSource(const GeneratorSettings &record, int generator) override;
    bool sendSettingsAndRun(const GeneratorSettings &record, bool gen1, bool gen2) override;
    bool run(const GeneratorSettings &current, bool gen1, bool gen2) override;
    bool stop(bool gen1, bool gen2) override;
    bool setThreshold(double volts) override;
    bool readNetwork(NetworkFields &fields, QString &serialNumber) override;
    bool writeNetwork(const NetworkFields &fields) override;

    std::optional<double> heldThreshold() const override;
    bool lost() const override { return device.wasUnplugged(); }

private:
    bool open();
    bool sendBlock();
    bool failed(const QString &what);

    UsbDevice device;
    // The settings as last sent (or read when found), with the threshold
    // the instrument holds.
    UsbSettingsBlock block;
    bool opened = false;
    bool findAtFirstCommand;
};
