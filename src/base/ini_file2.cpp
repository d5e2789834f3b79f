#include "base/ini_file2.h"

#include "base/utils.h"

namespace qv {

namespace {
constexpr size_t kLongMaxChars = 40960;
}  // namespace

std::string TIniFile2::ReadString(const std::string& section, const std::string& ident, const std::string& def) const {
  return ReadValue(section, ident, def, kLongMaxChars);
}

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
