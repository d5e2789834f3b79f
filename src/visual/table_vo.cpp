#include "visual/table_vo.h"

#include <algorithm>
#include <cstdlib>

#include "base/archive_hooks.h"
#include "base/ini_file2.h"
#include "base/registry.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "base/select_dlg.h"
#include "comm/process_window_service.h"
#include "datastore/channel.h"
#include "datastore/data.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format.h"
#include "visual/d29_sel_glob_chan.h"
#include "visual/d39_retrieve_tbl_col.h"
#include "visual/d41_setup_gl_chans.h"

namespace qv {

TMultiSelectDlgProc MultiSelectDlgProc;

namespace {

constexpr uint32_t kFixedColFlags = DT_NOPREFIX;                            // 2048
constexpr uint32_t kCentredFlags = DT_NOPREFIX | DT_WORDBREAK | DT_CENTER;  // 2065
constexpr uint32_t kRightFlags = DT_NOPREFIX | DT_RIGHT;                    // 2050
constexpr uint32_t kMeasureFlags = kCentredFlags | DT_CALCRECT;             // 3089
constexpr uint32_t kHintMs = 3000;
constexpr int kDefaultRowHeight = 24;
const char* const kStyleLetters = "BIUS";

constexpr uint8_t Bold() { return static_cast<uint8_t>(TFontStyle::fsBold); }

TCellFormat MakeFormat(uint32_t flags, uint8_t join, TColor color, uint8_t style) {
  return TCellFormat{flags, join, color, style};
}

// One decimal number ended by "X", from pos on.
int32_t ReadNumber(const std::string& cell, size_t& pos) {
  const size_t x = cell.find('X', pos);
  if (x == std::string::npos) throw Exception("Table.ExtractFormatStr: FormatError");
  const std::string digits = cell.substr(pos, x - pos);
  char* end = nullptr;
  const long long value = digits.empty() ? 0 : std::strtoll(digits.c_str(), &end, 10);
  if (digits.empty() || *end != '\0' || value < INT32_MIN || value > UINT32_MAX)
    throw Exception("'" + digits + "' is not a valid integer value");
  pos = x + 1;
  return static_cast<int32_t>(static_cast<int64_t>(value));
}

}  // namespace

// ---- cell formats ----

std::string FormatPrefix(const TCellFormat& f) {
  std::string s = std::to_string(f.Flags) + "X" + std::to_string(f.JoinMode) + "X" + std::to_string(f.Color) + "X";
  for (int i = 0; i < 4; ++i) {
    s += (f.Style & (1u << i)) ? kStyleLetters[i] : '0';
    s += 'X';
  }
  return s;
}

TCellFormat ExtractFormatStr(const std::string& cell, std::string& text) {
  TCellFormat f;
  text.clear();
  if (cell.empty()) return f;
  size_t pos = 0;
  f.Flags = static_cast<uint32_t>(ReadNumber(cell, pos));
  const int32_t join = ReadNumber(cell, pos);
  if (join < 0 || join > 2) throw Exception("Table.ExtractFormatStr: FormatError");
  f.JoinMode = static_cast<uint8_t>(join);
  f.Color = ReadNumber(cell, pos);
  f.Style = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos + 2 > cell.size() || cell[pos + 1] != 'X') throw Exception("Table.ExtractFormatStr: FormatError");
    if (cell[pos] == kStyleLetters[i])
      f.Style |= static_cast<uint8_t>(1u << i);
    else if (cell[pos] != '0')
      throw Exception("Table.ExtractFormatStr: FormatError");
    pos += 2;
  }
  text = cell.substr(pos);
  return f;
}

TCellFormat InitCellFormat(TCanvas& canvas) {
  return MakeFormat(kCentredFlags, 0, canvas.Font().Color(), canvas.Font().Style());
}

std::string TimeCaption(TDateTime time) { return FormatDateTime("tt", time) + " "; }

int ScaleWidth(int w) {
  // W x 1.1 + 0.5 in exact integers, rounded half to even.
  const int64_t n = 11 * static_cast<int64_t>(w) + 5;
  int64_t q = n / 10, r = n % 10;
  if (r < 0) {
    q -= 1;
    r += 10;
  }
  return static_cast<int>((r > 5 || (r == 5 && (q & 1))) ? q + 1 : q);
}

int SegmentWidth(const std::string& text, const TTextWidthFunc& measure) {
  int widest = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A segment ends after a backslash that no second backslash follows.
    if (text[i] == '\\' && (i + 1 >= text.size() || text[i + 1] != '\\')) {
      widest = std::max(widest, measure(text.substr(start, i + 1 - start)));
      start = i + 1;
    }
  }
  if (start < text.size()) widest = std::max(widest, measure(text.substr(start)));
  return widest;
}

// ---- TTableGlbChan ----

void TTableGlbChan::Assign(const TGlobalChannel* source) {
  TGlobalChannel::Assign(source);
  if (const auto* t = dynamic_cast<const TTableGlbChan*>(source)) {
    ValueWidth = t->ValueWidth;
    HeaderWidth = t->HeaderWidth;
    ScreenWidth = t->ScreenWidth;
    PrintWidth = t->PrintWidth;
    JoinMode = t->JoinMode;
  }
}

std::unique_ptr<TGlobalChannel> TTableGlbChan::Clone() const {
  auto copy = std::make_unique<TTableGlbChan>(Data(), Channel());
  copy->Assign(this);
  return copy;
}

// ---- TTableGrid ----

TTableGrid::TTableGrid(TComponent* owner) : TStringGrid(owner) { SetDefaultDrawing(false); }

void TTableGrid::Paint() {
  group_start_ = 0;
  TStringGrid::Paint();
}

void TTableGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  TCanvas& c = DrawCanvas();
  const TColor background = (state & gdFixed) ? FixedColor() : Color();
  const std::string& cell = Cells(col, row);
  if (cell.empty()) {
    group_start_ = 0;
    c.Brush().Color = background;
    c.FillRect(rect);
    return;
  }
  std::string text;
  const TCellFormat f = ExtractFormatStr(cell, text);
  c.Font().SetColor(f.Color);
  c.Font().SetStyle(f.Style);
  TRect area = rect;
  switch (f.JoinMode) {
    case 1:
      if (group_start_ == 0) group_start_ = rect.Left;
      // The group is drawn whole by its last cell, unless it runs out of the visible area here.
      if (rect.Right < ClientWidth() - 2) return;
      area.Left = group_start_;
      group_start_ = 0;
      break;
    case 2:
      if (group_start_ != 0) area.Left = group_start_;
      group_start_ = 0;
      break;
    default: group_start_ = 0; break;
  }
  c.Brush().Color = background;
  c.FillRect(area);
  TRect text_rect{area.Left + 2, area.Top + 2, area.Right - 2, area.Bottom - 2};
  c.Brush().Style = TBrushStyle::bsClear;
  c.DrawText(text, text_rect, f.Flags);
  c.Brush().Style = TBrushStyle::bsSolid;
  if ((state & gdFixed) && Ctl3D()) {
    TRect edge = area;
    Frame3D(c, edge, clBtnHighlight, clBtnShadow, 1);
  }
}

// ---- TTableVO ----

const TVisObjClass TableVOClass{"TTableVO", &SizeVisObjClass, [] { return LoadResString("tvo_TypeDescr"); }, nullptr};

TTableVO::TTableVO(TComponent* owner) : TSizeVisObj(owner) {}

TTableVO::~TTableVO() {
  HideCellHint();
  // The columns go before the grid they describe; the masked ones are this object's own.
  if (mask_list_)
    for (int i = 0; i < mask_list_->DataCount(); ++i) mask_list_->GetData_I(i)->DetachClient(this);
}

void TTableVO::AfterConstruction() {
  TSizeVisObj::AfterConstruction();
  const TCntrVisib visib =
      cvMaxNormBtnVisible | cvMaskBtnVisible | cvDelBtnVisible | cvDelMenVisible | cvEditTitleVis | cvAddDelChanVis;
  DefaultCntrVisib = visib;
  SetCntrVisib(visib);
  mask_list_ = std::make_unique<TGlobChanList>();
  CreateTitleLabel();
  CreateGrid();
  AdjustRowCount();
  FillFixedColumn();
  hint_ = new THintWindow(this);
  hint_->SetColor(clInfoBk);
  hint_timer_ = new TTimer(this);
  hint_timer_->SetEnabled(false);
  hint_timer_->SetInterval(1000);
  hint_timer_->OnTimer = [this](TComponent*) { HideCellHint(); };
  ArrangeTitleLabel();
}

TTableGlbChan* TTableVO::Column(int index) const {
  TGlobChanList* list = vobGlobChanList();
  if (!list || index < 0 || index >= list->Count()) return nullptr;
  return static_cast<TTableGlbChan*>(list->GetGlobChan_I(index));
}

void TTableVO::CreateTitleLabel() {
  title_label_ = new TLabel(this);
  title_label_->SetParent(ClientPanel());
  title_label_->SetAlignment(TAlignment::taLeftJustify);
  title_label_->SetLayout(TTextLayout::tlCenter);
  title_label_->SetWordWrap(true);
  title_label_->SetAutoSize(true);
  title_label_->SetBounds(5, 5, std::max(ClientPanel()->Width() - 10, 0), 16);
  title_label_->SetCaption("Test");
}

void TTableVO::CreateGrid() {
  grid_ = new TTableGrid(this);
  grid_->SetParent(ClientPanel());
  grid_->SetBorderStyle(TBorderStyle::bsSingle);
  grid_->SetColCount(2);
  grid_->SetRowCount(4);
  grid_->SetFixedCols(1);
  grid_->SetFixedRows(3);
  grid_->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine);
  grid_->SetScrollBars(TScrollStyle::ssBoth);
  grid_->OnMouseMove = [this](TComponent*, TShiftState, int x, int y) { GridMouseMove(x, y); };
  grid_->OnTopLeftChanged = [this](TComponent*) { UpdateDeviceRowHeight(); };
  // The table's keys come first; the grid scrolls with the rest.
  grid_->OnKeyDown = [this](TComponent*, uint16_t& key, TShiftState shift) {
    if (HandleKey(key, shift)) key = 0;
  };
}

void TTableVO::ArrangeTitleLabel() {
  TVoPanel* panel = ClientPanel();
  if (!panel) return;
  const int width = std::max(panel->Width() - 10, 0);
  int top = 5;
  if (title_label_) {
    title_label_->SetBounds(5, 5, width, title_label_->Height());
    top = title_label_->Top() + title_label_->Height() + 5;
  }
  // The grid fills the panel below the label, 5 pixels from each edge.
  if (grid_) grid_->SetBounds(5, top, width, std::max(panel->Height() - top - 5, 0));
}

void TTableVO::AdjustRowCount() {
  if (grid_) grid_->SetRowCount(8);
}

void TTableVO::SetHeaderFont(TCanvas& canvas) const {
  canvas.Font().Assign(grid_->Font());
  canvas.Font().SetName("MS Sans Serif");
  canvas.Font().SetStyle(Bold());
}

TTextWidthFunc TTableVO::HeaderMeasure() const {
  return [this](const std::string& text) {
    TCanvas& c = ScreenCanvas();
    SetHeaderFont(c);
    return c.TextWidth(text);
  };
}

void TTableVO::FillFixedColumn() {
  if (!grid_) return;
  const std::string prefix = FormatPrefix(MakeFormat(kFixedColFlags, 0, clBlack, Bold()));
  const std::string texts[3] = {LoadResString("dev_Device"), LoadResString("chn_Channel"), LoadResString("chn_Unit")};
  for (int row = 0; row < 3; ++row) grid_->SetCells(0, row, prefix + texts[row]);
  grid_->SetColWidths(0, ScaleWidth(FixedColumnTextWidth(HeaderMeasure())));
}

int FixedColumnTextWidth(const TTextWidthFunc& measure) {
  int widest = measure("00:00:00 ");
  // The rows' times are written in the locale's long time format, which may be wider (with
  // hours beyond 9 and a morning or afternoon marker).
  for (double t : {10.0 / 24 + 59.0 / 1440, 22.0 / 24 + 59.0 / 1440})
    widest = std::max(widest, measure(TimeCaption(t)));
  for (const char* key : {"dev_Device", "chn_Channel", "chn_Unit"})
    widest = std::max(widest, measure(LoadResString(key)));
  return widest;
}

void TTableVO::FillCells(TStringGrid* grid) {
  if (!grid) return;
  // The base marks its data cells by position only; descendants fill them with values.
  for (int col = 1; col < grid->ColCount(); ++col)
    for (int row = grid->FixedRows(); row < grid->RowCount(); ++row) {
      const bool odd = (col + row) % 2 == 1;
      const TCellFormat f =
          MakeFormat(kCentredFlags, 0, odd ? 0x8000 : 255, odd ? static_cast<uint8_t>(TFontStyle::fsItalic) : Bold());
      grid->SetCells(col, row, FormatPrefix(f));
    }
}

void TTableVO::BuildHeader() {
  if (!grid_) return;
  const int count = GetGlobChanCount();
  if (count == 0) {
    grid_->SetColCount(2);
    grid_->SetDefaultColWidth(64);
    grid_->SetDefaultRowHeight(kDefaultRowHeight);
    for (int row = 0; row < grid_->RowCount(); ++row) {
      grid_->SetCells(0, row, "");
      grid_->SetCells(1, row, "");
    }
    FillFixedColumn();
    return;
  }
  grid_->SetColCount(count + 1);
  TCanvas& canvas = ScreenCanvas();
  SetHeaderFont(canvas);
  grid_->SetDefaultRowHeight(ScaleWidth(canvas.FontLineHeight()) + 3);
  AdjustRowCount();
  FillFixedColumn();
  const TTextWidthFunc measure = HeaderMeasure();
  const std::string right = FormatPrefix(MakeFormat(kRightFlags, 0, clBtnText, Bold()));
  int group_sum = 0;
  for (int i = 0; i < count; ++i) {
    TTableGlbChan* col = Column(i);
    TTableGlbChan* next = i + 1 < count ? Column(i + 1) : nullptr;
    const int gc = i + 1;
    grid_->SetCells(gc, 1, right + col->Channel()->SName());
    grid_->SetCells(gc, 2, right + col->Channel()->Unit());
    col->ValueWidth = col->Channel()->ColWidth(measure);
    const std::string name = col->Data()->GetSName();
    col->HeaderWidth = SegmentWidth(name, measure);
    if (i == 0) col->JoinMode = 0;
    if (next && next->Data()->GetSName() == name) {
      col->JoinMode = 1;
      next->JoinMode = 2;
    } else {
      if (col->JoinMode != 2) col->JoinMode = 0;
      if (next) next->JoinMode = 0;
    }
    grid_->SetCells(gc, 0, FormatPrefix(MakeFormat(kCentredFlags, col->JoinMode, clBtnText, Bold())) + name);
    if (col->JoinMode == 0) {
      col->ScreenWidth = std::max(col->HeaderWidth, col->ValueWidth);
      grid_->SetColWidths(gc, ScaleWidth(col->ScreenWidth));
      group_sum = 0;
      continue;
    }
    col->ScreenWidth = col->ValueWidth;
    grid_->SetColWidths(gc, ScaleWidth(col->ValueWidth));
    group_sum += col->ValueWidth;
    if (col->JoinMode == 2) {
      if (group_sum < col->HeaderWidth) {
        // The group's name is wider than its columns: the last two share the missing width.
        const int half = (col->HeaderWidth - group_sum) / 2 + 1;
        col->ScreenWidth += half;
        grid_->SetColWidths(gc, ScaleWidth(col->ScreenWidth));
        TTableGlbChan* before = Column(i - 1);
        before->ScreenWidth += half;
        grid_->SetColWidths(gc - 1, grid_->ColWidths(gc - 1) + ScaleWidth(half));
      }
      group_sum = 0;
    }
  }
  UpdateDeviceRowHeight();
}

void TTableVO::UpdateDeviceRowHeight() {
  if (!grid_) return;
  const int count = GetGlobChanCount();
  int highest = 0;
  if (count > 0) {
    TCanvas& canvas = ScreenCanvas();
    SetHeaderFont(canvas);
    const int first = grid_->LeftCol();
    const int last = std::min(first + grid_->VisibleColCount(), count);  // a partly shown column counts
    int group_width = 0;
    for (int gc = first; gc <= last; ++gc) {
      TTableGlbChan* col = Column(gc - 1);
      if (!col) break;
      const int width = col->ScreenWidth;
      if (col->JoinMode == 1 && gc < last) {
        group_width += width;
        continue;
      }
      TRect r{0, 0, group_width + width, 0};
      group_width = 0;
      canvas.DrawText(col->Data()->GetSName(), r, kMeasureFlags);
      highest = std::max(highest, r.Height());
    }
  }
  grid_->SetRowHeights(0, highest > 0 ? ScaleWidth(highest) + 5 : kDefaultRowHeight);
}

// ---- grid lines ----

bool TTableVO::GetVertGrid() const { return grid_ && (grid_->Options() & goVertLine); }
bool TTableVO::GetHorzGrid() const { return grid_ && (grid_->Options() & goHorzLine); }

void TTableVO::SetVertGrid(bool on) {
  if (!grid_) throw Exception("TTableVO.SetVertGrid: FGrid must not be nil!");
  grid_->SetOptions(on ? grid_->Options() | goVertLine : grid_->Options() & ~static_cast<uint32_t>(goVertLine));
  UpdateMenus();
}

void TTableVO::SetHorzGrid(bool on) {
  if (!grid_) throw Exception("TTableVO.SetHorzGrid: FGrid must not be nil!");
  grid_->SetOptions(on ? grid_->Options() | goHorzLine : grid_->Options() & ~static_cast<uint32_t>(goHorzLine));
  UpdateMenus();
}

// ---- hints ----

void TTableVO::GridMouseMove(int x, int y) {
  NoteUserActivity();
  if (!grid_) return;
  const TGridCoord cell = grid_->MouseToCell(x, y);
  TTableGlbChan* col = cell.X >= 1 ? Column(cell.X - 1) : nullptr;
  if (col && (cell.Y == 0 || cell.Y == 1)) {
    const TRect r = grid_->CellRect(cell.X, cell.Y);
    const std::string text = cell.Y == 0 ? col->Data()->GetName() : col->Channel()->Name();
    ShowCellHint(text, grid_->ClientToScreen(TPoint{r.Left, r.Top}), kHintMs);
  } else {
    HideCellHint();
  }
}

void TTableVO::ShowCellHint(const std::string& text, TPoint screen_point, uint32_t milliseconds) {
  if (!hint_) return;
  TRect r = hint_->CalcHintRect(200, text);
  OffsetRect(r, screen_point.X, screen_point.Y);
  if (!(hint_->HintVisible() && hint_text_ == text)) hint_->ActivateHint(r, text);
  hint_text_ = text;
  hint_timer_->SetEnabled(false);
  hint_timer_->SetInterval(milliseconds);
  hint_timer_->SetEnabled(true);
}

void TTableVO::HideCellHint() {
  if (hint_ && hint_->HintVisible()) hint_->ReleaseHint();
  if (hint_timer_) hint_timer_->SetEnabled(false);
}

// ---- columns ----

std::unique_ptr<TGlobalChannel> TTableVO::CreateGlobChan(TData* data, TChannel* channel) {
  return std::make_unique<TTableGlbChan>(data, channel);
}

bool TTableVO::CanAcceptGlbChan(TData* data, TChannel* channel, uint8_t& reason) {
  TGlobChanList* list = vobGlobChanList();
  if (!list) throw Exception("Error in TTableVO.CanAcceptGlbChan: FGlobChanList is nil!");
  reason = 0;
  if (!data || !channel) return false;
  auto present = [&](const TGlobChanList* l) {
    if (!l) return false;
    for (int i = 0; i < l->Count(); ++i)
      if (l->GetGlobChan_I(i)->Data() == data && l->GetGlobChan_I(i)->Channel() == channel) return true;
    return false;
  };
  if (present(list) || present(mask_list_.get())) {
    reason = 1;  // already a visible or a hidden column
    return false;
  }
  return list->Count() + (mask_list_ ? mask_list_->Count() : 0) < kMaxTableColumns;
}

bool TTableVO::UsesData(const TData* data) const {
  return (vobGlobChanList() && vobGlobChanList()->ContainsData(data)) || (mask_list_ && mask_list_->ContainsData(data));
}

void TTableVO::ReduceDataClient(TData* data) {
  data->AddClient(this, DataEventBit(deDestroying) | DataEventBit(deChannelsChanged),
                  [this](TData* d, int32_t event) { DataNotify(d, event); });
}

bool TTableVO::AddMaskedGlobChan(TData* data, TChannel* channel) {
  if (!mask_list_ || !data || !channel) return false;
  if (!UsesData(data)) ReduceDataClient(data);
  mask_list_->Add(CreateGlobChan(data, channel));
  if (!GlobChanUpdating) GlobChansChanged();
  return true;
}

void TTableVO::MaskColumn(int index) {
  TGlobChanList* list = vobGlobChanList();
  if (!list || index < 0 || index >= list->Count()) return;
  std::unique_ptr<TGlobalChannel> col = list->Delete(index, false);
  TData* data = col->Data();
  mask_list_->Add(std::move(col));
  // Hidden columns only need to hear that their data set goes or its channels change.
  if (!list->ContainsData(data)) ReduceDataClient(data);
}

void TTableVO::MaskColumns() {
  const int count = GetGlobChanCount();
  if (count == 0) return;
  std::vector<int> chosen;
  if (count == 1) {
    chosen.push_back(0);
  } else {
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) texts.push_back(Column(i)->GetText());
    if (MultiSelectDlgProc) {
      if (MultiSelectDlgProc(LoadResString("tvo_MaskCol"), texts, chosen) != mrOk) return;
    } else {
      TStringList list;
      for (const std::string& t : texts) list.Add(t);
      int32_t index = -1;
      if (!SelectDlgProc || SelectDlgProc(LoadResString("tvo_MaskCol"), "", "", 3, list, index) != mrOk) return;
      if (index >= 0) chosen.push_back(index);
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) MaskColumn(*it);
  GlobChansChanged();
}

void TTableVO::RetrieveColumn() {
  if (dialog_open_ || D39_RetrieveTblCol || !mask_list_ || mask_list_->Count() == 0) return;
  std::vector<std::string> masked, destinations;
  for (int i = 0; i < mask_list_->Count(); ++i) masked.push_back(mask_list_->GetGlobChan_I(i)->GetText());
  for (int i = 0; i < GetGlobChanCount(); ++i) destinations.push_back(Column(i)->GetText());
  destinations.push_back("<" + LoadResString("tvo_AddToEnd") + ">");
  int col = -1, dest = -1;
  dialog_open_ = true;
  try {
    TD39_RetrieveTblCol dlg(Application);
    dlg.SetColumns(masked, destinations);
    dlg.SetColIndex(0);
    dlg.SetDestIndex(static_cast<int>(destinations.size()) - 1);
    int result = mrCancel;
    if (!RunModal(dlg, result)) return;
    if (result == mrOk) {
      col = dlg.GetColIndex();
      dest = dlg.GetDestIndex();
    }
  } catch (...) {
    dialog_open_ = false;
    throw;
  }
  dialog_open_ = false;
  if (col < 0 || col >= mask_list_->Count() || dest < 0) return;
  TGlobChanList* list = vobGlobChanList();
  TData* data = mask_list_->GetGlobChan_I(col)->Data();
  if (!list->ContainsData(data)) AddDataClient(data);
  std::unique_ptr<TGlobalChannel> entry = mask_list_->Delete(col, false);
  list->Insert(std::min(dest, list->Count()), std::move(entry));
  GlobChansChanged();
}

void TTableVO::SetupColumns() {
  if (dialog_open_ || D41_SetupGlChans) return;
  TChanSelList pairs;
  for (int i = 0; i < GetGlobChanCount(); ++i) pairs.push_back({Column(i)->Data(), Column(i)->Channel()});
  for (int i = 0; i < mask_list_->Count(); ++i)
    pairs.push_back({mask_list_->GetGlobChan_I(i)->Data(), mask_list_->GetGlobChan_I(i)->Channel()});
  bool ok = false;
  dialog_open_ = true;
  try {
    TD41_SetupGlChans dlg(Application);
    dlg.SetText(LoadResString("tvo_SetupCols"));
    dlg.SetSelectList(&pairs);
    int result = mrCancel;
    if (!RunModal(dlg, result)) return;
    ok = result == mrOk;
  } catch (...) {
    dialog_open_ = false;
    throw;
  }
  dialog_open_ = false;
  if (!ok) return;
  ClearGlobChans();
  if (pairs.empty()) return;
  BeginGlobChanUpdate();
  for (const TChanSelCell& cell : pairs) AddGlobChan(cell.Data, cell.Channel);
  GlobChansChanged();
}

void TTableVO::AddChanMenuClick(TComponent*) {
  if (dialog_open_ || D29_SelGlobChan) return;
  TData* data = nullptr;
  TChannel* channel = nullptr;
  dialog_open_ = true;
  try {
    TD29_SelGlobChan dlg(Application);
    dlg.SetText(Format(LoadResString("vob_AddChanCapF"), GetGlbChanDescr()));
    dlg.SetFilter([this](TData* d, TChannel* c, uint8_t& reason) { return CanAcceptGlbChan(d, c, reason); });
    dlg.SelectData(GetGlobChanCount() > 0 ? Column(0)->Data() : nullptr);
    int result = mrCancel;
    if (!RunModal(dlg, result)) return;
    if (result == mrOk && dlg.GetSelChannel()) {
      data = dlg.GetSelChannel()->Data;
      channel = dlg.GetSelChannel()->Channel;
    }
  } catch (...) {
    dialog_open_ = false;
    throw;
  }
  dialog_open_ = false;
  if (data && channel) AddGlobChan(data, channel);
}

void TTableVO::DeleteGlobChan(int index) {
  TGlobChanList* list = vobGlobChanList();
  TData* data = list && index >= 0 && index < list->Count() ? list->GetGlobChan_I(index)->Data() : nullptr;
  TSizeVisObj::DeleteGlobChan(index);
  // The base lets the data set go with its last visible column; hidden ones still need to hear
  // that it goes away.
  if (data && mask_list_ && mask_list_->ContainsData(data) && !list->ContainsData(data)) ReduceDataClient(data);
}

void TTableVO::ClearGlobChans() {
  TSizeVisObj::ClearGlobChans();
  if (!mask_list_) return;
  while (mask_list_->Count() > 0) {
    TData* data = mask_list_->GetGlobChan_I(0)->Data();
    mask_list_->Delete(0, true);
    if (!UsesData(data)) data->DetachClient(this);
  }
  UpdateMenus();
}

void TTableVO::GlobChansChanged() {
  TSizeVisObj::GlobChansChanged();
  if (BeingDestroyed()) return;
  BuildHeader();
}

void TTableVO::DataNotify(TData* data, int32_t event) {
  switch (event) {
    case deDestroying: {
      TSizeVisObj::DataNotify(data, event);
      if (mask_list_ && mask_list_->ContainsData(data)) {
        for (int i = mask_list_->Count() - 1; i >= 0; --i)
          if (mask_list_->GetGlobChan_I(i)->Data() == data) mask_list_->Delete(i, true);
        data->DetachClient(this);
        GlobChansChanged();
      }
      break;
    }
    case deNameChanged: BuildHeader(); break;
    case deChannelsChanged:
      BuildHeader();
      TSizeVisObj::DataNotify(data, event);
      if (mask_list_) mask_list_->UpdateIndexes();
      break;
    default: TSizeVisObj::DataNotify(data, event); break;
  }
}

// ---- texts, menus ----

void TTableVO::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("tvo_TitPrefix"); }
std::string TTableVO::GetGlbChanDescr() const { return LoadResString("tvo_GlbChanDescr"); }
std::string TTableVO::GetTypeDescr() const { return LoadResString("tvo_TypeDescr"); }

void TTableVO::UpdateLanguage() {
  TSizeVisObj::UpdateLanguage();
  FillFixedColumn();
}

void TTableVO::CreatePopupMenu() {
  TSizeVisObj::CreatePopupMenu();
  TMenuItem* items = Popup()->Items();
  // The column commands go before the class separator, the grid toggles before the print
  // separator (the last but one entry).
  int pos = items->Count() - 2;
  auto add = [&](const std::string& key, TNotifyEvent click) {
    auto* item = new TMenuItem(this);
    item->SetCaption(LoadResString(key));
    item->OnClick = std::move(click);
    items->Insert(pos++, item);
    return item;
  };
  men_setup_ = add("tvo_SetupCols", [this](TComponent*) { SetupColumns(); });
  men_mask_ = add("tvo_MaskCol", [this](TComponent*) { MaskColumns(); });
  men_retrieve_ = add("tvo_RetrieveCol", [this](TComponent*) { RetrieveColumn(); });
  if (!ClassSeparator) ClassSeparator = add("-", nullptr);
  men_horz_ = add("tvo_VMenHorzGrid", [this](TComponent*) { SetHorzGrid(!GetHorzGrid()); });
  men_vert_ = add("tvo_VMenVertGrid", [this](TComponent*) { SetVertGrid(!GetVertGrid()); });
  UpdateMenus();
}

void TTableVO::DestroyPopupMenu() {
  for (TMenuItem** item : {&men_setup_, &men_mask_, &men_retrieve_, &men_horz_, &men_vert_}) {
    delete *item;
    *item = nullptr;
  }
  TSizeVisObj::DestroyPopupMenu();
}

void TTableVO::UpdateMenus() {
  if (BeingDestroyed()) return;
  if (men_setup_) {
    men_setup_->SetCaption(LoadResString("tvo_SetupCols"));
    men_setup_->SetVisible((CntrVisib() & cvAddDelChanVis) != 0);
    men_setup_->SetEnabled(true);
    men_mask_->SetCaption(LoadResString("tvo_MaskCol"));
    men_mask_->SetEnabled(GetGlobChanCount() > 0);
    men_retrieve_->SetCaption(LoadResString("tvo_RetrieveCol"));
    men_retrieve_->SetEnabled(mask_list_ && mask_list_->Count() > 0);
    men_horz_->SetCaption(LoadResString("tvo_VMenHorzGrid"));
    men_horz_->SetChecked(GetHorzGrid());
    men_vert_->SetCaption(LoadResString("tvo_VMenVertGrid"));
    men_vert_->SetChecked(GetVertGrid());
  }
  TSizeVisObj::UpdateMenus();
}

void TTableVO::SetBounds(int left, int top, int width, int height) {
  TSizeVisObj::SetBounds(left, top, width, height);
  ArrangeTitleLabel();
  UpdateDeviceRowHeight();
}

// ---- stored keys ----

void TTableVO::StoreIniSection(TIniFile2* ini, const std::string& section) {
  TSizeVisObj::StoreIniSection(ini, section);
  ini->WriteBool(section, "HorzGrid", GetHorzGrid());
  ini->WriteBool(section, "VertGrid", GetVertGrid());
  const int count = mask_list_ ? mask_list_->Count() : 0;
  ini->WriteInteger(section, "MaskChanCount", count);
  for (int n = 0; n < count; ++n)
    mask_list_->GetGlobChan_I(n)->StoreIniFile(ini, section + "\\MaskGlobChan" + std::to_string(n));
}

void TTableVO::LoadMaskedGlobChan(TIniFile2& ini, const std::string& section, const std::string& where,
                                  bool from_registry) {
  const TGlobChanRef ref = FindStoredGlobChan(ini, section);
  uint8_t reason = 0;
  if (!ref.Data || !CanAcceptGlbChan(ref.Data, ref.Channel, reason)) {
    // The data set or its channel is gone, or the column is there already: it is dropped.
    if (MsgHandler)
      MsgHandler->DoMessage("Stored hidden column " + where + " not restored: dropped", "", TMsgDlgType::mtWarning,
                            mbOK, 0, mrOk, true, mkLogOnly);
    return;
  }
  if (!UsesData(ref.Data)) ReduceDataClient(ref.Data);
  mask_list_->Add(CreateGlobChan(ref.Data, ref.Channel));
  TGlobalChannel* column = mask_list_->GetGlobChan_I(mask_list_->Count() - 1);
  if (from_registry)
    column->LoadRegKey(ini, section);
  else
    column->LoadIniFile(ini, section);
}

void TTableVO::LoadIniSection(TIniFile2* ini, const std::string& section) {
  TSizeVisObj::LoadIniSection(ini, section);
  if (ini->ValueExists(section, "HorzGrid")) SetHorzGrid(ini->ReadBool(section, "HorzGrid", false));
  if (ini->ValueExists(section, "VertGrid")) SetVertGrid(ini->ReadBool(section, "VertGrid", true));
  // A damaged count must not drive the loop: no table holds more columns.
  const int count = std::min(ini->ReadInteger(section, "MaskChanCount", 0), kMaxTableColumns);
  BeginGlobChanUpdate();
  for (int n = 0; n < count; ++n) {
    const std::string chan_section = section + "\\MaskGlobChan" + std::to_string(n);
    LoadMaskedGlobChan(*ini, chan_section, "[" + chan_section + "]", false);
  }
  GlobChansChanged();
}

void TTableVO::LoadRegKey(TRegistry* registry) {
  // The base checks the registry and leaves the object's key open again.
  TSizeVisObj::LoadRegKey(registry);
  const std::string path = "\\" + registry->CurrentPath();
  // A value that is no number counts as missing, as in the monitor file.
  auto read_int = [registry](const char* name, int32_t absent) {
    if (!registry->ValueExists(name)) return absent;
    try {
      return registry->ReadInteger(name);
    } catch (const ERegistryException&) {
      return absent;
    }
  };
  try {
    const int32_t horz = read_int("HorzGrid", -1), vert = read_int("VertGrid", -1);
    if (horz >= 0) SetHorzGrid(horz != 0);
    if (vert >= 0) SetVertGrid(vert != 0);
    const int count = std::min(read_int("MaskChanCount", 0), kMaxTableColumns);
    BeginGlobChanUpdate();
    for (int n = 0; n < count; ++n) {
      const std::string key = path + "\\MaskGlobChan" + std::to_string(n);
      if (!registry->OpenKey(key, false)) continue;
      LoadMaskedGlobChan(registry->Ini(), registry->Section(), "key " + key, true);
    }
    GlobChansChanged();
  } catch (...) {
    registry->OpenKey(path, false);
    throw;
  }
  registry->OpenKey(path, false);
}

}  // namespace qv
