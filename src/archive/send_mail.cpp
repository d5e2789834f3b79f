#include "archive/send_mail.h"

#include <utility>
#include <vector>

#include "archive/archive_globals.h"
#include "archive/dy_crypt.h"
#include "base/ini_file.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "crypto/as_coding.h"
#include "platform/mail/desktop_mail.h"
#include "platform/mail/smtp_mail.h"
#include "platform/rtl/text_encoding.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

constexpr const char* Section = "AlarmEmail";

// The addresses of a list separated by ",", trimmed; empty entries are passed over.
std::vector<std::string> SplitAddresses(const std::string& list) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(',', pos);
    if (end == std::string::npos) end = list.size();
    std::string item = list.substr(pos, end - pos);
    const size_t first = item.find_first_not_of(' ');
    const size_t last = item.find_last_not_of(' ');
    if (first != std::string::npos) out.push_back(item.substr(first, last - first + 1));
    pos = end + 1;
  }
  return out;
}

std::string DesktopMailError(TDesktopMailResult result) {
  switch (result) {
    case TDesktopMailResult::Handed: return std::string();
    case TDesktopMailResult::InvalidRecipient: return "The desktop's mail program cannot take this recipient";
    case TDesktopMailResult::ProgramMissing: return "The desktop's mail program (xdg-email) could not be started";
    case TDesktopMailResult::SyntaxError: return "The desktop's mail program refused the mail (syntax error)";
    case TDesktopMailResult::FileMissing: return "The desktop's mail program did not find a file of the mail";
    case TDesktopMailResult::ToolMissing: return "No mail program is set up on this desktop";
    case TDesktopMailResult::ActionFailed: return "The desktop's mail program failed";
    case TDesktopMailResult::TooLarge: return "The mail is too large for the desktop's mail program";
    case TDesktopMailResult::Failed: break;
  }
  return "The desktop's mail program did not take the mail";
}

// Bytes deciphered or decoded from the UTF-8 settings file: UTF-8, else Windows-1252.
std::string StoredText(const std::string& bytes) { return IsValidUtf8(bytes) ? bytes : Cp1252ToUtf8(bytes); }

void Report(const std::string& text) {
  if (MsgHandler) MsgHandler->WriteDiagnose(text);
}

}  // namespace

TSendMail::TSendMail() : thread_([this] { Run(); }) {}

TSendMail::~TSendMail() {
  {
    std::lock_guard lock(queue_mutex_);
    stop_ = true;
  }
  queue_cv_.notify_all();
  thread_.join();
}

TMailSettings TSendMail::Settings() const {
  std::lock_guard lock(settings_mutex_);
  return settings_;
}

void TSendMail::SetSettings(const TMailSettings& settings) {
  std::lock_guard lock(settings_mutex_);
  settings_ = settings;
}

std::string TSendMail::LastError() const {
  std::lock_guard lock(settings_mutex_);
  return last_error_;
}

std::string TSendMail::SettingsFileName() { return ArchiveDataPath + "Email.ini"; }

void TSendMail::LoadSettings() {
  TIniFile ini(SettingsFileName());
  TMailSettings s;
  s.UseSmtp = ini.ReadBool(Section, "UseSmtp", true);
  s.Recipient = ini.ReadString(Section, "Recipient", "");
  s.CCRecipients = ini.ReadString(Section, "CCRecipients", "");
  s.Subject = ini.ReadString(Section, "Subject", "Quarvel Alarm");
  try {
    s.AddText = StoredText(Base64Coder().DecodeString(ini.ReadString(Section, "AddText", "")));
  } catch (const Exception& e) {
    Report(SettingsFileName() + ": AddText: " + e.Message());
  }
  s.SenderName = ini.ReadString(Section, "SenderName", "Quarvel");
  s.SenderEmail = ini.ReadString(Section, "SenderEmail", "");
  s.SmtpHost = ini.ReadString(Section, "SmtpHost", "");
  s.SmtpPort = ini.ReadInteger(Section, "SmtpPort", 25);
  s.AuthRequired = ini.ReadBool(Section, "AuthRequired", true);
  s.User = ini.ReadString(Section, "User", "");
  try {
    s.Password = StoredText(ArchiveCrypt().Decrypt(ini.ReadString(Section, "Password", "")));
  } catch (const Exception& e) {
    Report(SettingsFileName() + ": Password: " + e.Message());
  }
  SetSettings(s);
}

void TSendMail::SaveSettings() {
  const TMailSettings s = Settings();
  TIniFile ini(SettingsFileName());
  ini.WriteValues(Section, {{"UseSmtp", s.UseSmtp ? "1" : "0"},
                            {"Recipient", s.Recipient},
                            {"CCRecipients", s.CCRecipients},
                            {"Subject", s.Subject},
                            {"AddText", Base64Coder().EncodeString(s.AddText)},
                            {"SenderName", s.SenderName},
                            {"SenderEmail", s.SenderEmail},
                            {"SmtpHost", s.SmtpHost},
                            {"SmtpPort", std::to_string(s.SmtpPort)},
                            {"AuthRequired", s.AuthRequired ? "1" : "0"},
                            {"User", s.User},
                            {"Password", ArchiveCrypt().Encrypt(s.Password)}});
}

bool TSendMail::SendAlarmMail(const std::string& text, int32_t logger_no, bool quiet) {
  std::string error;
  return SendAlarmMail(text, logger_no, quiet, error);
}

bool TSendMail::SendAlarmMail(const std::string& text, int32_t logger_no, bool quiet, std::string& error) {
  std::lock_guard send_lock(send_mutex_);
  const TMailSettings s = Settings();
  error.clear();
  auto fail = [&](const std::string& message) {
    error = message;
    {
      std::lock_guard lock(settings_mutex_);
      last_error_ = message;
    }
    Report("Alarm e-mail not sent: " + message);
    if (!quiet) AddAuditEvent(TDY_AuditEventKind::DeviceAlarmEmailError, std::to_string(logger_no), message);
    return false;
  };
  {
    std::lock_guard lock(settings_mutex_);
    last_error_.clear();
  }
  if (s.Recipient.empty()) return fail(LoadResString("DY_NoRecip"));
  // A line break in a header field would add header lines (or, in an address, SMTP commands):
  // such settings are refused before anything is sent.
  const std::pair<const char*, const std::string*> header_fields[] = {
      {"Recipient", &s.Recipient},   {"CCRecipients", &s.CCRecipients}, {"Subject", &s.Subject},
      {"SenderName", &s.SenderName}, {"SenderEmail", &s.SenderEmail},
  };
  for (const auto& [name, value] : header_fields)
    if (HasControlCharacter(*value)) return fail(LoadResString("DY_EmailControlChar") + " (" + name + ")");
  const std::string body = s.AddText.empty() ? text : text + "\r\n" + s.AddText;
  if (s.UseSmtp) {
    if (s.SmtpHost.empty()) return fail(LoadResString("DY_NoHost"));
    if (s.AuthRequired && (s.User.empty() || s.Password.empty())) return fail(LoadResString("DY_NoUser"));
    TSmtpMail mail;
    mail.Host = s.SmtpHost;
    mail.Port = s.SmtpPort;
    mail.Login = s.AuthRequired;
    if (s.AuthRequired) {
      mail.User = s.User;
      mail.Password = s.Password;
    }
    mail.SenderName = s.SenderName;
    mail.SenderEmail = s.SenderEmail;
    mail.Recipients = SplitAddresses(s.Recipient);
    for (std::string& cc : SplitAddresses(s.CCRecipients)) mail.Recipients.push_back(std::move(cc));
    mail.Subject = s.Subject;
    mail.Body = body;
    mail.Urgent = true;
    mail.ConnectTimeoutMs = ConnectTimeoutMs;
    mail.TotalTimeoutMs = SendTimeoutMs;
    const TSmtpResult result = SendSmtpMail(mail);
    if (!result.Sent) return fail(result.Error);
  } else {
    // Built afresh for every mail, so that no copy recipient of an earlier one is kept.
    TDesktopMail mail;
    mail.To = SplitAddresses(s.Recipient);
    mail.Cc = SplitAddresses(s.CCRecipients);
    mail.Subject = s.Subject;
    mail.Body = body;
    const TDesktopMailResult result = HandMailToDesktop(mail);
    if (result != TDesktopMailResult::Handed) return fail(DesktopMailError(result));
  }
  if (!quiet) AddAuditEvent(TDY_AuditEventKind::DeviceAlarmEmail, std::to_string(logger_no));
  return true;
}

void TSendMail::PostAlarmMail(const std::string& text, int32_t logger_no) { PostMail(text, logger_no, false, nullptr); }

void TSendMail::PostMail(const std::string& text, int32_t logger_no, bool quiet, TMailDone done) {
  {
    std::lock_guard lock(queue_mutex_);
    queue_.push_back({text, logger_no, quiet, std::move(done)});
  }
  queue_cv_.notify_all();
}

void TSendMail::WaitIdle() {
  std::unique_lock lock(queue_mutex_);
  queue_cv_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void TSendMail::Run() {
  std::unique_lock lock(queue_mutex_);
  for (;;) {
    queue_cv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to send
    TJob job = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    std::string error;
    bool sent = false;
    try {
      sent = SendAlarmMail(job.Text, job.LoggerNo, job.Quiet, error);
    } catch (const std::exception& e) {
      error = e.what();
    }
    if (job.Done) job.Done(sent, error);
    lock.lock();
    busy_ = false;
    queue_cv_.notify_all();
  }
}

}  // namespace qv
