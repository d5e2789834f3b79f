#include "archive/archive_globals.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "base/msg_handler.h"
#include "base/res_string.h"
#include "platform/rtl/format.h"
#include "platform/rtl/text_encoding.h"

namespace qv {

std::string ArchiveIniFile;
std::string ArchiveDataPath;
std::string UsersFile;
bool UseWinLogon = false;
bool PwdOnStartup = true;
bool PwdOnSign = true;
bool SendEmailOnAlarmOffline = false;
bool UseInactTimer = false;
int32_t InactInterval = 5;
bool RelogonPending = false;
bool RelogonActive = false;

namespace {

struct TStyleName {
  const char* Name;
  const char* Caption;
};

constexpr std::array<TStyleName, 7> PenStyles{{{"solid", "ps_Solid"},
                                               {"dash", "ps_Dash"},
                                               {"dot", "ps_Dot"},
                                               {"dashdot", "ps_DashDot"},
                                               {"dashdotdot", "ps_DashDotDot"},
                                               {"clear", "ps_Clear"},
                                               {"insideframe", "ps_InsideFrame"}}};
constexpr TStyleName UnknownPenStyle{"unknown", "ps_Unknown"};

constexpr std::array<TStyleName, 9> PointerStyles{{{"Rectangle", "ps_Rectangle"},
                                                   {"Circle", "ps_Circle"},
                                                   {"Triangle", "ps_Triangle"},
                                                   {"DownTriangle", "ps_DownTriangle"},
                                                   {"Cross", "ps_Cross"},
                                                   {"DiagCross", "ps_DiagCross"},
                                                   {"Star", "ps_Star"},
                                                   {"Diamond", "ps_Diamond"},
                                                   {"SmallDot", "ps_SmallDot"}}};

const TStyleName& PenStyleEntry(int32_t style) {
  return style >= 0 && style < static_cast<int32_t>(PenStyles.size()) ? PenStyles[static_cast<size_t>(style)]
                                                                      : UnknownPenStyle;
}

const TStyleName& PointerStyleEntry(int32_t style) {
  return style >= 0 && style < static_cast<int32_t>(PointerStyles.size()) ? PointerStyles[static_cast<size_t>(style)]
                                                                          : PointerStyles.back();
}

}  // namespace

void ResetArchiveGlobals() {
  ArchiveIniFile.clear();
  ArchiveDataPath.clear();
  UsersFile.clear();
  UseWinLogon = false;
  PwdOnStartup = true;
  PwdOnSign = true;
  SendEmailOnAlarmOffline = false;
  SendEmailOnAlarmRecorder = false;
  AlwaysSendAlarmEmail = false;
  SendAlarmEmailInterval = 15.0 / 1440.0;
  LastAlarmMailTime = 0.0;
  UseInactTimer = false;
  InactInterval = 5;
  RelogonPending = false;
  RelogonActive = false;
  DisconnectOnDevChange = true;
  ChangeSubject.clear();
  ChangeDetails.clear();
}

std::string PenStyleToName(int32_t style) { return PenStyleEntry(style).Name; }

int32_t NameToPenStyle(const std::string& name) {
  for (size_t i = 0; i < PenStyles.size(); ++i)
    if (name == PenStyles[i].Name) return static_cast<int32_t>(i);
  return 0;
}

std::string PenStyleCaption(int32_t style) { return LoadResString(PenStyleEntry(style).Caption); }

std::string PointerStyleToName(int32_t style) { return PointerStyleEntry(style).Name; }

int32_t NameToPointerStyle(const std::string& name) {
  for (size_t i = 0; i < PointerStyles.size(); ++i)
    if (name == PointerStyles[i].Name) return static_cast<int32_t>(i);
  return static_cast<int32_t>(PointerStyles.size() - 1);
}

std::string PointerStyleCaption(int32_t style) { return LoadResString(PointerStyleEntry(style).Caption); }

std::string StripFileExt(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsCreatableFileName(const std::string& folder, const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos) return false;
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  const std::string trial = dir + name + ".tmp";
  // O_EXCL: a file of that name that is already there is not ours to delete.
  const int fd = ::open(trial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return ::unlink(trial.c_str()) == 0;
}

std::string DateTimeText(TDateTime time) {
  const TFormatSettings& settings = CurrentFormatSettings();
  return FormatDateTime(settings.ShortDateFormat, time, settings) + " " +
         FormatDateTime(settings.LongTimeFormat, time, settings);
}

std::string DateStamp(TDateTime time) {
  uint16_t year = 0, month = 0, day = 0;
  DecodeDate(time, year, month, day);
  char text[16];
  std::snprintf(text, sizeof text, "%u%02u%02u", unsigned{year}, unsigned{month}, unsigned{day});
  return text;
}

bool IsValidPassword(const std::string& user_id, const std::string& password) {
  // Counted in characters as the users file stores them (one Windows-1252 byte each).
  const std::string chars = Utf8ToCp1252(password);
  if (chars.size() < 6 || password == user_id || chars.find(' ') != std::string::npos) return false;
  size_t run = 1;
  for (size_t i = 1; i < chars.size(); ++i) {
    run = chars[i] == chars[i - 1] ? run + 1 : 1;
    if (run >= 4) return false;
  }
  return true;
}

namespace {

void ArchiveMessageBox(const std::string& text, TMsgDlgType type) {
  if (MsgDialogProc) {
    MsgDialogProc(text, type, mbOK, 0);
  } else if (MsgHandler) {
    MsgHandler->WriteDiagnose(text);
  }
}

}  // namespace

void ArchiveErrorBox(const std::string& text) { ArchiveMessageBox(text, TMsgDlgType::mtError); }

void ArchiveInfoBox(const std::string& text) { ArchiveMessageBox(text, TMsgDlgType::mtInformation); }

}  // namespace qv
