#pragma once
// The program's registry profile below the current user, kept as the file "Registry.ini" in the
// home folder. A key is a section named by the key's path from the root (for example
// "Software\Quarvel\Qv2\Profile"; a leading "\" and letter case do not matter); its values are
// the section's lines. A key exists while its section or a section of a key below it exists. The
// profile of older installations is only read: opening a key "with creation" gives an empty key
// and writes nothing.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/exception.h"

namespace qv {

class TIniFile2;

QV_DECLARE_EXCEPTION(ERegistryException, Exception);

// The program's key, below the current user (set at start-up by the application module).
extern std::string RegistryKey;
// ExePath + "Registry.ini".
std::string RegistryFile();
// Erases a key and the keys below it from the profile; nothing without the file.
void EraseRegistryKey(const std::string& key);

class TRegistry {
public:
  // The profile file of the home folder unless a file is given.
  TRegistry();
  explicit TRegistry(const std::string& file_name);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // A key starting with "\" is taken from the root, any other below the open key. True when the
  // key exists (or CanCreate is set); the key is then the open one, else the open key stays.
  bool OpenKey(const std::string& key, bool can_create);
  bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
  void CloseKey();
  bool KeyExists(const std::string& key) const;
  bool HasCurrentKey() const { return has_key_; }
  // The open key's path from the root, without a leading "\"; empty when none is open.
  const std::string& CurrentPath() const { return path_; }

  bool ValueExists(const std::string& name) const;
  // A missing value or one that does not hold the type asked for raises ERegistryException.
  std::string ReadString(const std::string& name) const;
  int32_t ReadInteger(const std::string& name) const;
  bool ReadBool(const std::string& name) const { return ReadInteger(name) != 0; }
  // "." or "," as decimal separator.
  double ReadFloat(const std::string& name) const;

  // The open key as a section of the profile file, for readers that take their values from an
  // ini file and a section (the channels' own settings).
  TIniFile2& Ini() const { return *ini_; }
  const std::string& Section() const { return section_; }

private:
  std::string Absolute(const std::string& key) const;
  std::string StoredSection(const std::string& path) const;
  std::unique_ptr<TIniFile2> ini_;
  bool has_key_ = false;
  std::string path_;
  std::string section_;
};

}  // namespace qv
