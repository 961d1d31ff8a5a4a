// Opening and closing the Ethernet link, waiting for the first answer, and
// handling every reply of the instrument's web server.
#include "app/dxu_gui.h"

#include "device/http_client.h"
#include "device/ipv4_address.h"
#include "device/request_watchdog.h"
#include "device/setup_page_parser.h"
#include "persistence/profile_store.h"
#include "persistence/settings_store.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>

namespace {
// A probe that has no setup page behind it is given up after this long.
const int kRequestWaitMs = 2500;
const int kStatusMessageMs = 1000;
} // namespace

void dxu_gui::scan(bool checked)
{
    if (!checked) {
        closeEthernetLink();
        setControlsEnabled(false);
        ui.dev_status->setText(tr("Disconnected"));
        return;
    }

    timeUnitMilli(true);
    bool confirmed = false;
    const QString address =
        QInputDialog::getText(this, tr("Connect to DXU via Ethernet"), tr("DXU IP address:"),
                              QLineEdit::Normal, deviceIp, &confirmed);
    if (!confirmed || address.trimmed().isEmpty()) {
        ui.actionEthernet->setChecked(false);
        return;
    }
    openEthernetLink(address);
}

void dxu_gui::openEthernetLink(const QString &typed)
{
    const InstrumentAddress address = checkInstrumentAddress(typed);
    if (!address.problem.isEmpty()) {
        refuseAddress(address.problem);
        return;
    }
    // Commands follow usbConnected: an open USB link would keep them away
    // from the instrument the operator just chose.
    if (usbConnected)
        closeUsbLink();
    ui.actionUSB->setChecked(false);
    setControlsEnabled(true);
    // Shown, stored and asked in one form. A host name stays as typed.
    deviceIp = address.address;
    // A store that cannot be parsed whole is not rewritten for the address:
    // what the parser dropped would be lost, profiles with it.
    if (ProfileStore::load().status == ProfileStore::Status::Ok) {
        settings->setValue(QLatin1String(SettingsStore::LastIpKey), deviceIp);
        settings->sync();
    }
    test();
}

void dxu_gui::watchEthernetRequests()
{
    requestWatchdog = new RequestWatchdog(kRequestWaitMs, this);
    requestWatchdog->watch(httpClient);
    // Once this connection's instrument has answered with its setup page, a
    // slow request is left to the client's own errors. A page kept from an
    // earlier connection, or from before a failure, vouches for nothing.
    requestWatchdog->setPatience(
        [this] { return ethernetConnected && holdsSetupPage(httpResponse); });
    // Given up: the abort has ended the batch with done(true), which showed
    // the failure box; the link is down even if nothing was under way.
    connect(requestWatchdog, &RequestWatchdog::gaveUpRequest, this,
            [this] { ethernetConnected = false; });
}

void dxu_gui::Trying(int id)
{
    Q_UNUSED(id);
    requestWatchdog->start();
}

void dxu_gui::stopTrying() { requestWatchdog->expire(); }

void dxu_gui::handleResponse(bool error)
{
    // Replies belong to the Ethernet link only; closing it drops its
    // requests, so this is a last guard against a late page relabelling the
    // window or refilling it while USB is the link.
    requestWatchdog->stop();
    if (usbConnected)
        return;
    // Only the setup page with its settings is the instrument's answer: an
    // error page, an empty body or another server's page took nothing.
    QByteArray body = error ? QByteArray() : httpClient->readAll();
    removeNulBytes(body);
    const bool refused =
        !error && (replyRefused || !isSetupPage(body, parseSetupPage(setupPageText(body))));
    replyRefused = false;
    if (refused && ethernetConnected) {
        // The instrument answered with an error page: the link is up, the
        // command was not taken.
        statusBar()->showMessage(tr("Error"), kStatusMessageMs);
        return;
    }
    // An error page to the probe: no instrument to talk to there.
    error = error || refused;

    if (error) {
        QMessageBox::warning(this, tr("DXU Ethernet Connection"), unreachableText());
        setControlsEnabled(false);
        ui.actionEthernet->setChecked(false);
        ethernetConnected = false;
        fieldsFilledFromDevice = false; // the next connection fills them again
        ui.dev_status->setText(tr("Disconnected"));
    } else {
        httpResponse = body;
        ethernetConnected = true;
    }

    // After an error this re-reads the previous reply's body.
    removeNulBytes(httpResponse);
    const SetupPageFields page = parseSetupPage(setupPageText(httpResponse));
    applySetupPage(page, record);

    // The boxes of values the page did not give keep the panel's own: the
    // operator must not take them for the instrument's.
    const bool timingUnread = !fieldsFilledFromDevice && ethernetConnected && !page.timing;
    if (!fieldsFilledFromDevice && ethernetConnected) {
        // Showing the instrument's sources must not send them back: a source
        // change resets the generators, and connecting must not stop them.
        const QSignalBlocker quietSourceG1(ui.sourceG1);
        const QSignalBlocker quietSourceG2(ui.sourceG2);
        // The page is in milliseconds, whatever the operator chose while it
        // was on its way.
        timeUnitMilli(true);
        recordToFields();
        fieldsFilledFromDevice = true;
    }

    deviceIsDxu3 = page.isDxu3;
    ui.actionTrigger_threshold->setEnabled(deviceIsDxu3 && !error);
    ui.actionDivideBy_calc->setEnabled(deviceIsDxu3 && !error);

    if (error) {
        ui.dev_status->setText(tr("Disconnected"));
        disconnectSourceCombos();
        statusBar()->showMessage(tr("Error"), kStatusMessageMs);
    } else {
        ui.dev_status->setText(deviceIsDxu3 ? tr("%1 (DXU3)").arg(deviceIp)
                                            : tr("%1 (DXU2)").arg(deviceIp));
        connectSourceCombos();
        statusBar()->showMessage(tr("Command applied"), kStatusMessageMs);
    }
    ui.actionIP_Settings->setEnabled(true);
    if (timingUnread)
        QMessageBox::warning(this, tr("DXU Ethernet Connection"),
                             tr("The DXU's setup page gives its periods, pulse counts, delays and "
                                "widths in a form this panel cannot read.\nThose boxes show the "
                                "panel's own values, not the DXU's: check them before you send."));
}

void dxu_gui::handleResponse2(bool error)
{
    if (!error)
        return;
    QMessageBox box;
    box.setText(httpClient->errorString());
    box.exec();
}

void dxu_gui::closeEthernetLink()
{
    {
        // The operator closed the link or chose the other one: ending the
        // pending requests is no failure to report, and no late page may
        // answer for this link.
        const QSignalBlocker quietClient(httpClient);
        httpClient->abort();
    }
    requestWatchdog->stop();
    replyRefused = false;
    ethernetConnected = false;
    fieldsFilledFromDevice = false;
    httpResponse.clear();
    ui.actionEthernet->setChecked(false);
    disconnectSourceCombos();
}
