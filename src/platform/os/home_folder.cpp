#include "platform/os/home_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/rtl/exception.h"

namespace fs = std::filesystem;

namespace qv {

namespace {
std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}
}  // namespace

std::string ResolveHomeFolder(const std::vector<std::string>& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "--home") return WithSlash(fs::absolute(args[i + 1]).lexically_normal().string());
  if (const char* env = std::getenv("QUARVEL_HOME"); env && *env)
    return WithSlash(fs::absolute(env).lexically_normal().string());
  const char* home = std::getenv("HOME");
  std::string base = (home && *home) ? home : "/tmp";
  return WithSlash(base + "/.local/share/quarvel");
}

void PrepareHomeFolder(const std::string& home, const std::string& resource_dir) {
  std::error_code ec;
  fs::create_directories(home, ec);
  if (ec) throw Exception("Cannot create the home folder \"" + home + "\": " + ec.message());
  if (resource_dir.empty() || !fs::is_directory(resource_dir)) return;
  for (auto it = fs::recursive_directory_iterator(resource_dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::path rel = fs::relative(it->path(), resource_dir);
    const fs::path target = fs::path(home) / rel;
    if (it->is_directory()) {
      fs::create_directories(target, ec);
    } else if (it->is_regular_file() && !fs::exists(target)) {
      // Copied under a temporary name and renamed, so a copy cut short is never taken for
      // a shipped file at the next start.
      fs::path part = target;
      part += ".part~";
      fs::copy_file(it->path(), part, fs::copy_options::overwrite_existing, ec);
      if (!ec) fs::rename(part, target, ec);
      if (ec) {
        std::error_code ignore;
        fs::remove(part, ignore);
      }
    }
    if (ec) throw Exception("Cannot prepare \"" + target.string() + "\": " + ec.message());
  }
  if (ec) throw Exception("Cannot read \"" + resource_dir + "\": " + ec.message());
}

std::string ShippedResourceFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    for (fs::path dir = exe.parent_path(); !dir.empty() && dir != dir.root_path(); dir = dir.parent_path()) {
      if (fs::is_directory(dir / "res") && fs::exists(dir / "CMakeLists.txt")) return (dir / "res").string();
      if (fs::is_directory(dir / "share/quarvel/res")) return (dir / "share/quarvel/res").string();
    }
  }
#ifdef QV_SOURCE_RES_DIR
  return QV_SOURCE_RES_DIR;
#else
  return {};
#endif
}

}  // namespace qv
