#include "tools/dividebydialog.h"

#include "widgets/form_fit.h"
#include "tools/divider_bits.h"
#include "ui_dividebydialog.h"
#include "widgets/accessible_texts.h"
#include "widgets/operator_input.h"

#include <QLabel>
#include <QPixmap>

#include <array>

namespace {

std::array<QLabel *, DividerBits::SwitchCount> switchLabels(Ui::divDialog *ui)
{
    return {ui->label,   ui->label_2, ui->label_3, ui->label_4,
            ui->label_5, ui->label_6, ui->label_7, ui->label_8};
}

// A switch is a picture: its name says what the picture shows.
void nameSwitch(QLabel *label, int number, bool on)
{
    label->setAccessibleName(on ? dividebyDialog::tr("Switch %1 on").arg(number)
                                : dividebyDialog::tr("Switch %1 off").arg(number));
}

const AccessibleText kDividerDialog[] = {
    {"spinBox", QT_TRANSLATE_NOOP("dividebyDialog", "Divider")},
    {"label_9", QT_TRANSLATE_NOOP("dividebyDialog", "On is up")},
};

} // namespace

dividebyDialog::dividebyDialog(QWidget *parent) : QDialog(parent), ui(new Ui::divDialog)
{
    ui->setupUi(this);
    guardOperatorInput(this);
    setAccessibleTexts(this, "dividebyDialog", kDividerDialog);
    for (int k = 1; k <= DividerBits::SwitchCount; ++k)
        nameSwitch(switchLabels(ui)[k - 1], k, false); // the form's pictures
    // Drawn for the fonts of Windows; widened where the fonts here need more.
    const QSize drawn = size();
    resize(fitToFonts(this, drawn).map(QRect(QPoint(0, 0), drawn)).size());
}

dividebyDialog::~dividebyDialog() { delete ui; }

void dividebyDialog::dividerChanged(int value)
{
    const auto switches = switchLabels(ui);
    const auto on = DividerBits::switchStates(value);
    for (int k = 1; k <= DividerBits::SwitchCount; ++k) {
        const QString picture = QStringLiteral(":/divby/%1%2.png")
                                    .arg(k)
                                    .arg(on[k - 1] ? QLatin1String("on") : QLatin1String("off"));
        switches[k - 1]->setPixmap(QPixmap(picture));
        nameSwitch(switches[k - 1], k, on[k - 1]);
    }
}
