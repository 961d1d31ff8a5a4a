// Connecting from the command line: the Connection menu's own steps, with the
// address from the command line in place of the address dialog.
#include "app/dxu_gui.h"

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
