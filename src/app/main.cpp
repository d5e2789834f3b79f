// The program's entry: checks the command line, starts the program (home folder, language,
// application modules, the common-dialog holder and the main window), runs the message loop and
// frees everything in order.
#include <iostream>
#include <string>
#include <vector>

#include "archive/archive_start.h"
#include "archive/forms/archive_window.h"
#include "platform/gui/forms.h"
#include "platform/os/home_folder.h"
#include "shell/command_line.h"
#include "shell/program_start.h"

int main(int argc, char** argv) {
  // The usage is answered before the window system starts: it needs no display and the program
  // creates nothing for it.
  if (qv::CheckCommandLine({argv + 1, argv + argc}).Action == qv::TCommandLine::TAction::Help) {
    std::cout << qv::CommandLineUsage();
    return 0;
  }
  // The window system takes its own options ("-platform", "-display" ...) out of argv.
  qv::InitializeGui(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  const qv::TCommandLine command_line = qv::CheckCommandLine(args);
  if (command_line.Action != qv::TCommandLine::TAction::Run) {
    std::cerr << "quarvel: " << command_line.Error << "\n\n" << qv::CommandLineUsage();
    return 2;
  }
  qv::TProgram program(args, qv::ShippedResourceFolder());
  program.SetArchiveServices(qv::StartArchiveServices, qv::StopArchiveServices);
  // The archive window is the main form; it creates the logger window.
  program.SetMainWindow(qv::CreateArchiveWindow, qv::EndArchiveWithoutQuestions);
  if (!program.Start()) return 1;
  return program.Run();
}
