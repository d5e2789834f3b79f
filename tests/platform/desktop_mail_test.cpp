#include "platform/mail/desktop_mail.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace qv {
namespace {

// A stand-in for xdg-email that records its arguments (NUL-separated) and exits with the code
// written beside it.
class DesktopMailTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_.Write("mailer",
               "#!/bin/sh\n"
               "d=$(dirname \"$0\")\n"
               ": > \"$d/args\"\n"
               "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$d/args\"; done\n"
               "exit $(cat \"$d/code\")\n");
    chmod(dir_.File("mailer").c_str(), 0700);
    SetCode(0);
  }
  void SetCode(int code) { dir_.Write("code", std::to_string(code) + "\n"); }
  std::vector<std::string> Recorded() const {
    std::vector<std::string> out;
    std::string all = dir_.Read("args"), cur;
    for (char ch : all) {
      if (ch)
        cur += ch;
      else
        out.push_back(std::exchange(cur, std::string()));
    }
    return out;
  }
  std::string Mailer() const { return dir_.File("mailer"); }
  test::TempDir dir_;
};

TEST_F(DesktopMailTest, HandsEveryPartAsItsOwnArgumentWithoutAShell) {
  TDesktopMail mail;
  mail.To = {"a@example.org", "b@example.org"};
  mail.Cc = {"c@example.org"};
  mail.Bcc = {"d@example.org"};
  mail.Subject = "Alarm \"cellar\"; $(touch hacked) `id`";
  mail.Body = "Line 1\nLine 2 with 'quotes' and * glob";
  mail.Attachments = {"/tmp/a file.xml"};
  ASSERT_EQ(HandMailToDesktop(mail, Mailer()), TDesktopMailResult::Handed);
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"--utf8", "--cc", "c@example.org", "--bcc", "d@example.org",
                                                  "--subject", mail.Subject, "--body", mail.Body, "--attach",
                                                  "/tmp/a file.xml", "a@example.org", "b@example.org"}));
  EXPECT_FALSE(std::filesystem::exists("hacked"));

  // Long addresses and paths go over whole.
  TDesktopMail longer;
  longer.To = {std::string(5000, 'x') + "@example.org"};
  longer.Attachments = {"/" + std::string(4000, 'p')};
  ASSERT_EQ(HandMailToDesktop(longer, Mailer()), TDesktopMailResult::Handed);
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"--utf8", "--attach", longer.Attachments[0], longer.To[0]}));
}

TEST_F(DesktopMailTest, ExitCodesAndStartFailuresBecomeResults) {
  struct Case {
    int code;
    TDesktopMailResult result;
  } cases[] = {{0, TDesktopMailResult::Handed},       {1, TDesktopMailResult::SyntaxError},
               {2, TDesktopMailResult::FileMissing},  {3, TDesktopMailResult::ToolMissing},
               {4, TDesktopMailResult::ActionFailed}, {9, TDesktopMailResult::Failed}};
  TDesktopMail mail;
  mail.To = {"a@example.org"};
  for (const Case& c : cases) {
    SetCode(c.code);
    EXPECT_EQ(HandMailToDesktop(mail, Mailer()), c.result) << c.code;
  }
  EXPECT_EQ(HandMailToDesktop(mail, dir_.File("no-such-program")), TDesktopMailResult::ProgramMissing);
  EXPECT_EQ(HandMailToDesktop(mail, "qv-no-such-mail-program-in-path"), TDesktopMailResult::ProgramMissing);
  dir_.Write("plain", "not executable\n");
  EXPECT_EQ(HandMailToDesktop(mail, dir_.File("plain")), TDesktopMailResult::ProgramMissing);
  // One argument longer than the system passes to a program.
  mail.Body.assign(4 * 1024 * 1024, 'b');
  EXPECT_EQ(HandMailToDesktop(mail, Mailer()), TDesktopMailResult::TooLarge);
}

TEST_F(DesktopMailTest, RecipientsThatReadAsOptionsOrLinksStartNothing) {
  for (const char* bad : {"", "--attach=/etc/passwd", "-x", "mailto:a@b?attach=/etc/passwd", "MAILTO:a@b", "a@b?cc=c@d",
                          "a@b\nBcc: c@d"}) {
    EXPECT_FALSE(IsPlainRecipient(bad)) << bad;
    TDesktopMail mail;
    mail.Cc = {bad};
    EXPECT_EQ(HandMailToDesktop(mail, Mailer()), TDesktopMailResult::InvalidRecipient) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("args")));
  EXPECT_TRUE(IsPlainRecipient("Jane Doe <jane@example.org>"));
}

TEST(DesktopMailProgramTest, DefaultsToXdgEmailAndCanBeReplaced) {
  EXPECT_EQ(DesktopMailProgram(), "xdg-email");
  SetDesktopMailProgram("/opt/stand-in");
  EXPECT_EQ(DesktopMailProgram(), "/opt/stand-in");
  SetDesktopMailProgram("");
  EXPECT_EQ(DesktopMailProgram(), "xdg-email");
}

}  // namespace
}  // namespace qv
