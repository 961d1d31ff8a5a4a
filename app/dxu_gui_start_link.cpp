// Connecting from the command line: the Connection menu's own steps, with the
// address from the command line in place of the address dialog; and what the
// operator is told about an address that cannot be reached.
#include "app/dxu_gui.h"

#include "device/ethernet_requests.h"
#include "device/http_client.h"

#include <QMessageBox>

void dxu_gui::connectUsbAtStart()
{
    ui.actionUSB->setChecked(true);
    connectUSB(true);
}

void dxu_gui::connectEthernetAtStart(const QString &address)
{
    ui.actionEthernet->setChecked(true);
    timeUnitMilli(true);
    openEthernetLink(address);
}

void dxu_gui::refuseAddress(const QString &problem)
{
    ui.actionEthernet->setChecked(false);
    QMessageBox box(QMessageBox::Warning, tr("DXU Ethernet Connection"), problem + QLatin1Char('.'),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText); // the text holds what was typed
    box.exec();
}

QString dxu_gui::unreachableText() const
{
    return EthernetRequests::unreachableText(httpClient->error() == HttpClient::HostNotFound,
                                             deviceIp);
}
