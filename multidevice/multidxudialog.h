#pragma once

#include <QDialog>

// The slave dialog: a list of further instruments and the broadcast of one
// set of settings to every selected one.
class multidxudialog : public QDialog
{
    Q_OBJECT
public:
    explicit multidxudialog(QWidget *parent = nullptr);
};
