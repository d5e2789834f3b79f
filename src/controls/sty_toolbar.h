#pragma once
// The toolbar, which lays out its controls in rows (or columns) in the order of its own control
// list, and the status bar with its panes and size grip.
#include <memory>
#include <string>
#include <vector>

#include "controls/sty_panel.h"

namespace qv {

enum class TStyToolbarTextOptions : uint8_t { ttoNoTextLabels, ttoShowTextLabels, ttoSelectiveTextOnRight, ttoCustom };

struct TStyToolbarControl {
  TControl* Control = nullptr;
  std::string Name;
};

// The layout order of a toolbar's controls, independent of the order of its children.
class TStyToolbarControlList {
public:
  // The existing index when the control is listed already.
  int AddControl(TControl* control);
  int AddName(const std::string& name);
  // Answer the former index, or -1.
  int RemoveControl(TControl* control);
  int RemoveName(const std::string& name);
  int FindControl(const TControl* control) const;
  // Compared ignoring case.
  int FindName(const std::string& name) const;
  int Count() const { return static_cast<int>(items_.size()); }
  const TStyToolbarControl& Items(int index) const { return items_.at(static_cast<size_t>(index)); }

private:
  std::vector<TStyToolbarControl> items_;
};

// Texts of a toolbar-customising dialog, which this program does not show; kept as data.
struct TStyCustomizeCaptions {
  std::string Title = "Customize Toolbar";
  std::string Hint = "Uncheck to hide control";
  std::string Close = "Close";
  std::string MoveUp = "Move Up";
  std::string MoveDown = "Move Down";
  std::string TextOptions = "Text Options";
  std::string NoTextLabels = "No text labels";
  std::string ShowTextLabels = "Show text labels";
  std::string SelectiveTextOnRight = "Selective text on right";
};

class TStyToolbar : public TStyCustomPanel {
public:
  explicit TStyToolbar(TComponent* owner);
  ~TStyToolbar() override;
  std::string ClassName() const override { return "TStyToolbar"; }

  TStyToolbarControlList& ToolbarControls() { return list_; }
  virtual void ArrangeControls();
  virtual int RowHeightOf(int row) const {
    (void)row;
    return row_height_;
  }
  virtual void ApplyAutoStyle(TAlign align);
  void SetButtonMetrics(int width, int height, bool show_captions);

  void SetAlign(TAlign align) override;
  void SetParent(TWinControl* parent) override;
  void SetBorderInner(TFrameStyleEx v) override;
  void SetBorderOuter(TFrameStyleEx v) override;
  void SetBorderSides(TSides v) override;

  bool AutoResize() const { return auto_resize_; }
  void SetAutoResize(bool v);
  bool AutoStyle() const { return auto_style_; }
  void SetAutoStyle(bool v);
  TBitmap& Background() { return background_; }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* images);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  int TopMargin() const { return top_margin_; }
  void SetTopMargin(int v);
  TOrientation Orientation() const { return orientation_; }
  void SetOrientation(TOrientation v);
  int RowHeight() const { return row_height_; }
  void SetRowHeight(int v);
  bool WrapControls() const { return wrap_controls_; }
  void SetWrapControls(bool v);
  bool ShowButtonCaptions() const { return show_button_captions_; }
  void SetShowButtonCaptions(bool v);
  TButtonLayout ButtonLayout() const { return button_layout_; }
  void SetButtonLayout(TButtonLayout v);
  int ButtonWidth() const { return button_width_; }
  void SetButtonWidth(int v);
  int ButtonHeight() const { return button_height_; }
  void SetButtonHeight(int v);
  bool ShowDivider() const { return show_divider_; }
  void SetShowDivider(bool v);
  TStyToolbarTextOptions TextOptions() const { return text_options_; }
  void SetTextOptions(TStyToolbarTextOptions v);
  TStyCustomizeCaptions& CustomizeCaptions() { return customize_captions_; }
  TStyRegIniFile* RegIniFile() const { return reg_ini_file_; }
  void SetRegIniFile(TStyRegIniFile* f);

  TNotifyEvent OnVisibleChanged;
  void WndProc(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void Paint() override;
  void DrawCaption(const TRect&) override {}
  void AlignControls(TControl* control, TRect& rect) override;
  void ControlChange(TControl* control, bool inserting) override;

private:
  void CheckAutoResize();
  void SetAutoSize(bool width, int value);
  void ButtonSettingChanged(uint32_t message);

  TStyToolbarControlList list_;
  bool auto_resize_ = true;
  bool auto_style_ = false;
  TBitmap background_;
  TCustomImageList* images_ = nullptr;
  TChangeLink image_link_;
  int margin_ = 4;
  int top_margin_ = 2;
  TOrientation orientation_ = TOrientation::orHorizontal;
  int row_height_ = 25;
  bool wrap_controls_ = true;
  bool show_button_captions_ = false;
  TButtonLayout button_layout_ = TButtonLayout::blGlyphLeft;
  int button_width_ = 25, button_height_ = 25;
  bool show_divider_ = true;
  TStyToolbarTextOptions text_options_ = TStyToolbarTextOptions::ttoNoTextLabels;
  bool applying_text_options_ = false;
  bool arranging_ = false;
  TStyCustomizeCaptions customize_captions_;
  TStyRegIniFile* reg_ini_file_ = nullptr;
};

class TStyStatusBar : public TStyCustomPanel {
public:
  explicit TStyStatusBar(TComponent* owner);
  std::string ClassName() const override { return "TStyStatusBar"; }

  TRect ClientRect() const override;
  virtual void DrawSimpleFrame(const TRect& rect);
  virtual void ApplyAutoStyle();
  // Usable when the parent form is sizeable and not maximised.
  bool SizeGripUsable() const;
  TRect SizeGripRect() const { return TRect{Width() - 13, 0, Width(), Height()}; }

  void SetBorderInner(TFrameStyleEx v) override;
  void SetBorderOuter(TFrameStyleEx v) override;
  void SetBorderSides(TSides v) override;
  bool AutoScalePanes() const { return auto_scale_panes_; }
  void SetAutoScalePanes(bool v) { auto_scale_panes_ = v; }
  bool AutoStyle() const { return auto_style_; }
  void SetAutoStyle(bool v);
  bool ShowSizeGrip() const { return show_size_grip_; }
  virtual void SetShowSizeGrip(bool v);
  const std::string& SimpleCaption() const { return simple_caption_; }
  virtual void SetSimpleCaption(const std::string& v);
  bool SimpleStatus() const { return simple_status_; }
  virtual void SetSimpleStatus(bool v);
  TFrameStyle SimpleFrameStyle() const { return simple_frame_style_; }
  virtual void SetSimpleFrameStyle(TFrameStyle v);

  void WndProc(TMessage& m) override;

protected:
  void Paint() override;
  void Resize() override;

private:
  void DrawSizeGrip();
  bool auto_scale_panes_ = false;
  bool auto_style_ = true;
  bool show_size_grip_ = true;
  std::string simple_caption_;
  bool simple_status_ = false;
  TFrameStyle simple_frame_style_ = TFrameStyleEx::fsFlat;
  bool first_resize_ = true;
  int last_width_ = 0;
};

}  // namespace qv
