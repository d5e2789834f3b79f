#include "base/language_file.h"

#include <sys/stat.h>

#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_encoding.h"

namespace qv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Resolves the escapes; false on an unknown one or a backslash at the end.
bool Unescape(std::string_view in, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 's': out += ' '; break;
      case '\\': out += '\\'; break;
      case '=': out += '='; break;
      default: return false;
    }
  }
  return true;
}

// The position of the first "=" that no backslash escapes.
size_t FindSeparator(std::string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\')
      ++i;
    else if (line[i] == '=')
      return i;
  }
  return std::string_view::npos;
}

bool Fail(std::string* error, size_t line_no, const char* why) {
  if (error) *error = "line " + std::to_string(line_no) + ": " + why;
  return false;
}

}  // namespace

std::optional<TLanguageTexts> TLanguageTexts::Parse(std::string_view bytes, std::string* error) {
  if (bytes.size() > MaxFileSize) {
    if (error) *error = "file too large";
    return std::nullopt;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  TLanguageTexts result;
  size_t line_no = 0;
  while (!bytes.empty()) {
    ++line_no;
    size_t eol = bytes.find('\n');
    std::string_view raw = bytes.substr(0, eol);
    bytes.remove_prefix(eol == std::string_view::npos ? bytes.size() : eol + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.find('\0') != std::string_view::npos) {
      Fail(error, line_no, "zero byte");
      return std::nullopt;
    }
    const std::string line = TextLineToUtf8(std::string(raw));
    std::string_view content = Trim(line);
    if (content.empty() || content.front() == '#' || content.front() == ';') continue;
    const size_t sep = FindSeparator(line);
    std::string key, text;
    if (sep == std::string_view::npos) {
      Fail(error, line_no, "no \"=\"");
      return std::nullopt;
    }
    const std::string_view raw_key = Trim(std::string_view(line).substr(0, sep));
    const std::string_view raw_text = std::string_view(line).substr(sep + 1);
    if (!Unescape(raw_key, key) || !Unescape(raw_text, text)) {
      Fail(error, line_no, "bad escape");
      return std::nullopt;
    }
    if (key.empty() || key.size() > MaxKeyLength || text.size() > MaxTextLength) {
      Fail(error, line_no, key.empty() ? "empty key" : "key or text too long");
      return std::nullopt;
    }
    result.texts_.emplace(std::move(key), std::move(text));  // the first text of a key counts
  }
  return result;
}

std::optional<TLanguageTexts> TLanguageTexts::Load(const std::string& file_name, std::string* error) {
  struct stat st {};
  if (stat(file_name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = "missing";
    return std::nullopt;
  }
  if (static_cast<uint64_t>(st.st_size) > MaxFileSize) {
    if (error) *error = "file too large";
    return std::nullopt;
  }
  try {
    return Parse(ReadFileBytes(file_name), error);
  } catch (const Exception& e) {
    if (error) *error = e.Message();
    return std::nullopt;
  }
}

const std::string* TLanguageTexts::Find(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? nullptr : &it->second;
}

std::string EscapeLanguageText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '=': out += "\\="; break;
      case ' ': out += (i == 0 || i + 1 == text.size()) ? "\\s" : " "; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace qv
