// The instrument over Ethernet: the same requests, either each waited for
// and its reply judged before the next goes out (dxu-cli, dxu-scpi), or put
// on the panel's queue.
#include "device/ethernet_instrument.h"

#include "device/ethernet_requests.h"
#include "device/http_client.h"
#include "device/ipv4_address.h"
#include "device/setup_page_parser.h"
#include "network/network_page.h"

#include <QEventLoop>

using EthernetRequests::Request;

namespace {

// Each command as its requests; how they go out is the sender's.
class EthernetInstrument : public InstrumentLink
{
public:
    bool sendSettings(const GeneratorSettings &record) override
    {
        return send(EthernetRequests::sendSettings(record));
    }

    bool sendSource(const GeneratorSettings &record, int generator) override
    {
        return send(EthernetRequests::sendSource(record, generator));
    }

    bool sendSettingsAndRun(const GeneratorSettings &record, bool gen1, bool gen2) override
    {
        return send(EthernetRequests::sendSettingsAndRun(record, gen1, gen2));
    }

    // The settings travel with the run.
    bool run(const GeneratorSettings &current, bool gen1, bool gen2) override
    {
        return sendSettingsAndRun(current, gen1, gen2);
    }

    bool stop(bool gen1, bool gen2) override { return send(EthernetRequests::stop(gen1, gen2)); }

    bool setThreshold(double volts) override { return send(EthernetRequests::setThreshold(volts)); }

    bool writeNetwork(const NetworkFields &fields) override
    {
        return send({EthernetRequests::writeNetwork(fields)});
    }

protected:
    virtual bool send(const QList<Request> &requests) = 0;
};

class WaitingEthernetInstrument : public EthernetInstrument
{
public:
    WaitingEthernetInstrument(const QString &address, int timeoutMs) : address(address)
    {
        client.setTransferTimeout(timeoutMs);
    }

    bool readState(InstrumentState &state) override
    {
        QByteArray body;
        if (!get(EthernetRequests::readState(), &body))
            return false;
        removeNulBytes(body);
        const SetupPageFields page = parseSetupPage(setupPageText(body));
        if (!page.timing || !page.ts1 || !page.ts2 || !page.freq1 || !page.freq2)
            return fail(
                QStringLiteral("the setup page of %1 lacks some of the settings").arg(address));
        applySetupPage(page, state.record);
        state.isDxu3 = page.isDxu3;
        state.thresholdVolts.reset(); // the page's threshold is not read
        return true;
    }

    bool readNetwork(NetworkFields &fields, QString &serialNumber) override
    {
        QByteArray body;
        if (!get(EthernetRequests::readNetwork(), &body))
            return false;
        fields = NetworkPage::parse(NetworkPage::pageText(body)).fields;
        serialNumber.clear();
        return true;
    }

private:
    bool send(const QList<Request> &requests) override
    {
        for (const Request &request : requests)
            if (!get(request))
                return false;
        return true;
    }

    bool get(const Request &request, QByteArray *body = nullptr)
    {
        QEventLoop loop;
        bool error = false;
        const auto connection = QObject::connect(&client, &HttpClient::done, &loop, [&](bool e) {
            error = e;
            loop.quit();
        });
        client.setHost(address, NetworkPage::Port);
        trace(QStringLiteral("GET ") + request.path);
        client.get(request.path);
        loop.exec();
        QObject::disconnect(connection);
        const QString what = QStringLiteral("GET %1 to %2").arg(request.path, address);
        if (error)
            return fail(QStringLiteral("%1: %2").arg(what, client.errorString()));
        const QByteArray reply = client.readAll();
        const QString problem =
            EthernetRequests::replyProblem(client.statusCode(), reply, request.expect);
        if (!problem.isEmpty())
            return fail(QStringLiteral("%1: %2").arg(what, problem));
        if (body)
            *body = reply;
        return true;
    }

    QString address;
    HttpClient client;
};

class QueuedEthernetInstrument : public EthernetInstrument
{
public:
    QueuedEthernetInstrument(HttpClient *client, std::function<QString()> address)
        : client(client), address(std::move(address))
    {}

    bool readState(InstrumentState &) override { return send({EthernetRequests::readState()}); }

    bool readNetwork(NetworkFields &, QString &) override
    {
        return send({EthernetRequests::readNetwork()});
    }

private:
    bool send(const QList<Request> &requests) override
    {
        for (const Request &request : requests) {
            trace(QStringLiteral("GET ") + request.path);
            queueGet(client, address(), request.path);
        }
        return true;
    }

    HttpClient *client;
    std::function<QString()> address;
};

} // namespace

std::unique_ptr<InstrumentLink> makeEthernetLink(const QString &address, int timeoutMs)
{
    return std::make_unique<WaitingEthernetInstrument>(address, timeoutMs);
}

std::unique_ptr<InstrumentLink> makeQueuedEthernetLink(HttpClient *client,
                                                       std::function<QString()> address)
{
    return std::make_unique<QueuedEthernetInstrument>(client, std::move(address));
}

void queueGet(HttpClient *client, const QString &address, const QString &path)
{
    client->setHost(requestHost(address), NetworkPage::Port);
    HttpRequestHeader header;
    header.path = path;
    client->request(header);
}
