#pragma once
// The framed panel of the system, its group-box variant and the toolbar spacer.
#include <string>

#include "controls/frame_paint.h"
#include "controls/sty_frame_controller.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/rtl/string_list.h"

namespace qv {

enum class TStyGridStyle : uint8_t { gsDots, gsDottedLines, gsSolidLines };

class TStyCustomPanel : public TCustomPanel, public IFrameControllerClient {
public:
  explicit TStyCustomPanel(TComponent* owner);
  ~TStyCustomPanel() override;
  std::string ClassName() const override { return "TStyCustomPanel"; }

  // Rect less the border width (when asked) and the outer and inner frames on BorderSides.
  virtual TRect ContentRect(const TRect& rect, bool include_border_width) const;
  virtual TRect PaintRect() const { return TRect{0, 0, Width(), Height()}; }
  virtual TPoint CursorClientPos() const;
  void ControllerChanged() override;
  void SetBounds(int left, int top, int width, int height) override;

  TAlignmentVertical AlignmentVertical() const { return alignment_vertical_; }
  virtual void SetAlignmentVertical(TAlignmentVertical v);
  TColor BorderColor() const { return border_color_; }
  virtual void SetBorderColor(TColor v);
  TFrameStyleEx BorderInner() const { return border_inner_; }
  virtual void SetBorderInner(TFrameStyleEx v);
  TFrameStyleEx BorderOuter() const { return border_outer_; }
  virtual void SetBorderOuter(TFrameStyleEx v);
  TSides BorderSides() const { return border_sides_; }
  virtual void SetBorderSides(TSides v);
  TColor BorderHighlight() const { return border_highlight_; }
  virtual void SetBorderHighlight(TColor v);
  TColor BorderShadow() const { return border_shadow_; }
  virtual void SetBorderShadow(TColor v);
  TColor FlatColor() const { return flat_color_; }
  virtual void SetFlatColor(TColor v);
  int FlatColorAdjustment() const { return flat_color_adjustment_; }
  virtual void SetFlatColorAdjustment(int v);
  TStyFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TStyFrameController* fc);
  TColor GridColor() const { return grid_color_; }
  virtual void SetGridColor(TColor v);
  TStyGridStyle GridStyle() const { return grid_style_; }
  virtual void SetGridStyle(TStyGridStyle v);
  uint16_t GridXSize() const { return grid_x_size_; }
  virtual void SetGridXSize(uint16_t v);
  uint16_t GridYSize() const { return grid_y_size_; }
  virtual void SetGridYSize(uint16_t v);
  bool ShowGrid() const { return show_grid_; }
  virtual void SetShowGrid(bool v);
  bool ThemeAware() const { return theme_aware_; }
  virtual void SetThemeAware(bool v);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool v);
  // Docking is not built; the flag is kept.
  bool ShowDockClientCaptions() const { return show_dock_client_captions_; }
  void SetShowDockClientCaptions(bool v) { show_dock_client_captions_ = v; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnPaint;

  void WndProc(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;
  // The enabled states recorded when the panel was disabled: "1" or "0" with the child as object.
  const TStringList& EnabledStates() const { return enabled_states_; }

protected:
  void Paint() override;
  void AlignControls(TControl* control, TRect& rect) override;
  void ControlChange(TControl* control, bool inserting) override;
  virtual void DrawCaption(const TRect& rect);
  virtual void DrawGrid(const TRect& rect);
  TColor ParentColorValue() const;
  void ChildrenEnabledChanged();

private:
  TAlignmentVertical alignment_vertical_ = TAlignmentVertical::avCenter;
  TFrameStyleEx border_inner_ = TFrameStyleEx::fsNone;
  TFrameStyleEx border_outer_ = TFrameStyleEx::fsRaised;
  TSides border_sides_ = sdAllSides;
  TColor border_color_ = clBtnFace;
  TColor border_highlight_ = clBtnHighlight;
  TColor border_shadow_ = clBtnShadow;
  TColor flat_color_ = clBtnShadow;
  int flat_color_adjustment_ = 30;
  TStyFrameController* frame_controller_ = nullptr;
  TColor grid_color_ = clBtnShadow;
  TStyGridStyle grid_style_ = TStyGridStyle::gsDots;
  uint16_t grid_x_size_ = 8, grid_y_size_ = 8;
  bool show_grid_ = false;
  bool show_dock_client_captions_ = true;
  bool theme_aware_ = true;
  bool transparent_ = false;
  TStringList enabled_states_;
  TRect last_content_;
  int last_width_ = 0, last_height_ = 0;
};

class TStyPanel : public TStyCustomPanel {
public:
  using TStyCustomPanel::TStyCustomPanel;
  std::string ClassName() const override { return "TStyPanel"; }
};

enum class TStyGroupBoxStyle : uint8_t { gsStandard, gsCustom, gsTopLine, gsFlat };

class TStyCustomGroupBox : public TStyCustomPanel {
public:
  explicit TStyCustomGroupBox(TComponent* owner);
  std::string ClassName() const override { return "TStyCustomGroupBox"; }
  TStyGroupBoxStyle GroupStyle() const { return group_style_; }
  virtual void SetGroupStyle(TStyGroupBoxStyle v);
  void ControllerChanged() override;
  void WndProc(TMessage& m) override;
  // The caption's place in client coordinates (empty for gsCustom or no caption).
  TRect CaptionRect();

protected:
  void Paint() override;
  void AdjustClientRect(TRect& rect) override;

private:
  TStyGroupBoxStyle group_style_ = TStyGroupBoxStyle::gsFlat;
};

class TStyGroupBox : public TStyCustomGroupBox {
public:
  using TStyCustomGroupBox::TStyCustomGroupBox;
  std::string ClassName() const override { return "TStyGroupBox"; }
};

class TStySpacer : public TGraphicControl {
public:
  explicit TStySpacer(TComponent* owner);
  std::string ClassName() const override { return "TStySpacer"; }
  bool Grooved() const { return grooved_; }
  virtual void SetGrooved(bool v);
  TOrientation Orientation() const { return orientation_; }
  // A change swaps Width and Height.
  virtual void SetOrientation(TOrientation v);

protected:
  void Paint() override;

private:
  bool grooved_ = false;
  TOrientation orientation_ = TOrientation::orHorizontal;
};

// True when text has the accelerator "&" before ch (ignoring case).
bool IsAccel(char ch, const std::string& text);

}  // namespace qv
