#pragma once
// The archive's settings globals with their start-up defaults, the pen- and pointer-style
// names, the file-name and time-stamp helpers, the password rule and the archive's error box.
// The options the recorder's worker reads (SendEmailOnAlarmRecorder, AlwaysSendAlarmEmail,
// SendAlarmEmailInterval, LastAlarmMailTime), DisconnectOnDevChange and the change details live
// in base/archive_hooks.h because the logger side uses them too.
#include <cstdint>
#include <string>

#include "base/archive_hooks.h"
#include "platform/rtl/date_time.h"

namespace qv {

extern std::string ArchiveIniFile;   // full name of the archive settings file
extern std::string ArchiveDataPath;  // archive data folder, ending in "/"
extern std::string UsersFile;        // full name of "Users.dat"
extern bool UseWinLogon;
extern bool PwdOnStartup;
extern bool PwdOnSign;
extern bool SendEmailOnAlarmOffline;
extern bool UseInactTimer;
extern int32_t InactInterval;  // minutes
extern bool RelogonPending;
extern bool RelogonActive;

// Puts every setting back to its start-up default (the program start and tests).
void ResetArchiveGlobals();

// Line styles of curves (0 to 6) and point markers of series (0 to 8) by their stored names.
std::string PenStyleToName(int32_t style);
int32_t NameToPenStyle(const std::string& name);
std::string PenStyleCaption(int32_t style);
std::string PointerStyleToName(int32_t style);
int32_t NameToPointerStyle(const std::string& name);
std::string PointerStyleCaption(int32_t style);

// The text before the last "."; the name itself when it holds none.
std::string StripFileExt(const std::string& name);
// True when a file of that name can be created in folder (then removed again). A name holding a
// folder separator, or "." or "..", is refused: it would lead out of the folder meant for it.
bool IsCreatableFileName(const std::string& folder, const std::string& name);
// The locale's short date, a blank and its long time.
std::string DateTimeText(TDateTime time);
// yyyymmdd.
std::string DateStamp(TDateTime time);

// At least 6 characters, not the user id, no blank, no character 4 or more times in a row.
bool IsValidPassword(const std::string& user_id, const std::string& password);

// Shows a fixed error text of the archive: the message dialog where the program installed one,
// else the message handler's diagnose log.
void ArchiveErrorBox(const std::string& text);
// The same as an information box.
void ArchiveInfoBox(const std::string& text);

}  // namespace qv
