// The baseline of the start-up bench: a bare Qt window with a menu and a
// button.
#include "startup_probe.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Exit"));
    window.setCentralWidget(new QPushButton(QStringLiteral("Button")));
    StartupProbe::FirstPaint probe(&window, argc, argv);
    window.show();
    return app.exec();
}
