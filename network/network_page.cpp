#include "network/network_page.h"

#include <QRegExp>

namespace NetworkPage {

namespace {

// The instrument's pages were written against QRegExp's default syntax
// (leftmost-longest, "." matching line ends too); the patterns are searched
// anywhere in the text, not anchored. The "." between the digit groups is
// the unescaped any-character, as the page has always been read.
const QString AddressesPattern =
    QStringLiteral("value=\"([0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:"
                   "[0-9a-f]{1,2}:[0-9a-f]{1,2})\".*value=\"(\\d+.\\d+.\\d+.\\d+)\".*"
                   "value=\"(\\d+.\\d+.\\d+.\\d+)\".*value=\"(\\d+.\\d+.\\d+.\\d+)\"");
const QString DhcpPattern =
    QStringLiteral("<input type=\"checkbox\" name=\"dhcp\" value=\"1\"(CHECKED){0,1}/>.*");

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
    // QRegExp's search time grows with the text's length times its number of
    // candidate values (1.5 s for 64 KB of MAC-like values); the instrument's
    // page is a few hundred bytes.
    const QString text = page.left(MaxPageLength);
    Content content;
    QRegExp addresses(AddressesPattern);
    if (addresses.indexIn(text) != -1) {
        content.hasAddresses = true;
        content.fields.mac = addresses.cap(1);
        content.fields.ip = addresses.cap(2);
        content.fields.mask = addresses.cap(3);
        content.fields.gateway = addresses.cap(4);
    }
    QRegExp dhcp(DhcpPattern);
    if (dhcp.indexIn(text) != -1) {
        content.hasDhcp = true;
        content.fields.dhcp = dhcp.cap(1) == QLatin1String("CHECKED");
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
