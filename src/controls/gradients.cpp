#include "controls/gradients.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include "platform/gui/forms.h"

namespace qv {

namespace {

// Paints a colour run over positions n down to 1: `fill(from, to, colour)` gets the half-open
// position range [from, to) in 0-based positions.
void ColorRun(int n, TColor first, TColor last, int q, const std::function<void(int, int, TColor)>& fill) {
  if (n <= 0) return;
  first = ColorToRGB(first);
  last = ColorToRGB(last);
  int32_t r = GetRValue(first) << 16, g = GetGValue(first) << 16, b = GetBValue(first) << 16;
  int32_t ir = ((GetRValue(last) << 16) - r) / n, ig = ((GetGValue(last) << 16) - g) / n,
          ib = ((GetBValue(last) << 16) - b) / n;
  TColor c = first;
  int pos = n;
  while (pos > 0) {
    int begin = pos, taken = 0;
    TColor band = c, next;
    do {
      r += ir, g += ig, b += ib;
      next = RGB(r >> 16, g >> 16, b >> 16);
      --pos;
      ++taken;
    } while ((next == band || taken < q + 1) && pos > 0);
    fill(pos, begin, band);
    c = next;
  }
}

int MinBand(uint8_t smooth, bool box) {
  int q = smooth <= 8 ? smooth - 1 : ((box ? 256 : 255) / smooth + 1) - 1;
  return std::max(0, q);
}

void Fill(TCanvas& c, const TRect& r, TColor color) {
  c.Brush().Color = color;
  c.FillRect(r);
}

}  // namespace

void ReplicateStrip(TCanvas& canvas, int x, int y, int strip_height, int strip_width, int height, int width) {
  int w = std::max(1, strip_width);
  while (w < width) {
    int n = std::min(w, width - w);
    canvas.CopyRect(Rect(x + w, y, x + w + n, y + strip_height), canvas, Rect(x, y, x + n, y + strip_height));
    w += n;
  }
  int h = std::max(1, strip_height);
  while (h < height) {
    int n = std::min(h, height - h);
    canvas.CopyRect(Rect(x, y + h, x + width, y + h + n), canvas, Rect(x, y, x + width, y + n));
    h += n;
  }
}

void MirrorQuadrant(TCanvas& canvas, int x, int y, int height, int width) {
  int qw = (width + 1) / 2, hh = height / 2, hw = width / 2;
  // Upper left quadrant (with a middle column) upside down into the bottom half, then the left
  // half mirrored into the right half.
  if (hh > 0) canvas.CopyRect(Rect(x, y + height - 1, x + qw, y + height - 1 - hh), canvas, Rect(x, y, x + qw, y + hh));
  if (hw > 0)
    canvas.CopyRect(Rect(x + width - 1, y, x + width - 1 - hw, y + height), canvas, Rect(x, y, x + hw, y + height));
}

void DrawGradientArea(TCanvas& canvas, const TRect& bounds, TGradientDirection direction, TColor start_color,
                      TColor stop_color, uint8_t smooth_factor) {
  int w = bounds.Width(), h = bounds.Height();
  if (w <= 0 || h <= 0) return;
  TBitmap bmp(w, h);
  TCanvas& c = bmp.Canvas();
  c.Pen().Width = 1;
  c.Pen().Style = TPenStyle::psClear;
  c.Brush().Style = TBrushStyle::bsSolid;
  int q = MinBand(smooth_factor, false), qbox = MinBand(smooth_factor, true);
  int sw = std::min(8, w), sh = std::min(8, h);
  switch (direction) {
    case TGradientDirection::gdHorizontalEnd:
      ColorRun(h, stop_color, start_color, q, [&](int a, int b, TColor col) { Fill(c, Rect(0, a, sw, b), col); });
      ReplicateStrip(c, 0, 0, h, sw, h, w);
      break;
    case TGradientDirection::gdHorizontalCenter: {
      int mid = h / 2;
      ColorRun(mid + 1, stop_color, start_color, q, [&](int a, int b, TColor col) { Fill(c, Rect(0, a, sw, b), col); });
      ColorRun(h - mid - 1, start_color, stop_color, q,
               [&](int a, int b, TColor col) { Fill(c, Rect(0, mid + 1 + a, sw, mid + 1 + b), col); });
      ReplicateStrip(c, 0, 0, h, sw, h, w);
      break;
    }
    case TGradientDirection::gdVerticalEnd:
      ColorRun(w, stop_color, start_color, q, [&](int a, int b, TColor col) { Fill(c, Rect(a, 0, b, sh), col); });
      ReplicateStrip(c, 0, 0, sh, w, h, w);
      break;
    case TGradientDirection::gdVerticalCenter: {
      int mid = w / 2;
      ColorRun(mid + 1, stop_color, start_color, q, [&](int a, int b, TColor col) { Fill(c, Rect(a, 0, b, sh), col); });
      ColorRun(w - mid - 1, start_color, stop_color, q,
               [&](int a, int b, TColor col) { Fill(c, Rect(mid + 1 + a, 0, mid + 1 + b, sh), col); });
      ReplicateStrip(c, 0, 0, sh, w, h, w);
      break;
    }
    case TGradientDirection::gdHorizontalBox:
    case TGradientDirection::gdVerticalBox:
    case TGradientDirection::gdSquareBox:
    case TGradientDirection::gdBigSquareBox: {
      int inset_x = 0, inset_y = 0;
      if (direction == TGradientDirection::gdHorizontalBox) inset_x = w / 4;
      if (direction == TGradientDirection::gdVerticalBox) inset_y = h / 4;
      if (direction == TGradientDirection::gdBigSquareBox) inset_x = w / 4, inset_y = h / 4;
      int hw = (w - 1) / 2, hh = (h - 1) / 2;
      int x0 = std::max(0, hw - inset_x), y0 = std::max(0, hh - inset_y);
      int steps = std::max(x0, y0) + 1;
      // Corner k of the L-shaped bands, from the inner corner (k = 0) out to (0, 0).
      auto corner = [&](int k, int v0) {
        if (steps <= 1) return 0;
        int64_t fx = static_cast<int64_t>(v0) << 16;
        return static_cast<int>((fx - fx * k / (steps - 1)) >> 16);
      };
      int qw = hw + 1, qh = hh + 1;
      // Positions count down from the centre (position `steps`, step 0) to the outer edge (1).
      // Each band paints the L-shaped strips between its inner and outer corners.
      ColorRun(steps, stop_color, start_color, qbox, [&](int a, int b, TColor col) {
        int k_out = steps - 1 - a, k_in = steps - b;
        int xo = corner(k_out, x0), yo = corner(k_out, y0);
        if (k_in == 0) {
          Fill(c, Rect(xo, yo, qw, qh), col);
          return;
        }
        int xi = corner(k_in - 1, x0), yi = corner(k_in - 1, y0);
        Fill(c, Rect(xo, yo, qw, yi), col);
        Fill(c, Rect(xo, yi, xi, qh), col);
      });
      MirrorQuadrant(c, 0, 0, h, w);
      break;
    }
    case TGradientDirection::gdDiagonalUp:
    case TGradientDirection::gdDiagonalDown: {
      if (ColorToRGB(start_color) == ColorToRGB(stop_color)) {
        Fill(c, Rect(0, 0, w, h), start_color);
        break;
      }
      int n = static_cast<int>(std::trunc(std::sqrt(double(w) * w + double(h) * h))) + 1;
      int steps = std::max(1, n / 2);
      TColor a = ColorToRGB(start_color), b = ColorToRGB(stop_color);
      bool up = direction == TGradientDirection::gdDiagonalUp;
      for (int k = 0; k < n; ++k) {
        auto mix = [&](int ca, int cb) { return ca + (cb - ca) * k / std::max(1, n - 1); };
        c.Brush().Color =
            RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
        // Points step along the top and left edges (twice the size, to cover the far corner).
        // In 64 bits: twice the size times the step overflows int on long strips.
        auto at = [&](int size, int step) { return static_cast<int>(int64_t{2} * size * step / (int64_t{2} * steps)); };
        int x1 = at(w, k), x2 = at(w, k + 1) + 1;
        int y1 = at(h, k), y2 = at(h, k + 1) + 1;
        std::vector<TPoint> pts = {{x1, 0}, {x2, 0}, {0, y2}, {0, y1}};
        if (up)
          for (TPoint& p : pts) p.Y = h - p.Y;
        c.Polygon(pts);
      }
      break;
    }
  }
  canvas.Draw(bounds.Left, bounds.Top, bmp);
}

void PaintGroupBarShade(TCanvas& canvas, const TRect& bounds, bool /*use_themes*/, TStyGroupBarGradientPath path,
                        TColor color, int adjustment) {
  // Themes are off: the gradient path runs.
  if (adjustment == 0 || !ScreenHasTrueColor()) return;
  int a = std::abs(adjustment), third = bounds.Height() / 3;
  TRect upper{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom - third};
  TRect lower{bounds.Left, bounds.Top + third, bounds.Right, bounds.Bottom};
  bool top_down = path == TStyGroupBarGradientPath::gpTopToBottom;
  auto grad = [&](const TRect& r, TColor top, TColor bottom) {
    DrawGradientArea(canvas, r, TGradientDirection::gdHorizontalEnd, top, bottom, 1);
  };
  if (top_down && adjustment > 0)
    grad(upper, LightenColor(color, a), color);
  else if (top_down)
    grad(lower, color, DarkenColor(color, a));
  else if (adjustment > 0)
    grad(lower, color, LightenColor(color, a));
  else
    grad(upper, DarkenColor(color, a), color);
}

void DrawTransparentStretched(TCanvas& canvas, const TBitmap& bitmap, const TRect& dest, const TRect& source,
                              TColor transparent_color) {
  if (dest.IsEmpty() || source.IsEmpty()) return;
  TBitmap temp(dest.Width(), dest.Height());
  temp.Canvas().CopyRect(Rect(0, 0, dest.Width(), dest.Height()), bitmap.Canvas(), source);
  std::unique_ptr<TBitmap> mask = temp.CreateMask(transparent_color);
  canvas.MaskedCopy(dest, temp, *mask);
}

void TileGraphic(TCanvas& canvas, const TBitmap& graphic, const TRect& rect) {
  int gw = graphic.Width(), gh = graphic.Height();
  if (gw <= 0 || gh <= 0) return;
  for (int y = rect.Top; y < rect.Bottom; y += gh)
    for (int x = rect.Left; x < rect.Right; x += gw) {
      int w = std::min(gw, rect.Right - x), h = std::min(gh, rect.Bottom - y);
      canvas.CopyRect(Rect(x, y, x + w, y + h), graphic.Canvas(), Rect(0, 0, w, h));
    }
}

void PaintParentBackground(TControl* control, TCanvas& canvas, bool invalidate_parent) {
  TWinControl* parent = control->Parent();
  if (!parent) return;
  canvas.SaveState();
  TPoint o = control->ClientOriginInParent();
  canvas.MoveOrigin(-o.X, -o.Y);
  canvas.IntersectClipRect(parent->ClientRect());
  try {
    parent->Perform(WM_ERASEBKGND, reinterpret_cast<uintptr_t>(&canvas), 0);
    parent->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&canvas), 0);
  } catch (...) {
    canvas.RestoreState();
    throw;
  }
  canvas.RestoreState();
  if (invalidate_parent && !dynamic_cast<TCustomControl*>(parent) && !dynamic_cast<TForm*>(parent))
    parent->Invalidate();
}

TFont CreateAngledFont(const TFont& font, int angle) {
  TFont f;
  f.Assign(font);
  f.SetOrientation(angle * 10);
  return f;
}

bool IsTrueTypeFont(const TFont&) { return true; }

int FontLineHeight(const TFont& font) {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(font);
  return c.FontLineHeight() + 2;
}

int AverageCharWidth(const TFont& font) {
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(font);
  int w = c.TextWidth("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return std::max(1, static_cast<int>(std::nearbyint(w / 52.0)));
}

int CountChars(char ch, const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), ch)); }

TRect MonitorWorkArea(int monitor) { return Screen->Monitors(monitor).WorkareaRect; }
TRect MonitorBounds(int monitor) { return Screen->Monitors(monitor).BoundsRect; }
TRect WindowMonitorWorkArea(const TControl* control) { return MonitorWorkArea(Screen->MonitorFromWindow(control)); }
int WindowMonitorWorkWidth(const TControl* control) { return WindowMonitorWorkArea(control).Width(); }

}  // namespace qv
