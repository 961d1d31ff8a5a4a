// Draws the windows as they look at start-up, for the README and the manual:
//   dxu-screenshot FILE.png    the main window
//   dxu-screenshot DIRECTORY   the main window and its three dialogs (panel.png,
//                              slave-dialog.png, network-dialog.png, divider-dialog.png)
// Run with QT_QPA_PLATFORM=offscreen or under Xvfb.
#include "app/dxu_gui.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "support/test_support.h"
#include "support/window_access.h"
#include "tools/dividebydialog.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char *argv[])
{
    TestSupport::isolateSettings();
    Q_INIT_RESOURCE(dxu);
    QApplication app(argc, argv);
    const QString target = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("panel.png");
    dxu_gui window;
    QList<QPair<QWidget *, QString>> pictures{{&window, target}};
    if (QFileInfo(target).isDir()) {
        const QDir dir(target);
        pictures = {{&window, dir.filePath(QStringLiteral("panel.png"))},
                    {DxuGuiTestAccess::slaveDialog(window),
                     dir.filePath(QStringLiteral("slave-dialog.png"))},
                    {DxuGuiTestAccess::networkDialog(window),
                     dir.filePath(QStringLiteral("network-dialog.png"))},
                    {DxuGuiTestAccess::dividerDialog(window),
                     dir.filePath(QStringLiteral("divider-dialog.png"))}};
    }
    for (const auto &picture : pictures)
        picture.first->show();
    int failures = 0;
    QTimer::singleShot(400, &window, [&] {
        for (const auto &picture : pictures)
            if (!picture.first->grab().save(picture.second))
                ++failures;
        app.quit();
    });
    app.exec();
    return failures == 0 ? 0 : 1;
}
