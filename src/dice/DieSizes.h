#pragma once

#include <array>
#include <cstdint>

namespace velmora {

// The die sizes that the step table and the karma table use.
inline constexpr std::array<std::int16_t, 6> kDieSizes{4, 6, 8, 10, 12, 20};

} // namespace velmora
