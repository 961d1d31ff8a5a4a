// dxu-scpi: the DXU as a SCPI instrument on a TCP port, for PyVISA,
// PyMeasure, QCoDeS, LabVIEW and any other lab framework.
#include "device/ipv4_address.h"
#include "scpi/scpi_device.h"
#include "scpi/scpi_server.h"
#include "sim/termination_signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QTextStream>

#ifdef DXU_SCPI_FAKE_USB
#include "fakeusb/fake_usb.h"
#include <cstdlib>
#endif

namespace {

int usage(QTextStream &err, const QString &why)
{
    err << "dxu-scpi: " << why << "\nTry \"dxu-scpi --help\"." << Qt::endl;
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dxu-scpi"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DXU_VERSION));
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves one DXU as a SCPI instrument over TCP (VISA resource "
        "TCPIP::host::5025::SOCKET).\nNo authentication: listen beyond loopback only behind a "
        "firewall, or reach it through an SSH tunnel."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption usb(QStringLiteral("usb"), QStringLiteral("Serve the DXU on USB."));
    const QCommandLineOption ethernet(QStringLiteral("ethernet"),
                                      QStringLiteral("Serve the DXU at this IPv4 address or host "
                                                     "name."),
                                      QStringLiteral("ADDRESS"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Listen here (default 127.0.0.1:5025)."),
                                    QStringLiteral("ADDR:PORT"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Print each command and what it put on the wire."));
    parser.addOptions({usb, ethernet, listen, verbose});
    parser.process(app);

    ScpiTarget target;
    target.version = QCoreApplication::applicationVersion();
    if (parser.isSet(usb) == parser.isSet(ethernet))
        return usage(err, QStringLiteral("choose either --usb or --ethernet ADDRESS"));
    if (parser.isSet(ethernet)) {
        const InstrumentAddress address = checkInstrumentAddress(parser.value(ethernet));
        if (!address.problem.isEmpty())
            return usage(err, address.problem);
        target.link = CliLink::Ethernet;
        target.address = address.address;
    }
    QHostAddress host(QHostAddress::LocalHost);
    quint16 port = 5025;
    if (parser.isSet(listen)) {
        const QString text = parser.value(listen);
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        bool ok = colon > 0;
        const uint number = ok ? text.mid(colon + 1).toUInt(&ok) : 0;
        QString name = text.left(colon);
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        if (!ok || number > 65535 || !host.setAddress(name))
            return usage(err, QStringLiteral("--listen needs ADDR:PORT, e.g. 127.0.0.1:5025"));
        port = static_cast<quint16>(number);
    }

#ifdef DXU_SCPI_FAKE_USB
    // The test build: a simulated instrument on USB, its frames on stdout.
    FakeUsb::reset();
    const int fake = FakeUsb::addInstrument(std::getenv("DXU_FAKE_MODEL") &&
                                                    std::getenv("DXU_FAKE_MODEL")[0] == '2'
                                                ? FakeUsb::Model::Dxu2
                                                : FakeUsb::Model::Dxu3);
#endif

    ScpiDevice device(target);
    ScpiServer server(device);
    QTextStream out(stdout);
    if (parser.isSet(verbose)) {
        device.setTrace([&out](const QString &what) { out << "   " << what << Qt::endl; });
        server.setLog([&out](const QString &what) { out << what << Qt::endl; });
    }
    if (!server.listen(host, port)) {
        err << "dxu-scpi: cannot listen on " << host.toString() << ':' << port << ": "
            << server.errorString() << Qt::endl;
        return 1;
    }
    if (!host.isLoopback())
        err << "dxu-scpi: listening on " << host.toString() << ':' << server.port()
            << ", beyond loopback: anyone who reaches it drives the DXU (no authentication)"
            << Qt::endl;
    err << "dxu-scpi: serving the DXU "
        << (target.link == CliLink::Usb ? QStringLiteral("on USB") : target.address) << " on "
        << host.toString() << ':' << server.port() << "; Ctrl+C ends it" << Qt::endl;
    quitOnTerminationSignals(app);
    const int status = app.exec();
#ifdef DXU_SCPI_FAKE_USB
    for (const FakeUsb::Bytes &frame : FakeUsb::framesWritten(fake))
        out << "frame "
            << QByteArray(reinterpret_cast<const char *>(frame.data()),
                          static_cast<int>(frame.size()))
                   .toHex(' ')
            << Qt::endl;
#endif
    err << "dxu-scpi: stopped" << Qt::endl;
    return status;
}
