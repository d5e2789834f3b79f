#pragma once
// The plot object: a sizable visual object that shows up to 12 curves over the navigator's time
// window, with a left and a right Y axis each reserved for one unit, a legend below and the
// plot's own popup commands, keys and stored keys. TPlotVO holds what does not depend on the X
// axis; TDtPlotVO adds the time axes, the plot box and the navigator coupling.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/dt_stamp.h"
#include "platform/gui/graphics.h"
#include "visual/selector.h"
#include "visual/vis_obj.h"

namespace qv {

class TAxisScale;
class TAxisLabel;
class TDtAxisScale;
class TDt1AxisLabel;
class TDt2AxisLabel;
class TYAxCaption;
class TPlotBox;
class TDtPlotBox;
class TStyToolbar;

// Axis unit of a free axis, and of an axis kept free (no curve may take it).
inline constexpr const char* kAxisNotUsed = "@NotUsed@";
inline constexpr const char* kAxisBlocked = "@Blocked@";
inline constexpr int kMaxPlotCurves = 12;

// The legend: one entry per visible curve on a toolbar below the plot, with a header entry
// naming the data set when all visible curves come from one.
class TPlotReference {
public:
  TPlotReference();
  ~TPlotReference();
  TPlotReference(const TPlotReference&) = delete;
  TPlotReference& operator=(const TPlotReference&) = delete;

  TStyToolbar* Toolbar() const { return toolbar_; }
  void SetToolbar(TStyToolbar* toolbar);
  TGlobChanList* ChanList() const { return chan_list_; }
  void SetChanList(TGlobChanList* list);
  bool ReferenceOn() const { return reference_on_; }
  void SetVisible(bool on);
  bool Compact() const { return compact_; }
  void SetCompact(bool compact);
  int MaxTextLen() const { return compact_ ? 15 : 20; }
  bool CommonHeader() const { return common_header_; }
  TFont LegendFont;

  void Rebuild();
  // Prints the entries as framed texts at the bottom of rect on the printer, and moves rect's
  // bottom above them.
  void PrintToRect(TRect& rect);
  void SizeHeader();
  void Realign();
  // The entry panels, header first when there is one.
  int EntryCount() const;
  TVoPanel* Entry(int index) const;

private:
  TStyToolbar* toolbar_ = nullptr;
  TGlobChanList* chan_list_ = nullptr;
  bool reference_on_ = true;
  bool compact_ = false;
  bool common_header_ = false;
};

class TPlotVO : public TDiagramVO {
public:
  explicit TPlotVO(TComponent* owner);
  ~TPlotVO() override;
  std::string ClassName() const override { return "TPlotVO"; }
  void AfterConstruction() override;

  // Unit of axis 0 (left) or 1 (right).
  const std::string& GetAxisUnit(int index) const { return axis_unit_[Axis(index)]; }
  void SetAxisUnit(int index, const std::string& unit);
  bool IsAxisLocked(int index) const { return GetAxisUnit(index) == kAxisBlocked; }
  void SetAxisLocked(int index, bool locked);
  static bool IsRealUnit(const std::string& unit) { return unit != kAxisNotUsed && unit != kAxisBlocked; }

  // Automatic ranges, from the curves' view limits.
  double YLAutoMin = -35, YLAutoMax = 65, YRAutoMin = 0, YRAutoMax = 100;
  double YLCustViewMin() const { return yl_cust_min_; }
  double YLCustViewMax() const { return yl_cust_max_; }
  double YRCustViewMin() const { return yr_cust_min_; }
  double YRCustViewMax() const { return yr_cust_max_; }
  void SetLeftCustRange(double max, double min);
  void SetRightCustRange(double max, double min);
  double GetLeftMin() const;
  double GetLeftMax() const;
  double GetRightMin() const;
  double GetRightMax() const;

  int XMargin() const { return x_margin_; }
  void SetXMargin(int v);
  int YMargin() const { return y_margin_; }
  void SetYMargin(int v);
  int GridPenWidth() const { return grid_pen_width_; }
  void SetGridPenWidth(int w);
  int XZeroPenWidth() const { return x_zero_pen_width_; }
  void SetXZeroPenWidth(int w);
  int YZeroPenWidth() const { return y_zero_pen_width_; }
  void SetYZeroPenWidth(int w);

  bool LeftGridOn() const;
  void SetLeftGrid(bool on);
  bool RightGridOn() const;
  void SetRightGrid(bool on);
  bool ReferenceOn() const { return legend_->ReferenceOn(); }
  void SetReferenceOn(bool on);

  TFont LabelFont;
  TFont CaptionFont;

  void CalcAutoRanges();
  virtual bool ControlsComplete() const;
  virtual void ArrangeControls();
  void AxisRangeClick(TComponent* sender);

  // Visual-object operations.
  void AddChanMenuClick(TComponent* sender) override;
  void EditGlobChan(int index) override;
  std::string GetGlbChanDescr() const override;
  void CreatePopupMenu() override;
  void DestroyPopupMenu() override;
  void UpdateMenus() override;
  std::unique_ptr<TGlobalChannel> CreateGlobChan(TData* data, TChannel* channel) override;
  // reason is 1 when the channel is a curve already.
  bool CanAcceptGlbChan(TData* data, TChannel* channel, uint8_t& reason) override;
  void GlobChanLoaded(TGlobalChannel* glob_chan) override;
  void DataNotify(TData* data, int32_t event) override;
  bool HandleKey(uint16_t& key, TShiftState shift) override;
  void UpdateLanguage() override;
  void StoreIniSection(TIniFile2* ini, const std::string& section) override;
  void LoadIniSection(TIniFile2* ini, const std::string& section) override;
  void LoadRegKey(TRegistry* registry) override;
  bool AddGlobChan(TData* data, TChannel* channel) override;
  void DeleteGlobChan(int index) override;
  void GlobChansChanged() override;
  std::string GetTypeDescr() const override;
  void SetBounds(int left, int top, int width, int height) override;

  // Printing: this plot, the plots of the selected device or of every device, or a ticked choice,
  // one or up to four to a page, by PrintSelection (0 to 6).
  void DoPrint(TProcessWindowService* window) override;
  // Paints the plot's controls into a printer rectangle at the printer's resolution.
  void PrintToRect(TRect rect);

  // The parts, for the monitor, printing and tests.
  TPlotReference& Legend() const { return *legend_; }
  TStyToolbar* LegendToolbar() const { return legend_bar_; }
  TYAxCaption* Caption() const { return caption_; }
  TAxisScale* LeftAxis() const { return left_axis_; }
  TAxisScale* RightAxis() const { return right_axis_; }
  TAxisLabel* LeftLabel() const { return left_label_; }
  TAxisLabel* RightLabel() const { return right_label_; }
  TPlotBox* PlotBox() const { return plot_box_; }
  TMenuItem* LeftRangeItem() const { return men_yl_range_; }
  TMenuItem* RightRangeItem() const { return men_yr_range_; }
  TMenuItem* LeftGridItem() const { return men_yl_grid_; }
  TMenuItem* RightGridItem() const { return men_yr_grid_; }
  TMenuItem* ReferenceItem() const { return men_reference_; }
  // The base's add-channel entry of the popup menu.
  TMenuItem* AddChanItem() const;

protected:
  virtual void CreatePlotBox() = 0;
  virtual void CreateTimeAxes() = 0;
  // The label rows below the time axis and the axes themselves; null in a plot without them.
  virtual TAxisScale* BottomAxis() const { return nullptr; }
  virtual TAxisScale* TopAxis() const { return nullptr; }
  virtual TAxisLabel* FineRow() const { return nullptr; }
  virtual TAxisLabel* CoarseRow() const { return nullptr; }
  void RepaintPlot();

  TPlotBox* plot_box_ = nullptr;

private:
  static int Axis(int index) { return index == 1 ? 1 : 0; }
  void LabelFontChanged();
  void CaptionFontChanged();
  void ResetAxisRanges();
  // The plot's own keys, read alike from a monitor file's section or a registry key: the axis
  // locks before the base's keys and channels, the rest after them.
  struct TStoredKeys;
  void LoadAxisLocks(const TStoredKeys& keys);
  void LoadSettings(const TStoredKeys& keys);

  std::string axis_unit_[2] = {kAxisNotUsed, kAxisNotUsed};
  std::unique_ptr<TPlotReference> legend_;
  double yl_cust_min_, yl_cust_max_, yr_cust_min_, yr_cust_max_;
  int x_margin_ = 3, y_margin_ = 2;
  int grid_pen_width_ = 1, x_zero_pen_width_ = 2, y_zero_pen_width_ = 2;
  bool ly_grid_ = true, ry_grid_ = false;
  int label_font_size_ = 8, caption_font_size_ = 9;

  TStyToolbar* legend_bar_ = nullptr;
  TYAxCaption* caption_ = nullptr;
  TAxisScale* left_axis_ = nullptr;
  TAxisScale* right_axis_ = nullptr;
  TAxisLabel* left_label_ = nullptr;
  TAxisLabel* right_label_ = nullptr;
  bool range_dialog_open_ = false;
  bool curve_dialog_open_ = false;
  bool chan_dialog_open_ = false;
  // Set while this plot's print job runs: the job may switch devices, which can free the plot.
  bool* print_alive_ = nullptr;

  TMenuItem* men_sep_ = nullptr;
  TMenuItem* men_yl_range_ = nullptr;
  TMenuItem* men_yr_range_ = nullptr;
  TMenuItem* men_yl_grid_ = nullptr;
  TMenuItem* men_yr_grid_ = nullptr;
  TMenuItem* men_reference_ = nullptr;
};

class TDtPlotVO : public TPlotVO {
public:
  explicit TDtPlotVO(TComponent* owner);
  std::string ClassName() const override { return "TDtPlotVO"; }
  void AfterConstruction() override;

  void DataNotify(TData* data, int32_t event) override;
  void AddDataClient(TData* data) override;
  void Deactivate() override;
  void Activate() override;
  bool AddGlobChan(TData* data, TChannel* channel) override;
  std::string GetTypeDescr() const override;

  TDtAxisScale* BottomTimeAxis() const { return bottom_axis_; }
  TDtAxisScale* TopTimeAxis() const { return top_axis_; }
  TDtPlotBox* DtPlotBox() const;
  // The zoom request of the plot box: 0 zoom, 1 zoom at the stamp, 2 unzoom.
  void ZoomRequest(uint8_t kind, const TDtStamp& stamp);

protected:
  void CreatePlotBox() override;
  void CreateTimeAxes() override;
  TAxisScale* BottomAxis() const override;
  TAxisScale* TopAxis() const override;
  TAxisLabel* FineRow() const override;
  TAxisLabel* CoarseRow() const override;

private:
  void FollowNavigator();
  void Register(TData* data, bool shown);

  TDtAxisScale* bottom_axis_ = nullptr;
  TDtAxisScale* top_axis_ = nullptr;
  TDt1AxisLabel* fine_row_ = nullptr;
  TDt2AxisLabel* coarse_row_ = nullptr;
};

// The class reference the visual-object registry creates time plots from.
extern const TVisObjClass DtPlotVOClass;
// Adds the plot's class to the classes every visual-object registry starts with (once).
void RegisterPlotClasses();

}  // namespace qv
