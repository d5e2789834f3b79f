#include "visual/plot_vo.h"

#include <algorithm>
#include <cmath>

#include "base/ini_file2.h"
#include "base/registry.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "base/utils.h"
#include "controls/sty_toolbar.h"
#include "datastore/channel.h"
#include "datastore/data.h"
#include "datastore/dt_data.h"
#include "datastore/dt_navigator.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/rtl/format.h"
#include "visual/axis_label.h"
#include "visual/axis_scale.h"
#include "visual/d25_edit_plot_chan.h"
#include "visual/d26_y_range_dlg.h"
#include "visual/d29_sel_glob_chan.h"
#include "visual/plot_box.h"

namespace qv {

namespace {

constexpr double kBadFloat = -1.501e38;
constexpr int kEntryHeight = 22;
constexpr int kLegendMargin = 4;
constexpr TColor kPalette[] = {RGB(128, 0, 128), RGB(0, 128, 0), RGB(255, 0, 0), RGB(255, 0, 255), RGB(0, 255, 255),
                               RGB(0, 0, 255),   RGB(128, 0, 0), RGB(0, 0, 128), RGB(0, 255, 0),   RGB(128, 128, 128)};
// Events a plot wants while its page is shown, and while it is not.
constexpr TDataEvents kShownEvents = DataEventBit(deDestroying) | DataEventBit(deManyChanged) |
                                     DataEventBit(deOneChanged) | DataEventBit(deNameChanged) |
                                     DataEventBit(deChannelsChanged) | DataEventBit(deFollowDt1) |
                                     DataEventBit(deKeepBuffer);
constexpr TDataEvents kHiddenEvents = DataEventBit(deDestroying) | DataEventBit(deManyChanged) |
                                      DataEventBit(deOneChanged) | DataEventBit(deNameChanged) |
                                      DataEventBit(deChannelsChanged);

bool IsBad(double v) { return v <= kBadFloat; }

TPlotGlbChan* Curve(TGlobChanList* list, int i) { return static_cast<TPlotGlbChan*>(list->GetGlobChan_I(i)); }

void Report(const std::string& text) {
  if (MsgHandler) MsgHandler->DoMessage(text, "", TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkLogOnly);
}

// A value of the older profile that is no integer counts as missing, as in the monitor file.
int32_t ReadRegInteger(const TRegistry& registry, const std::string& name, int32_t def) {
  try {
    return registry.ReadInteger(name);
  } catch (const ERegistryException&) {
    return def;
  }
}

}  // namespace

// ---- TPlotReference ----

TPlotReference::TPlotReference() {
  LegendFont.SetName("MS Sans Serif");
  LegendFont.SetHeight(-11);
  LegendFont.SetColor(clBlack);
}

TPlotReference::~TPlotReference() {
  if (toolbar_) toolbar_->OnResize = nullptr;
}

void TPlotReference::SetToolbar(TStyToolbar* toolbar) {
  if (toolbar == toolbar_) return;
  if (toolbar_) toolbar_->OnResize = nullptr;
  toolbar_ = toolbar;
  if (toolbar_) toolbar_->OnResize = [this](TComponent*) { SizeHeader(); };
  Rebuild();
}

void TPlotReference::SetChanList(TGlobChanList* list) {
  if (list == chan_list_) return;
  chan_list_ = list;
  Rebuild();
}

void TPlotReference::SetVisible(bool on) {
  if (on == reference_on_) return;
  reference_on_ = on;
  Rebuild();
}

void TPlotReference::SetCompact(bool compact) {
  if (compact == compact_) return;
  compact_ = compact;
  Rebuild();
}

int TPlotReference::EntryCount() const { return toolbar_ ? toolbar_->ControlCount() : 0; }

TVoPanel* TPlotReference::Entry(int index) const { return static_cast<TVoPanel*>(toolbar_->Controls(index)); }

void TPlotReference::Rebuild() {
  if (!toolbar_) return;
  std::vector<TPlotGlbChan*> visible;
  if (chan_list_)
    for (int i = 0; i < chan_list_->Count(); ++i)
      if (Curve(chan_list_, i)->Visible) visible.push_back(Curve(chan_list_, i));
  common_header_ = chan_list_ && chan_list_->Count() > 1 && !visible.empty() &&
                   std::all_of(visible.begin(), visible.end(),
                               [&](const TPlotGlbChan* c) { return c->Data() == visible.front()->Data(); });
  const int n = static_cast<int>(visible.size()) + (common_header_ ? 1 : 0);
  while (EntryCount() > n) delete Entry(EntryCount() - 1);
  while (EntryCount() < n) {
    auto* p = new TVoPanel(toolbar_);
    p->SetBorderInner(TFrameStyleEx::fsLowered);
    p->SetBorderOuter(TFrameStyleEx::fsNone);
    p->SetBorderWidth(1);
    p->SetBorderColor(clBtnFace);
    p->SetBorderSides(sdAllSides);
    p->SetColor(clWhite);
    p->SetParentFont(false);
    p->Font().Assign(LegendFont);
    p->SetHeight(kEntryHeight);
    p->SetShowHint(true);
    p->SetParent(toolbar_);
  }
  toolbar_->SetMargin(n > 0 ? kLegendMargin : 0);
  int next = 0;
  if (common_header_) {
    TVoPanel* head = Entry(next++);
    TData* data = visible.front()->Data();
    head->SetColor(clBtnFace);
    TFont f;
    f.Assign(LegendFont);
    f.SetColor(clBlack);
    f.SetStyle(TFontStyles(TFontStyle::fsBold));
    head->Font().Assign(f);
    const std::string name = data->GetName();
    const size_t limit = static_cast<size_t>(compact_ ? MaxTextLen() : 3 * MaxTextLen());
    if (name.size() > limit) {
      head->SetCaption(data->GetSName());
      head->SetHint(name);
    } else {
      head->SetCaption(name);
      head->SetHint("");
    }
  }
  for (TPlotGlbChan* c : visible) {
    TVoPanel* e = Entry(next++);
    e->SetColor(clWhite);
    TFont f;
    f.Assign(LegendFont);
    f.SetColor(c->Color);
    e->Font().Assign(f);
    const std::string unit = " [" + c->Channel()->Unit() + "]";
    if (common_header_) {
      e->SetCaption(c->Channel()->SName());
      e->SetHint(c->Channel()->Name() + unit);
    } else {
      e->SetCaption(c->GetSText());
      e->SetHint(c->GetText() + unit);
    }
    e->SetAutoWidth(true);
    e->AdjustWidth();
  }
  SizeHeader();
  toolbar_->SetVisible(reference_on_ && n > 0);
}

void TPlotReference::SizeHeader() {
  if (!toolbar_ || !common_header_ || EntryCount() == 0) return;
  TVoPanel* head = Entry(0);
  if (compact_) {
    head->SetAutoWidth(true);
    head->AdjustWidth();
  } else {
    head->SetAutoWidth(false);
    head->SetWidth(std::max(toolbar_->Width() - 2 * toolbar_->Margin(), 0));
  }
}

void TPlotReference::Realign() {
  SizeHeader();
  if (toolbar_) toolbar_->ArrangeControls();
}

// ---- TPlotVO ----

TPlotVO::TPlotVO(TComponent* owner)
    : TDiagramVO(owner),
      legend_(std::make_unique<TPlotReference>()),
      yl_cust_min_(kBadFloat),
      yl_cust_max_(kBadFloat),
      yr_cust_min_(kBadFloat),
      yr_cust_max_(kBadFloat) {
  LabelFont.SetName("MS Sans Serif");
  LabelFont.SetSize(8);
  CaptionFont.SetName("MS Sans Serif");
  CaptionFont.SetSize(9);
  CaptionFont.SetStyle(TFontStyles(TFontStyle::fsBold));
}

TPlotVO::~TPlotVO() {
  if (print_alive_) *print_alive_ = false;
  LabelFont.OnChange = nullptr;
  CaptionFont.OnChange = nullptr;
  // The children go after this part of the object: none may call back into it.
  if (ClientPanel()) ClientPanel()->OnResize = nullptr;
  // The legend's toolbar goes with the object's children; the legend must not outlive its hook.
  legend_->SetToolbar(nullptr);
}

void TPlotVO::AfterConstruction() {
  TDiagramVO::AfterConstruction();
  DefaultVOOptions = static_cast<TVOOptions>(DefaultVOOptions | voPrintEnabled);
  DefaultCntrVisib = cvMaxNormBtnVisible | cvMaskBtnVisible | cvDelBtnVisible | cvDelMenVisible | cvEditTitleVis |
                     cvAddDelChanVis | cvEditChanVis;
  SetVOOptions(static_cast<TVOOptions>(VOOptions() | voPrintEnabled));
  SetCntrVisib(DefaultCntrVisib);

  legend_bar_ = new TStyToolbar(this);
  legend_bar_->SetParent(this);
  legend_bar_->SetAlign(TAlign::alBottom);
  legend_bar_->SetAutoResize(true);
  legend_bar_->SetBorderSides(SideBit(TSide::sdTop));
  legend_bar_->OnMouseDown = [this](TComponent*, TMouseButton, TShiftState, int, int) {
    if (legend_bar_->CanFocus()) legend_bar_->SetFocus();
  };
  legend_->SetChanList(vobGlobChanList());
  legend_->SetToolbar(legend_bar_);

  TVoPanel* client = ClientPanel();
  caption_ = new TYAxCaption(this);
  caption_->SetParent(client);
  caption_->Font().Assign(CaptionFont);
  left_axis_ = new TAxisScale(this, y_zero_pen_width_, grid_pen_width_, GetLeftMax(), GetLeftMin(), 0, nullptr);
  left_axis_->SetParent(client);
  right_axis_ = new TAxisScale(this, y_zero_pen_width_, grid_pen_width_, GetRightMax(), GetRightMin(), 1, left_axis_);
  right_axis_->SetParent(client);
  left_label_ = new TAxisLabel(this, left_axis_);
  left_label_->SetParent(client);
  left_label_->Font().Assign(LabelFont);
  right_label_ = new TAxisLabel(this, right_axis_);
  right_label_->SetParent(client);
  right_label_->Font().Assign(LabelFont);
  right_label_->SetVisible(false);
  CreateTimeAxes();
  CreatePlotBox();
  plot_box_->ChanList = vobGlobChanList();
  plot_box_->SetLeftGrid(LeftGridOn());
  plot_box_->SetRightGrid(RightGridOn());
  caption_->ChanList = vobGlobChanList();
  for (TControl* c : {static_cast<TControl*>(left_axis_), static_cast<TControl*>(right_axis_),
                      static_cast<TControl*>(left_label_), static_cast<TControl*>(right_label_)})
    c->OnDblClick = [this](TComponent* s) { AxisRangeClick(s); };
  LabelFont.OnChange = [this](TFont*) { LabelFontChanged(); };
  CaptionFont.OnChange = [this](TFont*) { CaptionFontChanged(); };
  client->OnResize = [this](TComponent*) { ArrangeControls(); };
  SetBounds(Left(), Top(), 300, 150);
  UpdateLanguage();
  ArrangeControls();
}

void TPlotVO::SetAxisUnit(int index, const std::string& unit) {
  const int i = Axis(index);
  if (unit == axis_unit_[i]) return;
  axis_unit_[i] = unit;
  if (!left_axis_) return;
  const bool left_real = IsRealUnit(axis_unit_[0]), right_real = IsRealUnit(axis_unit_[1]);
  const bool left_was = left_label_->Visible(), right_was = right_label_->Visible();
  if (left_real && right_real) {
    left_axis_->SetMaster(nullptr);
    right_axis_->SetMaster(nullptr);
    left_label_->SetVisible(true);
    right_label_->SetVisible(true);
  } else if (right_real) {
    right_axis_->SetMaster(nullptr);
    left_axis_->SetMaster(right_axis_);
    left_label_->SetVisible(false);
    right_label_->SetVisible(true);
  } else {
    left_axis_->SetMaster(nullptr);
    right_axis_->SetMaster(left_axis_);
    left_label_->SetVisible(true);
    right_label_->SetVisible(false);
  }
  caption_->SetCaption(i, IsRealUnit(unit) ? "[ " + unit + " ]" : std::string());
  if (left_was != left_label_->Visible() || right_was != right_label_->Visible()) {
    ArrangeControls();
    SetLeftGrid(ly_grid_);
    SetRightGrid(ry_grid_);
    RepaintPlot();
  }
  UpdateMenus();
}

void TPlotVO::SetAxisLocked(int index, bool locked) {
  const std::string& unit = GetAxisUnit(index);
  if (locked && unit == kAxisNotUsed)
    SetAxisUnit(index, kAxisBlocked);
  else if (!locked && unit == kAxisBlocked)
    SetAxisUnit(index, kAxisNotUsed);
}

double TPlotVO::GetLeftMin() const { return IsBad(yl_cust_min_) ? YLAutoMin : yl_cust_min_; }
double TPlotVO::GetLeftMax() const { return IsBad(yl_cust_max_) ? YLAutoMax : yl_cust_max_; }
double TPlotVO::GetRightMin() const { return IsBad(yr_cust_min_) ? YRAutoMin : yr_cust_min_; }
double TPlotVO::GetRightMax() const { return IsBad(yr_cust_max_) ? YRAutoMax : yr_cust_max_; }

void TPlotVO::SetLeftCustRange(double max, double min) {
  if (max == yl_cust_max_ && min == yl_cust_min_) return;
  yl_cust_max_ = max;
  yl_cust_min_ = min;
  if (left_axis_) left_axis_->SetRange(GetLeftMax(), GetLeftMin());
  if (!BeingDestroyed() && ClientPanel()) ClientPanel()->Invalidate();
}

void TPlotVO::SetRightCustRange(double max, double min) {
  if (max == yr_cust_max_ && min == yr_cust_min_) return;
  yr_cust_max_ = max;
  yr_cust_min_ = min;
  if (right_axis_) right_axis_->SetRange(GetRightMax(), GetRightMin());
  if (!BeingDestroyed() && ClientPanel()) ClientPanel()->Invalidate();
}

void TPlotVO::ResetAxisRanges() {
  if (!left_axis_) return;
  left_axis_->SetRange(GetLeftMax(), GetLeftMin());
  right_axis_->SetRange(GetRightMax(), GetRightMin());
}

void TPlotVO::SetXMargin(int v) {
  if (v == x_margin_) return;
  x_margin_ = v;
  ArrangeControls();
}

void TPlotVO::SetYMargin(int v) {
  if (v == y_margin_) return;
  y_margin_ = v;
  ArrangeControls();
}

void TPlotVO::SetGridPenWidth(int w) {
  if (w == grid_pen_width_) return;
  grid_pen_width_ = w;
  for (TAxisScale* a : {left_axis_, right_axis_, BottomAxis(), TopAxis()})
    if (a) a->SetGridPenWidth(w);
  RepaintPlot();
}

void TPlotVO::SetXZeroPenWidth(int w) {
  if (w == x_zero_pen_width_) return;
  x_zero_pen_width_ = w;
  for (TAxisScale* a : {BottomAxis(), TopAxis()})
    if (a) a->SetZeroPenWidth(w);
  RepaintPlot();
}

void TPlotVO::SetYZeroPenWidth(int w) {
  if (w == y_zero_pen_width_) return;
  y_zero_pen_width_ = w;
  for (TAxisScale* a : {left_axis_, right_axis_})
    if (a) a->SetZeroPenWidth(w);
  RepaintPlot();
}

bool TPlotVO::LeftGridOn() const { return ly_grid_ && left_label_ && left_label_->Visible(); }
bool TPlotVO::RightGridOn() const { return ry_grid_ && right_label_ && right_label_->Visible(); }

void TPlotVO::SetLeftGrid(bool on) {
  const bool was = LeftGridOn();
  ly_grid_ = on;
  if (LeftGridOn() == was && (!plot_box_ || plot_box_->LeftGrid() == was)) return;
  if (plot_box_) plot_box_->SetLeftGrid(LeftGridOn());
  UpdateMenus();
}

void TPlotVO::SetRightGrid(bool on) {
  const bool was = RightGridOn();
  ry_grid_ = on;
  if (RightGridOn() == was && (!plot_box_ || plot_box_->RightGrid() == was)) return;
  if (plot_box_) plot_box_->SetRightGrid(RightGridOn());
  UpdateMenus();
}

void TPlotVO::SetReferenceOn(bool on) {
  if (on == legend_->ReferenceOn()) return;
  legend_->SetVisible(on);
  legend_->Realign();
  ArrangeControls();
  UpdateMenus();
  RepaintPlot();
}

void TPlotVO::RepaintPlot() {
  if (BeingDestroyed()) return;
  if (ClientPanel()) ClientPanel()->Invalidate();
  if (plot_box_) plot_box_->Invalidate();
}

void TPlotVO::LabelFontChanged() {
  for (TControl* c :
       {static_cast<TControl*>(left_label_), static_cast<TControl*>(right_label_), static_cast<TControl*>(FineRow())})
    if (c) c->Font().Assign(LabelFont);
  if (LabelFont.Size() != label_font_size_) {
    label_font_size_ = LabelFont.Size();
    ArrangeControls();
  }
}

void TPlotVO::CaptionFontChanged() {
  for (TControl* c : {static_cast<TControl*>(caption_), static_cast<TControl*>(CoarseRow())})
    if (c) c->Font().Assign(CaptionFont);
  if (CaptionFont.Size() != caption_font_size_) {
    caption_font_size_ = CaptionFont.Size();
    ArrangeControls();
  }
}

void TPlotVO::CalcAutoRanges() {
  TGlobChanList* list = vobGlobChanList();
  if (list) {
    bool found[2] = {false, false};
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    for (int i = 0; i < list->Count(); ++i) {
      TPlotGlbChan* c = Curve(list, i);
      if (!c->Visible) continue;
      const int a = c->gchAssignedYAxis == 1 ? 1 : 0;
      const double mn = c->Channel()->ViewMin(), mx = c->Channel()->ViewMax();
      lo[a] = found[a] ? std::min(lo[a], mn) : mn;
      hi[a] = found[a] ? std::max(hi[a], mx) : mx;
      found[a] = true;
    }
    if (found[0]) {
      YLAutoMin = lo[0];
      YLAutoMax = hi[0];
    }
    if (found[1]) {
      YRAutoMin = lo[1];
      YRAutoMax = hi[1];
    }
  }
  ResetAxisRanges();
}

bool TPlotVO::ControlsComplete() const {
  return legend_bar_ && caption_ && left_axis_ && right_axis_ && left_label_ && right_label_ && plot_box_ &&
         BottomAxis() && TopAxis() && FineRow() && CoarseRow();
}

void TPlotVO::ArrangeControls() {
  if (!ControlsComplete() || BeingDestroyed()) return;
  TVoPanel* client = ClientPanel();
  TAxisScale* bottom = BottomAxis();
  TAxisScale* top = TopAxis();
  TAxisLabel* fine = FineRow();
  TAxisLabel* coarse = CoarseRow();
  const int s = static_cast<int>(std::abs(LabelFont.Height()) * 0.7);
  // 1: the rows' heights and the labels' widths.
  const int hF = fine->RequiredSize() > 0 ? fine->RequiredSize() : 10;
  const int hC = coarse->RequiredSize() > 0 ? coarse->RequiredSize() : 10;
  int wL = left_label_->RequiredSize(), wR = right_label_->RequiredSize();
  if (!left_label_->Visible()) wL /= 2;
  if (!right_label_->Visible()) wR /= 2;
  // 2 and 3: the plot area.
  const int plotW = std::max(client->Width() - 2 * x_margin_ - wL - wR - 2 * s, 2);
  const int rowW = wL + plotW + wR + 2 * s;
  const int c = static_cast<int>(caption_->Height() * 1.2);
  // A Y label stands centred on its tick, so the outermost ones reach half a text height beyond
  // the plot box: the labels get that room above and below (s - 1 and s + 1 pixels usually do).
  const int th = std::max(left_label_->TextHeight(), right_label_->TextHeight());
  const int moreTop = std::max(th / 2 - (s - 1), 0);
  const int moreBottom = std::max(th - th / 2 - (s + 1), 0);
  const int plotH = std::max(client->Height() - 2 * y_margin_ - c - 2 * s - hF - hC - moreTop - moreBottom, 2);
  // 4 to 6: positions.
  const int xLabel = x_margin_;
  const int xAxisL = xLabel + wL;
  const int xBox = xAxisL + s;
  const int xAxisR = xBox + plotW;
  const int xLabelR = xAxisR + s;
  const int capTop = y_margin_;
  const int yLabels = capTop + c;
  const int yBox = yLabels + moreTop + s - 1;
  const int yBottom = yBox + plotH;
  const int labelH = moreTop + 2 * s + plotH + moreBottom;
  left_label_->SetBounds(xLabel, yLabels, wL, labelH);
  right_label_->SetBounds(xLabelR, yLabels, wR, labelH);
  // The labels' texts stand at their axis's pixels, which start at the plot box's top.
  left_label_->PixelOffset = yBox - yLabels;
  right_label_->PixelOffset = yBox - yLabels;
  left_axis_->SetBounds(xAxisL, yBox, s, plotH);
  right_axis_->SetBounds(xAxisR, yBox, s, plotH);
  top->SetBounds(xBox, yLabels + moreTop, plotW, s);
  plot_box_->SetBounds(xBox, yBox, plotW, plotH);
  bottom->SetBounds(xBox, yBottom, plotW, s);
  fine->SetBounds(xLabel, yBottom + s + moreBottom, rowW, hF);
  coarse->SetBounds(xLabel, yBottom + s + moreBottom + hF, rowW, hC);
  fine->PixelOffset = xBox - xLabel;
  coarse->PixelOffset = xBox - xLabel;
  const int capLeft = xLabel + wL / 2;
  const int capRight = xLabelR + wR / 2;
  caption_->SetBounds(capLeft, capTop, std::max(capRight - capLeft, 0), caption_->Height());
}

void TPlotVO::SetBounds(int left, int top, int width, int height) {
  const bool changed = left != Left() || top != Top() || width != Width() || height != Height();
  TDiagramVO::SetBounds(left, top, width, height);
  if (!changed || !legend_bar_) return;
  // Zero-size plots (tiled into an empty pane) count as compact rather than divide by zero.
  bool compact = true;
  if (width > 0 && height > 0 && Screen)
    compact = Screen->Height() * 2.5 / height + static_cast<double>(Screen->Width()) / width > 7.5;
  legend_->SetCompact(compact);
  legend_->Realign();
  ArrangeControls();
}

// ---- menus ----

TMenuItem* TPlotVO::AddChanItem() const {
  if (!Popup()) return nullptr;
  const std::string caption = Format(LoadResString("vob_EMenAddChanF"), GetGlbChanDescr());
  TMenuItem* items = Popup()->Items();
  for (int i = 0; i < items->Count(); ++i)
    if (items->Items(i)->Caption() == caption) return items->Items(i);
  return nullptr;
}

void TPlotVO::CreatePopupMenu() {
  TDiagramVO::CreatePopupMenu();
  TMenuItem* items = Popup()->Items();
  // The plot's entries go before the separator that precedes the print command.
  int pos = items->Count() - 2;
  auto add = [&](const std::string& caption, TNotifyEvent click) {
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    item->OnClick = std::move(click);
    items->Insert(pos++, item);
    return item;
  };
  men_sep_ = add("-", nullptr);
  men_yl_range_ = add("plt_EMenYLRange", [this](TComponent* s) { AxisRangeClick(s); });
  men_yl_range_->SetEnabled(false);
  men_yr_range_ = add("plt_EMenYRRange", [this](TComponent* s) { AxisRangeClick(s); });
  men_yr_range_->SetEnabled(false);
  if (!ClassSeparator) ClassSeparator = add("-", nullptr);
  men_yl_grid_ = add("plt_VMenLYAxGrid", [this](TComponent*) { SetLeftGrid(!ly_grid_); });
  men_yr_grid_ = add("plt_VMenRYAxGrid", [this](TComponent*) { SetRightGrid(!ry_grid_); });
  men_yr_grid_->SetEnabled(false);
  men_reference_ = add("plt_VMenReference", [this](TComponent*) { SetReferenceOn(!ReferenceOn()); });
  men_reference_->SetChecked(true);
  UpdateMenus();
}

void TPlotVO::DestroyPopupMenu() {
  for (TMenuItem** item : {&men_sep_, &men_yl_range_, &men_yr_range_, &men_yl_grid_, &men_yr_grid_, &men_reference_}) {
    delete *item;
    *item = nullptr;
  }
  TDiagramVO::DestroyPopupMenu();
}

void TPlotVO::UpdateMenus() {
  if (BeingDestroyed()) return;
  if (men_yl_range_) {
    men_yl_range_->SetCaption(LoadResString("plt_EMenYLRange"));
    men_yl_range_->SetEnabled(IsRealUnit(axis_unit_[0]));
    men_yr_range_->SetCaption(LoadResString("plt_EMenYRRange"));
    men_yr_range_->SetEnabled(IsRealUnit(axis_unit_[1]));
    men_yl_grid_->SetCaption(LoadResString("plt_VMenLYAxGrid"));
    men_yl_grid_->SetEnabled(left_label_ && left_label_->Visible());
    men_yl_grid_->SetChecked(LeftGridOn());
    men_yr_grid_->SetCaption(LoadResString("plt_VMenRYAxGrid"));
    men_yr_grid_->SetEnabled(right_label_ && right_label_->Visible());
    men_yr_grid_->SetChecked(RightGridOn());
    men_reference_->SetCaption(LoadResString("plt_VMenReference"));
    men_reference_->SetChecked(ReferenceOn());
  }
  // The base copies the entries into the main window's menus: set the plot's state first.
  if (TMenuItem* add = AddChanItem()) add->SetEnabled(GetGlobChanCount() < kMaxPlotCurves);
  TDiagramVO::UpdateMenus();
  if (TMenuItem* add = AddChanItem()) add->SetEnabled(GetGlobChanCount() < kMaxPlotCurves);
}

std::string TPlotVO::GetGlbChanDescr() const { return LoadResString("plt_GlbChanDescr"); }
std::string TPlotVO::GetTypeDescr() const { return LoadResString("plt_TypeDescr"); }

void TPlotVO::UpdateLanguage() {
  TDiagramVO::UpdateLanguage();
  if (ClientPanel() && !BeingDestroyed()) ClientPanel()->Invalidate();
}

// ---- channels ----

std::unique_ptr<TGlobalChannel> TPlotVO::CreateGlobChan(TData* data, TChannel* channel) {
  auto c = std::make_unique<TPlotGlbChan>(data, channel);
  TGlobChanList* list = vobGlobChanList();
  c->Color = clBlack;
  for (TColor colour : kPalette) {
    bool used = false;
    for (int i = 0; list && i < list->Count() && !used; ++i) used = Curve(list, i)->Color == colour;
    if (!used) {
      c->Color = colour;
      break;
    }
  }
  return c;
}

bool TPlotVO::CanAcceptGlbChan(TData* data, TChannel* channel, uint8_t& reason) {
  TGlobChanList* list = vobGlobChanList();
  if (!list) throw Exception("Error in TPlotVO.CanAcceptGlbChan: FGlobChanList is nil!");
  reason = 0;
  if (!data || !channel) return false;
  for (int i = 0; i < list->Count(); ++i)
    if (list->GetGlobChan_I(i)->Data() == data && list->GetGlobChan_I(i)->Channel() == channel) reason = 1;
  if (list->Count() >= kMaxPlotCurves || reason) return false;
  if (axis_unit_[0] == kAxisNotUsed || axis_unit_[1] == kAxisNotUsed) return true;
  const std::string u = TrimBlanks(channel->Unit());
  return axis_unit_[0] == u || axis_unit_[1] == u;
}

bool TPlotVO::AddGlobChan(TData* data, TChannel* channel) {
  TGlobChanList* list = vobGlobChanList();
  if (!list) throw Exception("Error in TPlotVO.AddGlobChan: FGlobChanList is nil!");
  if (!data || !channel || list->Count() >= kMaxPlotCurves) return false;
  for (int i = 0; i < list->Count(); ++i)
    if (list->GetGlobChan_I(i)->Data() == data && list->GetGlobChan_I(i)->Channel() == channel) return false;
  const std::string u = TrimBlanks(channel->Unit());
  int axis = -1;
  for (int i = 0; i < 2 && axis < 0; ++i)
    if (axis_unit_[i] == u) axis = i;
  for (int i = 0; i < 2 && axis < 0; ++i)
    if (axis_unit_[i] == kAxisNotUsed) {
      axis = i;
      SetAxisUnit(i, u);
    }
  if (axis < 0) return false;
  if (!list->ContainsData(data)) AddDataClient(data);
  auto c = CreateGlobChan(data, channel);
  static_cast<TPlotGlbChan*>(c.get())->gchAssignedYAxis = static_cast<uint8_t>(axis);
  list->Add(std::move(c));
  if (!GlobChanUpdating) GlobChansChanged();
  return true;
}

void TPlotVO::DeleteGlobChan(int index) {
  TGlobChanList* list = vobGlobChanList();
  if (!list || index < 0 || index >= list->Count()) return;
  TDiagramVO::DeleteGlobChan(index);
  if (BeingDestroyed()) return;
  // An axis is free again when no remaining curve has exactly its unit ("m" is not in use
  // because "mm" is).
  for (int a = 0; a < 2; ++a) {
    if (!IsRealUnit(axis_unit_[a])) continue;
    bool used = false;
    for (int i = 0; i < list->Count() && !used; ++i)
      used = TrimBlanks(list->GetGlobChan_I(i)->Channel()->Unit()) == axis_unit_[a];
    if (!used) SetAxisUnit(a, kAxisNotUsed);
  }
}

void TPlotVO::GlobChansChanged() {
  TDiagramVO::GlobChansChanged();
  if (BeingDestroyed()) return;
  legend_->Rebuild();
  legend_->Realign();
  ArrangeControls();
  CalcAutoRanges();
  if (plot_box_) plot_box_->Invalidate();
}

void TPlotVO::GlobChanLoaded(TGlobalChannel*) {
  CalcAutoRanges();
  legend_->Rebuild();
  RepaintPlot();
}

void TPlotVO::DataNotify(TData* data, int32_t event) {
  TGlobChanList* list = vobGlobChanList();
  if (event == deDestroying && curve_dialog_open_ && D25_EditPlotChan && list && list->ContainsData(data)) {
    // The open curve dialog points at curves about to be removed: end it without applying.
    D25_EditPlotChan->AcceptBtn->SetEnabled(false);
    D25_EditPlotChan->ExitBtn->SetEnabled(false);
    D25_EditPlotChan->OnApply = nullptr;
    D25_EditPlotChan->SetModalResult(mrCancel);
  }
  switch (event) {
    case deManyChanged: RepaintPlot(); break;
    case deNameChanged: legend_->Rebuild(); break;
    case deChannelsChanged:
      CalcAutoRanges();
      legend_->Rebuild();
      TDiagramVO::DataNotify(data, event);
      RepaintPlot();
      break;
    default: TDiagramVO::DataNotify(data, event);
  }
}

// ---- commands ----

void TPlotVO::AxisRangeClick(TComponent* sender) {
  if (range_dialog_open_ || D26_YRangeDlg) return;
  const bool left_real = IsRealUnit(axis_unit_[0]), right_real = IsRealUnit(axis_unit_[1]);
  auto is_item = [&](TMenuItem* item) {
    auto* m = dynamic_cast<TMenuItem*>(sender);
    return item && (sender == item || (m && m->Caption() == item->Caption()));
  };
  const bool left_side = sender == left_axis_ || sender == left_label_ || is_item(men_yl_range_);
  const bool right_side = sender == right_axis_ || sender == right_label_ || is_item(men_yr_range_);
  int axis = -1;
  if (left_real && right_real)
    axis = left_side ? 0 : right_side ? 1 : -1;
  else if (left_real)
    axis = (left_side || sender == right_axis_) ? 0 : -1;
  else if (right_real)
    axis = (right_side || sender == left_axis_) ? 1 : -1;
  if (axis < 0) return;
  const double auto_min = axis == 0 ? YLAutoMin : YRAutoMin, auto_max = axis == 0 ? YLAutoMax : YRAutoMax;
  const double limit = 3 * std::max(std::fabs(auto_min), std::fabs(auto_max));
  range_dialog_open_ = true;
  try {
    TD26_YRangeDlg dlg(Application);
    dlg.SetText(LoadResString(axis == 0 ? "d26_CaptionLeft" : "d26_CaptionRight"));
    dlg.LowLimit = -limit;
    dlg.HighLimit = limit;
    dlg.SetYAutoMin(auto_min);
    dlg.SetYAutoMax(auto_max);
    dlg.SetCustMin(axis == 0 ? yl_cust_min_ : yr_cust_min_);
    dlg.SetCustMax(axis == 0 ? yl_cust_max_ : yr_cust_max_);
    int result = mrCancel;
    if (!RunModal(dlg, result)) return;
    if (result == mrOk) {
      if (axis == 0)
        SetLeftCustRange(dlg.GetMax(), dlg.GetMin());
      else
        SetRightCustRange(dlg.GetMax(), dlg.GetMin());
    }
  } catch (...) {
    range_dialog_open_ = false;
    throw;
  }
  range_dialog_open_ = false;
  RepaintPlot();
}

void TPlotVO::EditGlobChan(int index) {
  if (GetGlobChanCount() == 0 || curve_dialog_open_ || D25_EditPlotChan) return;
  curve_dialog_open_ = true;
  try {
    TD25_EditPlotChan dlg(Application);
    dlg.SetChanList(vobGlobChanList());
    dlg.SelectCurve(std::clamp(index, 0, GetGlobChanCount() - 1));
    dlg.OnApply = [this] { GlobChanLoaded(nullptr); };
    int result = mrCancel;
    if (!RunModal(dlg, result)) return;
  } catch (...) {
    curve_dialog_open_ = false;
    throw;
  }
  curve_dialog_open_ = false;
  GlobChanLoaded(nullptr);
}

void TPlotVO::AddChanMenuClick(TComponent*) {
  if (chan_dialog_open_ || D29_SelGlobChan) return;
  chan_dialog_open_ = true;
  TData* data = nullptr;
  TChannel* channel = nullptr;
  try {
    TD29_SelGlobChan dlg(Application);
    dlg.SetText(Format(LoadResString("vob_AddChanCapF"), GetGlbChanDescr()));
    dlg.SetFilter([this](TData* d, TChannel* c, uint8_t& reason) { return CanAcceptGlbChan(d, c, reason); });
    dlg.SelectData(GetGlobChanCount() > 0 ? vobGlobChanList()->GetGlobChan_I(0)->Data() : nullptr);
    int result = mrCancel;
    if (!RunModal(dlg, result)) return;
    if (result == mrOk && dlg.GetSelChannel()) {
      data = dlg.GetSelChannel()->Data;
      channel = dlg.GetSelChannel()->Channel;
    }
  } catch (...) {
    chan_dialog_open_ = false;
    throw;
  }
  chan_dialog_open_ = false;
  if (data && channel) AddGlobChan(data, channel);
}

bool TPlotVO::HandleKey(uint16_t& key, TShiftState shift) {
  TNavigator0* nav = DtNavigator;
  if (nav) {
    const bool ctrl = (shift & ssCtrl) != 0;
    const bool no_shift = (shift & ssShift) == 0;
    if (!AutoScrollActive) {
      if (!ctrl && (key == VK_ADD || (key == VK_OEM_PLUS && no_shift))) {
        nav->Zoom();
        return true;
      }
      if (!ctrl && (key == VK_SUBTRACT || (key == VK_OEM_MINUS && no_shift))) {
        nav->Unzoom();
        return true;
      }
      if (key == VK_RIGHT) {
        ctrl ? nav->BigStepRight() : nav->SmallStepRight();
        return true;
      }
      if (key == VK_LEFT) {
        ctrl ? nav->BigStepLeft() : nav->SmallStepLeft();
        return true;
      }
      if (key == VK_END) {
        nav->GotoNewest();
        return true;
      }
    }
  }
  return TDiagramVO::HandleKey(key, shift);
}

// ---- stored keys ----

void TPlotVO::StoreIniSection(TIniFile2* ini, const std::string& section) {
  TDiagramVO::StoreIniSection(ini, section);
  ini->WriteInteger(section, "XMargin", x_margin_);
  ini->WriteInteger(section, "YMargin", y_margin_);
  ini->WriteInteger(section, "GridPenWidth", grid_pen_width_);
  ini->WriteInteger(section, "XZeroPenWidth", x_zero_pen_width_);
  ini->WriteInteger(section, "YZeroPenWidth", y_zero_pen_width_);
  ini->WriteFloat2(section, "YLCustViewMin", yl_cust_min_, 15, 3);
  ini->WriteFloat2(section, "YLCustViewMax", yl_cust_max_, 15, 3);
  ini->WriteFloat2(section, "YRCustViewMin", yr_cust_min_, 15, 3);
  ini->WriteFloat2(section, "YRCustViewMax", yr_cust_max_, 15, 3);
  ini->WriteBool(section, "LYAxGrid", LeftGridOn());
  ini->WriteBool(section, "RYAxGrid", RightGridOn());
  ini->WriteBool(section, "ReferenceOn", ReferenceOn());
  for (int a = 0; a < 2; ++a) ini->WriteBool(section, "LockedYAx" + std::to_string(a), IsAxisLocked(a));
}

struct TPlotVO::TStoredKeys {
  std::function<bool(const std::string&)> Has;
  // Default when the stored text is not of the type.
  std::function<int32_t(const std::string&, int32_t)> Int;
  std::function<bool(const std::string&, bool)> Bool;
  // Raises for a text that is no number.
  std::function<double(const std::string&)> Float;
  std::function<std::string(const std::string&)> Text;
  std::string Where;
};

void TPlotVO::LoadAxisLocks(const TStoredKeys& keys) {
  for (int a = 0; a < 2; ++a) {
    const std::string key = "LockedYAx" + std::to_string(a);
    if (keys.Has(key)) SetAxisLocked(a, keys.Bool(key, false));
  }
}

void TPlotVO::LoadSettings(const TStoredKeys& keys) {
  if (keys.Has("XMargin")) SetXMargin(keys.Int("XMargin", x_margin_));
  if (keys.Has("YMargin")) SetYMargin(keys.Int("YMargin", y_margin_));
  if (keys.Has("GridPenWidth")) SetGridPenWidth(keys.Int("GridPenWidth", grid_pen_width_));
  if (keys.Has("XZeroPenWidth")) SetXZeroPenWidth(keys.Int("XZeroPenWidth", x_zero_pen_width_));
  if (keys.Has("YZeroPenWidth")) SetYZeroPenWidth(keys.Int("YZeroPenWidth", y_zero_pen_width_));
  auto custom_end = [&](const char* key) {
    double value = kBadFloat;
    if (keys.Has(key)) try {
        value = keys.Float(key);
      } catch (const std::exception&) {
        // One unreadable number must not end the restore of the stored pages.
        Report("Unreadable number \"" + keys.Text(key) + "\" for " + key + " in " + keys.Where +
               ": the end stays automatic");
      }
    return !std::isfinite(value) || IsBad(value) ? kBadFloat : value;
  };
  const double l_min = custom_end("YLCustViewMin"), l_max = custom_end("YLCustViewMax");
  const double r_min = custom_end("YRCustViewMin"), r_max = custom_end("YRCustViewMax");
  SetLeftCustRange(l_max, l_min);
  SetRightCustRange(r_max, r_min);
  // A stored range that is empty or reversed would give the axis no scale: back to automatic.
  if (!(GetLeftMin() < GetLeftMax())) SetLeftCustRange(kBadFloat, kBadFloat);
  if (!(GetRightMin() < GetRightMax())) SetRightCustRange(kBadFloat, kBadFloat);
  if (keys.Has("LYAxGrid")) SetLeftGrid(keys.Bool("LYAxGrid", ly_grid_));
  if (keys.Has("RYAxGrid")) SetRightGrid(keys.Bool("RYAxGrid", ry_grid_));
  if (keys.Has("ReferenceOn")) SetReferenceOn(keys.Bool("ReferenceOn", true));
}

void TPlotVO::LoadIniSection(TIniFile2* ini, const std::string& section) {
  if (!ini || section.empty()) throw Exception("TPlotVO.LoadIniSection: Inifile nil or no Section");
  const TStoredKeys keys{[&](const std::string& k) { return ini->ValueExists(section, k); },
                         [&](const std::string& k, int32_t def) { return ini->ReadInteger(section, k, def); },
                         [&](const std::string& k, bool def) { return ini->ReadBool(section, k, def); },
                         [&](const std::string& k) { return ini->ReadFloat2(section, k, kBadFloat); },
                         [&](const std::string& k) { return ini->ReadString(section, k, ""); },
                         "[" + section + "]"};
  LoadAxisLocks(keys);
  TDiagramVO::LoadIniSection(ini, section);
  LoadSettings(keys);
}

void TPlotVO::LoadRegKey(TRegistry* registry) {
  if (!registry || !registry->HasCurrentKey()) throw Exception("TPlotVO.LoadRegKey: registry nil or invalid key!");
  const TStoredKeys keys{[&](const std::string& k) { return registry->ValueExists(k); },
                         [&](const std::string& k, int32_t def) { return ReadRegInteger(*registry, k, def); },
                         [&](const std::string& k, bool def) { return ReadRegInteger(*registry, k, def) != 0; },
                         [&](const std::string& k) { return registry->ReadFloat(k); },
                         [&](const std::string& k) { return registry->ReadString(k); },
                         "key \\" + registry->CurrentPath()};
  LoadAxisLocks(keys);
  // The base opens the object's key again after its channels.
  TDiagramVO::LoadRegKey(registry);
  LoadSettings(keys);
}

// ---- TDtPlotVO ----

TDtPlotVO::TDtPlotVO(TComponent* owner) : TPlotVO(owner) {}

void TDtPlotVO::AfterConstruction() {
  TPlotVO::AfterConstruction();
  DtPlotBox()->OnZoomRequest = [this](TComponent*, uint8_t kind, const TDtStamp& stamp) { ZoomRequest(kind, stamp); };
}

std::string TDtPlotVO::GetTypeDescr() const { return LoadResString("dpl_TypeDescr"); }

TDtPlotBox* TDtPlotVO::DtPlotBox() const { return static_cast<TDtPlotBox*>(plot_box_); }
TAxisScale* TDtPlotVO::BottomAxis() const { return bottom_axis_; }
TAxisScale* TDtPlotVO::TopAxis() const { return top_axis_; }
TAxisLabel* TDtPlotVO::FineRow() const { return fine_row_; }
TAxisLabel* TDtPlotVO::CoarseRow() const { return coarse_row_; }

void TDtPlotVO::CreateTimeAxes() {
  TVoPanel* client = ClientPanel();
  bottom_axis_ = new TDtAxisScale(this, XZeroPenWidth(), GridPenWidth(), NoDtStamp, NoDtStamp, 3, nullptr);
  bottom_axis_->SetParent(client);
  top_axis_ = new TDtAxisScale(this, XZeroPenWidth(), GridPenWidth(), NoDtStamp, NoDtStamp, 2, bottom_axis_);
  top_axis_->SetParent(client);
  fine_row_ = new TDt1AxisLabel(this, bottom_axis_);
  fine_row_->SetParent(client);
  fine_row_->Font().Assign(LabelFont);
  coarse_row_ = new TDt2AxisLabel(this, bottom_axis_);
  coarse_row_->SetParent(client);
  coarse_row_->Font().Assign(CaptionFont);
}

void TDtPlotVO::CreatePlotBox() {
  plot_box_ = new TDtPlotBox(this, RightAxis(), LeftAxis(), bottom_axis_);
  plot_box_->SetParent(ClientPanel());
}

void TDtPlotVO::FollowNavigator() {
  auto* nav = dynamic_cast<TDtNavigator*>(DtNavigator);
  if (nav && nav->Dt1Start.Date != NoDayNo && nav->Dt1Stop.Date != NoDayNo)
    bottom_axis_->SetInterval(nav->Dt1Start, nav->Dt1Stop);
}

void TDtPlotVO::DataNotify(TData* data, int32_t event) {
  switch (event) {
    case deManyChanged:
      FollowNavigator();
      RepaintPlot();
      break;
    case deOneChanged:
      if (auto* dt = dynamic_cast<TDtData*>(data)) DtPlotBox()->OnlineInsert(dt);
      break;
    default: TPlotVO::DataNotify(data, event);
  }
}

void TDtPlotVO::Register(TData* data, bool shown) {
  data->AddClient(this, shown ? kShownEvents : kHiddenEvents, [this](TData* d, int32_t e) { DataNotify(d, e); });
}

void TDtPlotVO::AddDataClient(TData* data) { Register(data, !Deactivated); }

void TDtPlotVO::Deactivate() {
  TPlotVO::Deactivate();
  if (TGlobChanList* list = vobGlobChanList())
    for (int i = 0; i < list->DataCount(); ++i) Register(list->GetData_I(i), false);
}

void TDtPlotVO::Activate() {
  if (TGlobChanList* list = vobGlobChanList())
    for (int i = 0; i < list->DataCount(); ++i) Register(list->GetData_I(i), true);
  TPlotVO::Activate();
}

bool TDtPlotVO::AddGlobChan(TData* data, TChannel* channel) {
  const bool was_empty = GetGlobChanCount() == 0;
  const bool added = TPlotVO::AddGlobChan(data, channel);
  if (added && was_empty) {
    FollowNavigator();
    RepaintPlot();
  }
  return added;
}

void TDtPlotVO::ZoomRequest(uint8_t kind, const TDtStamp& stamp) {
  TNavigator0* nav = DtNavigator;
  if (!nav || AutoScrollActive) return;
  auto* dt_nav = dynamic_cast<TDtNavigator*>(nav);
  if (!dt_nav) return;
  switch (kind) {
    case 0: nav->Zoom(); break;
    case 1: dt_nav->ZoomAt(stamp); break;
    case 2: nav->Unzoom(); break;
    default: break;
  }
}

// ---- class registration ----

const TVisObjClass DtPlotVOClass{"TDtPlotVO", &DiagramVOClass, [] { return LoadResString("dpl_TypeDescr"); },
                                 [](TComponent* owner) -> TVisObj* { return CreateVisObj<TDtPlotVO>(owner); }};

void RegisterPlotClasses() {
  if (std::find(DefaultVisObjClasses.begin(), DefaultVisObjClasses.end(), &DtPlotVOClass) == DefaultVisObjClasses.end())
    DefaultVisObjClasses.push_back(&DtPlotVOClass);
}

}  // namespace qv
