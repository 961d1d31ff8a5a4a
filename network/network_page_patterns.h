#pragma once

#include <QStringView>

#include <array>
#include <optional>

// The "/network.shtml" patterns, searched with exactly the result QRegExp's
// default syntax gives for them (the "." between the digit groups is any
// character), in time linear in the text:
//   value="([0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2}:[0-9a-f]{1,2})"
//   .*value="(\d+.\d+.\d+.\d+)".*value="(\d+.\d+.\d+.\d+)".*value="(\d+.\d+.\d+.\d+)"
// and
//   <input type="checkbox" name="dhcp" value="1"(CHECKED){0,1}/>.*
namespace NetworkPagePatterns {

// MAC, IP, mask and gateway.
std::optional<std::array<QStringView, 4>> matchAddresses(QStringView text);

// Whether the check box was found with CHECKED.
std::optional<bool> matchDhcp(QStringView text);

} // namespace NetworkPagePatterns
