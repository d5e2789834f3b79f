#pragma once
// DES run as a chain of 1 to 32 stages with 8-byte keys each; by default triple DES (EDE).
#include <cstdint>
#include <string>

#include "crypto/as_cryptography.h"

namespace qv {

class TAS_DESCryptography : public TAS_SymmCryptography {
public:
  static const TComponentClass kClass;
  explicit TAS_DESCryptography(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_DESCryptography"; }

  uint32_t CipherQuant() const { return cipher_quant_; }
  // 0 is taken as 1 and values above 32 as 32; a changed count leaves a zero key without a
  // usable schedule.
  void SetCipherQuant(uint32_t value);
  uint32_t CipherMask() const { return cipher_mask_; }
  void SetCipherMask(uint32_t mask) { cipher_mask_ = mask; }
  std::string CipherMaskText() const;
  void SetCipherMaskText(const std::string& text);

  int MinKeyLength() const override { return 8; }
  int MaxKeyLength() const override { return 256; }

  TNotifyEvent OnChangeCipherQuant;

protected:
  void EncryptBlock(uint8_t* block) override;
  void DecryptBlock(uint8_t* block) override;
  void EncryptBlocks(uint8_t* data, size_t blocks) override;
  void DecryptBlocks(uint8_t* data, size_t blocks) override;
  size_t KeyScheduleSize() const override { return key_.size() / 8 * 128; }
  void BuildKeySchedule() override;
  void CheckKeyLength(const uint8_t* key, int len) override;

private:
  uint32_t cipher_quant_ = 0;
  uint32_t cipher_mask_ = 5;
};

}  // namespace qv
