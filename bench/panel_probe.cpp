// The panel as app/main.cpp starts it, timed by the start-up bench.
#include "app/dxu_gui.h"
#include "startup_probe.h"

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(dxu);
    QApplication app(argc, argv);
    dxu_gui window;
    StartupProbe::FirstPaint probe(&window, argc, argv);
    window.show();
    return app.exec();
}
