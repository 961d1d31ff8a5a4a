#include "network/finddialog.h"

#include "device/ipv4_address.h"
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

FindDialog::FindDialog(InstrumentLink *usb, QWidget *parent)
    : QDialog(parent), usbExchange(new UsbNetworkExchange(usb, this)),
      ethernetExchange(new EthernetNetworkExchange(RequestTimeoutMs, this)),
      exchange(ethernetExchange)
{
    for (NetworkExchange *each : {static_cast<NetworkExchange *>(usbExchange),
                                  static_cast<NetworkExchange *>(ethernetExchange)}) {
        connect(each, &NetworkExchange::readDone, this, &FindDialog::showReading);
        connect(each, &NetworkExchange::writeDone, this, &FindDialog::afterWriting);
    }
    buildForm();
    connect(submitButton, SIGNAL(clicked(bool)), this, SLOT(set_network_settings()));
    connect(cancelButton, SIGNAL(clicked(bool)), this, SLOT(reject()));
    connect(dhcpCheckBox, SIGNAL(toggled(bool)), this, SLOT(dhcpCheckBoxToggled(bool)));
    guardOperatorInput(this);
    setAccessibleTexts(this, "FindDialog", kNetworkDialog);
}

// A request still on its way must not report into a dialog being destroyed:
// its client outlives this destructor.
FindDialog::~FindDialog() { exchange->abandon(); }

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

void FindDialog::setUsbMode(bool usb)
{
    exchange->abandon();
    exchange = usb ? static_cast<NetworkExchange *>(usbExchange) : ethernetExchange;
}

void FindDialog::setDeviceIp(const QString &ip)
{
    ethernetExchange->setAddress(normalizedAddress(ip));
}

// Cancel, Escape or the window's close button: a request still on its way is
// given up, so that a write cannot complete later and ask for a restart.
void FindDialog::reject()
{
    exchange->abandon();
    QDialog::reject();
}

bool FindDialog::readNetworkSettings()
{
    exchange->abandon();
    linkLost = false;
    submitButton->setEnabled(true); // a failed USB read before may have disabled it
    exchange->read();
    return !linkLost;
}

// After a failed read the fields show what the link gives (nothing, or the
// last page that did arrive), then the operator is told.
void FindDialog::showReading(const NetworkExchange::Reading &reading)
{
    submitButton->setEnabled(reading.submittable);
    if (reading.lost) {
        linkLost = true;
        hide();
        emit usbDeviceLost();
        return;
    }
    if (reading.hasAddresses) {
        if (reading.serialNumber) {
            serialEdit->setText(*reading.serialNumber);
        } else {
            serialEdit->setEnabled(false);
            serialEdit->setText(tr("N/A (Only for USB)"));
        }
        macEdit->setText(reading.fields.mac);
        ipEdit->setText(reading.fields.ip);
        maskEdit->setText(reading.fields.mask);
        gatewayEdit->setText(reading.fields.gateway);
    }
    if (reading.hasDhcp)
        dhcpCheckBox->setChecked(reading.fields.dhcp);
    if (!reading.problem.isEmpty())
        QMessageBox::warning(this, reading.problemTitle, reading.problem, QMessageBox::Ok);
}

void FindDialog::afterWriting(const NetworkExchange::Writing &writing)
{
    if (writing.lost) {
        hide();
        emit usbDeviceLost();
    } else if (!writing.problem.isEmpty()) {
        QMessageBox::warning(this, writing.problemTitle, writing.problem, QMessageBox::Ok);
    } else {
        askForRestart();
    }
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
    exchange->abandon();
    exchange->write(AddressCheck::canonicalAddresses(fields));
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

void FindDialog::dhcpCheckBoxToggled(bool checked)
{
    ipEdit->setEnabled(!checked);
    maskEdit->setEnabled(!checked);
    gatewayEdit->setEnabled(!checked);
}

void FindDialog::askForRestart()
{
    QMessageBox::information(this, tr("Halvorn DXU"),
                             tr("Please restart DXU to apply new network settings!"),
                             QMessageBox::Ok);
    close();
}
