#pragma once

#include "device/generator_settings.h"
#include "network/network_fields.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The instrument's commands as GET requests to its web server, in the order
// they go out, each with the page its reply must be. A link that waits sends
// them one at a time and judges each reply; the panel's queued link puts them
// all on its client's queue.
namespace EthernetRequests {

enum class Expect {
    SetupPage,   // the instrument answers a command with its setup page
    NetworkPage, // its network page, with the addresses and the DHCP choice
    AnyPage,     // any page: the reply to a network write is not its word on it
};

struct Request
{
    QString path;
    Expect expect = Expect::SetupPage;
};

Request readState();
QList<Request> sendSettings(const GeneratorSettings &record);
QList<Request> sendSource(const GeneratorSettings &record, int generator);
QList<Request> sendSettingsAndRun(const GeneratorSettings &record, bool gen1, bool gen2);
QList<Request> stop(bool gen1, bool gen2);
QList<Request> setThreshold(double volts);
Request readNetwork();
Request writeNetwork(const NetworkFields &fields);

// Why a reply with this HTTP status and body is not the one `expect` names;
// empty when it is.
QString replyProblem(int status, const QByteArray &body, Expect expect);

// What the operator is told when the instrument at `address` gave no answer
// (rich text, the address escaped): a name that does not resolve is no
// matter of cables.
QString unreachableText(bool hostNotFound, const QString &address);

} // namespace EthernetRequests
