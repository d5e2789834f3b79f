#include "controls/sty_label.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "controls/gradients.h"
#include "controls/sty_messages.h"
#include "controls/sty_round.h"

namespace qv {

namespace {
int FrameRoom(TFrameStyleEx style, int bevel_width) {
  switch (style) {
    case TFrameStyleEx::fsNone: return 0;
    case TFrameStyleEx::fsFlat: return 1;
    case TFrameStyleEx::fsStatus:
    case TFrameStyleEx::fsPopup: return bevel_width;
    default: return 2;
  }
}

// The characters of a UTF-8 text, one string each.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xF0)
      n = 4;
    else if (lead >= 0xE0)
      n = 3;
    else if (lead >= 0xC0)
      n = 2;
    n = std::min(n, text.size() - i);
    out.push_back(text.substr(i, n));
    i += n;
  }
  return out;
}

constexpr double kPi = std::numbers::pi;
}  // namespace

TStyLabel::TStyLabel(TComponent* owner)
    : TCustomLabel(owner), normal_color_(Font().Color()), current_color_(Font().Color()) {
  control_style_ |= csOpaque;
  RegisterBlinker(this);
  initialising_color_ = true;
  SetColor(clBtnFace);
  SetParentColor(true);
  initialising_color_ = false;
}

TStyLabel::~TStyLabel() {
  BeginDestroy();
  if (frame_controller_) frame_controller_->UnregisterControl(this);
  UnregisterBlinker(this);
}

TRect TStyLabel::ContentRect() const {
  TRect r = ClientRect();
  InflateRect(r, -border_width_, -border_width_);
  const int room = FrameRoom(border_outer_, bevel_width_) + FrameRoom(border_inner_, bevel_width_);
  if (HasSide(border_sides_, TSide::sdLeft)) r.Left += room;
  if (HasSide(border_sides_, TSide::sdTop)) r.Top += room;
  if (HasSide(border_sides_, TSide::sdRight)) r.Right -= room;
  if (HasSide(border_sides_, TSide::sdBottom)) r.Bottom -= room;
  return r;
}

uint32_t TStyLabel::LabelTextFlags() const {
  uint32_t f = DT_EXPANDTABS;
  if (Alignment() == TAlignment::taCenter)
    f |= DT_CENTER;
  else if (Alignment() == TAlignment::taRightJustify)
    f |= DT_RIGHT;
  if (UseRightToLeftAlignment()) f |= DT_RTLREADING | DT_RIGHT;
  if (WordWrap()) f |= DT_WORDBREAK;
  if (!ShowAccelChar()) f |= DT_NOPREFIX;
  if (condense_caption_ == TStyCondenseCaption::ccAtEnd)
    f |= DT_END_ELLIPSIS;
  else if (condense_caption_ == TStyCondenseCaption::ccWithinPath)
    f |= DT_PATH_ELLIPSIS;
  return f;
}

void TStyLabel::Paint() {
  TCanvas& c = Canvas();
  const TColor parent_color = Parent() ? Parent()->Color() : Color();
  TRect area = PaintControlBorders(c, ClientRect(), border_outer_, border_inner_, border_width_, border_sides_,
                                   bevel_width_, border_color_, border_highlight_, border_shadow_, flat_color_,
                                   flat_color_adjustment_, Color(), parent_color, Transparent());
  if (!Transparent()) {
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = Color();
    c.FillRect(area);
  }
  c.Brush().Style = TBrushStyle::bsClear;
  c.Font().Assign(Font());
  if (rotation_ == TRotation::roCurve)
    DrawArcText(c);
  else if (rotation_ == TRotation::roFlat)
    DrawRotatedText(c, area);
  else
    DrawFlatText(c, area);
  c.SetTextAlign(TA_LEFT | TA_TOP);
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TStyLabel::TextCopy(TCanvas& c, const TRect& rect, uint32_t flags, int dx, int dy, TColor color) {
  TRect r = rect;
  OffsetRect(r, dx, dy);
  c.Font().SetColor(color);
  c.DrawText(Caption(), r, flags);
}

void TStyLabel::DrawFlatText(TCanvas& c, const TRect& area) {
  const uint32_t flags = LabelTextFlags();
  TRect r = area;
  if (Layout() != TTextLayout::tlTop) {
    TRect calc = area;
    c.DrawText(Caption(), calc, flags | DT_CALCRECT);
    const int room = Height() - border_width_ - calc.Bottom;
    OffsetRect(r, 0, Layout() == TTextLayout::tlCenter ? room / 2 : room);
  }
  if (text_style_ == TTextStyle::tsShadow) {
    if (Alignment() == TAlignment::taRightJustify) OffsetRect(r, -shadow_depth_, 0);
    if (Layout() == TTextLayout::tlBottom) OffsetRect(r, 0, -shadow_depth_);
  }
  if (!Enabled()) {
    TextCopy(c, r, flags, 1, 1, clBtnHighlight);
    TextCopy(c, r, flags, 0, 0, clBtnShadow);
    return;
  }
  switch (text_style_) {
    case TTextStyle::tsRaised:
      if (!light_text_style_) TextCopy(c, r, flags, 1, 1, shadow_color_);
      TextCopy(c, r, flags, -1, -1, highlight_color_);
      break;
    case TTextStyle::tsRecessed:
      TextCopy(c, r, flags, 1, 1, highlight_color_);
      if (!light_text_style_) TextCopy(c, r, flags, -1, -1, shadow_color_);
      break;
    case TTextStyle::tsShadow: TextCopy(c, r, flags, shadow_depth_, shadow_depth_, shadow_color_); break;
    default: break;
  }
  TextCopy(c, r, flags, 0, 0, current_color_);
}

void TStyLabel::PointCopies(TCanvas& c, int x, int y, const std::string& text, int shadow_offset) {
  auto out = [&](int dx, int dy, TColor color) {
    c.Font().SetColor(color);
    c.TextOut(x + dx, y + dy, text);
  };
  if (!Enabled()) {
    out(1, 1, clBtnHighlight);
    out(0, 0, clBtnShadow);
    return;
  }
  int text_offset = 0;
  switch (text_style_) {
    case TTextStyle::tsRaised:
      if (!light_text_style_) out(1, 1, shadow_color_);
      out(-1, -1, highlight_color_);
      break;
    case TTextStyle::tsRecessed:
      out(1, 1, highlight_color_);
      if (!light_text_style_) out(-1, -1, shadow_color_);
      break;
    case TTextStyle::tsShadow:
      out(shadow_offset, shadow_offset, shadow_color_);
      // Rotated text with its shadow shares the depth: half each way.
      if (rotation_ == TRotation::roFlat) text_offset = -shadow_offset;
      break;
    default: break;
  }
  out(text_offset, text_offset, current_color_);
}

void TStyLabel::DrawRotatedText(TCanvas& c, const TRect& area) {
  const std::string& text = Caption();
  int x = Width() / 2, y = Height() / 2;
  const int h = c.TextHeight("Pp");
  const double cq = h * 0.25;
  const int w = c.TextWidth(text);
  const int d = text_style_ == TTextStyle::tsShadow ? shadow_depth_ / 2 : 0;
  const int e = w + d;
  const double b = (angle_ + 90) * kPi / 180;
  const TRect& R = area;
  const bool centred = Alignment() == TAlignment::taCenter;
  const bool right = Alignment() == TAlignment::taRightJustify;
  uint32_t align = TA_BASELINE;
  switch (angle_) {
    case 0:
      align = TA_TOP | (centred ? TA_CENTER : TA_LEFT);
      if (right)
        x = R.Right - w - 2 * d;
      else if (!centred)
        x = R.Left + d;
      y -= (h + d) / 2;
      break;
    case 90:
      x -= RoundHalfEven(std::cos(b) * cq);
      y = centred ? R.Bottom - (R.Bottom - e) / 2 : right ? R.Top + e + d : R.Bottom - d;
      break;
    case 180:
      x = centred ? R.Right - (R.Right - e) / 2 : right ? R.Left + e : R.Right - d;
      y -= (h + d) / 4;
      break;
    case 270:
      x -= RoundHalfEven(std::cos(b) * cq);
      y = centred ? (R.Bottom - e) / 2 : right ? R.Bottom - e - d : R.Top + d;
      break;
    default:
      x -= RoundHalfEven(std::cos(b) * cq);
      y += RoundHalfEven(std::sin(b) * cq);
      align = TA_BASELINE | TA_CENTER;
      break;
  }
  c.Font().Assign(CreateAngledFont(Font(), angle_));
  c.SetTextAlign(align);
  c.SaveState();
  c.IntersectClipRect(R);
  PointCopies(c, x, y, text, d);
  c.RestoreState();
}

void TStyLabel::DrawArcText(TCanvas& c) {
  const std::string& text = Caption();
  if (text.empty()) return;
  const int B = border_width_, W = Width(), H = Height(), a = 2 * B;
  int cx = W / 2, cy = H / 2, rx = W / 2 - a, ry = H / 2 - a;
  switch (center_point_) {
    case TCenterPoint::cpUpperLeft: cx = B, cy = B, rx = W - a, ry = H - a; break;
    case TCenterPoint::cpUpperCenter: cx = W / 2, cy = B, rx = W / 2 - a, ry = H - a; break;
    case TCenterPoint::cpUpperRight: cx = W - B, cy = B, rx = W - a, ry = H - a; break;
    case TCenterPoint::cpLeftCenter: cx = B, cy = H / 2, rx = W - a, ry = H / 2 - a; break;
    case TCenterPoint::cpRightCenter: cx = W - B, cy = H / 2, rx = W - a, ry = H / 2 - a; break;
    case TCenterPoint::cpLowerLeft: cx = B, cy = H - B, rx = W - a, ry = H - a; break;
    case TCenterPoint::cpLowerCenter: cx = W / 2, cy = H - B, rx = W / 2 - a, ry = H - a; break;
    case TCenterPoint::cpLowerRight: cx = W - B, cy = H - B, rx = W - a, ry = H - a; break;
    default: break;
  }
  // A label too small for its border has no arc to write on.
  if (rx <= 0 || ry <= 0) return;
  c.SetTextAlign(TA_BASELINE | TA_CENTER);
  double t = angle_ * kPi / 180;
  for (const std::string& ch : Characters(text)) {
    const int ht = c.TextHeight("Yy");
    const int x = cx - RoundHalfEven(std::sin(t) * (rx - ht));
    const int y = cy - RoundHalfEven(std::cos(t) * (ry - ht));
    TFont f;
    f.Assign(Font());
    f.SetOrientation(RoundHalfEven(t * 1800 / kPi));
    c.Font().Assign(f);
    PointCopies(c, x, y, ch, shadow_depth_);
    t -= (c.TextWidth("w") + 2) / static_cast<double>(rx);
  }
}

void TStyLabel::AdjustBounds() {
  if (!AutoSize()) return;
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  TRect content = ContentRect();
  TRect r{0, 0, content.Width(), content.Height()};
  uint32_t flags = DT_CALCRECT | DT_EXPANDTABS;
  if (WordWrap()) flags |= DT_WORDBREAK;
  if (condense_caption_ == TStyCondenseCaption::ccAtEnd)
    flags |= DT_END_ELLIPSIS;
  else if (condense_caption_ == TStyCondenseCaption::ccWithinPath)
    flags |= DT_PATH_ELLIPSIS;
  c.DrawText(Caption(), r, flags);
  int w = r.Width(), h = r.Height();
  const int room = FrameRoom(border_outer_, bevel_width_) + border_width_ + FrameRoom(border_inner_, bevel_width_);
  if (HasSide(border_sides_, TSide::sdLeft)) w += room;
  if (HasSide(border_sides_, TSide::sdRight)) w += room;
  if (HasSide(border_sides_, TSide::sdTop)) h += room;
  if (HasSide(border_sides_, TSide::sdBottom)) h += room;
  if (rotation_ == TRotation::roNone && text_style_ == TTextStyle::tsShadow) {
    w += shadow_depth_;
    h += shadow_depth_;
  }
  if (rotation_ == TRotation::roFlat && angle_ != 0 && angle_ != 180) {
    if (text_style_ == TTextStyle::tsShadow) {
      w += shadow_depth_ / 2;
      h += shadow_depth_ / 2;
    }
    const double g = (angle_ == 90 || angle_ == 270 ? 90 : angle_ % 90) * kPi / 180;
    const int nw = RoundHalfEven(std::cos(g) * w + std::sin(g) * h);
    const int nh = RoundHalfEven(std::sin(g) * w + std::cos(g) * h);
    w = nw;
    h = nh;
  }
  int x = Left();
  if (Alignment() == TAlignment::taRightJustify) x = Left() + Width() - w;
  SetBounds(x, Top(), w, h);
}

void TStyLabel::ControllerChanged() {
  if (!frame_controller_ || !frame_controller_->FrameVisible()) return;
  border_outer_ = frame_controller_->FrameStyle();
  border_sides_ = frame_controller_->FrameSides();
  flat_color_ = frame_controller_->FrameColor();
  flat_color_adjustment_ = 0;
  SetColor(frame_controller_->Color());
  SetParentColor(frame_controller_->ParentColor());
  border_highlight_ = LightenColor(Color(), 100);
  border_shadow_ = DarkenColor(Color(), 50);
  Invalidate();
}

void TStyLabel::SetFrameController(TStyFrameController* fc) { BindFrameController(*this, frame_controller_, fc); }

void TStyLabel::Notification(TComponent* component, TOperation operation) {
  TCustomLabel::Notification(component, operation);
  ForgetFreedFrameController(frame_controller_, component, operation);
}

// Angles below -360 are brought into 0 to 359 too.
void TStyLabel::SetAngle(int v) {
  v = ((v % 360) + 360) % 360;
  if (v == angle_) return;
  angle_ = v;
  if (v != 0 && rotation_ == TRotation::roNone) rotation_ = TRotation::roFlat;
  AdjustBounds();
  Repaint();
}

void TStyLabel::SetRotation(TRotation v) {
  if (v == rotation_) return;
  rotation_ = v;
  if (v == TRotation::roNone) angle_ = 0;
  if (v == TRotation::roFlat) {
    angle_ = 0;
    center_point_ = TCenterPoint::cpCenter;
  }
  Invalidate();
}

void TStyLabel::SetBlinking(bool v) {
  if (v == blinking_) return;
  blinking_ = v;
  if (!v) {
    current_color_ = normal_color_;
    Repaint();
  }
}

void TStyLabel::SetCondenseCaption(TStyCondenseCaption v) {
  if (v == condense_caption_) return;
  condense_caption_ = v;
  if (v != TStyCondenseCaption::ccNone) SetAutoSize(false);
  Invalidate();
}

void TStyLabel::SetFlyByEnabled(bool v) {
  if (v == fly_by_enabled_) return;
  fly_by_enabled_ = v;
  if (!v && fly_by_active_) {
    fly_by_active_ = false;
    Font().SetColor(fly_by_saved_);
  }
}

uint16_t TStyLabel::BlinkIntervalOff() const { return BlinkingControlsList()->IntervalOff(); }
void TStyLabel::SetBlinkIntervalOff(uint16_t ms) { BlinkingControlsList()->SetIntervalOff(ms); }
uint16_t TStyLabel::BlinkIntervalOn() const { return BlinkingControlsList()->IntervalOn(); }
void TStyLabel::SetBlinkIntervalOn(uint16_t ms) { BlinkingControlsList()->SetIntervalOn(ms); }

QV_STY_REPAINT_SETTER(TStyLabel, BlinkColor, TColor, blink_color_)
QV_STY_REPAINT_SETTER(TStyLabel, BevelWidth, int, bevel_width_)
QV_STY_REPAINT_SETTER(TStyLabel, BorderColor, TColor, border_color_)
QV_STY_REPAINT_SETTER(TStyLabel, BorderInner, TFrameStyleEx, border_inner_)
QV_STY_REPAINT_SETTER(TStyLabel, BorderOuter, TFrameStyleEx, border_outer_)
QV_STY_REPAINT_SETTER(TStyLabel, BorderSides, TSides, border_sides_)
QV_STY_REPAINT_SETTER(TStyLabel, BorderHighlight, TColor, border_highlight_)
QV_STY_REPAINT_SETTER(TStyLabel, BorderShadow, TColor, border_shadow_)
QV_STY_REPAINT_SETTER(TStyLabel, BorderWidth, int, border_width_)
QV_STY_REPAINT_SETTER(TStyLabel, FlatColor, TColor, flat_color_)
QV_STY_REPAINT_SETTER(TStyLabel, FlatColorAdjustment, int, flat_color_adjustment_)
QV_STY_REPAINT_SETTER(TStyLabel, CenterPoint, TCenterPoint, center_point_)
QV_STY_REPAINT_SETTER(TStyLabel, FlyByColor, TColor, fly_by_color_)
QV_STY_REPAINT_SETTER(TStyLabel, LightTextStyle, bool, light_text_style_)
QV_STY_REPAINT_SETTER(TStyLabel, TextStyle, TTextStyle, text_style_)
QV_STY_REPAINT_SETTER(TStyLabel, HighlightColor, TColor, highlight_color_)
QV_STY_REPAINT_SETTER(TStyLabel, ShadowColor, TColor, shadow_color_)
QV_STY_REPAINT_SETTER(TStyLabel, ShadowDepth, int, shadow_depth_)

void TStyLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_STY_BLINKQUERY: m.Result = blinking_ ? 1 : 0; return;
    case CM_STY_BLINKSTATE:
      if (!blinking_) return;
      current_color_ = m.WParam != 0 ? blink_color_ : normal_color_;
      Refresh();
      return;
    case CM_PARENTCOLORCHANGED:
      if (initialising_color_) return;
      break;
    case CM_FONTCHANGED:
      TCustomLabel::WndProc(m);
      if (!blinking_) normal_color_ = current_color_ = Font().Color();
      return;
    case CM_MOUSEENTER:
      TCustomLabel::WndProc(m);
      if (fly_by_enabled_) {
        fly_by_saved_ = Font().Color();
        fly_by_active_ = true;
        Font().SetColor(fly_by_color_);
      }
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      TCustomLabel::WndProc(m);
      if (fly_by_enabled_ && fly_by_active_) {
        fly_by_active_ = false;
        Font().SetColor(fly_by_saved_);
      }
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    default: break;
  }
  TCustomLabel::WndProc(m);
}

}  // namespace qv
