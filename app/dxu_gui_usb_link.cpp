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
} // namespace

void dxu_gui::connectUSB(bool checked)
{
    if (!checked) {
        closeUsbLink();
        return;
    }

    const bool ethernetOpen = ethernetConnected || ui.actionEthernet->isChecked();
    timeUnitMilli(true);
    ui.actionEthernet->setChecked(false);
    httpResponse.clear();

    usbConnected = usbDevice->findDevice();
    const QString failure = usbDevice->openFailure();
    if (usbConnected && failure.isEmpty()) {
        // Every command follows usbConnected; the Ethernet link must not go
        // on answering under a label that says USB.
        if (ethernetOpen)
            closeEthernetLink();
        ui.dev_status->setText(usbDevice->isDxu3 ? tr("USB connected DXU3")
                                                 : tr("USB connected DXU2"));
        setControlsEnabled(true);
        // Showing the instrument's sources must not send them back: a source
        // change would send the widgets' old values before the rest of the
        // read-back reached them. The combos are connected again below.
        disconnectSourceCombos();
        copyBlockToRecord(usbDevice->settings, record);
        thresholdVolts = static_cast<double>(usbDevice->settings.thresholdVolts);
        recordToFields();
        ui.actionIP_Settings->setEnabled(true);
        ui.actionTrigger_threshold->setEnabled(usbDevice->isDxu3);
        ui.actionDivideBy_calc->setEnabled(usbDevice->isDxu3);
        handPreviewToLabel();
    } else {
        if (usbConnected) {
            // Seen but unusable: every command would fail, so it is not a
            // connection.
            QMessageBox::warning(this, tr("DXU USB Connection"), usbAccessWarning(failure));
            usbDevice->closeDevice();
            usbConnected = false;
        } else {
            QMessageBox::warning(
                this, tr("DXU USB Connection"),
                tr("Can't find DXU via USB.\nCheck USB cable or try to connect via Ethernet!"));
        }
        ui.actionUSB->setChecked(false);
        ui.dev_status->setText(tr("Disconnected"));
        ui.actionIP_Settings->setEnabled(false);
    }
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
