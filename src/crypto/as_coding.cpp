#include "crypto/as_coding.h"

#include <array>

namespace qv {

std::string TAS_Coding::EncodeString(const std::string& s) {
  if (s.empty()) return "";
  if (OnBeforeEncode) OnBeforeEncode(this);
  const auto* src = reinterpret_cast<const uint8_t*>(s.data());
  std::string out(EncodedLength(s.size()), '\0');
  size_t out_len = 0;
  EncodeBlock(src, s.size(), out_len, out.size(), reinterpret_cast<uint8_t*>(out.data()));
  out.resize(out_len);
  if (OnAfterEncode) OnAfterEncode(this);
  return out;
}

std::string TAS_Coding::DecodeString(const std::string& s) {
  if (s.empty()) return "";
  if (OnBeforeDecode) OnBeforeDecode(this);
  const auto* src = reinterpret_cast<const uint8_t*>(s.data());
  std::string out(DecodedLength(src, s.size()), '\0');
  size_t out_len = 0;
  DecodeBlock(src, s.size(), out_len, out.size(), reinterpret_cast<uint8_t*>(out.data()));
  out.resize(out_len);
  if (OnAfterDecode) OnAfterDecode(this);
  return out;
}

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return t;
}
constexpr std::array<int8_t, 256> kDecode = MakeDecodeTable();

// Length of the text without its trailing blanks and its final run of pad characters
// (blanks between the pads are part of the run).
size_t DataEnd(const uint8_t* src, size_t len, size_t* pads) {
  size_t end = len, p = 0;
  while (end > 0 && src[end - 1] <= ' ') --end;
  while (end > 0 && (src[end - 1] == '=' || src[end - 1] <= ' ')) {
    if (src[end - 1] == '=') ++p;
    --end;
  }
  if (pads) *pads = p;
  return end;
}

}  // namespace

TAS_Base64Coding::TAS_Base64Coding(TComponent* owner) : TAS_Coding(owner) { SetAlgorithmName("Base64"); }

size_t TAS_Base64Coding::EncodedLength(size_t src_len) const { return (src_len + 2) / 3 * 4; }

size_t TAS_Base64Coding::DecodedLength(const uint8_t* src, size_t src_len) const {
  if (!src || src_len == 0) return 0;
  size_t pads = 0;
  DataEnd(src, src_len, &pads);
  return (src_len - pads) * 6 / 8;
}

bool TAS_Base64Coding::EncodeBlock(const uint8_t* src, size_t src_len, size_t& out_len, size_t buf_size, uint8_t* buf) {
  out_len = EncodedLength(src_len);
  if (buf_size < out_len) return false;
  size_t o = 0, i = 0;
  for (; i + 3 <= src_len; i += 3) {
    uint32_t v = (uint32_t{src[i]} << 16) | (uint32_t{src[i + 1]} << 8) | src[i + 2];
    buf[o++] = kAlphabet[v >> 18];
    buf[o++] = kAlphabet[(v >> 12) & 63];
    buf[o++] = kAlphabet[(v >> 6) & 63];
    buf[o++] = kAlphabet[v & 63];
  }
  size_t rest = src_len - i;
  if (rest) {
    uint32_t v = uint32_t{src[i]} << 16;
    if (rest == 2) v |= uint32_t{src[i + 1]} << 8;
    buf[o++] = kAlphabet[v >> 18];
    buf[o++] = kAlphabet[(v >> 12) & 63];
    buf[o++] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    buf[o++] = '=';
  }
  return true;
}

bool TAS_Base64Coding::DecodeBlock(const uint8_t* src, size_t src_len, size_t& out_len, size_t buf_size, uint8_t* buf) {
  out_len = 0;
  if (buf_size < DecodedLength(src, src_len)) return false;
  if (!src || src_len == 0) return true;
  size_t end = DataEnd(src, src_len, nullptr);
  uint32_t acc = 0;
  int count = 0;
  for (size_t i = 0; i < end; ++i) {
    uint8_t c = src[i];
    if (c <= ' ') continue;
    int v = kDecode[c];
    // "=" inside the data would shift every later bit: refused like any foreign character.
    if (v < 0) throw ErrorBase64(KitFormat("Invalid base64 character code: 0x%.2X", c));
    acc = (acc << 6) | static_cast<uint32_t>(v);
    if (++count == 4) {
      buf[out_len++] = static_cast<uint8_t>(acc >> 16);
      buf[out_len++] = static_cast<uint8_t>(acc >> 8);
      buf[out_len++] = static_cast<uint8_t>(acc);
      acc = 0;
      count = 0;
    }
  }
  // A final group of two or three characters carries one or two bytes; one character none.
  if (count == 2) {
    buf[out_len++] = static_cast<uint8_t>(acc >> 4);
  } else if (count == 3) {
    buf[out_len++] = static_cast<uint8_t>(acc >> 10);
    buf[out_len++] = static_cast<uint8_t>(acc >> 2);
  }
  return true;
}

}  // namespace qv
