#pragma once
// The coder frame and its Base64 member (one line, no line breaks, "=" padding).
#include <cstddef>
#include <cstdint>
#include <string>

#include "crypto/as_component.h"

namespace qv {

class TAS_Coding : public TAS_Component {
public:
  using TAS_Component::TAS_Component;
  std::string ClassName() const override { return "TAS_Coding"; }

  bool CodeInPlace() const { return code_in_place_; }
  virtual void SetCodeInPlace(bool value) { code_in_place_ = value; }

  // Encodes src_len bytes into buf; false (nothing written) when buf_size is too small.
  virtual bool EncodeBlock(const uint8_t* src, size_t src_len, size_t& out_len, size_t buf_size, uint8_t* buf) = 0;
  virtual bool DecodeBlock(const uint8_t* src, size_t src_len, size_t& out_len, size_t buf_size, uint8_t* buf) = 0;
  virtual size_t EncodedLength(size_t src_len) const = 0;
  // Upper bound of DecodeBlock's output.
  virtual size_t DecodedLength(const uint8_t* src, size_t src_len) const = 0;

  std::string EncodeString(const std::string& s);
  std::string DecodeString(const std::string& s);

  TNotifyEvent OnBeforeEncode, OnAfterEncode, OnBeforeDecode, OnAfterDecode;

protected:
  bool code_in_place_ = false;
};

class TAS_Base64Coding : public TAS_Coding {
public:
  explicit TAS_Base64Coding(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_Base64Coding"; }

  // Base64 cannot code in place.
  void SetCodeInPlace(bool) override { code_in_place_ = false; }
  bool EncodeBlock(const uint8_t* src, size_t src_len, size_t& out_len, size_t buf_size, uint8_t* buf) override;
  // Skips characters at or below the space; a foreign character raises ErrorBase64.
  bool DecodeBlock(const uint8_t* src, size_t src_len, size_t& out_len, size_t buf_size, uint8_t* buf) override;
  size_t EncodedLength(size_t src_len) const override;
  size_t DecodedLength(const uint8_t* src, size_t src_len) const override;
};

}  // namespace qv
