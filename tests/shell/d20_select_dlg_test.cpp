#include "shell/d20_select_dlg.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/archive_hooks.h"

namespace qv {
namespace {

// Runs StartD20SelectDlg; `user` acts on the shown dialog from the main loop's idle pass.
int RunDialog(uint8_t style, TStringList& list, int32_t& index, const std::function<void(TD20_SelectDlg&)>& user,
              const std::string& text1 = "Pick one", const std::string& text2 = "") {
  InitializeGui();
  bool acted = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (acted || !D20_SelectDlg || !D20_SelectDlg->Modal()) return;
    acted = true;
    user(*D20_SelectDlg);
  };
  const int result = StartD20SelectDlg("Caption", text1, text2, style, list, index);
  Application->OnIdle = nullptr;
  return result;
}

TStringList Choices(std::initializer_list<const char*> texts) {
  TStringList list;
  for (const char* t : texts) list.Add(t);
  return list;
}

void PickInControl(TD20_SelectDlg& dlg, int index) {
  if (auto* list = dynamic_cast<TListBox*>(dlg.ChoiceControl())) {
    list->SetItemIndex(index);
    list->Click();
  } else if (auto* combo = dynamic_cast<TComboBox*>(dlg.ChoiceControl())) {
    combo->SetItemIndex(index);
    combo->OnSelect(combo);
  }
}

TEST(SelectDialog, PickAndConfirmInEveryStyle) {
  for (uint8_t style : {0, 1, 2, 3}) {
    SCOPED_TRACE(int(style));
    TArchiveStandIns archive;
    TStringList list = Choices({"DL001 Cellar", "DL002 Attic", "DL003 Garage"});
    int32_t index = -1;
    const int result = RunDialog(style, list, index, [](TD20_SelectDlg& dlg) {
      EXPECT_EQ(dlg.Text(), "Caption");
      EXPECT_EQ(dlg.ItemCount(), 3);
      EXPECT_FALSE(dlg.OKBtn->Enabled());
      EXPECT_TRUE(dlg.CancelBtn->Default());
      PickInControl(dlg, 1);
      EXPECT_EQ(dlg.SelIndex(), 1);
      EXPECT_TRUE(dlg.OKBtn->Enabled());
      EXPECT_TRUE(dlg.OKBtn->Default());
      EXPECT_FALSE(dlg.CancelBtn->Default());
      dlg.OKBtn->Click();
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(index, 1);
    EXPECT_GE(archive.UserActivity, 1);
  }
}

TEST(SelectDialog, EmptyListAndCancelLeaveTheIndex) {
  TStringList empty;
  int32_t index = 7;
  EXPECT_EQ(RunDialog(1, empty, index,
                      [](TD20_SelectDlg& dlg) {
                        EXPECT_EQ(dlg.ItemCount(), 0);
                        EXPECT_FALSE(dlg.OKBtn->Enabled());
                        dlg.CancelBtn->Click();
                      }),
            mrCancel);
  EXPECT_EQ(index, 7);
  EXPECT_EQ(D20_SelectDlg, nullptr);
}

TEST(SelectDialog, PreselectionIsShownAndOneBeyondTheListIgnored) {
  TStringList list = Choices({"a", "b", "c"});
  int32_t index = 2;
  EXPECT_EQ(RunDialog(1, list, index,
                      [](TD20_SelectDlg& dlg) {
                        EXPECT_EQ(dlg.SelIndex(), 2);
                        EXPECT_TRUE(dlg.OKBtn->Enabled());
                        dlg.SetSelIndex(-2);
                        dlg.SetSelIndex(3);
                        EXPECT_EQ(dlg.SelIndex(), 2);
                        dlg.OKBtn->Click();
                      }),
            mrOk);
  EXPECT_EQ(index, 2);
  index = 5;
  RunDialog(1, list, index, [](TD20_SelectDlg& dlg) {
    EXPECT_EQ(dlg.SelIndex(), -1);
    EXPECT_FALSE(dlg.OKBtn->Enabled());
    dlg.CancelBtn->Click();
  });
  EXPECT_EQ(index, 5);
}

// The multiple-choice form answers every entry the user selected, in order, and nothing on Cancel.
TEST(SelectDialog, MultipleChoicesComeBackInOrder) {
  InitializeGui();
  for (const bool ok : {true, false}) {
    bool acted = false;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      if (acted || !D20_SelectDlg || !D20_SelectDlg->Modal()) return;
      acted = true;
      auto* list = dynamic_cast<TListBox*>(D20_SelectDlg->ChoiceControl());
      ASSERT_NE(list, nullptr);
      EXPECT_TRUE(list->MultiSelect());
      list->SetSelected(3, true);
      list->SetSelected(1, true);
      (ok ? D20_SelectDlg->OKBtn : D20_SelectDlg->CancelBtn)->Click();
    };
    std::vector<int> chosen{9};
    const int result = StartD20MultiSelectDlg("Mask columns", {"Air", "Floor", "rH", "CO2"}, chosen);
    Application->OnIdle = nullptr;
    EXPECT_EQ(result, ok ? mrOk : mrCancel);
    EXPECT_EQ(chosen, ok ? std::vector<int>({1, 3}) : std::vector<int>());
    EXPECT_EQ(D20_SelectDlg, nullptr);
  }
}

TEST(SelectDialog, OnlyOneInstance) {
  TStringList list = Choices({"a"});
  int32_t index = -1;
  RunDialog(1, list, index, [&](TD20_SelectDlg& dlg) {
    int32_t inner = -1;
    try {
      StartD20SelectDlg("Second", "", "", 1, list, inner);
      ADD_FAILURE() << "a second dialog was shown";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Error in StartD20SelectDlg: only !one! instance permitted");
    }
    EXPECT_EQ(D20_SelectDlg, &dlg);
    dlg.CancelBtn->Click();
  });
  EXPECT_EQ(D20_SelectDlg, nullptr);
}

TEST(SelectDialog, LayoutFollowsPromptsAndChoices) {
  TStringList list = Choices({"short", std::string(80, 'W').c_str()});
  int32_t index = -1;
  RunDialog(
      1, list, index,
      [](TD20_SelectDlg& dlg) {
        TWinControl* c = dlg.ChoiceControl();
        EXPECT_EQ(c->Left(), 15);
        EXPECT_GT(c->Width(), 230);  // the widest choice + 15
        EXPECT_EQ(c->Height(), 120);
        EXPECT_EQ(c->Top(), dlg.Text1Label->Top());  // no first prompt
        EXPECT_EQ(dlg.Text2Label->Top(), c->Top() + c->Height() + 10);
        EXPECT_EQ(dlg.OKBtn->Top(), dlg.Text2Label->Top() + dlg.Text2Label->Height() + 20);
        EXPECT_EQ(dlg.Width(), c->Width() + 15 + 15);
        EXPECT_EQ(dlg.Height(), dlg.OKBtn->Top() + dlg.OKBtn->Height() + 10);
        dlg.CancelBtn->Click();
      },
      "", "Below");
  RunDialog(0, list, index, [](TD20_SelectDlg& dlg) {
    TWinControl* c = dlg.ChoiceControl();
    EXPECT_EQ(c->Height(), 21);
    EXPECT_EQ(c->Top(), dlg.Text1Label->Top() + dlg.Text1Label->Height() + 10);
    EXPECT_EQ(dlg.OKBtn->Top(), c->Top() + c->Height() + 20);  // no second prompt
    dlg.CancelBtn->Click();
  });
}

}  // namespace
}  // namespace qv
