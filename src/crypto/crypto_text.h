#pragma once
// The kit's text utilities: hexadecimal text (upper case out, either case in, two digits per
// byte), OID text, hexadecimal dump lines, PEM reading and name=value lines.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/rtl/string_list.h"
#include "platform/rtl/text_utils.h"

namespace qv {

std::string BytesToHexText(const void* data, std::ptrdiff_t len, bool reversed = false);
std::string BytesToHexText(const std::string& bytes, bool reversed = false);
size_t HexTextByteCount(const std::string& hex);
// An odd text is completed with a "0" at the end (in front when reversed). Reversed reads the
// text as a big-endian number and stores it least significant byte first. A pair that is not
// hexadecimal raises EConvertError.
std::vector<uint8_t> HexTextToBytes(const std::string& hex, bool reversed = false);
std::string HexTextToString(const std::string& hex, bool reversed = false);
std::string BytesToString(const void* data, size_t len, bool reversed = false);
void ReverseBytes(const void* src, void* dst, size_t len);
// -1, 0 or 1 by the first differing byte (unsigned); 0 when either is null.
int CompareBytes(const void* a, const void* b, size_t len);
uint32_t RotateLeft32(uint32_t value, unsigned count);

// Lines of up to per_line space-separated pairs (16 when per_line <= 0).
void HexTextToLines(const std::string& hex, TStringList& lines, int per_line = 16);
// All lines joined, keeping only 0-9, A-Z and a-z.
std::string LinesToHexText(const TStringList& lines);
std::string StreamToHexText(std::istream& stream);
std::string HexLinesStreamToHexText(std::istream& stream);
void HexTextToStream(std::ostream& stream, const std::string& hex);
void HexTextToHexLinesStream(std::ostream& stream, const std::string& hex);
std::string FileToHexText(const std::string& file_name);
void HexTextToFile(const std::string& file_name, const std::string& hex);

void AddNameValue(TStringList& lines, const std::string& name, const std::string& value);
std::string ValueOfLine(const std::string& line);
int IndexOfValue(const TStringList& lines, const std::string& value);

// OBJECT IDENTIFIER content octets <-> dotted text. Malformed input gives "".
std::string OidBytesToText(const void* data, std::ptrdiff_t len);
std::string OidTextToHex(const std::string& text);

// PEM armour: the label after keyword ("BEGIN"/"END") up to the next "-".
std::string PEMLabel(const std::string& line, const std::string& keyword);
// True with the armour's label and the decoded body as hex text; false for missing armour,
// labels that differ or an empty body. Bad Base64 in the body raises ErrorBase64.
bool ReadPEM(std::istream& stream, std::string& title, std::string& der_hex);
bool ReadPEMFile(const std::string& file_name, std::string& title, std::string& der_hex);

}  // namespace qv
