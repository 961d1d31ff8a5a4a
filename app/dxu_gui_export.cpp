// Export of the displayed settings to a text file.
#include "app/dxu_gui.h"

void dxu_gui::exportDXUSettings() {}
