#include "network/network_exchange.h"

#include "device/ethernet_instrument.h"
#include "device/ethernet_requests.h"
#include "device/http_client.h"
#include "device/request_watchdog.h"
#include "network/network_page.h"

#include <QCoreApplication>

namespace {
QString text(const char *source) { return QCoreApplication::translate("FindDialog", source); }

// An error page is no answer: the instrument took nothing.
bool failed(const HttpClient *client, bool error) { return error || client->statusCode() >= 400; }
} // namespace

UsbNetworkExchange::UsbNetworkExchange(InstrumentLink *link, QObject *parent)
    : NetworkExchange(parent), link(link)
{}

// Only a complete reply is shown, and only what was shown can be submitted:
// after a failed read the fields are empty (never another instrument's).
void UsbNetworkExchange::read()
{
    Reading reading;
    QString serialNumber;
    const bool read = link->readNetwork(reading.fields, serialNumber);
    reading.submittable = read;
    reading.lost = !read && link->lost();
    reading.hasAddresses = reading.hasDhcp = true;
    reading.serialNumber = read ? serialNumber : QString();
    if (!read) {
        reading.fields = NetworkFields();
        reading.problemTitle = text("DXU USB Connection");
        reading.problem = text("Can't read the network settings from the DXU via USB.");
    }
    emit readDone(reading);
}

void UsbNetworkExchange::write(const NetworkFields &fields)
{
    Writing writing;
    if (!link->writeNetwork(fields)) {
        writing.lost = link->lost();
        writing.problemTitle = text("DXU USB Connection");
        writing.problem = text("Can't write the network settings to the DXU via USB.");
    }
    emit writeDone(writing);
}

EthernetNetworkExchange::EthernetNetworkExchange(int timeoutMs, QObject *parent)
    : NetworkExchange(parent), watchdog(new RequestWatchdog(timeoutMs, this))
{}

// A request still on its way must not report into an exchange being
// destroyed.
EthernetNetworkExchange::~EthernetNetworkExchange() { abandon(); }

void EthernetNetworkExchange::setAddress(const QString &instrument) { address = instrument; }

// Every request gets a client of its own; each command it starts restarts
// the watchdog, which aborts it when the instrument stays silent (the abort
// reports the failure through the request's own handler).
HttpClient *EthernetNetworkExchange::startClient()
{
    client = new HttpClient(this);
    watchdog->watch(client);
    return client;
}

void EthernetNetworkExchange::read()
{
    NetworkFields unused;
    QString none;
    connect(startClient(), &HttpClient::done, this, &EthernetNetworkExchange::readFinished);
    makeQueuedEthernetLink(client, [this] { return address; })->readNetwork(unused, none);
}

void EthernetNetworkExchange::write(const NetworkFields &fields)
{
    connect(startClient(), &HttpClient::done, this, &EthernetNetworkExchange::writeFinished);
    makeQueuedEthernetLink(client, [this] { return address; })->writeNetwork(fields);
}

// The client whose completion is being handled: the watchdog stops before
// the client goes, and the exchange no longer points at it.
HttpClient *EthernetNetworkExchange::takeFinishedClient()
{
    watchdog->release();
    HttpClient *finished = client;
    client = nullptr;
    finished->deleteLater();
    return finished;
}

// Disconnected first, so that its failure reaches no handler.
void EthernetNetworkExchange::abandon()
{
    if (!client)
        return;
    watchdog->release();
    HttpClient *dropped = client;
    client = nullptr;
    dropped->disconnect(this);
    dropped->abort();
    dropped->deleteLater();
}

void EthernetNetworkExchange::readFinished(bool error)
{
    HttpClient *finished = takeFinishedClient();
    Reading reading;
    // A reply without the network page's addresses is no answer either.
    const QByteArray body = failed(finished, error) ? QByteArray() : finished->readAll();
    if (NetworkPage::parse(NetworkPage::pageText(body)).hasAddresses) {
        lastPage = body;
    } else {
        reading.problemTitle = text("DXU Ethernet Connection");
        reading.problem = unreachableText(finished);
    }
    // After a failure the fields come from the last page that did arrive.
    const NetworkPage::Content page = NetworkPage::parse(NetworkPage::pageText(lastPage));
    reading.hasAddresses = page.hasAddresses;
    reading.hasDhcp = page.hasDhcp;
    reading.fields = page.fields;
    emit readDone(reading);
}

// Only a completed write asks for the restart; a failed or refused one
// leaves the dialog open with what the operator typed.
void EthernetNetworkExchange::writeFinished(bool error)
{
    HttpClient *finished = takeFinishedClient();
    Writing writing;
    if (failed(finished, error)) {
        writing.problemTitle = text("DXU Ethernet Connection");
        writing.problem = unreachableText(finished);
    }
    emit writeDone(writing);
}

QString EthernetNetworkExchange::unreachableText(const HttpClient *finished) const
{
    return EthernetRequests::unreachableText(finished->error() == HttpClient::HostNotFound,
                                             address);
}
