#pragma once
// Colour shades and frame painting shared by every styled control: shading in a hue, saturation
// and lightness space on a 0 to 240 scale, frame styles painted on chosen sides, the compound
// border of panels and labels, the edit frame, the dotted focus frame and the arrow glyphs.
// Every routine returns the rectangle left inside what it drew.
#include <cstdint>

#include "platform/gui/graphics.h"

namespace qv {

enum class TFrameStyleEx : uint8_t {
  fsNone,
  fsFlat,
  fsGroove,
  fsBump,
  fsLowered,
  fsButtonDown,
  fsRaised,
  fsButtonUp,
  fsStatus,
  fsPopup,
  fsFlatBold,
  fsFlatRounded
};
// The frame styles without fsFlatRounded.
using TFrameStyle = TFrameStyleEx;

enum class TSide : uint8_t { sdLeft, sdTop, sdRight, sdBottom };
// A set of sides, one bit per side.
using TSides = uint8_t;
constexpr TSides SideBit(TSide s) { return static_cast<TSides>(1u << static_cast<unsigned>(s)); }
constexpr TSides sdAllSides = 0x0F;
constexpr bool HasSide(TSides sides, TSide s) { return (sides & SideBit(s)) != 0; }

enum class TFramingPreference : uint8_t { fpCustomFraming, fpXPThemes };
enum class TOrientation : uint8_t { orHorizontal, orVertical };
enum class TTextStyle : uint8_t { tsNormal, tsRaised, tsRecessed, tsShadow };
enum class TAlignmentVertical : uint8_t { avTop, avCenter, avBottom };
enum class TStyGroupBarGradientPath : uint8_t { gpTopToBottom, gpBottomToTop };
enum class TStyHotTrackColorType : uint8_t { htctComplement, htctActual };

// Colour shading.
void ColorToHueZivLum(TColor color, uint8_t& hue, uint8_t& saturation, uint8_t& lightness);
uint8_t ColorHueOf(TColor color);
// Lightness may exceed 240 (LightenColor caps at 255); channels are then clipped.
TColor HueZivLumToColor(int hue, int saturation, int lightness);
TColor DarkenColor(TColor color, int amount);
TColor LightenColor(TColor color, int amount);
TColor ShiftColor(TColor color, int adjustment);
TColor MixColors(TColor fore_color, TColor back_color, uint8_t alpha);
bool ColorsAlike(TColor a, TColor b);
bool ScreenHasTrueColor();
TRect CenteredRect(const TRect& rect, int width, int height);
inline int MinInteger(int a, int b) { return a < b ? a : b; }
inline int MaxInteger(int a, int b) { return a > b ? a : b; }

// Frame painting.
TRect PaintSides(TCanvas& canvas, const TRect& bounds, TColor upper_left, TSides sides, TColor lower_right);
TRect PaintSideLines(TCanvas& canvas, const TRect& bounds, TColor upper_left, TSides sides, int count,
                     TColor lower_right);
TRect PaintFrameSides(TCanvas& canvas, const TRect& bounds, TFrameStyle style, TSides sides);
TRect PaintFrame(TCanvas& canvas, const TRect& bounds, TFrameStyle style);
TRect PaintColorFrameSides(TCanvas& canvas, const TRect& bounds, TColor face_color, TSides sides, TFrameStyle style);
TRect PaintColorFrame(TCanvas& canvas, const TRect& bounds, TColor face_color, TFrameStyle style);
TRect PaintRoundedFlatFrame(TCanvas& canvas, const TRect& bounds, TColor color, TSides sides);
TRect PaintControlBorders(TCanvas& canvas, const TRect& bounds, TFrameStyleEx border_outer, TFrameStyleEx border_inner,
                          int border_width, TSides border_sides, int bevel_width, TColor border_color,
                          TColor border_highlight, TColor border_shadow, TColor flat_color, int flat_color_adjustment,
                          TColor color, TColor parent_color, bool transparent);
TRect PaintEditFrame(TCanvas& canvas, int width, int height, TFrameStyle frame_style, TColor color, TColor frame_color,
                     TSides frame_sides);
TRect PaintDottedFocusFrame(TCanvas& canvas, const TRect& bounds);
void PaintDropDownArrow(TCanvas& canvas, const TRect& bounds, bool themed, bool down, bool enabled);
// Direction 0 up, 1 down, 2 left, 3 right; any other draws nothing.
void PaintDirectionArrow(TCanvas& canvas, const TRect& bounds, bool themed, int direction, bool down, bool enabled);

}  // namespace qv
