#include "controls/sty_glyph_maps.h"

namespace qv {

namespace {
// Radio button, unchecked; the checked dot replaces columns 5 to 9 of rows 5 to 9.
const char* const kRadio[kGlyphSize] = {"ttttAgKgAtttt", "ttAKaLFLaKAtt", "tAgLFFFFFLgAt", "tKLFFYWYFFmKt",
                                        "AaFFWWWWWRRpA", "gLFYWWWWWYRmg", "KFFWWWWWWWRRK", "gLFYWWWWWYRmg",
                                        "AaFFWWWWWRRpA", "tKLFRYWYRRmKt", "tAgmRRRRRmgAt", "ttAKpmRmpKAtt",
                                        "ttttAgKgAtttt"};
const char* const kRadioDot[5] = {"WBNBW", "BNNNB", "NNNNN", "BNNNB", "WBNBW"};
const char* const kCheckChecked[7] = {"WWWWWWB", "WWWWWBB", "BWWWBBB", "BBWBBBW", "BBBBBWW", "WBBBWWW", "WWBWWWW"};

TColor Placeholder(char letter) {
  switch (letter) {
    case 'W': return clWhite;
    case 'K': return clBlack;
    case 'g': return clGreen;
    case 'a': return clGray;
    case 'p': return clPurple;
    case 'm': return clMaroon;
    case 'L': return clLime;
    case 'R': return clRed;
    case 'F': return clFuchsia;
    case 'Y': return clYellow;
    case 'N': return clNavy;
    case 'B': return clBlue;
    case 'A': return clAqua;
    default: return clOlive;
  }
}

char CheckBoxLetter(TBuiltInGlyph glyph, int x, int y) {
  if (y == 0 || y == 12 || x == 0 || x == 12) return 'a';
  if (y == 1) return 'F';
  if (y == 2) return x == 11 ? 'R' : 'F';
  if (y == 10) return x <= 2 ? 'F' : 'R';
  if (y == 11) return x == 1 ? 'F' : 'R';
  if (x <= 2) return 'F';
  if (x >= 10) return 'R';
  if (glyph == TBuiltInGlyph::CheckUnchecked) return 'W';
  if (glyph == TBuiltInGlyph::CheckGrayed) return 'B';
  return kCheckChecked[y - 3][x - 3];
}
}  // namespace

TColor BuiltInGlyphPixel(TBuiltInGlyph glyph, int x, int y) {
  if (glyph == TBuiltInGlyph::RadioUnchecked || glyph == TBuiltInGlyph::RadioChecked) {
    if (glyph == TBuiltInGlyph::RadioChecked && x >= 4 && x <= 8 && y >= 4 && y <= 8)
      return Placeholder(kRadioDot[y - 4][x - 4]);
    return Placeholder(kRadio[y][x]);
  }
  return Placeholder(CheckBoxLetter(glyph, x, y));
}

void DrawBuiltInGlyph(TBitmap& bitmap, TBuiltInGlyph glyph, const std::function<TColor(int, int, TColor)>& colour) {
  bitmap.SetSize(kGlyphSize, kGlyphSize);
  for (int y = 0; y < kGlyphSize; ++y)
    for (int x = 0; x < kGlyphSize; ++x) bitmap.SetPixel(x, y, colour(x, y, BuiltInGlyphPixel(glyph, x, y)));
}

void ReplaceBitmapColor(TBitmap& bitmap, TColor from, TColor to) {
  TColor f = ColorToRGB(from), t = ColorToRGB(to);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      if (ColorToRGB(bitmap.Pixel(x, y)) == f) bitmap.SetPixel(x, y, t);
}

TColor NudgeRed(TColor color) {
  TColor rgb = ColorToRGB(color);
  int r = GetRValue(rgb);
  return RGB(r == 255 ? 254 : r + 1, GetGValue(rgb), GetBValue(rgb));
}

}  // namespace qv
