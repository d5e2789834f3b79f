#include "archive/forms/d66_sig_reason.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/dy_signature.h"
#include "base/res_string.h"
#include "platform/gui/controls.h"

namespace qv {
namespace {

void ClickControl(TWinControl* control) {
  SendMouseForTest(control, WM_LBUTTONDOWN, {6, 8});
  SendMouseForTest(control, WM_LBUTTONUP, {6, 8});
}

// The reason is picked by clicking its item and confirmed by clicking OK, or the dialog cancelled.
TEST(SigReasonDialog, ClickedReasonIsTakenOnOkOrCancelled) {
  InitializeGui();
  struct Case {
    int click;  // the item clicked, -1: none
    bool ok;    // OK clicked, else Cancel
    int result, reason;
  };
  for (const Case& c : {Case{2, true, mrOk, 2}, Case{-1, true, mrOk, 0}, Case{3, false, mrCancel, 3}}) {
    SCOPED_TRACE(c.click);
    TD66_SigReason dialog(nullptr);
    TRadioGroup* group = dialog.SelectReasonRadioGroup;
    ASSERT_EQ(group->ItemCount(), 4);
    EXPECT_EQ(dialog.Text(), LoadResString("D66_SigReason"));
    EXPECT_EQ(group->Button(3)->Text(), LoadResString("D66_ReasonApproval"));
    EXPECT_EQ(group->ItemIndex(), 0);
    bool acted = false;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      if (acted || !dialog.Modal()) return;
      acted = true;
      if (c.click >= 0) ClickControl(group->Button(c.click));
      ClickControl(c.ok ? dialog.OkButton : dialog.CancelButton);
    };
    EXPECT_EQ(dialog.ShowModal(), c.result);
    Application->OnIdle = nullptr;
    EXPECT_TRUE(acted);
    EXPECT_EQ(group->ItemIndex(), c.reason);
  }
  // The audit events the reasons record, by their stored numbers.
  const int events[4] = {32, 31, 29, 30};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(static_cast<int>(SigReasons[i].Event), events[i]);
}

}  // namespace
}  // namespace qv
