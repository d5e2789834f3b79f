#pragma once
// The program's start and end: the home folder, the language, the application modules, the
// common-dialog holder and the main window, and their release in order. A problem the program
// can live with (a missing language file, settings it reads only in part) is reported or passed
// over and start-up goes on; one it cannot (no usable home folder, a settings file it cannot
// read at all, a failing module chain) stops it with a clear text.
#include <functional>
#include <string>
#include <vector>

namespace qv {

class TForm;
class TQVMainFm;

class TProgram {
public:
  // args: the command-line parameters; resource_dir: the shipped files for the home folder.
  TProgram(std::vector<std::string> args, std::string resource_dir);
  // Frees the main window (which frees the module chain after its own components), the
  // common-dialog holder and last the message handler.
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  // The archive's start and end, which the shell cannot reach itself: start runs once the home
  // folder and the language are set, before the module chain, so that the audit trail records
  // from the first event on; stop runs after the module chain is freed.
  void SetArchiveServices(std::function<void()> start, std::function<void()> stop);

  // The program's main form when it is not the logger window: create makes it (it creates the
  // logger window QVMainFm itself, and may end the program at once through Terminate);
  // end_on_signal ends its work without questions on SIGTERM or SIGHUP. The main form is freed
  // last and frees the logger window.
  void SetMainWindow(std::function<TForm*()> create, std::function<void()> end_on_signal);

  // False when the program cannot start; Error() then says why (it has been reported).
  bool Start();
  // Shows the main window and runs the message loop until it closes, or until SIGTERM or SIGHUP
  // end it as closing the main window does, without questions; then frees the windows and the
  // modules and tells the user once what could not be saved meanwhile (not after a signal).
  int Run();

  const std::string& Error() const { return error_; }
  // What start-up reported and went on with.
  const std::vector<std::string>& Reports() const { return reports_; }
  TQVMainFm* MainForm() const { return main_form_; }

private:
  void Report(const std::string& text);
  void Fail(const std::string& text);
  void LoadLanguage();
  // False (reported) when the settings file exists but cannot be read.
  bool CheckSettingsFile();
  // Frees the main window, the common-dialog holder and the module chain (once).
  void Shutdown();
  // SIGTERM or SIGHUP, taken on the main loop.
  void EndOnSignal();

  std::vector<std::string> args_;
  std::string resource_dir_;
  std::string error_;
  std::vector<std::string> reports_;
  TQVMainFm* main_form_ = nullptr;
  TForm* top_form_ = nullptr;  // the main form made by create_main_, which owns main_form_
  bool shut_down_ = false;
  bool ending_ = false;
  bool signals_ = false;  // SIGTERM and SIGHUP come to EndOnSignal
  std::function<void()> archive_start_;
  std::function<void()> archive_stop_;
  std::function<TForm*()> create_main_;
  std::function<void()> end_main_on_signal_;
};

}  // namespace qv
