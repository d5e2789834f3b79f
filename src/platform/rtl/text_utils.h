#pragma once
// The runtime's text helpers: comparing ignoring case and trimming. Letter case is that of ASCII,
// as the names in files, INI keys and component names are compared.
#include <string>
#include <string_view>

namespace qv {

// Equal ignoring ASCII letter case.
bool SameText(std::string_view a, std::string_view b);
// Orders ignoring ASCII letter case: negative, zero or positive.
int CompareText(std::string_view a, std::string_view b);
std::string UpperCase(std::string s);
std::string LowerCase(std::string s);

// Without leading and trailing spaces and control characters.
std::string Trim(std::string_view s);
// Without leading and trailing characters of chars.
std::string Trim(std::string_view s, std::string_view chars);
std::string TrimLeft(std::string_view s, std::string_view chars);
std::string TrimRight(std::string_view s, std::string_view chars);

}  // namespace qv
