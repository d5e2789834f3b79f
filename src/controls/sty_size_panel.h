#pragma once
// A styled panel aligned to an edge of its parent, with a size bar along its inner edge that the
// user drags to resize it and an optional hot spot that collapses it to the bar.
#include <string>

#include "controls/sty_splitter.h"

namespace qv {

using TSizeBarWidth = int;

class TStyCustomSizePanel : public TStyCustomPanel {
public:
  explicit TStyCustomSizePanel(TComponent* owner);
  std::string ClassName() const override { return "TStyCustomSizePanel"; }

  virtual void DrawDragBar(int position);
  virtual void UpdateHotSpotRect(const TRect& bar);
  virtual void DrawHotSpot(bool highlighted);
  virtual void PaintSizeBar();
  // The parent's client area less its edge-aligned controls; raises without a parent.
  virtual void GetFreeArea(TRect& rect) const;
  virtual void ClampBarPosition(int& position) const;
  virtual void GetSizeBarRect(TRect& rect);
  // The size the panel could reach along its bar's axis.
  virtual int GetAvailableExtent() const;
  virtual void ResetHotSpot() { hot_spot_closed_ = false; }

  void SetAlign(TAlign align) override;
  TRect ClientRect() const override;
  TRect PaintRect() const override;

  int MarginMax() const { return margin_max_; }
  virtual void SetMarginMax(int v);
  int MarginMin() const { return margin_min_; }
  virtual void SetMarginMin(int v);
  TSizeBarWidth SizeBarWidth() const { return size_bar_width_; }
  virtual void SetSizeBarWidth(TSizeBarWidth v);
  TSplitterStyle SizeBarStyle() const { return size_bar_style_; }
  virtual void SetSizeBarStyle(TSplitterStyle v);
  bool HotSpotVisible() const { return hot_spot_visible_; }
  virtual void SetHotSpotVisible(bool v);
  TColor HotSpotHighlight() const { return hot_spot_highlight_; }
  virtual void SetHotSpotHighlight(TColor v);
  int HotSpotSizePercent() const { return hot_spot_size_percent_; }
  virtual void SetHotSpotSizePercent(int v);
  bool HotSpotIgnoreMargins() const { return hot_spot_ignore_margins_; }
  void SetHotSpotIgnoreMargins(bool v) { hot_spot_ignore_margins_ = v; }
  int GradientColorAdjustment() const { return gradient_color_adjustment_; }
  virtual void SetGradientColorAdjustment(int v);
  TStyGroupBarGradientPath GradientPath() const { return gradient_path_; }
  virtual void SetGradientPath(TStyGroupBarGradientPath v);
  bool UseGradients() const { return use_gradients_; }
  virtual void SetUseGradients(bool v);
  bool RealTimeDrag() const { return real_time_drag_; }
  void SetRealTimeDrag(bool v) { real_time_drag_ = v; }
  bool LockBar() const { return lock_bar_; }
  void SetLockBar(bool v) { lock_bar_ = v; }
  bool HotSpotClosed() const { return hot_spot_closed_; }
  TRect HotSpotRect() {
    TRect bar;
    GetSizeBarRect(bar);
    return hot_spot_rect_;
  }
  bool Dragging() const { return dragging_; }

  TNotifyEvent OnHotSpotClick;
  void WndProc(TMessage& m) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;

private:
  bool VerticalBar() const { return Align() != TAlign::alTop && Align() != TAlign::alBottom; }
  bool EdgeAligned() const;
  int Along(int x, int y) const { return VerticalBar() ? x : y; }
  void ResizeTo(int size);
  void HotSpotClick();

  int margin_min_ = 0;
  int margin_max_ = 0;
  int bar_gap_ = 1;
  bool lock_bar_ = false;
  TSizeBarWidth size_bar_width_ = 4;
  TSplitterStyle size_bar_style_ = TSplitterStyle::ssStandard;
  bool dragging_ = false;
  bool hot_spot_normal_ = true;
  bool hot_spot_visible_ = false;
  TColor hot_spot_highlight_ = clWindow;
  TRect hot_spot_rect_;
  bool hot_spot_closed_ = false;
  bool hot_spot_pressed_ = false;
  int hot_spot_position_ = 100;
  bool hot_spot_ignore_margins_ = false;
  int hot_spot_size_percent_ = 40;
  bool real_time_drag_ = false;
  int drag_start_ = 0;
  int start_width_ = 0, start_height_ = 0;
  int drag_offset_ = 0;
  int last_drag_ = 0;
  int gradient_color_adjustment_ = 30;
  TStyGroupBarGradientPath gradient_path_ = TStyGroupBarGradientPath::gpTopToBottom;
  bool use_gradients_ = true;
};

class TStySizePanel : public TStyCustomSizePanel {
public:
  using TStyCustomSizePanel::TStyCustomSizePanel;
  std::string ClassName() const override { return "TStySizePanel"; }
};

}  // namespace qv
