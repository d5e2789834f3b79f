#include "archive/forms/d65_edit_email.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/send_mail.h"
#include "archive_test_support.h"
#include "base/res_string.h"
#include "platform/gui/forms.h"
#include "platform/gui/user_input.h"
#include "platform/os/message_queue.h"
#include "support/english_texts.h"
#include "support/smtp_server.h"

namespace qv {
namespace {

using test::SmtpServer;
using test::SmtpServerOptions;

// A check box is clicked on its box, as a user does (a click beside its text misses it).
void ClickBox(TCheckBox* box) { UserClick(box, {8, box->Height() / 2}); }

class EditEmailDialog : public ::testing::Test {
protected:
  EditEmailDialog() {
    InitializeGui();
    // Message boxes are answered as a user would, and their texts kept: a timer looks for them,
    // since a box that opens wakes no idle pass. A modal dialog gets the script's actions once it
    // is shown, run from the event loop so that the timer answers the boxes the script opens.
    box_tick.SetInterval(50);
    box_tick.OnTimer = [this](TComponent*) {
      TModalWindow top;
      if (!TopModalWindow(top)) return;
      if (!top.Form) {
        boxes.push_back(top.Text);
        UserClickDialogButton("OK");
      } else if (script) {
        PostDeferredCall(std::move(script));
        script = nullptr;
      }
    };
  }

  // Pumps the main loop until done answers true; false when it never does.
  static bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Application->ProcessMessages();
      WaitAndProcessMessages(10);
    }
    return true;
  }

  test::EnglishTexts texts;
  TArchiveTestFolder folder;
  TArchiveStandIns archive;
  TSendMail mail;
  std::vector<std::string> boxes;
  std::function<void()> script;
  TTimer box_tick{nullptr};
};

TEST_F(EditEmailDialog, ShowsTheSettingsAndTheModeBoxesExcludeEachOther) {
  TMailSettings s;
  s.UseSmtp = true;
  s.Recipient = "ann@example.com";
  s.AddText = "Cellar 2\r\nBuilding B\r\n";
  s.SmtpPort = 587;
  s.AuthRequired = false;
  mail.SetSettings(s);
  TD65_EditEmail dialog(nullptr, mail);
  dialog.Show();
  EXPECT_EQ(dialog.Text(), "Alarm e-mail");
  EXPECT_TRUE(dialog.UseSMTPCheckBox->Checked());
  EXPECT_FALSE(dialog.UseMapiCheckBox->Checked());
  EXPECT_EQ(dialog.RecipientsEdit->Text(), "ann@example.com");
  EXPECT_EQ(dialog.AddTextMemo->Lines(), (std::vector<std::string>{"Cellar 2", "Building B"}));
  EXPECT_EQ(dialog.SmtpPortEdit->Text(), "587");
  EXPECT_EQ(dialog.SmtpPasswordEdit->PasswordChar(), '*');
  EXPECT_FALSE(dialog.OkButton->Enabled());
  EXPECT_FALSE(dialog.TestResultEdit->Visible());
  EXPECT_TRUE(dialog.SmtpHostEdit->Enabled());
  EXPECT_FALSE(dialog.SmtpUserEdit->Enabled());  // no log-on

  // The log-on box alone changes only the OK button; the user edits follow at the next mode.
  ClickBox(dialog.SmtpAuthRequiredCheckBox);
  EXPECT_TRUE(dialog.SmtpAuthRequiredCheckBox->Checked());
  EXPECT_TRUE(dialog.OkButton->Enabled());
  EXPECT_FALSE(dialog.SmtpUserEdit->Enabled());

  ClickBox(dialog.UseMapiCheckBox);
  EXPECT_TRUE(dialog.UseMapiCheckBox->Checked());
  EXPECT_FALSE(dialog.UseSMTPCheckBox->Checked());
  for (TControl* c : {static_cast<TControl*>(dialog.SmtpSenderNameEdit), static_cast<TControl*>(dialog.SmtpHostEdit),
                      static_cast<TControl*>(dialog.SmtpPortEdit), static_cast<TControl*>(dialog.SmtpUserEdit),
                      static_cast<TControl*>(dialog.SmtpAuthRequiredCheckBox)})
    EXPECT_FALSE(c->Enabled());
  ClickBox(dialog.UseSMTPCheckBox);
  EXPECT_FALSE(dialog.UseMapiCheckBox->Checked());
  EXPECT_TRUE(dialog.SmtpHostEdit->Enabled());
  EXPECT_TRUE(dialog.SmtpUserEdit->Enabled());
  EXPECT_TRUE(dialog.SmtpPasswordEdit->Enabled());
  // Nothing was stored yet.
  EXPECT_FALSE(mail.Settings().AuthRequired);
  EXPECT_FALSE(std::filesystem::exists(TSendMail::SettingsFileName()));
}

TEST_F(EditEmailDialog, OkStoresTheTypedSettingsAndABadPortStoresNothing) {
  TD65_EditEmail dialog(nullptr, mail);
  // Modal, as the options dialog runs it: after the error box the keys go back to it.
  script = [&] {
    EXPECT_FALSE(dialog.SmtpHostEdit->Enabled());  // not loaded: the desktop's mail program
    ClickBox(dialog.UseSMTPCheckBox);
    UserRetype(dialog.RecipientsEdit, "ann@example.com");
    UserRetype(dialog.SubjectEdit, "Cellar alarm");
    UserClick(dialog.AddTextMemo);
    UserType("Cellar 2");
    UserKey(VK_RETURN);
    UserType("Building B");
    UserRetype(dialog.SmtpHostEdit, "mail.example.com");
    UserRetype(dialog.SmtpPortEdit, "25x");
    EXPECT_TRUE(dialog.OkButton->Enabled());
    UserClick(dialog.OkButton);
    EXPECT_EQ(boxes, std::vector<std::string>{"'25x' is not a valid integer value"});
    EXPECT_EQ(dialog.ModalResult(), mrNone);
    EXPECT_EQ(mail.Settings().Recipient, "");  // nothing copied
    EXPECT_FALSE(std::filesystem::exists(TSendMail::SettingsFileName()));
    UserRetype(dialog.SmtpPortEdit, "587");
    UserClick(dialog.OkButton);
    if (dialog.ModalResult() == mrNone) dialog.Close();
  };
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  const TMailSettings s = mail.Settings();
  EXPECT_TRUE(s.UseSmtp);
  EXPECT_EQ(s.Recipient, "ann@example.com");
  EXPECT_EQ(s.Subject, "Cellar alarm");
  EXPECT_EQ(s.AddText, "Cellar 2\r\nBuilding B\r\n");
  EXPECT_EQ(s.SmtpHost, "mail.example.com");
  EXPECT_EQ(s.SmtpPort, 587);
  TSendMail stored;
  stored.LoadSettings();
  EXPECT_EQ(stored.Settings().SmtpPort, 587);
  EXPECT_EQ(stored.Settings().AddText, s.AddText);
}

// The test mail goes out with the dialog's settings, stored first, and its result shows when it
// is known; while a server hangs the window takes the user's typing.
TEST_F(EditEmailDialog, TestMailShowsItsResultWithoutBlockingTheWindow) {
  SmtpServer server;
  SmtpServer stalled(SmtpServerOptions::StalledAfterData());
  mail.SendTimeoutMs = 2000;
  TMailSettings s;
  s.UseSmtp = true;
  s.Recipient = "ann@example.com";
  s.SenderEmail = "logger@example.com";
  s.SmtpHost = "127.0.0.1";
  s.SmtpPort = server.Port();
  s.AuthRequired = false;
  mail.SetSettings(s);
  TD65_EditEmail dialog(nullptr, mail);
  dialog.Show();
  UserClick(dialog.SendTestMailButton);  // unchanged: the stored settings
  EXPECT_TRUE(dialog.TestResultEdit->Visible());
  ASSERT_TRUE(PumpUntil([&] { return dialog.TestResultEdit->Text() != ""; }));
  EXPECT_EQ(dialog.TestResultEdit->Text(), LoadResString("DY_EmailTestOK"));
  ASSERT_EQ(server.Count(), 1);
  EXPECT_NE(server.Message(1).find("Test-Email !"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(TSendMail::SettingsFileName()));

  UserRetype(dialog.SmtpPortEdit, std::to_string(stalled.Port()));
  UserClick(dialog.SendTestMailButton);
  EXPECT_EQ(mail.Settings().SmtpPort, stalled.Port());  // stored before sending
  EXPECT_TRUE(std::filesystem::exists(TSendMail::SettingsFileName()));
  EXPECT_FALSE(dialog.SendTestMailButton->Enabled());
  // The server has the mail and does not answer: the window still takes the user's typing.
  ASSERT_TRUE(PumpUntil([&] { return stalled.Count() == 1; }));
  UserRetype(dialog.CCRecipEdit, "bob@example.com");
  EXPECT_EQ(dialog.CCRecipEdit->Text(), "bob@example.com");
  EXPECT_EQ(dialog.TestResultEdit->Text(), "");
  ASSERT_TRUE(PumpUntil([&] { return dialog.TestResultEdit->Text() != ""; }));
  EXPECT_NE(dialog.TestResultEdit->Text().find("imeout"), std::string::npos) << dialog.TestResultEdit->Text();
  EXPECT_TRUE(dialog.SendTestMailButton->Enabled());
  EXPECT_TRUE(archive.Audit.Events().empty());  // a test mail is quiet
}

// The dialog may close while its test mail is still on its way.
TEST_F(EditEmailDialog, ClosingWhileATestMailIsUnderWay) {
  SmtpServer stalled(SmtpServerOptions::Stalled());
  TMailSettings s;
  s.UseSmtp = true;
  s.Recipient = "ann@example.com";
  s.SenderEmail = "logger@example.com";
  s.SmtpHost = "127.0.0.1";
  s.SmtpPort = stalled.Port();
  s.AuthRequired = false;
  mail.SetSettings(s);
  {
    TD65_EditEmail dialog(nullptr, mail);
    dialog.Show();
    UserClick(dialog.SendTestMailButton);
  }
  mail.WaitIdle();
  ProcessPostedMessages();
  EXPECT_NE(mail.LastError(), "");
}

}  // namespace
}  // namespace qv
