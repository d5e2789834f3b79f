#include "controls/sty_edit.h"

#include <gtest/gtest.h>

#include "controls/draw_log.h"
#include "controls/sty_frame_controller.h"
#include "controls/sty_list_box.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/forms.h"
#include "platform/gui/user_input.h"

namespace qv {
namespace {

// Colours of the lines an edit's painting drew (its border included).
std::vector<TColor> LineColors(TWinControl* c) {
  TRecordingCanvas canvas(c->Width(), c->Height());
  canvas.StartRecording();
  c->PaintTo(canvas, 0, 0);
  std::vector<TColor> out;
  for (const TCanvasCall& k : canvas.Calls())
    if (k.Op == "Line") out.push_back(k.Pen.Color);
  return out;
}
bool Drew(TWinControl* c, TColor color) {
  auto v = LineColors(c);
  return std::find(v.begin(), v.end(), color) != v.end();
}

TEST(StyEdit, OwnFrameOnlyWhenVisibleAndHotWhileFocused) {
  TForm form(nullptr);
  auto* e = new TStyEdit(&form);
  e->SetParent(&form);
  e->SetFrameColor(clRed);
  e->SetFrameHotColor(clBlue);
  EXPECT_FALSE(Drew(e, clRed)) << "no own frame while FrameVisible is off";
  e->SetFrameVisible(true);
  EXPECT_TRUE(Drew(e, clRed));
  EXPECT_FALSE(Drew(e, clBlue));
  e->SetFrameHotTrack(true);
  e->Perform(CM_ENTER, 0, 0);
  EXPECT_TRUE(Drew(e, clBlue));
  EXPECT_FALSE(Drew(e, clRed));
  e->Perform(CM_EXIT, 0, 0);
  EXPECT_TRUE(Drew(e, clRed));
  e->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(Drew(e, clBlue));
  e->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(Drew(e, clBlue));
}

// How many pixels of ring `ring` (0 the outermost) of the control's real pixels have `color`,
// and how many pixels the ring has.
std::pair<int, int> RingPixels(TWinControl* c, int ring, TColor color) {
  TBitmap shot;
  GrabWindowImage(c, shot);
  const TColor want = ColorToRGB(color);
  int found = 0, all = 0;
  const int l = ring, t = ring, r = shot.Width() - 1 - ring, b = shot.Height() - 1 - ring;
  for (int y = t; y <= b; ++y)
    for (int x = l; x <= r; ++x) {
      if (x != l && x != r && y != t && y != b) continue;
      ++all;
      if (shot.Pixel(x, y) == want) ++found;
    }
  return {found, all};
}

// The own frame shows in what the window system draws: the edit, the spin edit and the list box
// paint it on their border, outside the client area that their native part covers.
TEST(StyFramedControls, FrameAndHotFrameShowInTheRealPixels) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* edit = new TStyEdit(&form);
  auto* spin = new TStySpinEdit(&form);
  auto* list = new TStyListBox(&form);
  const int lefts[] = {10, 120, 10};
  const int tops[] = {10, 10, 50};
  TWinControl* controls[] = {edit, spin, list};
  for (int i = 0; i < 3; ++i) {
    controls[i]->SetParent(&form);
    controls[i]->SetBounds(lefts[i], tops[i], 90, i == 2 ? 80 : 21);
  }
  list->AddItem("Cellar");
  form.Show();
  const auto set_frame = [](auto* c) {
    c->SetFrameColor(clRed);
    c->SetFrameHotColor(clBlue);
    c->SetFrameHotTrack(true);  // also shows the frame
  };
  set_frame(edit);
  set_frame(spin);
  set_frame(list);
  // fsFlat: one ring of the frame colour on the outer edge, the control's colour inside it.
  const auto expect_plain = [](TWinControl* c) {
    SCOPED_TRACE(c->ClassName());
    auto [red, ring0] = RingPixels(c, 0, clRed);
    EXPECT_EQ(red, ring0);
    auto [window, ring1] = RingPixels(c, 1, clWindow);
    EXPECT_EQ(window, ring1);
  };
  // The hot frame, fsFlatBold: two rings of the hot colour.
  const auto expect_hot = [](TWinControl* c) {
    SCOPED_TRACE(c->ClassName());
    for (int ring : {0, 1}) {
      auto [blue, all] = RingPixels(c, ring, clBlue);
      EXPECT_EQ(blue, all) << "ring " << ring;
    }
  };
  UserClick(edit);
  Application->ProcessMessages();
  ASSERT_TRUE(edit->Focused());
  expect_hot(edit);
  expect_plain(spin);
  expect_plain(list);
  UserClick(list, {20, 10});
  Application->ProcessMessages();
  ASSERT_TRUE(list->Focused());
  expect_plain(edit);
  expect_hot(list);
}

TEST(StyEdit, HotTrackSwitchesTheFrameOnWithAllSides) {
  TForm form(nullptr);
  auto* e = new TStyEdit(&form);
  e->SetFrameSides(SideBit(TSide::sdTop));
  e->SetFrameHotTrack(true);
  EXPECT_TRUE(e->FrameVisible());
  EXPECT_EQ(e->FrameSides(), sdAllSides);
}

TEST(StyEdit, FrameControllerSetsTheFrameByName) {
  TForm form(nullptr);
  TStyFrameController fc(nullptr);
  fc.SetFrameVisible(true);
  fc.SetFrameColor(clRed);
  fc.SetFrameStyle(TFrameStyleEx::fsStatus);
  fc.SetFocusColor(clInfoBk);
  auto* e = new TStySpinEdit(&form);
  e->SetFrameController(&fc);
  EXPECT_TRUE(e->FrameVisible());
  EXPECT_EQ(e->FrameColor(), clRed);
  EXPECT_EQ(e->FrameStyle(), TFrameStyleEx::fsStatus);
  EXPECT_EQ(e->FocusColor(), clInfoBk);
  EXPECT_TRUE(e->FlatButtons()) << "the spin edit takes the flat buttons too";
  fc.SetFrameColor(clBlue);
  EXPECT_EQ(e->FrameColor(), clBlue);
}

TEST(StyEdit, ColoursFollowTheStateAndKeepTheUsersColours) {
  TForm form(nullptr);
  auto* e = new TStyEdit(&form);
  e->SetParent(&form);
  e->SetFocusColor(clYellow);
  e->Perform(CM_ENTER, 0, 0);
  EXPECT_EQ(e->Color(), clYellow);
  e->Perform(CM_EXIT, 0, 0);
  EXPECT_EQ(e->Color(), clWindow);
  // FocusColor differs from the normal colour: a new Color leaves it.
  e->SetColor(clAqua);
  EXPECT_EQ(e->FocusColor(), clYellow);
  e->SetFocusColor(clAqua);
  e->SetColor(clLime);
  EXPECT_EQ(e->FocusColor(), clLime) << "equal colours move together";
  e->SetEnabled(false);
  EXPECT_EQ(e->Color(), clBtnFace);
  e->SetEnabled(true);
  EXPECT_EQ(e->Color(), clLime);
}

TEST(StyEdit, EnterMovesTheFocusOnlyWithTabOnEnter) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 100);
  auto* a = new TStyEdit(&form);
  a->SetParent(&form);
  auto* b = new TStyEdit(&form);
  b->SetTop(40);
  b->SetParent(&form);
  form.Show();
  Application->ProcessMessages();
  a->SetFocus();
  Application->ProcessMessages();
  if (!a->Focused()) GTEST_SKIP() << "no keyboard focus on this platform";
  EXPECT_EQ(a->Perform(WM_CHAR, '\r', 0), '\r');
  a->SetTabOnEnter(true);
  EXPECT_EQ(a->Perform(WM_CHAR, '\r', 0), 0) << "Enter is consumed";
  Application->ProcessMessages();
  EXPECT_TRUE(b->Focused());
}

// ---------------------------------------------------------------------------------------------
TEST(StySpinEdit, StartsAtZeroAndStepsWithinTheRange) {
  TForm form(nullptr);
  auto* s = new TStySpinEdit(&form);
  s->SetParent(&form);
  EXPECT_EQ(s->Text(), "0");
  EXPECT_EQ(s->Alignment(), TAlignment::taRightJustify);
  EXPECT_EQ(s->Width(), 47);
  s->SetMax(12);
  std::vector<TSpinButtonType> told;
  s->OnButtonClick = [&](TComponent*, TSpinButtonType b) { told.push_back(b); };
  s->SetValue(11);
  s->GetSpinButton(TSpinButtonType::sbUp)->Click();
  uint16_t up = VK_UP, prior = VK_PRIOR;
  s->Perform(WM_KEYDOWN, up, 0);
  s->Perform(WM_KEYDOWN, prior, 0);
  EXPECT_EQ(s->Text(), "12");
  EXPECT_EQ(told.size(), 3u) << "a step at the bound is still announced";
  s->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(-120) << 16, 0);
  EXPECT_EQ(s->Value(), 11);
  s->Perform(WM_MOUSEWHEEL, (static_cast<uintptr_t>(-120) << 16) | MK_CONTROL, 0);
  EXPECT_EQ(s->Value(), 1) << "Ctrl and the wheel step by the page";
  bool allow = false;
  s->OnChanging = [&](TComponent*, bool& a) { a = allow; };
  s->StepUp(1);
  EXPECT_EQ(s->Value(), 1);
  s->OnChanging = nullptr;
  s->SetReadOnly(true);
  int beeps = BeepCount();
  s->StepDown(1);
  EXPECT_EQ(s->Value(), 1);
  EXPECT_EQ(BeepCount(), beeps + 1);
}

TEST(StySpinEdit, LimitsAndDecimals) {
  TForm form(nullptr);
  auto* s = new TStySpinEdit(&form);
  // Min = Max without CheckRange accepts anything.
  s->SetMax(0);
  s->StepDown(5);
  EXPECT_EQ(s->Value(), -5);
  s->SetCheckRange(true);
  EXPECT_EQ(s->Value(), 0);
  s->SetCheckRange(false);
  s->SetMax(100);
  s->SetValue(50);
  s->SetMin(60);
  EXPECT_EQ(s->Value(), 60);
  s->SetMax(20);
  EXPECT_EQ(s->Min(), 20);
  EXPECT_EQ(s->Value(), 20);
  s->SetMin(0);
  s->SetMax(10);
  s->SetIntegersOnly(false);
  s->SetDecimals(2);
  s->SetValue(2.5);
  EXPECT_EQ(s->Text(), "2.50");
  s->SetIntegersOnly(true);
  EXPECT_EQ(s->Text(), "2") << "halves go to the even neighbour";
  EXPECT_EQ(s->Decimals(), 0);
  s->SetText("abc");
  EXPECT_EQ(s->Value(), 0) << "a text that is no number reads as Min";
  s->SetText("");
  EXPECT_EQ(s->Value(), 0);
  EXPECT_EQ(s->Text(), "0") << "an empty text is replaced by Min";
  s->SetAllowBlank(true);
  s->SetBlankValue(7);
  s->SetText("");
  EXPECT_EQ(s->Value(), 7);
  s->Perform(CM_EXIT, 0, 0);
  EXPECT_EQ(s->Text(), "");
  s->SetAllowBlank(false);
  s->SetText("99");
  s->Perform(CM_EXIT, 0, 0);
  EXPECT_EQ(s->Text(), "10") << "leaving clamps what was typed";
}

TEST(StySpinEdit, TypedCharacters) {
  TForm form(nullptr);
  auto* s = new TStySpinEdit(&form);
  s->SetParent(&form);
  s->SetMin(-100);
  s->SetText("12");
  s->SetSelStart(2);
  // Without AllowKeyEdit only control characters pass (Backspace not).
  for (char c : {'5', '-', '\b', 'x'}) EXPECT_FALSE(s->AcceptsChar(c)) << c;
  EXPECT_TRUE(s->AcceptsChar(3));
  int beeps = BeepCount();
  EXPECT_EQ(s->Perform(WM_CHAR, '5', 0), 0);
  EXPECT_EQ(BeepCount(), beeps + 1);
  EXPECT_EQ(s->Perform(WM_CHAR, 22, 0), 0) << "no paste";
  EXPECT_EQ(s->Perform(WM_KEYDOWN, VK_DELETE, 0), 0);
  s->SetAllowKeyEdit(true);
  struct Case {
    const char* text;
    int sel_start, sel_length;
    char key;
    bool integers, accepted;
  } cases[] = {
      {"12", 2, 0, '5', true, true},  {"12", 2, 0, 'x', true, false},   {"12", 2, 0, '.', true, false},
      {"12", 2, 0, '.', false, true}, {"1.2", 3, 0, '.', false, false}, {"1.2", 0, 3, '.', false, true},
      {"12", 0, 0, '-', true, true},  {"12", 1, 0, '-', true, false},   {"-12", 0, 0, '-', true, false},
      {"-12", 0, 3, '-', true, true}, {"12", 2, 0, '\b', true, true},   {"12", 2, 0, '\r', true, false},
  };
  for (const Case& k : cases) {
    s->SetIntegersOnly(k.integers);
    s->SetText(k.text);
    s->SetSelStart(k.sel_start);
    s->SetSelLength(k.sel_length);
    EXPECT_EQ(s->AcceptsChar(k.key), k.accepted) << k.text << " " << k.key;
  }
}

TEST(StySpinEdit, PressingASpinButtonFocusesTheEditAndStepsUntilTheBound) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* other = new TStyEdit(&form);
  other->SetParent(&form);
  auto* s = new TStySpinEdit(&form);
  s->SetTop(40);
  s->SetParent(&form);
  s->SetMax(2);
  s->SetValue(1);
  form.Show();
  Application->ProcessMessages();
  other->SetFocus();
  Application->ProcessMessages();
  if (!other->Focused()) GTEST_SKIP() << "no keyboard focus on this platform";
  TStyControlButton* up = s->GetSpinButton(TSpinButtonType::sbUp);
  for (int i = 0; i < 3; ++i) {
    up->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(2, 2));
    up->Perform(WM_LBUTTONUP, 0, MakeLParam(2, 2));
  }
  Application->ProcessMessages();
  EXPECT_TRUE(s->Focused());
  EXPECT_EQ(s->Value(), 2);
}

TEST(StySpinButtons, DirectionDropsCustomGlyphsAndLayoutSplitsTheHeight) {
  TForm form(nullptr);
  auto* b = new TStySpinButtons(&form);
  b->SetParent(&form);
  EXPECT_EQ(b->UpRightButton()->Style(), TStyControlButtonStyle::cbsUp);
  TBitmap glyph(8, 8);
  b->SetGlyphUpRight(&glyph);
  EXPECT_TRUE(b->CustomUpRight());
  EXPECT_EQ(b->UpRightButton()->Style(), TStyControlButtonStyle::cbsNone);
  b->SetDirection(TSpinDirection::sdLeftRight);
  EXPECT_FALSE(b->CustomUpRight());
  EXPECT_EQ(b->UpRightButton()->Style(), TStyControlButtonStyle::cbsRight);
  EXPECT_EQ(b->DownLeftButton()->Style(), TStyControlButtonStyle::cbsLeft);
  b->SetBounds(0, 0, 16, 25);
  EXPECT_EQ(b->UpRightButton()->BoundsRect(), Rect(0, 0, 16, 12));
  EXPECT_EQ(b->DownLeftButton()->BoundsRect(), Rect(0, 12, 16, 24));
  b->SetOrientation(TOrientation::orHorizontal);
  EXPECT_EQ(b->Width(), 32);
  EXPECT_EQ(b->DownLeftButton()->BoundsRect(), Rect(0, 0, 16, 24));
  EXPECT_EQ(b->UpRightButton()->BoundsRect(), Rect(16, 0, 32, 24));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {
// A key the edit's native box leaves unused reaches the control once: one Up is one step.
TEST(StySpinEdit, ARealKeyStepsOnce) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 80);
  auto* s = new TStySpinEdit(&form);
  s->SetParent(&form);
  s->SetBounds(10, 10, 80, 21);
  s->SetMax(100);
  s->SetValue(5);
  form.Show();
  UserClick(s);
  Application->ProcessMessages();
  int downs = 0;
  s->OnKeyDown = [&](TComponent*, uint16_t&, TShiftState) { ++downs; };
  UserKey(VK_UP);
  EXPECT_EQ(s->Value(), 6);
  UserKey(VK_DOWN);
  UserKey(VK_DOWN);
  EXPECT_EQ(s->Value(), 4);
  EXPECT_EQ(downs, 3);
}
}  // namespace
}  // namespace qv
