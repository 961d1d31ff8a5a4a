#pragma once

#include <QDialog>

// The divider switch calculator: eight switch pictures for a divider value.
class dividebyDialog : public QDialog
{
    Q_OBJECT
public:
    explicit dividebyDialog(QWidget *parent = nullptr);
};
