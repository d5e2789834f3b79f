#pragma once
// Glyph buttons: custom-drawn buttons that paint a small state glyph beside their caption (from a
// strip of images, from built-in bitmaps recoloured for hot tracking, or in the classic look),
// and the radio button built on them.
#include <string>

#include "controls/sty_custom_button.h"
#include "controls/sty_frame_controller.h"

namespace qv {

class TStyCustomGlyphButton : public TStyCustomButton, public IFrameControllerClient {
public:
  explicit TStyCustomGlyphButton(TComponent* owner);
  ~TStyCustomGlyphButton() override;
  std::string ClassName() const override { return "TStyCustomGlyphButton"; }

  void ControllerChanged() override;
  // A colour equal to a mask colour (resolved to RGB) is nudged so it is not taken for it.
  virtual TColor MakeUniqueColor(TColor color) const;
  virtual void DrawStateGlyph(TBitmap& bitmap) = 0;
  virtual void DrawGlyph(TCanvas& canvas);
  static void ExtractGlyph(int index, TBitmap& bitmap, int width, int height, const TBitmap& strip);

  TAlignment Alignment() const { return alignment_; }
  virtual void SetAlignment(TAlignment v);
  virtual bool Checked() const { return false; }
  virtual void SetChecked(bool) {}
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor v);
  TColor DisabledColor() const { return disabled_color_; }
  virtual void SetDisabledColor(TColor v);
  TColor TransparentColor() const { return transparent_color_; }
  virtual void SetTransparentColor(TColor v);
  TColor WinMaskColor() const { return win_mask_color_; }
  virtual void SetWinMaskColor(TColor v);
  const TBitmap& CustomGlyphs() const { return custom_glyphs_; }
  virtual void SetCustomGlyphs(const TBitmap& strip);
  bool UseCustomGlyphs() const { return use_custom_glyphs_; }
  virtual void SetUseCustomGlyphs(bool v);
  TStyFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TStyFrameController* fc);
  bool TabOnEnter() const { return tab_on_enter_; }
  void SetTabOnEnter(bool v) { tab_on_enter_ = v; }
  void SetTransparent(bool v) override;
  int GlyphWidth() const { return glyph_width_; }
  int GlyphHeight() const { return glyph_height_; }
  // Where the glyph is drawn.
  TRect GlyphRect() const;

  void Notification(TComponent* component, TOperation operation) override;
  void WndProc(TMessage& m) override;
  // The action's Checked reaches the button, except that applying defaults leaves a checked one.
  void ActionChange(TAction* sender, bool check_defaults) override;

protected:
  void Paint() override;
  void RepaintLook() override { Repaint(); }
  void RefreshLook() override { Repaint(); }
  TRect HotTrackArea() const override { return GlyphRect(); }
  void KeyPress(char& key) override;
  void SetStateCount(int n) { state_count_ = n; }

private:
  TAlignment alignment_ = TAlignment::taRightJustify;
  TColor frame_color_ = clBtnShadow;
  int state_count_ = 2;
  TBitmap custom_glyphs_;
  bool use_custom_glyphs_ = false;
  TColor transparent_color_ = clOlive;
  TColor win_mask_color_ = clLime;
  TColor disabled_color_ = clBtnFace;
  int glyph_width_ = 13, glyph_height_ = 13;
  bool tab_on_enter_ = false;
  TStyFrameController* frame_controller_ = nullptr;
  TBitmap background_;
  bool background_outdated_ = true;
};

class TStyRadioButton : public TStyCustomGlyphButton {
public:
  explicit TStyRadioButton(TComponent* owner);
  std::string ClassName() const override { return "TStyRadioButton"; }
  bool Checked() const override { return checked_; }
  // Checking unchecks the sibling radio buttons, then clicks.
  void SetChecked(bool v) override;
  void DrawStateGlyph(TBitmap& bitmap) override;
  // The replacement colour of a built-in glyph's placeholder index (0 to 12) in the current state.
  TColor GlyphColor(int index) const;
  void WndProc(TMessage& m) override;

protected:
  void ReleasedInside() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;

private:
  bool using_mouse_ = false;
  bool checked_ = false;
};

}  // namespace qv
