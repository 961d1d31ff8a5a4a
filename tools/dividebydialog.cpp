#include "tools/dividebydialog.h"

#include "forms/form_fit.h"
#include "tools/divider_bits.h"
#include "ui_dividebydialog.h"

#include <QLabel>
#include <QPixmap>

dividebyDialog::dividebyDialog(QWidget *parent) : QDialog(parent), ui(new Ui::divDialog)
{
    ui->setupUi(this);
    // Drawn for the fonts of Windows; widened where the fonts here need more.
    const QSize drawn = size();
    resize(fitToFonts(this, drawn).map(QRect(QPoint(0, 0), drawn)).size());
}

dividebyDialog::~dividebyDialog() { delete ui; }

void dividebyDialog::dividerChanged(int value)
{
    QLabel *const switches[DividerBits::SwitchCount] = {ui->label,   ui->label_2, ui->label_3,
                                                        ui->label_4, ui->label_5, ui->label_6,
                                                        ui->label_7, ui->label_8};
    const auto on = DividerBits::switchStates(value);
    for (int k = 1; k <= DividerBits::SwitchCount; ++k) {
        const QString picture = QStringLiteral(":/divby/%1%2.png")
                                    .arg(k)
                                    .arg(on[k - 1] ? QLatin1String("on") : QLatin1String("off"));
        switches[k - 1]->setPixmap(QPixmap(picture));
    }
}
