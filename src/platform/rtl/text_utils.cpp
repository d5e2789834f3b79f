#include "platform/rtl/text_utils.h"

#include <algorithm>

namespace qv {

namespace {
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

int CompareText(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(Lower(a[i]));
    const auto y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string UpperCase(std::string s) {
  for (char& c : s) c = Upper(c);
  return s;
}

std::string LowerCase(std::string s) {
  for (char& c : s) c = Lower(c);
  return s;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string Trim(std::string_view s, std::string_view chars) { return TrimLeft(TrimRight(s, chars), chars); }

std::string TrimLeft(std::string_view s, std::string_view chars) {
  const size_t b = s.find_first_not_of(chars);
  return b == std::string_view::npos ? std::string() : std::string(s.substr(b));
}

std::string TrimRight(std::string_view s, std::string_view chars) {
  const size_t e = s.find_last_not_of(chars);
  return e == std::string_view::npos ? std::string() : std::string(s.substr(0, e + 1));
}

}  // namespace qv
