#pragma once
// The archive options as the options dialog edits them, storing them with the audit events of
// the password options, and moving the archive to another data folder.
#include <cstdint>
#include <string>

namespace qv {

struct TArchiveOptions {
  std::string DataPath;
  bool UseWinLogon = false;
  bool PwdOnStartup = true;
  bool PwdOnSign = true;
  bool SendEmailOnAlarmOffline = false;
  bool SendEmailOnAlarmRecorder = false;
  bool AlwaysSendAlarmEmail = false;
  double SendAlarmEmailInterval = 0;  // time of day
  int32_t InactInterval = 5;          // minutes
  bool UseInactTimer = false;
};

// The inactivity interval the options accept, in minutes; the timer's milliseconds fit 32 bits.
inline constexpr int32_t MaxInactInterval = 35791;

TArchiveOptions CurrentArchiveOptions();
// Records LogonPwdOn/Off and SignPwdOn/Off when those options change, then sets every option;
// the interval is kept to its time of day. The data folder is set as given.
void StoreArchiveOptions(const TArchiveOptions& options);

// The folder with "/" appended when it does not end with one.
std::string WithFolderSeparator(const std::string& folder);

// Copies everything of the data folder into folder (sub-folders, file dates kept, existing files
// overwritten) and checks that every file arrived whole; only then ArchiveDataPath and UsersFile
// take the new folder. Answers false with the reason when folder lies inside the data folder, or
// when the copy failed or is incomplete: the old folder then stays in use as it was. The same
// folder again does nothing and answers true.
bool MoveArchiveDataPath(const std::string& folder, std::string& error);

}  // namespace qv
