#include "app/command_line.h"
#include "app/dxu_gui.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(dxu);
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.halvorn.DxuPanel"));
    // Help and version are printed without opening the display.
    const std::unique_ptr<QCoreApplication> app(asksForTextOnly(argc, argv)
                                                    ? new QCoreApplication(argc, argv)
                                                    : new QApplication(argc, argv));
    const StartOptions options = readStartOptions(*app);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "dxu-panel: %s\n", qPrintable(options.error));
        return 1;
    }
    int exitCode = 0;
    {
        dxu_gui window;
        window.show();
        // Once the window is up, so that a failure box has it as its parent.
        if (options.usb)
            QTimer::singleShot(0, &window, &dxu_gui::connectUsbAtStart);
        else if (!options.ethernetAddress.isEmpty())
            QTimer::singleShot(0, &window, [&window, &options] {
                window.connectEthernetAtStart(options.ethernetAddress);
            });
        exitCode = QCoreApplication::exec();
    }
    return exitCode;
}
