// Saves a picture of the main window as it looks at start-up, for the README:
// dxu-screenshot FILE.png (run with QT_QPA_PLATFORM=offscreen or under Xvfb).
#include "app/dxu_gui.h"
#include "support/test_support.h"

#include <QTimer>

int main(int argc, char *argv[])
{
    TestSupport::isolateSettings();
    Q_INIT_RESOURCE(dxu);
    QApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("panel.png");
    dxu_gui window;
    window.show();
    QTimer::singleShot(400, &window, [&] {
        window.grab().save(file);
        app.quit();
    });
    return app.exec();
}
