#pragma once
// Application globals that the lower layers build their paths from. The application module sets
// them once at start-up, before any application-wide object exists.
#include <string>

namespace qv {

// The program's home folder, with a trailing "/".
extern std::string ExePath;
// The program's INI file: ExePath + the program file's name with the extension ".INI".
extern std::string IniFileName;

// ExePath + the file name of program_file with its extension (if any) replaced by ".INI".
std::string ProgramIniFileName(const std::string& exe_path, const std::string& program_file);

}  // namespace qv
