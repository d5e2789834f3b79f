#pragma once
// INI files with the semantics of the platform's profile calls: sections and keys are found
// ignoring case, the first match wins, names and values are trimmed and one pair of surrounding
// quotes is removed on read. Every write reaches the disk at once through an atomic rewrite that
// keeps every other line. All objects on one file, in any thread, share one cached copy that is
// re-read when the file changes on disk, so they see each other's writes.
//
// Text is UTF-8 with CR LF lines; a line that is not valid UTF-8 is read as Windows-1252.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/exception.h"
#include "platform/rtl/string_list.h"

namespace qv {

QV_DECLARE_EXCEPTION(EIniFileException, Exception);

class IniStore;

class TIniFile {
public:
  // A name without a folder is taken from ExePath. When the file does not exist, a file whose
  // name differs only in case is used instead.
  explicit TIniFile(const std::string& file_name);
  virtual ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return file_name_; }

  // Values are cut at 2047 characters.
  virtual std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const;
  // Raises EIniFileException, naming the file and the reason, when the file cannot be written.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  // Several keys of one section (name, value) in one rewrite of the file, so that they reach the
  // disk together or not at all.
  void WriteValues(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values);
  // Decimal, "$1F" or "0x1F"; anything else, or a number outside 32 bits, gives Default.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def) const;
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  bool ReadBool(const std::string& section, const std::string& ident, bool def) const;
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  // The locale's decimal separator; Default when the text is no number.
  double ReadFloat(const std::string& section, const std::string& ident, double def) const;
  void WriteFloat(const std::string& section, const std::string& ident, double value);

  // Key names, section names and "Name=Value" lines, in file order and stored spelling; each
  // name once. The list is cleared first.
  void ReadSection(const std::string& section, TStringList& strings) const;
  void ReadSections(TStringList& strings) const;
  void ReadSectionValues(const std::string& section, TStringList& strings) const;
  // Every section with its keys (first line of each key, unquoted and cut as ReadString does),
  // in file order, in one pass: for files of many sections.
  using TKeyValues = std::vector<std::pair<std::string, std::string>>;
  std::vector<std::pair<std::string, TKeyValues>> ReadAllSections() const;
  // Removes the sections named in erase, then sets the keys of the sections in write (a new
  // section goes to the end), all in one rewrite of the file.
  void ReplaceSections(const std::vector<std::string>& erase,
                       const std::vector<std::pair<std::string, TKeyValues>>& write);
  // Removes every section of that name with all its lines.
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);
  // Writes are on disk already.
  void UpdateFile() {}
  // True when the section holds at least one key.
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;

protected:
  // The characters a read value keeps; the rest is cut.
  virtual size_t MaxValueChars() const;
  std::string ReadValue(const std::string& section, const std::string& ident, const std::string& def,
                        size_t max_chars) const;

private:
  std::string file_name_;
  std::shared_ptr<IniStore> store_;
};

}  // namespace qv
