// Opening and closing the USB link.
#include "app/dxu_gui.h"

#include "device/usb_device.h"
#include "device/usb_settings_block.h"

#include <QMessageBox>

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

// What the operator is told when no instrument could be kept.
QString usbConnectFailure(const UsbDevice &device)
{
    switch (device.findFailure()) {
    case UsbDevice::FindFailure::CannotOpen:
        return usbAccessWarning(device.failureCause());
    case UsbDevice::FindFailure::BadAnswer:
        return QCoreApplication::translate("dxu_gui",
                                           "The DXU on USB did not report its settings (%1).")
                   .arg(device.failureCause()) +
               QLatin1Char('\n') +
               QCoreApplication::translate("dxu_gui",
                                           "Check USB cable or try to connect via Ethernet!");
    default:
        return QCoreApplication::translate(
            "dxu_gui", "Can't find DXU via USB.\nCheck USB cable or try to connect via Ethernet!");
    }
}
} // namespace

void dxu_gui::connectUSB(bool checked)
{
    if (!checked) {
        closeUsbLink();
        return;
    }

    const bool ethernetOpen = ethernetConnected || ui.actionEthernet->isChecked();
    usbConnected = usbDevice->findDevice();
    if (!usbConnected) {
        // An Ethernet link that is up stays exactly as it is.
        QMessageBox::warning(this, tr("DXU USB Connection"), usbConnectFailure(*usbDevice));
        ui.actionUSB->setChecked(false);
        if (!ethernetOpen) {
            ui.dev_status->setText(tr("Disconnected"));
            ui.actionIP_Settings->setEnabled(false);
        }
        connectSourceCombos();
        return;
    }

    // Every command follows usbConnected; the Ethernet link must not go on
    // answering under a label that says USB.
    if (ethernetOpen)
        closeEthernetLink();
    timeUnitMilli(true);
    ui.actionEthernet->setChecked(false);
    httpResponse.clear();
    ui.dev_status->setText(usbDevice->isDxu3 ? tr("USB connected DXU3") : tr("USB connected DXU2"));
    setControlsEnabled(true);
    // Showing the instrument's sources must not send them back: a source
    // change would send the widgets' old values before the rest of the
    // read-back reached them.
    disconnectSourceCombos();
    copyBlockToRecord(usbDevice->settings, record);
    thresholdVolts = static_cast<double>(usbDevice->settings.thresholdVolts);
    recordToFields();
    ui.actionIP_Settings->setEnabled(true);
    ui.actionTrigger_threshold->setEnabled(usbDevice->isDxu3);
    ui.actionDivideBy_calc->setEnabled(usbDevice->isDxu3);
    handPreviewToLabel();
    connectSourceCombos();
}

void dxu_gui::closeUsbLink()
{
    setControlsEnabled(false);
    ui.dev_status->setText(tr("Disconnected"));
    usbDevice->closeDevice();
    ui.actionIP_Settings->setEnabled(false);
    ui.actionUSB->setChecked(false);
    usbConnected = false;
    disconnectSourceCombos();
}

// The instrument went from the bus under a command: the link closes as if the
// operator had closed it, and says why. Plugged in again, Connection → USB
// connects anew; not by itself, for connecting reads the instrument's
// settings over the boxes the operator may have changed meanwhile.
void dxu_gui::usbUnplugged()
{
    closeUsbLink();
    QMessageBox::warning(this, tr("DXU USB Connection"),
                         tr("The DXU was unplugged from USB.\nPlug it in again and connect "
                            "through Connection → USB."));
}
