// dxu-sim: one simulated instrument on the network, so that the panel can be
// tried without hardware. Prints one line per request on stdout.
#include "sim/dxu_sim_server.h"
#include "sim/hostile_web_server.h"
#include "sim/termination_signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QTextStream>

namespace {

int serveHostile(QCoreApplication &app, const QHostAddress &address, quint16 port,
                 HostileWebServer::Behaviour behaviour)
{
    QTextStream out(stdout);
    HostileWebServer server(behaviour);
    QObject::connect(&server, &HostileWebServer::requestHandled, &app,
                     [&out](const QString &line) { out << line << Qt::endl; });
    if (!server.start(address, port)) {
        QTextStream(stderr) << "dxu-sim: cannot listen on " << address.toString() << ':' << port
                            << ": " << server.errorString() << Qt::endl;
        return 1;
    }
    quitOnTerminationSignals(app);
    out << "Hostile web server (" << HostileWebServer::name(behaviour) << ") on "
        << address.toString() << ':' << port << "; Ctrl+C ends it" << Qt::endl;
    const int status = app.exec();
    server.stop();
    out << "dxu-sim: stopped" << Qt::endl;
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dxu-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DXU_SIM_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates the web server of one DXU pulse generator, so that the panel "
                       "can connect to it over Ethernet without hardware."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Address to listen on (127.0.0.1)."),
                                           QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (80)."),
                                        QStringLiteral("port"), QStringLiteral("80"));
    const QCommandLineOption modelOption(QStringLiteral("model"),
                                         QStringLiteral("Instrument model, 2 or 3 (3)."),
                                         QStringLiteral("2|3"), QStringLiteral("3"));
    const QCommandLineOption silentOption(QStringLiteral("silent"),
                                          QStringLiteral("Accept connections but never answer."));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Answer every request after MS ms."),
                                         QStringLiteral("MS"), QStringLiteral("0"));
    QStringList cases;
    for (HostileWebServer::Behaviour behaviour : HostileWebServer::allBehaviours())
        cases << HostileWebServer::name(behaviour);
    const QCommandLineOption hostileOption(
        QStringLiteral("hostile"),
        QStringLiteral("Misbehave in one way instead of answering: %1.")
            .arg(cases.join(QStringLiteral(", "))),
        QStringLiteral("CASE"));
    parser.addOptions(
        {addressOption, portOption, modelOption, silentOption, delayOption, hostileOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QHostAddress address(parser.value(addressOption));
    bool portOk = false, delayOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    const int delay = parser.value(delayOption).toInt(&delayOk);
    const QString model = parser.value(modelOption);
    if (address.isNull()) {
        err << "dxu-sim: not an IP address: " << parser.value(addressOption) << Qt::endl;
        return 2;
    }
    if (!portOk || port == 0 || port > 65535) {
        err << "dxu-sim: not a port: " << parser.value(portOption) << Qt::endl;
        return 2;
    }
    if (model != QLatin1String("2") && model != QLatin1String("3")) {
        err << "dxu-sim: the model is 2 or 3, not " << model << Qt::endl;
        return 2;
    }
    if (!delayOk || delay < 0) {
        err << "dxu-sim: not a delay in milliseconds: " << parser.value(delayOption) << Qt::endl;
        return 2;
    }

    HostileWebServer::Behaviour behaviour = HostileWebServer::EndlessBody;
    if (parser.isSet(hostileOption) &&
        !HostileWebServer::fromName(parser.value(hostileOption), behaviour)) {
        err << "dxu-sim: no such hostile case: " << parser.value(hostileOption) << Qt::endl;
        return 2;
    }
    if (parser.isSet(hostileOption))
        return serveHostile(app, address, quint16(port), behaviour);

    DxuSimServer server;
    server.setModel(model.toInt());
    server.setSilent(parser.isSet(silentOption));
    server.setReplyDelay(delay);
    DxuSimState state;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 ip = address.toIPv4Address();
        state.network.ip = {quint8(ip >> 24), quint8(ip >> 16), quint8(ip >> 8), quint8(ip)};
    }
    server.setState(state);
    QObject::connect(&server, &DxuSimServer::requestHandled, &app,
                     [&out](const QString &line) { out << line << Qt::endl; });

    if (!server.start(address, static_cast<quint16>(port))) {
        err << "dxu-sim: cannot listen on " << address.toString() << ':' << port << ": "
            << server.errorString() << Qt::endl;
        return 1;
    }
    quitOnTerminationSignals(app);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    out << "DXU" << model << " simulator on http://" << host << ':' << port
        << (server.isSilent() ? " (silent)" : "") << "; Ctrl+C ends it" << Qt::endl;
    const int status = app.exec();
    server.stop();
    out << "dxu-sim: stopped" << Qt::endl;
    return status;
}
