#include "archive/dy_crypt.h"

#include "crypto/as_coding.h"
#include "crypto/as_des_cryptography.h"
#include "crypto/crypto_text.h"

namespace qv {

namespace {

constexpr const char* ArchiveKeyHex = "5C1E9A07D3B46F28E0A7C5193B8D6E42F1079A3C5E8B2D64";

}  // namespace

TDY_Crypt::TDY_Crypt() : des_(std::make_unique<TAS_DESCryptography>()) {
  des_->SetCipherMask(5);
  des_->SetKeyHexStr(ArchiveKeyHex);
}

TDY_Crypt::~TDY_Crypt() = default;

std::string TDY_Crypt::Encrypt(const std::string& text) {
  if (text.empty()) return std::string();
  std::lock_guard lock(mutex_);
  return des_->EncryptString(text);
}

std::string TDY_Crypt::Decrypt(const std::string& hex_text) {
  if (hex_text.empty()) return std::string();
  std::lock_guard lock(mutex_);
  return HexTextToString(des_->DecryptString(hex_text));
}

// Built on first use, so that they never depend on the order in which the program's globals are
// constructed; they live to the end of the process.
TDY_Crypt& ArchiveCrypt() {
  static TDY_Crypt archive_crypt;
  return archive_crypt;
}

TAS_Base64Coding& Base64Coder() {
  static TAS_Base64Coding base64_coder;
  return base64_coder;
}

}  // namespace qv
