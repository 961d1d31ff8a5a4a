// The commands: each goes over USB while the USB link is up, otherwise as an
// HTTP GET to the instrument's address.
#include "app/dxu_gui.h"

#include "device/counter_range.h"
#include "device/http_client.h"
#include "device/record_ranges.h"
#include "device/ipv4_address.h"
#include "device/settings_query.h"
#include "device/usb_device.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QStatusBar>

void dxu_gui::sendHttpCommand(const QString &path)
{
    httpClient->setHost(requestHost(deviceIp), 80);
    HttpRequestHeader header;
    header.path = path;
    httpClient->request(header);
}

// USB commands have no reply to show; a failed transfer must not pass
// silently, or the operator believes a generator runs that never heard us.
void dxu_gui::reportUsbResult(bool ok)
{
    if (!ok && usbDevice->wasUnplugged())
        usbUnplugged();
    else if (!ok)
        statusBar()->showMessage(tr("Error"), 1000);
}

bool dxu_gui::collectCountable()
{
    const CounterRange::Problem problem = CounterRange::firstProblem(fieldsAsRecord());
    if (problem.text.isEmpty()) {
        fieldsToRecord();
        return true;
    }
    QMessageBox::warning(this, tr("DXU"), tr("Nothing was sent: %1.").arg(problem.text));
    return false;
}

// The run buttons: the settings, then the run flags of the chosen generators.
void dxu_gui::sendSettingsAndRun(bool gen1, bool gen2, QueryTail tail)
{
    if (!collectCountable())
        return;
    if (usbConnected) {
        // A generator must not start on settings that did not arrive.
        reportUsbResult(usbDevice->sendSettings() && usbDevice->runGenerators(gen1, gen2));
    } else {
        sendHttpCommand(settingsQuery(record, tail));
    }
}

void dxu_gui::startGen1() { sendSettingsAndRun(true, false, QueryTail::RunGen1); }
void dxu_gui::startGen2() { sendSettingsAndRun(false, true, QueryTail::RunGen2); }
void dxu_gui::startGen12() { sendSettingsAndRun(true, true, QueryTail::RunBoth); }

void dxu_gui::resetGens()
{
    if (usbConnected)
        reportUsbResult(usbDevice->resetGenerators(true, true));
    else
        sendHttpCommand(QLatin1String(DevicePaths::ResetBoth));
}

void dxu_gui::resetGen1()
{
    if (usbConnected)
        reportUsbResult(usbDevice->resetGenerators(true, false));
    else
        sendHttpCommand(QLatin1String(DevicePaths::ResetGen1));
}

void dxu_gui::resetGen2()
{
    if (usbConnected)
        reportUsbResult(usbDevice->resetGenerators(false, true));
    else
        sendHttpCommand(QLatin1String(DevicePaths::ResetGen2));
}

void dxu_gui::sourceG1()
{
    ui.showG1->setChecked(true);
    if (!collectCountable())
        return;
    if (usbConnected) {
        reportUsbResult(usbDevice->sendSettings() && usbDevice->resetGenerators(true, true));
    } else {
        // The combos stay connected: a change of the other one before the
        // reply is sent too (the reply itself fills no combo).
        sendHttpCommand(QLatin1String(DevicePaths::ResetBoth));
        sendHttpCommand(settingsQuery(record, QueryTail::SaveOnly));
    }
}

void dxu_gui::sourceG2()
{
    ui.showG2->setChecked(true);
    if (!collectCountable())
        return;
    if (usbConnected) {
        reportUsbResult(usbDevice->sendSettings() && usbDevice->resetGenerators(false, true));
    } else {
        sendHttpCommand(QLatin1String(DevicePaths::ResetGen1));
        sendHttpCommand(settingsQuery(record, QueryTail::SaveOnly));
    }
}

void dxu_gui::setThreshold()
{
    const double initial =
        usbConnected ? static_cast<double>(usbDevice->settings.thresholdVolts) : thresholdVolts;
    bool accepted = false;
    const double level = QInputDialog::getDouble(
        this, tr("Threshold Trigger"), tr("Threshold level, volts:"), initial,
        RecordRanges::MinThresholdVolts, RecordRanges::MaxThresholdVolts,
        RecordRanges::ThresholdDecimals, &accepted);
    if (!accepted) // Cancel: nothing sent, nothing stored
        return;
    thresholdVolts = level;
    if (usbConnected) {
        const bool reset = usbDevice->resetGenerators(true, true);
        const float previous = usbDevice->settings.thresholdVolts;
        usbDevice->settings.thresholdVolts = static_cast<float>(thresholdVolts);
        const bool sent = usbDevice->sendSettings();
        // The block holds what the instrument has; a level it never got is
        // not offered again as its own.
        if (!sent)
            usbDevice->settings.thresholdVolts = previous;
        reportUsbResult(sent && reset);
    } else {
        sendHttpCommand(QLatin1String(DevicePaths::ResetGen1));
        sendHttpCommand(thresholdPath(thresholdVolts));
    }
}

void dxu_gui::test()
{
    timeUnitMilli(true);
    sendHttpCommand(QLatin1String(DevicePaths::SetupProbe));
}

void dxu_gui::getDXUStatus() { sendHttpCommand(QLatin1String(DevicePaths::Setup)); }

void dxu_gui::connectSourceCombos()
{
    // Qt::UniqueConnection: reconnecting an existing connection adds nothing.
    connect(ui.sourceG1, SIGNAL(currentIndexChanged(int)), this, SLOT(sourceG1()),
            Qt::UniqueConnection);
    connect(ui.sourceG2, SIGNAL(currentIndexChanged(int)), this, SLOT(sourceG2()),
            Qt::UniqueConnection);
}

void dxu_gui::disconnectSourceCombos()
{
    disconnect(ui.sourceG1, SIGNAL(currentIndexChanged(int)), this, SLOT(sourceG1()));
    disconnect(ui.sourceG2, SIGNAL(currentIndexChanged(int)), this, SLOT(sourceG2()));
}
