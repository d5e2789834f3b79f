#pragma once
// The program's home folder: what the program treats as its own folder (settings, device tree,
// monitors, logs and the archive's data live below it).
#include <string>
#include <vector>

namespace qv {

// The folder named by "--home DIR" in args, else $QUARVEL_HOME, else ~/.local/share/quarvel/.
// Always ends with "/".
std::string ResolveHomeFolder(const std::vector<std::string>& args);

// Creates the home folder when missing and copies every file of the shipped resource folder
// that is missing there (existing files are never replaced). Throws qv::Exception on failure.
void PrepareHomeFolder(const std::string& home, const std::string& resource_dir);

// The shipped resource folder: "res" beside the program's build tree or installed beside it.
std::string ShippedResourceFolder();

}  // namespace qv
