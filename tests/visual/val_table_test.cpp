#include "visual/val_table.h"

#include <gtest/gtest.h>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "datastore/dt_navigator.h"
#include "platform/gui/forms.h"
#include "platform/gui/printers.h"
#include "platform/rtl/date_time.h"
#include "support/pdf_text.h"
#include "visual/print_dialog_user.h"
#include "visual/print_layout.h"
#include "visual/table_fixture.h"

namespace qv {
namespace {

using test::NamedData;

constexpr uint16_t kDay = 45292;
constexpr double M = NoValue;

// A value table that counts its reloads.
class CountingTable : public TValTable {
public:
  using TValTable::TValTable;
  void Reload() override {
    ++reloads;
    TValTable::Reload();
  }
  int reloads = 0;
};

// Two in-memory data sets with records the day before, on the day and the day after, and the
// program's navigator on that day.
class ValTableTest : public ::testing::Test, public test::VisFixture {
protected:
  ValTableTest()
      : room_("mem:room", "Room one", "Room", {"T1", "T2"}),
        hall_("mem:hall", "Hall", "Hall", {"P1"}),
        clock_(DtStampToDateTime(TDtStamp{kDay, 12 * 3600})) {
    saved_ini_ = IniFileName;
    IniFileName = dir.File("Prog.INI");
    Fill(room_, {{kDay - 1, 23 * 3600, {1, 2}},
                 {kDay, 0, {3, 4}},
                 {kDay, 3600, {5, 6}},
                 {kDay, 7200, {7, M}},
                 {kDay + 1, 0, {9, 10}}});
    Fill(hall_, {{kDay, 3600, {11}}, {kDay, 5400, {-5}}});
    nav_ = std::make_unique<TDtNavigator>(clock_);
    nav_->Dt1Start = TDtStamp{kDay, 0};  // the view window starts the day: reloads show its start
    DtNavigator = nav_.get();
  }
  ~ValTableTest() override {
    form.reset();
    DtNavigator = nullptr;
    nav_.reset();
    AutoScrollActive = false;
    IniFileName = saved_ini_;
  }
  struct Row {
    uint16_t day;
    int32_t time;
    std::vector<double> values;
  };
  static void Fill(NamedData& d, const std::vector<Row>& rows) {
    d.NewBuffer();
    TDtRecord r(static_cast<int32_t>(rows.front().values.size()));
    for (const Row& row : rows) {
      r.Date = row.day;
      r.Time = row.time;
      for (size_t i = 0; i < row.values.size(); ++i) r.SetValues(static_cast<int>(i), row.values[i]);
      d.InsertRecord(r);
    }
    d.stored = d.Buffer()->Bytes();
  }
  template <class T = CountingTable>
  T* NewTable() {
    auto* t = CreateVisObj<T>(form.get());
    t->SetParent(form.get());
    t->SetBounds(0, 0, 600, 400);
    t->BeginGlobChanUpdate();
    t->AddGlobChan(&room_, room_.Chan(0));
    t->AddGlobChan(&room_, room_.Chan(1));
    t->AddGlobChan(&hall_, hall_.Chan(0));
    t->GlobChansChanged();
    return t;
  }
  // A value cell's text.
  static std::string V(NamedData& d, int chan, double value) { return d.Chan(chan)->ValueToStr(value) + " "; }
  static std::string Time(int32_t secs) { return FormatDateTime("tt", DtStampToDateTime(TDtStamp{kDay, secs})) + " "; }
  // The texts of the data rows that hold a time.
  static std::vector<std::string> Rows(TValTable* t) {
    std::vector<std::string> out;
    TStringGrid* g = t->Grid();
    for (int r = g->FixedRows(); r < g->RowCount(); ++r) {
      std::string line, text;
      for (int c = 0; c < g->ColCount(); ++c) {
        ExtractFormatStr(g->Cells(c, r), text);
        line += (c ? "|" : "") + text;
      }
      if (!g->Cells(0, r).empty()) out.push_back(line);
    }
    return out;
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }

  NamedData room_, hall_;
  TFixedClock clock_;
  std::unique_ptr<TDtNavigator> nav_;
  std::string saved_ini_;
};

// Only the navigator's day shows: one row per time stamp, merged from both data sets, a value
// outside its alarm limits in red bold and a missing one as an empty cell.
TEST_F(ValTableTest, ShowsTheMergedRowsOfOneDay) {
  CountingTable* t = NewTable();
  Settle();
  EXPECT_EQ(t->Day(), kDay);
  EXPECT_EQ(t->TableTitleLabel()->Caption(), FormatDateTime("ddddd", DtStampToDateTime(TDtStamp{kDay, 0})));
  EXPECT_EQ(Rows(t), (std::vector<std::string>{
                         Time(0) + "|" + V(room_, 0, 3) + "|" + V(room_, 1, 4) + "|",
                         Time(3600) + "|" + V(room_, 0, 5) + "|" + V(room_, 1, 6) + "|" + V(hall_, 0, 11),
                         Time(5400) + "|||" + V(hall_, 0, -5),
                         Time(7200) + "|" + V(room_, 0, 7) + "||",
                     }));
  EXPECT_EQ(t->CurrentTime(), 0);
  std::string text;
  const TCellFormat alarm = ExtractFormatStr(t->Grid()->Cells(3, 5), text);
  EXPECT_EQ(alarm.Color, 255);
  EXPECT_EQ(alarm.Style, static_cast<uint8_t>(TFontStyle::fsBold));
  EXPECT_EQ(ExtractFormatStr(t->Grid()->Cells(1, 3), text).Color, clBlack);
  // Without channels the view goes and the day with it.
  t->ClearGlobChans();
  EXPECT_EQ(t->View(), nullptr);
  EXPECT_EQ(t->Day(), 0xFFFF);
  EXPECT_TRUE(Rows(t).empty());
}

// The day keys and buttons step the navigator's day; the data sets follow and the table
// reloads. While the recorder scrolls automatically they do nothing.
TEST_F(ValTableTest, StepsDayByDay) {
  CountingTable* t = NewTable();
  Settle();
  uint16_t key = 40;  // Ctrl+Down
  EXPECT_TRUE(t->HandleKey(key, ssCtrl));
  Settle();
  EXPECT_EQ(nav_->Dt2Start.Date, kDay + 1);
  EXPECT_EQ(t->Day(), kDay + 1);
  EXPECT_EQ(Rows(t), (std::vector<std::string>{Time(0) + "|" + V(room_, 0, 9) + "|" + V(room_, 1, 10) + "|"}));
  t->DayBackButton()->Click();
  Settle();
  EXPECT_EQ(t->Day(), kDay);
  EXPECT_EQ(Rows(t).size(), 4u);
  AutoScrollActive = true;
  key = 38;  // Ctrl+Up
  t->HandleKey(key, ssCtrl);
  t->DayForwardButton()->Click();
  Settle();
  EXPECT_EQ(t->Day(), kDay);
}

// Row keys move through the day's rows; the shown first row is remembered.
TEST_F(ValTableTest, RowKeysScrollTheRows) {
  CountingTable* t = NewTable();
  Settle();
  const struct {
    uint16_t key;
    int32_t first;
  } steps[] = {{40, 3600}, {40, 5400}, {38, 3600}, {35, 7200}, {36, 0}};
  for (const auto& s : steps) {
    uint16_t key = s.key;
    EXPECT_TRUE(t->HandleKey(key, 0));
    EXPECT_EQ(t->CurrentTime(), s.first) << s.key;
  }
  // Keys typed into the grid reach the table first.
  uint16_t key = 40;
  t->Grid()->OnKeyDown(t->Grid(), key, 0);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(t->CurrentTime(), 3600);
  EXPECT_EQ(t->Grid()->TopRow(), t->Grid()->FixedRows());
}

// The scroll bar shows the first row's place in the day; its thumb goes to a time of the day.
TEST_F(ValTableTest, ScrollBarFollowsAndMovesTheRows) {
  CountingTable* t = NewTable();
  Settle();
  TScrollBar* bar = t->ScrollBar();
  EXPECT_EQ(bar->Position(), 0);
  uint16_t key = 35;  // End: the day's last row, 02:00 of a day from 00:00 to 23:59:59
  t->HandleKey(key, 0);
  EXPECT_EQ(bar->Position(), 42);
  bar->Scroll(TScrollCode::scLineUp, 41);
  EXPECT_EQ(t->CurrentTime(), 5400);
  EXPECT_EQ(bar->Position(), 31);
  // Dragging shows the time the thumb stands for and leaves the rows.
  bar->Scroll(TScrollCode::scTrack, 250);
  EXPECT_TRUE(t->HintWindow()->HintVisible());
  EXPECT_EQ(t->HintWindow()->Caption(), FormatDateTime("tt", 0.5));
  EXPECT_EQ(t->CurrentTime(), 5400);
  // Released after the last row: the day's last row; near the top: the first row at or after.
  bar->Scroll(TScrollCode::scPosition, 250);
  EXPECT_FALSE(t->HintWindow()->HintVisible());
  EXPECT_EQ(t->CurrentTime(), 7200);
  bar->Scroll(TScrollCode::scPosition, 1);  // 00:02:53
  EXPECT_EQ(t->CurrentTime(), 3600);
  EXPECT_EQ(Rows(t).size(), 3u);
}

// Many changes post one reload; a hidden table reloads once when it is shown again.
TEST_F(ValTableTest, ReloadsOncePerBurstOfChanges) {
  CountingTable* t = NewTable();
  Settle();
  t->reloads = 0;
  t->DataNotify(&room_, deManyChanged);
  t->DataNotify(&hall_, deManyChanged);
  EXPECT_TRUE(t->ReloadPending());
  Settle();
  EXPECT_EQ(t->reloads, 1);
  EXPECT_FALSE(t->ReloadPending());
  t->Deactivate();
  t->DataNotify(&room_, deManyChanged);
  t->DataNotify(&room_, deManyChanged);
  Settle();
  EXPECT_EQ(t->reloads, 1);
  EXPECT_TRUE(t->ReloadOnActivate());
  t->Activate();
  Settle();
  EXPECT_EQ(t->reloads, 2);
  EXPECT_FALSE(t->ReloadOnActivate());
  // A table freed before its message arrives is not reached by it.
  t->DataNotify(&room_, deManyChanged);
  delete t;
  Settle();
}

// A new record of the day appears as a row of its own; one of another day does not.
TEST_F(ValTableTest, FollowsNewRecords) {
  Fill(room_, {{kDay, 0, {3, 4}}, {kDay, 3600, {5, 6}}, {kDay, 7200, {7, M}}});  // nothing after the day
  CountingTable* t = NewTable();
  Settle();
  TDtRecord r(1);
  auto add = [&](uint16_t day, int32_t time, double value) {
    r.Date = day;
    r.Time = time;
    r.SetValues(0, value);
    TDataLock lock(hall_);
    hall_.InsertRecord(r);
    hall_.NotifyRecordChanges();
  };
  add(kDay, 3 * 3600, 20);
  Settle();
  std::vector<std::string> rows = Rows(t);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows.back(), Time(3 * 3600) + "|||" + V(hall_, 0, 20));
  add(kDay + 1, 1800, 21);
  Settle();
  EXPECT_EQ(Rows(t), rows);
}

// Ctrl+Right on 30 channel columns of which 10 show: from column 25 the last page (21 to 30),
// from column 5 one page on (15 to 24); Ctrl+Left back.
TEST_F(ValTableTest, ColumnPagesWithCtrlLeftAndRight) {
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) names.push_back("c" + std::to_string(i));
  NamedData wide("mem:wide", "Wide", "W", names);
  auto* t = CreateVisObj<CountingTable>(form.get());
  t->SetParent(form.get());
  t->SetBounds(0, 0, 600, 400);
  t->BeginGlobChanUpdate();
  for (int i = 0; i < 30; ++i) t->AddGlobChan(&wide, wide.Chan(i));
  t->GlobChansChanged();
  TStringGrid* g = t->Grid();
  g->SetBorderStyle(TBorderStyle::bsNone);
  for (int c = 0; c < g->ColCount(); ++c) g->SetColWidths(c, 40);
  g->SetBounds(0, 0, 460, 200);
  ASSERT_EQ(g->VisibleColCount(), 10);
  const struct {
    int from;
    TShiftState shift;
    uint16_t key;
    int to;
  } cases[] = {{25, ssCtrl, 39, 21}, {5, ssCtrl, 39, 15}, {15, ssCtrl, 37, 5}, {7, ssCtrl, 37, 1},
               {1, 0, 37, 1},        {21, 0, 39, 21},     {20, 0, 39, 21}};
  for (const auto& c : cases) {
    g->SetLeftCol(c.from);
    uint16_t key = c.key;
    EXPECT_TRUE(t->HandleKey(key, c.shift));
    EXPECT_EQ(g->LeftCol(), c.to) << c.from << " " << c.key;
  }
}

// ---- printing ----

class ValTablePrintTest : public ValTableTest {
protected:
  ValTablePrintTest() {
    layout_.SleepProc = [](int) {};
    Printer().SetOutputFile(pdf);
    // The pages' texts do not depend on the resolution; a quarter of it draws the thin lines,
    // pixel by pixel, in a fraction of the time.
    Printer().SetPixelsPerInch(75);
  }
  ~ValTablePrintTest() override {
    Printer().SetOutputFile("");
    Printer().SetPixelsPerInch(300);
  }
  // The text of each printed page.
  std::vector<std::vector<std::string>> Print(TValTable* t) {
    t->DoPrint(nullptr);
    EXPECT_FALSE(t->Printing);
    return test::PdfPages(pdf);
  }
  static bool Has(const std::vector<std::string>& page, const std::string& text) {
    return std::find(page.begin(), page.end(), text) != page.end();
  }
  // A data set of the day with `rows` rows, one a minute, of `channels` channels.
  static void FillDay(NamedData& d, int rows, int channels) {
    d.NewBuffer();
    TDtRecord r(channels);
    for (int i = 0; i < rows; ++i) {
      r.Date = kDay;
      r.Time = i * 60;
      for (int c = 0; c < channels; ++c) r.SetValues(c, c + i / 100.0);
      d.InsertRecord(r);
    }
    d.stored = d.Buffer()->Bytes();
  }

  // A table over the first `channels` channels of the data set.
  CountingTable* NewTable(NamedData& d, int channels) {
    auto* t = CreateVisObj<CountingTable>(form.get());
    t->SetParent(form.get());
    t->SetBounds(0, 0, 600, 400);
    t->BeginGlobChanUpdate();
    for (int c = 0; c < channels; ++c) t->AddGlobChan(&d, d.Chan(c));
    t->GlobChansChanged();
    Settle();
    return t;
  }
  using ValTableTest::NewTable;

  const std::string pdf = dir.File("table.pdf");
  TPrintLayout layout_;
};

// The table printed through the print dialog's "Print to File (PDF)" lands in the chosen file.
TEST_F(ValTablePrintTest, PrintsToThePdfFileChosenInThePrintDialog) {
  CountingTable* t = NewTable();
  Settle();
  t->SetvobTitle("Rooms");
  Printer().SetOutputFile("");  // as the program starts
  const std::string chosen = dir.File("chosen.pdf");
  EXPECT_TRUE(test::PrintToPdfThroughDialog(t, chosen).accepted);
  ASSERT_TRUE(std::filesystem::exists(chosen));
  const auto pages = test::PdfPages(chosen);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(Has(pages[0], "Rooms"));
  EXPECT_TRUE(Has(pages[0], Time(3600)));
}

// A narrow table prints its day's rows in blocks side by side; rows of other days stay out.
TEST_F(ValTablePrintTest, NarrowTablePrintsBlocksSideBySide) {
  CountingTable* t = NewTable();
  Settle();
  t->SetvobTitle("Rooms");
  auto pages = Print(t);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(Has(pages[0], "Rooms"));
  EXPECT_TRUE(Has(pages[0], FormatDateTime("ddddd", DtStampToDateTime(TDtStamp{kDay, 0}))));
  for (int32_t secs : {0, 3600, 5400, 7200}) EXPECT_TRUE(Has(pages[0], Time(secs))) << secs;
  EXPECT_FALSE(Has(pages[0], V(room_, 0, 1)));  // the day before
  EXPECT_FALSE(Has(pages[0], V(room_, 0, 9)));  // the day after
  // Many rows: blocks beside each other, pages numbered, every page twice without collation.
  NamedData many("mem:many", "Many", "Many", {"A", "B"});
  FillDay(many, 300, 2);  // two pages of blocks
  t = NewTable(many, 2);
  t->SetvobTitle("Rooms");
  t->Copies = 2;
  pages = Print(t);
  const int blocks = static_cast<int>(pages.size()) / 2;
  ASSERT_GE(blocks, 2);
  EXPECT_TRUE(Has(pages[0], "Rooms [Page 1]"));
  EXPECT_TRUE(Has(pages[1], "Rooms [Page 1]"));
  EXPECT_TRUE(Has(pages[2], "Rooms [Page 2]"));
  EXPECT_TRUE(Has(pages.back(), Time(299 * 60)));
  t->Printing = true;
  t->DefinePrintPgCnt();
  EXPECT_GT(t->BlocksPerPage(), 1);
  EXPECT_EQ(t->PageCount, blocks);
  t->EndPrint();
  delete t;
}

// A table wider than the page prints its columns in groups, each group on its own page for
// every block of rows.
TEST_F(ValTablePrintTest, WideTablePrintsColumnGroups) {
  std::vector<std::string> names;
  for (int c = 1; c <= 40; ++c) names.push_back("Sensor" + std::to_string(c));
  NamedData wide("mem:wide", "Wide logger", "Wide", names);
  FillDay(wide, 5, 40);
  CountingTable* t = NewTable(wide, 40);
  t->Printing = true;
  t->DefinePrintPgCnt();
  const auto groups = t->PrintGroups();
  t->EndPrint();
  ASSERT_GE(groups.size(), 2u);
  const auto pages = Print(t);
  ASSERT_EQ(pages.size(), groups.size());
  for (size_t g = 0; g < groups.size(); ++g) {
    const int first = groups[g].first, last = first + groups[g].second - 1;
    EXPECT_TRUE(Has(pages[g], "Sensor" + std::to_string(first))) << g;
    EXPECT_TRUE(Has(pages[g], "Sensor" + std::to_string(last))) << g;
    if (g > 0) {
      EXPECT_FALSE(Has(pages[g], "Sensor" + std::to_string(first - 1))) << g;
    }
    EXPECT_TRUE(Has(pages[g], Time(4 * 60))) << g;
  }
  delete t;
}

}  // namespace
}  // namespace qv
