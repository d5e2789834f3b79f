#include "base/app_globals.h"

namespace qv {

std::string ExePath;
std::string IniFileName;

std::string ProgramIniFileName(const std::string& exe_path, const std::string& program_file) {
  std::string name = program_file.substr(program_file.find_last_of("/\\") + 1);
  if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
  return exe_path + name + ".INI";
}

}  // namespace qv
