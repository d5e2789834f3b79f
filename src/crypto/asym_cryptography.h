#pragma once
// The asymmetric cipher frame: a key pair held as hexadecimal DER text, signing and verifying,
// and the map between digest OIDs and signature algorithm OIDs.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "crypto/as_cryptography.h"
#include "crypto/as_digest.h"
#include "platform/rtl/string_list.h"

namespace qv {

using TSignatureEvent = std::function<void(TComponent* sender, const void* data, uint32_t size)>;

class TAS_AsymCryptography : public TAS_Cryptography {
public:
  explicit TAS_AsymCryptography(TComponent* owner = nullptr);
  ~TAS_AsymCryptography() override;
  std::string ClassName() const override { return "TAS_AsymCryptography"; }

  const std::string& PublicKeyBitValue() const { return public_key_; }
  void SetPublicKeyBitValue(const std::string& value);
  const std::string& PrivateKeyBitValue() const { return private_key_; }
  void SetPrivateKeyBitValue(const std::string& value);

  const std::string& SignatureAlgorithm() const { return signature_algorithm_; }
  virtual void SetSignatureAlgorithm(const std::string& value);
  TAS_Digest* SigningDigest() const { return signing_digest_; }
  void SetSigningDigest(TAS_Digest* value);
  // Lines digestOID=signatureOID.
  const TStringList& SigningDigestMap() const { return digest_map_; }
  void SetSigningDigestMap(const TStringList& lines) { digest_map_.Assign(lines); }
  std::string DigestOIDOfSignatureAlgorithm(const std::string& sig_oid) const;
  std::string SignatureAlgorithmOfDigestOID(const std::string& digest_oid) const;

  TAS_Digest* EncryptingDigest() const { return encrypting_digest_; }
  void SetEncryptingDigest(TAS_Digest* value);
  std::string SeedHexStr() const;
  void SetSeedHexStr(const std::string& hex);
  std::string SeedString() const { return std::string(seed_.begin(), seed_.end()); }
  void SetSeedString(const std::string& text);

  // A per-call key text signs (verifies) with that key and leaves the stored one unchanged.
  void Sign(const void* data, size_t size, const std::string& key_hex = "");
  void SignString(const std::string& s, const std::string& key_hex = "");
  // Raises on any mismatch; returns silently when the signature holds.
  void Verify(const void* data, size_t size, const std::string& key_hex = "");
  void VerifyString(const std::string& s, const std::string& key_hex = "");

  std::string GetSignatureHex() const;
  const std::vector<uint8_t>& Signature() const { return signature_; }
  void SetVerifySignatureHex(const std::string& hex);
  const std::vector<uint8_t>& VerifySignature() const { return verify_signature_; }
  // What the last Verify found inside the signature.
  const std::vector<uint8_t>& DecryptedBlock() const { return decrypted_block_; }
  const std::string& FoundDigestOID() const { return found_digest_oid_; }
  const std::string& FoundDigestHex() const { return found_digest_hex_; }

  bool CanEncrypt() const override { return !public_key_.empty(); }
  bool CanVerify() const { return !public_key_.empty(); }
  bool CanDecrypt() const override { return !private_key_.empty(); }
  bool CanSign() const { return !private_key_.empty(); }
  void ClearKeys() override;
  virtual int PublicKeyByteLength() const = 0;
  virtual int PrivateKeyByteLength() const = 0;

  // Key transfer: the stream or file holds the key's DER bytes.
  void LoadPublicKeyFromStream(std::istream& stream);
  void SavePublicKeyToStream(std::ostream& stream) const;
  void LoadPrivateKeyFromStream(std::istream& stream);
  void SavePrivateKeyToStream(std::ostream& stream) const;
  void LoadPublicKeyFromFile(const std::string& file_name);
  void SavePublicKeyToFile(const std::string& file_name) const;
  void LoadPrivateKeyFromFile(const std::string& file_name);
  void SavePrivateKeyToFile(const std::string& file_name) const;

  void LinkedChanged(TAS_Component* sender, const std::string& prop_name) override;

  TNotifyEvent OnChangePublicKey, OnChangePrivateKey, OnChangeSignatureAlgorithm, OnChangeSigningDigest, OnChangeSeed;
  TSignatureEvent OnBeforeSign, OnAfterSign, OnBeforeVerify, OnAfterVerify;

protected:
  virtual void PrivateKeyChanged();
  virtual void PublicKeyChanged();
  virtual void DoSign(const uint8_t* data, size_t size, const std::string& key_hex) = 0;
  virtual void DoVerify(const uint8_t* data, size_t size, const std::string& key_hex) = 0;
  void Notification(TComponent* component, TOperation operation) override;

  std::string public_key_, private_key_;
  std::vector<uint8_t> seed_;
  std::vector<uint8_t> signature_;
  std::vector<uint8_t> verify_signature_;
  std::vector<uint8_t> decrypted_block_;
  std::string found_digest_oid_, found_digest_hex_;

private:
  std::string signature_algorithm_;
  TAS_Digest* signing_digest_ = nullptr;
  TAS_Digest* encrypting_digest_ = nullptr;
  TStringList digest_map_;
};

}  // namespace qv
