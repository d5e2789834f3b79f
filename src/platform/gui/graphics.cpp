#include "platform/gui/graphics.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gui/qt_private.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {

// The classic system colour scheme, indexed by the low byte of a system colour.
constexpr TColor kSystemColors[] = {
    RGB(212, 208, 200),  // scroll bar
    RGB(58, 110, 165),   // desktop background
    RGB(10, 36, 106),    // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(212, 208, 200),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(212, 208, 200),  // active border
    RGB(212, 208, 200),  // inactive border
    RGB(128, 128, 128),  // application work space
    RGB(10, 36, 106),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(212, 208, 200),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(212, 208, 200),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3D dark shadow
    RGB(212, 208, 200),  // 3D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(181, 181, 181),  // (unused slot)
    RGB(0, 0, 128),      // hot light
    RGB(166, 202, 240),  // gradient active caption
    RGB(192, 192, 192),  // gradient inactive caption
    RGB(10, 36, 106),    // menu highlight
    RGB(212, 208, 200),  // menu bar
};

// Bresenham points from a to b without b itself.
std::vector<QPoint> LinePoints(int x1, int y1, int x2, int y2) {
  std::vector<QPoint> pts;
  int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
  int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  int x = x1, y = y1;
  while (!(x == x2 && y == y2)) {
    pts.emplace_back(x, y);
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  return pts;
}

// On/off runs of the one-pixel pen styles.
std::vector<int> DashPattern(TPenStyle s) {
  switch (s) {
    case TPenStyle::psDash: return {18, 6};
    case TPenStyle::psDot: return {3, 3};
    case TPenStyle::psDashDot: return {9, 6, 3, 6};
    case TPenStyle::psDashDotDot: return {9, 3, 3, 3, 3, 3};
    default: return {};
  }
}

QPainter::CompositionMode PenComposition(TPenMode m) {
  switch (m) {
    case TPenMode::pmXor: return QPainter::RasterOp_SourceXorDestination;
    case TPenMode::pmNot: return QPainter::RasterOp_NotDestination;
    case TPenMode::pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

void StrokeLine(QPainter& p, const TPen& pen, int x1, int y1, int x2, int y2) {
  if (pen.Style == TPenStyle::psClear) return;
  p.setCompositionMode(PenComposition(pen.Mode));
  QColor c = ToQColor(pen.Color);
  if (pen.Mode == TPenMode::pmNot) c = Qt::white;
  if (pen.Width <= 1) {
    std::vector<int> pattern = DashPattern(pen.Style);
    size_t run = 0;
    int left = pattern.empty() ? 0 : pattern[0];
    // Neighbouring pixels in one row or one column are filled as one rectangle.
    QRect block;
    auto fill = [&] {
      if (!block.isNull()) p.fillRect(block, c);
      block = QRect();
    };
    for (const QPoint& pt : LinePoints(x1, y1, x2, y2)) {
      if (pattern.empty() || run % 2 == 0) {
        const bool row =
            block.height() == 1 && pt.y() == block.top() && (pt.x() == block.right() + 1 || pt.x() == block.left() - 1);
        const bool column =
            block.width() == 1 && pt.x() == block.left() && (pt.y() == block.bottom() + 1 || pt.y() == block.top() - 1);
        if (!block.isNull() && (row || column)) {
          block = block.united(QRect(pt.x(), pt.y(), 1, 1));
        } else {
          fill();
          block = QRect(pt.x(), pt.y(), 1, 1);
        }
      } else {
        fill();
      }
      if (!pattern.empty() && --left == 0) {
        run = (run + 1) % pattern.size();
        left = pattern[run];
      }
    }
    fill();
  } else {
    QPen qp(c, pen.Width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    p.setPen(qp);
    p.drawLine(x1, y1, x2, y2);
  }
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

QBrush ToQBrush(const TBrush& b) {
  if (b.Bitmap && !b.Bitmap->Empty()) return QBrush(BitmapImage(*b.Bitmap));
  return QBrush(ToQColor(b.Color));
}

int QtTextFlags(uint32_t flags) {
  int f = 0;
  if (flags & DT_CENTER)
    f |= Qt::AlignHCenter;
  else if (flags & DT_RIGHT)
    f |= Qt::AlignRight;
  else
    f |= Qt::AlignLeft;
  if (flags & DT_SINGLELINE) {
    f |= Qt::TextSingleLine;
    if (flags & DT_VCENTER)
      f |= Qt::AlignVCenter;
    else if (flags & DT_BOTTOM)
      f |= Qt::AlignBottom;
    else
      f |= Qt::AlignTop;
  } else {
    f |= Qt::AlignTop;
    if (flags & DT_WORDBREAK) f |= Qt::TextWordWrap;
  }
  if (flags & DT_EXPANDTABS) f |= Qt::TextExpandTabs;
  if (!(flags & DT_NOPREFIX)) f |= Qt::TextShowMnemonic;
  return f;
}

}  // namespace

std::string ColorToString(TColor color) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(static_cast<uint32_t>(color)));
  return buf;
}

bool StringToColor(const std::string& text, TColor& color) {
  static const std::pair<const char*, TColor> kNames[] = {{"clBlack", clBlack},
                                                          {"clMaroon", clMaroon},
                                                          {"clGreen", clGreen},
                                                          {"clOlive", clOlive},
                                                          {"clNavy", clNavy},
                                                          {"clPurple", clPurple},
                                                          {"clTeal", clTeal},
                                                          {"clGray", clGray},
                                                          {"clSilver", clSilver},
                                                          {"clRed", clRed},
                                                          {"clLime", clLime},
                                                          {"clYellow", clYellow},
                                                          {"clBlue", clBlue},
                                                          {"clFuchsia", clFuchsia},
                                                          {"clAqua", clAqua},
                                                          {"clWhite", clWhite},
                                                          {"clBtnFace", clBtnFace},
                                                          {"clBtnText", clBtnText},
                                                          {"clBtnShadow", clBtnShadow},
                                                          {"clWindow", clWindow},
                                                          {"clWindowText", clWindowText},
                                                          {"clInfoBk", clInfoBk},
                                                          {"clInfoText", clInfoText},
                                                          {"clHighlight", clHighlight},
                                                          {"clNone", clNone},
                                                          {"clDefault", clDefault}};
  for (const auto& [name, value] : kNames)
    if (text.size() == std::strlen(name) && std::equal(text.begin(), text.end(), name, [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        })) {
      color = value;
      return true;
    }
  const bool hex = !text.empty() && text[0] == '$';
  const std::string digits = hex ? text.substr(1) : text;
  if (digits.empty() || digits.size() > (hex ? 8u : 11u)) return false;
  size_t start = !hex && digits[0] == '-' ? 1 : 0;
  if (start == digits.size()) return false;
  for (size_t i = start; i < digits.size(); ++i)
    if (!(hex ? std::isxdigit(static_cast<unsigned char>(digits[i]))
              : std::isdigit(static_cast<unsigned char>(digits[i]))))
      return false;
  const long long v = std::strtoll(digits.c_str(), nullptr, hex ? 16 : 10);
  if (v < INT32_MIN || v > UINT32_MAX) return false;
  color = static_cast<TColor>(static_cast<uint32_t>(v));
  return true;
}

TColor ColorToRGB(TColor color) {
  uint32_t u = static_cast<uint32_t>(color);
  if ((u & 0xFF000000u) == 0xFF000000u) {
    size_t index = u & 0xFF;
    return index < std::size(kSystemColors) ? kSystemColors[index] : clBlack;
  }
  if (color == clNone) return clBlack;
  return color & 0xFFFFFF;
}

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return TRect{};
  return r;
}
void InflateRect(TRect& r, int dx, int dy) {
  r.Left -= dx;
  r.Right += dx;
  r.Top -= dy;
  r.Bottom += dy;
}
void OffsetRect(TRect& r, int dx, int dy) {
  r.Left += dx;
  r.Right += dx;
  r.Top += dy;
  r.Bottom += dy;
}

QColor ToQColor(TColor c) {
  TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}
TColor FromQRgb(QRgb rgb) { return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb)); }
QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

// ---------------------------------------------------------------------------------------------
TFont::TFont() = default;
void TFont::Changed() {
  if (OnChange) OnChange(this);
}
void TFont::SetName(const std::string& name) {
  if (!StoreChanged(name_, name)) return;
  Changed();
}
void TFont::SetSize(int points) {
  if (!StoreChanged(size_, points)) return;
  Changed();
}
int TFont::Height() const { return -static_cast<int>(std::lround(size_ * pixels_per_inch_ / 72.0)); }
void TFont::SetHeight(int height) { SetSize(static_cast<int>(std::lround(-height * 72.0 / pixels_per_inch_))); }
void TFont::SetPixelsPerInch(int ppi) {
  if (ppi < 1 || !StoreChanged(pixels_per_inch_, ppi)) return;
  Changed();
}
void TFont::SetStyle(TFontStyles style) {
  if (!StoreChanged(style_, style)) return;
  Changed();
}
void TFont::SetColor(TColor color) {
  if (!StoreChanged(color_, color)) return;
  Changed();
}
void TFont::SetPitch(TFontPitch pitch) {
  if (!StoreChanged(pitch_, pitch)) return;
  Changed();
}
void TFont::SetOrientation(int tenths) {
  if (!StoreChanged(orientation_, tenths)) return;
  Changed();
}
int TFont::PixelSize() const { return std::max(1, std::abs(Height())); }
void TFont::Assign(const TFont& o) {
  if (*this == o) return;
  name_ = o.name_;
  size_ = o.size_;
  style_ = o.style_;
  color_ = o.color_;
  pitch_ = o.pitch_;
  orientation_ = o.orientation_;
  pixels_per_inch_ = o.pixels_per_inch_;
  Changed();
}
bool TFont::operator==(const TFont& o) const {
  return name_ == o.name_ && size_ == o.size_ && style_ == o.style_ && color_ == o.color_ && pitch_ == o.pitch_ &&
         orientation_ == o.orientation_ && pixels_per_inch_ == o.pixels_per_inch_;
}

QFont ToQFont(const TFont& font, int pixels_per_inch) {
  EnsureGui();
  QFont f(font.Pitch() == TFontPitch::fpFixed ? "DejaVu Sans Mono" : "DejaVu Sans");
  if (font.PixelsPerInch() != kScreenPixelsPerInch) pixels_per_inch = font.PixelsPerInch();
  int pixels = pixels_per_inch == kScreenPixelsPerInch
                   ? font.PixelSize()
                   : std::max(1, static_cast<int>(std::lround(font.Size() * pixels_per_inch / 72.0)));
  f.setPixelSize(pixels);
  f.setBold(HasStyle(font.Style(), TFontStyle::fsBold));
  f.setItalic(HasStyle(font.Style(), TFontStyle::fsItalic));
  f.setUnderline(HasStyle(font.Style(), TFontStyle::fsUnderline));
  f.setStrikeOut(HasStyle(font.Style(), TFontStyle::fsStrikeOut));
  f.setStyleStrategy(QFont::NoAntialias);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

// ---------------------------------------------------------------------------------------------
QRect TCanvasImpl::DeviceRect() const {
  QPaintDevice* d = Device();
  if (!d) return QRect();
  return QRect(0, 0, d->width(), d->height());
}

CanvasPainter::CanvasPainter(const TCanvasImpl& impl) {
  QPaintDevice* d = impl.Device();
  if (!d || d->width() <= 0 || d->height() <= 0) return;
  if (impl.running) {
    p_ = impl.running;
    borrowed_ = true;
    p_->save();
    p_->resetTransform();
  } else {
    if (!own_.begin(d)) return;
    p_ = &own_;
  }
  if (impl.state.clipped) p_->setClipRegion(impl.state.clip);
  p_->translate(impl.state.origin);
}

CanvasPainter::~CanvasPainter() {
  if (borrowed_) p_->restore();
}

TCanvas::TCanvas() : impl_(std::make_unique<TCanvasImpl>()) {}
TCanvas::~TCanvas() = default;

void TCanvas::Record(TCanvasCall call) {
  if (!recording_) return;
  call.Pen = pen_;
  call.Brush = brush_;
  call.FontColor = font_.Color();
  call.FontName = font_.Name();
  call.FontSize = font_.Size();
  calls_.push_back(std::move(call));
}
void TCanvas::StartRecording() { recording_ = true; }

void TCanvas::MoveTo(int x, int y) { pen_pos_ = {x, y}; }
void TCanvas::LineTo(int x, int y) {
  Record({.Op = "Line", .Points = {pen_pos_, {x, y}}});
  CanvasPainter p(*impl_);
  if (p.Active()) StrokeLine(*p, pen_, pen_pos_.X, pen_pos_.Y, x, y);
  pen_pos_ = {x, y};
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  Record({.Op = "Polyline", .Points = points});
  CanvasPainter p(*impl_);
  if (!p.Active()) return;
  for (size_t i = 1; i < points.size(); ++i)
    StrokeLine(*p, pen_, points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  Record({.Op = "Polygon", .Points = points});
  if (points.empty()) return;
  CanvasPainter p(*impl_);
  if (!p.Active()) return;
  if (brush_.Style != TBrushStyle::bsClear) {
    QPolygon poly;
    for (const TPoint& pt : points) poly << QPoint(pt.X, pt.Y);
    // Pixels whose centres lie inside the polygon, as the platform fills it.
    QPainterPath path;
    path.addPolygon(QPolygonF(poly));
    path.closeSubpath();
    path.setFillRule(Qt::OddEvenFill);
    p->fillPath(path, ToQBrush(brush_));
  }
  for (size_t i = 0; i < points.size(); ++i) {
    const TPoint& a = points[i];
    const TPoint& b = points[(i + 1) % points.size()];
    StrokeLine(*p, pen_, a.X, a.Y, b.X, b.Y);
  }
  if (pen_.Style != TPenStyle::psClear && pen_.Width <= 1)
    p->fillRect(points.back().X, points.back().Y, 1, 1, ToQColor(pen_.Color));
}

void TCanvas::Rectangle(const TRect& r) {
  Record({.Op = "Rectangle", .Rect = r});
  CanvasPainter p(*impl_);
  if (!p.Active() || r.IsEmpty()) return;
  bool pen = pen_.Style != TPenStyle::psClear;
  if (brush_.Style != TBrushStyle::bsClear) {
    QRect inner = pen ? QRect(r.Left + 1, r.Top + 1, r.Width() - 2, r.Height() - 2)
                      : QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1);
    if (inner.width() > 0 && inner.height() > 0) p->fillRect(inner, ToQBrush(brush_));
  }
  if (pen) {
    StrokeLine(*p, pen_, r.Left, r.Top, r.Right - 1, r.Top);
    StrokeLine(*p, pen_, r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1);
    StrokeLine(*p, pen_, r.Right - 1, r.Bottom - 1, r.Left, r.Bottom - 1);
    StrokeLine(*p, pen_, r.Left, r.Bottom - 1, r.Left, r.Top);
  }
}

void TCanvas::FillRect(const TRect& r) {
  Record({.Op = "FillRect", .Rect = r});
  if (r.IsEmpty() || brush_.Style == TBrushStyle::bsClear) return;
  CanvasPainter p(*impl_);
  if (p.Active()) p->fillRect(ToQRect(r), ToQBrush(brush_));
}

void TCanvas::FrameRect(const TRect& r) {
  Record({.Op = "FrameRect", .Rect = r});
  if (r.IsEmpty()) return;
  CanvasPainter p(*impl_);
  if (!p.Active()) return;
  QColor c = ToQColor(brush_.Color);
  p->fillRect(r.Left, r.Top, r.Width(), 1, c);
  p->fillRect(r.Left, r.Bottom - 1, r.Width(), 1, c);
  p->fillRect(r.Left, r.Top, 1, r.Height(), c);
  p->fillRect(r.Right - 1, r.Top, 1, r.Height(), c);
}

void TCanvas::Ellipse(const TRect& r) {
  Record({.Op = "Ellipse", .Rect = r});
  CanvasPainter p(*impl_);
  if (!p.Active() || r.IsEmpty()) return;
  p->setPen(pen_.Style == TPenStyle::psClear ? QPen(Qt::NoPen) : QPen(ToQColor(pen_.Color), pen_.Width));
  p->setBrush(brush_.Style == TBrushStyle::bsClear ? QBrush(Qt::NoBrush) : ToQBrush(brush_));
  p->drawEllipse(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Record({.Op = "Arc", .Points = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}}});
  CanvasPainter p(*impl_);
  if (!p.Active() || pen_.Style == TPenStyle::psClear) return;
  double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
  // Counter-clockwise from the start radial to the end radial; Qt counts degrees the same way
  // with y upwards.
  double a1 = std::atan2(-(y3 - cy), x3 - cx) * 180.0 / M_PI;
  double a2 = std::atan2(-(y4 - cy), x4 - cx) * 180.0 / M_PI;
  double span = a2 - a1;
  if (span <= 0) span += 360.0;
  p->setPen(QPen(ToQColor(pen_.Color), pen_.Width));
  p->drawArc(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), static_cast<int>(a1 * 16), static_cast<int>(span * 16));
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Record({.Op = "DrawFocusRect", .Rect = r});
  if (r.IsEmpty()) return;
  CanvasPainter p(*impl_);
  if (!p.Active()) return;
  p->setCompositionMode(QPainter::RasterOp_NotDestination);
  for (int x = r.Left; x < r.Right; x += 2) {
    p->fillRect(x, r.Top, 1, 1, Qt::white);
    p->fillRect(x, r.Bottom - 1, 1, 1, Qt::white);
  }
  for (int y = r.Top + 2; y < r.Bottom - 1; y += 2) {
    p->fillRect(r.Left, y, 1, 1, Qt::white);
    p->fillRect(r.Right - 1, y, 1, 1, Qt::white);
  }
}

TColor TCanvas::Pixel(int x, int y) const {
  if (!impl_->image) return clNone;
  QPoint d = QPoint(x, y) + impl_->state.origin;
  if (!impl_->image->rect().contains(d)) return clNone;
  return FromQRgb(impl_->image->pixel(d));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  Record({.Op = "Pixel", .Points = {{x, y}}, .Color = color});
  CanvasPainter p(*impl_);
  if (p.Active()) p->fillRect(x, y, 1, 1, ToQColor(color));
}

int TCanvas::FontAscent() const { return QFontMetrics(ToQFont(font_, impl_->pixels_per_inch)).ascent(); }
int TCanvas::FontLineHeight() const { return QFontMetrics(ToQFont(font_, impl_->pixels_per_inch)).height(); }

TPoint TCanvas::TextExtent(const std::string& text) const {
  QFontMetrics fm(ToQFont(font_, impl_->pixels_per_inch));
  return {fm.horizontalAdvance(QString::fromStdString(text)), fm.height()};
}
int TCanvas::TextWidth(const std::string& text) const { return TextExtent(text).X; }
int TCanvas::TextHeight(const std::string& text) const { return TextExtent(text).Y; }

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Record({.Op = "TextOut", .Points = {{x, y}}, .Text = text, .Flags = text_align_});
  CanvasPainter p(*impl_);
  if (!p.Active()) return;
  QFont f = ToQFont(font_, impl_->pixels_per_inch);
  QFontMetrics fm(f);
  QString s = QString::fromStdString(text);
  int w = fm.horizontalAdvance(s);
  p->translate(x, y);
  if (font_.Orientation() != 0) p->rotate(-font_.Orientation() / 10.0);
  int dx = 0, base = fm.ascent();
  if ((text_align_ & TA_CENTER) == TA_CENTER)
    dx = -w / 2;
  else if (text_align_ & TA_RIGHT)
    dx = -w;
  if ((text_align_ & TA_BASELINE) == TA_BASELINE)
    base = 0;
  else if (text_align_ & TA_BOTTOM)
    base = -fm.descent();
  if (brush_.Style != TBrushStyle::bsClear) p->fillRect(dx, base - fm.ascent(), w, fm.height(), ToQColor(brush_.Color));
  p->setFont(f);
  p->setPen(ToQColor(font_.Color()));
  p->drawText(dx, base, s);
  pen_pos_ = {x + w, y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  Record({.Op = "TextRect", .Points = {{x, y}}, .Rect = r, .Text = text});
  CanvasPainter p(*impl_);
  if (!p.Active() || r.IsEmpty()) return;
  QFont f = ToQFont(font_, impl_->pixels_per_inch);
  QFontMetrics fm(f);
  p->setClipRect(ToQRect(r), Qt::IntersectClip);
  if (brush_.Style != TBrushStyle::bsClear) p->fillRect(ToQRect(r), ToQColor(brush_.Color));
  p->setFont(f);
  p->setPen(ToQColor(font_.Color()));
  p->drawText(x, y + fm.ascent(), QString::fromStdString(text));
}

int TCanvas::DrawText(const std::string& text, TRect& r, uint32_t flags) {
  QFont f = ToQFont(font_, impl_->pixels_per_inch);
  QFontMetrics fm(f);
  QString s = QString::fromStdString(text);
  int qf = QtTextFlags(flags);
  if ((flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS)) && !(flags & DT_CALCRECT)) {
    Qt::TextElideMode mode = (flags & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight;
    s = fm.elidedText(s, mode, std::max(0, r.Width()), qf & Qt::TextShowMnemonic);
  }
  if (flags & DT_CALCRECT) {
    int width = (flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE) ? std::max(1, r.Width()) : 100000;
    QRect b = fm.boundingRect(QRect(0, 0, width, 100000),
                              qf & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom), s);
    if (s.isEmpty()) b = QRect(0, 0, 0, fm.height());
    r.Right = r.Left + b.width();
    r.Bottom = r.Top + b.height();
    return b.height();
  }
  Record({.Op = "DrawText", .Rect = r, .Text = text, .Flags = flags});
  CanvasPainter p(*impl_);
  QRect bounds = fm.boundingRect(ToQRect(r), qf, s);
  if (!p.Active()) return bounds.height();
  if (!(flags & DT_NOCLIP)) p->setClipRect(ToQRect(r), Qt::IntersectClip);
  p->setFont(f);
  p->setPen(ToQColor(font_.Color()));
  if (brush_.Style != TBrushStyle::bsClear) p->fillRect(bounds, ToQColor(brush_.Color));
  p->drawText(ToQRect(r), qf, s);
  return bounds.height();
}

namespace {
QImage TransparentImage(const TBitmap& bmp) {
  QImage img = BitmapImage(bmp).convertToFormat(QImage::Format_ARGB32);
  if (bmp.Transparent()) {
    QRgb key = ToQColor(bmp.TransparentColor()).rgb() & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x)
        if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
    }
  }
  return img;
}
}  // namespace

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  Record({.Op = "Draw", .Points = {{x, y}}, .Rect = Bounds(x, y, bitmap.Width(), bitmap.Height())});
  if (bitmap.Empty()) return;
  CanvasPainter p(*impl_);
  if (p.Active()) p->drawImage(x, y, TransparentImage(bitmap));
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
  Record({.Op = "StretchDraw", .Rect = dest});
  if (bitmap.Empty() || dest.IsEmpty()) return;
  CanvasPainter p(*impl_);
  if (p.Active())
    p->drawImage(ToQRect(dest), TransparentImage(bitmap).scaled(dest.Width(), dest.Height(), Qt::IgnoreAspectRatio,
                                                                Qt::FastTransformation));
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& src) {
  Record({.Op = "CopyRect", .Rect = dest});
  const QImage* si = source.impl_->image;
  if (!si || src.Width() == 0 || src.Height() == 0 || dest.Width() == 0 || dest.Height() == 0) return;
  QRect s(QPoint(std::min(src.Left, src.Right), std::min(src.Top, src.Bottom)),
          QSize(std::abs(src.Width()), std::abs(src.Height())));
  s.translate(source.impl_->state.origin);
  QImage part = si->copy(s);
  bool mirror_x = (dest.Width() < 0) != (src.Width() < 0);
  bool mirror_y = (dest.Height() < 0) != (src.Height() < 0);
  if (mirror_x || mirror_y) part = part.mirrored(mirror_x, mirror_y);
  // A negative extent runs from its start point backwards, the start point included.
  int l = dest.Width() < 0 ? dest.Right + 1 : dest.Left;
  int t = dest.Height() < 0 ? dest.Bottom + 1 : dest.Top;
  QRect d(l, t, std::abs(dest.Width()), std::abs(dest.Height()));
  if (part.size() != d.size()) part = part.scaled(d.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  CanvasPainter p(*impl_);
  if (p.Active()) {
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->drawImage(d.topLeft(), part);
  }
}

void TCanvas::MaskedCopy(const TRect& dest, const TBitmap& source, const TBitmap& mask) {
  Record({.Op = "MaskedCopy", .Rect = dest});
  if (source.Empty() || dest.IsEmpty()) return;
  QImage img = BitmapImage(source).convertToFormat(QImage::Format_ARGB32);
  const QImage& m = BitmapImage(mask);
  for (int y = 0; y < img.height() && y < m.height(); ++y)
    for (int x = 0; x < img.width() && x < m.width(); ++x)
      if ((m.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) img.setPixel(x, y, 0);
  CanvasPainter p(*impl_);
  if (p.Active())
    p->drawImage(ToQRect(dest), img.scaled(dest.Width(), dest.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void TCanvas::BrushCopy(const TRect& dest, const TBitmap& source, const TRect& src, TColor transparent) {
  Record({.Op = "BrushCopy", .Rect = dest});
  if (source.Empty() || dest.IsEmpty() || src.IsEmpty()) return;
  QImage img = BitmapImage(source).copy(ToQRect(src)).convertToFormat(QImage::Format_RGB32);
  QRgb key = ToQColor(transparent).rgb() & 0xFFFFFF;
  QRgb fill = ToQColor(brush_.Color).rgb();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xFFFFFF) == key) img.setPixel(x, y, fill);
  CanvasPainter p(*impl_);
  if (p.Active())
    p->drawImage(ToQRect(dest), img.scaled(dest.Width(), dest.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

TRect TCanvas::ClipRect() const {
  QRect r = impl_->state.clipped ? impl_->state.clip.boundingRect() : impl_->DeviceRect();
  r.translate(-impl_->state.origin);
  return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
void TCanvas::IntersectClipRect(const TRect& r) {
  QRegion reg(ToQRect(r).translated(impl_->state.origin));
  if (r.IsEmpty()) reg = QRegion();
  impl_->state.clip = impl_->state.clipped ? impl_->state.clip.intersected(reg) : reg;
  impl_->state.clipped = true;
}
void TCanvas::ExcludeClipRect(const TRect& r) {
  QRegion base = impl_->state.clipped ? impl_->state.clip : QRegion(impl_->DeviceRect());
  if (!r.IsEmpty()) base = base.subtracted(QRegion(ToQRect(r).translated(impl_->state.origin)));
  impl_->state.clip = base;
  impl_->state.clipped = true;
}
void TCanvas::ResetClip() {
  impl_->state.clipped = false;
  impl_->state.clip = QRegion();
}
TPoint TCanvas::Origin() const { return {impl_->state.origin.x(), impl_->state.origin.y()}; }
void TCanvas::SetOrigin(TPoint origin) { impl_->state.origin = QPoint(origin.X, origin.Y); }
void TCanvas::MoveOrigin(int dx, int dy) { impl_->state.origin += QPoint(dx, dy); }
void TCanvas::SaveState() { impl_->saved.push_back(impl_->state); }
void TCanvas::RestoreState() {
  if (impl_->saved.empty()) return;
  impl_->state = impl_->saved.back();
  impl_->saved.pop_back();
}

// ---------------------------------------------------------------------------------------------
TBitmap::TBitmap() : canvas_(std::make_unique<TCanvas>()) { canvas_->Impl().image = &canvas_->Impl().own; }
TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }
TBitmap::~TBitmap() = default;

QImage& BitmapImage(TBitmap& bitmap) { return *bitmap.Canvas().Impl().image; }
const QImage& BitmapImage(const TBitmap& bitmap) { return *bitmap.Canvas().Impl().image; }

int TBitmap::Width() const { return canvas_->Impl().own.width(); }
int TBitmap::Height() const { return canvas_->Impl().own.height(); }
TCanvas& TBitmap::Canvas() { return *canvas_; }
const TCanvas& TBitmap::Canvas() const { return *canvas_; }

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == Width() && height == Height()) return;
  QImage& own = canvas_->Impl().own;
  QImage next;
  if (width > 0 && height > 0) {
    next = QImage(width, height, QImage::Format_RGB32);
    next.fill(Qt::white);
    if (!own.isNull()) {
      QPainter p(&next);
      p.drawImage(0, 0, own);
    }
  }
  own = next;
  Changed();
}

TColor TBitmap::Pixel(int x, int y) const { return canvas_->Pixel(x, y); }
void TBitmap::SetPixel(int x, int y, TColor c) { canvas_->SetPixel(x, y, c); }

void TBitmap::SetTransparent(bool t) {
  if (!StoreChanged(transparent_, t)) return;
  Changed();
}
TColor TBitmap::TransparentColor() const {
  if (transparent_color_ != clDefault) return transparent_color_;
  if (Empty()) return clDefault;
  return FromQRgb(canvas_->Impl().own.pixel(0, Height() - 1));
}
void TBitmap::SetTransparentColor(TColor c) {
  transparent_color_ = c;
  Changed();
}

void TBitmap::LoadFromFile(const std::string& file_name) {
  QImage img;
  if (!img.load(QString::fromStdString(file_name), "BMP"))
    throw EInvalidGraphic("Bitmap image is not valid: " + file_name);
  canvas_->Impl().own = img.convertToFormat(QImage::Format_RGB32);
  Changed();
}

void TBitmap::SaveToFile(const std::string& file_name) const {
  if (Empty() || !canvas_->Impl().own.save(QString::fromStdString(file_name), "BMP"))
    throw EInvalidGraphic("Cannot write bitmap file " + file_name);
}

void TBitmap::Assign(const TBitmap& other) {
  canvas_->Impl().own = other.canvas_->Impl().own.copy();
  transparent_ = other.transparent_;
  transparent_color_ = other.transparent_color_;
  Changed();
}

std::unique_ptr<TBitmap> TBitmap::CreateMask(TColor color) const {
  auto mask = std::make_unique<TBitmap>(Width(), Height());
  QRgb key = ToQColor(color).rgb() & 0xFFFFFF;
  const QImage& src = canvas_->Impl().own;
  QImage& dst = mask->canvas_->Impl().own;
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x) dst.setPixel(x, y, (src.pixel(x, y) & 0xFFFFFF) == key ? 0xFFFFFFFF : 0xFF000000);
  return mask;
}

void TBitmap::Changed() {
  if (OnChange) OnChange(this);
}

TRecordingCanvas::TRecordingCanvas(int width, int height) : bitmap_(std::make_unique<TBitmap>(width, height)) {
  impl_->image = &BitmapImage(*bitmap_);
  StartRecording();
}

TCanvas& ScreenCanvas() {
  static TBitmap screen(1, 1);
  return screen.Canvas();
}

}  // namespace qv
