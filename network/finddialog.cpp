#include "network/finddialog.h"

FindDialog::FindDialog(UsbDevice *device, QWidget *parent) : QDialog(parent), usbDevice(device) {}
