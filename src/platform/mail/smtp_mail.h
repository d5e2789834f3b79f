#pragma once
// Sends one plain-text mail to an SMTP server through libcurl: no authentication, or AUTH LOGIN.
// Each send opens its own connection and closes it again, also after an error. Every header
// field and address is checked before anything is sent: a line break or another control
// character (which would add header lines or SMTP commands) refuses the mail.
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct TSmtpMail {
  std::string Host;
  int32_t Port = 25;
  // AUTH LOGIN with User and Password; no authentication otherwise.
  bool Login = false;
  std::string User;
  std::string Password;
  std::string SenderName;
  std::string SenderEmail;
  // Each one is a RCPT of the envelope and stands in the To header, in this order.
  std::vector<std::string> Recipients;
  std::string Subject;
  // UTF-8; lone CR or LF become CR LF.
  std::string Body;
  // Marks the mail as of the highest priority.
  bool Urgent = false;
  // Reaching the server and its greeting, and the whole send.
  int32_t ConnectTimeoutMs = 1000;
  int32_t TotalTimeoutMs = 30000;
};

struct TSmtpResult {
  bool Sent = false;
  // Why the mail was not sent, with the server's last answer when there was one.
  std::string Error;
};

// A plain address local@domain: not empty, no blank, control character, "<", ">", ",", ";" or
// quote.
bool IsPlainMailAddress(const std::string& address);
// True when text holds a character below 32 or DEL.
bool HasControlCharacter(const std::string& text);

// The header and body lines as they go to the server (each line ends in CR LF). Non-ASCII header
// texts are encoded words; a body with non-ASCII text or long lines goes as Base64 of its UTF-8.
std::string SmtpMessageText(const TSmtpMail& mail);

// Blocks the calling thread until the server took the mail or the send failed (at most the
// total time-out). Any thread.
TSmtpResult SendSmtpMail(const TSmtpMail& mail);

}  // namespace qv
