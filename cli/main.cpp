#include "cli/dxu_cli.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dxu-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DXU_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runDxuCli(QCoreApplication::arguments(), out, err);
}
