#include "archive/send_mail.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "archive/dy_crypt.h"
#include "archive_test_support.h"
#include "base/ini_file.h"
#include "base/res_string.h"
#include "support/english_texts.h"
#include "support/mail_text.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using K = TDY_AuditEventKind;
using test::SmtpServer;
using test::SmtpServerOptions;

TMailSettings SmtpSettings(const SmtpServer& server) {
  TMailSettings s;
  s.UseSmtp = true;
  s.Recipient = "ann@example.com";
  s.Subject = "Quarvel Alarm";
  s.SenderName = "Quarvel";
  s.SenderEmail = "logger@example.com";
  s.SmtpHost = "127.0.0.1";
  s.SmtpPort = server.Port();
  s.AuthRequired = false;
  return s;
}

class SendMailTest : public ::testing::Test {
protected:
  test::EnglishTexts texts_;
  TArchiveTestFolder folder_;
  TArchiveStandIns archive_;
};

TEST_F(SendMailTest, MissingFileGivesTheDefaultsAndSettingsSurviveARoundTrip) {
  TSendMail mail;
  EXPECT_FALSE(mail.Settings().UseSmtp);  // before loading
  mail.LoadSettings();
  TMailSettings s = mail.Settings();
  EXPECT_TRUE(s.UseSmtp);
  EXPECT_EQ(s.Subject, "Quarvel Alarm");
  EXPECT_EQ(s.SenderName, "Quarvel");
  EXPECT_EQ(s.SmtpPort, 25);
  EXPECT_TRUE(s.AuthRequired);
  EXPECT_EQ(s.Recipient, "");

  s = TMailSettings{false,    "ann@example.com",    "bob@example.com",  "Kühlraum", "Zeile 1\r\nZeile 2 ü\r\n",
                    "Logger", "logger@example.com", "mail.example.com", 587,        false,
                    "alarm",  "Pässwort-123"};
  mail.SetSettings(s);
  mail.SaveSettings();
  std::ifstream in(TSendMail::SettingsFileName());
  std::vector<std::string> keys;
  for (std::string line; std::getline(in, line);)
    if (line.find('=') != std::string::npos) keys.push_back(line.substr(0, line.find('=')));
  EXPECT_EQ(keys,
            (std::vector<std::string>{"UseSmtp", "Recipient", "CCRecipients", "Subject", "AddText", "SenderName",
                                      "SenderEmail", "SmtpHost", "SmtpPort", "AuthRequired", "User", "Password"}));
  TIniFile ini(TSendMail::SettingsFileName());
  const std::string stored = ini.ReadString("AlarmEmail", "Password", "");
  EXPECT_EQ(stored, ArchiveCrypt().Encrypt("Pässwort-123"));
  EXPECT_EQ(stored.find("ss"), std::string::npos);
  EXPECT_EQ(ini.ReadString("AlarmEmail", "AddText", ""), "WmVpbGUgMQ0KWmVpbGUgMiDDvA0K");

  TSendMail other;  // another installation reads it back: the key is fixed
  other.LoadSettings();
  const TMailSettings r = other.Settings();
  EXPECT_EQ(r.Password, "Pässwort-123");
  EXPECT_EQ(r.AddText, s.AddText);
  EXPECT_EQ(r.Subject, "Kühlraum");
  EXPECT_EQ(r.SmtpPort, 587);
  EXPECT_FALSE(r.UseSmtp);
  EXPECT_FALSE(r.AuthRequired);

  // A password or added text that does not decode is left empty; the rest loads.
  ini.WriteString("AlarmEmail", "Password", "not hex");
  ini.WriteString("AlarmEmail", "AddText", "*bad*");
  other.LoadSettings();
  EXPECT_EQ(other.Settings().Password, "");
  EXPECT_EQ(other.Settings().AddText, "");
  EXPECT_EQ(other.Settings().User, "alarm");
}

// Settings that cannot work fail before anything is sent, with the reason as LastError and in
// audit event 22, which a quiet (test) mail does not record.
TEST_F(SendMailTest, IncompleteOrUnsafeSettingsFailBeforeSending) {
  SmtpServer server;
  struct Case {
    const char* name;
    void (*spoil)(TMailSettings&);
    std::string error;
  };
  const std::string control = LoadResString("DY_EmailControlChar");
  const Case cases[] = {
      {"no recipient", [](TMailSettings& s) { s.Recipient = ""; }, LoadResString("DY_NoRecip")},
      {"no host", [](TMailSettings& s) { s.SmtpHost = ""; }, LoadResString("DY_NoHost")},
      {"no password", [](TMailSettings& s) { s.AuthRequired = true, s.User = "u"; }, LoadResString("DY_NoUser")},
      {"subject", [](TMailSettings& s) { s.Subject = "Alarm\r\nBcc: eve@example.com"; }, control + " (Subject)"},
      {"cc", [](TMailSettings& s) { s.CCRecipients = "bob@example.com\nBcc: eve@example.com"; },
       control + " (CCRecipients)"},
      {"sender", [](TMailSettings& s) { s.SenderName = "Q\rX"; }, control + " (SenderName)"},
      {"desktop recipient", [](TMailSettings& s) { s.UseSmtp = false, s.Recipient = "a@b\r\nBcc: c@d"; },
       control + " (Recipient)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    archive_.Audit.ClearEvents();
    TSendMail mail;
    TMailSettings s = SmtpSettings(server);
    c.spoil(s);
    mail.SetSettings(s);
    EXPECT_FALSE(mail.SendAlarmMail("alarm", 7, false));
    EXPECT_EQ(mail.LastError(), c.error);
    auto events = archive_.Audit.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Kind, K::DeviceAlarmEmailError);
    EXPECT_EQ(events[0].Subject, "7");
    EXPECT_EQ(events[0].Comment, c.error);
    std::string error;
    EXPECT_FALSE(mail.SendAlarmMail("test", 0, true, error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(archive_.Audit.Events().size(), 1u);
  }
  EXPECT_EQ(server.Count(), 0);
}

TEST_F(SendMailTest, SmtpMailCarriesTheSettingsAndIsRecorded) {
  SmtpServer server(SmtpServerOptions::WithLogin("alarm:S3cret!"));
  TSendMail mail;
  TMailSettings s = SmtpSettings(server);
  s.CCRecipients = "bob@example.com, carl@example.com";
  s.AddText = "Cellar 2, Building B";
  s.AuthRequired = true;
  s.User = "alarm";
  s.Password = "S3cret!";
  mail.SetSettings(s);
  ASSERT_TRUE(mail.SendAlarmMail("Alarm begins: 45,0 °C", 7, false)) << mail.LastError();
  EXPECT_EQ(mail.LastError(), "");
  // Without copy recipients or added text.
  s.CCRecipients = "";
  s.AddText = "";
  mail.SetSettings(s);
  ASSERT_TRUE(mail.SendAlarmMail("Test-Email !", 0, true)) << mail.LastError();
  ASSERT_EQ(server.Count(), 2);
  const std::string first = server.Message(1);
  EXPECT_EQ(test::HeaderValue(first, "From"), "\"Quarvel\" <logger@example.com>");
  EXPECT_EQ(test::HeaderValue(first, "To"), "ann@example.com, bob@example.com, carl@example.com");
  EXPECT_EQ(test::HeaderValue(first, "Subject"), "Quarvel Alarm");
  EXPECT_EQ(test::HeaderValue(first, "X-Priority"), "1");
  EXPECT_EQ(test::MailBody(first), "Alarm begins: 45,0 °C\r\nCellar 2, Building B");
  EXPECT_EQ(server.Envelope(1),
            "MAIL logger@example.com\nRCPT ann@example.com\nRCPT bob@example.com\nRCPT carl@example.com\n"
            "AUTH alarm LOGIN\n");
  EXPECT_EQ(test::HeaderValue(server.Message(2), "To"), "ann@example.com");
  EXPECT_EQ(test::MailBody(server.Message(2)), "Test-Email !\r\n");
  const auto events = archive_.Audit.Events();
  ASSERT_EQ(events.size(), 1u);  // the quiet one records nothing
  EXPECT_EQ(events[0].Kind, K::DeviceAlarmEmail);
  EXPECT_EQ(events[0].Subject, "7");
}

// Refused log-on, refused recipient, a server that stalls after the data and one that is gone:
// each is a failure with the server's answer, recorded, never reported as sent.
TEST_F(SendMailTest, ServerRefusalsAndStallsAreFailuresWithTheServersAnswer) {
  struct Case {
    const char* name;
    SmtpServerOptions server;
    bool login;
    std::string answer;  // part of the error
  };
  const Case cases[] = {
      {"log-on", SmtpServerOptions::WithLogin("alarm:right"), true, "535"},
      {"recipient", SmtpServerOptions::Refusing("ann@example.com"), false, "550 5.1.1 <ann@example.com>"},
      {"stall", SmtpServerOptions::StalledAfterData(), false, "imeout"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    archive_.Audit.ClearEvents();
    SmtpServer server(c.server);
    TSendMail mail;
    mail.SendTimeoutMs = 1500;
    TMailSettings s = SmtpSettings(server);
    s.AuthRequired = c.login;
    s.User = "alarm";
    s.Password = "wrong";
    mail.SetSettings(s);
    // Queued: the caller goes on at once; the result arrives on the sender's thread.
    std::atomic<int> results{0};
    bool sent = true;
    std::string error;
    mail.PostMail("alarm", 7, false, [&](bool ok, const std::string& e) {
      sent = ok;
      error = e;
      ++results;
    });
    mail.WaitIdle();
    ASSERT_EQ(results.load(), 1);
    EXPECT_FALSE(sent);
    EXPECT_NE(error.find(c.answer), std::string::npos) << error;
    EXPECT_EQ(mail.LastError(), error);
    const auto events = archive_.Audit.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Kind, K::DeviceAlarmEmailError);
    EXPECT_EQ(events[0].Comment, error);
  }
}

// The desktop hand-off goes to the xdg-email found first on PATH.
TEST_F(SendMailTest, DesktopHandOffGoesToTheMailProgramOnPath) {
  test::TempDir bin;
  bin.Write("xdg-email",
            "#!/bin/sh\n"
            "d=$(dirname \"$0\")\n"
            ": > \"$d/args\"\n"
            "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$d/args\"; done\n"
            "exit $(cat \"$d/code\")\n");
  chmod(bin.File("xdg-email").c_str(), 0700);
  bin.Write("code", "0\n");
  const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (bin.Path() + ":" + old_path).c_str(), 1);
  TSendMail mail;
  TMailSettings s;
  s.UseSmtp = false;
  s.Recipient = "ann@example.com";
  s.CCRecipients = "bob@example.com";
  s.Subject = "Quarvel Alarm";
  s.AddText = "Cellar";
  mail.SetSettings(s);
  EXPECT_TRUE(mail.SendAlarmMail("Alarm", 7, false)) << mail.LastError();
  EXPECT_EQ(bin.Read("args"),
            "--utf8\n--cc\nbob@example.com\n--subject\nQuarvel Alarm\n--body\nAlarm\r\nCellar\nann@example.com\n");
  // No copy recipient this time: none is handed over.
  s.CCRecipients = "";
  mail.SetSettings(s);
  EXPECT_TRUE(mail.SendAlarmMail("Alarm", 7, false));
  EXPECT_EQ(bin.Read("args").find("--cc"), std::string::npos);
  bin.Write("code", "3\n");
  EXPECT_FALSE(mail.SendAlarmMail("Alarm", 7, false));
  EXPECT_EQ(mail.LastError(), "No mail program is set up on this desktop");
  setenv("PATH", old_path.c_str(), 1);
  const auto events = archive_.Audit.Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].Kind, K::DeviceAlarmEmail);
  EXPECT_EQ(events[2].Kind, K::DeviceAlarmEmailError);
}

}  // namespace
}  // namespace qv
