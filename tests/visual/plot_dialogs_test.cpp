#include <gtest/gtest.h>

#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "platform/gui/forms.h"
#include "support/english_texts.h"
#include "visual/d25_edit_plot_chan.h"
#include "visual/d26_y_range_dlg.h"

namespace qv {
namespace {

constexpr double kBadFloat = -1.501e38;

class PlotDialogsTest : public ::testing::Test {
protected:
  PlotDialogsTest() {
    InitializeGui();
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      messages.push_back(msg);
      return mrOk;
    });
  }
  ~PlotDialogsTest() override { SetMessageDlgAnswerer(nullptr); }
  test::EnglishTexts texts_;
  std::vector<std::string> messages;
};

TEST_F(PlotDialogsTest, RangeDialogRefusesWhatItCannotShow) {
  struct Case {
    const char* max_text;  // null: the maximum stays automatic (60)
    const char* min_text;  // null: the minimum stays automatic (-30)
    const char* message;   // null: closes with OK
  } cases[] = {
      {"-31", nullptr, "The minimum must be below the maximum."},
      {"-29.995", nullptr, "The range is too small."},
      {"20000", nullptr, "20000 is outside the range -10000 to 10000."},
      {"1,5", nullptr, "1,5 is not a valid number.\r\nExamples: -12.34, 1.234E-12"},
      {nullptr, "12.5", nullptr},
      {"80", "-40", nullptr},
      {nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    messages.clear();
    TD26_YRangeDlg dlg(nullptr);
    EXPECT_EQ(D26_YRangeDlg, &dlg);
    if (c.max_text) {
      dlg.RadioPress("MaxCustB");
      dlg.CustMaxEdit->SetText(c.max_text);
    }
    if (c.min_text) {
      dlg.RadioPress("MinCustB");
      dlg.CustMinEdit->SetText(c.min_text);
    }
    dlg.OKClick();
    if (c.message) {
      ASSERT_EQ(messages.size(), 1u) << c.max_text;
      EXPECT_EQ(messages[0], c.message);
      EXPECT_NE(dlg.ModalResult(), mrOk);
      EXPECT_FALSE(dlg.OKBtn->Enabled());
      EXPECT_TRUE(dlg.CancelBtn->Default());
    } else {
      EXPECT_TRUE(messages.empty()) << messages.front();
      EXPECT_EQ(dlg.ModalResult(), mrOk);
      EXPECT_EQ(dlg.GetMax(), c.max_text ? std::stod(c.max_text) : kBadFloat);
      EXPECT_EQ(dlg.GetMin(), c.min_text ? std::stod(c.min_text) : kBadFloat);
    }
  }
  EXPECT_EQ(D26_YRangeDlg, nullptr);
}

TEST_F(PlotDialogsTest, RangeDialogSettersAndDecimals) {
  TD26_YRangeDlg dlg(nullptr);
  EXPECT_NEAR(dlg.MinInterval(), 0.009, 1e-15);
  dlg.SetCustMax(12.5);
  EXPECT_TRUE(dlg.MaxCustB->Checked());
  EXPECT_EQ(dlg.CustMaxEdit->Text(), "12.50");
  EXPECT_EQ(dlg.AutoMinEdit->Text(), "-30.00");
  dlg.SetDecimals(4);
  EXPECT_EQ(dlg.CustMaxEdit->Text(), "12.5000");
  dlg.SetDecimals(19);
  EXPECT_EQ(dlg.Decimals(), 4);
  EXPECT_EQ(dlg.GetMax(), 12.5);
  try {
    dlg.SetYAutoMin(kBadFloat);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error in TD26_YRangeDlg.SetYAutoMin: Min = CBadFloat");
  }
  dlg.SetCustMax(kBadFloat);
  EXPECT_TRUE(dlg.MaxAutoB->Checked());
  EXPECT_FALSE(dlg.CustMaxEdit->Enabled());
}

class CurveDialogTest : public PlotDialogsTest {
protected:
  CurveDialogTest() : rec_(2), data_(&rec_), channels_(TChannels::CreateDefault()) {
    for (uint8_t k = 1; k <= 2; ++k) {
      auto ch = std::make_unique<TChannel>(k);
      ch->SetName("Channel " + std::to_string(k));
      channels_->Add(std::move(ch));
    }
    data_.SetChannels(channels_.get());
    for (uint8_t k = 1; k <= 2; ++k) {
      auto c = std::make_unique<TPlotGlbChan>(&data_, channels_->FindByKey(k));
      c->Color = k == 1 ? clRed : clBlue;
      list_.Add(std::move(c));
    }
  }
  TPlotGlbChan* Curve(int i) { return static_cast<TPlotGlbChan*>(list_.GetGlobChan_I(i)); }
  TDtRecord rec_;
  test::TMemDtData data_;
  std::unique_ptr<TChannels> channels_;
  TGlobChanList list_;
};

TEST_F(CurveDialogTest, EditsCopiesUntilAcceptedAndCancelDropsTheRest) {
  TD25_EditPlotChan dlg(nullptr);
  int applied = 0;
  dlg.OnApply = [&] { ++applied; };
  dlg.SetChanList(&list_);
  EXPECT_EQ(dlg.CurrentIndex(), 0);
  EXPECT_EQ(dlg.ChanListBox->Items().Count(), 2);
  EXPECT_EQ(dlg.StyColorComboBox->SelectedColor(), clRed);
  EXPECT_FALSE(dlg.AcceptBtn->Enabled());
  dlg.SetStyle(TPenStyle::psDashDot);
  EXPECT_TRUE(dlg.AcceptBtn->Enabled());
  EXPECT_EQ(dlg.StyLineStyleDashDot->LineColor(), clBlack);
  EXPECT_EQ(dlg.StyLineStyleSolid->LineColor(), RGB(128, 128, 128));
  dlg.SelectCurve(1);  // switching keeps the edit of curve 0 in its copy
  EXPECT_EQ(dlg.Copy(0)->Style, TPenStyle::psDashDot);
  EXPECT_EQ(dlg.StyColorComboBox->SelectedColor(), clBlue);
  dlg.VisibleCheckB->SetChecked(false);
  EXPECT_FALSE(dlg.DrawLimitsCheck->Enabled());
  dlg.AcceptClick();
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(Curve(0)->Style, TPenStyle::psDashDot);
  EXPECT_FALSE(Curve(1)->Visible);
  EXPECT_FALSE(dlg.AcceptBtn->Enabled());
  // A later change that is not accepted never reaches the curve.
  dlg.SelectCurve(0);
  dlg.SetStyle(TPenStyle::psDashDotDot);
  EXPECT_EQ(Curve(0)->Style, TPenStyle::psDashDot);
  dlg.SetChanList(&list_);  // only the first call counts
  EXPECT_EQ(dlg.ChanListBox->Items().Count(), 2);
}

}  // namespace
}  // namespace qv
