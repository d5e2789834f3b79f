#include "controls/sty_list_box.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"
#include "controls/gradients.h"
#include "controls/sty_check_list.h"
#include "controls/sty_tabbed_list_box.h"

namespace qv {
namespace {

void Type(TWinControl* c, const std::string& text) {
  for (char ch : text) c->Perform(WM_CHAR, static_cast<unsigned char>(ch), 0);
}

TEST(StyListBox, IncrementalSearchSelectsByPrefixAndForgets) {
  TForm form(nullptr);
  auto* l = new TStyListBox(&form);
  l->SetParent(&form);
  for (const char* s : {"Apple", "Banana", "Berry"}) l->AddItem(s);
  int matches = 0;
  l->OnMatch = [&](TComponent*) { ++matches; };
  Type(l, "b");
  EXPECT_EQ(l->ItemIndex(), 1);
  Type(l, "e");
  EXPECT_EQ(l->ItemIndex(), 2);
  EXPECT_EQ(l->SearchText(), "be");
  int beeps = BeepCount();
  Type(l, "x");
  EXPECT_EQ(BeepCount(), beeps + 1);
  EXPECT_EQ(l->ItemIndex(), 2);
  EXPECT_EQ(l->SearchText(), "be") << "a miss keeps the search text";
  Type(l, "\b");
  EXPECT_EQ(l->ItemIndex(), 1);
  Type(l, "\b");
  EXPECT_EQ(l->ItemIndex(), 0);
  EXPECT_EQ(l->SearchText(), "");
  Type(l, "b");
  l->SearchTimer().Timer();  // 1.5 s without a key
  EXPECT_EQ(l->SearchText(), "");
  Type(l, "a");
  EXPECT_EQ(l->ItemIndex(), 0);
  Type(l, "\x1b");
  EXPECT_EQ(l->ItemIndex(), -1);
  EXPECT_EQ(matches, 5);
  // A navigation key forgets the search text too.
  Type(l, "b");
  l->Perform(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(l->SearchText(), "");
}

TEST(StyListBox, WheelScrollsWithoutSelecting) {
  TForm form(nullptr);
  auto* l = new TStyListBox(&form);
  l->SetParent(&form);
  l->SetBounds(0, 0, 100, 4 * 16 + 4);
  for (int i = 0; i < 20; ++i) l->AddItem("item " + std::to_string(i));
  l->SetItemIndex(1);
  int clicks = 0;
  l->OnClick = [&](TComponent*) { ++clicks; };
  l->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(-120) << 16, 0);
  EXPECT_EQ(l->TopIndex(), WheelScrollLines());
  l->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(120) << 16, 0);
  l->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(120) << 16, 0);
  EXPECT_EQ(l->TopIndex(), 0);
  EXPECT_EQ(l->ItemIndex(), 1);
  EXPECT_EQ(clicks, 0);
}

TEST(StyListBox, GroupHeadersDrawWithoutPrefixOverAGradient) {
  TForm form(nullptr);
  auto* l = new TStyListBox(&form);
  l->SetParent(&form);
  l->SetOwnerDrawIndent(10);
  l->AddItem("//Sensors");
  l->AddItem("Temperature");
  l->SetShowGroups(true);
  EXPECT_EQ(l->Style(), TListBoxStyle::lbOwnerDrawFixed);
  EXPECT_EQ(l->ItemHeight(), FontLineHeight(l->Font()));
  EXPECT_EQ(l->FindGroup(1), 0);
  EXPECT_TRUE(l->InGroup(1));
  TRecordingCanvas c(l->Width(), l->Height());
  c.StartRecording();
  l->PaintTo(c, 0, 0);
  std::vector<std::string> texts;
  int first_text_x = -1, second_text_x = -1;
  for (const TCanvasCall& k : c.Calls())
    if (k.Op == "TextOut" || k.Op == "DrawText") {
      texts.push_back(k.Text);
      (texts.size() == 1 ? first_text_x : second_text_x) = k.Op == "TextOut" ? k.Points[0].X : k.Rect.Left;
    }
  EXPECT_EQ(texts, (std::vector<std::string>{"Sensors", "Temperature"}));
  EXPECT_EQ(second_text_x - first_text_x, 10) << "only the plain item is indented";
  l->SetShowGroups(false);
  EXPECT_EQ(l->Style(), TListBoxStyle::lbOwnerDrawFixed);
}

TEST(StyListBox, HorizontalExtentFollowsTheWidestItem) {
  TForm form(nullptr);
  auto* l = new TStyListBox(&form);
  l->SetHorzScrollBar(true);
  EXPECT_EQ(l->HorzExtent(), 0);
  l->AddItem("a rather long item text");
  ScreenCanvas().Font().Assign(l->Font());
  EXPECT_EQ(l->HorzExtent(), ScreenCanvas().TextWidth("a rather long item textx"));
}

TEST(StyListBox, OnlyAClippedItemShowsItsTextInAHint) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  auto* l = new TStyListBox(&form);
  l->SetBounds(0, 0, 60, 100);
  l->SetParent(&form);
  l->AddItem("short");
  l->AddItem("a much\tlonger item");
  form.Show();
  Application->ProcessMessages();
  if (!Application->Active()) GTEST_SKIP() << "the program is not in the foreground here";
  int h = l->ItemHeight();
  l->Perform(WM_MOUSEMOVE, 0, MakeLParam(5, 2));
  EXPECT_TRUE(l->ItemHint() == nullptr || !l->ItemHint()->HintVisible());
  l->Perform(WM_MOUSEMOVE, 0, MakeLParam(5, h + 2));
  ASSERT_NE(l->ItemHint(), nullptr);
  EXPECT_TRUE(l->ItemHint()->HintVisible());
  EXPECT_EQ(l->ItemHint()->Caption(), "a much        longer item");
  EXPECT_EQ(l->ItemHint()->ScreenRect().Left, l->ClientToScreen({0, 0}).X - 1);
  l->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(l->ItemHint()->HintVisible());
}

// ---------------------------------------------------------------------------------------------
TEST(StyTabbedListBox, AutomaticTabStopsAndCells) {
  TForm form(nullptr);
  auto* l = new TStyCustomTabbedListBox(&form);
  l->AddItem("no tabs");
  l->SetTabStopsMode(TStyTabStopsMode::tsmAutomatic);
  EXPECT_EQ(l->TabStops().Count(), 0);
  l->AddItem("x\tsecond\tthird");
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(l->Font());
  int w0 = std::max(c.TextWidth("no tabs"), c.TextWidth("x")), w1 = c.TextWidth("second");
  ASSERT_EQ(l->TabStops().Count(), 2);
  EXPECT_EQ(l->TabStops()[0], w0 / 6 + 4);
  EXPECT_EQ(l->TabStops()[1], w0 / 6 + 4 + w1 / 6 + 4);
  EXPECT_EQ(l->GetCell(1, 1), "second");
  EXPECT_EQ(l->GetCell(2, 1), "third");
  l->SetCell(1, 1, "2nd");
  EXPECT_EQ(l->Item(1), "x\t2nd\tthird");
  struct Bad {
    int column, row;
    const char* message;
  } bad[] = {{0, 99, "Row parameter out of range"},
             {-1, 0, "Column parameter out of range"},
             {1, 0, "Column parameter out of range"},
             {3, 1, "Column parameter out of range"}};
  for (const Bad& b : bad) {
    try {
      l->GetCell(b.column, b.row);
      ADD_FAILURE() << b.column << "," << b.row;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), b.message);
    }
  }
  EXPECT_THROW(l->UpdateFromHeader(nullptr), EHeaderError);
}

TEST(StyTabbedListBox, TabStopsReachTheWindowInDialogUnits) {
  TForm form(nullptr);
  auto* l = new TStyCustomTabbedListBox(&form);
  TStyIntegerList stops;
  stops.Add(8);
  stops.Add(20);
  l->SetTabStops(stops);
  EXPECT_EQ(l->WindowTabStops(), (std::vector<int>{32, 80}));
  l->TabStops().Add(30);
  EXPECT_EQ(l->WindowTabStops(), (std::vector<int>{32, 80, 120}));
  // Positions that do not fit 32 bits are clamped, and only the first 1000 stops count.
  l->TabStops().Add(2147483647);
  EXPECT_EQ(l->WindowTabStops().back(), 2147483647);
  for (int i = 0; i < 1100; ++i) l->TabStops().Add(i);
  EXPECT_EQ(l->WindowTabStops().size(), 1000u);
}

// ---------------------------------------------------------------------------------------------
class CheckListTest : public ::testing::Test {
protected:
  void SetUp() override {
    form.SetBounds(0, 0, 200, 200);
    list = new TStyCheckList(&form);
    list->SetBounds(0, 0, 150, 150);
    list->SetParent(&form);
    for (const char* s : {"one", "two", "//group", "four"}) list->AddItem(s);
    list->OnChange = [this](TComponent*, int i, TCheckBoxState s) {
      changes.push_back(std::to_string(i) + ":" + std::to_string(static_cast<int>(s)));
    };
  }
  // A click at x on item i (the client area; the glyph takes the first 17 pixels).
  void Click(int i, int x, int release_item = -1) {
    int y = i * list->ItemHeight() + 2;
    int ry = (release_item < 0 ? i : release_item) * list->ItemHeight() + 2;
    list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y));
    list->Perform(WM_LBUTTONUP, 0, MakeLParam(x, ry));
  }
  TForm form{nullptr};
  TStyCheckList* list = nullptr;
  std::vector<std::string> changes;
};

TEST_F(CheckListTest, GlyphClicksToggleTheStates) {
  Click(0, 5);
  Click(0, 5);
  EXPECT_EQ(changes, (std::vector<std::string>{"0:1", "0:0"}));
  list->SetAllowGrayed(true);
  Click(1, 5);
  Click(1, 5);
  Click(1, 5);
  EXPECT_EQ(list->ItemState(1), TCheckBoxState::cbUnchecked);
  EXPECT_EQ(changes.size(), 5u);
  EXPECT_EQ(changes[2], "1:2");
  changes.clear();
  Click(0, 60);  // on the text
  Click(2, 5);   // a group header
  list->SetItemEnabled(3, false);
  Click(3, 5);
  EXPECT_TRUE(changes.empty());
  list->SetAllowGrayed(false);
  list->SetToggleOnItemClick(true);
  Click(0, 60);
  EXPECT_EQ(changes, (std::vector<std::string>{"0:1"}));
  changes.clear();
  Click(0, 5, 1);  // released over another item: the selection moved nowhere, but the point did
  list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 2));
  list->SetItemIndex(1);
  list->Perform(WM_LBUTTONUP, 0, MakeLParam(5, 2));
  EXPECT_EQ(list->ItemState(1), TCheckBoxState::cbUnchecked) << "press on one item, release with another selected";
}

TEST_F(CheckListTest, SpaceTogglesOnReleaseAndNeverSearches) {
  list->SetItemIndex(0);
  list->Perform(WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(list->Perform(WM_CHAR, ' ', 0), 0);
  EXPECT_TRUE(changes.empty());
  list->Perform(WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(changes, (std::vector<std::string>{"0:1"}));
  EXPECT_EQ(list->SearchText(), "");
  list->OnChanging = [](TComponent*, int, TCheckBoxState, bool& allow) { allow = false; };
  list->Perform(WM_KEYDOWN, VK_SPACE, 0);
  list->Perform(WM_KEYUP, VK_SPACE, 0);
  EXPECT_TRUE(list->ItemChecked(0));
  EXPECT_EQ(changes.size(), 1u);
  // Code changes raise no events; the whole list's enabled state reaches every item.
  list->SetItemChecked(1, true);
  list->SetItemEnabled(1, false);
  EXPECT_EQ(changes.size(), 1u);
  list->SetEnabled(false);
  list->SetEnabled(true);
  EXPECT_TRUE(list->ItemEnabled(1));
}

TEST_F(CheckListTest, DisabledItemsDrawGreyWithTheDisabledGlyph) {
  list->SetItemState(0, TCheckBoxState::cbChecked);
  list->SetItemEnabled(0, false);
  TBitmap g;
  list->DrawStateGlyph(0, g);
  EXPECT_EQ(g.Pixel(6, 6), ColorToRGB(clBtnShadow)) << "the check mark";
  EXPECT_EQ(g.Pixel(3, 3), ColorToRGB(clBtnFace)) << "the inside";
  EXPECT_EQ(g.Pixel(0, 0), ColorToRGB(list->FrameColor()));
  TRecordingCanvas c(list->Width(), list->Height());
  c.StartRecording();
  list->PaintTo(c, 0, 0);
  for (const TCanvasCall& k : c.Calls())
    if (k.Op == "TextOut" && k.Text == "one") {
      EXPECT_EQ(k.FontColor, clBtnShadow);
    }
  // A larger font raises the item height above glyph height + 4.
  EXPECT_EQ(list->ItemHeight(), std::max(17, FontLineHeight(list->Font())));
  list->Font().SetSize(20);
  EXPECT_EQ(list->ItemHeight(), FontLineHeight(list->Font()));
}

TEST_F(CheckListTest, TextRoundTripKeepsStatesAndAddsNoBlanks) {
  list->ClearItems();
  for (const char* s : {"a", "b c", "d"}) list->AddItem(s);
  list->SetItemChecked(1, true);
  list->SetItemEnabled(1, false);
  std::string saved = list->SaveToText();
  EXPECT_EQ(saved, "&1 0 a \r\n&0 1 b c \r\n&1 0 d \r\n");
  TMemoryStream stream;
  list->SaveToStream(stream);
  stream.SetPosition(0);
  list->ClearItems();
  list->LoadFromStream(stream);
  EXPECT_EQ(list->ItemTexts(), (std::vector<std::string>{"a", "b c", "d"}));
  EXPECT_TRUE(list->ItemChecked(1));
  EXPECT_FALSE(list->ItemEnabled(1));
  EXPECT_EQ(list->SaveToText(), saved) << "a second round trip changes nothing";
  // Lines that do not have the item shape are added whole, enabled and unchecked.
  list->LoadFromText("plain\n&\n&1 7 bad state\n&x 0 y\r\n&1 2 grey\n");
  EXPECT_EQ(list->ItemTexts(), (std::vector<std::string>{"plain", "&", "&1 7 bad state", "&x 0 y", "grey"}));
  EXPECT_EQ(list->ItemState(4), TCheckBoxState::cbGrayed);
  EXPECT_EQ(list->ItemState(2), TCheckBoxState::cbUnchecked);
  // A line break inside a text does not split the item.
  list->ClearItems();
  list->AddItem("two\nlines");
  list->LoadFromText(list->SaveToText());
  EXPECT_EQ(list->ItemTexts(), (std::vector<std::string>{"two lines"}));
}

}  // namespace
}  // namespace qv
