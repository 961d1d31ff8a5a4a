// The instrument over Ethernet: one GET at a time, each waited for and its
// reply checked before the next goes out.
#include "cli/instrument_link.h"

#include "device/http_client.h"
#include "device/settings_query.h"
#include "device/setup_page_parser.h"
#include "network/network_page.h"

#include <QEventLoop>

namespace {

enum class Expect { SetupPage, NetworkPage, AnyPage };

class HttpInstrument : public InstrumentLink
{
public:
    HttpInstrument(const QString &address, int timeoutMs) : address(address)
    {
        client.setTransferTimeout(timeoutMs);
    }

    bool readState(InstrumentState &state) override
    {
        QByteArray body;
        if (!get(QLatin1String(DevicePaths::SetupProbe), Expect::SetupPage, &body))
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

    bool sendSettings(const GeneratorSettings &record) override
    {
        return get(settingsQuery(record, QueryTail::SaveOnly));
    }

    bool sendSettingsAndStop(const GeneratorSettings &record) override
    {
        return get(QLatin1String(DevicePaths::ResetBoth)) && sendSettings(record);
    }

    bool run(const GeneratorSettings &current, bool gen1, bool gen2) override
    {
        const QueryTail tail =
            gen1 && gen2 ? QueryTail::RunBoth : (gen1 ? QueryTail::RunGen1 : QueryTail::RunGen2);
        return get(settingsQuery(current, tail));
    }

    bool stop(bool gen1, bool gen2) override
    {
        const char *path = gen1 && gen2 ? DevicePaths::ResetBoth
                                        : (gen1 ? DevicePaths::ResetGen1 : DevicePaths::ResetGen2);
        return get(QLatin1String(path));
    }

    bool setThreshold(double volts) override
    {
        return get(QLatin1String(DevicePaths::ResetGen1)) && get(thresholdPath(volts));
    }

    bool readNetwork(NetworkFields &fields, QString &serialNumber) override
    {
        QByteArray body;
        if (!get(QLatin1String(NetworkPage::Path), Expect::NetworkPage, &body))
            return false;
        fields = NetworkPage::parse(NetworkPage::pageText(body)).fields;
        serialNumber.clear();
        return true;
    }

    // The reply to a network write is not the instrument's word on it.
    bool writeNetwork(const NetworkFields &fields) override
    {
        return get(NetworkPage::writePath(fields), Expect::AnyPage);
    }

private:
    bool get(const QString &path, Expect expect = Expect::SetupPage, QByteArray *body = nullptr)
    {
        QEventLoop loop;
        bool error = false;
        const auto connection = QObject::connect(&client, &HttpClient::done, &loop, [&](bool e) {
            error = e;
            loop.quit();
        });
        client.setHost(address, NetworkPage::Port);
        trace(QStringLiteral("GET ") + path);
        client.get(path);
        loop.exec();
        QObject::disconnect(connection);
        const QString request = QStringLiteral("GET %1 to %2").arg(path, address);
        if (error)
            return fail(QStringLiteral("%1: %2").arg(request, client.errorString()));
        const QByteArray reply = client.readAll();
        if (client.statusCode() >= 400)
            return fail(QStringLiteral("%1: HTTP status %2").arg(request).arg(client.statusCode()));
        if (expect == Expect::SetupPage && !holdsSetupPage(reply))
            return fail(QStringLiteral("%1: the reply is not the DXU's setup page").arg(request));
        if (expect == Expect::NetworkPage) {
            const NetworkPage::Content page = NetworkPage::parse(NetworkPage::pageText(reply));
            if (!page.hasAddresses || !page.hasDhcp)
                return fail(
                    QStringLiteral("%1: the reply is not the DXU's network page").arg(request));
        }
        if (body)
            *body = reply;
        return true;
    }

    QString address;
    HttpClient client;
};

} // namespace

std::unique_ptr<InstrumentLink> makeEthernetLink(const QString &address, int timeoutMs)
{
    return std::make_unique<HttpInstrument>(address, timeoutMs);
}
