#include "base/ini_file2.h"

#include "base/dt_stamp.h"
#include "base/utils.h"

namespace qv {

namespace {

constexpr size_t kLongMaxChars = 40960;

bool Missing(TDateTime dt) { return dt <= NoDateTime; }

// The three numbers tagged by letters[0..2], each ended by the next letter, the last by "e".
// False when a letter is missing or a number is no decimal integer in 0..9999.
bool ParseTagged(const std::string& s, const char letters[4], int numbers[3]) {
  size_t pos = s.find(letters[0]);
  if (pos == std::string::npos) return false;
  ++pos;
  for (int i = 0; i < 3; ++i) {
    const size_t end = s.find(letters[i + 1], pos);
    if (end == std::string::npos) return false;
    const std::string text = s.substr(pos, end - pos);
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    numbers[i] = std::stoi(text);
    if (numbers[i] > 9999) return false;
    pos = end + 1;
  }
  return true;
}

}  // namespace

std::string DateToTagStr(TDateTime dt) { return Missing(dt) ? "" : FormatDateTime("'y'yyyy'm'mm'd'dd'e'", dt); }

std::string TimeToTagStr(TDateTime dt) { return Missing(dt) ? "" : FormatDateTime("'h'hh'n'nn's'ss'e'", dt); }

std::string DateTimeToTagStr(TDateTime dt) { return Missing(dt) ? "" : DateToTagStr(dt) + "-" + TimeToTagStr(dt); }

TDateTime TagStrToDate(const std::string& s) {
  int n[3];
  TDateTime dt;
  if (!ParseTagged(s, "ymde", n) || !TryEncodeDate(n[0], n[1], n[2], dt)) return NoDateTime;
  return dt;
}

TDateTime TagStrToTime(const std::string& s) {
  int n[3];
  TDateTime dt;
  if (!ParseTagged(s, "hnse", n) || !TryEncodeTime(n[0], n[1], n[2], 0, dt)) return NoDateTime;
  return dt;
}

TDateTime TagStrToDateTime(const std::string& s) {
  const TDateTime date = TagStrToDate(s);
  const TDateTime time = TagStrToTime(s);
  return Missing(date) || Missing(time) ? NoDateTime : date + time;
}

TDateTime TIniFile2::ReadDate(const std::string& section, const std::string& ident, TDateTime def) const {
  const TDateTime v = TagStrToDate(ReadString(section, ident, ""));
  return v > NoDateTime ? v : def;
}

TDateTime TIniFile2::ReadTime(const std::string& section, const std::string& ident, TDateTime def) const {
  const TDateTime v = TagStrToTime(ReadString(section, ident, ""));
  return v > NoDateTime ? v : def;
}

TDateTime TIniFile2::ReadDateTime(const std::string& section, const std::string& ident, TDateTime def) const {
  const TDateTime v = TagStrToDateTime(ReadString(section, ident, ""));
  return v > NoDateTime ? v : def;
}

void TIniFile2::WriteDate(const std::string& section, const std::string& ident, TDateTime value) {
  WriteString(section, ident, DateToTagStr(value));
}

void TIniFile2::WriteTime(const std::string& section, const std::string& ident, TDateTime value) {
  WriteString(section, ident, TimeToTagStr(value));
}

void TIniFile2::WriteDateTime(const std::string& section, const std::string& ident, TDateTime value) {
  WriteString(section, ident, DateTimeToTagStr(value));
}

std::string TIniFile2::ReadString(const std::string& section, const std::string& ident, const std::string& def) const {
  return ReadValue(section, ident, def, kLongMaxChars);
}

size_t TIniFile2::MaxValueChars() const { return kLongMaxChars; }

double TIniFile2::ReadFloat2(const std::string& section, const std::string& ident, double def) const {
  // A missing key gives Default itself, not Default after a trip through 15-digit text.
  if (!ValueExists(section, ident)) return def;
  return StrToFloat2(ReadString(section, ident, ""));
}

void TIniFile2::WriteFloat2(const std::string& section, const std::string& ident, double value, int precision,
                            int digits) {
  WriteString(section, ident, FloatToStrF2(TFloatFormat::ffGeneral, precision, digits, value));
}

void TIniFile2::EraseSections(const std::string& prefix) {
  TStringList sections;
  ReadSections(sections);
  for (int i = 0; i < sections.Count(); ++i)
    if (sections[i].compare(0, prefix.size(), prefix) == 0) EraseSection(sections[i]);
}

}  // namespace qv
