// dxu-cli's command line: the link, the options and the command.
#include "cli/dxu_cli.h"

#include "device/ipv4_address.h"
#include "cli/commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {
const char *const kCommands =
    "Commands:\n"
    "  status                      settings (ms), model and, where known, threshold\n"
    "  set KEY=VALUE...            change settings over the ones the DXU holds; keys:\n"
    "                              ts1 ts2 p1 p2 pn1 pn2 ch1_st1 ch1_et1 ch2_st1 ch2_et1\n"
    "                              ch1_st2 ch1_et2 ch2_st2 ch2_et2 freq1 freq2\n"
    "  run 1|2|both                run generators on the settings the DXU holds\n"
    "  stop [1|2]                  stop one generator, or both\n"
    "  threshold VOLTS             trigger threshold of a DXU3, 0.05 to 5 V\n"
    "  network                     MAC, IP, mask, gateway, DHCP\n"
    "  network --set KEY=VALUE...  mac= ip= mask= gateway= dhcp=on|off (used after a restart)\n"
    "  profile list                the panel's stored profiles\n"
    "  profile load NAME           program a stored profile (both generators stop)\n"
    "  profile save NAME           store the DXU's settings as a profile\n"
    "  export FILE                 the panel's settings export; FILE - is standard output\n"
    "\n"
    "Calls on one DXU wait for each other: set reads the settings and sends them all\n"
    "back with its changes, so two at once would undo each other. The panel, or\n"
    "dxu-cli on another computer, takes no part in that wait. Over Ethernet times\n"
    "travel with six significant digits; set says on stderr what it rounds.\n"
    "\n"
    "Exit status: 0 success, 1 the DXU did not answer or a transfer failed,\n"
    "2 usage error (the DXU was not changed).";

} // namespace

int runDxuCli(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Controls a DXU pulse generator over USB or Ethernet, one command a call.\n\n") +
        QLatin1String(kCommands));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption usb(QStringLiteral("usb"), QStringLiteral("Talk to the DXU on USB."));
    const QCommandLineOption ethernet(
        QStringLiteral("ethernet"),
        QStringLiteral("Talk to the DXU at this IPv4 address or host name."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Wait at most MS milliseconds for each Ethernet reply (default %1; USB "
                       "transfers wait 1000 ms each).")
            .arg(CliOptions().timeoutMs),
        QStringLiteral("MS"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("status, network, profile list: print JSON."));
    const QCommandLineOption networkSet(QStringLiteral("set"),
                                        QStringLiteral("network: write the configuration."));
    parser.addOptions({usb, ethernet, timeout, json, networkSet});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("See the commands above."),
                                 QStringLiteral("COMMAND [ARGUMENTS...]"));

    const auto usage = [&err](const QString &why) { return usageError(err, why); };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        out << parser.helpText();
        return CliExit::Ok;
    }
    if (parser.isSet(version)) {
        out << "dxu-cli " << QCoreApplication::applicationVersion() << '\n';
        return CliExit::Ok;
    }

    CliOptions options;
    options.json = parser.isSet(json);
    options.networkSet = parser.isSet(networkSet);
    options.arguments = parser.positionalArguments();
    options.command = options.arguments.isEmpty() ? QString() : options.arguments.takeFirst();
    if (parser.isSet(timeout)) {
        bool ok = false;
        options.timeoutMs = parser.value(timeout).toInt(&ok);
        if (!ok || options.timeoutMs <= 0)
            return usage(QStringLiteral("--timeout needs a positive number of milliseconds"));
    }
    if (parser.isSet(usb) && parser.isSet(ethernet))
        return usage(QStringLiteral("choose either --usb or --ethernet"));
    if (parser.isSet(ethernet)) {
        options.link = CliLink::Ethernet;
        const InstrumentAddress address = checkInstrumentAddress(parser.value(ethernet));
        if (!address.problem.isEmpty())
            return usage(address.problem);
        options.address = address.address;
    } else if (parser.isSet(usb)) {
        options.link = CliLink::Usb;
    }
    const bool profileList = options.command == QLatin1String("profile") &&
                             options.arguments.value(0) == QLatin1String("list");
    if (options.link == CliLink::None && !profileList && !options.command.isEmpty())
        return usage(QStringLiteral("choose the link: --usb or --ethernet ADDRESS"));
    return runCommand(options, out, err);
}
