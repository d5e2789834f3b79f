#pragma once
// The INI file class every part of the system uses: long values, dates and times in the
// system's own locale-independent tag texts, floating-point values always written with ".", and
// the erasing of all sections with a common prefix.
#include <string>

#include "base/ini_file.h"

namespace qv {

class TIniFile2 : public TIniFile {
public:
  using TIniFile::TIniFile;

  // Values of up to 40960 characters are returned whole.
  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const override;

  // Accepts "." or ","; raises EConvertError when the stored text is not a number.
  double ReadFloat2(const std::string& section, const std::string& ident, double def) const;
  // General format with Precision and Digits, always with ".".
  void WriteFloat2(const std::string& section, const std::string& ident, double value, int precision, int digits);

  // Erases every section whose name begins with Prefix (case-sensitive); "" erases all.
  void EraseSections(const std::string& prefix);
};

}  // namespace qv
