// The instrument over USB: the find (identity and status), then the frames of
// each command.
#include "device/usb_instrument.h"

#include "device/usb_settings_block.h"
#include "network/network_block.h"

#include <QCoreApplication>

namespace {
// An instrument that was seen but could not be opened or claimed: on Linux
// nearly always a missing udev rule.
QString usbAccessWarning(const QString &cause)
{
    QString text =
        QCoreApplication::translate("dxu_gui", "A DXU is on USB but cannot be opened (%1).")
            .arg(cause);
#ifdef Q_OS_LINUX
    text += QLatin1Char('\n') +
            QCoreApplication::translate(
                "dxu_gui",
                "This user may lack the permission to use it: install the udev rules "
                "60-dxu-panel.rules and 61-dxu-panel-uaccess.rules into /etc/udev/rules.d, "
                "then run \"sudo udevadm control --reload && sudo udevadm trigger\" or plug the "
                "DXU in again.");
#else
    text += QLatin1Char('\n') +
            QCoreApplication::translate(
                "dxu_gui", "Check that no other program uses it and that its driver is installed.");
#endif
    return text;
}

QString dialogText(UsbDevice::FindFailure failure, const QString &cause)
{
    switch (failure) {
    case UsbDevice::FindFailure::CannotOpen:
        return usbAccessWarning(cause);
    case UsbDevice::FindFailure::BadAnswer:
        return QCoreApplication::translate("dxu_gui",
                                           "The DXU on USB did not report its settings (%1).")
                   .arg(cause) +
               QLatin1Char('\n') +
               QCoreApplication::translate("dxu_gui",
                                           "Check USB cable or try to connect via Ethernet!");
    default:
        return QCoreApplication::translate(
            "dxu_gui", "Can't find DXU via USB.\nCheck USB cable or try to connect via Ethernet!");
    }
}

QString lineText(UsbDevice::FindFailure failure, const QString &cause)
{
    switch (failure) {
    case UsbDevice::FindFailure::CannotOpen:
        return QStringLiteral("a DXU is on USB but cannot be opened (%1)").arg(cause);
    case UsbDevice::FindFailure::BadAnswer:
        return QStringLiteral("the DXU on USB did not report its settings (%1)").arg(cause);
    default:
        return QStringLiteral("no DXU found on USB");
    }
}
} // namespace

UsbInstrument::UsbInstrument(bool findAtFirstCommand) : findAtFirstCommand(findAtFirstCommand)
{
    device.setFrameTrace([this](const std::uint8_t *frame, int length) {
        trace(QStringLiteral("USB frame ") +
              QString::fromLatin1(
                  QByteArray(reinterpret_cast<const char *>(frame), length).toHex(' ')));
    });
}

bool UsbInstrument::findInstrument()
{
    opened = device.findDevice();
    if (!opened)
        return fail(findFailureText(Wording::Line));
    block = device.status();
    return true;
}

void UsbInstrument::close()
{
    device.closeDevice();
    opened = false;
}

QString UsbInstrument::findFailureText(Wording wording) const
{
    return wording == Wording::Dialog ? dialogText(device.findFailure(), device.failureCause())
                                      : lineText(device.findFailure(), device.failureCause());
}

// Every command needs the identity and the status in full.
bool UsbInstrument::open()
{
    if (opened)
        return true;
    if (!findAtFirstCommand)
        return fail(QStringLiteral("the DXU on USB is not connected"));
    return findInstrument();
}

bool UsbInstrument::readState(InstrumentState &state)
{
    if (!open())
        return false;
    // What was read when found, with what was sent since.
    copyBlockToRecord(block, state.record);
    state.isDxu3 = device.isDxu3();
    // A DXU2's status carries no threshold.
    state.thresholdVolts.reset();
    if (device.isDxu3())
        state.thresholdVolts = static_cast<double>(block.thresholdVolts);
    return true;
}

bool UsbInstrument::sendBlock()
{
    return device.sendSettings(block) ||
           failed(QStringLiteral("the settings frame did not go through"));
}

bool UsbInstrument::sendSettings(const GeneratorSettings &record)
{
    if (!open())
        return false;
    copyRecordToBlock(record, block);
    return sendBlock();
}

bool UsbInstrument::sendSource(const GeneratorSettings &record, int generator)
{
    return sendSettings(record) && stop(generator == 1, true);
}

bool UsbInstrument::sendSettingsAndRun(const GeneratorSettings &record, bool gen1, bool gen2)
{
    return sendSettings(record) && run(record, gen1, gen2);
}

// The run frame alone: the instrument runs on the settings it holds.
bool UsbInstrument::run(const GeneratorSettings &, bool gen1, bool gen2)
{
    return open() && (device.runGenerators(gen1, gen2) ||
                      failed(QStringLiteral("the run frame did not go through")));
}

bool UsbInstrument::stop(bool gen1, bool gen2)
{
    return open() && (device.resetGenerators(gen1, gen2) ||
                      failed(QStringLiteral("the stop frame did not go through")));
}

// The settings as last sent go out again with the new level; a level the
// instrument never got is not kept as its own.
bool UsbInstrument::setThreshold(double volts)
{
    if (!stop(true, true))
        return false;
    const float previous = block.thresholdVolts;
    block.thresholdVolts = static_cast<float>(volts);
    if (sendBlock())
        return true;
    block.thresholdVolts = previous;
    return false;
}

std::optional<double> UsbInstrument::heldThreshold() const
{
    return static_cast<double>(block.thresholdVolts);
}

bool UsbInstrument::readNetwork(NetworkFields &fields, QString &serialNumber)
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

bool UsbInstrument::writeNetwork(const NetworkFields &fields)
{
    if (!open())
        return false;
    std::uint8_t networkBlock[NetworkBlock::BlockSize] = {};
    NetworkBlock::fillBlock(networkBlock, fields);
    return device.writeNetworkBlock(networkBlock) ||
           failed(QStringLiteral("the network frame did not go through"));
}

// A command that did not go through, or an instrument gone from the bus.
bool UsbInstrument::failed(const QString &what)
{
    return fail(device.wasUnplugged() ? QStringLiteral("the DXU was unplugged from USB") : what);
}

std::unique_ptr<InstrumentLink> makeUsbLink() { return std::make_unique<UsbInstrument>(); }
