#pragma once

#include "network/network_fields.h"

#include <QByteArray>
#include <QString>

// The instrument's web page "/network.shtml": read with a plain GET, written
// with the new configuration in the query.
namespace NetworkPage {

inline const char *const Path = "/network.shtml";
constexpr quint16 Port = 80;

// The page as text: NUL bytes dropped, one character per byte, line feeds
// removed (the patterns below span what were several lines).
QString pageText(const QByteArray &body);

struct Content
{
    bool hasAddresses = false; // MAC, IP, mask and gateway were found
    bool hasDhcp = false;      // the DHCP check box was found
    NetworkFields fields;      // valid as far as the two flags say
};

// Only the page's beginning is searched.
constexpr int MaxPageLength = 16 * 1024;

// The page's MAC value (lower-case hex only), the three dotted addresses
// after it, and the DHCP check box with or without CHECKED.
Content parse(const QString &page);

// "/network.shtml?mac=…&dhcp=1|0&ip=…&netmask=…&gw=…", the texts as typed.
QString writePath(const NetworkFields &fields);

} // namespace NetworkPage
