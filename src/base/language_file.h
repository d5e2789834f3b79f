#pragma once
// The program's language files: the texts of the translation keys in one language.
//
// A language file is UTF-8 text (a leading byte-order mark is skipped; a line that is not
// valid UTF-8 is read as Windows-1252, as from older editors). Lines end with LF or CR LF.
//   - Empty lines and lines whose first non-blank character is "#" or ";" are comments.
//   - Every other line is  key=text : the key is everything before the first "=", without
//     surrounding blanks; the text is everything after it, kept as written.
//   - In keys and texts a backslash starts an escape: "\n" line break, "\t" tab, "\\" backslash,
//     "\=" an equals sign (needed only in keys), "\s" a blank (for a text that begins or ends
//     with one).
//   - When a key appears twice, the first text counts.
// The files come from folders the user can write to, so the reader trusts nothing: a line
// without "=", an empty key, an unknown escape, a zero byte or a file beyond the size limits
// makes the whole file malformed, and a malformed file is treated as missing.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

class TLanguageTexts {
public:
  static constexpr size_t MaxFileSize = 16 * 1024 * 1024;
  static constexpr size_t MaxKeyLength = 255;
  static constexpr size_t MaxTextLength = 40960;

  // Nullopt for malformed contents; Error then says where and why.
  static std::optional<TLanguageTexts> Parse(std::string_view bytes, std::string* error = nullptr);
  // Nullopt when the file is missing, unreadable or malformed.
  static std::optional<TLanguageTexts> Load(const std::string& file_name, std::string* error = nullptr);

  // Null when the key has no text.
  const std::string* Find(const std::string& key) const;
  size_t Count() const { return texts_.size(); }
  const std::map<std::string, std::string, std::less<>>& Texts() const { return texts_; }

private:
  std::map<std::string, std::string, std::less<>> texts_;
};

// Writes a key or text so that Parse reads it back unchanged.
std::string EscapeLanguageText(const std::string& text);

}  // namespace qv
