#include "base/language_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace qv {
namespace {

using namespace std::string_literals;

TEST(LanguageFileTest, ReadsKeysTextsCommentsAndEscapes) {
  const std::string bytes =
      "\xEF\xBB\xBF# Deutsch\r\n"
      "\n"
      "  ; another comment\n"
      "dat_OutOfDisc=Kein Platz auf dem Datenträger\r\n"
      "  chn_Unit  = Einheit\n"
      "mhd_Lines=eins\\nzwei\\tdrei \\\\ \\s\n"
      "Look &in:=Suchen &in:\n"
      "a\\=b=c=d\n"
      "dat_OutOfDisc=second text is ignored\n"
      "empty=\n"
      "legacy=caf\xE9";  // a Windows-1252 line without a final line break
  std::string error;
  auto texts = TLanguageTexts::Parse(bytes, &error);
  ASSERT_TRUE(texts) << error;
  struct Case {
    std::string key, text;
  } cases[] = {{"dat_OutOfDisc", "Kein Platz auf dem Datenträger"},
               {"chn_Unit", " Einheit"},
               {"mhd_Lines", "eins\nzwei\tdrei \\  "},
               {"Look &in:", "Suchen &in:"},
               {"a=b", "c=d"},
               {"empty", ""},
               {"legacy", "café"}};
  for (const Case& c : cases) {
    const std::string* text = texts->Find(c.key);
    ASSERT_NE(text, nullptr) << c.key;
    EXPECT_EQ(*text, c.text) << c.key;
  }
  EXPECT_EQ(texts->Count(), 7u);
  EXPECT_EQ(texts->Find("missing_Key"), nullptr);
}

TEST(LanguageFileTest, MalformedContentsAreRefused) {
  const std::string long_key(TLanguageTexts::MaxKeyLength + 1, 'k');
  const std::string long_text(TLanguageTexts::MaxTextLength + 1, 't');
  const std::string cases[] = {
      "ok=1\nno separator\n", "=text\n",   "  =text\n",       "k=bad \\x escape\n",
      "k=ends in \\\n",       "k=a\0b\n"s, long_key + "=x\n", "k=" + long_text + "\n",
  };
  for (const std::string& bytes : cases) {
    std::string error;
    EXPECT_FALSE(TLanguageTexts::Parse(bytes, &error)) << bytes;
    EXPECT_NE(error, "") << bytes;
  }
  EXPECT_TRUE(TLanguageTexts::Parse(std::string(TLanguageTexts::MaxKeyLength, 'k') + "=" +
                                    std::string(TLanguageTexts::MaxTextLength, 't')));
  EXPECT_TRUE(TLanguageTexts::Parse(""));
}

TEST(LanguageFileTest, EscapedTextsReadBackUnchanged) {
  const std::string samples[] = {" leading",       "trailing ", "a = b", "back\\slash\\n", "two\nlines\tand tab",
                                 "#not a comment", " ",         ""};
  std::string file;
  for (size_t i = 0; i < std::size(samples); ++i)
    file += EscapeLanguageText("key " + std::to_string(i) + "=") + "=" + EscapeLanguageText(samples[i]) + "\n";
  auto texts = TLanguageTexts::Parse(file);
  ASSERT_TRUE(texts);
  for (size_t i = 0; i < std::size(samples); ++i) {
    const std::string* text = texts->Find("key " + std::to_string(i) + "=");
    ASSERT_NE(text, nullptr) << i;
    EXPECT_EQ(*text, samples[i]);
  }
}

TEST(LanguageFileTest, LoadFromFile) {
  test::TempDir dir;
  dir.Write("q.DEU", "k_A=1\n");
  dir.Write("q.BAD", "k_A\n");
  EXPECT_TRUE(TLanguageTexts::Load(dir.File("q.DEU")));
  std::string error;
  EXPECT_FALSE(TLanguageTexts::Load(dir.File("q.BAD"), &error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
  EXPECT_FALSE(TLanguageTexts::Load(dir.File("q.FRA")));
  EXPECT_FALSE(TLanguageTexts::Load(dir.Path()));  // a folder is no language file
}

}  // namespace
}  // namespace qv
