#include "multidevice/multidxudialog.h"

multidxudialog::multidxudialog(QWidget *parent) : QDialog(parent) {}
