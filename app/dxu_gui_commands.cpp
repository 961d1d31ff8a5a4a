// The commands: each goes to the link the connection label shows (USB while
// its link is up, otherwise the instrument's address over Ethernet).
#include "app/dxu_gui.h"

#include "device/counter_range.h"
#include "device/ethernet_instrument.h"
#include "device/record_ranges.h"
#include "device/settings_query.h"
#include "device/usb_instrument.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QStatusBar>

InstrumentLink &dxu_gui::link()
{
    if (usbConnected)
        return *usbLink;
    return *ethernetLink;
}

// A link that waits has its outcome now; a failed command must not pass
// silently, or the operator believes a generator runs that never heard us.
// The queued Ethernet link's replies come to handleResponse().
void dxu_gui::reportOutcome(bool ok)
{
    if (!ok && link().lost())
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
void dxu_gui::sendSettingsAndRun(bool gen1, bool gen2)
{
    if (collectCountable())
        reportOutcome(link().sendSettingsAndRun(record, gen1, gen2));
}

void dxu_gui::startGen1() { sendSettingsAndRun(true, false); }
void dxu_gui::startGen2() { sendSettingsAndRun(false, true); }
void dxu_gui::startGen12() { sendSettingsAndRun(true, true); }

void dxu_gui::resetGens() { reportOutcome(link().stop(true, true)); }
void dxu_gui::resetGen1() { reportOutcome(link().stop(true, false)); }
void dxu_gui::resetGen2() { reportOutcome(link().stop(false, true)); }

// The combos stay connected: over Ethernet a change of the other one before
// the reply is sent too (the reply itself fills no combo).
void dxu_gui::sourceChanged(int generator)
{
    (generator == 1 ? ui.showG1 : ui.showG2)->setChecked(true);
    if (collectCountable())
        reportOutcome(link().sendSource(record, generator));
}

void dxu_gui::sourceG1() { sourceChanged(1); }
void dxu_gui::sourceG2() { sourceChanged(2); }

void dxu_gui::setThreshold()
{
    bool accepted = false;
    const double level = QInputDialog::getDouble(
        this, tr("Threshold Trigger"), tr("Threshold level, volts:"),
        link().heldThreshold().value_or(thresholdVolts), RecordRanges::MinThresholdVolts,
        RecordRanges::MaxThresholdVolts, RecordRanges::ThresholdDecimals, &accepted);
    if (!accepted) // Cancel: nothing sent, nothing stored
        return;
    thresholdVolts = level;
    reportOutcome(link().setThreshold(thresholdVolts));
}

// The probe of a new Ethernet link: the state read, whose reply shows the
// instrument's settings.
void dxu_gui::test()
{
    timeUnitMilli(true);
    InstrumentState filledByTheReply;
    ethernetLink->readState(filledByTheReply);
}

void dxu_gui::getDXUStatus() { queueGet(httpClient, deviceIp, QLatin1String(DevicePaths::Setup)); }

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
