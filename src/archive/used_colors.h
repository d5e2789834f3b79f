#pragma once
// Allocators that give the curves of one diagram distinct colours and point markers.
#include <cstdint>
#include <vector>

namespace qv {

// The GUI layer's colour type, so the model and the forms share it.
using TColor = int32_t;  // 0x00BBGGRR

class TUsedColors {
public:
  static constexpr int PaletteSize = 15;
  TUsedColors();
  bool IsFree(TColor color) const;
  // The colour when it is free (0 stands for the first palette colour), else the first free
  // palette colour; the first palette colour, unrecorded, when all are taken.
  TColor UseColor(TColor color);
  void Reset() { used_.clear(); }
  int UsedCount() const { return static_cast<int>(used_.size()); }

private:
  // Grows as needed: colours outside the palette are recorded as well.
  std::vector<TColor> used_;
};

class TUsedPointers {
public:
  static constexpr int PaletteSize = 9;
  bool IsFree(int32_t style) const;
  // The style when free, else the first free of 0 to 8; 0, unrecorded, when all are taken.
  int32_t UsePointer(int32_t style);
  void Reset() { used_.clear(); }

private:
  std::vector<int32_t> used_;
};

extern const TColor UsedColorPalette[TUsedColors::PaletteSize];

}  // namespace qv
