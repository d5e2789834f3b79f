#pragma once
// Values the styled controls scale or turn are rounded to the nearest integer, halves to the
// even neighbour.
#include <cmath>

namespace qv {

inline int RoundHalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }

}  // namespace qv
