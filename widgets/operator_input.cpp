#include "widgets/operator_input.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace {

class OperatorInputFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *control = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::Wheel && !control->hasFocus()) {
            // Ignored, the wheel goes on to the widgets behind the control.
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            auto *button = qobject_cast<QPushButton *>(control);
            if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
                if (button->isEnabled() && !static_cast<QKeyEvent *>(event)->isAutoRepeat())
                    button->click();
                return true;
            }
        }
        return false;
    }
};

} // namespace

void guardOperatorInput(QWidget *window)
{
    auto *filter = new OperatorInputFilter(window);
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractSpinBox *>(control) || qobject_cast<QComboBox *>(control)) {
            // Without the wheel in its focus policy, a turn does not choose it.
            control->setFocusPolicy(Qt::StrongFocus);
            control->installEventFilter(filter);
        } else if (qobject_cast<QPushButton *>(control)) {
            control->installEventFilter(filter);
        }
    }
}
