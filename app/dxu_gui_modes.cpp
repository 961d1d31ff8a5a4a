// Window modes, the about box, help, and the entries that open the dialogs.
#include "app/dxu_gui.h"

#include "multidevice/multidxudialog.h"
#include "tools/dividebydialog.h"

void dxu_gui::alwaysOnTop(bool on)
{
    Q_UNUSED(on);
}

void dxu_gui::about() {}

void dxu_gui::help() {}

void dxu_gui::ipsettings() {}

void dxu_gui::showSlaveControl()
{
    slaveDialog->show();
}

void dxu_gui::divByShow()
{
    dividerDialog->setModal(false);
    dividerDialog->show();
}

void dxu_gui::switchToCompactMode(bool on)
{
    Q_UNUSED(on);
}
