// The signal preview: geometry from the previewed generator's boxes, drawing
// into the preview image, hand-over to the label.
#include "app/dxu_gui.h"

#include <QPixmap>

void dxu_gui::showSwitch()
{
    previewShowsGen1 = ui.showG1->isChecked();
    ui.previewGroup->setTitle(previewShowsGen1 ? tr("Signal Preview for Generator#1")
                                               : tr("Signal Preview for Generator#2"));
    updatePreviewGeometry();
}

void dxu_gui::updatePreviewGeometry()
{
    const QList<QDoubleSpinBox *> boxes = timeBoxes(previewShowsGen1 ? 1 : 2);
    PreviewInputs inputs;
    inputs.period = boxes[0]->value();
    inputs.ch1Delay = boxes[1]->value();
    inputs.ch1Width = boxes[2]->value();
    inputs.ch2Delay = boxes[3]->value();
    inputs.ch2Width = boxes[4]->value();
    previewGeometry =
        computePreviewGeometry(previewGeometry, ui.dl->width(), inputs, &previewScale);
    handPreviewToLabel();
}

void dxu_gui::handPreviewToLabel() { ui.dl->setPixmap(*previewImage); }

void dxu_gui::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
    QImage image(previewImage->size(), QImage::Format_ARGB32_Premultiplied);
    drawPreview(
        image, previewGeometry,
        frequencyLine(ui.periodG1->value() * unitFactor, ui.periodG2->value() * unitFactor));
    // The label shows the latest drawing. It is handed over only when the
    // drawing changed: handing it over repaints the label, which repaints this
    // window beneath it, and an unchanged drawing must not start that again.
    if (image == previewImage->toImage().convertToFormat(image.format()))
        return;
    *previewImage = QPixmap::fromImage(image);
    handPreviewToLabel();
}
