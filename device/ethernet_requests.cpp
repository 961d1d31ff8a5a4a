#include "device/ethernet_requests.h"

#include "device/settings_query.h"
#include "device/setup_page_parser.h"
#include "network/network_page.h"

#include <QCoreApplication>

namespace EthernetRequests {

namespace {
QueryTail runTail(bool gen1, bool gen2)
{
    return gen1 && gen2 ? QueryTail::RunBoth : (gen1 ? QueryTail::RunGen1 : QueryTail::RunGen2);
}

Request page(const char *path) { return {QLatin1String(path), Expect::SetupPage}; }
} // namespace

Request readState() { return page(DevicePaths::SetupProbe); }

QList<Request> sendSettings(const GeneratorSettings &record)
{
    return {{settingsQuery(record, QueryTail::SaveOnly), Expect::SetupPage}};
}

QList<Request> sendSource(const GeneratorSettings &record, int generator)
{
    // The instrument has always been sent the reset of generator 1 for a
    // source change of generator 2 over Ethernet.
    return QList<Request>{page(generator == 1 ? DevicePaths::ResetBoth : DevicePaths::ResetGen1)} +
           sendSettings(record);
}

QList<Request> sendSettingsAndRun(const GeneratorSettings &record, bool gen1, bool gen2)
{
    return {{settingsQuery(record, runTail(gen1, gen2)), Expect::SetupPage}};
}

QList<Request> stop(bool gen1, bool gen2)
{
    return {page(gen1 && gen2 ? DevicePaths::ResetBoth
                              : (gen1 ? DevicePaths::ResetGen1 : DevicePaths::ResetGen2))};
}

QList<Request> setThreshold(double volts)
{
    return {page(DevicePaths::ResetGen1), {thresholdPath(volts), Expect::SetupPage}};
}

Request readNetwork() { return {QLatin1String(NetworkPage::Path), Expect::NetworkPage}; }

Request writeNetwork(const NetworkFields &fields)
{
    return {NetworkPage::writePath(fields), Expect::AnyPage};
}

QString replyProblem(int status, const QByteArray &body, Expect expect)
{
    if (status >= 400)
        return QStringLiteral("HTTP status %1").arg(status);
    if (expect == Expect::SetupPage && !holdsSetupPage(body))
        return QStringLiteral("the reply is not the DXU's setup page");
    if (expect == Expect::NetworkPage) {
        const NetworkPage::Content content = NetworkPage::parse(NetworkPage::pageText(body));
        if (!content.hasAddresses || !content.hasDhcp)
            return QStringLiteral("the reply is not the DXU's network page");
    }
    return QString();
}

QString unreachableText(bool hostNotFound, const QString &address)
{
    const char *text =
        hostNotFound ? "The name <b>%1</b> does not resolve to an address.<br>Check the name or "
                       "type the DXU's IP address."
                     : "Can't find DXU on <b>%1</b> <br>Check ethernet cable or try to connect "
                       "via USB!";
    return QCoreApplication::translate("dxu_gui", text).arg(address.toHtmlEscaped());
}

} // namespace EthernetRequests
