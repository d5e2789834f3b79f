#include "serial/ser_trace.h"

#include "platform/rtl/file_io.h"
#include "platform/rtl/stream.h"

#include <sys/utsname.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "serial/serial_exception.h"

namespace qv {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr uint32_t kMaxColumn = 78;

// One byte in the trace's forms, with its width.
std::string ByteText(uint8_t b, bool hex, bool all_hex) {
  char buffer[8];
  if (all_hex || (hex && (b < 33 || b > 126))) {
    std::snprintf(buffer, sizeof buffer, "[%02X]", b);
    return buffer;
  }
  if (b >= 32 && b <= 126) return std::string(1, static_cast<char>(b));
  std::snprintf(buffer, sizeof buffer, "[%u]", b);
  return buffer;
}

}  // namespace

// ---- trace ----

TSerTrace::TSerTrace(uint32_t size) : entries_(size_t{size} * 2) {}

void TSerTrace::Add(char kind, uint8_t byte) {
  if (entries_.Capacity() == 0) return;
  if (entries_.Full()) entries_.Drop(2);  // the oldest entry makes room
  const uint8_t entry[2] = {static_cast<uint8_t>(kind), byte};
  entries_.Write(entry, 2);
}

void TSerTrace::Clear() { entries_.Clear(); }

std::string TSerTrace::Text(bool hex, bool all_hex) const {
  std::string out;
  int last_kind = -1;
  uint32_t column = 0;
  for (size_t i = 0; i < entries_.Used(); i += 2) {
    char kind = static_cast<char>(entries_.At(i));
    uint8_t byte = entries_.At(i + 1);
    if (kind != last_kind) {
      if (last_kind != -1) {
        out += kLineEnd;
        out += kLineEnd;
      }
      column = 0;
      if (kind == 'R')
        out += "Receive: ";
      else if (kind == 'T')
        out += "Transmit: ";
      else
        out += std::string("Special-") + kind + ": ";
      out += kLineEnd;
      last_kind = kind;
    }
    std::string text = ByteText(byte, hex, all_hex);
    column += static_cast<uint32_t>(text.size());
    if (column > kMaxColumn) {
      out += kLineEnd;
      column = static_cast<uint32_t>(text.size());
    }
    out += text;
  }
  return out;
}

// ---- log ----

TSerLog::TSerLog(uint32_t size) : ring_(size) {}

void TSerLog::DropOldest() {
  uint8_t head[kLogHeadSize];
  ring_.Peek(0, head, kLogHeadSize);
  uint32_t n;
  std::memcpy(&n, head + 12, 4);
  ring_.Drop(kLogHeadSize + size_t{n});
}

void TSerLog::Add(uint8_t type, uint8_t subtype, uint32_t time, uint32_t value, const void* data, uint32_t size) {
  uint64_t need = uint64_t{kLogHeadSize} + size;
  if (need >= ring_.Capacity()) return;
  while (ring_.Free() < need) DropOldest();
  uint8_t head[kLogHeadSize] = {};
  head[0] = type;
  head[1] = subtype;
  std::memcpy(head + 4, &time, 4);
  std::memcpy(head + 8, &value, 4);
  std::memcpy(head + 12, &size, 4);
  ring_.Write(head, kLogHeadSize);
  if (size > 0) ring_.Write(data, size);
}

void TSerLog::Clear() { ring_.Clear(); }

std::vector<TSerLogEntry> TSerLog::Entries() const {
  std::vector<TSerLogEntry> entries;
  size_t pos = 0;
  while (pos + kLogHeadSize <= ring_.Used()) {
    uint8_t head[kLogHeadSize];
    ring_.Peek(pos, head, kLogHeadSize);
    TSerLogEntry e;
    e.Type = head[0];
    e.SubType = head[1];
    std::memcpy(&e.Time, head + 4, 4);
    std::memcpy(&e.Value, head + 8, 4);
    uint32_t n;
    std::memcpy(&n, head + 12, 4);
    e.Data.resize(n);
    if (n > 0) ring_.Peek(pos + kLogHeadSize, e.Data.data(), n);
    pos += kLogHeadSize + size_t{n};
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string TSerLog::Lines(bool hex, bool all_hex) const {
  static const char* const kStatusKinds[] = {"(Not active)",         "(Modem status)",       "(Line status)",
                                             "(Output buffer free)", "(Output buffer used)", "(Output sent)"};
  std::string out;
  for (const auto& e : Entries()) {
    char ms[16];
    std::snprintf(ms, sizeof ms, "%07u", e.Time);
    std::string digits = ms;
    std::string time = digits.substr(0, digits.size() - 3) + "." + digits.substr(digits.size() - 3);
    std::string type = LibraryErrorText(15001 + e.Type);
    std::string subtype = e.SubType ? LibraryErrorText(15100 + e.SubType) : "";
    char line[128];
    std::snprintf(line, sizeof line, "%8s  %-8s  %-12s  %08x  ", time.c_str(), type.c_str(), subtype.c_str(), e.Value);
    out += line;
    if (!e.Data.empty()) {
      if (e.SubType == 15 && (e.Type == 5 || e.Type == 6)) {
        uint8_t kind = static_cast<uint8_t>(e.Data[0]);
        if (kind <= 5) out += kStatusKinds[kind];
      } else {
        uint32_t column = 45;
        for (char c : e.Data) {
          uint8_t b = static_cast<uint8_t>(c);
          std::string text = (all_hex && e.Type == 19) ? std::string(1, c) : ByteText(b, hex, all_hex);
          if (column + text.size() - 1 > kMaxColumn) {
            out += kLineEnd;
            out += std::string(44, ' ');
            column = 45;
          }
          out += text;
          column += static_cast<uint32_t>(text.size());
        }
      }
    }
    if (e.SubType == 4) {
      std::string bits;
      for (int bit = 0; bit < 8; ++bit)
        if (e.Value & (1u << bit)) bits += LibraryErrorText(15601 + bit);
      while (!bits.empty() && bits.back() == ' ') bits.pop_back();
      out += " (" + bits + ")";
    }
    out += kLineEnd;
  }
  return out;
}

std::string SerLogHeader(const std::string& device, const std::string& date_time) {
  std::string os = "Unknown";
  utsname u;
  if (uname(&u) == 0) os = std::string(u.sysname) + " " + u.release;
  std::string out = "SERIAL v4.06\r\n";
  out += std::string("Compiler : GCC ") + __VERSION__ + "\r\n";
  out += "Operating System : " + os + "\r\n";
  out += "Device: " + device + "\r\n";
  out += "Date/time: " + date_time + "\r\n";
  out += LibraryErrorText(15501) + "\r\n";
  out += LibraryErrorText(15502) + "\r\n";
  return out;
}

void WriteSerialTextFile(const std::string& name, const std::string& text, bool append) {
  // A dump replaces the file whole, so a full disk keeps the previous trace; an append adds all
  // of the text or leaves the file as it was. The error names the file and the system's reason.
  if (append) {
    AppendFileWhole(name, text);
    return;
  }
  try {
    WriteFileAtomic(name, text);
  } catch (const EStreamError& e) {
    throw EInOutError(e.Message(), static_cast<int>(e.OsError()));
  }
}

}  // namespace qv
