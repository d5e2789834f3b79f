#pragma once
// Colours, fonts, pens, brushes, the drawing canvas and bitmaps.
//
// Rectangles are half-open: Right and Bottom are one past the last pixel, and a rectangle with
// Right <= Left or Bottom <= Top is empty. Lines leave out their end point and are one pixel wide
// without antialiasing, so drawings are the same pixel for pixel on every machine.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"

namespace qv {

QV_DECLARE_EXCEPTION(EInvalidGraphic, Exception);

// ---------------------------------------------------------------------------------------------
// Colours: RGB with red in the low byte; a system colour has 0xFF in the top byte and its index in
// the low byte.
using TColor = int32_t;

constexpr TColor RGB(int r, int g, int b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }
constexpr int GetRValue(TColor c) { return c & 0xFF; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 0xFF; }
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0xFF000000u | static_cast<uint32_t>(index)); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080, clNavy = 0x800000,
                 clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF,
                 clLime = 0x00FF00, clYellow = 0x00FFFF, clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00,
                 clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clScrollBar = SystemColor(0), clBackground = SystemColor(1), clActiveCaption = SystemColor(2),
                 clInactiveCaption = SystemColor(3), clMenu = SystemColor(4), clWindow = SystemColor(5),
                 clWindowFrame = SystemColor(6), clMenuText = SystemColor(7), clWindowText = SystemColor(8),
                 clCaptionText = SystemColor(9), clActiveBorder = SystemColor(10), clInactiveBorder = SystemColor(11),
                 clAppWorkSpace = SystemColor(12), clHighlight = SystemColor(13), clHighlightText = SystemColor(14),
                 clBtnFace = SystemColor(15), clBtnShadow = SystemColor(16), clGrayText = SystemColor(17),
                 clBtnText = SystemColor(18), clInactiveCaptionText = SystemColor(19), clBtnHighlight = SystemColor(20),
                 cl3DDkShadow = SystemColor(21), cl3DLight = SystemColor(22), clInfoText = SystemColor(23),
                 clInfoBk = SystemColor(24), clHotLight = SystemColor(26), clGradientActiveCaption = SystemColor(27),
                 clGradientInactiveCaption = SystemColor(28);

// Resolves a system colour through the fixed classic table; an RGB colour is returned unchanged.
TColor ColorToRGB(TColor color);
// A colour as stored in settings files: "$" and eight upper-case hexadecimal digits.
std::string ColorToString(TColor color);
// Reads that form, a decimal integer or a colour name ("clBlack", "clBtnText" ...); false for
// any other text.
bool StringToColor(const std::string& text, TColor& color);

// ---------------------------------------------------------------------------------------------
struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  bool operator==(const TRect&) const = default;
};

inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TRect Bounds(int l, int t, int w, int h) { return TRect{l, t, l + w, t + h}; }
inline TPoint Point(int x, int y) { return TPoint{x, y}; }
TRect IntersectRect(const TRect& a, const TRect& b);
void InflateRect(TRect& r, int dx, int dy);
void OffsetRect(TRect& r, int dx, int dy);

// ---------------------------------------------------------------------------------------------
enum class TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;
constexpr TFontStyles operator|(TFontStyle a, TFontStyle b) {
  return static_cast<TFontStyles>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b));
}
constexpr bool HasStyle(TFontStyles s, TFontStyle f) { return (s & static_cast<uint8_t>(f)) != 0; }
enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// Screen resolution in pixels per inch; font sizes in points convert with it.
constexpr int kScreenPixelsPerInch = 96;

// A font keeps the name the program gives it; every name is drawn with DejaVu Sans.
class TFont {
public:
  TFont();
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Size() const { return size_; }
  void SetSize(int points);
  // Height in pixels, negative for the character height without leading (as sizes convert).
  int Height() const;
  void SetHeight(int height);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  // Text angle in tenths of a degree, counter-clockwise.
  int Orientation() const { return orientation_; }
  void SetOrientation(int tenths);
  // The resolution the font's point size converts with. A font fitted to another device (a
  // printer) keeps its point size and is drawn and measured at that device's pixel size on
  // every canvas; a font at the screen's resolution takes the resolution of the canvas.
  int PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int ppi);
  // Pixel size the font is drawn with.
  int PixelSize() const;
  void Assign(const TFont& other);
  bool operator==(const TFont& other) const;
  std::function<void(TFont*)> OnChange;

private:
  void Changed();
  std::string name_ = "MS Sans Serif";
  int size_ = 8;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  TFontPitch pitch_ = TFontPitch::fpDefault;
  int orientation_ = 0;
  int pixels_per_inch_ = kScreenPixelsPerInch;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TPenMode { pmCopy, pmNot, pmXor, pmNotXor };
struct TPen {
  TColor Color = clBlack;
  TPenStyle Style = TPenStyle::psSolid;
  int Width = 1;
  TPenMode Mode = TPenMode::pmCopy;
};

class TBitmap;
enum class TBrushStyle { bsSolid, bsClear, bsPattern };
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
  // An 8 x 8 pattern bitmap; when set, fills use it instead of Color.
  std::shared_ptr<TBitmap> Bitmap;
};

// DrawText flags.
constexpr uint32_t DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
                   DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100,
                   DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800, DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
                   DT_RTLREADING = 0x20000;
// TextOut alignment flags.
constexpr uint32_t TA_LEFT = 0, TA_TOP = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24;

// One drawing call as the recording canvas keeps it.
struct TCanvasCall {
  std::string Op;  // "Line", "Polyline", "Polygon", "Rectangle", "FillRect", "Ellipse", "Arc", "Pixel",
                   // "TextOut", "TextRect", "DrawText", "Draw", "StretchDraw", "CopyRect"
  std::vector<TPoint> Points;
  TRect Rect;
  std::string Text;
  TPen Pen;
  TBrush Brush;
  TColor FontColor = clBlack;
  std::string FontName;
  int FontSize = 0;
  TColor Color = clNone;  // the pixel colour of "Pixel"
  uint32_t Flags = 0;
};

struct TCanvasImpl;

// Draws on a bitmap, a window's buffer or a printer page. Coordinates are logical: the device
// point is the logical point moved by the origin.
class TCanvas {
public:
  TCanvas();
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  TFont& Font() { return font_; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  TPoint PenPos() const { return pen_pos_; }
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  // Outline with the pen inside the rectangle, interior with the brush.
  void Rectangle(const TRect& r);
  void Rectangle(int l, int t, int r, int b) { Rectangle(TRect{l, t, r, b}); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Ellipse(const TRect& r);
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void DrawFocusRect(const TRect& r);

  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  int TextWidth(const std::string& text) const;
  int TextHeight(const std::string& text) const;
  TPoint TextExtent(const std::string& text) const;
  // Draws (or with DT_CALCRECT measures into r) the text; answers the text height.
  int DrawText(const std::string& text, TRect& r, uint32_t flags);
  uint32_t TextAlign() const { return text_align_; }
  void SetTextAlign(uint32_t align) { text_align_ = align; }
  // Text metrics of the font: the line height and the ascent.
  int FontAscent() const;
  int FontLineHeight() const;

  void Draw(int x, int y, const TBitmap& bitmap);
  void StretchDraw(const TRect& dest, const TBitmap& bitmap);
  // Copies a part of another canvas; a destination whose width or height has the opposite sign of
  // the source's mirrors the copy.
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& src);
  // Copies source through a mask: pixels that are white in the mask stay untouched.
  void MaskedCopy(const TRect& dest, const TBitmap& source, const TBitmap& mask);
  // Replaces the colour `transparent` of the source by the brush while copying.
  void BrushCopy(const TRect& dest, const TBitmap& source, const TRect& src, TColor transparent);

  // Clip and origin, saved and restored as one state.
  TRect ClipRect() const;
  void IntersectClipRect(const TRect& r);
  void ExcludeClipRect(const TRect& r);
  void ResetClip();
  TPoint Origin() const;
  void SetOrigin(TPoint origin);
  void MoveOrigin(int dx, int dy);
  void SaveState();
  void RestoreState();

  // Recording: every drawing call is also kept in the list while recording is on.
  void StartRecording();
  const std::vector<TCanvasCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  TCanvasImpl& Impl() const { return *impl_; }

protected:
  void Record(TCanvasCall call);
  std::unique_ptr<TCanvasImpl> impl_;

private:
  TPen pen_;
  TBrush brush_;
  TFont font_;
  TPoint pen_pos_;
  uint32_t text_align_ = 0;
  bool recording_ = false;
  std::vector<TCanvasCall> calls_;
};

// A bitmap: pixels in memory with a canvas.
class TBitmap {
public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const;
  int Height() const;
  void SetWidth(int w) { SetSize(w, Height()); }
  void SetHeight(int h) { SetSize(Width(), h); }
  void SetSize(int width, int height);
  bool Empty() const { return Width() == 0 || Height() == 0; }
  TCanvas& Canvas();
  const TCanvas& Canvas() const;
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);

  // Drawn without the pixels of TransparentColor (by default the bottom-left pixel's colour).
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool t);
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c);

  void LoadFromFile(const std::string& file_name);
  void SaveToFile(const std::string& file_name) const;
  void Assign(const TBitmap& other);
  // A two-colour mask of the bitmap's size: white where the pixel has `color`, black elsewhere.
  std::unique_ptr<TBitmap> CreateMask(TColor color) const;
  // Tells OnChange that the pixels changed (loading, resizing and assigning call it).
  void Changed();
  std::function<void(TBitmap*)> OnChange;

private:
  std::unique_ptr<TCanvas> canvas_;
  bool transparent_ = false;
  TColor transparent_color_ = clDefault;
};

// A canvas that draws on its own bitmap and records each call (tests check drawing by its calls and,
// where the pixels are the behaviour, by pixels).
class TRecordingCanvas : public TCanvas {
public:
  TRecordingCanvas(int width, int height);
  const TBitmap& Bitmap() const { return *bitmap_; }

private:
  std::unique_ptr<TBitmap> bitmap_;
};

// A fixed-size canvas for measuring text outside painting.
TCanvas& ScreenCanvas();

}  // namespace qv
