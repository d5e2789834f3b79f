#pragma once
// The alarm mail sender: its settings ("Email.ini" in the archive data folder, section
// "AlarmEmail"), the sending itself (SMTP, or the hand-off to the desktop's mail program) and a
// queue with a thread of its own, so that a server that hangs holds up neither a recording nor
// the window. Every alarm mail sent or failed is recorded in the audit trail (events 21 and 22).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "base/archive_hooks.h"

namespace qv {

struct TMailSettings {
  bool UseSmtp = false;  // SMTP; else the desktop's mail program
  std::string Recipient;
  std::string CCRecipients;
  std::string Subject;
  std::string AddText;  // appended to every body
  std::string SenderName;
  std::string SenderEmail;
  std::string SmtpHost;
  int32_t SmtpPort = 25;
  bool AuthRequired = true;
  std::string User;
  std::string Password;
};

// Called on the sender's thread when a queued mail has been sent or has failed.
using TMailDone = std::function<void(bool sent, const std::string& error)>;

class TSendMail : public TAlarmMailService {
public:
  TSendMail();
  // Sends what is still queued (each send is bounded by the time-outs), then ends the thread.
  ~TSendMail() override;
  TSendMail(const TSendMail&) = delete;
  TSendMail& operator=(const TSendMail&) = delete;

  TMailSettings Settings() const;
  void SetSettings(const TMailSettings& settings);

  // ArchiveDataPath + "Email.ini".
  static std::string SettingsFileName();
  // Reads the settings, with the defaults for missing keys. A Password or AddText that does not
  // decode is reported through the message handler and left empty.
  void LoadSettings();
  // Writes the twelve keys in one rewrite of the file; raises when it cannot be written.
  void SaveSettings();

  // Sends one mail with the current settings and waits for the result; the body is text, then
  // CR LF and AddText when that is not empty. Unless quiet, audit event 21 on success and 22
  // with the error on failure. Any thread; sends run one at a time.
  bool SendAlarmMail(const std::string& text, int32_t logger_no, bool quiet) override;
  // As SendAlarmMail, with the error of this very send.
  bool SendAlarmMail(const std::string& text, int32_t logger_no, bool quiet, std::string& error);
  // Queues a mail that is not quiet.
  void PostAlarmMail(const std::string& text, int32_t logger_no) override;
  // Queues a mail; done (when set) runs on the sender's thread with the result.
  void PostMail(const std::string& text, int32_t logger_no, bool quiet, TMailDone done);
  // Waits until the queue is empty and no send runs.
  void WaitIdle();

  // Why the last send failed; empty after a successful one.
  std::string LastError() const;

  // Reaching the server and the whole send, in milliseconds.
  int32_t ConnectTimeoutMs = 1000;
  int32_t SendTimeoutMs = 30000;

private:
  struct TJob {
    std::string Text;
    int32_t LoggerNo;
    bool Quiet;
    TMailDone Done;
  };
  void Run();

  // Guards settings_ and last_error_; taken briefly, never while sending.
  mutable std::mutex settings_mutex_;
  TMailSettings settings_;
  std::string last_error_;
  // Serialises the sends; taken before settings_mutex_.
  std::mutex send_mutex_;
  // Guards the queue, busy_ and stop_.
  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::deque<TJob> queue_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace qv
