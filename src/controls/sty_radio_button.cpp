#include "controls/sty_radio_button.h"

#include <algorithm>

#include "controls/gradients.h"
#include "controls/sty_framed.h"
#include "controls/sty_glyph_maps.h"
#include "controls/sty_messages.h"
#include "platform/gui/actions.h"

namespace qv {

TStyCustomGlyphButton::TStyCustomGlyphButton(TComponent* owner) : TStyCustomButton(owner) {
  control_style_ |= csSetCaption | csReplicatable;
  custom_glyphs_.OnChange = [this](TBitmap*) {
    SetUseCustomGlyphs(!custom_glyphs_.Empty());
    background_outdated_ = true;
    Invalidate();
  };
}

TStyCustomGlyphButton::~TStyCustomGlyphButton() {
  BeginDestroy();
  if (frame_controller_) frame_controller_->UnregisterControl(this);
}

void TStyCustomGlyphButton::ControllerChanged() {
  if (!frame_controller_ || !frame_controller_->FrameVisible()) return;
  frame_color_ = frame_controller_->FrameColor();
  disabled_color_ = frame_controller_->DisabledColor();
  Invalidate();
}

TColor TStyCustomGlyphButton::MakeUniqueColor(TColor color) const {
  TColor rgb = ColorToRGB(color);
  if (rgb == ColorToRGB(transparent_color_) || rgb == ColorToRGB(win_mask_color_) || rgb == ColorToRGB(clGray))
    return NudgeRed(rgb);
  return color;
}

void TStyCustomGlyphButton::ExtractGlyph(int index, TBitmap& bitmap, int width, int height, const TBitmap& strip) {
  bitmap.SetSize(width, height);
  bitmap.Canvas().CopyRect(Rect(0, 0, width, height), strip.Canvas(),
                           Rect(index * width, 0, (index + 1) * width, height));
}

QV_STY_REPAINT_SETTER(TStyCustomGlyphButton, Alignment, TAlignment, alignment_)
QV_STY_REPAINT_SETTER(TStyCustomGlyphButton, FrameColor, TColor, frame_color_)
QV_STY_REPAINT_SETTER(TStyCustomGlyphButton, DisabledColor, TColor, disabled_color_)
QV_STY_REPAINT_SETTER(TStyCustomGlyphButton, TransparentColor, TColor, transparent_color_)
QV_STY_REPAINT_SETTER(TStyCustomGlyphButton, WinMaskColor, TColor, win_mask_color_)

void TStyCustomGlyphButton::SetCustomGlyphs(const TBitmap& strip) { custom_glyphs_.Assign(strip); }

void TStyCustomGlyphButton::SetUseCustomGlyphs(bool v) {
  if (v == use_custom_glyphs_) return;
  use_custom_glyphs_ = v;
  if (v && !custom_glyphs_.Empty()) {
    glyph_width_ = custom_glyphs_.Width() / state_count_;
    glyph_height_ = custom_glyphs_.Height();
  } else {
    glyph_width_ = glyph_height_ = kGlyphSize;
  }
  Invalidate();
}

void TStyCustomGlyphButton::SetFrameController(TStyFrameController* fc) {
  BindFrameController(*this, frame_controller_, fc);
}

void TStyCustomGlyphButton::Notification(TComponent* component, TOperation operation) {
  TStyCustomButton::Notification(component, operation);
  ForgetFreedFrameController(frame_controller_, component, operation);
}

void TStyCustomGlyphButton::ActionChange(TAction* sender, bool check_defaults) {
  TStyCustomButton::ActionChange(sender, check_defaults);
  if (!check_defaults || !Checked()) SetChecked(sender->Checked());
}

void TStyCustomGlyphButton::SetTransparent(bool v) {
  background_outdated_ = true;
  TStyCustomButton::SetTransparent(v);
}

TRect TStyCustomGlyphButton::GlyphRect() const {
  int x = alignment_ == TAlignment::taRightJustify ? 0 : Width() - glyph_width_;
  int y = 2;
  if (AlignmentVertical() == TAlignmentVertical::avCenter)
    y = (Height() - glyph_height_) / 2;
  else if (AlignmentVertical() == TAlignmentVertical::avBottom)
    y = Height() - glyph_height_ - 2;
  return Bounds(x, y, glyph_width_, glyph_height_);
}

void TStyCustomGlyphButton::DrawGlyph(TCanvas& canvas) {
  TRect at = GlyphRect();
  TBitmap g;
  g.SetSize(glyph_width_, glyph_height_);
  DrawStateGlyph(g);
  TBitmap b(glyph_width_, glyph_height_);
  if (Transparent()) {
    b.Canvas().CopyRect(Rect(0, 0, glyph_width_, glyph_height_), canvas, at);
    DrawTransparentStretched(b.Canvas(), g, Rect(0, 0, glyph_width_, glyph_height_),
                             Rect(0, 0, glyph_width_, glyph_height_), transparent_color_);
  } else {
    b.Assign(g);
    ReplaceBitmapColor(b, transparent_color_, Color());
  }
  ReplaceBitmapColor(b, win_mask_color_, clWindow);
  // The half-tone rim pixels blend with what lies under the control.
  ReplaceBitmapColor(b, clGreen, MixColors(frame_color_, canvas.Pixel(0, 0), 128));
  canvas.Draw(at.Left, at.Top, b);
}

void TStyCustomGlyphButton::Paint() {
  int w = std::max(1, Width()), h = std::max(1, Height());
  TBitmap off(w, h);
  TCanvas& oc = off.Canvas();
  oc.Font().Assign(Font());
  oc.Brush().Color = Color();
  if (background_outdated_ || background_.Width() != w || background_.Height() != h) {
    background_.SetSize(w, h);
    background_.Canvas().Brush().Color = Color();
    background_.Canvas().FillRect(Rect(0, 0, w, h));
    if (Transparent()) PaintParentBackground(this, background_.Canvas(), false);
    background_outdated_ = false;
  }
  oc.Draw(0, 0, background_);
  DrawGlyph(oc);
  TRect r = ClientRect();
  InflateRect(r, -1, -1);
  if (alignment_ == TAlignment::taRightJustify)
    r.Left += glyph_width_ + 4;
  else
    r.Right -= glyph_width_ + 4;
  oc.Brush().Style = TBrushStyle::bsClear;
  DrawStyledText(oc, r, DT_WORDBREAK | DT_EXPANDTABS | (alignment_ == TAlignment::taRightJustify ? DT_LEFT : DT_RIGHT));
  oc.Brush().Style = TBrushStyle::bsSolid;
  if (Focused() && !Caption().empty()) {
    InflateRect(r, 1, 1);
    oc.Font().Assign(Font());
    std::string trimmed = Caption();
    trimmed.erase(std::remove(trimmed.begin(), trimmed.end(), '&'), trimmed.end());
    int tw = std::min(r.Width(), oc.TextWidth(trimmed) + 3);
    if (UseRightToLeftAlignment())
      r.Left = r.Right - tw;
    else
      r.Right = r.Left + tw;
    PaintDottedFocusFrame(oc, r);
  }
  Canvas().Draw(0, 0, off);
}

void TStyCustomGlyphButton::KeyPress(char& key) {
  if (key == '\r' && tab_on_enter_) {
    key = 0;
    PostTabKey(this);
    return;
  }
  TStyCustomButton::KeyPress(key);
}

void TStyCustomGlyphButton::WndProc(TMessage& m) {
  if (HandlePostedTab(this, m)) return;
  switch (m.Msg) {
    case WM_ERASEBKGND:
    case CM_ENABLEDCHANGED:
    case CM_PARENTCOLORCHANGED: background_outdated_ = true; break;
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED: background_outdated_ = true; break;
    default: break;
  }
  TStyCustomButton::WndProc(m);
}

// ---------------------------------------------------------------------------------------------
TStyRadioButton::TStyRadioButton(TComponent* owner) : TStyCustomGlyphButton(owner) {
  SetAlignmentVertical(TAlignmentVertical::avTop);
  SetStateCount(6);
  SetTabStop(false);
  SetParentColor(true);
}

void TStyRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  SetTabStop(v);
  Repaint();
  if (!v) return;
  if (TWinControl* p = Parent())
    for (int i = 0; i < p->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TStyRadioButton*>(p->Controls(i)); r && r != this) r->SetChecked(false);
  Click();
}

void TStyRadioButton::ReleasedInside() {
  if (!checked_) SetChecked(true);
}

void TStyRadioButton::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_DOWN && (shift & (ssShift | ssCtrl | ssAlt)) == 0 && CanFocus()) {
    ReleasedInside();
    key = 0;
    return;
  }
  TStyCustomGlyphButton::KeyDown(key, shift);
}

void TStyRadioButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      using_mouse_ = true;
      TStyCustomGlyphButton::WndProc(m);
      return;
    case WM_LBUTTONUP:
      TStyCustomGlyphButton::WndProc(m);
      using_mouse_ = false;
      return;
    case CM_ENTER:
      TStyCustomGlyphButton::WndProc(m);
      // Tabbing or arrowing onto a radio button selects it.
      if (!using_mouse_) SetChecked(true);
      return;
    default: TStyCustomGlyphButton::WndProc(m);
  }
}

TColor TStyRadioButton::GlyphColor(int index) const {
  TColor frame = FrameColor(), high = HighlightColor();
  TColor p = DarkenColor(clWindow, 20);
  auto mix = [](TColor a, TColor b, int n) { return MixColors(a, b, static_cast<uint8_t>(n)); };
  if (!ScreenHasTrueColor()) {
    if (index == 1 || index == 2 || index == 12) return MakeUniqueColor(frame);
    if (index == 10 || index == 11) return MakeUniqueColor(high);
    return clWindow;
  }
  TColor base[13] = {clWindow,
                     MakeUniqueColor(frame),
                     LightenColor(frame, 10),
                     mix(frame, clWindow, 128),
                     mix(frame, clWindow, 128),
                     mix(frame, clWindow, 80),
                     mix(frame, clWindow, 80),
                     clWindow,
                     clWindow,
                     clWindow,
                     MakeUniqueColor(high),
                     mix(high, clWindow, 153),
                     clGreen};
  if (!Enabled()) {
    TColor d = DisabledColor();
    switch (index) {
      case 0:
      case 7:
      case 8:
      case 9: return d;
      case 3:
      case 4: return mix(frame, d, 128);
      case 5:
      case 6: return mix(frame, d, 80);
      case 10: return clBtnShadow;
      case 11: return mix(high, d, 128);
      default: return base[index];
    }
  }
  if (ShowDown()) {
    switch (index) {
      case 0:
      case 7:
      case 8:
      case 9: return p;
      case 3:
      case 4: return mix(frame, p, 128);
      case 5:
      case 6: return mix(frame, p, 80);
      case 11: return mix(high, p, 153);
      default: return base[index];
    }
  }
  if (MouseOver()) {
    TColor hl, hd;
    if (HotTrackColorType() == TStyHotTrackColorType::htctActual) {
      hl = LightenColor(HotTrackColor(), 30);
      hd = DarkenColor(HotTrackColor(), 30);
    } else {
      int hue = ColorHueOf(HotTrackColor());
      hue = hue < 120 ? hue + 120 : hue - 120;
      hl = HueZivLumToColor(hue, 220, 180);
      hd = DarkenColor(hl, 30);
    }
    switch (index) {
      case 3: return mix(frame, hd, 128);
      case 4: return mix(frame, hl, 128);
      case 5: return mix(frame, hd, 80);
      case 6: return mix(frame, hl, 80);
      case 7: return hd;
      case 8: return hl;
      case 9: return mix(hl, clWindow, 128);
      default: return base[index];
    }
  }
  return base[index];
}

void TStyRadioButton::DrawStateGlyph(TBitmap& bitmap) {
  if (UseCustomGlyphs()) {
    int index = checked_ ? 1 : 0;
    if (!Enabled())
      index += 4;
    else if (ShowDown())
      index += 2;
    ExtractGlyph(index, bitmap, GlyphWidth(), GlyphHeight(), CustomGlyphs());
    return;
  }
  TBuiltInGlyph glyph = checked_ ? TBuiltInGlyph::RadioChecked : TBuiltInGlyph::RadioUnchecked;
  static constexpr TColor kPlaceholders[13] = {clWhite, clBlack,   clGreen,  clGray, clPurple, clMaroon, clLime,
                                               clRed,   clFuchsia, clYellow, clNavy, clBlue,   clAqua};
  if (HotTrack()) {
    DrawBuiltInGlyph(bitmap, glyph, [this](int, int, TColor ph) {
      for (int i = 0; i < 13; ++i)
        if (kPlaceholders[i] == ph) return GlyphColor(i);
      return ph;  // the transparent colour stays
    });
    return;
  }
  // The classic look: a sunken ring (dark at the upper left) round a window-coloured inside.
  bool inactive = !Enabled(), pushed = ShowDown();
  TColor transparent = TransparentColor();
  DrawBuiltInGlyph(bitmap, glyph, [&](int x, int y, TColor ph) -> TColor {
    bool upper_left = x + y < 12;
    switch (ph) {
      case clAqua:
      case clGreen:
      case clBlack:
      case clGray:
      case clPurple: return upper_left ? clBtnShadow : clBtnHighlight;
      case clLime:
      case clFuchsia:
      case clRed:
      case clMaroon: return upper_left ? cl3DDkShadow : cl3DLight;
      case clWhite:
      case clYellow: return pushed || inactive ? clBtnFace : clWindow;
      case clNavy:
      case clBlue: return inactive ? clBtnShadow : clWindowText;
      default: return transparent;
    }
  });
}

}  // namespace qv
