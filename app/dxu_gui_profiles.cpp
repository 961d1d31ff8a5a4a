// Named profiles in the per-user store, listed in the Profiles menu.
#include "app/dxu_gui.h"

void dxu_gui::addProfile() {}

void dxu_gui::deleteProfile() {}

void dxu_gui::loadProfileList() {}

void dxu_gui::loadProfileDXUSettings(QAction *action)
{
    Q_UNUSED(action);
}
