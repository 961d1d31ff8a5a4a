#pragma once

class QMainWindow;

// Readies the main window's form for every operator: the wheel and Return
// guarded, each control named for a screen reader, the connection status
// drawn in the window's text colour.
void prepareMainWindowForOperator(QMainWindow *window);
