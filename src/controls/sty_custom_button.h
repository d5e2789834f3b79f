#pragma once
// The windowed base of the check and radio buttons (press tracking, hover, 3D text styles) and the
// small graphic button with a glyph, an arrow or a drop-down face and click repetition.
#include <memory>
#include <string>

#include "controls/frame_paint.h"
#include "platform/gui/forms.h"

namespace qv {

class TStyCustomButton : public TCustomControl {
public:
  explicit TStyCustomButton(TComponent* owner);
  std::string ClassName() const override { return "TStyCustomButton"; }

  TAlignmentVertical AlignmentVertical() const { return alignment_vertical_; }
  virtual void SetAlignmentVertical(TAlignmentVertical v);
  bool HotTrack() const { return hot_track_; }
  virtual void SetHotTrack(bool v);
  TColor HighlightColor() const { return highlight_color_; }
  virtual void SetHighlightColor(TColor v);
  TColor HotTrackColor() const { return hot_track_color_; }
  void SetHotTrackColor(TColor v);
  TStyHotTrackColorType HotTrackColorType() const { return hot_track_color_type_; }
  void SetHotTrackColorType(TStyHotTrackColorType v);
  bool LightTextStyle() const { return light_text_style_; }
  virtual void SetLightTextStyle(bool v);
  TTextStyle TextStyle() const { return text_style_; }
  virtual void SetTextStyle(TTextStyle v);
  TColor TextHighlightColor() const { return text_highlight_color_; }
  virtual void SetTextHighlightColor(TColor v);
  TColor TextShadowColor() const { return text_shadow_color_; }
  virtual void SetTextShadowColor(TColor v);
  int TextShadowDepth() const { return text_shadow_depth_; }
  virtual void SetTextShadowDepth(int v);
  bool ThemeAware() const { return theme_aware_; }
  virtual void SetThemeAware(bool v);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool v);

  bool Dragging() const { return dragging_; }
  bool ShowDown() const { return show_down_; }
  bool MouseOver() const { return mouse_over_; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  void WndProc(TMessage& m) override;

protected:
  virtual void RefreshLook() {}
  virtual void RepaintLook() { Repaint(); }
  virtual TRect HotTrackArea() const { return ClientRect(); }
  // Draws the caption in the text style inside rect, placed by AlignmentVertical.
  virtual void DrawStyledText(TCanvas& canvas, const TRect& rect, uint32_t flags);
  virtual void ReleasedInside() = 0;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x <= ClientWidth() - 1 && y <= ClientHeight() - 1; }

private:
  TAlignmentVertical alignment_vertical_ = TAlignmentVertical::avCenter;
  bool hot_track_ = false;
  TColor highlight_color_ = clHighlight;
  TColor hot_track_color_ = clHighlight;
  TStyHotTrackColorType hot_track_color_type_ = TStyHotTrackColorType::htctComplement;
  bool light_text_style_ = false;
  TTextStyle text_style_ = TTextStyle::tsNormal;
  TColor text_highlight_color_ = clBtnHighlight;
  TColor text_shadow_color_ = clBtnShadow;
  int text_shadow_depth_ = 2;
  bool theme_aware_ = true;
  bool transparent_ = false;
  bool dragging_ = false;
  bool show_down_ = false;
  bool mouse_over_ = false;
};

enum class TStyControlButtonStyle : uint8_t { cbsNone, cbsLeft, cbsUp, cbsRight, cbsDown, cbsDropDown };

class TStyControlButton : public TGraphicControl {
public:
  explicit TStyControlButton(TComponent* owner);
  ~TStyControlButton() override;
  std::string ClassName() const override { return "TStyControlButton"; }

  bool Flat() const { return flat_; }
  virtual void SetFlat(bool v);
  TBitmap& Glyph() { return glyph_; }
  // Takes a copy of the bitmap and derives NumGlyphs from its shape.
  virtual void SetGlyph(const TBitmap& glyph);
  int NumGlyphs() const { return num_glyphs_; }
  virtual void SetNumGlyphs(int n);
  uint16_t Delay() const { return delay_; }
  void SetDelay(uint16_t ms) { delay_ = ms; }
  uint16_t InitialDelay() const { return initial_delay_; }
  void SetInitialDelay(uint16_t ms) { initial_delay_ = ms; }
  bool RepeatClicks() const { return repeat_clicks_; }
  void SetRepeatClicks(bool v) { repeat_clicks_ = v; }
  TStyControlButtonStyle Style() const { return style_; }
  virtual void SetStyle(TStyControlButtonStyle s);
  virtual TPoint GlyphSize() const;

  bool Down() const { return down_; }
  bool MouseOver() const { return mouse_over_; }
  // The repeat timer (null until the first repeating press).
  TTimer* RepeatTimer() const { return timer_.get(); }
  void RepeatTimerTick();

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  void WndProc(TMessage& m) override;

protected:
  void Paint() override;
  virtual TRect DrawPlainFace(const TRect& rect);
  virtual TRect DrawArrowFace(const TRect& rect);
  virtual TRect DrawDropDownFace(const TRect& rect);
  virtual void DrawGlyphBitmap(const TRect& rect);
  virtual void MouseEntered();
  virtual void MouseLeft();
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  TRect DrawFace(const TRect& rect);
  void SyncHover();
  bool flat_ = false;
  TBitmap glyph_;
  int num_glyphs_ = 1;
  uint16_t delay_ = 100, initial_delay_ = 400;
  bool repeat_clicks_ = false;
  TStyControlButtonStyle style_ = TStyControlButtonStyle::cbsNone;
  bool down_ = false, dragging_ = false, mouse_over_ = false;
  std::unique_ptr<TTimer> timer_;
};

}  // namespace qv
