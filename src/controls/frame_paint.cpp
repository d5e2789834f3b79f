#include "controls/frame_paint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace qv {

namespace {
int Round(double v) { return static_cast<int>(std::nearbyint(v)); }

TRect Shrink(const TRect& r, TSides sides, int n) {
  TRect out = r;
  if (HasSide(sides, TSide::sdLeft)) out.Left += n;
  if (HasSide(sides, TSide::sdTop)) out.Top += n;
  if (HasSide(sides, TSide::sdRight)) out.Right -= n;
  if (HasSide(sides, TSide::sdBottom)) out.Bottom -= n;
  return out;
}

struct Pair {
  TColor ul, lr;
};

TRect PaintEtched(TCanvas& c, const TRect& b, TColor ul, TColor lr, TSides sides) {
  bool left = HasSide(sides, TSide::sdLeft), top = HasSide(sides, TSide::sdTop);
  bool right = HasSide(sides, TSide::sdRight), bottom = HasSide(sides, TSide::sdBottom);
  if (right)
    c.SetPixel(b.Right - 1, b.Top, lr);
  else if (top)
    c.SetPixel(b.Right - 1, b.Top, ul);
  if (bottom)
    c.SetPixel(b.Left, b.Bottom - 1, lr);
  else if (left)
    c.SetPixel(b.Left, b.Bottom - 1, ul);
  if (top && !left) c.SetPixel(b.Left, b.Top + 1, lr);
  if (left && !top) c.SetPixel(b.Left + 1, b.Top, lr);
  if (bottom && !right) c.SetPixel(b.Right - 1, b.Bottom - 2, ul);
  if (right && !bottom) c.SetPixel(b.Right - 2, b.Bottom - 1, ul);
  PaintSides(c, TRect{b.Left + 1, b.Top + 1, b.Right, b.Bottom}, lr, sides, lr);
  PaintSides(c, TRect{b.Left, b.Top, b.Right - 1, b.Bottom - 1}, ul, sides, ul);
  return Shrink(b, sides, 2);
}

TRect PaintTwoRings(TCanvas& c, const TRect& b, Pair outer, Pair inner, TSides sides) {
  TRect r = PaintSides(c, b, outer.ul, sides, outer.lr);
  return PaintSides(c, r, inner.ul, sides, inner.lr);
}

void DrawArrow(TCanvas& c, const std::vector<TPoint>& points, bool enabled) {
  TColor saved = c.Brush().Color;
  // Themes are off: the themed glyph colour is never sampled, so enabled arrows are black.
  c.Brush().Color = enabled ? clBlack : clBtnShadow;
  c.Pen().Style = TPenStyle::psClear;
  if (!points.empty()) c.Polygon(points);
  c.Pen().Style = TPenStyle::psSolid;
  c.Brush().Color = saved;
}

void ArrowCentre(const TRect& b, int& cx, int& cy) {
  int w = b.Right - b.Left, h = b.Bottom - b.Top;
  cx = b.Left + w / 2;
  cy = b.Top + h / 2;
  if (h % 2 == 0) --cy;
}
}  // namespace

void ColorToHueZivLum(TColor color, uint8_t& hue, uint8_t& saturation, uint8_t& lightness) {
  TColor rgb = ColorToRGB(color);
  double r = GetRValue(rgb) / 255.0, g = GetGValue(rgb) / 255.0, b = GetBValue(rgb) / 255.0;
  double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double l = (mx + mn) / 2, h = 0, s = 0;
  if (mx != mn) {
    double d = mx - mn;
    s = l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (r == mx)
      h = (g - b) / d;
    else if (g == mx)
      h = 2 + (b - r) / d;
    else
      h = 4 + (r - g) / d;
    h /= 6;
    if (h < 0) h += 1;
  }
  hue = static_cast<uint8_t>(Round(h * 240));
  saturation = static_cast<uint8_t>(Round(s * 240));
  lightness = static_cast<uint8_t>(Round(l * 240));
}

uint8_t ColorHueOf(TColor color) {
  uint8_t h, s, l;
  ColorToHueZivLum(color, h, s, l);
  return h;
}

TColor HueZivLumToColor(int hue, int saturation, int lightness) {
  double h = hue / 239.0, s = saturation / 240.0, l = lightness / 240.0;
  double v = l < 0.5 ? l * (1 + s) : l + s - l * s;
  if (v <= 0) return clBlack;
  double m = 2 * l - v;
  double sv = (v - m) / v;
  h *= 6;
  int sextant = static_cast<int>(std::trunc(h));
  double f = h - sextant;
  double vsf = v * sv * f;
  double mid1 = m + vsf, mid2 = v - vsf;
  double r, g, b;
  switch (sextant) {
    case 1: r = mid2, g = v, b = m; break;
    case 2: r = m, g = v, b = mid1; break;
    case 3: r = m, g = mid2, b = v; break;
    case 4: r = mid1, g = m, b = v; break;
    case 5: r = v, g = m, b = mid2; break;
    default: r = v, g = mid1, b = m; break;  // 0, and 6 for a hue of 239 and above
  }
  auto channel = [](double x) { return Round(std::min(x, 1.0) * 255); };
  return RGB(channel(r), channel(g), channel(b));
}

TColor DarkenColor(TColor color, int amount) {
  uint8_t h, s, l;
  ColorToHueZivLum(color, h, s, l);
  return HueZivLumToColor(h, s, std::max(0, l - amount));
}

TColor LightenColor(TColor color, int amount) {
  uint8_t h, s, l;
  ColorToHueZivLum(color, h, s, l);
  return HueZivLumToColor(h, s, std::min(255, l + amount));
}

TColor ShiftColor(TColor color, int adjustment) {
  if (adjustment < 0) return DarkenColor(color, -adjustment);
  if (adjustment > 0) return LightenColor(color, adjustment);
  return color;
}

TColor MixColors(TColor fore_color, TColor back_color, uint8_t alpha) {
  TColor f = ColorToRGB(fore_color), b = ColorToRGB(back_color);
  float a = static_cast<float>(alpha) / 255.0f;
  auto mix = [a](int x, int y) {
    return static_cast<int>(std::nearbyint(a * static_cast<float>(x) + (1.0f - a) * static_cast<float>(y)));
  };
  return RGB(mix(GetRValue(f), GetRValue(b)), mix(GetGValue(f), GetGValue(b)), mix(GetBValue(f), GetBValue(b)));
}

bool ColorsAlike(TColor a, TColor b) {
  uint8_t ha, sa, la, hb, sb, lb;
  ColorToHueZivLum(a, ha, sa, la);
  ColorToHueZivLum(b, hb, sb, lb);
  return std::abs(ha - hb) < 20 && std::abs(la - lb) < 60;
}

bool ScreenHasTrueColor() { return true; }

TRect CenteredRect(const TRect& rect, int width, int height) {
  int l = (rect.Left + rect.Right - width) / 2;
  int t = (rect.Top + rect.Bottom - height) / 2;
  return TRect{l, t, l + width, t + height};
}

TRect PaintSides(TCanvas& c, const TRect& b, TColor upper_left, TSides sides, TColor lower_right) {
  if (upper_left != clNone) {
    c.Pen().Color = upper_left;
    if (HasSide(sides, TSide::sdLeft)) {
      c.MoveTo(b.Left, b.Top);
      c.LineTo(b.Left, b.Bottom);
    }
    if (HasSide(sides, TSide::sdTop)) {
      c.MoveTo(b.Left, b.Top);
      c.LineTo(b.Right, b.Top);
    }
  }
  if (lower_right != clNone) {
    c.Pen().Color = lower_right;
    if (HasSide(sides, TSide::sdRight)) {
      c.MoveTo(b.Right - 1, b.Top);
      c.LineTo(b.Right - 1, b.Bottom);
    }
    if (HasSide(sides, TSide::sdBottom)) {
      c.MoveTo(b.Left, b.Bottom - 1);
      c.LineTo(b.Right, b.Bottom - 1);
    }
  }
  return Shrink(b, sides, 1);
}

TRect PaintSideLines(TCanvas& c, const TRect& b, TColor upper_left, TSides sides, int count, TColor lower_right) {
  c.Pen().Width = 1;
  TRect r = b;
  for (int i = 0; i < count; ++i) r = PaintSides(c, r, upper_left, sides, lower_right);
  return r;
}

TRect PaintFrameSides(TCanvas& c, const TRect& b, TFrameStyle style, TSides sides) {
  switch (style) {
    case TFrameStyleEx::fsFlat: return PaintSides(c, b, cl3DDkShadow, sides, cl3DDkShadow);
    case TFrameStyleEx::fsStatus: return PaintSides(c, b, clBtnShadow, sides, clBtnHighlight);
    case TFrameStyleEx::fsPopup: return PaintSides(c, b, clBtnHighlight, sides, clBtnShadow);
    case TFrameStyleEx::fsFlatBold: return PaintSideLines(c, b, clBtnShadow, sides, 2, clBtnShadow);
    case TFrameStyleEx::fsRaised:
      return PaintTwoRings(c, b, {cl3DLight, cl3DDkShadow}, {clBtnHighlight, clBtnShadow}, sides);
    case TFrameStyleEx::fsLowered:
      return PaintTwoRings(c, b, {clBtnShadow, clBtnHighlight}, {cl3DDkShadow, cl3DLight}, sides);
    case TFrameStyleEx::fsButtonUp:
      return PaintTwoRings(c, b, {clBtnHighlight, cl3DDkShadow}, {cl3DLight, clBtnShadow}, sides);
    case TFrameStyleEx::fsButtonDown:
      return PaintTwoRings(c, b, {clBtnText, clBtnText}, {clBtnShadow, clBtnShadow}, sides);
    case TFrameStyleEx::fsGroove: return PaintEtched(c, b, clBtnShadow, clBtnHighlight, sides);
    case TFrameStyleEx::fsBump: return PaintEtched(c, b, clBtnHighlight, clBtnShadow, sides);
    default: return b;
  }
}

TRect PaintFrame(TCanvas& c, const TRect& b, TFrameStyle style) { return PaintFrameSides(c, b, style, sdAllSides); }

TRect PaintColorFrameSides(TCanvas& c, const TRect& b, TColor face, TSides sides, TFrameStyle style) {
  auto D = [face](int n) { return DarkenColor(face, n); };
  auto L = [face](int n) { return LightenColor(face, n); };
  switch (style) {
    case TFrameStyleEx::fsFlat: return PaintSides(c, b, D(50), sides, D(50));
    case TFrameStyleEx::fsStatus: return PaintSides(c, b, D(50), sides, L(100));
    case TFrameStyleEx::fsPopup: return PaintSides(c, b, L(100), sides, D(50));
    case TFrameStyleEx::fsFlatBold: return PaintSideLines(c, b, D(50), sides, 2, D(50));
    case TFrameStyleEx::fsLowered: return PaintTwoRings(c, b, {D(50), L(100)}, {D(100), L(50)}, sides);
    case TFrameStyleEx::fsRaised: return PaintTwoRings(c, b, {L(50), D(100)}, {L(100), D(50)}, sides);
    case TFrameStyleEx::fsButtonUp: return PaintTwoRings(c, b, {L(100), D(100)}, {L(40), D(50)}, sides);
    case TFrameStyleEx::fsButtonDown: return PaintTwoRings(c, b, {D(100), D(100)}, {D(50), D(50)}, sides);
    case TFrameStyleEx::fsGroove: return PaintEtched(c, b, D(50), L(100), sides);
    case TFrameStyleEx::fsBump: return PaintEtched(c, b, L(100), D(50), sides);
    default: return b;
  }
}

TRect PaintColorFrame(TCanvas& c, const TRect& b, TColor face, TFrameStyle style) {
  return PaintColorFrameSides(c, b, face, sdAllSides, style);
}

TRect PaintRoundedFlatFrame(TCanvas& c, const TRect& b, TColor color, TSides sides) {
  bool left = HasSide(sides, TSide::sdLeft), top = HasSide(sides, TSide::sdTop);
  bool right = HasSide(sides, TSide::sdRight), bottom = HasSide(sides, TSide::sdBottom);
  int l = left ? 2 : 0, t = top ? 2 : 0, r = right ? 2 : 0, bo = bottom ? 2 : 0;
  c.Pen().Color = color;
  auto line = [&](int x1, int y1, int x2, int y2) {
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
  };
  if (left) line(b.Left, b.Top + t, b.Left, b.Bottom - bo);
  if (top) line(b.Left + l, b.Top, b.Right - r, b.Top);
  if (right) line(b.Right - 1, b.Top + t, b.Right - 1, b.Bottom - bo);
  if (bottom) line(b.Left + l, b.Bottom - 1, b.Right - r, b.Bottom - 1);
  if (left && top) c.SetPixel(b.Left + 1, b.Top + 1, color);
  if (right && top) c.SetPixel(b.Right - 2, b.Top + 1, color);
  if (right && bottom) c.SetPixel(b.Right - 2, b.Bottom - 2, color);
  if (left && bottom) c.SetPixel(b.Left + 1, b.Bottom - 2, color);
  return Shrink(b, sides, 2);
}

namespace {
// One frame step of the compound border (outer or inner).
TRect PaintBorderFrame(TCanvas& c, TRect r, TFrameStyleEx style, TSides sides, int bevel_width, TColor flat,
                       TColor highlight, TColor shadow) {
  switch (style) {
    case TFrameStyleEx::fsFlat: return PaintSides(c, r, flat, sides, flat);
    case TFrameStyleEx::fsFlatBold: return PaintSideLines(c, r, flat, sides, 2, flat);
    case TFrameStyleEx::fsPopup: return PaintSideLines(c, r, highlight, sides, bevel_width, shadow);
    case TFrameStyleEx::fsStatus: return PaintSideLines(c, r, shadow, sides, bevel_width, highlight);
    default: return PaintFrameSides(c, r, style, sides);
  }
}
}  // namespace

TRect PaintControlBorders(TCanvas& c, const TRect& bounds, TFrameStyleEx border_outer, TFrameStyleEx border_inner,
                          int border_width, TSides border_sides, int bevel_width, TColor border_color,
                          TColor border_highlight, TColor border_shadow, TColor flat_color, int flat_color_adjustment,
                          TColor color, TColor parent_color, bool transparent) {
  TColor f = ShiftColor(flat_color, flat_color_adjustment);
  TRect r = bounds;
  if (border_outer == TFrameStyleEx::fsFlatRounded) {
    // The rings paint the cut-off corners in the colours around them.
    bool bordered = border_width > 0 || border_inner != TFrameStyleEx::fsNone;
    if (!transparent) {
      TRect inner = PaintSides(c, r, parent_color, border_sides, parent_color);
      TColor ring = bordered ? border_color : color;
      PaintSides(c, inner, ring, border_sides, ring);
    } else if (bordered) {
      PaintSides(c, Shrink(r, border_sides, 1), border_color, border_sides, border_color);
    }
    r = PaintRoundedFlatFrame(c, r, f, border_sides);
  } else {
    r = PaintBorderFrame(c, r, border_outer, border_sides, bevel_width, f, border_highlight, border_shadow);
  }
  if (border_width > 0) r = PaintSideLines(c, r, border_color, border_sides, border_width, border_color);
  if (border_inner == TFrameStyleEx::fsFlatRounded) {
    TRect inner = PaintSides(c, r, border_color, border_sides, border_color);
    if (!transparent) PaintSides(c, inner, color, border_sides, color);
    r = PaintRoundedFlatFrame(c, r, f, border_sides);
  } else {
    r = PaintBorderFrame(c, r, border_inner, border_sides, bevel_width, f, border_highlight, border_shadow);
  }
  return r;
}

TRect PaintEditFrame(TCanvas& c, int width, int height, TFrameStyle frame_style, TColor color, TColor frame_color,
                     TSides frame_sides) {
  // The two rings in the control's colour cover the platform's border; the frame then takes
  // that border's place from the outer edge in. Inside it lies the client area, which the
  // control paints over, so a frame drawn there would never be seen.
  const TRect r{0, 0, width, height};
  PaintSideLines(c, r, color, sdAllSides, 2, color);
  switch (frame_style) {
    case TFrameStyleEx::fsFlat: return PaintSides(c, r, frame_color, frame_sides, frame_color);
    case TFrameStyleEx::fsFlatBold: return PaintSideLines(c, r, frame_color, frame_sides, 2, frame_color);
    default:
      if (color == clWindow) return PaintFrameSides(c, r, frame_style, frame_sides);
      return PaintColorFrameSides(c, r, color, frame_sides, frame_style);
  }
}

TRect PaintDottedFocusFrame(TCanvas& c, const TRect& b) {
  // Each dot is its own value combined with itself by exclusive or: black.
  auto dot = [&c](int x, int y) {
    TColor p = c.Pixel(x, y);
    c.SetPixel(x, y, p ^ p);
  };
  for (int y = b.Top + 1; y < b.Bottom; y += 2) {
    dot(b.Left, y);
    dot(b.Right - 1, y);
  }
  for (int x = b.Left + 1; x < b.Right; x += 2) {
    dot(x, b.Top);
    dot(x, b.Bottom - 1);
  }
  return TRect{b.Left + 1, b.Top + 1, b.Right - 1, b.Bottom - 1};
}

void PaintDropDownArrow(TCanvas& c, const TRect& b, bool themed, bool down, bool enabled) {
  int cx, cy;
  ArrowCentre(b, cx, cy);
  cy += themed ? 4 : 2;
  if (down) ++cx, ++cy;
  if (themed)
    DrawArrow(c, {{cx, cy}, {cx - 4, cy - 5}, {cx - 3, cy - 7}, {cx, cy - 3}, {cx + 3, cy - 7}, {cx + 5, cy - 5}},
              enabled);
  else
    DrawArrow(c, {{cx, cy}, {cx - 3, cy - 4}, {cx + 4, cy - 4}}, enabled);
}

void PaintDirectionArrow(TCanvas& c, const TRect& b, bool themed, int direction, bool down, bool enabled) {
  int cx, cy;
  ArrowCentre(b, cx, cy);
  switch (direction) {
    case 0: cy += themed ? 4 : 2; break;
    case 1: cy += 2; break;
    case 2: cx -= themed ? 1 : 2; break;
    case 3: cx -= themed ? 3 : 2; break;
    default: break;
  }
  if (down && enabled) ++cx, ++cy;
  std::vector<TPoint> pts;
  switch (direction) {
    case 0:
      pts = themed ? std::vector<TPoint>{{cx, cy - 5}, {cx + 4, cy}, {cx + 1, cy},
                                         {cx, cy - 2}, {cx - 1, cy}, {cx - 4, cy}}
                   : std::vector<TPoint>{{cx, cy - 5}, {cx + 4, cy}, {cx - 4, cy}};
      break;
    case 1:
      pts = themed ? std::vector<TPoint>{{cx, cy},     {cx - 3, cy - 4}, {cx, cy - 4},
                                         {cx, cy - 3}, {cx + 1, cy - 4}, {cx + 4, cy - 4}}
                   : std::vector<TPoint>{{cx, cy + 1}, {cx - 3, cy - 3}, {cx + 4, cy - 3}};
      break;
    case 2:
      pts = themed ? std::vector<TPoint>{{cx, cy},     {cx + 4, cy - 4}, {cx + 4, cy - 1},
                                         {cx + 3, cy}, {cx + 4, cy + 1}, {cx + 4, cy + 4}}
                   : std::vector<TPoint>{{cx, cy}, {cx + 4, cy - 4}, {cx + 4, cy + 4}};
      break;
    case 3:
      pts = themed ? std::vector<TPoint>{{cx + 4, cy}, {cx, cy + 4}, {cx, cy + 1},
                                         {cx + 1, cy}, {cx, cy - 1}, {cx, cy - 4}}
                   : std::vector<TPoint>{{cx + 4, cy}, {cx, cy + 4}, {cx, cy - 4}};
      break;
    default: break;
  }
  DrawArrow(c, pts, enabled);
}

}  // namespace qv
