#include "scpi/scpi_device.h"

#include "device/counter_range.h"
#include "device/record_ranges.h"
#include "network/address_check.h"
#include "persistence/profile_names.h"
#include "persistence/profile_store.h"

#include <QLockFile>

#include <cmath>

using Scpi::Command;

struct ScpiDevice::Entry
{
    const char *pattern;
    bool query;
    int parameters;
    bool (ScpiDevice::*handler)(const Command &, const QList<int> &, QByteArray &);
};

// Read from top to bottom; the first whose header, query form and number of
// parameters fit carries the command out.
const ScpiDevice::Entry ScpiDevice::entries[] = {
    {"*IDN", true, 0, &ScpiDevice::identify},
    {"*RST", false, 0, &ScpiDevice::reset},
    {"*CLS", false, 0, &ScpiDevice::common},
    {"*ESE", false, 1, &ScpiDevice::common},
    {"*ESE", true, 0, &ScpiDevice::common},
    {"*ESR", true, 0, &ScpiDevice::common},
    {"*STB", true, 0, &ScpiDevice::common},
    {"*OPC", false, 0, &ScpiDevice::common},
    {"*OPC", true, 0, &ScpiDevice::common},
    {"*WAI", false, 0, &ScpiDevice::common},
    {"SYSTem:ERRor[:NEXT]", true, 0, &ScpiDevice::errorQueue},
    {"SYSTem:ERRor:COUNt", true, 0, &ScpiDevice::errorQueue},
    {"[SOURce]:GENerator#:PERiod", false, 1, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:PERiod", true, 0, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:COUNt", false, 1, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:COUNt", true, 0, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:TBASe", false, 1, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:TBASe", true, 0, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:SOURce", false, 1, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:SOURce", true, 0, &ScpiDevice::generator},
    {"[SOURce]:GENerator#:STATe", false, 1, &ScpiDevice::generatorState},
    {"[SOURce]:GENerator#:STATe", true, 0, &ScpiDevice::generatorState},
    {"[SOURce]:CHANnel#:DELay", false, 1, &ScpiDevice::channel},
    {"[SOURce]:CHANnel#:DELay", true, 0, &ScpiDevice::channel},
    {"[SOURce]:CHANnel#:WIDTh", false, 1, &ScpiDevice::channel},
    {"[SOURce]:CHANnel#:WIDTh", true, 0, &ScpiDevice::channel},
    {"TRIGger:LEVel", false, 1, &ScpiDevice::threshold},
    {"TRIGger:LEVel", true, 0, &ScpiDevice::threshold},
    {"SYSTem:COMMunicate:LAN:MAC", false, 1, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:MAC", true, 0, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:IPADdress", false, 1, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:IPADdress", true, 0, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:SMASk", false, 1, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:SMASk", true, 0, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:GATeway", false, 1, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:GATeway", true, 0, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:DHCP", false, 1, &ScpiDevice::network},
    {"SYSTem:COMMunicate:LAN:DHCP", true, 0, &ScpiDevice::network},
    {"MEMory:CATalog", true, 0, &ScpiDevice::memory},
    {"MEMory:SAVE", false, 1, &ScpiDevice::memory},
    {"MEMory:LOAD", false, 1, &ScpiDevice::memory},
};

namespace {

// The last node of the command, as its short form ("PER"), to tell the
// commands of one handler apart.
bool last(const Command &command, const char *mnemonic)
{
    return Scpi::matchesMnemonic(command.nodes.last().mnemonic, mnemonic);
}

QByteArray number(double value) { return QByteArray::number(value, 'g', 10); }

QString assignment(const QString &key, double value)
{
    return key + QLatin1Char('=') + QString::number(value, 'g', 15);
}

// Start sources by generator: the mnemonic and the code the instrument holds.
struct Source
{
    const char *mnemonic;
    int code;
};
const Source kSourcesG1[] = {
    {"SOFTware", 0}, {"SYNC", 1}, {"RISing", 2}, {"FALLing", 4}, {"HIGH", 6}};
const Source kSourcesG2[] = {{"SOFTware", 0}, {"GEN1", 1}};

} // namespace

ScpiDevice::ScpiDevice(const ScpiTarget &target) : target(target) {}

ScpiDevice::~ScpiDevice() = default;

QByteArray ScpiDevice::executeLine(const QByteArray &line)
{
    QList<QByteArray> replies;
    for (const Command &command : Scpi::parseLine(line)) {
        if (command.error) {
            model.pushError(command.error, command.detail);
            break;
        }
        if (!execute(command, replies))
            break;
    }
    link.reset();
    lock.reset();
    return replies.join(';');
}

bool ScpiDevice::execute(const Command &command, QList<QByteArray> &replies)
{
    // Undefined unless the header exists in this form (command or query).
    bool headerKnown = false;
    int fewestParameters = 0;
    for (const Entry &entry : entries) {
        const bool common = entry.pattern[0] == '*';
        QList<int> suffixes;
        if (common != command.common || entry.query != command.query ||
            !Scpi::matchHeader(command.nodes, entry.pattern + (common ? 1 : 0), &suffixes))
            continue;
        headerKnown = true;
        fewestParameters = entry.parameters;
        if (entry.parameters != command.parameters.size())
            continue;
        QByteArray reply;
        const bool goOn = (this->*entry.handler)(command, suffixes, reply);
        if (command.query && !reply.isNull())
            replies << reply;
        return goOn;
    }
    if (!headerKnown)
        model.pushError(-113);
    else
        model.pushError(command.parameters.size() < fewestParameters ? -109 : -108);
    return true;
}

InstrumentLink &ScpiDevice::instrument()
{
    if (!link) {
        const QString address = target.link == CliLink::Usb ? QString() : target.address;
        lock = std::make_unique<QLockFile>(instrumentLockPath(target.link, address));
        if (!ProfileStore::takeLock(*lock, 4 * target.timeoutMs + 1000)) {
            lock.reset();
            link = makeBusyLink(QStringLiteral("another program kept the DXU busy too long"));
        } else {
            link = target.link == CliLink::Usb ? makeUsbLink()
                                               : makeEthernetLink(target.address, target.timeoutMs);
        }
        link->setTrace(tracer);
    }
    return *link;
}

bool ScpiDevice::linkFailed()
{
    model.pushError(-240, link->failure());
    return false;
}

bool ScpiDevice::actionDone(const LinkActions::Result &result, int refusedCode)
{
    if (tracer)
        for (const QString &note : result.notes)
            tracer(note);
    if (result.status == LinkActions::Status::Refused)
        model.pushError(refusedCode, result.problem);
    if (result.status == LinkActions::Status::Failed) {
        model.pushError(-240, result.problem);
        return false;
    }
    return true;
}

bool ScpiDevice::readState(InstrumentState &state)
{
    return actionDone(LinkActions::readState(instrument(), state));
}

bool ScpiDevice::setValues(const LinkActions::Assignments &assign)
{
    return actionDone(
        LinkActions::setValues(instrument(), target.link == CliLink::Ethernet, assign));
}

bool ScpiDevice::identify(const Command &, const QList<int> &, QByteArray &reply)
{
    InstrumentState state;
    if (!readState(state))
        return false;
    QString serial = QStringLiteral("0");
    NetworkFields fields;
    if (target.link == CliLink::Usb && !instrument().readNetwork(fields, serial))
        return linkFailed();
    reply = QStringLiteral("Halvorn,%1,%2,%3")
                .arg(state.isDxu3 ? QLatin1String("DXU3") : QLatin1String("DXU2"),
                     serial.isEmpty() ? QStringLiteral("0") : serial, target.version)
                .toLatin1();
    return true;
}

bool ScpiDevice::reset(const Command &, const QList<int> &, QByteArray &)
{
    return instrument().sendSettingsAndStop(GeneratorSettings()) || linkFailed();
}

bool ScpiDevice::common(const Command &command, const QList<int> &, QByteArray &reply)
{
    const QByteArray &name = command.nodes.first().mnemonic;
    if (name == "CLS") {
        model.clear();
    } else if (name == "ESE" && !command.query) {
        const std::optional<double> mask =
            Scpi::parseNumeric(command.parameters.first(), Scpi::Unit::None, 0, 255);
        if (!mask || *mask < 0 || *mask > 255 || *mask != std::floor(*mask))
            model.pushError(-222, QStringLiteral("*ESE takes 0 to 255"));
        else
            model.setEventEnable(static_cast<int>(*mask));
    } else if (name == "ESE") {
        reply = QByteArray::number(model.eventEnable());
    } else if (name == "ESR") {
        reply = QByteArray::number(model.takeEventRegister());
    } else if (name == "STB") {
        reply = QByteArray::number(model.statusByte());
    } else if (name == "OPC") {
        // Every command is done when the next is read.
        if (command.query)
            reply = "1";
        else
            model.operationComplete();
    }
    return true;
}

bool ScpiDevice::errorQueue(const Command &command, const QList<int> &, QByteArray &reply)
{
    reply = last(command, "COUNt") ? QByteArray::number(model.errorCount()) : model.nextError();
    return true;
}

bool ScpiDevice::generator(const Command &command, const QList<int> &suffixes, QByteArray &reply)
{
    const int g = suffixes.value(0);
    if (g < 1 || g > 2) {
        model.pushError(-114, QStringLiteral("generators 1 and 2"));
        return true;
    }
    const QString n = QString::number(g);
    const bool g1 = g == 1;
    if (command.query) {
        InstrumentState state;
        if (!readState(state))
            return false;
        const GeneratorSettings &r = state.record;
        if (last(command, "PERiod"))
            reply = number((g1 ? r.p1 : r.p2) / 1000);
        else if (last(command, "COUNt"))
            reply = QByteArray::number(g1 ? r.pn1 : r.pn2);
        else if (last(command, "TBASe"))
            reply = number(CounterRange::tickMs(g1 ? r.freq1 : r.freq2) / 1000);
        else
            for (const Source &source :
                 g1 ? QList<Source>(std::begin(kSourcesG1), std::end(kSourcesG1))
                    : QList<Source>(std::begin(kSourcesG2), std::end(kSourcesG2)))
                if (source.code == (g1 ? r.ts1 : r.ts2))
                    for (const char c : QByteArray(source.mnemonic))
                        if (!(c >= 'a' && c <= 'z'))
                            reply += c;
        return true;
    }
    const QByteArray &text = command.parameters.first();
    LinkActions::Assignments assign;
    if (last(command, "PERiod")) {
        if (!Scpi::parseNumeric(text, Scpi::Unit::Seconds, 0, 0)) {
            model.pushError(-224, QStringLiteral("a time in seconds, MIN or MAX"));
            return true;
        }
        assign = [=](const GeneratorSettings &r) {
            const int base = g1 ? r.freq1 : r.freq2;
            const double s = *Scpi::parseNumeric(text, Scpi::Unit::Seconds,
                                                 CounterRange::minLengthMs(base) / 1000,
                                                 CounterRange::maxMs(base) / 1000);
            return QStringList{assignment(QStringLiteral("p") + n, s * 1000)};
        };
    } else if (last(command, "COUNt")) {
        const std::optional<double> count =
            Scpi::parseNumeric(text, Scpi::Unit::None, 0, RecordRanges::MaxPulses);
        if (!count || *count != std::floor(*count) || std::fabs(*count) > 1e9) {
            model.pushError(-224, QStringLiteral("a whole number of pulses, MIN or MAX"));
            return true;
        }
        const QStringList named{QStringLiteral("pn%1=%2").arg(n).arg(qint64(*count))};
        assign = [named](const GeneratorSettings &) { return named; };
    } else if (last(command, "TBASe")) {
        const std::optional<double> tick =
            Scpi::parseNumeric(text, Scpi::Unit::Seconds, 20e-9, 160e-9);
        int base = -1;
        for (int i = 0; tick && i < RecordRanges::TimeBaseCount; ++i)
            if (std::fabs(*tick * 1000 - CounterRange::tickMs(i)) < 1e-9)
                base = i;
        if (base < 0) {
            model.pushError(-224, QStringLiteral("20NS, 40NS, 80NS or 160NS"));
            return true;
        }
        const QStringList named{QStringLiteral("freq%1=%2").arg(n).arg(base)};
        assign = [named](const GeneratorSettings &) { return named; };
    } else {
        int code = -1;
        if (g1) {
            for (const Source &source : kSourcesG1)
                if (Scpi::matchesMnemonic(text, source.mnemonic))
                    code = source.code;
        } else {
            for (const Source &source : kSourcesG2)
                if (Scpi::matchesMnemonic(text, source.mnemonic))
                    code = source.code;
        }
        if (code < 0) {
            model.pushError(-224, g1 ? QStringLiteral("SOFT, SYNC, RIS, FALL or HIGH")
                                     : QStringLiteral("SOFT or GEN1"));
            return true;
        }
        const QStringList named{QStringLiteral("ts%1=%2").arg(n).arg(code)};
        assign = [named](const GeneratorSettings &) { return named; };
    }
    return setValues(assign);
}

bool ScpiDevice::generatorState(const Command &command, const QList<int> &suffixes, QByteArray &)
{
    const int g = suffixes.value(0);
    if (g < 1 || g > 2) {
        model.pushError(-114, QStringLiteral("generators 1 and 2"));
        return true;
    }
    if (command.query) {
        model.pushError(-200, QStringLiteral("the DXU does not report whether a generator runs"));
        return true;
    }
    const std::optional<bool> on = Scpi::parseBoolean(command.parameters.first());
    if (!on) {
        model.pushError(-224, QStringLiteral("ON, OFF, 1 or 0"));
        return true;
    }
    if (*on)
        return actionDone(
            LinkActions::runHeld(instrument(), target.link == CliLink::Ethernet, g == 1, g == 2));
    return instrument().stop(g == 1, g == 2) || linkFailed();
}

bool ScpiDevice::channel(const Command &command, const QList<int> &suffixes, QByteArray &reply)
{
    const int ch = suffixes.value(0);
    if (ch < 1 || ch > 4) {
        model.pushError(-114, QStringLiteral("channels 1 to 4"));
        return true;
    }
    // Channels 1 and 2 belong to generator 1, 3 and 4 to generator 2.
    const int g = (ch + 1) / 2;
    const int startIndex = RecordFields::channelField(ch, RecordFields::Kind::Start);
    const int endIndex = RecordFields::channelField(ch, RecordFields::Kind::End);
    const QString start = QLatin1String(RecordFields::all()[startIndex].name);
    const QString end = QLatin1String(RecordFields::all()[endIndex].name);
    const bool delay = last(command, "DELay");
    if (command.query) {
        InstrumentState state;
        if (!readState(state))
            return false;
        const double s = RecordFields::value(state.record, startIndex);
        const double e = RecordFields::value(state.record, endIndex);
        reply = number((delay ? s : e - s) / 1000);
        return true;
    }
    const QByteArray text = command.parameters.first();
    if (!Scpi::parseNumeric(text, Scpi::Unit::Seconds, 0, 0)) {
        model.pushError(-224, QStringLiteral("a time in seconds, MIN or MAX"));
        return true;
    }
    // A delay moves the pulse and keeps its width; a width keeps the delay.
    return setValues([=](const GeneratorSettings &r) {
        const double s = RecordFields::value(r, startIndex);
        const double e = RecordFields::value(r, endIndex);
        const double most = CounterRange::maxMs(g == 1 ? r.freq1 : r.freq2);
        if (delay) {
            const double ms =
                *Scpi::parseNumeric(text, Scpi::Unit::Seconds, 0, (most - (e - s)) / 1000) * 1000;
            return QStringList{assignment(start, ms), assignment(end, ms + (e - s))};
        }
        const double ms =
            *Scpi::parseNumeric(text, Scpi::Unit::Seconds, 0, (most - s) / 1000) * 1000;
        return QStringList{assignment(end, s + ms)};
    });
}

bool ScpiDevice::threshold(const Command &command, const QList<int> &, QByteArray &reply)
{
    double volts = 0;
    if (!command.query) {
        const std::optional<double> given =
            Scpi::parseNumeric(command.parameters.first(), Scpi::Unit::Volts,
                               RecordRanges::MinThresholdVolts, RecordRanges::MaxThresholdVolts);
        if (!given) {
            model.pushError(-224, QStringLiteral("a level in volts, MIN or MAX"));
            return true;
        }
        // The panel's dialog takes two decimals.
        volts = std::round(*given * 100) / 100;
        if (!RecordRanges::allowsThreshold(volts)) {
            model.pushError(-222, RecordRanges::thresholdRangeText());
            return true;
        }
    }
    InstrumentState state;
    if (!readState(state))
        return false;
    if (!state.isDxu3) {
        model.pushError(-241, QStringLiteral("a DXU2 has no adjustable trigger threshold"));
        return true;
    }
    if (!command.query)
        return instrument().setThreshold(volts) || linkFailed();
    if (!state.thresholdVolts) {
        model.pushError(-200, QStringLiteral("the threshold is not read over Ethernet"));
        return true;
    }
    reply = number(std::round(*state.thresholdVolts * 100) / 100); // sent as a float
    return true;
}

bool ScpiDevice::network(const Command &command, const QList<int> &, QByteArray &reply)
{
    NetworkFields fields;
    QString serial;
    QString *const texts[] = {&fields.mac, &fields.ip, &fields.mask, &fields.gateway};
    const char *const names[] = {"MAC", "IPADdress", "SMASk", "GATeway"};
    int which = 4; // DHCP
    for (int i = 0; i < 4; ++i)
        if (last(command, names[i]))
            which = i;
    QString text;
    std::optional<bool> dhcp;
    if (!command.query) {
        const QByteArray &parameter = command.parameters.first();
        if (which == 4)
            dhcp = Scpi::parseBoolean(parameter);
        else
            text = Scpi::parseString(parameter).value_or(QString::fromLatin1(parameter));
        if (which == 4 && !dhcp) {
            model.pushError(-224, QStringLiteral("ON, OFF, 1 or 0"));
            return true;
        }
    }
    if (!instrument().readNetwork(fields, serial))
        return linkFailed();
    if (command.query) {
        reply =
            which == 4 ? QByteArray(fields.dhcp ? "1" : "0") : '"' + texts[which]->toLatin1() + '"';
        return true;
    }
    // The network dialog's check of the whole configuration.
    const auto problem = [](const NetworkFields &f) {
        const AddressCheck::Finding finding = AddressCheck::firstFinding(f);
        return finding.field == AddressCheck::Field::None
                   ? QString()
                   : QLatin1String(AddressCheck::message(finding.field)) + QLatin1Char(' ') +
                         finding.reason;
    };
    const QString asRead = problem(fields);
    if (which == 4)
        fields.dhcp = *dhcp;
    else
        *texts[which] = text;
    const QString found = problem(fields);
    if (!found.isEmpty()) {
        if (found != asRead) {
            model.pushError(-224, found);
            return true;
        }
        model.pushError(-240, QStringLiteral("the DXU's network configuration: %1").arg(found));
        return false;
    }
    return instrument().writeNetwork(AddressCheck::canonicalAddresses(fields)) || linkFailed();
}

bool ScpiDevice::memory(const Command &command, const QList<int> &, QByteArray &reply)
{
    const ProfileStore::Contents store = ProfileStore::load();
    if (store.status != ProfileStore::Status::Ok) {
        model.pushError(-250, store.problem);
        return true;
    }
    if (command.query) {
        QList<QByteArray> names;
        for (const QString &name : store.names)
            names << '"' + name.toUtf8().replace('"', "\"\"") + '"';
        reply = names.isEmpty() ? QByteArray("\"\"") : names.join(',');
        return true;
    }
    const std::optional<QString> name = Scpi::parseString(command.parameters.first());
    if (!name || name->isEmpty() || ProfileNames::hasForbiddenCharacter(*name)) {
        model.pushError(-224, QStringLiteral("a quoted name without \"/\" or \"\\\""));
        return true;
    }
    if (last(command, "SAVE"))
        return actionDone(LinkActions::saveProfile(instrument(), *name), -250);
    if (!store.names.contains(*name)) {
        model.pushError(-256, *name);
        return true;
    }
    return actionDone(LinkActions::loadProfile(instrument(), *name));
}
