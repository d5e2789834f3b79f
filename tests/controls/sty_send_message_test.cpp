#include "controls/sty_send_message.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/mail/desktop_mail.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(MapiErrorTest, EachCodeHasItsTextAndClass) {
  struct Case {
    int code;
    const char* message;
  } cases[] = {{2, "MAPI: General Failure. ErrorCode = 2"},
               {14, "MAPI: Unknown Recipient. ErrorCode = 14"},
               {26, "MAPI: Feature Not Supported. ErrorCode = 26"},
               {7, "MAPI: Unknown Error. ErrorCode = 7"},
               {27, "MAPI: Unknown Error. ErrorCode = 27"}};
  for (const Case& c : cases) {
    try {
      RaiseMapiError(c.code);
    } catch (const EMapiError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.ErrorCode, c.code);
    }
  }
  // A cancel is the silent abort.
  try {
    RaiseMapiError(1);
  } catch (const EAbort& e) {
    EXPECT_EQ(e.Message(), "User Abort");
    EXPECT_EQ(e.ClassName(), "EMapiUserAbort");
  }
  // The application's exception handling passes over a cancel silently.
  InitializeGui();
  int reported = 0;
  Application->OnException = [&](TComponent*, const std::exception&) { ++reported; };
  for (int code : {1, 2}) {
    try {
      RaiseMapiError(code);
    } catch (...) {
      Application->HandleException();
    }
  }
  Application->OnException = nullptr;
  EXPECT_EQ(reported, 1);
}

// The sender against a stand-in mail program that records its arguments.
class StySendMessageTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    dir_.Write("mailer",
               "#!/bin/sh\n"
               "d=$(dirname \"$0\")\n"
               ": > \"$d/args\"\n"
               "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$d/args\"; done\n"
               "exit $(cat \"$d/code\")\n");
    chmod(dir_.File("mailer").c_str(), 0700);
    dir_.Write("code", "0\n");
    dir_.Write("data/report.xml", "<r/>");
    SetDesktopMailProgram(dir_.File("mailer"));
    saved_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path() + "data");
  }
  void TearDown() override {
    std::filesystem::current_path(saved_cwd_);
    SetDesktopMailProgram("");
  }
  std::vector<std::string> Recorded() const {
    std::vector<std::string> out;
    std::string cur;
    for (char ch : dir_.Read("args")) {
      if (ch)
        cur += ch;
      else
        out.push_back(std::exchange(cur, std::string()));
    }
    return out;
  }
  // The result code Send raised, 0 when it returned.
  int SendCode(TStySendMessage& m) {
    try {
      m.Send();
    } catch (const EMapiError& e) {
      return e.ErrorCode;
    }
    return 0;
  }
  test::TempDir dir_;
  std::filesystem::path saved_cwd_;
};

TEST_F(StySendMessageTest, HandsRecipientsSubjectTextAndFullAttachmentPaths) {
  TStySendMessage m(nullptr);
  m.SetReview(false);
  m.ToRecipients().SetText("a@example.org\nb@example.org");
  m.CcRecipients().Add("c@example.org");
  m.BccRecipients().Add("d@example.org");
  m.SetSubject("Alarm");
  m.MessageText().SetText("first\nsecond");
  m.Attachments().Add("report.xml");  // relative to the current folder at sending
  Screen->SetCursor(crDefault);
  m.Send();
  const std::string full = dir_.Path() + "data/report.xml";
  EXPECT_EQ(Recorded(),
            (std::vector<std::string>{"--utf8", "--cc", "c@example.org", "--bcc", "d@example.org", "--subject", "Alarm",
                                      "--body", "first\nsecond", "--attach", full, "a@example.org", "b@example.org"}));
  EXPECT_EQ(Screen->Cursor(), crDefault);

  // An edit and a memo replace subject and text; the memo's lines stay in MessageText.
  auto* edit = new TEdit(nullptr);
  edit->SetText("From the edit");
  auto* memo = new TLabel(nullptr);
  memo->SetCaption("memo 1\nmemo 2");
  m.SetSubjectEdit(edit);
  m.SetMessageMemo(memo);
  m.Attachments().Clear();
  m.Send();
  EXPECT_EQ(Recorded()[6], "From the edit");
  EXPECT_EQ(Recorded()[8], "memo 1\nmemo 2");
  EXPECT_EQ(m.MessageText().Count(), 2);
  EXPECT_EQ(m.MessageText()[1], "memo 2");
  delete edit;
  delete memo;
  EXPECT_EQ(m.SubjectEdit(), nullptr);
  EXPECT_EQ(m.MessageMemo(), nullptr);
}

TEST_F(StySendMessageTest, FailuresBecomeResultCodesAndTheCursorReturns) {
  TStySendMessage m(nullptr);
  m.ToRecipients().Add("a@example.org");
  Screen->SetCursor(crDefault);
  struct Case {
    const char* exit_code;
    int code;
  } cases[] = {{"1", 2}, {"2", 11}, {"3", 26}, {"4", 2}, {"0", 0}};
  for (const Case& c : cases) {
    dir_.Write("code", c.exit_code);
    EXPECT_EQ(SendCode(m), c.code) << c.exit_code;
    EXPECT_EQ(Screen->Cursor(), crDefault);
  }
  SetDesktopMailProgram(dir_.File("missing-mailer"));
  EXPECT_EQ(SendCode(m), 26);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(StySendMessageTest, LimitsAreCheckedBeforeAnythingIsHanded) {
  auto fresh = [] {
    auto m = std::make_unique<TStySendMessage>(nullptr);
    m->ToRecipients().Add("a@example.org");
    return m;
  };
  auto m = fresh();
  m->CcRecipients().Add(std::string(250, 'c') + "@x.org");
  EXPECT_EQ(SendCode(*m), 25);
  m = fresh();
  m->BccRecipients().Add("-x");  // would read as an option
  EXPECT_EQ(SendCode(*m), 25);
  m = fresh();
  for (int i = 0; i < TStySendMessage::kMaxRecipients; ++i) m->CcRecipients().Add("c@x.org");
  EXPECT_EQ(SendCode(*m), 10);
  m = fresh();
  m->Attachments().Add("missing.xml");
  EXPECT_EQ(SendCode(*m), 11);
  m = fresh();
  m->Attachments().Add(std::string(300, 'f') + ".xml");
  EXPECT_EQ(SendCode(*m), 12);
  m = fresh();
  for (int i = 0; i <= TStySendMessage::kMaxAttachments; ++i) m->Attachments().Add("report.xml");
  EXPECT_EQ(SendCode(*m), 9);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("args")));
}

}  // namespace
}  // namespace qv
