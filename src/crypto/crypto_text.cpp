#include "crypto/crypto_text.h"

#include <cctype>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "crypto/as_coding.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"

namespace qv {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string BytesToHexText(const void* data, std::ptrdiff_t len, bool reversed) {
  if (!data || len <= 0) return "";
  const auto* p = static_cast<const uint8_t*>(data);
  std::string out(static_cast<size_t>(len) * 2, '0');
  for (std::ptrdiff_t i = 0; i < len; ++i) {
    uint8_t b = reversed ? p[len - 1 - i] : p[i];
    out[2 * i] = kHexDigits[b >> 4];
    out[2 * i + 1] = kHexDigits[b & 15];
  }
  return out;
}

std::string BytesToHexText(const std::string& bytes, bool reversed) {
  return BytesToHexText(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size()), reversed);
}

size_t HexTextByteCount(const std::string& hex) { return hex.size() / 2 + hex.size() % 2; }

std::vector<uint8_t> HexTextToBytes(const std::string& hex, bool reversed) {
  std::string text;
  text.reserve(hex.size() + 1);
  if (hex.size() % 2 && reversed) text.push_back('0');
  text.append(hex);
  if (text.size() % 2) text.push_back('0');
  size_t n = text.size() / 2;
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) {
    int hi = HexValue(text[2 * i]), lo = HexValue(text[2 * i + 1]);
    if (hi < 0 || lo < 0) throw EConvertError("'$" + text.substr(2 * i, 2) + "' is not a valid integer value");
    out[reversed ? n - 1 - i : i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return out;
}

std::string HexTextToString(const std::string& hex, bool reversed) {
  std::vector<uint8_t> bytes = HexTextToBytes(hex, reversed);
  return std::string(bytes.begin(), bytes.end());
}

std::string BytesToString(const void* data, size_t len, bool reversed) {
  if (!data || len == 0) return "";
  const auto* p = static_cast<const char*>(data);
  std::string out(p, len);
  if (reversed) out.assign(out.rbegin(), out.rend());
  return out;
}

void ReverseBytes(const void* src, void* dst, size_t len) {
  const auto* s = static_cast<const uint8_t*>(src);
  auto* d = static_cast<uint8_t*>(dst);
  if (s == d) {
    for (size_t i = 0; i < len / 2; ++i) std::swap(d[i], d[len - 1 - i]);
    return;
  }
  for (size_t i = 0; i < len; ++i) d[i] = s[len - 1 - i];
}

int CompareBytes(const void* a, const void* b, size_t len) {
  if (!a || !b) return 0;
  const auto* x = static_cast<const uint8_t*>(a);
  const auto* y = static_cast<const uint8_t*>(b);
  for (size_t i = 0; i < len; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

uint32_t RotateLeft32(uint32_t value, unsigned count) {
  count &= 31;
  return count ? (value << count) | (value >> (32 - count)) : value;
}

void HexTextToLines(const std::string& hex, TStringList& lines, int per_line) {
  lines.Clear();
  if (per_line <= 0) per_line = 16;
  std::string line;
  int pairs = 0;
  for (size_t i = 0; i < hex.size(); i += 2) {
    if (pairs) line += ' ';
    line += hex.substr(i, 2);
    if (++pairs == per_line) {
      lines.Add(line);
      line.clear();
      pairs = 0;
    }
  }
  if (pairs) lines.Add(line);
}

std::string LinesToHexText(const TStringList& lines) {
  std::string out;
  for (int i = 0; i < lines.Count(); ++i)
    for (char c : lines[i])
      if (std::isalnum(static_cast<unsigned char>(c))) out += c;
  return out;
}

std::string StreamToHexText(std::istream& stream) {
  stream.clear();
  stream.seekg(0);
  std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  return BytesToHexText(bytes);
}

std::string HexLinesStreamToHexText(std::istream& stream) {
  TStringList lines;
  stream.clear();
  stream.seekg(0);
  lines.SetText(std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>()));
  return LinesToHexText(lines);
}

void HexTextToStream(std::ostream& stream, const std::string& hex) {
  std::string bytes = HexTextToString(hex);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void HexTextToHexLinesStream(std::ostream& stream, const std::string& hex) {
  TStringList lines;
  HexTextToLines(hex, lines, 16);
  for (int i = 0; i < lines.Count(); ++i) stream << lines[i] << "\r\n";
}

std::string FileToHexText(const std::string& file_name) { return BytesToHexText(ReadFileBytes(file_name)); }

void HexTextToFile(const std::string& file_name, const std::string& hex) {
  WriteFileAtomic(file_name, HexTextToString(hex));
}

void AddNameValue(TStringList& lines, const std::string& name, const std::string& value) {
  lines.Add(name + "=" + value);
}

std::string ValueOfLine(const std::string& line) {
  size_t eq = line.find('=');
  return eq == std::string::npos ? "" : line.substr(eq + 1);
}

int IndexOfValue(const TStringList& lines, const std::string& value) {
  for (int i = 0; i < lines.Count(); ++i) {
    if (lines[i].find('=') == std::string::npos) continue;
    if (SameText(ValueOfLine(lines[i]), value)) return i;
  }
  return -1;
}

// ---- OID ----

std::string OidBytesToText(const void* data, std::ptrdiff_t len) {
  if (!data || len <= 0) return "";
  const auto* p = static_cast<const uint8_t*>(data);
  std::string out;
  uint64_t arc = 0;
  bool first = true, pending = false;
  for (std::ptrdiff_t i = 0; i < len; ++i) {
    arc = (arc << 7) | (p[i] & 0x7F);
    pending = true;
    // The first sub-identifier carries two arcs and may exceed 32 bits by the 80 it adds.
    if (arc > 0xFFFFFFFFull + (first ? 80 : 0)) return "";
    if (p[i] & 0x80) continue;
    if (first) {
      uint64_t x = arc < 40 ? 0 : arc < 80 ? 1 : 2;
      out = std::to_string(x);
      out += '.';
      out += std::to_string(arc - 40 * x);
      first = false;
    } else {
      out += '.';
      out += std::to_string(arc);
    }
    arc = 0;
    pending = false;
  }
  return pending ? "" : out;  // a truncated last arc
}

namespace {

void AppendBase128(std::string& hex, uint64_t value) {
  uint8_t groups[10];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value);
  for (int i = n - 1; i >= 0; --i) {
    uint8_t b = groups[i] | (i ? 0x80 : 0);
    hex += kHexDigits[b >> 4];
    hex += kHexDigits[b & 15];
  }
}

}  // namespace

std::string OidTextToHex(const std::string& text) {
  std::vector<uint64_t> arcs;
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    uint64_t value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + static_cast<uint64_t>(text[i] - '0');
      if (value > 0xFFFFFFFFull) return "";
      ++i;
    }
    if (i == start) return "";  // no digits where an arc is due
    arcs.push_back(value);
    if (i == text.size()) break;
    if (text[i] != '.') return "";
    ++i;  // a trailing "." is accepted
  }
  if (arcs.size() < 3) return "";
  if (arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) return "";
  std::string hex;
  AppendBase128(hex, arcs[0] * 40 + arcs[1]);
  for (size_t k = 2; k < arcs.size(); ++k) AppendBase128(hex, arcs[k]);
  return hex;
}

// ---- PEM ----

std::string PEMLabel(const std::string& line, const std::string& keyword) {
  size_t pos = line.find(keyword);
  if (pos == std::string::npos) return "";
  pos += keyword.size();
  while (pos < line.size() && static_cast<unsigned char>(line[pos]) <= ' ') ++pos;
  size_t end = line.find('-', pos);
  return line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

bool ReadPEM(std::istream& stream, std::string& title, std::string& der_hex) {
  title.clear();
  der_hex.clear();
  TStringList all;
  all.SetText(std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>()));
  std::vector<std::string> lines;
  for (int i = 0; i < all.Count(); ++i)
    if (!Trim(all[i]).empty()) lines.push_back(all[i]);
  if (lines.size() < 2) return false;
  // Both armour lines must be there: text without them is no PEM.
  std::string begin = PEMLabel(lines.front(), "BEGIN");
  std::string end = PEMLabel(lines.back(), "END");
  if (begin.empty() || end.empty() || !SameText(begin, end)) return false;
  title = begin;
  std::string body;
  for (size_t i = 1; i + 1 < lines.size(); ++i) body += lines[i];
  if (body.empty()) return false;
  TAS_Base64Coding coder;
  der_hex = BytesToHexText(coder.DecodeString(body));
  return true;
}

bool ReadPEMFile(const std::string& file_name, std::string& title, std::string& der_hex) {
  std::istringstream in(ReadFileBytes(file_name));
  return ReadPEM(in, title, der_hex);
}

}  // namespace qv
