// Opening and closing the USB link.
#include "app/dxu_gui.h"

void dxu_gui::connectUSB(bool checked)
{
    Q_UNUSED(checked);
}

void dxu_gui::closeUsbLink() {}
