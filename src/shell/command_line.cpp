#include "shell/command_line.h"

namespace qv {

TCommandLine CheckCommandLine(const std::vector<std::string>& args) {
  TCommandLine result;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      result.Action = TCommandLine::TAction::Help;
      return result;
    }
    if (result.Action == TCommandLine::TAction::Error) continue;  // --help may still follow
    if (a == "--home") {
      // An option in the folder's place means the folder was left out.
      if (i + 1 >= args.size() || (!args[i + 1].empty() && args[i + 1][0] == '-')) {
        result.Action = TCommandLine::TAction::Error;
        result.Error = "the option --home needs a folder";
      } else {
        ++i;
      }
    } else if (!a.empty() && a[0] == '-') {
      result.Action = TCommandLine::TAction::Error;
      result.Error = "unknown option \"" + a + "\"";
    }
  }
  return result;
}

std::string CommandLineUsage() {
  return "Usage: quarvel [--home FOLDER] [LANGUAGE]\n"
         "\n"
         "  --home FOLDER  keep the settings, the device tree, the data and the archive in FOLDER\n"
         "                 (else in $QUARVEL_HOME, else in ~/.local/share/quarvel)\n"
         "  LANGUAGE       the language of the windows, as a language code with an optional\n"
         "                 country: de, en_US\n"
         "  --help         show this text and end\n";
}

}  // namespace qv
