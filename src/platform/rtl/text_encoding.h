#pragma once
// Conversion between the program's UTF-8 text and the Windows-1252 bytes of binary files and
// telegrams. A character outside Windows-1252 becomes "?".
#include <string>

namespace qv {

std::string Utf8ToCp1252(const std::string& utf8);
std::string Cp1252ToUtf8(const std::string& bytes);
bool IsValidUtf8(const std::string& text);
// A line of a text file: kept when it is valid UTF-8, else read as Windows-1252.
std::string TextLineToUtf8(const std::string& line);

}  // namespace qv
