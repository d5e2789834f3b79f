#include "platform/mail/smtp_mail.h"

#include <gtest/gtest.h>

#include <string>

#include "support/mail_text.h"
#include "support/smtp_server.h"

namespace qv {
namespace {

using test::SmtpServer;
using test::SmtpServerOptions;

TSmtpMail MailTo(const SmtpServer& server) {
  TSmtpMail mail;
  mail.Host = "127.0.0.1";
  mail.Port = server.Port();
  mail.SenderName = "Cellar Logger";
  mail.SenderEmail = "logger@example.com";
  mail.Recipients = {"ann@example.com", "bob@example.com"};
  mail.Subject = "Alarm";
  mail.Body = "Line one\r\nLine two";
  mail.Urgent = true;
  return mail;
}

TEST(SmtpMail, ServerReceivesHeadersBodyAndEnvelope) {
  SmtpServer server;
  TSmtpMail mail = MailTo(server);
  TSmtpResult r = SendSmtpMail(mail);
  ASSERT_TRUE(r.Sent) << r.Error;
  EXPECT_EQ(r.Error, "");
  // A second mail with non-ASCII text in the subject, the sender's name and the body.
  mail.Subject = "Température ≥ 40 °C";
  mail.SenderName = "Kühlraum";
  mail.Body = "Wert: 41,5 °C\nÜberschritten.";
  mail.Recipients = {"ann@example.com"};
  r = SendSmtpMail(mail);
  ASSERT_TRUE(r.Sent) << r.Error;
  ASSERT_EQ(server.Count(), 2);

  const std::string first = server.Message(1);
  EXPECT_EQ(test::HeaderValue(first, "From"), "\"Cellar Logger\" <logger@example.com>");
  EXPECT_EQ(test::HeaderValue(first, "To"), "ann@example.com, bob@example.com");
  EXPECT_EQ(test::HeaderValue(first, "Subject"), "Alarm");
  EXPECT_EQ(test::HeaderValue(first, "X-Priority"), "1");
  EXPECT_EQ(test::HeaderValue(first, "Content-Type"), "text/plain; charset=UTF-8");
  EXPECT_EQ(test::MailBody(first), "Line one\r\nLine two\r\n");
  EXPECT_EQ(server.Envelope(1), "MAIL logger@example.com\nRCPT ann@example.com\nRCPT bob@example.com\nAUTH  \n");

  const std::string second = server.Message(2);
  EXPECT_EQ(test::HeaderValue(second, "Content-Transfer-Encoding"), "base64");
  EXPECT_EQ(test::MailBody(second), "Wert: 41,5 °C\r\nÜberschritten.");
  const std::string subject = test::HeaderValue(second, "Subject");
  ASSERT_EQ(subject.rfind("=?UTF-8?B?", 0), 0u) << subject;
  EXPECT_EQ(test::DecodeBase64(subject.substr(10, subject.size() - 12)), "Température ≥ 40 °C");
  EXPECT_NE(test::HeaderValue(second, "From").find("=?UTF-8?B?"), std::string::npos);
  EXPECT_EQ(server.Envelope(2), "MAIL logger@example.com\nRCPT ann@example.com\nAUTH  \n");
}

TEST(SmtpMail, LogsOnWithAuthLoginAndReportsARefusedLogOn) {
  SmtpServer server(SmtpServerOptions::WithLogin("alarm:S3cret!"));
  TSmtpMail mail = MailTo(server);
  mail.Login = true;
  mail.User = "alarm";
  mail.Password = "S3cret!";
  TSmtpResult r = SendSmtpMail(mail);
  ASSERT_TRUE(r.Sent) << r.Error;
  ASSERT_EQ(server.Count(), 1);
  EXPECT_NE(server.Envelope(1).find("AUTH alarm LOGIN"), std::string::npos) << server.Envelope(1);

  mail.Password = "wrong";
  r = SendSmtpMail(mail);
  EXPECT_FALSE(r.Sent);
  EXPECT_NE(r.Error.find("535"), std::string::npos) << r.Error;  // the server's answer
  // Without log-on the server refuses the sender.
  mail.Login = false;
  r = SendSmtpMail(mail);
  EXPECT_FALSE(r.Sent);
  EXPECT_NE(r.Error.find("530"), std::string::npos) << r.Error;
  EXPECT_EQ(server.Count(), 1);
}

TEST(SmtpMail, ARefusedRecipientFailsTheSendWithTheServersAnswer) {
  SmtpServer server(SmtpServerOptions::Refusing("bob@example.com"));
  const TSmtpResult r = SendSmtpMail(MailTo(server));
  EXPECT_FALSE(r.Sent);
  EXPECT_NE(r.Error.find("550"), std::string::npos) << r.Error;
  EXPECT_EQ(server.Count(), 0);
}

// A server that never greets, one that stalls after the data and one that is not there: each
// send ends by its time-out or at once, as a failure.
TEST(SmtpMail, StalledOrMissingServersEndAsFailures) {
  {
    SmtpServer server(SmtpServerOptions::Stalled());
    const TSmtpResult r = SendSmtpMail(MailTo(server));
    EXPECT_FALSE(r.Sent);
    EXPECT_NE(r.Error, "");
  }
  {
    SmtpServer server(SmtpServerOptions::StalledAfterData());
    TSmtpMail mail = MailTo(server);
    mail.TotalTimeoutMs = 1500;
    const TSmtpResult r = SendSmtpMail(mail);
    EXPECT_FALSE(r.Sent);
    EXPECT_NE(r.Error.find("imeout"), std::string::npos) << r.Error;
  }
  int port;
  {
    SmtpServer server;
    port = server.Port();
  }
  TSmtpMail mail;
  mail.Host = "127.0.0.1";
  mail.Port = port;
  mail.SenderEmail = "a@example.com";
  mail.Recipients = {"b@example.com"};
  const TSmtpResult r = SendSmtpMail(mail);
  EXPECT_FALSE(r.Sent);
  EXPECT_NE(r.Error, "");
}

// A line break or control character in a header field or an address refuses the mail before
// the server is contacted.
TEST(SmtpMail, HeaderInjectionIsRefusedBeforeSending) {
  SmtpServer server;
  struct Case {
    const char* name;
    void (*spoil)(TSmtpMail&);
  };
  const Case cases[] = {
      {"subject", [](TSmtpMail& m) { m.Subject = "Alarm\r\nBcc: eve@example.com"; }},
      {"subject LF", [](TSmtpMail& m) { m.Subject = "Alarm\nBcc: eve@example.com"; }},
      {"sender name", [](TSmtpMail& m) { m.SenderName = "Logger\rBcc: eve@example.com"; }},
      {"sender", [](TSmtpMail& m) { m.SenderEmail = "a@example.com>\r\nRCPT TO:<eve@example.com"; }},
      {"recipient", [](TSmtpMail& m) { m.Recipients[1] = "bob@example.com\r\nDATA"; }},
      {"recipient tab", [](TSmtpMail& m) { m.Recipients[0] = "ann@example.com\t"; }},
      {"recipient bracket", [](TSmtpMail& m) { m.Recipients[0] = "ann@example.com> NOTIFY=NEVER"; }},
      {"host", [](TSmtpMail& m) { m.Host = "127.0.0.1/x"; }},
      {"user", [](TSmtpMail& m) { m.Login = true, m.User = "u\r\nQUIT", m.Password = "p"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSmtpMail mail = MailTo(server);
    c.spoil(mail);
    const TSmtpResult r = SendSmtpMail(mail);
    EXPECT_FALSE(r.Sent);
    EXPECT_NE(r.Error, "");
  }
  EXPECT_EQ(server.Count(), 0);
  EXPECT_TRUE(SendSmtpMail(MailTo(server)).Sent);
}

}  // namespace
}  // namespace qv
