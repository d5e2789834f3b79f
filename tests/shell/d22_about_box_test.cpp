#include "shell/d22_about_box.h"

#include <gtest/gtest.h>

#include "base/info_data.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {
namespace {

TEST(AboutBox, ShowsTheVersionTextsAndClosesWithOk) {
  InitializeGui();
  TInfoData info("Quarvel V2.0", "1999");
  InfoData = &info;
  bool acted = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (acted || !D22_AboutBox || !D22_AboutBox->Modal()) return;
    acted = true;
    EXPECT_EQ(D22_AboutBox->VersionLbl->Text(), "Quarvel V2.0");
    EXPECT_EQ(D22_AboutBox->YearLbl->Text(), info.CopyrightText());
    // OK centred under the panels, the form ending 5 pixels under it.
    EXPECT_EQ(D22_AboutBox->OKBtn->Left(), D22_AboutBox->Width() / 2 - 40);
    EXPECT_EQ(D22_AboutBox->OKBtn->Top(), D22_AboutBox->DevPanel->Top() + D22_AboutBox->DevPanel->Height() + 10);
    D22_AboutBox->OKBtn->Click();
  };
  ShowAboutBox();
  Application->OnIdle = nullptr;
  InfoData = nullptr;
  EXPECT_TRUE(acted);
  EXPECT_EQ(D22_AboutBox, nullptr);
}

}  // namespace
}  // namespace qv
