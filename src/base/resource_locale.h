#pragma once
// The translation runtime: which language file serves the translation keys, the writing of the
// shipped language files into the program folder, and the list of languages on offer.
//
// For the program file M (the program folder plus the program's file name) and a locale L, the
// specific language file is M + "." + L's three-letter abbreviation ("quarvel.DEU") and the
// neutral one M + "." + its first two letters ("quarvel.DE"), which stands for L's primary
// language. Files are looked for in the program folder, then in "Language" below the user's
// documents folder; a name that does not exist is looked up again ignoring case.
// Main thread only; LoadResString may be called from any thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv {

// Where the runtime looks. The program sets it once at start-up; tests point it at a folder.
struct TResourceLanguageSetup {
  // M: the program folder plus the program's file name (an extension is replaced).
  std::string ModuleFile;
  // The user's documents folder, with "Language" below it.
  std::string DocumentsFolder;
  // The shipped language files, named EmbeddedName + "." + abbreviation ("quarvel.ENU").
  std::string EmbeddedFolder;
  std::string EmbeddedName = "quarvel";
  // The running program file; shipped files written before its date are outdated.
  std::string ProgramFile;
};

// ModuleFile from ExePath (or the program's own folder when ExePath is not set yet) and the program's file name, the XDG
// documents folder, the shipped resource folder and /proc/self/exe.
TResourceLanguageSetup DefaultResourceLanguageSetup();
void SetResourceLanguageSetup(const TResourceLanguageSetup& setup);
// Back to the default, which is then taken afresh at every use.
void ResetResourceLanguageSetup();
const TResourceLanguageSetup& ResourceLanguageSetup();

// The locale of the language file in use; 0 for the built-in texts (the keys themselves).
uint32_t CurrentResourceLocale();
// True while a language file is loaded.
bool ResourceModuleActive();

// The specific and the neutral file name for a locale ("" when the locale is unknown).
std::string SpecificLanguageFile(const std::string& module_file, uint32_t locale);
std::string NeutralLanguageFile(const std::string& module_file, uint32_t locale);

// Loads the language file of Locale; 0 returns to the built-in texts. False when no file could
// be loaded (missing or malformed), and nothing changes then. Otherwise, with SetThread, the
// program's locale and format settings follow Locale; every open form is re-translated; true.
bool SetResourceLocale(uint32_t locale, bool set_thread);

// Writes the shipped language files into the program folder (or "Language" below the documents
// folder when the program folder is not writable). Flags bit 0: keep a file that is not older
// than the program file; bit 1: delete the written files at ReleaseResourceLanguages. Answers
// the number of files written. Write failures raise the file layer's errors.
int InitResourceLanguages(int flags, const std::string& res_type = "LANGUAGE");
// At the end of the program: releases the language file and deletes the files written with
// flag bit 1.
void ReleaseResourceLanguages();

// Writes CurrentResourceLocale as a decimal number ("Locale=1031"); an empty IniName means the
// program's INI file (IniFileName).
void SaveResourceLocale(const std::string& ini_name = "", const std::string& section = "Language",
                        const std::string& ident = "Locale");
// The language the program starts in: the first command-line parameter that is a language code
// ("de" or "de_AT"), else "Locale" of section "Language" in the program's INI file, else 9
// (English).
uint32_t ChosenLanguageLocale();

// Fills List with the locales that have a language file of FileName (default ModuleFile),
// in table order: a specific file adds its locale, a neutral file its primary language. When
// none is found, the same search runs in the documents folder's "Language". Answers the count.
int EnumLanguageFiles(std::vector<uint32_t>& list, const std::string& file_name = "", bool same_code_page_only = false);

// The start-up rule: the language file of the program's locale (its neutral file also
// accepted), else the built-in texts. Answers CurrentResourceLocale.
uint32_t LoadStartupResourceLocale();

// The form layer installs this: it re-translates every open form after a switch.
void SetFormsRetranslation(std::function<void()> retranslate);

}  // namespace qv
