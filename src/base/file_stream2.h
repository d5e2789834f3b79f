#pragma once
// Streams whose failures carry translated messages, the text of file-error codes, and the
// stream string: a text behind a 16-bit little-endian length, in Windows-1252.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/stream.h"

namespace qv {

// A file stream whose create and open failures say which file and why (the translated text of
// the code and the system's reason). Modes as TFileStream.
class TFileStream2 : public TFileStream {
public:
  TFileStream2(const std::string& file_name, uint16_t mode);
};

// The atomic rewrite of a stored file (see TAtomicFileStream) with the create failure message
// of TFileStream2, naming the target.
class TAtomicFileStream2 : public TAtomicFileStream {
public:
  explicit TAtomicFileStream2(const std::string& target);
};

// A memory stream whose failed exact reads and writes carry translated messages.
class TMemoryStream2 : public TMemoryStream {
public:
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
};

// The translated text of a Win32 file-error code.
std::string DosErrorText(uint32_t code);
// Why a file operation failed: the translated text of the code followed by the system's own text
// (reason); the system's text alone where the code has no text of its own ("undocumented").
std::string DosErrorText(uint32_t code, const std::string& reason);

constexpr uint32_t MaxStreamStrLen = 65535;

// Raw bytes up to the first zero (at most 65535); null writes an empty stream string.
void StreamWritePChar(const char* p, TStream& stream);
// The bytes of a stream string with a terminating zero; null for an empty one.
std::unique_ptr<char[]> StreamReadPChar(TStream& stream);
// UTF-8 text stored as Windows-1252, cut at an embedded zero and at 65535 bytes.
void StreamWriteStr(const std::string& s, TStream& stream);
void StreamReadStr(TStream& stream, std::string& s);

}  // namespace qv
