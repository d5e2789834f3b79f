#include "crypto/asym_cryptography.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "crypto/crypto_text.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {

void Wipe(std::string& s) {
  std::fill(s.begin(), s.end(), '\0');
  s.clear();
}

}  // namespace

TAS_AsymCryptography::TAS_AsymCryptography(TComponent* owner) : TAS_Cryptography(owner) {}

TAS_AsymCryptography::~TAS_AsymCryptography() {
  if (signing_digest_) UnlinkFrom(signing_digest_);
  Wipe(private_key_);
}

void TAS_AsymCryptography::SetPublicKeyBitValue(const std::string& value) {
  if (value == public_key_) return;
  std::string old = public_key_;
  public_key_ = value;
  try {
    PublicKeyChanged();
  } catch (...) {
    public_key_ = old;  // a key text that does not parse is not taken
    throw;
  }
}

void TAS_AsymCryptography::SetPrivateKeyBitValue(const std::string& value) {
  if (value == private_key_) return;
  std::string old = private_key_;
  private_key_ = value;
  try {
    PrivateKeyChanged();
  } catch (...) {
    private_key_ = old;
    throw;
  }
  Wipe(old);
}

void TAS_AsymCryptography::PublicKeyChanged() {
  NotifyLinked("PublicKey");
  if (OnChangePublicKey) OnChangePublicKey(this);
}

void TAS_AsymCryptography::PrivateKeyChanged() {
  NotifyLinked("PrivateKey");
  if (OnChangePrivateKey) OnChangePrivateKey(this);
}

void TAS_AsymCryptography::SetSignatureAlgorithm(const std::string& value) {
  if (!StoreChanged(signature_algorithm_, value)) return;
  NotifyLinked("SignatureAlgorithm");
  if (signing_digest_) signing_digest_->SetObjectID(DigestOIDOfSignatureAlgorithm(value));
  if (OnChangeSignatureAlgorithm) OnChangeSignatureAlgorithm(this);
}

void TAS_AsymCryptography::SetSigningDigest(TAS_Digest* value) {
  if (value == signing_digest_) return;
  if (signing_digest_) UnlinkFrom(signing_digest_);
  signing_digest_ = value;
  if (value) {
    SetSignatureAlgorithm(SignatureAlgorithmOfDigestOID(value->ObjectID()));
    LinkTo(value);
  }
  if (OnChangeSigningDigest) OnChangeSigningDigest(this);
}

void TAS_AsymCryptography::SetEncryptingDigest(TAS_Digest* value) {
  if (!StoreChanged(encrypting_digest_, value)) return;
  if (value) FreeNotification(value);
}

void TAS_AsymCryptography::LinkedChanged(TAS_Component* sender, const std::string& prop_name) {
  if (sender && sender == signing_digest_ && prop_name == "ObjectID")
    SetSignatureAlgorithm(SignatureAlgorithmOfDigestOID(signing_digest_->ObjectID()));
}

void TAS_AsymCryptography::Notification(TComponent* component, TOperation operation) {
  TAS_Cryptography::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (static_cast<TComponent*>(signing_digest_) == component) signing_digest_ = nullptr;
  if (static_cast<TComponent*>(encrypting_digest_) == component) encrypting_digest_ = nullptr;
}

std::string TAS_AsymCryptography::DigestOIDOfSignatureAlgorithm(const std::string& sig_oid) const {
  for (int i = 0; i < digest_map_.Count(); ++i)
    if (SameText(digest_map_.ValueFromIndex(i), sig_oid)) return digest_map_.Names(i);
  return "";
}

std::string TAS_AsymCryptography::SignatureAlgorithmOfDigestOID(const std::string& digest_oid) const {
  return digest_map_.Values(digest_oid);
}

std::string TAS_AsymCryptography::SeedHexStr() const {
  return BytesToHexText(seed_.data(), static_cast<std::ptrdiff_t>(seed_.size()));
}

void TAS_AsymCryptography::SetSeedHexStr(const std::string& hex) {
  if (hex.empty()) {
    seed_.clear();
    return;
  }
  if (SameText(hex, SeedHexStr())) return;
  seed_ = HexTextToBytes(hex);
  if (OnChangeSeed) OnChangeSeed(this);
}

void TAS_AsymCryptography::SetSeedString(const std::string& text) {
  if (text.empty()) {
    seed_.clear();
    return;
  }
  if (text == SeedString()) return;
  seed_.assign(text.begin(), text.end());
  if (OnChangeSeed) OnChangeSeed(this);
}

void TAS_AsymCryptography::Sign(const void* data, size_t size, const std::string& key_hex) {
  if (key_hex.empty() && !CanSign())
    Error(KitFormat("%s is not ready to sign, must have valid private key", Name().c_str()));
  if (OnBeforeSign) OnBeforeSign(this, data, static_cast<uint32_t>(size));
  DoSign(static_cast<const uint8_t*>(data), size, key_hex);
  if (OnAfterSign) OnAfterSign(this, data, static_cast<uint32_t>(size));
}

void TAS_AsymCryptography::SignString(const std::string& s, const std::string& key_hex) {
  Sign(s.data(), s.size(), key_hex);
}

void TAS_AsymCryptography::Verify(const void* data, size_t size, const std::string& key_hex) {
  if (key_hex.empty() && !CanVerify())
    Error(KitFormat("%s is not ready to verify signature, must have valid public key", Name().c_str()));
  if (verify_signature_.empty()) Error(KitFormat("%s: Signature to Verify is not assigned", Name().c_str()));
  if (OnBeforeVerify) OnBeforeVerify(this, data, static_cast<uint32_t>(size));
  decrypted_block_.clear();
  found_digest_oid_.clear();
  found_digest_hex_.clear();
  DoVerify(static_cast<const uint8_t*>(data), size, key_hex);
  if (OnAfterVerify) OnAfterVerify(this, data, static_cast<uint32_t>(size));
}

void TAS_AsymCryptography::VerifyString(const std::string& s, const std::string& key_hex) {
  Verify(s.data(), s.size(), key_hex);
}

std::string TAS_AsymCryptography::GetSignatureHex() const {
  return BytesToHexText(signature_.data(), static_cast<std::ptrdiff_t>(signature_.size()));
}

void TAS_AsymCryptography::SetVerifySignatureHex(const std::string& hex) { verify_signature_ = HexTextToBytes(hex); }

void TAS_AsymCryptography::ClearKeys() {
  Wipe(public_key_);
  Wipe(private_key_);
}

void TAS_AsymCryptography::LoadPublicKeyFromStream(std::istream& stream) {
  SetPublicKeyBitValue(StreamToHexText(stream));
}

void TAS_AsymCryptography::SavePublicKeyToStream(std::ostream& stream) const { HexTextToStream(stream, public_key_); }

void TAS_AsymCryptography::LoadPrivateKeyFromStream(std::istream& stream) {
  SetPrivateKeyBitValue(StreamToHexText(stream));
}

void TAS_AsymCryptography::SavePrivateKeyToStream(std::ostream& stream) const { HexTextToStream(stream, private_key_); }

void TAS_AsymCryptography::LoadPublicKeyFromFile(const std::string& file_name) {
  SetPublicKeyBitValue(FileToHexText(file_name));
}

void TAS_AsymCryptography::SavePublicKeyToFile(const std::string& file_name) const {
  HexTextToFile(file_name, public_key_);
}

void TAS_AsymCryptography::LoadPrivateKeyFromFile(const std::string& file_name) {
  SetPrivateKeyBitValue(FileToHexText(file_name));
}

void TAS_AsymCryptography::SavePrivateKeyToFile(const std::string& file_name) const {
  HexTextToFile(file_name, private_key_);
}

}  // namespace qv
