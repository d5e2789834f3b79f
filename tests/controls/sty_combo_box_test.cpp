#include "controls/sty_combo_box.h"

#include <gtest/gtest.h>

#include "controls/sty_color_combo_box.h"

namespace qv {
namespace {

void Type(TWinControl* c, const std::string& text) {
  for (char ch : text) c->Perform(WM_CHAR, static_cast<unsigned char>(ch), 0);
}

class ComboTest : public ::testing::Test {
protected:
  void SetUp() override {
    combo = new TStyComboBox(&form);
    combo->SetParent(&form);
    for (const char* s : {"Alpha", "Beta"}) combo->AddItem(s);
  }
  TForm form{nullptr};
  TStyComboBox* combo = nullptr;
};

TEST_F(ComboTest, TypingCompletesAndSelectsTheTail) {
  int matches = 0;
  combo->OnMatch = [&](TComponent*) { ++matches; };
  Type(combo, "b");
  EXPECT_EQ(combo->EditText(), "Beta");
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->SelText(), "eta");
  Type(combo, "x");
  EXPECT_EQ(combo->EditText(), "bx") << "the characters as typed";
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(matches, 1);
}

TEST_F(ComboTest, WithoutAllowEditAMissIsRefused) {
  combo->SetAllowEdit(false);
  Type(combo, "b");
  int beeps = BeepCount();
  Type(combo, "x");
  EXPECT_EQ(BeepCount(), beeps + 1);
  EXPECT_EQ(combo->EditText(), "Beta");
  EXPECT_EQ(combo->SearchText(), "b");
}

TEST_F(ComboTest, KeepSearchCaseKeepsTheTypedLetters) {
  combo->SetKeepSearchCase(true);
  Type(combo, "al");
  EXPECT_EQ(combo->EditText(), "alpha");
  EXPECT_EQ(combo->SelText(), "pha");
  // Backspace shortens the search and completes again.
  Type(combo, "\b");
  EXPECT_EQ(combo->EditText(), "alpha");
  EXPECT_EQ(combo->SelText(), "lpha");
}

TEST_F(ComboTest, EscapeAndWheel) {
  combo->SetItemIndex(1);
  Type(combo, "\x1b");
  EXPECT_EQ(combo->ItemIndex(), -1) << "an edit-style box clears the selection";
  int changes = 0;
  combo->OnChange = [&](TComponent*) { ++changes; };
  combo->SetItemIndex(1);
  combo->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(-120) << 16, 0);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(changes, 0) << "wheel down on the last item changes nothing";
  combo->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(120) << 16, 0);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(changes, 1);
  combo->Perform(WM_MOUSEWHEEL, static_cast<uintptr_t>(120) << 16, 0);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(changes, 1);
}

TEST_F(ComboTest, ListStyleSearchesByPrefixWithinTheTimer) {
  combo->ClearItems();
  for (const char* s : {"Bar", "Bear", "Beet", "Cat"}) combo->AddItem(s);
  combo->SetStyle(TComboBoxStyle2::csDropDownList);
  Type(combo, "be");
  EXPECT_EQ(combo->ItemIndex(), 1);
  Type(combo, "e");
  EXPECT_EQ(combo->ItemIndex(), 2);
  combo->SearchTimer().Timer();
  Type(combo, "c");
  EXPECT_EQ(combo->ItemIndex(), 3);
  Type(combo, "\x1b");
  EXPECT_EQ(combo->ItemIndex(), 0) << "a list-style box selects the first item";
  combo->ClearItems();
  Type(combo, "\x1b\b");
  EXPECT_EQ(combo->ItemIndex(), -1) << "an empty list selects nothing";
}

TEST_F(ComboTest, ReadOnlyRefusesKeysAndClicks) {
  combo->SetItemIndex(0);
  combo->SetReadOnly(true);
  Type(combo, "b");
  EXPECT_EQ(combo->EditText(), "Alpha");
  EXPECT_EQ(combo->Perform(WM_KEYDOWN, VK_DOWN, 0), 0);
  EXPECT_EQ(combo->Perform(WM_KEYDOWN, 0x73, 0), 0);
  EXPECT_EQ(combo->Perform(WM_KEYDOWN, VK_DOWN, ssAlt), 0);
  EXPECT_NE(combo->Perform(WM_KEYDOWN, 0x73, ssAlt), 0) << "Alt+F4 still reaches the form";
  EXPECT_EQ(combo->Perform(WM_CHAR, 3, 0), 3) << "copying still works";
  combo->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(combo->ClientWidth() - 5, 5));
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 0);
}

TEST_F(ComboTest, LeavingWithATextThatIsNoItemIsReported) {
  int not_in_list = 0;
  combo->OnNotInList = [&](TComponent*) { ++not_in_list; };
  combo->SetEditText("Gamma");
  combo->Perform(CM_EXIT, 0, 0);
  combo->SetEditText("");
  combo->Perform(CM_EXIT, 0, 0);
  combo->SetEditText("beta");
  combo->Perform(CM_EXIT, 0, 0);
  EXPECT_EQ(not_in_list, 1);
}

TEST_F(ComboTest, StateColours) {
  combo->SetFocusColor(clWindow);
  combo->Perform(CM_ENTER, 0, 0);
  combo->SetColor(clYellow);
  EXPECT_EQ(combo->FocusColor(), clYellow) << "FocusColor equalled the normal colour";
  combo->Perform(CM_EXIT, 0, 0);
  EXPECT_EQ(combo->Color(), clYellow);
  combo->SetEnabled(false);
  EXPECT_EQ(combo->Color(), clBtnFace);
}

// ---------------------------------------------------------------------------------------------
TEST(StyColorComboBox, EntriesAndSelectedColor) {
  TForm form(nullptr);
  auto* c = new TStyColorComboBox(&form);
  c->SetParent(&form);
  EXPECT_EQ(c->Count(), 43);
  c->SetShowSysColors(false);
  EXPECT_EQ(c->Count(), 18);
  c->SetItemIndex(-1);
  c->SetDefaultColor(clNavy);
  EXPECT_EQ(c->SelectedColor(), clNavy) << "nothing selected answers the default colour";
  c->SetDefaultColor(clBlack);
  int changes = 0;
  c->OnChange = [&](TComponent*) { ++changes; };
  c->SetSelectedColor(clBlack);
  EXPECT_EQ(c->ItemIndex(), 0) << "the first match from the top wins";
  c->SetSelectedColor(RGB(1, 2, 3));
  EXPECT_EQ(c->ItemIndex(), c->Count() - 1);
  EXPECT_EQ(c->CustomColor(), RGB(1, 2, 3));
  EXPECT_EQ(c->SelectedColor(), RGB(1, 2, 3));
  EXPECT_EQ(changes, 2);
  // Renames reach the matching items.
  c->ColorNames().SetStandardName(0, "Schwarz");
  EXPECT_EQ(c->Item(1), "Schwarz");
  c->SetShowSysColors(true);
  c->ColorNames().SetSystemName(0, "Rollbalken");
  EXPECT_EQ(c->Item(17), "Rollbalken");
  EXPECT_TRUE(c->NamesChanged());
  EXPECT_EQ(c->Item(1), "Schwarz") << "names survive a rebuild";
}

TEST(StyColorComboBox, CustomEntryOpensTheDialogUnlessCancelled) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 300);
  auto* c = new TStyColorComboBox(&form);
  c->SetParent(&form);
  int shown = 0;
  SetColorDialogHook([&](TColorDialog& d) {
    ++shown;
    d.SetColor(RGB(10, 20, 30));
    d.CustomColors().SetValues("ColorA", "FFFFFFFF");
    return true;
  });
  c->SetDroppedDown(true);
  c->Perform(WM_KEYDOWN, VK_END, 0);
  c->SetItemIndex(c->Count() - 1);
  c->Perform(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(shown, 0) << "Escape on the custom entry opens nothing";
  c->SetDroppedDown(true);
  c->Perform(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(c->SelectedColor(), RGB(10, 20, 30));
  EXPECT_EQ(c->CustomColors().Values("ColorA"), "FFFFFF");
  SetColorDialogHook(nullptr);
}

}  // namespace
}  // namespace qv
