#include "network/finddialog.h"

#include "device/http_client.h"
#include "device/ipv4_address.h"
#include "device/ethernet_requests.h"
#include "device/request_watchdog.h"
#include "device/usb_instrument.h"
#include "network/address_check.h"
#include "network/network_page.h"
#include "widgets/accessible_texts.h"
#include "widgets/operator_input.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

// An error page is no answer: the instrument took nothing.
bool failed(const HttpClient *client, bool error) { return error || client->statusCode() >= 400; }

// The fields' labels end in a colon or abbreviate; the submit button keeps
// its form's spelling "Sumbit" on screen, a screen reader says the word.
const AccessibleText kNetworkDialog[] = {
    {"serialEdit", QT_TRANSLATE_NOOP("FindDialog", "Serial number")},
    {"macEdit", QT_TRANSLATE_NOOP("FindDialog", "MAC address")},
    {"ipEdit", QT_TRANSLATE_NOOP("FindDialog", "IP address")},
    {"maskEdit", QT_TRANSLATE_NOOP("FindDialog", "Network mask")},
    {"gatewayEdit", QT_TRANSLATE_NOOP("FindDialog", "Gateway")},
    {"submitButton", QT_TRANSLATE_NOOP("FindDialog", "Submit")},
};

} // namespace

FindDialog::FindDialog(UsbInstrument *usb, QWidget *parent)
    : QDialog(parent), requestWatchdog(new RequestWatchdog(RequestTimeoutMs, this)), usbLink(usb)
{
    buildForm();
    connect(submitButton, SIGNAL(clicked(bool)), this, SLOT(set_network_settings()));
    connect(cancelButton, SIGNAL(clicked(bool)), this, SLOT(reject()));
    connect(dhcpCheckBox, SIGNAL(toggled(bool)), this, SLOT(dhcpCheckBoxToggled(bool)));
    guardOperatorInput(this);
    setAccessibleTexts(this, "FindDialog", kNetworkDialog);
}

// A request still on its way must not report into a dialog being destroyed:
// its client, a child, outlives this destructor.
FindDialog::~FindDialog() { abandonRequest(); }

void FindDialog::buildForm()
{
    serialLabel = new QLabel(tr("DXU S/N:"), this);
    macLabel = new QLabel(tr("MAC:"), this);
    ipLabel = new QLabel(tr("IP:"), this);
    maskLabel = new QLabel(tr("Mask:"), this);
    gatewayLabel = new QLabel(tr("Gateway:"), this);

    serialEdit = new QLineEdit(this);
    serialEdit->setObjectName(QStringLiteral("serialEdit"));
    serialEdit->setReadOnly(true);
    macEdit = new QLineEdit(this);
    macEdit->setObjectName(QStringLiteral("macEdit"));
    ipEdit = new QLineEdit(this);
    ipEdit->setObjectName(QStringLiteral("ipEdit"));
    maskEdit = new QLineEdit(this);
    maskEdit->setObjectName(QStringLiteral("maskEdit"));
    gatewayEdit = new QLineEdit(this);
    gatewayEdit->setObjectName(QStringLiteral("gatewayEdit"));
    macLabel->setBuddy(macEdit);
    ipLabel->setBuddy(ipEdit);
    maskLabel->setBuddy(maskEdit);
    gatewayLabel->setBuddy(gatewayEdit);

    dhcpCheckBox = new QCheckBox(tr("&DHCP"), this);
    dhcpCheckBox->setObjectName(QStringLiteral("dhcpCheckBox"));

    submitButton = new QPushButton(tr("Sumbit"), this);
    submitButton->setObjectName(QStringLiteral("submitButton"));
    submitButton->setDefault(true);
    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    buttonBox = new QDialogButtonBox(Qt::Horizontal, this);
    buttonBox->addButton(submitButton, QDialogButtonBox::ActionRole);
    buttonBox->addButton(cancelButton, QDialogButtonBox::ActionRole);

    auto *column = new QVBoxLayout;
    const auto addRow = [column](QLabel *label, QLineEdit *edit) {
        auto *row = new QHBoxLayout;
        row->addWidget(label);
        row->addWidget(edit);
        column->addLayout(row);
    };
    addRow(serialLabel, serialEdit);
    addRow(macLabel, macEdit);
    column->addWidget(dhcpCheckBox);
    addRow(ipLabel, ipEdit);
    addRow(maskLabel, maskEdit);
    addRow(gatewayLabel, gatewayEdit);

    auto *grid = new QGridLayout(this);
    grid->addLayout(column, 6, 2);
    grid->addWidget(buttonBox, 8, 2);
    grid->setRowStretch(8, 1);

    setMinimumSize(240, 230);
    setWindowTitle(tr("DXU-2 Network Settings"));
}

void FindDialog::setUsbMode(bool usb) { usbMode = usb; }

void FindDialog::setDeviceIp(const QString &ip) { deviceIp = normalizedAddress(ip); }

// Cancel, Escape or the window's close button: a request still on its way is
// given up, so that a write cannot complete later and ask for a restart.
void FindDialog::reject()
{
    abandonRequest();
    QDialog::reject();
}

void FindDialog::readNetworkSettings()
{
    abandonRequest();
    if (usbMode) {
        readOverUsb();
        return;
    }
    submitButton->setEnabled(true); // a failed USB read before may have disabled it
    startRequest(EthernetRequests::readNetwork().path, SLOT(handleResponse(bool)));
}

// Only a complete reply is shown, and only what was shown can be submitted:
// after a failed read the fields are empty (never another instrument's) and
// "Sumbit" stays disabled until a read succeeds.
void FindDialog::readOverUsb()
{
    NetworkFields fields;
    QString serialNumber;
    const bool read = usbLink->readNetwork(fields, serialNumber);
    submitButton->setEnabled(read);
    if (!read && usbLink->lost()) {
        hide();
        emit usbDeviceLost();
        return;
    }
    if (!read) {
        serialEdit->clear();
        showFields(NetworkFields());
        QMessageBox::warning(this, tr("DXU USB Connection"),
                             tr("Can't read the network settings from the DXU via USB."),
                             QMessageBox::Ok);
        return;
    }
    serialEdit->setText(serialNumber);
    showFields(fields);
}

void FindDialog::showFields(const NetworkFields &fields)
{
    macEdit->setText(fields.mac);
    ipEdit->setText(fields.ip);
    maskEdit->setText(fields.mask);
    gatewayEdit->setText(fields.gateway);
    dhcpCheckBox->setChecked(fields.dhcp);
}

NetworkFields FindDialog::typedFields() const
{
    NetworkFields fields;
    fields.mac = macEdit->text();
    fields.ip = ipEdit->text();
    fields.mask = maskEdit->text();
    fields.gateway = gatewayEdit->text();
    fields.dhcp = dhcpCheckBox->isChecked();
    return fields;
}

void FindDialog::set_network_settings()
{
    const NetworkFields fields = typedFields();
    if (!confirmInput(fields))
        return;
    abandonRequest();
    if (usbMode)
        writeOverUsb(AddressCheck::canonicalAddresses(fields));
    else
        startRequest(EthernetRequests::writeNetwork(AddressCheck::canonicalAddresses(fields)).path,
                     SLOT(handleResponse2(bool)));
}

bool FindDialog::confirmInput(const NetworkFields &fields)
{
    const AddressCheck::Finding finding = AddressCheck::firstFinding(fields);
    if (finding.field == AddressCheck::Field::None)
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Input error"),
                    tr(AddressCheck::message(finding.field)) + QLatin1Char('\n') + finding.reason,
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText); // the reason may hold what was typed
    box.exec();
    return false;
}

void FindDialog::writeOverUsb(const NetworkFields &fields)
{
    const bool written = usbLink->writeNetwork(fields);
    if (!written && usbLink->lost()) {
        hide();
        emit usbDeviceLost();
        return;
    }
    if (!written) {
        QMessageBox::warning(this, tr("DXU USB Connection"),
                             tr("Can't write the network settings to the DXU via USB."),
                             QMessageBox::Ok);
        return;
    }
    askForRestart();
}

// Every request gets a client of its own; each command it starts restarts
// the watchdog, which aborts it when the instrument stays silent (the abort
// reports the failure through the request's own handler).
void FindDialog::startRequest(const QString &path, const char *doneSlot)
{
    httpClient = new HttpClient(this);
    connect(httpClient, SIGNAL(done(bool)), this, doneSlot);
    requestWatchdog->watch(httpClient);
    httpClient->setHost(requestHost(deviceIp), NetworkPage::Port);
    HttpRequestHeader header;
    header.path = path;
    httpClient->request(header);
}

// The client whose completion is being handled: the watchdog stops before
// the client goes, and the dialog no longer points at it.
HttpClient *FindDialog::takeFinishedClient()
{
    requestWatchdog->release();
    HttpClient *client = httpClient;
    httpClient = nullptr;
    client->deleteLater();
    return client;
}

// A request still running when the next one starts is dropped without a
// word: disconnected first, so that its failure reaches no handler.
void FindDialog::abandonRequest()
{
    if (!httpClient)
        return;
    requestWatchdog->release();
    HttpClient *client = httpClient;
    httpClient = nullptr;
    client->disconnect(this);
    client->abort();
    client->deleteLater();
}

void FindDialog::handleResponse(bool error)
{
    HttpClient *client = takeFinishedClient();
    // A reply without the network page's addresses is no answer either.
    const QByteArray body = failed(client, error) ? QByteArray() : client->readAll();
    if (NetworkPage::parse(NetworkPage::pageText(body)).hasAddresses)
        httpResponse = body;
    else
        warnEthernetFailure(client);

    // After a failure the fields come from the last page that did arrive.
    const NetworkPage::Content page = NetworkPage::parse(NetworkPage::pageText(httpResponse));
    if (page.hasAddresses) {
        serialEdit->setEnabled(false);
        serialEdit->setText(tr("N/A (Only for USB)"));
        macEdit->setText(page.fields.mac);
        ipEdit->setText(page.fields.ip);
        maskEdit->setText(page.fields.mask);
        gatewayEdit->setText(page.fields.gateway);
    }
    if (page.hasDhcp)
        dhcpCheckBox->setChecked(page.fields.dhcp);
}

// Only a completed write asks for the restart; a failed or refused one
// leaves the dialog open with what the operator typed.
void FindDialog::handleResponse2(bool error)
{
    HttpClient *client = takeFinishedClient();
    if (failed(client, error)) {
        warnEthernetFailure(client);
        return;
    }
    askForRestart();
}

void FindDialog::stopTrying() { requestWatchdog->expire(); }

void FindDialog::Trying(int id)
{
    Q_UNUSED(id);
    requestWatchdog->start();
}

void FindDialog::dhcpCheckBoxToggled(bool checked)
{
    ipEdit->setEnabled(!checked);
    maskEdit->setEnabled(!checked);
    gatewayEdit->setEnabled(!checked);
}

void FindDialog::warnEthernetFailure(const HttpClient *client)
{
    // Only an address that does not answer is a matter of cables.
    const QString text =
        client->error() == HttpClient::HostNotFound
            ? tr("The name <b>%1</b> does not resolve to an address.<br>Check the name or type "
                 "the DXU's IP address.")
            : tr("Can't find DXU on <b>%1</b> <br>Check ethernet cable or try to connect via USB!");
    QMessageBox::warning(this, tr("DXU Ethernet Connection"), text.arg(deviceIp.toHtmlEscaped()),
                         QMessageBox::Ok);
}

void FindDialog::askForRestart()
{
    QMessageBox::information(this, tr("Halvorn DXU"),
                             tr("Please restart DXU to apply new network settings!"),
                             QMessageBox::Ok);
    close();
}
