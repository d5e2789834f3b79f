#include "base/forms/d23_edit_prot_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/sty_spin_edit.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "support/english_texts.h"

namespace qv {
namespace {

// Runs the dialog through RunProtOptionsDialog; `user` acts on it once it is shown.
bool RunDialog(TProtOptions& options, const std::function<void(TD23_EditProtOptions&)>& user) {
  InitializeGui();
  bool acted = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (acted) return;
    for (int i = 0; i < Screen->FormCount(); ++i) {
      auto* dlg = dynamic_cast<TD23_EditProtOptions*>(Screen->Forms(i));
      if (!dlg || !dlg->Modal()) continue;
      acted = true;
      user(*dlg);
      return;
    }
  };
  const bool ok = RunProtOptionsDialog(options);
  Application->OnIdle = nullptr;
  return ok;
}

TEST(ProtOptionsDialog, ShowsTheOptionsAndGivesBackTheChoice) {
  TProtOptions options{true, false, true, 200 * 1024 + 500};
  const bool ok = RunDialog(options, [](TD23_EditProtOptions& dlg) {
    EXPECT_TRUE(dlg.ProtAutoModeOnlyCheckBox->Checked());
    EXPECT_FALSE(dlg.ProtShortCheckBox->Checked());
    EXPECT_EQ(dlg.ProtMaxSizeEdit->IntValue(), 200);  // bytes div 1024
    EXPECT_TRUE(dlg.ProtMaxSizeEdit->Enabled());
    EXPECT_TRUE(dlg.CancelBtn->Default());
    EXPECT_FALSE(dlg.OKBtn->Default());
    dlg.ProtAutoModeOnlyCheckBox->SetChecked(false);
    dlg.ProtAutoModeOnlyCheckBox->Click();
    EXPECT_TRUE(dlg.OKBtn->Default());
    EXPECT_FALSE(dlg.CancelBtn->Default());
    dlg.ProtShortCheckBox->SetChecked(true);
    dlg.ProtMaxSizeEdit->SetIntValue(300);
    dlg.OKBtn->Click();
  });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(options.AutoModeOnly);
  EXPECT_TRUE(options.Short);
  EXPECT_TRUE(options.AutoLogFile);
  EXPECT_EQ(options.MaxSize, 300 * 1024);
}

TEST(ProtOptionsDialog, RefusesASizeOutOfRangeOnlyWhileTheSizeCounts) {
  test::EnglishTexts texts;
  std::vector<std::string> shown;
  SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    EXPECT_EQ(type, TMsgDlgType::mtError);
    EXPECT_EQ(buttons, mbOK);
    shown.push_back(msg);
    return mrOk;
  });
  struct TCase {
    int kb;
    bool refused;
  };
  for (const TCase c : {TCase{9, true}, TCase{10, false}, TCase{9999, false}, TCase{10000, true}}) {
    SCOPED_TRACE(c.kb);
    shown.clear();
    TProtOptions options{false, false, true, 100 * 1024};
    RunDialog(options, [&](TD23_EditProtOptions& dlg) {
      dlg.ProtMaxSizeEdit->SetIntValue(c.kb);
      dlg.OKBtn->Click();
      if (!c.refused) return;
      EXPECT_EQ(dlg.ModalResult(), mrNone);  // stays open
      EXPECT_EQ(dlg.ActiveControl(), dlg.ProtMaxSizeEdit);
      dlg.CancelBtn->Click();
    });
    if (c.refused) {
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0], std::to_string(c.kb) + " is outside the range 10 to 9999.");
    } else {
      EXPECT_TRUE(shown.empty());
      EXPECT_EQ(options.MaxSize, c.kb * 1024);
    }
  }
  // Without a retired file the size is not tested.
  shown.clear();
  TProtOptions options{false, false, false, 0};
  EXPECT_TRUE(RunDialog(options, [](TD23_EditProtOptions& dlg) {
    EXPECT_FALSE(dlg.ProtMaxSizeEdit->Enabled());
    dlg.OKBtn->Click();
  }));
  EXPECT_TRUE(shown.empty());
  SetMessageDlgAnswerer(nullptr);
}

}  // namespace
}  // namespace qv
