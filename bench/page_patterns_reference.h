#pragma once

// The instrument pages' patterns as the panel always ran them, on QRegExp in
// its default syntax: the reference the linear matchers are compared with
// (tst_page_patterns, dxu-parse-bench) and the baseline of the parse figures.
#include "device/setup_page_patterns.h"
#include "network/network_page_patterns.h"

#include <QHash>
#include <QRegExp>
#include <QStringList>

#include <optional>

namespace PagePatternsReference {

inline const char *const SettingsPattern =
    R"re(value="(\d+\.?\d{0,10})".*value="(\d+.?\d{0,10})"".*value="(\d+)".*value="(\d+)")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})".*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re"
    R"re(.*value="(\d+.?\d{0,10}|\d+e\-\d{2})")re";

inline const char *const SelectPatterns[4] = {
    R"re(select name="ts1">.*<option value=(\d) selected="selected".*High Level</option></select></TD><TD>)re",
    R"re(select name="ts2">.*<option value=(\d) selected="selected".*</option></select></TD></tr>)re",
    R"re(<select name="freq1">.*<option value=(\d) selected="selected">.*</option></select></TD><TD>)re",
    R"re(<select name="freq2">.*<option value=(\d) selected="selected">.*</option></select></TD></tr>)re"};

inline const char *const Model3Marker = R"re(<p class="s0">v.3)re";

inline const char *const AddressesPattern =
    R"re(value="([0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:)re"
    R"re([0-9a-f]{1,2})".*value="(\d+.\d+.\d+.\d+)".*value="(\d+.\d+.\d+.\d+)".*)re"
    R"re(value="(\d+.\d+.\d+.\d+)")re";

inline const char *const DhcpPattern =
    R"re(<input type="checkbox" name="dhcp" value="1"(CHECKED){0,1}/>.*)re";

inline std::optional<QStringList> capturesOf(QRegExp &rx, const QString &text)
{
    if (rx.indexIn(text) < 0)
        return std::nullopt;
    QStringList captures = rx.capturedTexts();
    captures.removeFirst();
    return captures;
}

// The captures of a search, or nothing when the pattern does not match; the
// pattern compiled anew, as the panel did for every page (QRegExp keeps no
// compiled copy of the long settings pattern).
inline std::optional<QStringList> search(const char *pattern, const QString &text)
{
    QRegExp rx{QLatin1String(pattern)};
    return capturesOf(rx, text);
}

// The same with the pattern compiled once, for runs over many pages.
inline std::optional<QStringList> searchCompiled(const char *pattern, const QString &text)
{
    static QHash<const char *, QRegExp> compiled;
    auto it = compiled.find(pattern);
    if (it == compiled.end())
        it = compiled.insert(pattern, QRegExp(QLatin1String(pattern)));
    return capturesOf(*it, text);
}

template <typename Captures> QStringList toList(const Captures &captures)
{
    QStringList list;
    for (QStringView c : captures)
        list << c.toString();
    return list;
}

inline QString show(const std::optional<QStringList> &captures)
{
    return captures ? QLatin1Char('[') + captures->join(QLatin1String("|")) + QLatin1Char(']')
                    : QStringLiteral("no match");
}

// Every pattern of both pages on the text, by both engines: empty when all
// agree, else what differs.
inline QString difference(const QString &text)
{
    using namespace SetupPagePatterns;
    QString report;
    const auto compare = [&](const char *name, const std::optional<QStringList> &expected,
                             const std::optional<QStringList> &actual) {
        if (expected != actual)
            report += QStringLiteral("%1: QRegExp %2, matcher %3\n")
                          .arg(QLatin1String(name), show(expected), show(actual));
    };
    const auto settings = matchSettings(text);
    compare("settings", searchCompiled(SettingsPattern, text),
            settings ? std::optional(toList(*settings)) : std::nullopt);
    const Select selects[4] = {Select::SourceG1, Select::SourceG2, Select::TimeBaseG1,
                               Select::TimeBaseG2};
    for (int i = 0; i < 4; ++i) {
        const auto digit = matchSelect(selects[i], text);
        compare(SelectPatterns[i], searchCompiled(SelectPatterns[i], text),
                digit ? std::optional(QStringList{digit->toString()}) : std::nullopt);
    }
    const auto marker = [](bool found) {
        return found ? std::optional(QStringList()) : std::nullopt;
    };
    compare("model 3 marker", marker(searchCompiled(Model3Marker, text).has_value()),
            marker(containsModel3Marker(text)));
    const auto addresses = NetworkPagePatterns::matchAddresses(text);
    compare("addresses", searchCompiled(AddressesPattern, text),
            addresses ? std::optional(toList(*addresses)) : std::nullopt);
    const auto dhcp = NetworkPagePatterns::matchDhcp(text);
    auto expectedDhcp = searchCompiled(DhcpPattern, text);
    if (expectedDhcp) // CHECKED or nothing
        expectedDhcp = QStringList{QString::number(expectedDhcp->first() == u"CHECKED")};
    compare("dhcp", expectedDhcp,
            dhcp ? std::optional(QStringList{QString::number(*dhcp)}) : std::nullopt);
    return report;
}

} // namespace PagePatternsReference
