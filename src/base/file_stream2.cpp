#include "base/file_stream2.h"

#include <cstring>
#include <vector>

#include "base/res_string.h"
#include "platform/rtl/byte_order.h"
#include "platform/rtl/text_encoding.h"

namespace qv {

namespace {
std::string OpenFailure(const char* key, const std::string& file_name, const EStreamError& e) {
  return LoadResString("stm_StreamCreateError") + ". " + LoadResString(key) + file_name + "\r\n" +
         DosErrorText(e.OsError(), e.Reason());
}

// The key of a code's text; null for a code without a text of its own.
const char* DosErrorKey(uint32_t code) {
  switch (code) {
    case 2: return "dos_FileNotFound";
    case 3: return "dos_PathNotFound";
    case 5: return "dos_AccessDenied";
    case 6: return "dos_HandleNotValid";
    case 8: return "dos_NotEnoughMemory";
    case 10: return "dos_EnvironmentNotValid";
    case 11: return "dos_FormatNotValid";
    default: return nullptr;
  }
}

void WriteBytes(const char* p, size_t n, TStream& stream) {
  if (n > MaxStreamStrLen) n = MaxStreamStrLen;
  uint8_t len[2];
  PutLE16(len, static_cast<uint16_t>(n));
  stream.WriteBuffer(len, 2);
  if (n > 0) stream.WriteBuffer(p, static_cast<int32_t>(n));
}
}  // namespace

TFileStream2::TFileStream2(const std::string& file_name, uint16_t mode) try : TFileStream(file_name, mode) {
} catch (const EFCreateError& e) {
  throw EFCreateError(OpenFailure("stm_FCreateError", file_name, e), e.OsError(), e.Reason());
} catch (const EFOpenError& e) {
  throw EFOpenError(OpenFailure("stm_FOpenError", file_name, e), e.OsError(), e.Reason());
}

TAtomicFileStream2::TAtomicFileStream2(const std::string& target) try : TAtomicFileStream(target) {
} catch (const EFCreateError& e) {
  throw EFCreateError(OpenFailure("stm_FCreateError", target, e), e.OsError(), e.Reason());
}

void TMemoryStream2::ReadBuffer(void* buffer, int32_t count) {
  try {
    TMemoryStream::ReadBuffer(buffer, count);
  } catch (const EReadError&) {
    throw EReadError(LoadResString("stm_StreamReadError"));
  }
}

void TMemoryStream2::WriteBuffer(const void* buffer, int32_t count) {
  try {
    TMemoryStream::WriteBuffer(buffer, count);
  } catch (const EWriteError&) {
    throw EWriteError(LoadResString("stm_StreamWriteError"));
  } catch (const EStreamError&) {
    throw EStreamError(LoadResString("stm_MemoryStreamError"));
  }
}

std::string DosErrorText(uint32_t code) {
  const char* key = DosErrorKey(code);
  return LoadResString(key ? key : "dos_UndocumentedError");
}

std::string DosErrorText(uint32_t code, const std::string& reason) {
  if (reason.empty()) return DosErrorText(code);
  const char* key = DosErrorKey(code);
  return key ? LoadResString(key) + " " + reason : reason;
}

void StreamWritePChar(const char* p, TStream& stream) { WriteBytes(p, p ? ::strnlen(p, MaxStreamStrLen) : 0, stream); }

std::unique_ptr<char[]> StreamReadPChar(TStream& stream) {
  uint8_t len[2];
  stream.ReadBuffer(len, 2);
  uint16_t n = GetLE16(len);
  if (n == 0) return nullptr;
  std::unique_ptr<char[]> buf(new char[n + 1u]);
  stream.ReadBuffer(buf.get(), n);
  buf[n] = 0;
  return buf;
}

void StreamWriteStr(const std::string& s, TStream& stream) {
  std::string bytes = Utf8ToCp1252(s);
  size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  WriteBytes(bytes.data(), bytes.size(), stream);
}

void StreamReadStr(TStream& stream, std::string& s) {
  uint8_t len[2];
  stream.ReadBuffer(len, 2);
  uint16_t n = GetLE16(len);
  std::string bytes(n, '\0');
  if (n > 0) stream.ReadBuffer(bytes.data(), n);
  s = Cp1252ToUtf8(bytes);
}

}  // namespace qv
