// A third probe of the start-up bench: the panel's form as uic builds it, in
// a plain main window, with none of the panel's own code.
#include "startup_probe.h"
#include "ui_dxu_gui.h"

#include <QMainWindow>

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(dxu);
    QApplication app(argc, argv);
    QMainWindow window;
    Ui_dxu_guiClass form;
    form.setupUi(&window);
    StartupProbe::FirstPaint probe(&window, argc, argv);
    window.show();
    return app.exec();
}
