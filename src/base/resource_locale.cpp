#include "base/resource_locale.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "base/app_globals.h"
#include "base/file_stream2.h"
#include "base/ini_file2.h"
#include "base/language_file.h"
#include "base/locale_helpers.h"
#include "base/res_string.h"
#include "platform/os/home_folder.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_utils.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// The runtime's state, main thread only (LoadResString reads the installed texts on its own).
struct TRuntimeState {
  TResourceLanguageSetup setup;
  bool setup_done = false;
  uint32_t current_locale = 0;
  std::vector<std::string> extracted;
  std::function<void()> retranslate;
};

TRuntimeState& State() {
  static TRuntimeState state;
  return state;
}

// M without the extension of its file name.
std::string ModuleBase(const std::string& module_file) {
  const size_t slash = module_file.find_last_of('/');
  const size_t dot = module_file.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return module_file.substr(0, dot);
  return module_file;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file as named, else a file of the folder whose name differs only in letter case; "" when
// neither exists.
std::string FindFile(const std::string& path) { return FindFileIgnoringCase(FolderOf(path), NameOf(path)); }

std::string DocumentsLanguageFolder() {
  const std::string& docs = ResourceLanguageSetup().DocumentsFolder;
  if (docs.empty()) return {};
  return (docs.back() == '/' ? docs : docs + "/") + "Language/";
}

// The same file name in the documents folder's "Language".
std::string InDocuments(const std::string& file) {
  const std::string folder = DocumentsLanguageFolder();
  return folder.empty() ? std::string() : folder + NameOf(file);
}

std::optional<TLanguageTexts> LoadFirst(const std::string& file) {
  for (const std::string& candidate : {file, InDocuments(file)}) {
    if (candidate.empty()) continue;
    const std::string found = FindFile(candidate);
    if (found.empty()) continue;
    if (auto texts = TLanguageTexts::Load(found)) return texts;  // a malformed file counts as missing
  }
  return std::nullopt;
}

void Retranslate() {
  if (State().retranslate) State().retranslate();
}

// "$XDG_DOCUMENTS_DIR", else its entry in user-dirs.dirs, else ~/Documents.
std::string XdgDocumentsFolder() {
  const char* home_env = std::getenv("HOME");
  const std::string home = home_env && *home_env ? home_env : "/tmp";
  if (const char* v = std::getenv("XDG_DOCUMENTS_DIR"); v && *v) return v;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string dirs = (config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
  std::ifstream in(dirs);
  for (std::string line; std::getline(in, line);) {
    const std::string prefix = "XDG_DOCUMENTS_DIR=\"";
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string value = line.substr(prefix.size());
    value = value.substr(0, value.find('"'));
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    if (!value.empty()) return value;
  }
  return home + "/Documents";
}

// Shipped files are named by a language abbreviation ("ENU", "DE"); anything else beside them
// (a backup, an editor's copy) is not one.
bool IsLanguageName(const std::string& s) {
  if (s.size() < 2 || s.size() > 3) return false;
  for (char c : s)
    if (!std::isalpha(static_cast<unsigned char>(c))) return false;
  return true;
}

bool FolderWritable(const std::string& folder) {
  std::string pattern = folder + "mlcXXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return false;
  const char line[] = "mlc\n";
  const bool ok = write(fd, line, sizeof line - 1) == static_cast<ssize_t>(sizeof line - 1);
  close(fd);
  unlink(pattern.c_str());
  return ok;
}

// The file date in whole seconds; -1 when the file does not exist.
int64_t FileSeconds(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

}  // namespace

TResourceLanguageSetup DefaultResourceLanguageSetup() {
  TResourceLanguageSetup setup;
  std::error_code ec;
  const std::string exe = fs::read_symlink("/proc/self/exe", ec).string();
  setup.ProgramFile = ec ? std::string() : exe;
  setup.ModuleFile = ExePath.empty() ? setup.ProgramFile : ExePath + NameOf(setup.ProgramFile);
  setup.DocumentsFolder = XdgDocumentsFolder();
  setup.EmbeddedFolder = ShippedResourceFolder();
  return setup;
}

void SetResourceLanguageSetup(const TResourceLanguageSetup& setup) {
  State().setup = setup;
  State().setup_done = true;
}

void ResetResourceLanguageSetup() { State().setup_done = false; }

const TResourceLanguageSetup& ResourceLanguageSetup() {
  TRuntimeState& s = State();
  // Until the program sets it, the default follows ExePath, which is set during start-up.
  if (!s.setup_done) s.setup = DefaultResourceLanguageSetup();
  return s.setup;
}

uint32_t CurrentResourceLocale() { return State().current_locale; }

bool ResourceModuleActive() { return LanguageTexts() != nullptr; }

std::string SpecificLanguageFile(const std::string& module_file, uint32_t locale) {
  const TLocaleInfo* info = FindLocaleInfo(locale);
  return info ? ModuleBase(module_file) + "." + info->Abbreviation : std::string();
}

std::string NeutralLanguageFile(const std::string& module_file, uint32_t locale) {
  const TLocaleInfo* info = FindLocaleInfo(locale);
  return info ? ModuleBase(module_file) + "." + std::string(info->Abbreviation, 2) : std::string();
}

bool SetResourceLocale(uint32_t locale, bool set_thread) {
  TRuntimeState& s = State();
  if (locale == 0) {
    // Back to the built-in texts; this always succeeds, so the caller saves the choice and
    // updates its windows.
    SetLanguageTexts(nullptr);
    s.current_locale = 0;
    Retranslate();
    return true;
  }
  const std::string module = ResourceLanguageSetup().ModuleFile;
  const std::string specific = SpecificLanguageFile(module, locale);
  const std::string neutral = NeutralLanguageFile(module, locale);
  if (specific.empty()) return false;
  const bool has_sub = SubLangId(locale) != 0;
  struct TTry {
    std::string file;
    uint32_t gives;
  };
  const TTry tries[2] = {
      has_sub ? TTry{specific, locale} : TTry{neutral, locale},
      has_sub ? TTry{neutral, PrimaryLangId(locale)} : TTry{specific, locale},
  };
  for (const TTry& t : tries) {
    std::optional<TLanguageTexts> texts = LoadFirst(t.file);
    if (!texts) continue;
    SetLanguageTexts(std::make_shared<const TLanguageTexts>(std::move(*texts)));
    s.current_locale = t.gives;
    if (set_thread) {
      SetThreadLocale(locale);
      SetLocaleFormatSettings(locale);
    }
    Retranslate();
    return true;
  }
  return false;
}

int InitResourceLanguages(int flags, const std::string& res_type) {
  TRuntimeState& s = State();
  const TResourceLanguageSetup& setup = ResourceLanguageSetup();
  int written = 0;
  if (UpperCase(res_type) == "LANGUAGE" && !setup.EmbeddedFolder.empty()) {
    std::string folder = FolderOf(setup.ModuleFile);
    if (!FolderWritable(folder)) {
      folder = DocumentsLanguageFolder();
      std::error_code ec;
      fs::create_directories(folder, ec);
    }
    const std::string base = folder + NameOf(ModuleBase(setup.ModuleFile));
    const int64_t program_date = FileSeconds(setup.ProgramFile);
    const std::string prefix = setup.EmbeddedName + ".";
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(setup.EmbeddedFolder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.compare(0, prefix.size(), prefix) == 0 && IsLanguageName(name.substr(prefix.size())) &&
          it->is_regular_file())
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string res_name = name.substr(prefix.size());
      const std::string target = base + "." + res_name;
      const int64_t target_date = FileSeconds(target);
      if (target_date >= 0 && (flags & 1) && target_date >= program_date) continue;
      // The file of the language in use is left alone.
      if (s.current_locale != 0 && LocaleByAbbreviation(res_name) == s.current_locale) continue;
      const std::string bytes = ReadFileBytes(setup.EmbeddedFolder + "/" + name);
      // Written beside the old file and renamed over it, so a failed write keeps the old one.
      TAtomicFileStream2 out(target);
      out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      out.Commit();
      if (flags & 2) s.extracted.push_back(target);
      ++written;
    }
  }
  if (ResourceModuleActive() && s.extracted.empty()) return written;
  SetResourceLocale(GetUserDefaultLCID(), true);
  return written;
}

void ReleaseResourceLanguages() {
  TRuntimeState& s = State();
  if (s.extracted.empty()) return;
  SetLanguageTexts(nullptr);
  s.current_locale = 0;
  for (const std::string& file : s.extracted) unlink(file.c_str());
  s.extracted.clear();
}

void SaveResourceLocale(const std::string& ini_name, const std::string& section, const std::string& ident) {
  // The program's INI file, which the start-up reads back (not a file named after the program
  // file beside it).
  TIniFile2 ini(ini_name.empty() ? IniFileName : ini_name);
  ini.WriteInteger(section, ident, static_cast<int32_t>(CurrentResourceLocale()));
}

uint32_t ChosenLanguageLocale() {
  uint32_t locale = 0;
  if (GetCmdLineLocale(locale, 0, "", "")) return locale;
  if (IniFileName.empty()) return LANG_ENGLISH;
  TIniFile2 ini(IniFileName);
  return static_cast<uint32_t>(ini.ReadInteger("Language", "Locale", LANG_ENGLISH));
}

int EnumLanguageFiles(std::vector<uint32_t>& list, const std::string& file_name, bool same_code_page_only) {
  const std::string file = file_name.empty() ? ResourceLanguageSetup().ModuleFile : file_name;
  list.clear();
  for (const std::string& candidate : {file, InDocuments(file)}) {
    if (candidate.empty()) continue;
    for (const TLocaleInfo& info : LocaleTable()) {
      if (same_code_page_only && !IsSystemCodePageLocale(info.Lcid)) continue;
      if (!FindFile(SpecificLanguageFile(candidate, info.Lcid)).empty() &&
          std::find(list.begin(), list.end(), info.Lcid) == list.end())
        list.push_back(info.Lcid);
      const uint32_t primary = PrimaryLangId(info.Lcid);
      if (!FindFile(NeutralLanguageFile(candidate, info.Lcid)).empty() &&
          std::find(list.begin(), list.end(), primary) == list.end())
        list.push_back(primary);
    }
    if (!list.empty()) break;
  }
  return static_cast<int>(list.size());
}

uint32_t LoadStartupResourceLocale() {
  // The registry profile that could name another language is empty on this platform, so the
  // program's locale decides.
  if (!SetResourceLocale(GetThreadLocale(), false)) SetResourceLocale(0, false);
  return CurrentResourceLocale();
}

void SetFormsRetranslation(std::function<void()> retranslate) { State().retranslate = std::move(retranslate); }

}  // namespace qv
