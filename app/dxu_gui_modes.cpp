// Window modes, the about box, help, and the entries that open the dialogs.
#include "app/dxu_gui.h"

void dxu_gui::alwaysOnTop(bool on)
{
    Q_UNUSED(on);
}

void dxu_gui::about() {}

void dxu_gui::help() {}

void dxu_gui::ipsettings() {}

void dxu_gui::showSlaveControl() {}

void dxu_gui::divByShow() {}

void dxu_gui::switchToCompactMode(bool on)
{
    Q_UNUSED(on);
}
