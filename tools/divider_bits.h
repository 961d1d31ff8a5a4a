#pragma once

#include <array>

// The eight divider switches of the accessory for a divider value: switch k
// (1…8) is on when bit k−1 of 256 − divider is set. Only the low eight bits
// are shown, so dividers 0 and 256 both leave every switch off.
namespace DividerBits {

constexpr int SwitchCount = 8;

// Element k−1 tells whether switch k is on.
std::array<bool, SwitchCount> switchStates(int divider);

} // namespace DividerBits
