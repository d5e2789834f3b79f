#include "datastore/forms/chan_frame.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/sty_edit.h"
#include "controls/sty_spin_edit.h"
#include "datastore/channel.h"
#include "datastore/dt_record.h"
#include "platform/gui/forms.h"
#include "support/english_texts.h"

namespace qv {
namespace {

// A channel whose editor sits on a form, as the explorer shows it; message dialogs are recorded.
class ChanFrameTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    InstallChanEditor();
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      shown.push_back(msg);
      return mrOk;
    });
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 460, 360);
    channel = TChannel::CreateWithType(1, 0, 12, 1, 1.0, 40, -10, 100, -40, "°C", "T1", "Temperature");
    channel->CreateEditor(
        form.get(), [this](TExplEditor*) { ++modified; },
        [this](TExplEditor*, const std::string& text) { names.push_back(text); });
    editor = static_cast<TChanFrameEditor*>(channel->Editor());
    ASSERT_NE(editor, nullptr);
    frame = editor->ChanFrame();
    ASSERT_NE(frame, nullptr);
  }
  void TearDown() override {
    channel.reset();
    form.reset();
    SetMessageDlgAnswerer(nullptr);
    SetChanEditorCreator(nullptr);
  }

  // Types the four limits and validates.
  bool Enter(const std::string& al_min, const std::string& al_max, const std::string& v_min, const std::string& v_max) {
    frame->AlarmMinEd->SetText(al_min);
    frame->AlarmMaxEd->SetText(al_max);
    frame->ViewMinEd->SetText(v_min);
    frame->ViewMaxEd->SetText(v_max);
    shown.clear();
    return editor->Validate();
  }

  test::EnglishTexts texts;
  std::unique_ptr<TForm> form;
  std::unique_ptr<TChannel> channel;
  TChanFrameEditor* editor = nullptr;
  TChanFrame* frame = nullptr;
  std::vector<std::string> shown;
  std::vector<std::string> names;
  int modified = 0;
};

TEST_F(ChanFrameTest, ShowsTheChannelWithoutMarkingItModified) {
  EXPECT_EQ(frame->NameEdit->Text(), "Temperature");
  EXPECT_EQ(frame->SNameEdit->Text(), "T1");
  EXPECT_EQ(frame->UnitEdit->Text(), "°C");
  EXPECT_EQ(frame->TypeLbl->Text(), "Sensor type 12");
  EXPECT_EQ(frame->AlarmMaxEd->Text(), "40");
  EXPECT_EQ(frame->ViewMinEd->Text(), "-40");
  EXPECT_TRUE(frame->UnitEdit->ReadOnly());
  EXPECT_FALSE(frame->UnitEdit->Enabled());
  EXPECT_FALSE(frame->MinEdit->Enabled());
  EXPECT_FALSE(editor->Modified());
  EXPECT_EQ(modified, 0);
  EXPECT_GT(frame->TypeLbl->Left(), frame->UnitEdit->Left() + frame->UnitEdit->Width());

  frame->NameEdit->SetText("Cellar");
  EXPECT_TRUE(editor->Modified());
  EXPECT_EQ(modified, 1);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "Cellar");
}

TEST_F(ChanFrameTest, ValidatesTheLimits) {
  struct TCase {
    const char *al_min, *al_max, *v_min, *v_max;
    const char* refusal;  // start of the message, "" when accepted
    TStyEdit* TChanFrame::*focus;
  };
  const TCase cases[] = {
      {"0", "100", " -10,5 ", "60", "", nullptr},
      {"100", "100", "0", "10", "The minimum must be below the maximum.", &TChanFrame::AlarmMaxEd},
      {"0", "1", "0", "50001", "50001 is outside the range -50000 to 50000.", &TChanFrame::ViewMaxEd},
      {"0", "1", "-50000", "50000", "", nullptr},
      {"abc", "1", "0", "10", "abc is not a valid number.\r\nExamples: 130.6, -1.245", &TChanFrame::AlarmMinEd},
      {"1.5,2", "3", "0", "10", "1.5,2 is not a valid number.", &TChanFrame::AlarmMinEd},
      {"0", "1", "nan", "10", "nan is", &TChanFrame::ViewMinEd},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.al_min) + " " + c.al_max + " " + c.v_min + " " + c.v_max);
    const bool ok = Enter(c.al_min, c.al_max, c.v_min, c.v_max);
    EXPECT_EQ(ok, std::string(c.refusal).empty());
    if (ok) {
      EXPECT_TRUE(shown.empty());
      continue;
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(c.refusal, 0), 0u) << shown[0];
    TEdit* focus = frame->*(c.focus);
    EXPECT_EQ(form->ActiveControl(), focus);
    EXPECT_EQ(focus->SelLength(), static_cast<int>(focus->Text().size()));
  }
  // The first case's values as the channel takes them.
  ASSERT_TRUE(Enter("0", "100", "-10,5", "60"));
  EXPECT_EQ(editor->AlarmMax, 100);
  EXPECT_EQ(editor->ViewMin, -10.5);
  // The read-only range is not read.
  EXPECT_EQ(editor->ValMin, NoValue);
  EXPECT_EQ(editor->ValMax, NoValue);
  frame->DecSpinEd->SetIntValue(3);
  EXPECT_TRUE(channel->CloseEditor(true));
  EXPECT_TRUE(channel->ApplyChanges());
  EXPECT_EQ(channel->AlarmMin(), 0);
  EXPECT_EQ(channel->ViewMin(), -10.5);
  EXPECT_EQ(channel->Decimals(), 3);
}

TEST_F(ChanFrameTest, DecimalsTheSpinCannotShowStayUnlessChanged) {
  struct TCase {
    uint8_t stored;
    int typed;  // -1: the spin is left alone
    uint8_t kept;
  };
  const TCase cases[] = {{0, -1, 0}, {12, -1, 12}, {255, -1, 255}, {12, 4, 4}, {3, 0, 0}, {0, 10, 10}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.stored) + " " + std::to_string(c.typed));
    auto ch = TChannel::CreateWithType(2, 0, 12, c.stored, 1.0, 40, -10, 100, -40, "°C", "T2", "Humidity");
    ch->CreateEditor(form.get(), nullptr, nullptr);
    auto* ed = static_cast<TChanFrameEditor*>(ch->Editor());
    ASSERT_NE(ed, nullptr);
    if (c.typed >= 0) ed->ChanFrame()->DecSpinEd->SetIntValue(c.typed);
    EXPECT_EQ(ed->Modified(), c.typed >= 0);
    EXPECT_TRUE(ch->CloseEditor(true));
    EXPECT_TRUE(ch->ApplyChanges());
    EXPECT_EQ(ch->Decimals(), c.kept);
  }
}

TEST_F(ChanFrameTest, AnEditableRangeIsCheckedFirst) {
  editor->SetRangeReadOnly(false);
  frame->MinEdit->SetText("5");
  frame->MaxEdit->SetText("5");
  EXPECT_FALSE(Enter("0", "1", "0", "1"));
  EXPECT_EQ(form->ActiveControl(), frame->MaxEdit);
  frame->MaxEdit->SetText("6");
  EXPECT_TRUE(Enter("0", "1", "0", "1"));
  EXPECT_EQ(editor->ValMin, 5);
  EXPECT_EQ(editor->ValMax, 6);
}

}  // namespace
}  // namespace qv
