#include "platform/mail/desktop_mail.h"

#include <cerrno>
#include <cctype>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv {

namespace {
std::string& ProgramSetting() {
  static std::string program = "xdg-email";
  return program;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

// Owns the file actions of one start.
struct SpawnActions {
  posix_spawn_file_actions_t actions;
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
};
}  // namespace

const std::string& DesktopMailProgram() { return ProgramSetting(); }

void SetDesktopMailProgram(const std::string& program) { ProgramSetting() = program.empty() ? "xdg-email" : program; }

bool IsPlainRecipient(const std::string& recipient) {
  if (recipient.empty() || recipient[0] == '-' || StartsWithNoCase(recipient, "mailto:")) return false;
  for (unsigned char ch : recipient)
    if (ch < 0x20 || ch == 0x7F || ch == '?') return false;
  return true;
}

std::vector<std::string> DesktopMailArguments(const TDesktopMail& mail) {
  std::vector<std::string> args{"--utf8"};
  auto add = [&args](const char* option, const std::string& value) {
    args.emplace_back(option);
    args.push_back(value);
  };
  for (const std::string& a : mail.Cc) add("--cc", a);
  for (const std::string& a : mail.Bcc) add("--bcc", a);
  if (!mail.Subject.empty()) add("--subject", mail.Subject);
  if (!mail.Body.empty()) add("--body", mail.Body);
  for (const std::string& f : mail.Attachments) add("--attach", f);
  for (const std::string& a : mail.To) args.push_back(a);
  return args;
}

TDesktopMailResult HandMailToDesktop(const TDesktopMail& mail, const std::string& program) {
  for (const auto* list : {&mail.To, &mail.Cc, &mail.Bcc})
    for (const std::string& a : *list)
      if (!IsPlainRecipient(a)) return TDesktopMailResult::InvalidRecipient;

  std::vector<std::string> args = DesktopMailArguments(mail);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The mail program gets no input of ours.
  SpawnActions file_actions;
  posix_spawn_file_actions_addopen(&file_actions.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const bool search_path = program.find('/') == std::string::npos;
  int err = search_path ? posix_spawnp(&pid, program.c_str(), &file_actions.actions, nullptr, argv.data(), environ)
                        : posix_spawn(&pid, program.c_str(), &file_actions.actions, nullptr, argv.data(), environ);
  if (err == E2BIG) return TDesktopMailResult::TooLarge;
  if (err == ENOENT || err == EACCES || err == ENOEXEC || err == ENOTDIR) return TDesktopMailResult::ProgramMissing;
  if (err != 0) return TDesktopMailResult::Failed;

  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return TDesktopMailResult::Failed;
  if (!WIFEXITED(status)) return TDesktopMailResult::Failed;
  switch (WEXITSTATUS(status)) {
    case 0: return TDesktopMailResult::Handed;
    case 1: return TDesktopMailResult::SyntaxError;
    case 2: return TDesktopMailResult::FileMissing;
    case 3: return TDesktopMailResult::ToolMissing;
    case 4: return TDesktopMailResult::ActionFailed;
    default: return TDesktopMailResult::Failed;
  }
}

}  // namespace qv
