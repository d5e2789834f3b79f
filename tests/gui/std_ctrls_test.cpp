#include "platform/gui/std_ctrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <string>
#include <vector>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/date_time.h"

namespace qv {
namespace {

TEST(StdControls, ButtonWithModalResultEndsTheModalForm) {
  TForm form(nullptr);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetModalResult(mrOk);
  int clicks = 0;
  ok->OnClick = [&](TComponent*) { ++clicks; };
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (form.Modal()) ok->Click();
  };
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(clicks, 1);
  Application->OnIdle = nullptr;
}

TEST(StdControls, ValueChangesFireTheirEventsOnce) {
  TForm form(nullptr);
  auto* check = new TCheckBox(&form);
  check->SetParent(&form);
  int clicks = 0;
  check->OnClick = [&](TComponent*) { ++clicks; };
  check->SetChecked(true);
  check->SetChecked(true);
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(clicks, 1);

  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  int changes = 0;
  edit->OnChange = [&](TComponent*) { ++changes; };
  edit->SetText("abc");
  edit->SetText("abc");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(edit->Text(), "abc");

  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->Items().Add("one");
  combo->Items().Add("two");
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "two");
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetText("one");
  EXPECT_EQ(combo->ItemIndex(), 0);
  // Reading the list keeps the choice; changing it clears the choice of a drop-down list.
  auto* choice = new TComboBox(&form);
  choice->SetParent(&form);
  choice->SetStyle(TComboBoxStyle::csDropDownList);
  choice->Items().Add("one");
  choice->Items().Add("two");
  choice->SetItemIndex(1);
  EXPECT_EQ(choice->Items().Count(), 2);
  EXPECT_EQ(choice->ItemIndex(), 1);
  choice->Items().Add("three");
  EXPECT_EQ(choice->ItemIndex(), -1);

  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->Items().Add("a");
  list->Items().Add("b");
  list->SetItemIndex(1);
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST(StdControls, CountingKeepsAListSelection) {
  TForm form(nullptr);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->SetMultiSelect(true);
  for (const char* s : {"a", "b", "c"}) list->Items().Add(s);
  list->SetSelected(1, true);
  EXPECT_EQ(list->Count(), 3);
  EXPECT_TRUE(list->Selected(1));
  EXPECT_FALSE(list->Selected(0));
}

TEST(StdControls, GroupBoxDrawsItsCaptionOnItsFrame) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 120);
  auto* group = new TGroupBox(&form);
  group->SetParent(&form);
  group->SetBounds(10, 10, 150, 80);
  group->SetCaption("Interval");
  auto* child = new TLabel(&form);
  child->SetParent(group);
  EXPECT_EQ(child->Parent(), group);
  TRecordingCanvas canvas(150, 80);
  group->PaintTo(canvas, 0, 0);
  const auto& calls = canvas.Calls();
  EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                          [](const TCanvasCall& c) { return c.Op == "DrawText" && c.Text == "Interval"; }));
  EXPECT_EQ(canvas.Pixel(0, 60), ColorToRGB(clBtnShadow));  // the frame's left edge
}

TEST(StdControls, DateTimePickerKeepsBothPartsAndReportsOnlyUserChanges) {
  TForm form(nullptr);
  auto* picker = new TDateTimePicker(&form);
  picker->SetParent(&form);
  int changes = 0;
  picker->OnChange = [&](TComponent*) { ++changes; };
  const TDateTime value = EncodeDate(2026, 2, 28) + EncodeTime(23, 59, 58, 0);
  for (TDateTimeKind kind : {TDateTimeKind::dtkDate, TDateTimeKind::dtkTime}) {
    picker->SetKind(kind);
    picker->SetDateTime(value);
    EXPECT_DOUBLE_EQ(picker->DateTime(), value);
  }
  EXPECT_EQ(changes, 0);
  picker->Change();
  EXPECT_EQ(changes, 1);
}

TEST(StdControls, SpeedButtonsOfAGroupLatchOneAtATime) {
  TForm form(nullptr);
  auto* a = new TSpeedButton(&form);
  auto* b = new TSpeedButton(&form);
  auto* loose = new TSpeedButton(&form);
  for (auto* s : {a, b, loose}) s->SetParent(&form);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  loose->SetDown(true);
  EXPECT_FALSE(loose->Down());  // no group: never down
  a->SetDown(true);
  b->SetDown(true);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  b->SetDown(false);  // without AllowAllUp the last one stays down
  EXPECT_TRUE(b->Down());
}

// A press and release with the mouse over a speed button clicks it once, grouped or not; a
// press released elsewhere clicks nothing and leaves the group as it was.
TEST(StdControls, SpeedButtonsClickOnceOnAPressAndReleaseOverThem) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* loose = new TSpeedButton(&form);
  auto* a = new TSpeedButton(&form);
  auto* b = new TSpeedButton(&form);
  std::vector<std::string> clicks;
  int left = 10;
  for (auto [button, name] : {std::pair{loose, "loose"}, std::pair{a, "a"}, std::pair{b, "b"}}) {
    button->SetParent(&form);
    button->SetBounds(left, 10, 23, 22);
    button->OnClick = [&clicks, name = std::string(name)](TComponent*) { clicks.push_back(name); };
    left += 30;
  }
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  form.Show();

  UserClick(loose);
  EXPECT_EQ(clicks, std::vector<std::string>{"loose"});
  EXPECT_FALSE(loose->Down());
  UserClick(a);
  UserClick(b);
  EXPECT_EQ(clicks, (std::vector<std::string>{"loose", "a", "b"}));
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  UserClick(b);  // the down one stays down and still clicks
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(clicks.size(), 4u);

  // Pressed, then released outside the button (over the form, and over another button).
  clicks.clear();
  UserPress(a, {5, 5});
  UserMove(a, {-40, 5});
  UserRelease(a, {-40, 5});
  UserPress(loose, {5, 5});
  UserRelease(loose, {120, 50});
  EXPECT_TRUE(clicks.empty());
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());

  // A disabled button takes no click.
  loose->SetEnabled(false);
  UserClick(loose);
  EXPECT_TRUE(clicks.empty());
}

// A click whose handler runs a message box, while the program's other work frees the panel that
// holds the button (a speed button, and a push button of its own window): the mouse release that
// clicked it ends without touching the freed button or its window, and the form takes the mouse
// afterwards.
TEST(StdControls, AButtonFreedWhileItsClickShowsAMessageEndsCleanly) {
  for (const bool windowed : {false, true}) {
    SCOPED_TRACE(windowed ? "push button" : "speed button");
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 200, 60);
    TControl* button = windowed ? static_cast<TControl*>(new TButton(panel)) : new TSpeedButton(panel);
    button->SetParent(panel);
    button->SetBounds(10, 10, 60, 22);
    int answered = 0;
    button->OnClick = [&](TComponent*) { answered = MessageDlg("Battery", TMsgDlgType::mtInformation, mbOK); };
    form.Show();
    TTimer reader(nullptr);
    reader.SetInterval(20);
    reader.OnTimer = [&](TComponent*) {
      TModalWindow box;
      if (!TopModalWindow(box) || box.Form) return;
      reader.SetEnabled(false);
      delete panel;  // the rebuild that happens while the box is open
      panel = nullptr;
      EXPECT_TRUE(UserClickDialogButton("OK"));
    };
    UserClick(button);
    EXPECT_EQ(answered, mrOk);
    EXPECT_EQ(panel, nullptr);
    int clicks = 0;
    form.OnClick = [&](TComponent*) { ++clicks; };
    UserClick(&form, {20, 80});
    EXPECT_EQ(clicks, 1);
  }
}

TEST(StdControls, LabelSizesItselfToItsCaption) {
  TForm form(nullptr);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetCaption("A longer caption");
  int w = label->Width();
  label->SetCaption("Short");
  EXPECT_LT(label->Width(), w);
  EXPECT_EQ(label->Width(), ScreenCanvas().TextWidth("Short"));
}

TEST(StdControls, PanelClientAreaExcludesBevelsAndBorder) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 100, 100);
  panel->SetBorderWidth(3);
  auto* child = new TPanel(&form);
  child->SetParent(panel);
  child->SetAlign(TAlign::alClient);
  EXPECT_EQ(child->BoundsRect(), Rect(4, 4, 96, 96));
}

TEST(StdControls, MemoKeepsWholeLinesAndShowsThem) {
  TForm form(nullptr);
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  memo->SetReadOnly(true);
  memo->SetWordWrap(false);
  for (const char* line : {"first", "Grüße", "", "last"}) memo->AddLine(line);
  memo->DeleteLine(0);
  memo->DeleteLine(7);  // outside: nothing
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"Grüße", "", "last"}));
  EXPECT_EQ(memo->ShownText(), "Grüße\n\nlast");
  EXPECT_TRUE(memo->ReadOnly());
  EXPECT_FALSE(memo->WordWrap());
  memo->ClearLines();
  EXPECT_EQ(memo->LineCount(), 0);
  EXPECT_EQ(memo->ShownText(), "");
}

// Text typed into a memo reaches its lines and its change event; lines set by the program do not
// fire it. The lines join with CR LF.
TEST(StdControls, MemoReportsTheUsersEditsAndJoinsLinesWithCrLf) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  int changes = 0;
  memo->OnChange = [&](TComponent*) { ++changes; };
  memo->SetLinesText("Door open\r\nchecked");
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"Door open", "checked"}));
  EXPECT_EQ(changes, 0);
  form.Show();
  UserClick(memo);
  UserKey(VK_END, ssCtrl);
  UserType("!");
  UserKey(VK_RETURN);
  UserType("ok");
  EXPECT_EQ(changes, 4);  // "!", the line break, "o" and "k"
  EXPECT_EQ(memo->LinesText(), "Door open\r\nchecked!\r\nok");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// A shown form whose window is active, so that focus and keys reach its controls.
struct KeyForm : ::testing::Test {
  std::vector<std::string> log;
  TForm form{nullptr};
  void SetUp() override {
    form.SetBounds(0, 0, 300, 300);
    form.Show();
    Application->ProcessMessages();
  }
  template <class C>
  C* Add(const std::string& name, int top) {
    auto* c = new C(&form);
    c->SetParent(&form);
    c->SetTop(top);
    c->OnEnter = [this, name](TComponent*) { log.push_back("enter " + name); };
    c->OnExit = [this, name](TComponent*) { log.push_back("exit " + name); };
    c->OnKeyDown = [this, name](TComponent*, uint16_t& key, TShiftState) {
      log.push_back("down " + name + " " + std::to_string(key));
    };
    c->OnKeyPress = [this, name](TComponent*, char& ch) { log.push_back(std::string("press ") + name + " " + ch); };
    c->OnKeyUp = [this, name](TComponent*, uint16_t& key, TShiftState) {
      log.push_back("up " + name + " " + std::to_string(key));
    };
    return c;
  }
  void Focus(TWinControl* c) {
    c->SetFocus();
    Application->ProcessMessages();
    ASSERT_TRUE(c->Focused());
  }
};

TEST_F(KeyForm, FocusMovingBetweenStandardControlsExitsThenEnters) {
  auto* edit = Add<TEdit>("edit", 0);
  auto* button = Add<TButton>("button", 40);
  auto* combo = Add<TComboBox>("combo", 80);
  auto* list = Add<TListBox>("list", 120);
  Focus(edit);
  Focus(button);
  Focus(combo);
  Focus(list);
  Focus(edit);
  EXPECT_EQ(log, (std::vector<std::string>{"enter edit", "exit edit", "enter button", "exit button", "enter combo",
                                           "exit combo", "enter list", "exit list", "enter edit"}));
}

TEST_F(KeyForm, KeysReachStandardControlsAndClearedKeysStayOutOfTheText) {
  auto* edit = Add<TEdit>("edit", 0);
  auto* combo = Add<TComboBox>("combo", 40);
  struct Case {
    TWinControl* control;
    std::string name;
  };
  for (const Case& c : {Case{edit, "edit"}, Case{combo, "combo"}}) {
    SCOPED_TRACE(c.name);
    Focus(c.control);
    log.clear();
    SendKeyForTest('A', 'a');
    EXPECT_EQ(log,
              (std::vector<std::string>{"down " + c.name + " 65", "press " + c.name + " a", "up " + c.name + " 65"}));
    EXPECT_EQ(c.control->Text(), "a");

    // Cleared in KeyPress: no character; cleared in KeyDown: no KeyPress either; changed: the new one.
    auto press = c.control->OnKeyPress;
    c.control->OnKeyPress = [&](TComponent* s, char& ch) {
      press(s, ch);
      if (ch == 'b') ch = 0;
      if (ch == 'd') ch = 'x';
    };
    auto down = c.control->OnKeyDown;
    c.control->OnKeyDown = [&](TComponent* s, uint16_t& key, TShiftState shift) {
      down(s, key, shift);
      if (key == 'C' || key == VK_BACK) key = 0;
    };
    log.clear();
    SendKeyForTest('B', 'b');
    SendKeyForTest('C', 'c');
    SendKeyForTest('D', 'd');
    EXPECT_EQ(c.control->Text(), "ax");
    EXPECT_EQ(log, (std::vector<std::string>{"down " + c.name + " 66", "press " + c.name + " b", "up " + c.name + " 66",
                                             "down " + c.name + " 67", "up " + c.name + " 67", "down " + c.name + " 68",
                                             "press " + c.name + " d", "up " + c.name + " 68"}));
    // An editing key cleared in KeyDown leaves the text alone too.
    SendKeyForTest(VK_BACK, 0);
    EXPECT_EQ(c.control->Text(), "ax");
  }
}

TEST(StdControlsFocus, FreeingAFormRaisesNoFocusEventsOnItsControls) {
  int events = 0;
  {
    TForm form(nullptr);
    form.Show();
    Application->ProcessMessages();
    for (int i = 0; i < 3; ++i) {
      auto* edit = new TEdit(&form);
      edit->SetParent(&form);
      edit->SetTop(i * 30);
      edit->OnEnter = edit->OnExit = [&](TComponent*) { ++events; };
    }
    static_cast<TWinControl*>(form.Controls(2))->SetFocus();
    Application->ProcessMessages();
    events = 0;
  }
  EXPECT_EQ(events, 0);
}

TEST_F(KeyForm, ClearedKeyLeavesTheListSelectionAlone) {
  auto* list = Add<TListBox>("list", 0);
  list->Items().Add("one");
  list->Items().Add("two");
  list->SetItemIndex(0);
  Focus(list);
  SendKeyForTest(VK_DOWN, 0);
  EXPECT_EQ(list->ItemIndex(), 1);
  list->OnKeyDown = [](TComponent*, uint16_t& key, TShiftState) { key = 0; };
  SendKeyForTest(VK_UP, 0);
  EXPECT_EQ(list->ItemIndex(), 1);
}

}  // namespace
}  // namespace qv

namespace qv {

// A click on an item's button checks it alone and fires the group's OnClick once; ItemIndex
// set from code does the same.
TEST(StdControls, ARadioGroupTakesTheClickedItem) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 240, 160);
  auto* group = new TRadioGroup(&form);
  group->SetParent(&form);
  group->SetBounds(10, 10, 200, 120);
  group->SetItems({"one", "two", "three"});
  form.Show();
  int clicks = 0;
  group->OnClick = [&](TComponent*) { ++clicks; };
  EXPECT_EQ(group->ItemIndex(), -1);
  TRadioButton* third = group->Button(2);
  SendMouseForTest(third, WM_LBUTTONDOWN, {6, 8});
  SendMouseForTest(third, WM_LBUTTONUP, {6, 8});
  EXPECT_EQ(group->ItemIndex(), 2);
  EXPECT_TRUE(third->Checked());
  EXPECT_EQ(clicks, 1);
  group->SetItemIndex(0);
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(group->Button(0)->Checked());
  EXPECT_FALSE(third->Checked());
  SendMouseForTest(group->Button(0), WM_LBUTTONDOWN, {6, 8});
  SendMouseForTest(group->Button(0), WM_LBUTTONUP, {6, 8});
  EXPECT_EQ(clicks, 2);  // already checked: no change
  SendMouseForTest(group->Button(1), WM_LBUTTONDOWN, {6, 8});
  SendMouseForTest(group->Button(1), WM_LBUTTONUP, {6, 8});
  EXPECT_EQ(group->ItemIndex(), 1);
  EXPECT_TRUE(group->Button(1)->Checked());
  EXPECT_FALSE(group->Button(0)->Checked());
  EXPECT_EQ(clicks, 3);
}

}  // namespace qv
