#include "archive/archive_options.h"

#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "archive/archive_globals.h"
#include "base/archive_hooks.h"
#include "base/file_utils.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"

namespace qv {

TArchiveOptions CurrentArchiveOptions() {
  TArchiveOptions o;
  o.DataPath = ArchiveDataPath;
  o.UseWinLogon = UseWinLogon;
  o.PwdOnStartup = PwdOnStartup;
  o.PwdOnSign = PwdOnSign;
  o.SendEmailOnAlarmOffline = SendEmailOnAlarmOffline;
  o.SendEmailOnAlarmRecorder = SendEmailOnAlarmRecorder;
  o.AlwaysSendAlarmEmail = AlwaysSendAlarmEmail;
  o.SendAlarmEmailInterval = SendAlarmEmailInterval;
  o.InactInterval = InactInterval;
  o.UseInactTimer = UseInactTimer;
  return o;
}

void StoreArchiveOptions(const TArchiveOptions& o) {
  ArchiveDataPath = o.DataPath;
  UsersFile = ArchiveDataPath + "Users.dat";
  UseWinLogon = o.UseWinLogon;
  if (o.PwdOnStartup != PwdOnStartup) {
    AddAuditEvent(o.PwdOnStartup ? TDY_AuditEventKind::LogonPwdOn : TDY_AuditEventKind::LogonPwdOff);
    PwdOnStartup = o.PwdOnStartup;
  }
  if (o.PwdOnSign != PwdOnSign) {
    AddAuditEvent(o.PwdOnSign ? TDY_AuditEventKind::SignPwdOn : TDY_AuditEventKind::SignPwdOff);
    PwdOnSign = o.PwdOnSign;
  }
  SendEmailOnAlarmOffline = o.SendEmailOnAlarmOffline;
  SendEmailOnAlarmRecorder = o.SendEmailOnAlarmRecorder;
  AlwaysSendAlarmEmail = o.AlwaysSendAlarmEmail;
  const double interval = o.SendAlarmEmailInterval;
  SendAlarmEmailInterval = std::isfinite(interval) ? std::fabs(interval - std::trunc(interval)) : 0.0;
  InactInterval = o.InactInterval;
  UseInactTimer = o.UseInactTimer;
}

std::string WithFolderSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

namespace {

namespace fs = std::filesystem;

// Every regular file the copy takes (sub-folders whose names hold a "." stay behind, as the copy
// leaves them) must be in the target with the same bytes.
bool SameFiles(const fs::path& source, const fs::path& target, std::string& missing) {
  std::error_code ec;
  for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path name = it->path().filename();
    const fs::file_status st = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_regular_file(st)) {
      std::string a, b;
      try {
        a = ReadFileBytes(it->path().string());
        b = ReadFileBytes((target / name).string());
      } catch (const Exception&) {
        missing = (target / name).string();
        return false;
      }
      if (a != b) {
        missing = (target / name).string();
        return false;
      }
    } else if (fs::is_directory(st) && name.string().find('.') == std::string::npos) {
      if (!SameFiles(it->path(), target / name, missing)) return false;
    }
  }
  if (ec) {
    missing = source.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool MoveArchiveDataPath(const std::string& folder, std::string& error) {
  const std::string old_path = WithFolderSeparator(ArchiveDataPath);
  const std::string new_path = WithFolderSeparator(folder);
  if (new_path.empty()) {
    error = "no folder";
    return false;
  }
  if (new_path == old_path) return true;
  if (new_path.compare(0, old_path.size(), old_path) == 0) {
    error = new_path + " lies inside " + old_path;
    return false;
  }
  bool copied = false;
  try {
    copied = CopyDir(old_path, new_path, false, true, true, cpAlways);
  } catch (const Exception& e) {
    error = e.Message();
    return false;
  }
  std::string missing;
  if (!copied || !SameFiles(fs::path(old_path), fs::path(new_path), missing)) {
    error = missing.empty() ? "the copy into " + new_path + " failed" : missing + " was not copied whole";
    return false;
  }
  ArchiveDataPath = new_path;
  UsersFile = new_path + "Users.dat";
  return true;
}

}  // namespace qv
