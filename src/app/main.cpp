// The program's entry: starts the program (home folder, language, application modules, the
// common-dialog holder and the main window), runs the message loop and frees everything in order.
#include <string>
#include <vector>

#include "archive/archive_start.h"
#include "platform/gui/forms.h"
#include "platform/os/home_folder.h"
#include "shell/program_start.h"

int main(int argc, char** argv) {
  qv::InitializeGui(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  qv::TProgram program(args, qv::ShippedResourceFolder());
  program.SetArchiveServices(qv::StartArchiveServices, qv::StopArchiveServices);
  if (!program.Start()) return 1;
  return program.Run();
}
