// The page layout of the document window: the document's sections placed from top to bottom on
// pages of the paper's size, breaking to a new page where a section does not fit.
#include <algorithm>
#include <cmath>
#include <map>

#include "archive/archive_globals.h"
#include "archive/dy_user_manager.h"
#include "archive/forms/d51_kiro_document.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_size_panel.h"
#include "platform/gui/scroll_box.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format_settings.h"

namespace qv {

namespace {

constexpr double kMissing = -1.501e38;
constexpr double kPageScale = TD51_KiroDocument::PageScale;

int Round(double v) { return static_cast<int>(std::nearbyint(v)); }
int ToPixels(int32_t hundredths_mm) { return Round(hundredths_mm / kPageScale); }

std::string Key(const char* key) { return LoadResString(key); }
std::string KeyColon(const char* key) { return LoadResString(key) + ": "; }

std::string Fixed(double value, int decimals) {
  return FloatToStrF(value, TFloatFormat::ffFixed, 15, std::clamp(decimals, 0, 18), FormatSettings.DecimalSeparator);
}

struct TChannelStats {
  double Min = 1.7e308, Max = -1.7e308, Sum = 0;
  TDateTime MinTime = 0, MaxTime = 0;
  int Count = 0;
};

}  // namespace

int TD51_KiroDocument::TextWidthOf(TDY_PageFont font, const std::string& text) const {
  TCanvas& c = ScreenCanvas();
  SetPageFont(c.Font(), font);
  TRect r{0, 0, 100000, 0};
  c.DrawText(text.empty() ? " " : text, r, DT_NOPREFIX | DT_EXPANDTABS | DT_CALCRECT);
  return text.empty() ? 0 : r.Width();
}

int TD51_KiroDocument::TextHeightOf(TDY_PageFont font) const {
  TCanvas& c = ScreenCanvas();
  SetPageFont(c.Font(), font);
  TRect r{0, 0, 100000, 0};
  c.DrawText("Test", r, DT_NOPREFIX | DT_EXPANDTABS | DT_CALCRECT);
  return r.Height();
}

int TD51_KiroDocument::DateColumnWidth() const {
  // 125 pixels held a time stamp in the font the layout was made for; a wider font gets the room
  // that a time stamp needs, so no date is cut.
  const TDateTime widest = EncodeDate(2000, 12, 28) + (23 * 3600 + 58 * 60 + 58) / 86400.0;
  return std::max(125, TextWidthOf(TDY_PageFont::Normal, DateTimeText(widest)) + 8);
}

TDY_PageLabel& TD51_KiroDocument::AddLabel(TDY_Page* page, TDY_PageFont font, const std::string& text, int alignment,
                                           TDY_PageBox& box) {
  TDY_PageLabel label;
  label.Font = font;
  label.Text = text;
  label.Width = TextWidthOf(font, text);
  label.Height = TextHeightOf(font);
  label.Top = box.Top;
  label.Left = alignment == 1   ? box.Right - label.Width
               : alignment == 2 ? box.Left + Round((box.Right - box.Left) / 2.0 - label.Width / 2.0)
                                : box.Left;
  box.Top += label.Height + LineGap;
  return page->AddLabel(std::move(label));
}

TDY_Page* TD51_KiroDocument::NewPage() {
  const TDY_DocInfo& info = Content->DocInfo;
  // A header without a paper size (a damaged file) is laid out on A4.
  const int32_t paper_w = info.Width > 0 ? info.Width : 21000;
  const int32_t paper_h = info.Height > 0 ? info.Height : 29700;
  auto page = std::make_unique<TDY_Page>();
  page->Orientation = orientation_;
  page->Width = ToPixels(orientation_ == 1 ? paper_h : paper_w);
  page->Height = ToPixels(orientation_ == 1 ? paper_w : paper_h);
  const int top_margin = ToPixels(info.TopMargin), bottom_margin = ToPixels(info.BottomMargin);
  box_.Left = ToPixels(info.LeftMargin);
  box_.Top = top_margin;
  box_.Right = page->Width - ToPixels(info.RightMargin);
  box_.Bottom = page->Height - bottom_margin;
  TDY_Page* p = Pages.Add(std::move(page));
  page_ = p;
  const TDY_PageLabel& title = AddLabel(p, TDY_PageFont::Title, info.Title, 2, box_);
  box_.Top += title.Height;
  TDY_PageLabel name;
  name.Name = "DocName";
  name.Text = info.Name;
  name.Width = TextWidthOf(TDY_PageFont::Normal, name.Text);
  name.Height = TextHeightOf(TDY_PageFont::Normal);
  name.Top = Round(top_margin / 2.0);
  name.Left = box_.Left;
  p->AddLabel(name);
  TDY_PageLabel num;
  num.Name = "PageNum";
  num.Text = std::to_string(Pages.Count());
  num.Width = TextWidthOf(TDY_PageFont::Normal, num.Text);
  num.Height = name.Height;
  num.Top = p->Height - Round(bottom_margin / 2.0);
  num.Left = box_.Right - num.Width;
  p->AddLabel(num);
  TDY_PageLabel date;
  date.Name = "PrintDate";
  date.Height = name.Height;
  date.Top = num.Top;
  date.Left = box_.Left;
  p->AddLabel(date);
  box_.Bottom -= num.Height;
  return p;
}

int TD51_KiroDocument::NewGrid(TDY_Page* page, int col_count, TDY_PageBox& box, int row_count) {
  TDY_PageGrid grid;
  grid.Left = box.Left;
  grid.Top = box.Top;
  grid.Width = box.Right - box.Left;
  grid.ColCount = col_count;
  grid.ColWidths.assign(static_cast<size_t>(col_count), 64);
  grid.SetRowCount(row_count, LineHeight);
  return page->AddGrid(std::move(grid));
}

void TD51_KiroDocument::NewPairGrid(TDY_Page* page, int rows, TDY_PageBox& box,
                                    const std::vector<std::pair<std::string, std::string>>& cells) {
  const int index = NewGrid(page, 2, box, rows);
  TDY_PageGrid& g = page->Grids[static_cast<size_t>(index)];
  g.FixedRows = 0;
  const int w = Round(g.Width / 2.0) - 3;
  g.ColWidths = {w, w};
  g.Height = rows + rows * LineHeight + 4;
  for (int r = 0; r < rows && r < static_cast<int>(cells.size()); ++r) {
    g.Cell(0, r) = cells[static_cast<size_t>(r)].first;
    g.Cell(1, r) = cells[static_cast<size_t>(r)].second;
  }
  box.Top += g.Height;
}

void TD51_KiroDocument::BuildPages() {
  if (Screen) Screen->SetCursor(crHourGlass);
  if (CurrentPage != -1) CollectAuditEvents();
  PagePanel->ShowPage(nullptr);
  CommentPanels.clear();
  Pages.Clear();
  orientation_ = 0;
  NewPage();
  for (int e = 0; e < Content->DocElements.Count(); ++e) {
    const TDY_DocElement& element = *Content->DocElements.Get(e);
    switch (element.Kind) {
      case TDY_ElementKind::DocInfo: BuildDocInfo(); break;
      case TDY_ElementKind::Chapter: {
        // An index that names no chapter lays out nothing.
        if (element.Index < 0 || element.Index >= Content->Chapters.Count()) break;
        const TDY_Chapter& chapter = *Content->Chapters.Get(element.Index);
        if (chapter.NewPage) {
          orientation_ = chapter.Orientation == 1 ? 1 : 0;
          NewPage();
        } else {
          box_.Top += LineHeight;
        }
        if (box_.Bottom - box_.Top < 5 * LineHeight) NewPage();
        const TDY_PageLabel& title = AddLabel(page_, TDY_PageFont::Chapter, chapter.Title, 0, box_);
        box_.Top += Round(title.Height / 2.0);
        break;
      }
      case TDY_ElementKind::DeviceInfo: BuildDeviceInfo(); break;
      case TDY_ElementKind::AuditLog: BuildAuditLog(); break;
      case TDY_ElementKind::Table: BuildTables(); break;
      case TDY_ElementKind::Diagram: BuildDiagrams(); break;
      case TDY_ElementKind::SigInfo: BuildSigInfo(); break;
      default: break;
    }
  }
  PlaceComments();
  if (Pages.Count() > 0)
    CurrentPage = CurrentPage < 0 ? 0 : std::min(CurrentPage, Pages.Count() - 1);
  else
    CurrentPage = -1;
  ShowCurrentPage();
  ShowPageNumber();
  if (Screen) Screen->SetCursor(crDefault);
}

void TD51_KiroDocument::ShowCurrentPage() {
  CommentPanels.clear();
  if (CurrentPage < 0 || CurrentPage >= Pages.Count()) {
    PagePanel->ShowPage(nullptr);
    PagePanel->SetVisible(false);
    return;
  }
  PagePanel->ShowPage(Pages.Get(CurrentPage));
  const bool editable = CommentsEditable();
  for (int i = 0; i < Content->Comments.Count(); ++i)
    if (Content->Comments.Get(i)->Page == CurrentPage) CreateCommentPanel(i, editable);
  PagePanel->SetVisible(true);
}

void TD51_KiroDocument::BuildDocInfo() {
  const TDY_DocInfo& info = Content->DocInfo;
  AddLabel(page_, TDY_PageFont::Normal,
           KeyColon("KD_LName") + info.Name + " " + KeyColon("KD_LDocType") + info.TypeName, 0, box_);
  AddLabel(
      page_, TDY_PageFont::Normal,
      KeyColon("KD_LCreateUser") + info.CreateUser + " " + KeyColon("KD_LCreateDate") + DateTimeText(info.CreationDate),
      0, box_);
  AddLabel(page_, TDY_PageFont::Normal,
           KeyColon("KD_LChangeUser") + info.User + " " + KeyColon("KD_LChangeDate") + DateTimeText(info.LastModified),
           0, box_);
  if (!Valid)
    AddLabel(page_, TDY_PageFont::Normal, Key("KD_LInValid"), 0, box_).Color = clRed;
  else if (Signed)
    AddLabel(page_, TDY_PageFont::Normal,
             Key("KD_LSigned") + " " + KeyColon("KD_LSignedBy") + info.User + " " + KeyColon("KD_LSignedAt") +
                 DateTimeText(info.VersionDate),
             0, box_);
  else
    AddLabel(page_, TDY_PageFont::Normal, Key("KD_LNotSigned"), 0, box_);
  AddLabel(page_, TDY_PageFont::Normal,
           KeyColon("KD_LStartDate") + DateTimeText(info.DataStartDate) + " " + KeyColon("KD_LEndDate") +
               DateTimeText(info.DataEndDate),
           0, box_);
}

void TD51_KiroDocument::BuildSigInfo() {
  if (!Valid) {
    AddLabel(page_, TDY_PageFont::Normal, Key("KD_LInValid"), 0, box_).Color = clRed;
    return;
  }
  if (!Signed) {
    AddLabel(page_, TDY_PageFont::Normal, Key("KD_LNotSigned"), 0, box_);
    return;
  }
  AddLabel(page_, TDY_PageFont::Normal, Key("KD_LSigned") + ":", 0, box_);
  for (int i = 0; i < Signature->SigInfos.Count(); ++i) {
    const TDY_SigInfo& s = Signature->SigInfos.Get(i);
    AddLabel(page_, TDY_PageFont::Normal,
             KeyColon("KD_LSignedBy") + s.UserName + ", " + s.Company + " (" + s.UserID + ") ", 0, box_);
    AddLabel(page_, TDY_PageFont::Normal,
             KeyColon("KD_LSignedAt") + DateTimeText(s.TimeStamp) + " " + Key("KD_LSigReason") + ": " + s.Reason, 0,
             box_);
  }
  TDY_PageLabel& status = AddLabel(page_, TDY_PageFont::Normal, Signature->Status, 0, box_);
  if (!SignatureValid) status.Color = clRed;
}

void TD51_KiroDocument::BuildDeviceInfo() {
  // The statistics of every channel in one pass over the rows.
  std::map<std::pair<int32_t, int32_t>, TChannelStats> stats;
  for (int i = 0; i < Content->Channels.Count(); ++i) {
    const TDY_Channel& c = *Content->Channels.Get(i);
    stats[{c.Device->LoggerID, c.ChannelID}];
  }
  for (int i = 0; i < Content->Data.Count(); ++i) {
    const TDY_Data& row = *Content->Data.Get(i);
    if (row.Value == kMissing) continue;
    auto it = stats.find({row.Logger, row.Channel});
    if (it == stats.end()) continue;
    TChannelStats& s = it->second;
    if (!std::isfinite(row.Value)) continue;
    if (row.Value < s.Min) {
      s.Min = row.Value;
      s.MinTime = row.Time;
    }
    if (row.Value > s.Max) {
      s.Max = row.Value;
      s.MaxTime = row.Time;
    }
    s.Sum += row.Value;
    ++s.Count;
  }
  std::string previous_device;
  for (int i = 0; i < Content->Channels.Count(); ++i) {
    const TDY_Channel& c = *Content->Channels.Get(i);
    if (i == 0 || c.Device->DeviceName != previous_device) {
      previous_device = c.Device->DeviceName;
      if (3 * LineHeight + 7 >= box_.Bottom - box_.Top) NewPage();
      NewPairGrid(page_, 3, box_,
                  {{Key("KD_LDeviceName"), c.Device->DeviceName},
                   {Key("KD_LDeviceSName"), c.Device->DeviceSName},
                   {Key("KD_LLoggerId"), std::to_string(c.Device->LoggerID)}});
      box_.Top += LineHeight;
    }
    if (11 * LineHeight + 12 >= box_.Bottom - box_.Top) NewPage();
    const std::string unit = " " + c.Unit;
    auto value = [&](double v) { return Fixed(v, c.Decimals) + unit; };
    const TChannelStats& s = stats[{c.Device->LoggerID, c.ChannelID}];
    std::string min_text, max_text, ave_text;
    if (s.Count > 0) {
      min_text = value(s.Min) + " " + Key("KD_LCreateDate") + " " + DateTimeText(s.MinTime);
      max_text = value(s.Max) + " " + Key("KD_LCreateDate") + " " + DateTimeText(s.MaxTime);
      ave_text = value(s.Sum / s.Count);
    } else {
      min_text = max_text = "--- " + c.Unit + " " + Key("KD_LCreateDate") + " ---";
      ave_text = "--- " + c.Unit;
    }
    NewPairGrid(page_, 11, box_,
                {{Key("KD_LChanName"), c.ChannelName},
                 {Key("KD_LChanSName"), c.ChannelSName},
                 {Key("KD_LUnit"), c.Unit},
                 {Key("KD_LChanNr"), std::to_string(c.ChannelID)},
                 {Key("KD_LChanMax"), value(c.ChannelMax)},
                 {Key("KD_LChanMin"), value(c.ChannelMin)},
                 {Key("KD_LAlarmMax"), value(c.AlarmMax)},
                 {Key("KD_LAlarmMin"), value(c.AlarmMin)},
                 {Key("tk1_StorMdMin"), min_text},
                 {Key("tk1_StorMdMax"), max_text},
                 {Key("tk1_StorMdAve"), ave_text}});
    box_.Top += LineHeight;
  }
}

void TD51_KiroDocument::CollectAuditEvents() {
  auto* manager = dynamic_cast<TDY_AuditManager*>(AuditManager);
  if (!manager) return;
  TDY_AuditEventList& log = Content->AuditLog;
  // From the latest event held on (not a second later: events of that same second count too).
  const TDateTime from = log.Count() > 0 ? log.LatestTime() : Content->DocInfo.DataStartDate;
  // A millisecond beyond now: the trail stores times to 15 digits, so an event of this very
  // millisecond may read back a hair later than the clock's now.
  const TDateTime to = Now() + 1.0 / 86400000.0;
  TDY_AuditEventList collected;
  manager->CollectForSubject(Subject(), collected, to, from);
  int32_t previous = 0;
  for (int i = 0; i < Content->Channels.Count(); ++i) {
    const int32_t id = Content->Channels.Get(i)->Device->LoggerID;
    if (id == previous) continue;
    previous = id;
    manager->CollectForSubject(std::to_string(id), collected, to, from);
  }
  // An event the document holds already is not taken again; the document's own save events are
  // held with the time of the save and reach the trail moments later.
  constexpr double kSameEvent = 2.0 / 86400.0;
  std::vector<TDY_AuditEvent> fresh;
  for (int i = 0; i < collected.Count(); ++i) {
    const TDY_AuditEvent& e = collected.Get(i);
    bool held = false;
    for (int k = log.Count() - 1; k >= 0 && !held; --k) {
      const TDY_AuditEvent& h = log.Get(k);
      held = std::fabs(h.Time - e.Time) <= kSameEvent && h.Kind == e.Kind && h.UserID == e.UserID &&
             h.Subject == e.Subject && h.Comment == e.Comment;
    }
    for (const TDY_AuditEvent& f : fresh)
      held = held || (f.Time == e.Time && f.Kind == e.Kind && f.Subject == e.Subject && f.Comment == e.Comment);
    if (!held) fresh.push_back(e);
  }
  if (fresh.empty()) return;
  SetModified(true);
  std::stable_sort(fresh.begin(), fresh.end(),
                   [](const TDY_AuditEvent& a, const TDY_AuditEvent& b) { return a.Time < b.Time; });
  for (TDY_AuditEvent& e : fresh) log.Add(std::move(e));
}

int TD51_KiroDocument::NewAuditHeader() {
  const int index = NewGrid(page_, 4, box_, 2);
  TDY_PageGrid& g = page_->Grids[static_cast<size_t>(index)];
  g.FixedRows = 1;
  g.RowHeights[0] = LineHeight;
  g.Cell(0, 0) = Key("KD_LDate");
  g.Cell(1, 0) = Key("KD_LUser");
  g.Cell(2, 0) = Key("KD_LEvent");
  g.Cell(3, 0) = Key("KD_LSubject");
  const int w = g.Width - 125;
  g.ColWidths = {125, static_cast<int>(w * 0.1875) - 2, static_cast<int>(w * 0.625) - 2,
                 static_cast<int>(w * 0.1875) + 2};
  g.Height = 2 * LineHeight + 6;
  box_.Top -= LineHeight + 4;
  return index;
}

void TD51_KiroDocument::BuildAuditLog() {
  int grid = NewAuditHeader();
  int used = LineHeight + 1;
  int room = box_.Bottom - box_.Top - 4;
  int next_row = 1;
  const TDY_AuditEventList& log = Content->AuditLog;
  for (int i = 0; i < log.Count(); ++i) {
    const TDY_AuditEvent& event = log.Get(i);
    std::string text = event.GetEventText();
    if (!event.Comment.empty()) text += " " + event.Comment;
    const int column = page_->Grids[static_cast<size_t>(grid)].ColWidths[2];
    auto width = [&](const std::string& s) { return TextWidthOf(TDY_PageFont::Normal, s + " "); };
    if (width(text) >= column) {
      std::string wrapped, line;
      size_t start = 0;
      while (start <= text.size()) {
        size_t blank = text.find(' ', start);
        if (blank == std::string::npos) blank = text.size();
        const std::string word = text.substr(start, blank - start);
        if (width(line) + width(word) < column) {
          line += word + " ";
        } else {
          wrapped += line + "\r\n";
          line = word + " ";
        }
        start = blank + 1;
      }
      wrapped += line;
      while (wrapped.find("\r\n\r\n") != std::string::npos) wrapped.replace(wrapped.find("\r\n\r\n"), 4, "\r\n");
      text = wrapped;
    }
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\r'));
    const int row_height = lines * LineHeight - (lines > 1 ? lines : 0);
    if (row_height + 5 >= room) {
      NewPage();
      grid = NewAuditHeader();
      next_row = 1;
      used = LineHeight + 1;
      room = box_.Bottom - box_.Top - 4;
    }
    TDY_PageGrid& g = page_->Grids[static_cast<size_t>(grid)];
    if (next_row >= g.RowCount) g.SetRowCount(next_row + 1, LineHeight);
    g.RowHeights[static_cast<size_t>(next_row)] = row_height;
    g.Cell(0, next_row) = FormatDateTime(FormatSettings.ShortDateFormat, event.Time) + " " +
                          FormatDateTime(FormatSettings.LongTimeFormat, event.Time);
    g.Cell(1, next_row) = event.EventUserName();
    g.Cell(2, next_row) = text;
    g.Cell(3, next_row) =
        event.Subject != Content->DocInfo.FileName ? Key("KD_LDevice") + ": " + event.Subject : Key("KD_LFile");
    ++next_row;
    used += row_height + 1;
    g.Height = used + 4;
    room -= row_height + 1;
  }
  box_.Top += page_->Grids[static_cast<size_t>(grid)].Height;
}

void TD51_KiroDocument::BuildTables() {
  SortDataByTime(Content->Data);
  // A table without channels has no columns: it is passed over.
  std::vector<const TDY_Table*> tables;
  for (int i = 0; i < Content->Tables.Count(); ++i)
    if (Content->Tables.Get(i)->Channels.Count() > 0) tables.push_back(Content->Tables.Get(i));
  for (size_t i = 0; i < tables.size(); ++i) {
    BuildTable(*tables[i]);
    if (i + 1 < tables.size()) NewPage();
  }
}

int TD51_KiroDocument::NewTableHeader(const TDY_Table& table) {
  const int n = table.Channels.Count();
  const int index = NewGrid(page_, n + 1, box_, 2);
  TDY_PageGrid& g = page_->Grids[static_cast<size_t>(index)];
  g.FixedRows = 1;
  g.RowHeights[0] = LineHeight;
  g.Cell(0, 0) = Key("KD_LDate");
  for (int k = 0; k < n; ++k) {
    const TDY_Channel& tc = *table.Channels.Get(k);
    if (Content->Channels.Find(tc.Device->LoggerID, tc.ChannelID))
      g.Cell(k + 1, 0) = std::to_string(tc.Device->LoggerID) + ":" + std::to_string(tc.ChannelID);
  }
  const int d = DateColumnWidth();
  g.ColWidths[0] = d;
  g.DefaultAlignment = TAlignment::taCenter;
  g.TableAlignment = true;
  const int w = static_cast<int>((box_.Right - box_.Left - d) / n) - 2;
  int sum = d;
  for (int k = 0; k < n; ++k) {
    g.ColWidths[static_cast<size_t>(k + 1)] = w;
    sum += w;
  }
  g.Height = 2 * LineHeight + 6;
  if (sum + n + 5 < g.Width) g.Width = sum + n + 5;
  return index;
}

void TD51_KiroDocument::BuildTable(const TDY_Table& table) {
  AddLabel(page_, TDY_PageFont::Normal, table.Name + ":", 0, box_);
  int grid = NewTableHeader(table);
  // The column of each channel of the table, and the document channel that gives its limits.
  struct TColumn {
    int Col;
    int Decimals;
    const TDY_Channel* Doc;
  };
  std::map<std::pair<int32_t, int32_t>, TColumn> columns;
  for (int k = 0; k < table.Channels.Count(); ++k) {
    const TDY_Channel& tc = *table.Channels.Get(k);
    columns.emplace(std::make_pair(tc.Device->LoggerID, tc.ChannelID),
                    TColumn{k + 1, tc.Decimals, Content->Channels.Find(tc.Device->LoggerID, tc.ChannelID)});
  }
  int next_row = 1;
  TDateTime last_time = 0;
  bool any_row = false;
  TDY_PageGrid* g = &page_->Grids[static_cast<size_t>(grid)];
  for (int i = 0; i < Content->Data.Count(); ++i) {
    const TDY_Data& row = *Content->Data.Get(i);
    auto it = columns.find({row.Logger, row.Channel});
    if (it == columns.end()) continue;
    if (!any_row || row.Time != last_time) {
      any_row = true;
      last_time = row.Time;
      if ((next_row + 1) * LineHeight + next_row + 5 >= box_.Bottom - box_.Top) {
        NewPage();
        grid = NewTableHeader(table);
        g = &page_->Grids[static_cast<size_t>(grid)];
        next_row = 1;
      }
      if (next_row >= g->RowCount) g->SetRowCount(next_row + 1, LineHeight);
      g->Height = next_row + (next_row + 1) * LineHeight + 5;
      g->Cell(0, next_row) = DateTimeText(row.Time);
      ++next_row;
    }
    if (row.Value == kMissing) continue;
    const TColumn& column = it->second;
    std::string text = Fixed(row.Value, column.Decimals);
    if (column.Doc && !(row.Value > column.Doc->AlarmMin && row.Value < column.Doc->AlarmMax)) text = "!" + text;
    g->Cell(column.Col, next_row - 1) = std::move(text);
  }
  // The header grid has one empty row until the first data row arrives.
  if (next_row > 1 && g->RowCount > next_row) g->SetRowCount(next_row, LineHeight);
  box_.Top += g->Height;
}

namespace {

// Widens a series' range on its axis as the documents have always done, and takes it into the
// axis's bounds.
void ScaleAxis(TChartAxis& axis, double series_min, double series_max, double& lower, double& upper) {
  const double range = series_max - series_min;
  double lo = series_min, hi = series_max;
  if (range == 0) {
    axis.Automatic = false;
    lo -= 1;
    hi += 1;
  } else if (range < 5) {
    const double step = range > 2 ? range / 2 : 1;
    axis.Automatic = false;
    lo -= step;
    hi += step;
  }
  lower = std::min(lower, lo);
  upper = std::max(upper, hi);
  const double increment = static_cast<double>(static_cast<int64_t>(std::fabs(upper - lower) * 10)) / 100;
  if (increment > 0) {
    axis.DesiredIncrement = increment;
    if (!axis.Automatic) {
      axis.Minimum = lower;
      axis.Maximum = upper;
    }
  }
}

}  // namespace

void TD51_KiroDocument::BuildDiagrams() {
  diagram_latest_mark_ = Pages.Count();
  if (diagram_first_mark_ == 0) diagram_first_mark_ = diagram_latest_mark_;
  int counter = 0;
  auto chart_height = [&] {
    return orientation_ == 1 ? box_.Bottom - box_.Top - 2 * LineHeight
                             : Round((box_.Bottom - box_.Top) / 2.0 - 2 * LineHeight);
  };
  int height = chart_height();
  for (int d = 0; d < Content->Diagrams.Count(); ++d) {
    const TDY_Diagram& diagram = *Content->Diagrams.Get(d);
    ++counter;
    if (counter > (orientation_ == 1 ? 1 : 2)) {
      NewPage();
      height = chart_height();
      counter = 1;
    }
    // No room for a chart that can still be read: it starts the next page.
    if (height < 5 * LineHeight) {
      NewPage();
      height = chart_height();
      counter = 1;
    }
    AddLabel(page_, TDY_PageFont::Normal, diagram.Name + ":", 0, box_);
    TDY_PageChart chart;
    chart.Left = box_.Left;
    chart.Top = box_.Top;
    chart.Width = box_.Right - box_.Left;
    chart.Height = height;
    TChartSpec& spec = chart.Spec;
    spec.LeftAxis.GridStyle = TPenStyle::psDash;
    spec.RightAxis.GridStyle = TPenStyle::psDashDot;
    spec.BottomAxis.GridStyle = TPenStyle::psDot;
    box_.Top += height;
    std::string left_unit, right_unit;
    bool has_left = false, has_right = false;
    double left_lo = 1.7e308, left_hi = -1.7e308, right_lo = 1.7e308, right_hi = -1.7e308;
    int axis = 0;
    int points = 0;
    for (int k = 0; k < diagram.Channels.Count(); ++k) {
      const TDY_Channel& dc = *diagram.Channels.Get(k);
      const TDY_Channel* doc = Content->Channels.Find(dc.Device->LoggerID, dc.ChannelID);
      if (!doc) continue;
      const std::string& unit = doc->Unit;
      if (!has_left) {
        has_left = true;
        left_unit = unit;
        axis = 0;
      } else if (unit == left_unit) {
        axis = 0;
      } else if (!has_right) {
        has_right = true;
        right_unit = unit;
        axis = 1;
      } else if (unit == right_unit) {
        axis = 1;
      }
      TLineSeries series;
      series.Color = dc.Color;
      series.LineStyle = static_cast<TPenStyle>(std::clamp<int>(dc.LineStyle, 0, 6));
      series.PointerStyle = std::clamp<int>(dc.PointerStyle, 0, 8);
      series.PointerVisible = true;
      series.Title = std::to_string(dc.Device->LoggerID) + ":" + std::to_string(dc.ChannelID);
      series.VertAxis = axis;
      TChartAxis& chart_axis = axis == 1 ? spec.RightAxis : spec.LeftAxis;
      chart_axis.Title = unit;
      for (int i = 0; i < Content->Data.Count(); ++i) {
        const TDY_Data& row = *Content->Data.Get(i);
        if (row.Logger == dc.Device->LoggerID && row.Channel == dc.ChannelID && row.Value != kMissing)
          series.AddXY(row.Time, row.Value);
      }
      points += series.Count();
      if (series.Count() > 0) {
        if (axis == 1)
          ScaleAxis(chart_axis, series.MinY(), series.MaxY(), right_lo, right_hi);
        else
          ScaleAxis(chart_axis, series.MinY(), series.MaxY(), left_lo, left_hi);
      }
      spec.Series.push_back(std::move(series));
    }
    spec.LeftAxis.ValueFormat = left_unit == "ppm" ? "#,##0" : "#,##0.00";
    spec.RightAxis.ValueFormat = right_unit == "ppm" ? "#,##0" : "#,##0.00";
    box_.Top += LineHeight;
    spec.BottomAxis.DateTimeFormat = points > 0 ? FormatSettings.ShortDateFormat + "\rhh:nn:ss" : "hh:nn:ss";
    page_->AddChart(std::move(chart));
  }
}

void TD51_KiroDocument::PlaceComments() {
  if (diagram_first_mark_ != diagram_latest_mark_) {
    const int shift = diagram_latest_mark_ - diagram_first_mark_;
    for (int i = 0; i < Content->Comments.Count(); ++i) {
      TDY_Comment& c = *Content->Comments.Get(i);
      if (c.Page + 1 >= diagram_first_mark_) c.Page += shift;
    }
    diagram_first_mark_ = diagram_latest_mark_;
  }
}

}  // namespace qv
