#pragma once
// The built-in 13 x 13 state glyphs of the radio buttons and check lists, kept as letter maps in
// placeholder colours that the controls replace when they draw them.
#include <functional>

#include "platform/gui/graphics.h"

namespace qv {

constexpr int kGlyphSize = 13;

enum class TBuiltInGlyph : uint8_t { RadioUnchecked, RadioChecked, CheckUnchecked, CheckChecked, CheckGrayed };

// The placeholder colour of each pixel; `colour` maps (x, y, placeholder) to the drawn colour.
TColor BuiltInGlyphPixel(TBuiltInGlyph glyph, int x, int y);
void DrawBuiltInGlyph(TBitmap& bitmap, TBuiltInGlyph glyph,
                      const std::function<TColor(int x, int y, TColor placeholder)>& colour);

// Replaces every pixel of colour `from` (compared as RGB) by `to`.
void ReplaceBitmapColor(TBitmap& bitmap, TColor from, TColor to);

// The colour made one step redder, so computed glyph colours are not taken for mask colours: the
// red channel grows by one within its byte (255 becomes 254).
TColor NudgeRed(TColor color);

}  // namespace qv
