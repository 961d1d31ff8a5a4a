#pragma once

#include <QDialog>

class UsbDevice;

// The instrument's network configuration: read and written over the link
// the main window uses.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    FindDialog(UsbDevice *device, QWidget *parent = nullptr);

private:
    UsbDevice *usbDevice;
};
