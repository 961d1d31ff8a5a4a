#include "network/network_page.h"

#include "network/network_page_patterns.h"

namespace NetworkPage {

namespace {

const char *const WritePathTemplate = "/network.shtml?mac=%1&dhcp=%2&ip=%3&netmask=%4&gw=%5";

} // namespace

QString pageText(const QByteArray &body)
{
    QByteArray bytes = body;
    bytes.replace('\0', QByteArray());
    return QString::fromLatin1(bytes).remove(QLatin1Char('\n'));
}

Content parse(const QString &page)
{
    const QStringView text = QStringView(page).left(MaxPageLength);
    Content content;
    if (const auto addresses = NetworkPagePatterns::matchAddresses(text)) {
        content.hasAddresses = true;
        content.fields.mac = (*addresses)[0].toString();
        content.fields.ip = (*addresses)[1].toString();
        content.fields.mask = (*addresses)[2].toString();
        content.fields.gateway = (*addresses)[3].toString();
    }
    if (const auto checked = NetworkPagePatterns::matchDhcp(text)) {
        content.hasDhcp = true;
        content.fields.dhcp = *checked;
    }
    return content;
}

QString writePath(const NetworkFields &fields)
{
    // One arg() call, so that a "%" in one text is never taken for the next
    // placeholder.
    return QString::fromLatin1(WritePathTemplate)
        .arg(fields.mac, fields.dhcp ? QStringLiteral("1") : QStringLiteral("0"), fields.ip,
             fields.mask, fields.gateway);
}

} // namespace NetworkPage
