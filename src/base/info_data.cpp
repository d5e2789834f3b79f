#include "base/info_data.h"

#include <sys/stat.h>

#include <ctime>

#include "base/app_globals.h"
#include "base/ini_file.h"

namespace qv {

TInfoData* InfoData = nullptr;

TInfoData::TInfoData(std::string version_text, std::string copyright_start_year, std::string program_file)
    : version_text_(std::move(version_text)),
      copyright_start_year_(std::move(copyright_start_year)),
      program_file_(program_file.empty() ? "/proc/self/exe" : std::move(program_file)) {
  TIniFile ini(IniFileName);
  oem1_ = ini.ReadString("Info", "OEM1", "");
  oem2_ = ini.ReadString("Info", "OEM2", "");
}

TInfoData::~TInfoData() {
  if (InfoData == this) InfoData = nullptr;
}

std::string TInfoData::CopyrightText() const {
  struct stat st;
  std::time_t t = ::stat(program_file_.c_str(), &st) == 0 ? st.st_mtim.tv_sec : std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return "Copyright \u00A9 " + copyright_start_year_ + "-" + std::to_string(local.tm_year + 1900);
}

}  // namespace qv
