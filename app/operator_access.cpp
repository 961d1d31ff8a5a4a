#include "app/operator_access.h"

#include "widgets/accessible_texts.h"
#include "widgets/operator_input.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>

namespace {

// The controls outside the generator panels whose own texts say too little
// ("Run Gen1") or nothing (a picture).
const AccessibleText kMainWindow[] = {
    {"runGen1", QT_TRANSLATE_NOOP("dxu_gui", "Run generator 1")},
    {"stopGen1", QT_TRANSLATE_NOOP("dxu_gui", "Stop generator 1")},
    {"runGen2", QT_TRANSLATE_NOOP("dxu_gui", "Run generator 2")},
    {"stopGen2", QT_TRANSLATE_NOOP("dxu_gui", "Stop generator 2")},
    {"runBoth", QT_TRANSLATE_NOOP("dxu_gui", "Run both generators")},
    {"resetButton", QT_TRANSLATE_NOOP("dxu_gui", "Stop both generators")},
    {"showG1", QT_TRANSLATE_NOOP("dxu_gui", "Preview generator 1")},
    {"showG2", QT_TRANSLATE_NOOP("dxu_gui", "Preview generator 2")},
    {"dl", QT_TRANSLATE_NOOP("dxu_gui", "Signal preview")},
};

} // namespace

void prepareMainWindowForOperator(QMainWindow *window)
{
    guardOperatorInput(window);
    nameGeneratorPanels(window);
    setAccessibleTexts(window, "dxu_gui", kMainWindow);
    if (auto *help = window->findChild<QMenu *>(QStringLiteral("menuAbout")))
        setAccessibleMenuName(help, QCoreApplication::translate("dxu_gui", "Help"));
    // The form greys the status out as a disabled label, too faint to read
    // (1.6:1 on a light window), and announced as unavailable; it is the
    // one place that says whether an instrument listens.
    if (auto *status = window->findChild<QLabel *>(QStringLiteral("dev_status")))
        status->setEnabled(true);
}
