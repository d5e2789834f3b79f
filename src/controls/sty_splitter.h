#pragma once
// The two-pane splitter: a styled panel holding an upper-left and a lower-right pane separated by
// a bar the user drags, with margins, a percentage share, a fixed pane and a hot spot that
// collapses the splitter to one side.
#include <functional>
#include <string>

#include "controls/sty_panel.h"

namespace qv {

enum class TFixedPane : uint8_t { fpUpperLeft, fpLowerRight };
enum class TSelectedPane : uint8_t { spUpperLeft, spLowerRight };
enum class TSplitterStyle : uint8_t { ssStandard, ssGroove, ssBump, ssGroupBar };
enum class THotSpotDirection : uint8_t { hsdMin, hsdMax, hsdBoth };

// The bar look of ssGroove and ssBump: two 3-pixel strips meeting at the bar's middle.
void PaintSplitterBarStrips(TCanvas& canvas, const TRect& bar, bool vertical_bar, TSplitterStyle style, TColor color);

using TPositionChangingEvent = std::function<void(TComponent* sender, int new_pos, bool& allow_change)>;

class TStySplitter;

class TStySplitterPane : public TStyCustomPanel {
public:
  TStySplitterPane(TComponent* owner, TStySplitter* splitter);
  std::string ClassName() const override { return "TStySplitterPane"; }
  TStySplitter* Splitter() const { return splitter_; }
  void WndProc(TMessage& m) override;

private:
  friend class TStySplitter;
  TStySplitter* splitter_;
};

// The published view of one pane.
class TStyPaneData {
public:
  explicit TStyPaneData(TStySplitterPane* pane) : pane_(pane) {}
  TStySplitterPane* Pane() const { return pane_; }
  void Assign(const TStyPaneData& other);
  TColor BorderColor() const { return pane_->BorderColor(); }
  void SetBorderColor(TColor v) { pane_->SetBorderColor(v); }
  TFrameStyleEx BorderInner() const { return pane_->BorderInner(); }
  void SetBorderInner(TFrameStyleEx v) { pane_->SetBorderInner(v); }
  TFrameStyleEx BorderOuter() const { return pane_->BorderOuter(); }
  void SetBorderOuter(TFrameStyleEx v) { pane_->SetBorderOuter(v); }
  int BorderWidth() const { return pane_->BorderWidth(); }
  void SetBorderWidth(int v) { pane_->SetBorderWidth(v); }
  TColor Color() const { return pane_->Color(); }
  void SetColor(TColor v) { pane_->SetColor(v); }
  TColor FlatColor() const { return pane_->FlatColor(); }
  void SetFlatColor(TColor v) { pane_->SetFlatColor(v); }
  int FlatColorAdjustment() const { return pane_->FlatColorAdjustment(); }
  void SetFlatColorAdjustment(int v) { pane_->SetFlatColorAdjustment(v); }
  // Docking is not built; the flag is kept.
  bool DockSite() const { return dock_site_; }
  void SetDockSite(bool v) { dock_site_ = v; }
  bool ShowDockClientCaptions() const { return pane_->ShowDockClientCaptions(); }
  void SetShowDockClientCaptions(bool v) { pane_->SetShowDockClientCaptions(v); }
  bool Visible() const { return pane_->Visible(); }
  void SetVisible(bool v) { pane_->SetVisible(v); }

private:
  TStySplitterPane* pane_;
  bool dock_site_ = false;
};

class TStySplitter : public TStyCustomPanel {
public:
  explicit TStySplitter(TComponent* owner);
  ~TStySplitter() override;
  std::string ClassName() const override { return "TStySplitter"; }

  virtual void UpdateFixedSize();
  virtual int GetFrameInset() const;
  virtual void DrawDragBar(int position);
  virtual void UpdateHotSpotRect();
  virtual void DrawHotSpot(bool highlighted, TPoint mouse);
  virtual void PaintSplitterBar();
  virtual void ClampPosition(int& position);
  virtual void RememberUserSize(int position);
  virtual void AlignPanes();
  // Clears the collapsed state.
  virtual void ResetHotSpot();

  TOrientation Orientation() const { return orientation_; }
  virtual void SetOrientation(TOrientation v);
  TSelectedPane SelectedPane() const { return selected_pane_; }
  virtual void SetSelectedPane(TSelectedPane v) { selected_pane_ = v; }
  TFixedPane FixedPane() const { return fixed_pane_; }
  virtual void SetFixedPane(TFixedPane v);
  TStyPaneData& UpperLeft() { return *data_[0]; }
  TStyPaneData& LowerRight() { return *data_[1]; }
  void SetUpperLeft(const TStyPaneData& v) { data_[0]->Assign(v); }
  void SetLowerRight(const TStyPaneData& v) { data_[1]->Assign(v); }
  int Position() const { return position_; }
  virtual void SetPosition(int v);
  // Sets a different position and keeps it as the size the user chose.
  virtual void MovePosition(int v);
  int MarginMax() const { return margin_max_; }
  virtual void SetMarginMax(int v);
  int MarginMin() const { return margin_min_; }
  virtual void SetMarginMin(int v);
  int Percent() const { return percent_; }
  virtual void SetPercent(int v);
  bool UsePercent() const { return use_percent_; }
  virtual void SetUsePercent(bool v);
  int PercentMax() const { return percent_max_; }
  virtual void SetPercentMax(int v);
  int PercentMin() const { return percent_min_; }
  virtual void SetPercentMin(int v);
  TSplitterStyle SplitterStyle() const { return splitter_style_; }
  virtual void SetSplitterStyle(TSplitterStyle v);
  uint16_t SplitterWidth() const { return splitter_width_; }
  virtual void SetSplitterWidth(uint16_t v);
  int GradientColorAdjustment() const { return gradient_color_adjustment_; }
  virtual void SetGradientColorAdjustment(int v);
  TStyGroupBarGradientPath GradientPath() const { return gradient_path_; }
  virtual void SetGradientPath(TStyGroupBarGradientPath v);
  bool UseGradients() const { return use_gradients_; }
  virtual void SetUseGradients(bool v);
  bool HotSpotVisible() const { return hot_spot_visible_; }
  virtual void SetHotSpotVisible(bool v);
  TColor HotSpotHighlight() const { return hot_spot_highlight_; }
  virtual void SetHotSpotHighlight(TColor v);
  THotSpotDirection HotSpotDirection() const { return hot_spot_direction_; }
  virtual void SetHotSpotDirection(THotSpotDirection v);
  int HotSpotSizePercent() const { return hot_spot_size_percent_; }
  virtual void SetHotSpotSizePercent(int v);
  bool HotSpotIgnoreMargins() const { return hot_spot_ignore_margins_; }
  void SetHotSpotIgnoreMargins(bool v) { hot_spot_ignore_margins_ = v; }
  bool RealTimeDrag() const { return real_time_drag_; }
  void SetRealTimeDrag(bool v) { real_time_drag_ = v; }
  bool LockBar() const { return lock_bar_; }
  void SetLockBar(bool v) { lock_bar_ = v; }

  TRect BarRect() const { return bar_rect_; }
  TRect HotSpotRect() const { return hot_spot_rect_; }
  bool HotSpotClosed() const { return hot_spot_closed_; }
  bool Dragging() const { return dragging_; }

  void SetBorderInner(TFrameStyleEx v) override;
  void SetBorderOuter(TFrameStyleEx v) override;
  void SetBorderSides(TSides v) override;
  void SetTransparent(bool v) override;

  TNotifyEvent OnChange;
  TPositionChangingEvent OnChanging;
  TNotifyEvent OnHotSpotClick;

  void WndProc(TMessage& m) override;
  // A pane was shown or hidden.
  void PaneVisibilityChanged();

protected:
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;

private:
  int Extent() const;
  // The extent less half the bar: what percentages refer to.
  int PercentExtent() const;
  int Along(int x, int y) const { return orientation_ == TOrientation::orHorizontal ? x : y; }
  bool AskChanging(int position);
  void ApplyPosition(int v, bool force);
  void MarginsFromPercent();
  void HotSpotClick(TPoint p);
  bool OnHotSpot(TPoint p) const;

  TOrientation orientation_ = TOrientation::orHorizontal;
  TStyPaneData* data_[2] = {nullptr, nullptr};
  TStySplitterPane* panes_[2] = {nullptr, nullptr};
  TSelectedPane selected_pane_ = TSelectedPane::spUpperLeft;
  int position_ = 100;
  int margin_min_ = 0;
  int margin_max_ = 0;
  bool use_percent_ = false;
  int percent_ = 50;
  int percent_min_ = 0;
  int percent_max_ = 100;
  TFixedPane fixed_pane_ = TFixedPane::fpUpperLeft;
  int fixed_size_ = 100;
  bool resizing_ = false;
  uint16_t splitter_width_ = 4;
  TSplitterStyle splitter_style_ = TSplitterStyle::ssStandard;
  bool real_time_drag_ = false;
  bool lock_bar_ = false;
  TRect bar_rect_;
  int drag_start_ = 0;
  bool dragging_ = false;
  int drag_offset_ = 0;
  int user_size_ = 100;
  int last_drag_ = 0;
  bool hot_spot_normal_ = true;
  TPoint hot_spot_mouse_;
  bool hot_spot_visible_ = false;
  TColor hot_spot_highlight_ = clWindow;
  TRect hot_spot_rect_;
  THotSpotDirection hot_spot_direction_ = THotSpotDirection::hsdMin;
  bool hot_spot_closed_ = false;
  bool closed_to_min_ = false;
  bool closed_to_max_ = false;
  bool hot_spot_pressed_ = false;
  int hot_spot_position_ = 100;
  bool hot_spot_ignore_margins_ = true;
  int hot_spot_size_percent_ = 40;
  int gradient_color_adjustment_ = 30;
  TStyGroupBarGradientPath gradient_path_ = TStyGroupBarGradientPath::gpTopToBottom;
  bool use_gradients_ = true;
};

}  // namespace qv
