// Opening and closing the USB link.
#include "app/dxu_gui.h"

#include "device/usb_instrument.h"

#include <QMessageBox>

void dxu_gui::connectUSB(bool checked)
{
    if (!checked) {
        closeUsbLink();
        return;
    }

    const bool ethernetOpen = ethernetConnected || ui.actionEthernet->isChecked();
    usbConnected = usbLink->findInstrument();
    if (!usbConnected) {
        // An Ethernet link that is up stays exactly as it is.
        QMessageBox::warning(this, tr("DXU USB Connection"),
                             usbLink->findFailureText(UsbInstrument::Wording::Dialog));
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
    ui.dev_status->setText(usbLink->isDxu3() ? tr("USB connected DXU3") : tr("USB connected DXU2"));
    setControlsEnabled(true);
    // Showing the instrument's sources must not send them back: a source
    // change would send the widgets' old values before the rest of the
    // read-back reached them.
    disconnectSourceCombos();
    InstrumentState state;
    usbLink->readState(state);
    record = state.record;
    thresholdVolts = usbLink->heldThreshold().value_or(thresholdVolts);
    recordToFields();
    ui.actionIP_Settings->setEnabled(true);
    ui.actionTrigger_threshold->setEnabled(usbLink->isDxu3());
    ui.actionDivideBy_calc->setEnabled(usbLink->isDxu3());
    handPreviewToLabel();
    connectSourceCombos();
}

void dxu_gui::closeUsbLink()
{
    setControlsEnabled(false);
    ui.dev_status->setText(tr("Disconnected"));
    usbLink->close();
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
