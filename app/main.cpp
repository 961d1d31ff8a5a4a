#include "app/dxu_gui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(dxu);
    QApplication app(argc, argv);
    int exitCode = 0;
    {
        dxu_gui window;
        window.show();
        exitCode = app.exec();
    }
    return exitCode;
}
