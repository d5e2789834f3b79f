#include "archive/forms/select_channels_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "archive_test_support.h"
#include "base/app_globals.h"
#include "base/res_string.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "platform/gui/forms.h"
#include "platform/gui/user_input.h"
#include "support/temp_dir.h"
#include "visual/d41_setup_gl_chans.h"

namespace qv {
namespace {

// Runs the user's action on the channel dialog once it is shown modally.
class TDialogUser {
public:
  explicit TDialogUser(std::function<void(TD41_SetupGlChans&)> action) : action_(std::move(action)) {
    Application->OnIdle = [this](TComponent*, bool& done) {
      done = true;
      if (acted_ || !D41_SetupGlChans || !D41_SetupGlChans->Modal()) return;
      acted_ = true;
      // From the main loop, not from inside the idle pass, as a user's input arrives.
      PostDeferredCall([this] { action_(*D41_SetupGlChans); });
    };
  }
  ~TDialogUser() { Application->OnIdle = nullptr; }
  bool Acted() const { return acted_; }

private:
  std::function<void(TD41_SetupGlChans&)> action_;
  bool acted_ = false;
};

// A program folder with two loggers of two channels each, its shell installed.
class SelectChannelsDialogTest : public ::testing::Test {
protected:
  SelectChannelsDialogTest() : old_exe_(ExePath), old_ini_(IniFileName) {
    InitializeGui();
    ExePath = home.Path();
    IniFileName = home.File("quarvel.INI");
    shell = std::make_unique<TDbShell>();
    DbShell = shell.get();
    for (int32_t logger : {7, 9}) {
      auto channels = TChannels::CreateDefault();
      for (const char* name : {"Temperature", "Humidity"})
        channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 1, 1, 30, 0, 50, -10, "u", name, name));
      auto node = TDevice::Create(shell->Root(), std::move(channels));
      node->SetId(shell->Root()->FindNextId(1, TDevice::MaxId));
      node->SetLoggerId(logger);
      node->SetName("Logger " + std::to_string(logger));
      EXPECT_TRUE(node->SetUpDevice());
      devices.push_back(node.release());
    }
  }
  ~SelectChannelsDialogTest() override {
    DbShell = nullptr;
    shell.reset();
    ExePath = old_exe_;
    IniFileName = old_ini_;
  }
  TChanSelCell Cell(int device, int index) const {
    return {devices[static_cast<size_t>(device)]->Data(),
            devices[static_cast<size_t>(device)]->Channels()->GetValueChannel(index)};
  }

  test::TempDir home;
  TCapturedBoxes boxes;
  std::string old_exe_, old_ini_;
  std::unique_ptr<TDbShell> shell;
  std::vector<TDevice*> devices;
};

TEST_F(SelectChannelsDialogTest, ChannelsAddedWithTheMouseAreInTheListAfterOk) {
  TChanSelList cells{Cell(0, 0)};
  TDialogUser user([](TD41_SetupGlChans& d) {
    EXPECT_EQ(d.Text(), LoadResString("d42_SetupChans"));
    EXPECT_FALSE(d.MoveUpBtn->Visible());
    EXPECT_FALSE(d.MoveDownBtn->Visible());
    ASSERT_TRUE(UserClickListItem(d.DataListBox, 1));  // the second logger
    UserClick(d.SelAllBtn);
    UserClick(d.AcceptSelBtn);
    UserClick(d.OkBtn);
  });
  EXPECT_TRUE(SelectChannelsWithDialog(cells));
  EXPECT_TRUE(user.Acted());
  ASSERT_EQ(cells.size(), 3u);
  for (int i : {0, 1}) {
    EXPECT_EQ(cells[static_cast<size_t>(i) + 1].Data, Cell(1, i).Data);
    EXPECT_EQ(cells[static_cast<size_t>(i) + 1].Channel, Cell(1, i).Channel);
  }
  EXPECT_EQ(D41_SetupGlChans, nullptr);
}

TEST_F(SelectChannelsDialogTest, CancelAnswersFalse) {
  TChanSelList cells{Cell(0, 0)};
  TDialogUser user([](TD41_SetupGlChans& d) { UserClick(d.CancelBtn); });
  EXPECT_FALSE(SelectChannelsWithDialog(cells));
  EXPECT_TRUE(user.Acted());
  EXPECT_EQ(D41_SetupGlChans, nullptr);
}

}  // namespace
}  // namespace qv
