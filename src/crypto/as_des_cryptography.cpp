#include "crypto/as_des_cryptography.h"

#include <cctype>

#include "crypto/des_core.h"
#include "platform/rtl/store_changed.h"

namespace qv {

const TComponentClass TAS_DESCryptography::kClass{
    "TAS_DESCryptography", [](TComponent* o) -> TComponent* { return new TAS_DESCryptography(o); }};

TAS_DESCryptography::TAS_DESCryptography(TComponent* owner) : TAS_SymmCryptography(owner) {
  block_size_ = 8;
  cipher_mask_ = 5;
  SetCipherQuant(3);
}

void TAS_DESCryptography::SetCipherQuant(uint32_t value) {
  // A count of 0 would give a component that can never take a key.
  if (value == 0) value = 1;
  if (value > 32) value = 32;
  SetAlgorithmName(value == 1 ? std::string("DES") : KitFormat("%u%s", value, "DES"));
  if (!StoreChanged(cipher_quant_, value)) return;
  ResizeKey(static_cast<int>(8 * value));
  schedule_.clear();  // a zero key of the new length, not usable until a key is set
  if (OnChangeCipherQuant) OnChangeCipherQuant(this);
}

std::string TAS_DESCryptography::CipherMaskText() const {
  std::string text;
  for (uint32_t i = 0; i < cipher_quant_; ++i) text += (cipher_mask_ >> i) & 1 ? 'E' : 'D';
  return text;
}

void TAS_DESCryptography::SetCipherMaskText(const std::string& text) {
  uint32_t mask = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (c != 'E' && c != 'D') Error(KitFormat("Invalid multiple DES cipher sequence: '%s'", text.c_str()));
    if (c == 'E' && i < 32) mask |= 1u << i;
  }
  cipher_mask_ = mask;
}

void TAS_DESCryptography::CheckKeyLength(const uint8_t* key, int len) {
  int want = static_cast<int>(8 * cipher_quant_);
  if (len != want)
    Error(KitFormat("Key length must be equal to %d * %d = %d bytes", static_cast<int>(cipher_quant_), 8, want));
  TAS_SymmCryptography::CheckKeyLength(key, len);
}

void TAS_DESCryptography::BuildKeySchedule() {
  size_t stages = key_.size() / 8;
  schedule_.resize(stages * sizeof(des::StageKeys));
  auto* keys = reinterpret_cast<des::StageKeys*>(schedule_.data());
  for (size_t s = 0; s < stages; ++s) des::MakeStageKeys(key_.data() + 8 * s, keys[s]);
}

void TAS_DESCryptography::EncryptBlocks(uint8_t* data, size_t blocks) {
  des::CryptBlocks(reinterpret_cast<const des::StageKeys*>(schedule_.data()),
                   static_cast<unsigned>(schedule_.size() / sizeof(des::StageKeys)), cipher_mask_, true, data, blocks);
}

void TAS_DESCryptography::DecryptBlocks(uint8_t* data, size_t blocks) {
  des::CryptBlocks(reinterpret_cast<const des::StageKeys*>(schedule_.data()),
                   static_cast<unsigned>(schedule_.size() / sizeof(des::StageKeys)), cipher_mask_, false, data, blocks);
}

void TAS_DESCryptography::EncryptBlock(uint8_t* block) { EncryptBlocks(block, 1); }
void TAS_DESCryptography::DecryptBlock(uint8_t* block) { DecryptBlocks(block, 1); }

}  // namespace qv
