#pragma once
// Banded colour gradients, the shaded background of group bars, transparent stretched and tiled
// bitmaps, painting a parent behind a transparent control, angled fonts and font metrics, and the
// work areas of the screen's monitors.
#include <cstdint>
#include <string>

#include "controls/frame_paint.h"
#include "platform/gui/controls.h"

namespace qv {

enum class TGradientDirection : uint8_t {
  gdDiagonalUp,
  gdDiagonalDown,
  gdHorizontalEnd,
  gdHorizontalCenter,
  gdHorizontalBox,
  gdVerticalEnd,
  gdVerticalCenter,
  gdVerticalBox,
  gdSquareBox,
  gdBigSquareBox
};

// Fills bounds; an empty bounds rectangle draws nothing.
void DrawGradientArea(TCanvas& canvas, const TRect& bounds, TGradientDirection direction, TColor start_color,
                      TColor stop_color, uint8_t smooth_factor);
void PaintGroupBarShade(TCanvas& canvas, const TRect& bounds, bool use_themes, TStyGroupBarGradientPath path,
                        TColor color, int adjustment);
// Copies the source part stretched to dest, leaving the pixels of transparent_color unpainted.
void DrawTransparentStretched(TCanvas& canvas, const TBitmap& bitmap, const TRect& dest, const TRect& source,
                              TColor transparent_color);
void TileGraphic(TCanvas& canvas, const TBitmap& graphic, const TRect& rect);
// Fills a width x height area at (x, y) from the strip_width x strip_height seed at its top-left.
void ReplicateStrip(TCanvas& canvas, int x, int y, int strip_height, int strip_width, int height, int width);
// Mirrors the top-left quadrant of a width x height area at (x, y) into the other three.
void MirrorQuadrant(TCanvas& canvas, int x, int y, int height, int width);
// Paints the control's parent (its background and own painting) under the control on canvas,
// whose origin is the control's client top-left.
void PaintParentBackground(TControl* control, TCanvas& canvas, bool invalidate_parent);

// A copy of the font turned by angle degrees (escapement angle * 10).
TFont CreateAngledFont(const TFont& font, int angle);
// Every font is drawn scalable.
bool IsTrueTypeFont(const TFont& font);
int FontLineHeight(const TFont& font);
// The average width of the 52 letters, at least 1.
int AverageCharWidth(const TFont& font);
int CountChars(char ch, const std::string& text);

TRect WindowMonitorWorkArea(const TControl* control);
int WindowMonitorWorkWidth(const TControl* control);
TRect MonitorWorkArea(int monitor);
TRect MonitorBounds(int monitor);
// There is no form designer: nothing to tell.
inline void NotifyDesignerModified(TControl*) {}

}  // namespace qv
