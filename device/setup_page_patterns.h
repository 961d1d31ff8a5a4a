#pragma once

#include <QStringView>

#include <array>
#include <optional>

// The setup page's patterns, matched with exactly the result QRegExp's
// default syntax gives for them (the instrument's pages were written against
// its captures), in time linear in the text. The patterns, as the instrument
// documents them:
//
// settings (13 groups):
//   value="(\d+\.?\d{0,10})".*value="(\d+.?\d{0,10})"".*value="(\d+)".*value="(\d+)"
//   followed nine times by .*value="(\d+.?\d{0,10}|\d+e\-\d{2})"
// selects (one group each):
//   select name="ts1">.*<option value=(\d) selected="selected".*High
//   Level</option></select></TD><TD> select name="ts2">.*<option value=(\d)
//   selected="selected".*</option></select></TD></tr> <select name="freq1">.*<option value=(\d)
//   selected="selected">.*</option></select></TD><TD> <select name="freq2">.*<option value=(\d)
//   selected="selected">.*</option></select></TD></tr>
// model 3 marker (its "." is any character):
//   <p class="s0">v.3
namespace SetupPagePatterns {

constexpr int SettingsGroups = 13;
using SettingsCaptures = std::array<QStringView, SettingsGroups>;

std::optional<SettingsCaptures> matchSettings(QStringView text);

enum class Select { SourceG1, SourceG2, TimeBaseG1, TimeBaseG2 };

// The selected option's one-digit value.
std::optional<QStringView> matchSelect(Select select, QStringView text);

bool containsModel3Marker(QStringView text);

} // namespace SetupPagePatterns
