// The commands of dxu-cli: every value is checked before anything is sent,
// then one command is carried out over the chosen link.
#include "cli/commands.h"

#include "cli/assignments.h"
#include "cli/dxu_cli.h"
#include "device/instrument_link.h"
#include "cli/link_actions.h"
#include "cli/output.h"
#include "device/record_ranges.h"
#include "network/address_check.h"
#include "persistence/export_text.h"
#include "persistence/profile_names.h"
#include "persistence/profile_store.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QLockFile>
#include <QTextStream>

#include <cmath>
#include <memory>

namespace {

// The network dialog's message about the first field that fails its check;
// whole, also what would leave the instrument unreachable, with the reason.
QString networkProblem(const NetworkFields &fields, bool whole = false)
{
    if (!whole)
        return QLatin1String(AddressCheck::message(AddressCheck::firstInvalidField(fields)));
    const AddressCheck::Finding finding = AddressCheck::firstFinding(fields);
    if (finding.field == AddressCheck::Field::None)
        return QString();
    return QLatin1String(AddressCheck::message(finding.field)) + QLatin1Char(' ') + finding.reason;
}

class Session
{
public:
    Session(const CliOptions &options, QTextStream &out, QTextStream &err)
        : o(options), out(out), err(err)
    {}

    int run()
    {
        const QString &c = o.command;
        if (o.networkSet && c != QLatin1String("network"))
            return usage(QStringLiteral("--set belongs to the network command"));
        if (c == QLatin1String("profile") && o.arguments.value(0) == QLatin1String("list"))
            return o.arguments.size() == 1
                       ? profileList()
                       : usage(QStringLiteral("profile list takes no arguments"));
        if (c == QLatin1String("status"))
            return noArguments() ? status() : usage(QStringLiteral("status takes no arguments"));
        if (c == QLatin1String("set"))
            return set();
        if (c == QLatin1String("run"))
            return runGenerators();
        if (c == QLatin1String("stop"))
            return stop();
        if (c == QLatin1String("threshold"))
            return threshold();
        if (c == QLatin1String("network"))
            return o.networkSet
                       ? networkSet()
                       : (noArguments()
                              ? network()
                              : usage(QStringLiteral("network takes no arguments without --set")));
        if (c == QLatin1String("profile"))
            return profile();
        if (c == QLatin1String("export"))
            return o.arguments.size() == 1 ? exportTo(o.arguments[0])
                                           : usage(QStringLiteral("export needs one FILE"));
        return usage(c.isEmpty() ? QStringLiteral("no command given")
                                 : QStringLiteral("unknown command \"%1\"").arg(c));
    }

private:
    bool noArguments() const { return o.arguments.isEmpty(); }

    int usage(const QString &why) { return usageError(err, why); }

    int failed(const QString &why)
    {
        err << "dxu-cli: " << why << '\n';
        return CliExit::Failed;
    }

    // Every command but "profile list" talks to the instrument. The first
    // contact takes the instrument's lock, held until the command is done.
    InstrumentLink *instrument()
    {
        if (!link) {
            lock = std::make_unique<QLockFile>(instrumentLockPath(o.link, o.address));
            if (!ProfileStore::takeLock(*lock, 4 * o.timeoutMs + 1000))
                link = makeBusyLink(
                    QStringLiteral("another dxu-cli kept the DXU busy too long; nothing sent"));
            else if (o.link == CliLink::Usb)
                link = makeUsbLink();
            else
                link = makeEthernetLink(o.address, o.timeoutMs);
        }
        return link.get();
    }

    int linkResult(bool ok) { return ok ? CliExit::Ok : failed(link->failure()); }

    // Notes first, then the reason for a refusal or failure.
    int actionResult(const LinkActions::Result &result)
    {
        for (const QString &note : result.notes)
            err << "dxu-cli: " << note << '\n';
        switch (result.status) {
        case LinkActions::Status::Ok:
            return CliExit::Ok;
        case LinkActions::Status::Refused:
            return usage(result.problem);
        case LinkActions::Status::Failed:
            break;
        }
        return failed(result.problem);
    }

    int read(InstrumentState &state)
    {
        return actionResult(LinkActions::readState(*instrument(), state));
    }

    int status()
    {
        InstrumentState state;
        if (const int code = read(state))
            return code;
        if (o.json)
            out << statusJson(state);
        else
            out << statusText(state);
        return CliExit::Ok;
    }

    int set()
    {
        if (o.arguments.isEmpty())
            return usage(QStringLiteral("set needs KEY=VALUE arguments"));
        GeneratorSettings scratch;
        QString problem;
        if (!applySettingAssignments(o.arguments, scratch, problem))
            return usage(problem);
        const QStringList assignments = o.arguments;
        return actionResult(LinkActions::setValues(
            *instrument(), o.link == CliLink::Ethernet,
            [&assignments](const GeneratorSettings &) { return assignments; }));
    }

    int runGenerators()
    {
        const QString which = o.arguments.value(0);
        if (o.arguments.size() != 1 ||
            !(which == QLatin1String("1") || which == QLatin1String("2") ||
              which == QLatin1String("both")))
            return usage(QStringLiteral("run needs 1, 2 or both"));
        return actionResult(LinkActions::runHeld(*instrument(), o.link == CliLink::Ethernet,
                                                 which != QLatin1String("2"),
                                                 which != QLatin1String("1")));
    }

    int stop()
    {
        const QString which = o.arguments.value(0);
        if (o.arguments.size() > 1 ||
            !(which.isEmpty() || which == QLatin1String("1") || which == QLatin1String("2")))
            return usage(QStringLiteral("stop takes 1, 2 or nothing (both)"));
        return linkResult(
            instrument()->stop(which != QLatin1String("2"), which != QLatin1String("1")));
    }

    int threshold()
    {
        bool ok = false;
        double volts = o.arguments.value(0).toDouble(&ok);
        if (o.arguments.size() != 1 || !ok || !std::isfinite(volts))
            return usage(QStringLiteral("threshold needs VOLTS"));
        // The panel's dialog takes two decimals.
        volts = std::round(volts * 100) / 100;
        if (!RecordRanges::allowsThreshold(volts))
            return usage(QStringLiteral("threshold=%1 is out of range (%2)")
                             .arg(o.arguments[0], RecordRanges::thresholdRangeText()));
        InstrumentState state;
        if (const int code = read(state))
            return code;
        if (!state.isDxu3)
            return usage(
                QStringLiteral("a DXU2 has no adjustable trigger threshold; nothing sent"));
        return linkResult(link->setThreshold(volts));
    }

    int network()
    {
        NetworkFields fields;
        QString serial;
        if (!instrument()->readNetwork(fields, serial))
            return failed(link->failure());
        if (o.json)
            out << networkJson(fields, serial);
        else
            out << networkText(fields, serial);
        return CliExit::Ok;
    }

    int networkSet()
    {
        if (o.arguments.isEmpty())
            return usage(QStringLiteral("network --set needs KEY=VALUE arguments"));
        // The given fields are checked before the read, the whole
        // configuration after it.
        NetworkFields fields{QStringLiteral("0:0:0:0:0:0"), QStringLiteral("0.0.0.0"),
                             QStringLiteral("0.0.0.0"), QStringLiteral("0.0.0.0")};
        QString problem;
        if (!applyNetworkAssignments(o.arguments, fields, problem) ||
            !(problem = networkProblem(fields)).isEmpty())
            return usage(problem);
        QString serial;
        if (!instrument()->readNetwork(fields, serial))
            return failed(link->failure());
        const QString asRead = networkProblem(fields, true);
        applyNetworkAssignments(o.arguments, fields, problem);
        problem = networkProblem(fields, true);
        if (!problem.isEmpty() && problem != asRead)
            return usage(problem);
        if (!problem.isEmpty())
            return failed(QStringLiteral("the DXU's network configuration: %1").arg(problem));
        // Leading zeros must not reach the instrument's own parser.
        fields = AddressCheck::canonicalAddresses(fields);
        if (!link->writeNetwork(fields))
            return failed(link->failure());
        out << "Please restart DXU to apply new network settings!\n";
        return CliExit::Ok;
    }

    int profileList()
    {
        const ProfileStore::Contents store = ProfileStore::load();
        if (store.status != ProfileStore::Status::Ok)
            return failed(store.problem);
        if (o.json)
            out << QJsonDocument(QJsonArray::fromStringList(store.names))
                       .toJson(QJsonDocument::Compact)
                << '\n';
        else
            for (const QString &name : store.names)
                out << name << '\n';
        return CliExit::Ok;
    }

    int profile()
    {
        const QString action = o.arguments.value(0);
        const QString name = o.arguments.value(1);
        if (o.arguments.size() != 2 ||
            !(action == QLatin1String("load") || action == QLatin1String("save")))
            return usage(QStringLiteral("profile needs list, load NAME or save NAME"));
        if (name.isEmpty() || ProfileNames::hasForbiddenCharacter(name))
            return usage(
                QStringLiteral("a profile name is not empty and holds no \"/\" or \"\\\""));
        return actionResult(action == QLatin1String("load")
                                ? LinkActions::loadProfile(*instrument(), name)
                                : LinkActions::saveProfile(*instrument(), name));
    }

    // "-" is standard output.
    int exportTo(const QString &fileName)
    {
        InstrumentState state;
        if (const int code = read(state))
            return code;
        const QString device = o.link == CliLink::Ethernet ? o.address : QStringLiteral("USB");
        const QString text = exportText(exportedSettings(state.record), device,
                                        QDateTime::currentDateTime(), QLocale::system());
        if (fileName == QLatin1String("-")) {
            out << text;
            out.flush();
            return out.status() == QTextStream::Ok
                       ? CliExit::Ok
                       : failed(QStringLiteral("cannot write to standard output"));
        }
        QString reason;
        switch (writeExportFile(fileName, text, reason)) {
        case ExportWriteResult::Written:
            return CliExit::Ok;
        case ExportWriteResult::OpenFailed:
            return failed(QStringLiteral("cannot open for writing %1: %2").arg(fileName, reason));
        case ExportWriteResult::WriteFailed:
            break;
        }
        return failed(QStringLiteral("cannot write %1: %2").arg(fileName, reason));
    }

    const CliOptions &o;
    QTextStream &out;
    QTextStream &err;
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<InstrumentLink> link;
};

} // namespace

QString instrumentLockPath(CliLink link, const QString &address)
{
    const QString instrument = link == CliLink::Usb ? QStringLiteral("usb") : address;
    return QDir(QDir::tempPath()).filePath(QStringLiteral("dxu-cli-%1.lock").arg(instrument));
}

int usageError(QTextStream &err, const QString &why)
{
    err << "dxu-cli: " << why << "\nTry \"dxu-cli --help\".\n";
    return CliExit::Usage;
}

int runCommand(const CliOptions &options, QTextStream &out, QTextStream &err)
{
    return Session(options, out, err).run();
}
