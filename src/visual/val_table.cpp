#include "visual/val_table.h"

#include <algorithm>
#include <cmath>

#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "base/res_string.h"
#include "datastore/channel.h"
#include "datastore/dt_navigator.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/rtl/date_time.h"
#include "platform/gui/list_ctrls.h"

namespace qv {

namespace {

constexpr uint16_t kNoDay = 0xFFFF;
constexpr uint16_t kVkPrior = 33, kVkNext = 34, kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkUp = 38, kVkRight = 39,
                   kVkDown = 40;
constexpr int kButtonSize = 17;
constexpr int kScrollMax = 500;
constexpr uint32_t kHintMs = 3000;

TDtNavigator* DayNavigator() { return dynamic_cast<TDtNavigator*>(DtNavigator); }

// How many scrolled columns fit the grid beside its fixed ones, counted from `from` on in the
// direction of step; at least one.
int FittingCols(const TStringGrid* g, int from, int step) {
  const int lw = (g->Options() & (goVertLine | goFixedVertLine)) ? g->GridLineWidth() : 0;
  int avail = g->ClientWidth();
  for (int c = 0; c < g->FixedCols(); ++c) avail -= g->ColWidths(c) + lw;
  int n = 0, x = 0;
  for (int c = from; c >= g->FixedCols() && c < g->ColCount(); c += step) {
    x += g->ColWidths(c) + lw;
    if (x - lw > avail) break;
    ++n;
  }
  return std::max(n, 1);
}

TSpeedButton* NewDayButton(TValTable* table, TWinControl* parent, const std::string& image, const char* fallback,
                           bool forward) {
  auto* b = new TSpeedButton(table);
  b->SetParent(parent);
  b->SetBounds(0, 0, kButtonSize, kButtonSize);
  LoadButtonGlyph(b, image);
  if (b->Glyph().Empty()) b->SetCaption(fallback);
  b->SetShowHint(true);
  b->OnClick = [table, forward](TComponent*) { table->DayButtonClick(forward); };
  b->OnMouseMove = [table](TComponent*, TShiftState, int, int) { table->HideCellHint(); };
  return b;
}

}  // namespace

const TVisObjClass ValTableClass{"TValTable", &TableVOClass, [] { return LoadResString("tvo_TypeDescr"); },
                                 [](TComponent* owner) -> TVisObj* { return CreateVisObj<TValTable>(owner); }};

void RegisterTableClasses() {
  if (std::find(DefaultVisObjClasses.begin(), DefaultVisObjClasses.end(), &ValTableClass) == DefaultVisObjClasses.end())
    DefaultVisObjClasses.push_back(&ValTableClass);
}

TValTable::TValTable(TComponent* owner) : TTableVO(owner) {}

TValTable::~TValTable() {
  view_.reset();
  prototype_.reset();
}

void TValTable::AfterConstruction() {
  TTableVO::AfterConstruction();
  // Without this the print command of a value table does nothing.
  DefaultVOOptions = static_cast<TVOOptions>(DefaultVOOptions | voPrintEnabled);
  SetVOOptions(static_cast<TVOOptions>(VOOptions() | voPrintEnabled));
  if (title_label_) title_label_->SetCaption("");
  UpdateLanguage();
}

void TValTable::CreateGrid() {
  TTableVO::CreateGrid();
  grid_->SetBorderStyle(TBorderStyle::bsNone);
  grid_->SetScrollBars(TScrollStyle::ssHorizontal);
  day_back_ = NewDayButton(this, ClientPanel(), "Images/DblUpArr.bmp", "<<", false);
  day_forw_ = NewDayButton(this, ClientPanel(), "Images/DblDown.bmp", ">>", true);
  scroll_bar_ = new TScrollBar(this);
  scroll_bar_->SetParent(ClientPanel());
  scroll_bar_->SetRange(0, kScrollMax);
  scroll_bar_->SetTabStop(false);
  scroll_bar_->OnScroll = [this](TComponent*, TScrollCode code, int& position) { ScrollBarScroll(code, position); };
}

void TValTable::ArrangeTitleLabel() {
  if (title_label_)
    title_label_->SetCaption(day_ == kNoDay ? "" : FormatDateTime("ddddd", DtStampToDateTime(TDtStamp{day_, 0})));
  TTableVO::ArrangeTitleLabel();
  ArrangeButtons();
}

void TValTable::ArrangeButtons() {
  if (!grid_ || !day_back_) return;
  // The day buttons stand at the right of the grid, one above the other.
  const int width = std::max(grid_->Width() - kButtonSize - 3, 0);
  grid_->SetBounds(grid_->Left(), grid_->Top(), width, grid_->Height());
  day_back_->SetBounds(grid_->Left() + width + 2, grid_->Top(), kButtonSize, kButtonSize);
  day_forw_->SetBounds(grid_->Left() + width + 2, grid_->Top() + kButtonSize, kButtonSize, kButtonSize);
  if (scroll_bar_)
    scroll_bar_->SetBounds(grid_->Left() + width + 2, grid_->Top() + 2 * kButtonSize, kButtonSize,
                           std::max(grid_->Height() - 2 * kButtonSize, 0));
  const int rows = grid_->RowCount();
  AdjustRowCount();
  if (grid_->RowCount() > rows) FillCells(grid_);
}

void TValTable::AdjustRowCount() {
  if (!grid_) return;
  const int row_height = std::max(grid_->DefaultRowHeight(), 1);
  grid_->SetRowCount(std::max(grid_->Height() / row_height + 1, grid_->FixedRows() + 1));
}

int TValTable::DataRows() const { return grid_ ? grid_->RowCount() - grid_->FixedRows() : 0; }

void TValTable::UpdateLanguage() {
  TTableVO::UpdateLanguage();
  if (day_back_) day_back_->SetHint(LoadResString("b_hint_DayBack"));
  if (day_forw_) day_forw_->SetHint(LoadResString("b_hint_DayForw"));
  ArrangeTitleLabel();
}

// ---- the view ----

void TValTable::CreateView() {
  const int count = GetGlobChanCount();
  prototype_ = std::make_unique<TDtRecord>(count);
  view_ = std::make_unique<TDataView>(prototype_.get());
  view_->SetSourceRange(2);
  view_->SkipEmptyRows = true;
  view_->SetGlobChanList(vobGlobChanList());
  view_->FreeBuffer();
}

void TValTable::FreeView() {
  view_.reset();
  prototype_.reset();
}

void TValTable::UpdateDay() {
  NoteUserActivity();
  TDtNavigator* nav = DayNavigator();
  uint16_t day = day_;
  if (view_ && nav)
    day = nav->Dt2Start.Date;
  else if (!view_)
    day = kNoDay;
  if (day == day_) return;
  day_ = day;
  ArrangeTitleLabel();
}

void TValTable::GotoTime(int32_t time, bool from_start) {
  bool found = view_->GotoDt(TDtStamp{day_, time}, from_start);
  if (found) {
    // The row found may be the next day's first, which the window still holds.
    view_->RestorePosition();
    found = view_->Next() && view_->DtRec()->Date == day_;
  }
  if (!found) GotoLastRow();
}

void TValTable::GotoLastRow() {
  if (!view_->GotoLast()) return;
  // The window may end with the first record of the next day, which the table does not show:
  // the last row is the day's last one.
  for (int i = view_->RecordCount(); i > 0; --i) {
    view_->RestorePosition();
    if (!view_->Next() || view_->DtRec()->Date <= day_) return;
    bool at_bound = false;
    view_->MoveByEx(-1, at_bound);
    if (at_bound) return;
  }
}

void TValTable::GotoNewestRows() {
  GotoLastRow();
  if (view_->RecordCount() == 0) return;
  const int visible = grid_ ? grid_->VisibleRowCount() : 1;
  view_->MoveBy(-std::max(visible - 2, 0));
}

void TValTable::SetCurrentTime(int32_t time) {
  if (time == current_time_) return;
  current_time_ = time;
  UpdateScrollPos();
}

namespace {
// The first and last row times of the view, clamped to the day.
bool DayBounds(TDataView& view, uint16_t day, int32_t& first, int32_t& last) {
  auto clamp = [day](const TDtRecord& r) { return r.Date < day ? 0 : r.Date > day ? 86399 : r.Time; };
  if (!view.First()) return false;
  first = clamp(*view.DtRec());
  last = view.Last() ? clamp(*view.DtRec()) : first;
  return true;
}
}  // namespace

void TValTable::UpdateScrollPos() {
  if (!view_ || current_time_ < 0) return;
  int32_t h = 0, l = 0;
  {
    TDataLock lock(*view_);
    if (!DayBounds(*view_, day_, h, l)) return;
  }
  int pos = 0;
  if (h < l) pos = static_cast<int>(std::nearbyint(static_cast<double>(current_time_ - h) * kScrollMax / (l - h)));
  scroll_pos_ = std::clamp(pos, 0, kScrollMax);
  if (scroll_bar_) scroll_bar_->SetPosition(scroll_pos_);
}

void TValTable::ScrollBarScroll(TScrollCode code, int& position) {
  NoteUserActivity();
  if (!view_ || view_->RecordCount() == 0) {
    position = scroll_pos_;
    return;
  }
  bool fill = true;
  {
    TDataLock lock(*view_);
    int32_t h = 0, l = 0;
    DayBounds(*view_, day_, h, l);
    const int min = scroll_bar_ ? scroll_bar_->Min() : 0, max = scroll_bar_ ? scroll_bar_->Max() : kScrollMax;
    auto target = [&] {
      return max == min ? h
                        : static_cast<int32_t>(
                              std::nearbyint(static_cast<double>(l - h) * (position - min) / (max - min) + h));
    };
    const int visible = grid_ ? grid_->VisibleRowCount() : 1;
    switch (code) {
      case TScrollCode::scLineUp: view_->MoveBy(-1); break;
      case TScrollCode::scLineDown: view_->MoveBy(1); break;
      case TScrollCode::scPageUp: view_->MoveBy(-visible); break;
      case TScrollCode::scPageDown: view_->MoveBy(visible); break;
      case TScrollCode::scPosition: {
        const int32_t t = std::clamp(target(), h, l);
        GotoTime(t, t < current_time_);
        HideCellHint();
        break;
      }
      case TScrollCode::scTrack: {
        // While the thumb is dragged, the time it stands for shows beside it; the rows stay.
        fill = false;
        const int arrow = scroll_bar_->Width();
        const int travel = std::max(scroll_bar_->Height() - 2 * arrow, 0);
        const int y =
            scroll_bar_->Top() + arrow +
            (max == min ? 0
                        : static_cast<int>(std::nearbyint(static_cast<double>(position - min) * travel / (max - min))));
        const std::string text =
            FormatDateTime("tt", DtStampToDateTime(TDtStamp{day_, std::clamp(target(), 0, 86399)}));
        const TRect r = HintWindow()->CalcHintRect(200, text);
        const TPoint at = ClientPanel()->ClientToScreen(TPoint{scroll_bar_->Left() - r.Width() - 5, y});
        ShowCellHint(text, at, kHintMs);
        break;
      }
      default: break;
    }
  }
  if (fill) FillCells(grid_);
  position = scroll_pos_;
}

void TValTable::GlobChansChanged() {
  const bool had_view = view_ != nullptr;
  TTableVO::GlobChansChanged();
  if (BeingDestroyed()) return;
  const int count = GetGlobChanCount();
  bool created = false;
  if (count > 0) {
    if (view_) {
      if (static_cast<int>(view_->DtRec()->ValueCount()) != count) view_->SetValueCount(count);
    } else {
      CreateView();
      created = true;
      UpdateDay();
    }
  } else if (view_) {
    FreeView();
    UpdateDay();
    current_time_ = -1;
  }
  if (view_) {
    // The rebuild takes the registry's lock before the view's, so the view is not held here.
    view_->Rebuild();
    TDataLock lock(*view_);
    if (created || current_time_ < 0 || day_ == kNoDay) {
      if (!view_->GotoFirst()) GotoLastRow();
    } else {
      GotoTime(current_time_);
    }
  }
  if (count > 0 || had_view) FillCells(grid_);
}

void TValTable::FillCells(TStringGrid* grid) {
  if (!grid) return;
  const std::string normal = FormatPrefix(TCellFormat{2050, 0, clBlack, 0});
  const std::string alarm = FormatPrefix(TCellFormat{2050, 0, 255, static_cast<uint8_t>(TFontStyle::fsBold)});
  int row = grid->FixedRows();
  if (view_) {
    TDataLock lock(*view_);
    view_->RestorePosition();
    const int count = std::min(GetGlobChanCount(), static_cast<int>(view_->DtRec()->ValueCount()));
    int32_t first_time = -1;
    while (row < grid->RowCount() && view_->Next()) {
      const TDtRecord& r = *view_->DtRec();
      // A row of the day before or after that the window still holds takes no grid row.
      if (r.Date != day_) continue;
      if (first_time < 0) first_time = r.Time;
      grid->SetCells(0, row, normal + TimeCaption(DtStampToDateTime(TDtStamp{r.Date, r.Time})));
      for (int c = 0; c < count; ++c) {
        const double value = r.GetValues(c);
        TChannel* chan = Column(c)->Channel();
        if (value <= NoValue)
          grid->SetCells(c + 1, row, "");
        else
          grid->SetCells(c + 1, row, (chan->OutsideAlarm(value) ? alarm : normal) + chan->ValueToStr(value) + " ");
      }
      ++row;
    }
    // The scroll position reads the view too: only after the rows are read.
    if (first_time >= 0 && grid == grid_) SetCurrentTime(first_time);
  }
  for (; row < grid->RowCount(); ++row)
    for (int c = 0; c < grid->ColCount(); ++c) grid->SetCells(c, row, "");
}

// ---- following the data ----

void TValTable::AddDataClient(TData* data) {
  TDataEvents events = 0;
  for (int e : {0, 1, 3, 4, 5, 7, 8}) events |= DataEventBit(e);
  data->AddClient(this, events, [this](TData* d, int32_t event) { DataNotify(d, event); });
}

void TValTable::DataNotify(TData* data, int32_t event) {
  auto* dt = dynamic_cast<TDtData*>(data);
  if (event == deManyChanged) {
    if (view_ && dt) {
      TDtStamp newest;
      {
        TDataLock lock(*dt);
        newest = dt->GetNewestDt();
      }
      if (newest.Date == day_) {
        TDataLock lock(*view_);
        // Last reads the last row without moving the position the table shows.
        const bool any = view_->Last() && view_->DtRec()->Date == day_;
        const int32_t last = any ? view_->DtRec()->Time : -1;
        const int32_t newest_time = newest.Time;
        if ((last >= 0 && newest_time >= 0 && last < newest_time) || ((last < 0) != (newest_time < 0)))
          newest_changed_ = true;
      }
    }
    if (Deactivated) {
      reload_on_activate_ = true;
    } else if (!reload_pending_) {
      reload_pending_ = true;
      PostMessage(WM_VALTABLE_RELOAD, 0, 0);
    }
    return;
  }
  if (event == deOneChanged) {
    if (view_ && dt) {
      TDtStamp newest;
      {
        TDataLock lock(*dt);
        newest = dt->GetNewestDt();
      }
      if (newest.Date == day_) {
        view_->AppendNewest(data);
        {
          TDataLock lock(*view_);
          if (AutoScrollActive) GotoNewestRows();
        }
        FillCells(grid_);
      }
    }
    return;
  }
  TTableVO::DataNotify(data, event);
}

void TValTable::WndProc(TMessage& message) {
  if (message.Msg == WM_VALTABLE_RELOAD) {
    Reload();
    return;
  }
  TTableVO::WndProc(message);
}

void TValTable::Reload() {
  reload_pending_ = false;
  reload_on_activate_ = false;
  const uint16_t old_day = day_;
  UpdateDay();
  if (view_) {
    if (day_ != old_day || newest_changed_) {
      view_->Rebuild();
      TDataLock lock(*view_);
      if (AutoScrollActive)
        GotoNewestRows();
      else if (current_time_ < 0 || day_ == kNoDay || view_->RecordCount() == 0) {
        if (!view_->GotoFirst()) GotoLastRow();
      } else {
        GotoTime(current_time_);
      }
      FillCells(grid_);
      UpdateScrollPos();
    } else if (TDtNavigator* nav = DayNavigator();
               nav && nav->ZoomLevel > 9 && !AutoScrollActive && nav->Dt1Start.Date != kNoDay) {
      TDataLock lock(*view_);
      GotoTime(nav->Dt1Start.Time);
      FillCells(grid_);
    }
  }
  newest_changed_ = false;
}

void TValTable::Deactivate() {
  TTableVO::Deactivate();
  TGlobChanList* list = vobGlobChanList();
  TDataEvents events = 0;
  for (int e : {0, 1, 3, 4, 5}) events |= DataEventBit(e);
  // A hidden page neither follows the day nor keeps buffers.
  for (int i = 0; list && i < list->DataCount(); ++i)
    list->GetData_I(i)->AddClient(this, events, [this](TData* d, int32_t event) { DataNotify(d, event); });
}

void TValTable::Activate() {
  TTableVO::Activate();
  TGlobChanList* list = vobGlobChanList();
  for (int i = 0; list && i < list->DataCount(); ++i) AddDataClient(list->GetData_I(i));
  // Following the day again may have reopened the data sets, which posts a reload already.
  if (reload_on_activate_ && !reload_pending_) Reload();
}

// ---- keys and day buttons ----

void TValTable::DayButtonClick(bool forward) {
  NoteUserActivity();
  if (AutoScrollActive) return;
  if (TDtNavigator* nav = DayNavigator()) {
    if (forward)
      nav->NextDay();
    else
      nav->PrevDay();
  }
}

bool TValTable::HandleKey(uint16_t& key, TShiftState shift) {
  if (!view_ || !grid_) return TTableVO::HandleKey(key, shift);
  const bool ctrl = (shift & ssCtrl) != 0;
  const int visible_rows = grid_->VisibleRowCount();
  const int fixed = grid_->FixedCols();
  const int left = grid_->LeftCol();
  auto move = [&](int n) {
    {
      TDataLock lock(*view_);
      view_->MoveBy(n);
    }
    FillCells(grid_);
  };
  switch (key) {
    case kVkUp:
    case kVkDown:
      if (ctrl) {
        DayButtonClick(key == kVkDown);
      } else {
        move(key == kVkUp ? -1 : 1);
      }
      return true;
    case kVkPrior: move(-visible_rows); return true;
    case kVkNext: move(visible_rows); return true;
    case kVkHome:
    case kVkEnd: {
      {
        TDataLock lock(*view_);
        if (key == kVkHome)
          view_->GotoFirst();
        else
          GotoLastRow();
      }
      FillCells(grid_);
      return true;
    }
    case kVkLeft: {
      const int page = FittingCols(grid_, left - 1, -1);
      if (ctrl)
        grid_->SetLeftCol(left - fixed < page ? fixed : left - page);
      else
        grid_->SetLeftCol(std::max(fixed, left - 1));
      return true;
    }
    case kVkRight: {
      const int last_page = std::max(fixed, grid_->ColCount() - FittingCols(grid_, grid_->ColCount() - 1, -1));
      const int page = FittingCols(grid_, left, 1);
      if (ctrl)
        grid_->SetLeftCol(grid_->ColCount() - left >= 2 * page ? left + page : last_page);
      else
        grid_->SetLeftCol(std::max(left, std::min(left + 1, last_page)));
      return true;
    }
    default: return TTableVO::HandleKey(key, shift);
  }
}

}  // namespace qv
