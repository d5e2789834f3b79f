#include "base/resource_locale.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/locale_helpers.h"
#include "base/res_string.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// A program "Q.EXE" in prog/, the user's documents in docs/, shipped files in res/.
class ResourceLocaleTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved_formats_ = FormatSettings;
    saved_thread_locale_ = GetThreadLocale();
    dir_.Write("prog/Q.EXE", "program");
    std::filesystem::create_directories(dir_.File("docs"));
    std::filesystem::create_directories(dir_.File("res"));
    TResourceLanguageSetup setup;
    setup.ModuleFile = dir_.File("prog/Q.EXE");
    setup.ProgramFile = setup.ModuleFile;
    setup.DocumentsFolder = dir_.File("docs");
    setup.EmbeddedFolder = dir_.File("res");
    setup.EmbeddedName = "quarvel";
    SetResourceLanguageSetup(setup);
    SetFormsRetranslation([this] { ++retranslations_; });
  }
  void TearDown() override {
    ReleaseResourceLanguages();
    SetResourceLocale(0, false);
    SetFormsRetranslation(nullptr);
    ResetResourceLanguageSetup();
    ReplaceFormatSettings(saved_formats_);
    SetThreadLocale(saved_thread_locale_);
  }
  void SetDate(const std::string& name, time_t t) {
    struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir_.File(name).c_str(), times, 0), 0);
  }

  test::TempDir dir_;
  int retranslations_ = 0;
  TFormatSettings saved_formats_;
  uint32_t saved_thread_locale_ = 0;
};

TEST_F(ResourceLocaleTest, DefaultSetupFollowsTheHomeFolder) {
  const std::string saved = ExePath;
  ResetResourceLanguageSetup();
  ExePath = dir_.Path();
  const std::string exe_name = std::filesystem::read_symlink("/proc/self/exe").filename().string();
  EXPECT_EQ(ResourceLanguageSetup().ModuleFile, dir_.Path() + exe_name);
  EXPECT_EQ(ResourceLanguageSetup().ProgramFile, std::filesystem::read_symlink("/proc/self/exe").string());
  ExePath = saved;
}

TEST_F(ResourceLocaleTest, FileNamesFollowTheLocale) {
  const std::string m = dir_.File("prog/Q.EXE");
  EXPECT_EQ(SpecificLanguageFile(m, 0x0C07), dir_.File("prog/Q.DEA"));
  EXPECT_EQ(NeutralLanguageFile(m, 0x0C07), dir_.File("prog/Q.DE"));
  EXPECT_EQ(SpecificLanguageFile(m, 0x07), dir_.File("prog/Q.DEU"));
  EXPECT_EQ(SpecificLanguageFile("/a.b/quarvel", 0x0409), "/a.b/quarvel.ENU");
  EXPECT_EQ(SpecificLanguageFile(m, 0x7777), "");
}

TEST_F(ResourceLocaleTest, EnumeratesAndLoadsWithFallbacks) {
  dir_.Write("prog/Q.DEU", "x_Key=Deutsch\n");
  dir_.Write("prog/Q.FR", "x_Key=Français\n");
  std::vector<uint32_t> list;
  EXPECT_EQ(EnumLanguageFiles(list), 2);
  EXPECT_EQ(list, (std::vector<uint32_t>{0x0407, 0x0C}));

  // German (Austria): neither Q.DEA nor Q.DE exists.
  EXPECT_FALSE(SetResourceLocale(0x0C07, false));
  EXPECT_EQ(CurrentResourceLocale(), 0u);
  EXPECT_EQ(LoadResString("x_Key"), "x_Key");
  EXPECT_EQ(retranslations_, 0);

  struct Case {
    uint32_t asked, current;
    std::string text;
  } cases[] = {
      {0x0407, 0x0407, "Deutsch"},  // specific file
      {0x07, 0x07, "Deutsch"},      // a neutral locale takes the specific file when no neutral one exists
      {0x040C, 0x0C, "Français"},   // the neutral file of a specific locale gives the primary language
      {0x100C, 0x0C, "Français"},  {0x0C, 0x0C, "Français"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(SetResourceLocale(c.asked, false)) << c.asked;
    EXPECT_EQ(CurrentResourceLocale(), c.current) << c.asked;
    EXPECT_EQ(LoadResString("x_Key"), c.text) << c.asked;
    EXPECT_EQ(LoadResString("x_Missing"), "x_Missing");
  }
  EXPECT_EQ(retranslations_, 5);
  EXPECT_TRUE(ResourceModuleActive());

  // Back to the built-in texts: the keys themselves.
  EXPECT_TRUE(SetResourceLocale(0, false));
  EXPECT_EQ(CurrentResourceLocale(), 0u);
  EXPECT_FALSE(ResourceModuleActive());
  EXPECT_EQ(LoadResString("x_Key"), "x_Key");
  EXPECT_EQ(retranslations_, 6);
}

TEST_F(ResourceLocaleTest, OtherThreadsLookUpWhileTheLanguageChanges) {
  dir_.Write("prog/Q.DEU", "x_Key=Deutsch\n");
  dir_.Write("prog/Q.FRA", "x_Key=Français\n");
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::thread worker([&] {
    while (!stop) {
      const std::string text = LoadResString("x_Key");
      if (text != "Deutsch" && text != "Français" && text != "x_Key") ++bad;
    }
  });
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(SetResourceLocale(i % 3 == 0 ? 0 : (i % 3 == 1 ? 0x0407 : 0x040C), true));
  stop = true;
  worker.join();
  EXPECT_EQ(bad, 0);
}

TEST_F(ResourceLocaleTest, NeutralFilePreferredForNeutralLocale) {
  dir_.Write("prog/Q.DEU", "x_Key=specific\n");
  dir_.Write("prog/Q.DE", "x_Key=neutral\n");
  ASSERT_TRUE(SetResourceLocale(0x07, false));
  EXPECT_EQ(LoadResString("x_Key"), "neutral");
  ASSERT_TRUE(SetResourceLocale(0x0407, false));
  EXPECT_EQ(LoadResString("x_Key"), "specific");
}

TEST_F(ResourceLocaleTest, DocumentsFolderCaseAndMalformedFiles) {
  dir_.Write("docs/Language/Q.FRA", "x_Key=from documents\n");
  dir_.Write("prog/q.deu", "x_Key=lower case name\n");
  dir_.Write("prog/Q.ENU", "x_Key\n");  // malformed: counts as missing
  dir_.Write("docs/Language/Q.ENU", "x_Key=English\n");
  dir_.Write("prog/Q.NLD", "x_Key\n");

  ASSERT_TRUE(SetResourceLocale(0x040C, false));
  EXPECT_EQ(LoadResString("x_Key"), "from documents");
  ASSERT_TRUE(SetResourceLocale(0x0407, false));
  EXPECT_EQ(LoadResString("x_Key"), "lower case name");
  ASSERT_TRUE(SetResourceLocale(0x0409, false));
  EXPECT_EQ(LoadResString("x_Key"), "English");
  EXPECT_FALSE(SetResourceLocale(0x0413, false));  // nothing changes
  EXPECT_EQ(CurrentResourceLocale(), 0x0409u);
  EXPECT_EQ(LoadResString("x_Key"), "English");

  // Only when the program folder has none, the documents folder's list is taken.
  std::vector<uint32_t> list;
  EnumLanguageFiles(list);
  EXPECT_EQ(list, (std::vector<uint32_t>{0x0407, 0x0409, 0x0413}));
  std::filesystem::remove_all(dir_.File("prog"));
  dir_.Write("prog/Q.EXE", "");
  EnumLanguageFiles(list);
  EXPECT_EQ(list, (std::vector<uint32_t>{0x0409, 0x040C}));
}

TEST_F(ResourceLocaleTest, SameCodePageFilter) {
  dir_.Write("prog/Q.JPN", "x_Key=a\n");
  dir_.Write("prog/Q.ENU", "x_Key=b\n");
  std::vector<uint32_t> list;
  EXPECT_EQ(EnumLanguageFiles(list, "", true), 1);
  EXPECT_EQ(list, (std::vector<uint32_t>{0x0409}));
  EXPECT_EQ(EnumLanguageFiles(list, dir_.File("prog/Q"), false), 2);
}

TEST_F(ResourceLocaleTest, ThreadLocaleAndFormatsFollowOnRequest) {
  dir_.Write("prog/Q.DEU", "x_Key=Deutsch\n");
  SetThreadLocale(0x0409);
  ASSERT_TRUE(SetResourceLocale(0x0407, false));
  EXPECT_EQ(GetThreadLocale(), 0x0409u);
  ASSERT_TRUE(SetResourceLocale(0x0407, true));
  EXPECT_EQ(GetThreadLocale(), 0x0407u);
  EXPECT_EQ(FormatSettings.DecimalSeparator, ',');
  EXPECT_EQ(CurrentFormatSettings().ShortDateFormat, "dd.mm.yyyy");
}

TEST_F(ResourceLocaleTest, ShippedFilesAreWrittenByTheRules) {
  dir_.Write("res/quarvel.ENU", "x_Key=English\n");
  dir_.Write("res/quarvel.DEU", "x_Key=Deutsch\n");
  dir_.Write("res/quarvel.NLD", "x_Key=Nederlands\n");
  dir_.Write("res/other.FRA", "x_Key=ignored\n");
  dir_.Write("res/quarvel.ENU.orig", "x_Key=ignored\n");
  SetDate("prog/Q.EXE", 1'700'000'000);

  EXPECT_EQ(InitResourceLanguages(1), 3);
  EXPECT_EQ(dir_.Read("prog/Q.DEU"), "x_Key=Deutsch\n");
  EXPECT_EQ(dir_.Read("prog/Q.ENU"), "x_Key=English\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("prog/Q.FRA")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("prog/Q.ENU.orig")));

  // With flag 1 a file not older than the program is kept, an outdated one rewritten; the file
  // of the language in use is never written.
  ASSERT_TRUE(SetResourceLocale(0x0407, false));
  dir_.Write("prog/Q.NLD", "x_Key=changed\n");
  dir_.Write("prog/Q.DEU", "x_Key=in use\n");
  SetDate("prog/Q.DEU", 1'600'000'000);
  SetDate("prog/Q.ENU", 1'600'000'000);
  EXPECT_EQ(InitResourceLanguages(1), 1);
  EXPECT_EQ(dir_.Read("prog/Q.NLD"), "x_Key=changed\n");
  EXPECT_EQ(dir_.Read("prog/Q.DEU"), "x_Key=in use\n");
  EXPECT_EQ(dir_.Read("prog/Q.ENU"), "x_Key=English\n");

  EXPECT_EQ(InitResourceLanguages(0), 2);
  EXPECT_EQ(dir_.Read("prog/Q.NLD"), "x_Key=Nederlands\n");
  EXPECT_EQ(dir_.Read("prog/Q.DEU"), "x_Key=in use\n");
  EXPECT_EQ(InitResourceLanguages(0, "RCDATA"), 0);

  std::vector<std::string> leftovers;
  for (const auto& e : std::filesystem::directory_iterator(dir_.File("prog")))
    if (e.path().filename().string().rfind("mlc", 0) == 0) leftovers.push_back(e.path().string());
  EXPECT_TRUE(leftovers.empty());
}

TEST_F(ResourceLocaleTest, ExtractedFilesAreDeletedAtTheEnd) {
  dir_.Write("res/quarvel.ENU", "x_Key=English\n");
  EXPECT_EQ(InitResourceLanguages(2), 1);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("prog/Q.ENU")));
  ReleaseResourceLanguages();
  EXPECT_FALSE(std::filesystem::exists(dir_.File("prog/Q.ENU")));
  EXPECT_FALSE(ResourceModuleActive());
}

TEST_F(ResourceLocaleTest, UnwritableProgramFolderUsesTheDocumentsFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
  dir_.Write("res/quarvel.ENU", "x_Key=English\n");
  chmod(dir_.File("prog").c_str(), 0555);
  const int written = InitResourceLanguages(0);
  chmod(dir_.File("prog").c_str(), 0755);
  EXPECT_EQ(written, 1);
  EXPECT_EQ(dir_.Read("docs/Language/Q.ENU"), "x_Key=English\n");
}

TEST_F(ResourceLocaleTest, StartupTakesTheProgramLocale) {
  dir_.Write("prog/Q.DE", "x_Key=Deutsch\n");
  SetThreadLocale(0x0C07);
  EXPECT_EQ(LoadStartupResourceLocale(), 0x07u);
  SetThreadLocale(0x0413);
  EXPECT_EQ(LoadStartupResourceLocale(), 0u);
}

TEST_F(ResourceLocaleTest, ChoiceIsSavedToAndReadFromTheProgramIni) {
  const std::string saved_ini = IniFileName;
  IniFileName = dir_.File("prog/Q.INI");
  dir_.Write("prog/Q.DEU", "x_Key=Deutsch\n");

  EXPECT_EQ(ChosenLanguageLocale(), 9u);  // nothing chosen yet: English
  ASSERT_TRUE(SetResourceLocale(0x0407, false));
  SaveResourceLocale();
  EXPECT_NE(dir_.Read("prog/Q.INI").find("Locale=1031"), std::string::npos);
  EXPECT_EQ(ChosenLanguageLocale(), 0x0407u);
  SetCmdLineParams({"--home", "de", "-x", "fr_CA"});
  EXPECT_EQ(ChosenLanguageLocale(), 0x0C0Cu);  // the command line comes first
  SetCmdLineParams({});

  ASSERT_TRUE(SetResourceLocale(0, false));
  SaveResourceLocale(dir_.File("other.ini"), "Lang", "Id");
  EXPECT_EQ(TIniFile2(dir_.File("other.ini")).ReadInteger("Lang", "Id", -1), 0);
  IniFileName = saved_ini;
}

}  // namespace
}  // namespace qv
