#pragma once

#include <QString>

class QCoreApplication;

// What the command line asks the panel to do at start.
struct StartOptions
{
    bool usb = false;
    QString ethernetAddress; // empty: no Ethernet link at start
    QString error;           // a mistake on the command line, for the terminal
};

// Reads the panel's options from the application's arguments. --help and
// --version print their text and end the program, as does an unknown option.
StartOptions readStartOptions(const QCoreApplication &app);

// True when the arguments ask only for a text (help or version), which needs
// no display.
bool asksForTextOnly(int argc, char **argv);
