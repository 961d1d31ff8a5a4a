#include "app/command_line.h"

#include "app/version.h"
#include "device/ipv4_address.h"

#include <QCommandLineParser>
#include <QCoreApplication>

StartOptions readStartOptions(const QCoreApplication &app)
{
    QCoreApplication::setApplicationName(QStringLiteral("dxu-panel"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(DxuVersion).mid(1));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Control panel of the DXU pulse generator."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption usbOption(
        QStringLiteral("usb"), QCoreApplication::translate("main", "Connect over USB at start."));
    const QCommandLineOption ethernetOption(
        QStringLiteral("ethernet"),
        QCoreApplication::translate("main", "Connect over Ethernet to <address> at start."),
        QStringLiteral("address"));
    parser.addOptions({usbOption, ethernetOption});
    parser.process(app);

    StartOptions options;
    options.usb = parser.isSet(usbOption);
    options.ethernetAddress = parser.value(ethernetOption).trimmed();
    if (!parser.positionalArguments().isEmpty())
        options.error = QCoreApplication::translate("main", "unexpected argument: %1")
                            .arg(parser.positionalArguments().constFirst());
    else if (options.usb && parser.isSet(ethernetOption))
        options.error =
            QCoreApplication::translate("main", "--usb and --ethernet exclude each other");
    else if (parser.isSet(ethernetOption) && options.ethernetAddress.isEmpty())
        options.error = QCoreApplication::translate("main", "--ethernet needs an address");
    else if (parser.isSet(ethernetOption))
        options.error = checkInstrumentAddress(options.ethernetAddress).problem;
    return options;
}

bool asksForTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "--help-all" ||
            argument == "-?" || argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}
