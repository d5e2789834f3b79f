#include "visual/table_vo.h"

#include <gtest/gtest.h>

#include "base/ini_file2.h"
#include "base/res_string.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/user_input.h"
#include "visual/d39_retrieve_tbl_col.h"
#include "visual/d41_setup_gl_chans.h"
#include "visual/table_fixture.h"

namespace qv {
namespace {

using test::NamedData;

class TableTest : public ::testing::Test, public test::VisFixture {
protected:
  TableTest()
      : room_("mem:room", "Room one", "Room 1\\Probe", {"T1", "T2", "T3"}),
        hall_("mem:hall", "Hall", "Hall", {"P1", "P2"}) {
    table_ = NewTable();
  }
  ~TableTest() override {
    MultiSelectDlgProc = nullptr;
    form.reset();
  }
  test::TestTable* NewTable() {
    auto* t = CreateVisObj<test::TestTable>(form.get());
    t->SetParent(form.get());
    t->SetBounds(0, 0, 600, 300);
    return t;
  }
  void Add(test::TestTable* t, NamedData& d, int chan) { ASSERT_TRUE(t->AddGlobChan(&d, d.Chan(chan))); }
  static std::vector<std::string> Texts(const TGlobChanList* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->Count(); ++i) out.push_back(list->GetGlobChan_I(i)->Channel()->SName());
    return out;
  }
  static int Measure(const std::string& text) {
    TCanvas& c = ScreenCanvas();
    c.Font().SetName("MS Sans Serif");
    c.Font().SetSize(8);
    c.Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
    return c.TextWidth(text);
  }

  NamedData room_, hall_;
  test::TestTable* table_ = nullptr;
};

TEST(TableFormat, PrefixesRoundTripAndRefuseDamage) {
  EXPECT_EQ(FormatPrefix(TCellFormat{2065, 1, clBtnText, static_cast<uint8_t>(TFontStyle::fsBold)}),
            "2065X1X-16777198XBX0X0X0X");
  EXPECT_EQ(FormatPrefix(TCellFormat{2048, 0, 0x8000, 0x0F}), "2048X0X32768XBXIXUXSX");
  std::string text;
  const TCellFormat f = ExtractFormatStr("2050X0X255XBX0X0X0X12.5", text);
  EXPECT_EQ(f.Flags, 2050u);
  EXPECT_EQ(f.JoinMode, 0);
  EXPECT_EQ(f.Color, 255);
  EXPECT_EQ(f.Style, static_cast<uint8_t>(TFontStyle::fsBold));
  EXPECT_EQ(text, "12.5");
  ExtractFormatStr("", text);
  EXPECT_EQ(text, "");
  for (const char* bad :
       {"2050X3X255XBX0X0X0Xa", "2050X0X255", "2050X0X255XBX0X0X", "2050X0X255XQX0X0X0X", "2050X0X255XB0X0X0Xa"}) {
    try {
      ExtractFormatStr(bad, text);
      ADD_FAILURE() << bad;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Table.ExtractFormatStr: FormatError") << bad;
    }
  }
  EXPECT_THROW(ExtractFormatStr("20a0X0X255XBX0X0X0X", text), Exception);
}

TEST(TableFormat, ScaleWidthRoundsHalvesToEven) {
  const std::pair<int, int> cases[] = {{0, 0}, {1, 2}, {3, 4}, {10, 12}, {20, 22}, {35, 39}, {100, 110}, {110, 122}};
  for (auto [w, expected] : cases) EXPECT_EQ(ScaleWidth(w), expected) << w;
}

TEST(TableFormat, SegmentWidthCutsAfterEachBackslash) {
  const TTextWidthFunc len = [](const std::string& s) { return static_cast<int>(s.size()); };
  EXPECT_EQ(SegmentWidth("Room 1\\Probe", len), 7);      // "Room 1\" against "Probe"
  EXPECT_EQ(SegmentWidth("ab\\\\c\\defghijk", len), 8);  // "ab\\" stays whole
  EXPECT_EQ(SegmentWidth("ab\\\\cdefghi", len), 7);
  EXPECT_EQ(SegmentWidth("", len), 0);
}

// Three columns of one data set and one of another: the first name stands once over its three
// columns, and the group, narrower than its name, widens its last two columns.
// The channel dialog's loop runs the program's other work; a device change that rebuilds the
// page frees the table while the dialog is open. The dialog closes and nothing touches the table.
TEST_F(TableTest, ATableFreedWhileItsChannelDialogIsOpenClosesTheDialog) {
  form->Show();
  const std::string add = table_->Popup()->Items()->Items(3)->Caption();
  int step = 0;
  TTimer user(nullptr);
  user.SetInterval(20);
  user.OnTimer = [&](TComponent*) {
    TModalWindow modal;
    if (step == 0) {
      step = 1;
      PostDeferredCall([&] { EXPECT_TRUE(UserChoosePopupItem(add)); });
    } else if (step == 1 && TopModalWindow(modal) && modal.Form) {
      step = 2;
      delete table_;  // the page rebuilt meanwhile
      table_ = nullptr;
    } else if (step == 2 && TopModalWindow(modal)) {
      step = 3;  // still open: the user cancels it
      for (const std::string& b : modal.Buttons)
        if (b.find("Cancel") != std::string::npos) UserClickDialogButton(b);
    }
  };
  UserRightClick(table_, {50, 10});
  user.SetEnabled(false);
  EXPECT_EQ(step, 2);  // the dialog closed with the table
  TModalWindow modal;
  EXPECT_FALSE(TopModalWindow(modal));
}

TEST_F(TableTest, HeaderJoinsNeighboursOfOneDataSet) {
  Add(table_, room_, 0);
  Add(table_, room_, 1);
  Add(table_, room_, 2);
  Add(table_, hall_, 0);
  TStringGrid* g = table_->Grid();
  ASSERT_EQ(g->ColCount(), 5);
  std::vector<int> joins;
  for (int i = 0; i < 4; ++i) joins.push_back(table_->Column(i)->JoinMode);
  EXPECT_EQ(joins, (std::vector<int>{1, 1, 2, 0}));
  std::string text;
  for (int c = 1; c <= 3; ++c) {
    EXPECT_EQ(ExtractFormatStr(g->Cells(c, 0), text).JoinMode, c == 3 ? 2 : 1);
    EXPECT_EQ(text, "Room 1\\Probe");
  }
  EXPECT_EQ(g->Cells(4, 0), FormatPrefix(TCellFormat{2065, 0, clBtnText, 1}) + "Hall");
  EXPECT_EQ(g->Cells(2, 1), FormatPrefix(TCellFormat{2050, 0, clBtnText, 1}) + "T2");
  EXPECT_EQ(g->Cells(2, 2), FormatPrefix(TCellFormat{2050, 0, clBtnText, 1}) + "C");

  // Widths: each joined column as wide as its values; a single column as the wider of name and
  // values. A long name widens the last two columns of its group by half the missing width + 1.
  const int value = table_->Column(0)->ValueWidth;
  const int name = std::max(Measure("Room 1\\"), Measure("Probe"));
  EXPECT_EQ(table_->Column(0)->HeaderWidth, name);
  const int hall_width = std::max(Measure("Hall"), table_->Column(3)->ValueWidth);
  EXPECT_EQ(g->ColWidths(4), ScaleWidth(hall_width));
  EXPECT_EQ(g->ColWidths(0),
            ScaleWidth(std::max({Measure("00:00:00 "), Measure(TimeCaption(10.0 / 24 + 59.0 / 1440)),
                                 Measure(TimeCaption(22.0 / 24 + 59.0 / 1440)), Measure(LoadResString("dev_Device")),
                                 Measure(LoadResString("chn_Channel")), Measure(LoadResString("chn_Unit"))})));
  if (3 * value < name) {
    const int half = (name - 3 * value) / 2 + 1;
    EXPECT_EQ(g->ColWidths(1), ScaleWidth(value));
    EXPECT_EQ(g->ColWidths(2), ScaleWidth(value) + ScaleWidth(half));
    EXPECT_EQ(g->ColWidths(3), ScaleWidth(value + half));
  } else {
    for (int c = 1; c <= 3; ++c) EXPECT_EQ(g->ColWidths(c), ScaleWidth(value));
  }
}

// A group of two whose name is far wider than its columns.
TEST_F(TableTest, WideGroupNameWidensItsLastTwoColumns) {
  NamedData wide("mem:wide", "Wide", "A very long device name for two", {"a", "b"});
  Add(table_, wide, 0);
  Add(table_, wide, 1);
  TStringGrid* g = table_->Grid();
  const int value = table_->Column(0)->ValueWidth;
  const int name = Measure("A very long device name for two");
  ASSERT_LT(2 * value, name);
  const int half = (name - 2 * value) / 2 + 1;
  EXPECT_EQ(table_->Column(0)->ScreenWidth, value + half);
  EXPECT_EQ(table_->Column(1)->ScreenWidth, value + half);
  EXPECT_EQ(g->ColWidths(1), ScaleWidth(value) + ScaleWidth(half));
  EXPECT_EQ(g->ColWidths(2), ScaleWidth(value + half));
  EXPECT_GT(g->RowHeights(0), 5);
}

// A red bold value is drawn right-aligned in red bold; a joined caption once over its group.
TEST_F(TableTest, CellsAreDrawnByTheirPrefix) {
  Add(table_, room_, 0);
  Add(table_, room_, 1);
  TStringGrid* g = table_->Grid();
  g->SetCells(1, 3, "2050X0X255XBX0X0X0X12.5");
  TRecordingCanvas canvas(g->Width(), g->Height());
  canvas.StartRecording();
  g->PaintOn(canvas, 0, 0);
  int value_calls = 0, caption_calls = 0;
  for (const TCanvasCall& call : canvas.Calls()) {
    if (call.Op != "DrawText") continue;
    if (call.Text == "12.5") {
      ++value_calls;
      EXPECT_EQ(call.Flags, 2050u);
      EXPECT_EQ(call.FontColor, 255);
      const TRect cell = g->CellRect(1, 3);
      EXPECT_EQ(call.Rect.Left, cell.Left + 2);
      EXPECT_EQ(call.Rect.Right, cell.Right - 2);
    }
    if (call.Text == "Room 1\\Probe") {
      ++caption_calls;
      EXPECT_EQ(call.Rect.Left, g->CellRect(1, 0).Left + 2);  // from the group's start
      EXPECT_EQ(call.Rect.Right, g->CellRect(2, 0).Right - 2);
    }
  }
  EXPECT_EQ(value_calls, 1);
  EXPECT_EQ(caption_calls, 1);
}

// Masking the only column leaves an empty table; retrieving brings it back. With several, the
// chosen ones are masked and one comes back before a chosen column.
TEST_F(TableTest, MaskAndRetrieveColumns) {
  Add(table_, room_, 0);
  EXPECT_FALSE(table_->RetrieveColItem()->Enabled());
  table_->MaskColumns();
  EXPECT_EQ(table_->GetGlobChanCount(), 0);
  EXPECT_EQ(Texts(table_->MaskGlobChanList()), (std::vector<std::string>{"T1"}));
  EXPECT_EQ(table_->Grid()->ColCount(), 2);
  EXPECT_FALSE(table_->MaskColItem()->Enabled());
  EXPECT_TRUE(table_->RetrieveColItem()->Enabled());
  PostDeferredCall([] {
    if (D39_RetrieveTblCol) D39_RetrieveTblCol->OKBtn->Click();
  });
  table_->RetrieveColumn();
  EXPECT_EQ(Texts(table_->vobGlobChanList()), (std::vector<std::string>{"T1"}));
  EXPECT_EQ(table_->MaskGlobChanList()->Count(), 0);

  Add(table_, room_, 1);
  Add(table_, hall_, 0);
  Add(table_, hall_, 1);
  std::vector<std::string> offered;
  MultiSelectDlgProc = [&](const std::string& caption, const std::vector<std::string>& choices,
                           std::vector<int>& chosen) {
    EXPECT_EQ(caption, LoadResString("tvo_MaskCol"));
    offered = choices;
    chosen = {0, 2};
    return mrOk;
  };
  table_->MaskColumns();
  EXPECT_EQ(offered.front(), "Room one: T1 long");
  EXPECT_EQ(Texts(table_->vobGlobChanList()), (std::vector<std::string>{"T2", "P2"}));
  EXPECT_EQ(Texts(table_->MaskGlobChanList()), (std::vector<std::string>{"P1", "T1"}));
  std::vector<std::string> dests;
  PostDeferredCall([&] {
    if (!D39_RetrieveTblCol) return;
    for (int i = 0; i < D39_RetrieveTblCol->DestColCombo->Items().Count(); ++i)
      dests.push_back(D39_RetrieveTblCol->DestColCombo->Items()[i]);
    D39_RetrieveTblCol->SetColIndex(1);
    D39_RetrieveTblCol->SetDestIndex(1);
    D39_RetrieveTblCol->OKBtn->Click();
  });
  table_->RetrieveColumn();
  EXPECT_EQ(dests.back(), "<" + LoadResString("tvo_AddToEnd") + ">");
  EXPECT_EQ(Texts(table_->vobGlobChanList()), (std::vector<std::string>{"T2", "T1", "P2"}));
  EXPECT_EQ(Texts(table_->MaskGlobChanList()), (std::vector<std::string>{"P1"}));
}

// A hidden column outlives the deletion of the visible columns of its data set, and goes with
// the data set.
TEST_F(TableTest, HiddenColumnsFollowTheirDataSet) {
  auto gone = std::make_unique<NamedData>("mem:gone", "Gone", "G", std::vector<std::string>{"x", "y"});
  Add(table_, *gone, 0);
  Add(table_, *gone, 1);
  Add(table_, hall_, 0);
  table_->MaskColumn(1);
  table_->DeleteGlobChan(0);
  EXPECT_EQ(Texts(table_->vobGlobChanList()), (std::vector<std::string>{"P1"}));
  EXPECT_EQ(Texts(table_->MaskGlobChanList()), (std::vector<std::string>{"y"}));
  gone.reset();
  EXPECT_EQ(table_->MaskGlobChanList()->Count(), 0);
  EXPECT_EQ(Texts(table_->vobGlobChanList()), (std::vector<std::string>{"P1"}));
}

// Visible and hidden columns together hold at most 255 channels, each only once.
TEST_F(TableTest, AcceptsAtMost255ColumnsEachOnce) {
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back("c" + std::to_string(i));
  NamedData big("mem:big", "Big", "B", names);
  names.resize(55);
  NamedData big2("mem:big2", "Big 2", "B2", names);
  NamedData more("mem:more", "More", "M", {"m"});
  table_->BeginGlobChanUpdate();
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(table_->AddGlobChan(&big, big.Chan(i)));
  for (int i = 0; i < 54; ++i) ASSERT_TRUE(table_->AddGlobChan(&big2, big2.Chan(i)));
  table_->GlobChansChanged();
  table_->MaskColumn(0);
  uint8_t reason = 9;
  EXPECT_FALSE(table_->CanAcceptGlbChan(&big, big.Chan(0), reason));  // hidden, still present
  EXPECT_EQ(reason, 1);
  EXPECT_FALSE(table_->CanAcceptGlbChan(nullptr, big.Chan(0), reason));
  EXPECT_TRUE(table_->CanAcceptGlbChan(&more, more.Chan(0), reason));
  EXPECT_TRUE(table_->AddGlobChan(&big2, big2.Chan(54)));
  EXPECT_FALSE(table_->CanAcceptGlbChan(&more, more.Chan(0), reason));
  EXPECT_EQ(reason, 0);
}

// The grid lines and the hidden columns are stored and come back; a hidden column whose channel
// is gone is dropped, the others stay.
TEST_F(TableTest, StoresGridLinesAndHiddenColumns) {
  Add(table_, room_, 0);
  Add(table_, room_, 1);
  Add(table_, hall_, 0);
  table_->MaskColumn(2);
  table_->MaskColumn(0);
  table_->GlobChansChanged();
  table_->SetHorzGrid(true);
  table_->SetVertGrid(false);
  TIniFile2 ini(dir.File("mon.ini"));
  table_->StoreIniSection(&ini, "M/Table0");
  EXPECT_EQ(ini.ReadInteger("M/Table0", "MaskChanCount", -1), 2);
  EXPECT_EQ(ini.ReadString("M/Table0\\MaskGlobChan0", "DataIdent", ""), "mem:hall");
  ini.WriteString("M/Table0\\MaskGlobChan0", "ChanKey", "77");  // that channel is gone

  test::TestTable* copy = NewTable();
  copy->LoadIniSection(&ini, "M/Table0");
  EXPECT_EQ(Texts(copy->vobGlobChanList()), (std::vector<std::string>{"T2"}));
  EXPECT_EQ(Texts(copy->MaskGlobChanList()), (std::vector<std::string>{"T1"}));
  EXPECT_TRUE(copy->GetHorzGrid());
  EXPECT_FALSE(copy->GetVertGrid());
  ini.DeleteKey("M/Table0", "HorzGrid");  // absent keys leave the setting
  copy->SetHorzGrid(false);
  copy->ClearGlobChans();
  EXPECT_EQ(copy->MaskGlobChanList()->Count(), 0);
  copy->LoadIniSection(&ini, "M/Table0");
  EXPECT_FALSE(copy->GetHorzGrid());
}

// The setup dialog edits the visible then the hidden columns; OK makes them all visible in
// the edited order.
TEST_F(TableTest, SetupColumnsReplacesTheColumns) {
  Add(table_, room_, 0);
  Add(table_, hall_, 0);
  table_->MaskColumn(0);
  table_->GlobChansChanged();
  std::vector<std::string> shown;
  PostDeferredCall([&] {
    if (!D41_SetupGlChans) return;
    for (int i = 0; i < D41_SetupGlChans->SelectListBox->Items().Count(); ++i)
      shown.push_back(D41_SetupGlChans->SelectListBox->Items()[i]);
    D41_SetupGlChans->SelectListBox->SetItemIndex(1);
    D41_SetupGlChans->MoveUpClick();
    D41_SetupGlChans->OkBtn->Click();
  });
  table_->SetupColumns();
  EXPECT_EQ(shown, (std::vector<std::string>{"Hall: P1", "Room 1\\Probe: T1"}));
  EXPECT_EQ(Texts(table_->vobGlobChanList()), (std::vector<std::string>{"T1", "P1"}));
  EXPECT_EQ(table_->MaskGlobChanList()->Count(), 0);
  EXPECT_EQ(D41_SetupGlChans, nullptr);
}

// Hints name the data set over row 0 and the channel over row 1; no hint without columns.
TEST_F(TableTest, HeaderHintsNameDataSetAndChannel) {
  TStringGrid* g = table_->Grid();
  table_->GridMouseMove(g->ColWidths(0) + 5, 5);
  EXPECT_FALSE(table_->HintWindow()->HintVisible());
  Add(table_, hall_, 1);
  const TRect device = g->CellRect(1, 0), channel = g->CellRect(1, 1);
  table_->GridMouseMove(device.Left + 3, device.Top + 3);
  EXPECT_TRUE(table_->HintWindow()->HintVisible());
  EXPECT_EQ(table_->HintWindow()->Caption(), "Hall");
  table_->GridMouseMove(channel.Left + 3, channel.Top + 3);
  EXPECT_EQ(table_->HintWindow()->Caption(), "P2 long");
  table_->GridMouseMove(channel.Left + 3, g->CellRect(1, 2).Top + 3);
  EXPECT_FALSE(table_->HintWindow()->HintVisible());
}

}  // namespace
}  // namespace qv
