#include "tools/dividebydialog.h"

dividebyDialog::dividebyDialog(QWidget *parent) : QDialog(parent) {}
