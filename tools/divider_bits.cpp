#include "tools/divider_bits.h"

namespace DividerBits {

std::array<bool, SwitchCount> switchStates(int divider)
{
    const unsigned n = unsigned(256 - divider);
    std::array<bool, SwitchCount> on{};
    for (int i = 0; i < SwitchCount; ++i)
        on[i] = (n >> i) & 1u;
    return on;
}

} // namespace DividerBits
