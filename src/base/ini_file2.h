#pragma once
// The INI file class every part of the system uses: long values, dates and times in the
// system's own locale-independent tag texts, floating-point values always written with ".", and
// the erasing of all sections with a common prefix.
#include <string>

#include "base/ini_file.h"
#include "platform/rtl/date_time.h"

namespace qv {

// Dates and times as stored in INI files, independent of the locale: "y2004m02d29e",
// "h07n05s09e" and "y2004m02d29e-h07n05s09e". NoDateTime is the empty text.
std::string DateToTagStr(TDateTime dt);
std::string TimeToTagStr(TDateTime dt);
std::string DateTimeToTagStr(TDateTime dt);
// NoDateTime when the text does not hold a valid date or time. The date parser ignores what
// follows the day's "e"; the time parser skips everything before the first "h".
TDateTime TagStrToDate(const std::string& s);
TDateTime TagStrToTime(const std::string& s);
TDateTime TagStrToDateTime(const std::string& s);

class TIniFile2 : public TIniFile {
public:
  using TIniFile::TIniFile;

  // Values of up to 40960 characters are returned whole.
  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const override;

  // The tag texts above; Default when the key is missing or holds no valid date or time.
  TDateTime ReadDate(const std::string& section, const std::string& ident, TDateTime def) const;
  TDateTime ReadTime(const std::string& section, const std::string& ident, TDateTime def) const;
  TDateTime ReadDateTime(const std::string& section, const std::string& ident, TDateTime def) const;
  void WriteDate(const std::string& section, const std::string& ident, TDateTime value);
  void WriteTime(const std::string& section, const std::string& ident, TDateTime value);
  void WriteDateTime(const std::string& section, const std::string& ident, TDateTime value);

  // Accepts "." or ","; raises EConvertError when the stored text is not a number.
  double ReadFloat2(const std::string& section, const std::string& ident, double def) const;
  // General format with Precision and Digits, always with ".".
  void WriteFloat2(const std::string& section, const std::string& ident, double value, int precision, int digits);

  // Erases every section whose name begins with Prefix (case-sensitive); "" erases all.
  void EraseSections(const std::string& prefix);

protected:
  size_t MaxValueChars() const override;
};

}  // namespace qv
