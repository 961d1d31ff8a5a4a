#pragma once

#include <QString>

// The texts of the source and time-base combo entries as the main window
// shows them ("Software", "Gen1 Slave", "20 ns"), for output that names a
// setting as the window does. Empty for a code or index without an entry.
QString sourceEntryText(int generator, int code);
QString timeBaseEntryText(int index);
