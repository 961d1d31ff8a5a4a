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
    refreshPreview();
}

// Runs at every repaint of the window and at every tick of the repaint timer.
// The drawing depends only on the geometry and the frequency line, so it is
// redrawn, and handed to the label, only when one of them changed: a tick or
// a repaint that changes nothing costs one comparison. Handing the drawing
// over repaints the label (and this window beneath it); the second pass finds
// nothing changed, so that never loops.
void dxu_gui::refreshPreview()
{
    const QString frequencies =
        frequencyLine(ui.periodG1->value() * unitFactor, ui.periodG2->value() * unitFactor);
    if (previewDrawn && previewGeometry == drawnGeometry && frequencies == drawnFrequencies)
        return;
    QImage image(previewImage->size(), QImage::Format_ARGB32_Premultiplied);
    drawPreview(image, previewGeometry, frequencies);
    *previewImage = QPixmap::fromImage(image);
    previewDrawn = true;
    drawnGeometry = previewGeometry;
    drawnFrequencies = frequencies;
    handPreviewToLabel();
}
