#include "base/registry.h"

#include <climits>
#include <filesystem>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text_utils.h"

namespace qv {

std::string RegistryKey;

std::string RegistryFile() { return ExePath + "Registry.ini"; }

namespace {

std::string WithoutOuterBackslashes(const std::string& key) { return Trim(key, "\\"); }

// Whether a stored section is the key (level 0) or a key below it (level 1).
bool SectionInKey(const std::string& section, const std::string& key, bool below_only) {
  const std::string name = WithoutOuterBackslashes(section);
  if (key.empty()) return !below_only || !name.empty();
  if (!below_only && SameText(name, key)) return true;
  return name.size() > key.size() && name[key.size()] == '\\' && SameText(name.substr(0, key.size()), key);
}

}  // namespace

void EraseRegistryKey(const std::string& key) {
  if (!std::filesystem::is_regular_file(RegistryFile())) return;
  const std::string wanted = WithoutOuterBackslashes(key);
  TIniFile ini(RegistryFile());
  TStringList sections;
  ini.ReadSections(sections);
  for (int i = 0; i < sections.Count(); ++i)
    if (SectionInKey(sections[i], wanted, false)) ini.EraseSection(sections[i]);
}

TRegistry::TRegistry() : TRegistry(RegistryFile()) {}
TRegistry::TRegistry(const std::string& file_name) : ini_(std::make_unique<TIniFile2>(file_name)) {}
TRegistry::~TRegistry() = default;

std::string TRegistry::Absolute(const std::string& key) const {
  const std::string rel = WithoutOuterBackslashes(key);
  if (!key.empty() && key.front() == '\\') return rel;
  if (!has_key_ || path_.empty()) return rel;
  return rel.empty() ? path_ : path_ + "\\" + rel;
}

// The stored spelling of the key's section (letter case and a leading "\" may differ), or the
// path itself when the key has no values of its own.
std::string TRegistry::StoredSection(const std::string& path) const {
  TStringList sections;
  ini_->ReadSections(sections);
  for (int i = 0; i < sections.Count(); ++i)
    if (SameText(WithoutOuterBackslashes(sections[i]), path)) return sections[i];
  return path;
}

bool TRegistry::KeyExists(const std::string& key) const {
  const std::string path = Absolute(key);
  TStringList sections;
  ini_->ReadSections(sections);
  for (int i = 0; i < sections.Count(); ++i)
    if (SectionInKey(sections[i], path, false)) return true;
  return false;
}

bool TRegistry::OpenKey(const std::string& key, bool can_create) {
  const std::string path = Absolute(key);
  if (!can_create && !KeyExists(key)) return false;
  path_ = path;
  section_ = StoredSection(path);
  has_key_ = true;
  return true;
}

void TRegistry::CloseKey() {
  has_key_ = false;
  path_.clear();
  section_.clear();
}

bool TRegistry::ValueExists(const std::string& name) const { return has_key_ && ini_->ValueExists(section_, name); }

std::string TRegistry::ReadString(const std::string& name) const {
  if (!ValueExists(name))
    throw ERegistryException("Invalid data type for '" + name + "' in key \\" + path_ + " of " + ini_->FileName());
  return ini_->ReadString(section_, name, "");
}

int32_t TRegistry::ReadInteger(const std::string& name) const {
  const std::string text = ReadString(name);
  // The ini class answers its default for anything that is no integer: two defaults tell.
  const int32_t low = ini_->ReadInteger(section_, name, INT32_MIN);
  if (low != ini_->ReadInteger(section_, name, INT32_MAX))
    throw ERegistryException("Invalid data type for '" + name + "' (\"" + text + "\") in key \\" + path_ + " of " +
                             ini_->FileName());
  return low;
}

double TRegistry::ReadFloat(const std::string& name) const {
  const std::string text = ReadString(name);
  try {
    return StrToFloat2(Trim(text));
  } catch (const std::exception&) {
    throw ERegistryException("Invalid data type for '" + name + "' (\"" + text + "\") in key \\" + path_ + " of " +
                             ini_->FileName());
  }
}

}  // namespace qv
