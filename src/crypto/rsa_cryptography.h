#pragma once
// RSA: key generation, PKCS #1 v1.5 signatures, and encryption by PKCS #1 v1.5, OAEP or plain
// RSA. Keys are hexadecimal DER texts SEQUENCE { INTEGER modulus, INTEGER exponent }
// (public: n, e; private: n, d).
#include <string>

#include "crypto/asym_cryptography.h"
#include "crypto/giant_int.h"
#include "crypto/prime_generator.h"

namespace qv {

enum class TRSAEncryptionScheme { esPkcs1, esOaep, esPlain };

class TAS_RSACryptography : public TAS_AsymCryptography {
public:
  static const TComponentClass kClass;
  explicit TAS_RSACryptography(TComponent* owner = nullptr);
  ~TAS_RSACryptography() override;
  std::string ClassName() const override { return "TAS_RSACryptography"; }

  // Only the RSA OIDs (and the empty text) are taken.
  void SetObjectID(const std::string& value) override;
  void SetCipherInPlace(bool) override { cipher_in_place_ = false; }
  int MinKeyLength() const override;
  int MaxKeyLength() const override { return 512; }
  int PublicKeyByteLength() const override;
  int PrivateKeyByteLength() const override;
  void ClearKeys() override;

  std::string KeyEHexStr() const;
  void SetKeyEHexStr(const std::string& hex);
  std::string KeyNPubHexStr() const;
  void SetKeyNPubHexStr(const std::string& hex);
  std::string KeyDHexStr() const;
  void SetKeyDHexStr(const std::string& hex);
  std::string KeyNPrivHexStr() const;
  void SetKeyNPrivHexStr(const std::string& hex);
  std::string PrimePHexStr() const { return GiantToHex(p_.get()); }
  void SetPrimePHexStr(const std::string& hex);
  std::string PrimeQHexStr() const { return GiantToHex(q_.get()); }
  void SetPrimeQHexStr(const std::string& hex);

  int SmallPublicExp() const { return small_public_exp_; }
  void SetSmallPublicExp(int value);
  TAS_PrimeGenerator* PrimeGenerator() const { return prime_generator_; }
  void SetPrimeGenerator(TAS_PrimeGenerator* value);
  TRSAEncryptionScheme EncryptionScheme() const;
  void SetEncryptionScheme(TRSAEncryptionScheme scheme);
  const std::string& EncodingParam() const { return encoding_param_; }
  void SetEncodingParam(const std::string& value);

  void SetPublicKeyParts(const std::string& n_hex, const std::string& e_hex);
  void SetPrivateKeyParts(const std::string& n_hex, const std::string& d_hex);
  void GetPublicKeyParts(std::string& n_hex, std::string& e_hex) const;
  void GetPrivateKeyParts(std::string& n_hex, std::string& d_hex) const;
  void SetPrimes(const std::string& p_hex, const std::string& q_hex);
  void GetPrimes(std::string& p_hex, std::string& q_hex) const;

  // "" when both parts are empty.
  static std::string BuildKeyDER(const std::string& a_hex, const std::string& b_hex);
  // The contents of the first two INTEGERs; both "" for an empty text.
  static void ParseKeyDER(const std::string& hex, std::string& a_hex, std::string& b_hex);

  // name=value lines d, e, n (or npub and npriv), p, q.
  void LoadKeysFromFile(const std::string& file_name) override;
  void SaveKeysToFile(const std::string& file_name) override;

  TNotifyEvent OnChangeSmallPubExp, OnChangeScheme, OnChangeEncodingParam;

protected:
  void PublicKeyChanged() override;
  void PrivateKeyChanged() override;
  void DoEncrypt(uint8_t* data, size_t size, const std::string& key_hex) override;
  void DoDecrypt(uint8_t* data, size_t size, const std::string& key_hex) override;
  void DoSign(const uint8_t* data, size_t size, const std::string& key_hex) override;
  void DoVerify(const uint8_t* data, size_t size, const std::string& key_hex) override;
  void DoGenerateKeys(int key_len) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  // x := x^d mod private n, through the primes when they belong to the key.
  void PrivatePower(GiantInt x);
  bool CrtUsable();
  void CheckModulus(GiantInt n, const char* scheme_text, int min_bits) const;
  // Checks the modulus (and the digest for OAEP) for a scheme; the digest size for OAEP.
  size_t CheckScheme(GiantInt n, TRSAEncryptionScheme scheme, TAS_Digest* digest) const;
  std::vector<uint8_t> Hash(TAS_Digest& digest, const uint8_t* data, size_t size) const;
  std::vector<uint8_t> Mgf1(TAS_Digest& digest, const uint8_t* seed, size_t seed_len, size_t len) const;

  GiantPtr n_pub_, e_, n_priv_, d_, p_, q_;
  // CRT constants, valid while crt_state_ is 1 (0: unchecked, -1: primes do not fit the key).
  GiantPtr dp_, dq_, qinv_;
  int crt_state_ = 0;
  int small_public_exp_ = 0;
  TAS_PrimeGenerator* prime_generator_ = nullptr;
  std::string encoding_param_;
};

}  // namespace qv
