#pragma once

#include <QDialog>

namespace Ui {
class divDialog;
}

// The divider switch calculator: eight switch pictures for a divider value.
class dividebyDialog : public QDialog
{
    Q_OBJECT
public:
    explicit dividebyDialog(QWidget *parent = nullptr);
    ~dividebyDialog() override;

private slots:
    void dividerChanged(int value);

private:
    Ui::divDialog *ui;
};
