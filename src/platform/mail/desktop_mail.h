#pragma once
// Hands a mail to the desktop's mail program through xdg-email, which opens it in the user's mail
// client for sending. The program is started with an argument vector, never through a shell.
#include <string>
#include <vector>

namespace qv {

struct TDesktopMail {
  std::vector<std::string> To;
  std::vector<std::string> Cc;
  std::vector<std::string> Bcc;
  std::string Subject;
  std::string Body;
  // Full path names.
  std::vector<std::string> Attachments;
};

enum class TDesktopMailResult {
  Handed,            // the mail program took the mail
  InvalidRecipient,  // a recipient that could be read as an option or a link; nothing was started
  ProgramMissing,    // the hand-off program could not be started
  SyntaxError,       // xdg-email exit code 1
  FileMissing,       // exit code 2: an attachment does not exist
  ToolMissing,       // exit code 3: no mail client found
  ActionFailed,      // exit code 4
  TooLarge,          // the arguments exceed what the system passes to a program
  Failed             // any other exit code, a signal or a failed start
};

// The hand-off program: "xdg-email" looked up in PATH unless another program (a path) is set.
// Tests install a stand-in; an empty name restores the default.
const std::string& DesktopMailProgram();
void SetDesktopMailProgram(const std::string& program);

// True when the recipient can be handed over as it stands: not empty, no control characters,
// not beginning with "-" (an option) and no "mailto:" link or "?" (which would add header fields).
bool IsPlainRecipient(const std::string& recipient);

// The arguments after the program name.
std::vector<std::string> DesktopMailArguments(const TDesktopMail& mail);

// Starts the program and waits for it to hand the mail on.
TDesktopMailResult HandMailToDesktop(const TDesktopMail& mail, const std::string& program = DesktopMailProgram());

}  // namespace qv
