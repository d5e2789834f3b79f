#pragma once
// The texts that identify the program to the user: version, copyright line and two lines a
// distributor may put into the program's INI file ([Info] OEM1 and OEM2).
#include <string>

namespace qv {

class TInfoData {
public:
  // Reads OEM1 and OEM2 from IniFileName. The copyright's last year is the year (local time) of
  // the program file's date; program_file defaults to the running program.
  TInfoData(std::string version_text, std::string copyright_start_year, std::string program_file = "");
  // Clears the global InfoData when it is this object.
  virtual ~TInfoData();
  TInfoData(const TInfoData&) = delete;
  TInfoData& operator=(const TInfoData&) = delete;

  const std::string& VersionText() const { return version_text_; }
  const std::string& OEM1() const { return oem1_; }
  const std::string& OEM2() const { return oem2_; }
  const std::string& CopyrightStartYear() const { return copyright_start_year_; }
  // "Copyright © 1999-2005": the start year to the year of the program file's date.
  virtual std::string CopyrightText() const;

private:
  std::string version_text_;
  std::string oem1_, oem2_;
  std::string copyright_start_year_;
  std::string program_file_;
};

extern TInfoData* InfoData;

}  // namespace qv
