#pragma once
// Hand-written byte images of channel records and blocks, laid out field by field.
#include <cstdint>
#include <initializer_list>
#include <string>

namespace qv::test {

class Bytes {
public:
  Bytes& U8(uint8_t v) {
    s_ += static_cast<char>(v);
    return *this;
  }
  Bytes& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
  Bytes& Raw(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) U8(b);
    return *this;
  }
  Bytes& Raw(const std::string& bytes) {
    s_ += bytes;
    return *this;
  }
  // A fixed text field: length byte, the bytes, zeros up to size - 1 characters.
  Bytes& Fixed(const std::string& cp1252, size_t size, int length_byte = -1) {
    U8(static_cast<uint8_t>(length_byte < 0 ? cp1252.size() : static_cast<size_t>(length_byte)));
    s_ += cp1252;
    s_.append(size - 1 - cp1252.size(), '\0');
    return *this;
  }
  Bytes& Str(const std::string& cp1252) { return U16(static_cast<uint16_t>(cp1252.size())).Raw(cp1252); }
  Bytes& Repeat(const std::string& bytes, int n) {
    for (int i = 0; i < n; ++i) s_ += bytes;
    return *this;
  }
  const std::string& str() const { return s_; }
  operator std::string() const { return s_; }

private:
  std::string s_;
};

// Six-byte images worked out by hand: exponent + 129, then the 39-bit fraction, sign on top.
inline const std::initializer_list<uint8_t> V0 = {0, 0, 0, 0, 0, 0};
inline const std::initializer_list<uint8_t> V1 = {0x81, 0, 0, 0, 0, 0};       // 1
inline const std::initializer_list<uint8_t> V60 = {0x86, 0, 0, 0, 0, 0x70};   // 1.875 * 2^5
inline const std::initializer_list<uint8_t> V100 = {0x87, 0, 0, 0, 0, 0x48};  // 1.5625 * 2^6
inline const std::initializer_list<uint8_t> V300 = {0x89, 0, 0, 0, 0, 0x16};  // 1.171875 * 2^8
inline const std::initializer_list<uint8_t> V600 = {0x8A, 0, 0, 0, 0, 0x16};  // 1.171875 * 2^9
inline const std::initializer_list<uint8_t> VM40 = {0x86, 0, 0, 0, 0, 0xA0};  // -1.25 * 2^5
inline const std::initializer_list<uint8_t> VMax = {0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0x61};
inline const std::initializer_list<uint8_t> VNo = {0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0xE1};

}  // namespace qv::test
