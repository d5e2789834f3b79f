#pragma once
// The program's command line: the options it takes, their check and the usage text.
#include <string>
#include <vector>

namespace qv {

struct TCommandLine {
  enum class TAction { Run, Help, Error };
  TAction Action = TAction::Run;
  std::string Error;  // what is wrong with the command line (Action Error)
};

// Checks the parameters (without the program name): "--help" asks for the usage; "--home" must be
// followed by a folder; any other parameter that begins with "-" is unknown. Other parameters are
// values, such as the language ("de", "en_US").
TCommandLine CheckCommandLine(const std::vector<std::string>& args);

// What the program takes, for --help and after a wrong command line.
std::string CommandLineUsage();

}  // namespace qv
