#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "archive/archive_start.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_crypt.h"
#include "archive/dy_user_manager.h"
#include "archive/forms/d55_edit_user.h"
#include "archive/forms/d57_logon.h"
#include "archive_test_support.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"
#include "platform/rtl/msg_dlg_types.h"

namespace qv {
namespace {

const std::string GoldenFile = std::string(QV_TEST_DATA_DIR) + "/users_golden.dat";

// Types text on the focused control as the keyboard does.
void Type(const std::string& text) {
  for (char ch : text) {
    const uint16_t key = ch >= 'a' && ch <= 'z' ? static_cast<uint16_t>(ch - 'a' + 'A') : static_cast<uint16_t>(ch);
    SendKeyForTest(key, ch, ch >= 'A' && ch <= 'Z' ? ssShift : 0);
  }
}

void ClickButton(TButton* button) {
  const TPoint at{button->Width() / 2, button->Height() / 2};
  SendMouseForTest(button, WM_LBUTTONDOWN, at);
  SendMouseForTest(button, WM_LBUTTONUP, at);
}

// Runs the user's next action each time the dialog is shown modally; once the actions are used up
// the dialog is closed, so a dialog that stays open cannot hang the test.
class TDialogDriver {
public:
  TDialogDriver(std::function<TForm*()> shown, std::vector<std::function<void(TForm&)>> actions)
      : shown_(std::move(shown)), actions_(std::move(actions)) {
    Application->OnIdle = [this](TComponent*, bool& done) {
      done = true;
      TForm* f = shown_();
      if (!f || !f->Modal() || f->ModalResult() != mrNone) return;
      // The user types once the window has given its active control the focus.
      if (f->ActiveControl() && !f->ActiveControl()->Focused() && ++waits_ < 20) {
        done = false;
        return;
      }
      waits_ = 0;
      if (next_ == actions_.size()) {
        f->Close();
        return;
      }
      actions_[next_++](*f);
    };
  }
  ~TDialogDriver() { Application->OnIdle = nullptr; }
  size_t Done() const { return next_; }
  size_t Count() const { return actions_.size(); }

private:
  std::function<TForm*()> shown_;
  std::vector<std::function<void(TForm&)>> actions_;
  size_t next_ = 0;
  int waits_ = 0;
};

class UserDialogs : public ::testing::Test {
protected:
  UserDialogs() {
    InitializeGui();
    UsersFile = folder.File("Users.dat");
    AuditTrail = &trail;
    InstallAuditService(&trail);
    CreateLogonDialog = CreateD57Logon;
    CreateEditUserDialog = CreateD55EditUser;
  }
  ~UserDialogs() override {
    InstallAuditService(nullptr);
    AuditTrail = nullptr;
    CreateLogonDialog = nullptr;
    CreateEditUserDialog = nullptr;
  }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TDY_AuditManager trail;
};

// Tab in the password edit submits the log-on.
TEST_F(UserDialogs, TheLogonDialogTakesTypedNamesAndSubmitsWithTab) {
  std::filesystem::copy_file(GoldenFile, UsersFile);
  TDY_UserManager manager;
  TDialogDriver driver([] { return static_cast<TForm*>(D57_Logon); }, {[&](TForm& f) {
                         EXPECT_EQ(f.Text(), LoadResString("D57_Logon"));
                         EXPECT_TRUE(D57_Logon->UserEdit->Focused());
                         Type("admin");
                         SendKeyForTest(VK_TAB, 0);  // on to the password
                         Type("Secret12");
                         SendKeyForTest(VK_TAB, 0);
                       }});
  ASSERT_TRUE(manager.Logon(false));
  EXPECT_EQ(driver.Done(), 1u);
  EXPECT_EQ(manager.CurrentUserName(), "admin");
  EXPECT_EQ(D57_Logon, nullptr);
}

TEST_F(UserDialogs, ACancelClickEndsTheLogonWithoutSubmitting) {
  std::filesystem::copy_file(GoldenFile, UsersFile);
  TDY_UserManager manager;
  TDialogDriver driver([] { return static_cast<TForm*>(D57_Logon); }, {[&](TForm&) {
                         Type("admin");
                         SendKeyForTest(VK_TAB, 0);
                         Type("Secret12");
                         ClickButton(D57_Logon->CancelButton);
                       }});
  EXPECT_FALSE(manager.Logon(false));
  EXPECT_EQ(driver.Done(), 1u);
  EXPECT_EQ(manager.CurrentUserName(), "");
  const std::vector<std::string> lines = ReadAuditFileLines(trail.FileName());
  ASSERT_EQ(lines.size(), 1u);
  TDY_AuditEvent event;
  ASSERT_TRUE(ParseAuditLine(ArchiveCrypt().Decrypt(lines[0]), event));
  EXPECT_EQ(event.Kind, TAuditKind::UserLogonCancel);
}

TEST_F(UserDialogs, TheFirstAdministratorIsTypedIntoTheUserDialog) {
  TDY_UserManager manager;
  TDialogDriver driver([] { return static_cast<TForm*>(D55_EditUser); }, {[&](TForm& f) {
                         EXPECT_EQ(f.Text(), LoadResString("umg_AddAdmin"));
                         EXPECT_FALSE(D55_EditUser->OkButton->Enabled());
                         EXPECT_FALSE(D55_EditUser->GroupComboBox->Enabled());
                         for (const char* field : {"chef", "Geheim12", "Geheim12", "Ann", "Lee"}) {
                           Type(field);
                           SendKeyForTest(VK_TAB, 0);
                         }
                         EXPECT_TRUE(D55_EditUser->OkButton->Enabled());
                         ClickButton(D55_EditUser->OkButton);
                       }});
  manager.EnsureAdministrator();
  EXPECT_EQ(driver.Done(), 1u);
  ASSERT_TRUE(manager.Loaded());
  ASSERT_EQ(manager.UserCount(), 1);
  EXPECT_EQ(manager.User(0).UserName, "chef");
  EXPECT_EQ(manager.User(0).FirstName, "Ann");
  EXPECT_EQ(manager.User(0).SurName, "Lee");
  EXPECT_EQ(manager.User(0).GroupID, 1);
  EXPECT_TRUE(manager.CheckPassword("chef", "Geheim12"));
  EXPECT_FALSE(manager.User(0).RSAPublicKey.empty());
}

}  // namespace
}  // namespace qv
