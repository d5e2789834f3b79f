#include "archive/used_colors.h"

#include <algorithm>

namespace qv {

const TColor UsedColorPalette[TUsedColors::PaletteSize] = {0x800080, 0x008000, 0x0000FF, 0xFF00FF, 0xFFFF00,
                                                           0xFF0000, 0x000080, 0x800000, 0x00FF00, 0x008080,
                                                           0xC0DCC0, 0x00FFFF, 0x808000, 0xF0CAA6, 0x808080};

TUsedColors::TUsedColors() { used_.reserve(PaletteSize); }

bool TUsedColors::IsFree(TColor color) const { return std::find(used_.begin(), used_.end(), color) == used_.end(); }

TColor TUsedColors::UseColor(TColor color) {
  // Black is never handed out: 0 asks for the first palette colour.
  if (color == 0) color = UsedColorPalette[0];
  if (IsFree(color)) {
    used_.push_back(color);
    return color;
  }
  for (TColor candidate : UsedColorPalette) {
    if (IsFree(candidate)) {
      used_.push_back(candidate);
      return candidate;
    }
  }
  return UsedColorPalette[0];
}

bool TUsedPointers::IsFree(int32_t style) const { return std::find(used_.begin(), used_.end(), style) == used_.end(); }

int32_t TUsedPointers::UsePointer(int32_t style) {
  if (IsFree(style)) {
    used_.push_back(style);
    return style;
  }
  for (int32_t candidate = 0; candidate < PaletteSize; ++candidate) {
    if (IsFree(candidate)) {
      used_.push_back(candidate);
      return candidate;
    }
  }
  return 0;
}

}  // namespace qv
