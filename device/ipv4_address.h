#pragma once

#include <QString>

// Whether the whole text is one IPv4 address: four decimal groups of one to
// three digits, each 0 to 255, leading zeros allowed ("010.001.000.001").
// Nothing is trimmed, and only the digits 0-9 count.
bool isIpv4Address(const QString &text);

// Such an address with each group in plain decimal: leading zeros are read
// as decimal, so "010.000.000.001" is "10.0.0.1". Empty for any other text.
QString canonicalIpv4(const QString &text);

// The address as the panel shows, stores and sends it: an IPv4 address in
// its canonical form, any other text (a host name) as it is.
QString normalizedAddress(const QString &text);

// The host a request to that address goes to: an IPv4 address in canonical
// form, or a host name as it is. Any other numeric form ("0x7f.0.0.1",
// "127.1", "2130706433", "1.2.3.256") gives an empty host, which no request
// reaches: the network library would read it as an address the panel does
// not show.
QString requestHost(const QString &text);

// An instrument's address as the operator typed it, checked: blanks around it
// dropped, then an IPv4 address (in canonical form) or a host name (letters,
// digits and inner hyphens in dot-separated labels, not ending in a number).
// The unspecified, broadcast and multicast addresses are no one instrument's:
// a request there reaches whatever listens locally, or many. `problem` is a
// sentence saying why the text is refused (address then empty), or empty.
struct InstrumentAddress
{
    QString address;
    QString problem;
};
InstrumentAddress checkInstrumentAddress(const QString &typed);
