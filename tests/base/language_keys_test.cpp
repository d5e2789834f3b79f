// The shipped language files against the translation keys the program's code uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/common_dialog_texts.h"
#include "base/language_file.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

struct TKeyUse {
  std::string file;
  int line;
};

// The string literals of one C++ source, with their lines; comments and character literals
// are skipped, raw strings read whole.
std::vector<std::pair<std::string, int>> StringLiterals(const std::string& src) {
  std::vector<std::pair<std::string, int>> out;
  int line = 1;
  size_t i = 0;
  auto advance = [&](size_t to) {
    line += static_cast<int>(std::count(src.begin() + static_cast<long>(i), src.begin() + static_cast<long>(to), '\n'));
    i = to;
  };
  while (i < src.size()) {
    const char c = src[i];
    if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
      advance(std::min(src.find('\n', i), src.size()));
    } else if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
      const size_t end = src.find("*/", i + 2);
      advance(end == std::string::npos ? src.size() : end + 2);
    } else if (c == 'R' && i + 1 < src.size() && src[i + 1] == '"' &&
               (i == 0 || !(std::isalnum(static_cast<unsigned char>(src[i - 1])) || src[i - 1] == '_'))) {
      const size_t open = src.find('(', i + 2);
      if (open == std::string::npos) break;
      const std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
      const size_t end = src.find(close, open + 1);
      if (end == std::string::npos) break;
      out.emplace_back(src.substr(open + 1, end - open - 1), line);
      advance(end + close.size());
    } else if (c == '"' || c == '\'') {
      std::string text;
      size_t j = i + 1;
      while (j < src.size() && src[j] != c && src[j] != '\n') {
        if (src[j] == '\\' && j + 1 < src.size()) text += src[j++];
        text += src[j++];
      }
      if (c == '"') out.emplace_back(text, line);
      advance(std::min(j + 1, src.size()));
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      // Skip whole identifiers and numbers, so that a digit separator (1'000) opens no literal.
      size_t j = i;
      while (j < src.size() && (std::isalnum(static_cast<unsigned char>(src[j])) || src[j] == '_' || src[j] == '\'') &&
             !(src[j] == 'R' && j + 1 < src.size() && src[j + 1] == '"' && j == i))
        ++j;
      if (j == i) ++j;
      advance(j);
    } else {
      advance(i + 1);
    }
  }
  return out;
}

// Keys as the program writes them: a lower-case area prefix, "_" and a CamelCase rest ("dat_OutOfDisc",
// also "b_&OK", "b_hint_DelVObj", "d42_4Digits"), or one of the archive's upper-case prefixes.
bool IsKeyShaped(const std::string& s) {
  static const std::regex key(R"(([a-z][a-z0-9]*_[A-Za-z0-9_&]*[A-Z][A-Za-z0-9_&]*)|((DY|KD|AE)_[A-Za-z0-9_&]+))");
  return std::regex_match(s, key);
}

std::map<std::string, std::vector<TKeyUse>> KeysUsedInSources() {
  std::map<std::string, std::vector<TKeyUse>> keys;
  const fs::path root = fs::path(QV_SOURCE_DIR) / "src";
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".cc" && ext != ".hpp")) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    for (const auto& [text, line] : StringLiterals(ss.str()))
      if (IsKeyShaped(text)) keys[text].push_back({fs::relative(entry.path(), QV_SOURCE_DIR).string(), line});
  }
  return keys;
}

std::string ShippedFile(const std::string& ext) { return std::string(QV_SOURCE_DIR) + "/res/quarvel." + ext; }

TLanguageTexts LoadShipped(const std::string& ext) {
  std::string error;
  auto texts = TLanguageTexts::Load(ShippedFile(ext), &error);
  EXPECT_TRUE(texts) << ShippedFile(ext) << ": " << error;
  return texts ? *texts : TLanguageTexts();
}

// The printf-like specifiers of a text, sorted.
std::multiset<std::string> Specifiers(const std::string& text) {
  static const std::regex spec(R"(%(\d+:)?-?(\d+|\*)?(\.(\d+|\*))?[a-zA-Z%])");
  std::multiset<std::string> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), spec); it != std::sregex_iterator(); ++it)
    out.insert(std::string(1, it->str().back()));
  return out;
}

TEST(LanguageKeysTest, SourceScannerFindsKeyLiterals) {
  const std::string src =
      "auto a = LoadResString(\"dat_OutOfDisc\");  // \"cmt_InComment\"\n"
      "/* \"blk_InBlock\" */ char q = '\"'; int n = 1'000;\n"
      "f(\"KD_Title_AuditLog\", \"not a key\", \"Qv2_tv10\", \"x_y\", R\"(raw_Key)\", \"esc\\\"aped\");\n"
      "g(\"b_&OK\", \"b_hint_DelVObj\", \"d42_4Digits\", \"qv_base\", \"utf_8\", \"RZSPLIT_VERT\");\n";
  std::vector<std::string> keys;
  for (const auto& [text, line] : StringLiterals(src))
    if (IsKeyShaped(text)) keys.push_back(text + "@" + std::to_string(line));
  EXPECT_EQ(keys, (std::vector<std::string>{"dat_OutOfDisc@1", "KD_Title_AuditLog@3", "raw_Key@3", "b_&OK@4",
                                            "b_hint_DelVObj@4", "d42_4Digits@4"}));
}

TEST(LanguageKeysTest, EnglishFileHasEveryKeyTheCodeUses) {
  const TLanguageTexts english = LoadShipped("ENU");
  std::string missing;
  for (const auto& [key, uses] : KeysUsedInSources()) {
    if (english.Find(key)) continue;
    missing += "\n  " + key + "  (" + uses.front().file + ":" + std::to_string(uses.front().line) + ")";
  }
  EXPECT_EQ(missing, "") << "add these keys with their English texts to res/quarvel.ENU";
}

TEST(LanguageKeysTest, EnglishFileHasTheCommonDialogCaptions) {
  const TLanguageTexts english = LoadShipped("ENU");
  for (const char* key : AllCommonDialogKeys()) EXPECT_TRUE(english.Find(key)) << key;
}

TEST(LanguageKeysTest, ShippedFilesAgree) {
  const TLanguageTexts english = LoadShipped("ENU");
  const TLanguageTexts german = LoadShipped("DEU");
  EXPECT_GT(german.Count(), 0u);
  for (const auto& [key, text] : english.Texts()) EXPECT_NE(text, "") << key;
  for (const auto& [key, text] : german.Texts()) {
    const std::string* en = english.Find(key);
    if (!en) {
      ADD_FAILURE() << key << " is in the German file but not in the English one";
      continue;
    }
    EXPECT_EQ(Specifiers(text), Specifiers(*en)) << key << ": the texts must take the same arguments";
  }
  // A key written twice would silently lose its second text.
  for (const std::string ext : {"ENU", "DEU"}) {
    std::ifstream in(ShippedFile(ext));
    std::set<std::string> seen;
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#' || line[0] == ';') continue;
      const std::string key = line.substr(0, line.find('='));
      EXPECT_TRUE(seen.insert(key).second) << ext << ": " << key << " twice";
    }
  }
}

}  // namespace
}  // namespace qv
