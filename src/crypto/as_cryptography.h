#pragma once
// The cipher frame: buffers and strings in, hex text out, key readiness and events; and the
// symmetric block-cipher frame with keys, initialisation vectors, the four modes and a key file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crypto/as_component.h"

namespace qv {

using TCipherBlockEvent = std::function<void(TComponent* sender, uint8_t* block, uint32_t offset, uint32_t size)>;
using TValidateKeyEvent = std::function<void(TComponent* sender, const uint8_t* key, int key_len, bool& valid)>;

class TAS_Cryptography : public TAS_Component {
public:
  using TAS_Component::TAS_Component;
  std::string ClassName() const override { return "TAS_Cryptography"; }

  // Unless key_hex is given a usable key must be set, else "not ready".
  void Encrypt(void* data, size_t size, const std::string& key_hex = "");
  void Decrypt(void* data, size_t size, const std::string& key_hex = "");
  // Upper-case hex text of exactly two digits per byte of s.
  std::string EncryptString(const std::string& s, const std::string& key_hex = "");
  // The plain bytes as hex text (HexTextToString gives the text).
  std::string DecryptString(const std::string& hex, const std::string& key_hex = "");
  void GenerateKeys(int key_len);

  virtual void LoadKeysFromFile(const std::string& file_name) = 0;
  virtual void SaveKeysToFile(const std::string& file_name) = 0;
  virtual int MinKeyLength() const = 0;
  virtual int MaxKeyLength() const = 0;
  virtual bool CanEncrypt() const = 0;
  virtual bool CanDecrypt() const = 0;
  bool CipherInPlace() const { return cipher_in_place_; }
  virtual void SetCipherInPlace(bool value) { cipher_in_place_ = value; }
  // Overwrites all key material with zeros.
  virtual void ClearKeys() {}

  // Results of the calls when not working in place.
  const std::vector<uint8_t>& CipherOutput() const { return cipher_output_; }
  const std::vector<uint8_t>& PlainOutput() const { return plain_output_; }

  TNotifyEvent OnBeforeEncrypt, OnAfterEncrypt, OnBeforeDecrypt, OnAfterDecrypt;
  TNotifyEvent OnBeforeGenKeys, OnAfterGenKeys;
  TCipherBlockEvent OnBeforeEncryptBlock, OnAfterEncryptBlock, OnBeforeDecryptBlock, OnAfterDecryptBlock;
  TNotifyEvent OnBeforeLoadKeys, OnAfterLoadKeys, OnBeforeSaveKeys, OnAfterSaveKeys;

protected:
  virtual void DoEncrypt(uint8_t* data, size_t size, const std::string& key_hex) = 0;
  virtual void DoDecrypt(uint8_t* data, size_t size, const std::string& key_hex) = 0;
  virtual void DoGenerateKeys(int key_len) = 0;

  bool cipher_in_place_ = false;
  std::vector<uint8_t> cipher_output_;
  std::vector<uint8_t> plain_output_;
};

enum class TCipherMode { cmECB, cmCBC, cmCFB, cmOFB };

class TAS_SymmCryptography : public TAS_Cryptography {
public:
  using TAS_Cryptography::TAS_Cryptography;
  ~TAS_SymmCryptography() override;
  std::string ClassName() const override { return "TAS_SymmCryptography"; }

  TCipherMode CipherMode() const { return cipher_mode_; }
  virtual void SetCipherMode(TCipherMode mode) { cipher_mode_ = mode; }
  int BlockSize() const { return block_size_; }

  // The one path by which a key is set; a null key empties it. A refused key leaves the old one.
  void SetKey(const uint8_t* key, int len);
  const std::vector<uint8_t>& Key() const { return key_; }
  std::string KeyHexStr() const;
  void SetKeyHexStr(const std::string& hex);
  std::string KeyText() const { return std::string(key_.begin(), key_.end()); }
  void SetKeyText(const std::string& text);

  void SetInitVector(const uint8_t* iv, int len);
  const std::vector<uint8_t>& InitVector() const { return iv_; }
  std::string InitVectorHexStr() const;
  void SetInitVectorHexStr(const std::string& hex);
  std::string InitVectorText() const { return std::string(iv_.begin(), iv_.end()); }
  void SetInitVectorText(const std::string& text);

  // key=<hex> and iv=<hex> lines.
  void LoadKeysFromFile(const std::string& file_name) override;
  void SaveKeysToFile(const std::string& file_name) override;

  bool CanEncrypt() const override { return !schedule_.empty(); }
  bool CanDecrypt() const override { return !schedule_.empty(); }
  void ClearKeys() override;

  TNotifyEvent OnChangeKey, OnChangeInitVector;
  TValidateKeyEvent OnPostValidateKey;

protected:
  // One block of BlockSize bytes in place.
  virtual void EncryptBlock(uint8_t* block) = 0;
  virtual void DecryptBlock(uint8_t* block) = 0;
  // Whole blocks at once, for the modes without block events; by default block by block.
  virtual void EncryptBlocks(uint8_t* data, size_t blocks);
  virtual void DecryptBlocks(uint8_t* data, size_t blocks);
  virtual size_t KeyScheduleSize() const = 0;
  virtual void BuildKeySchedule() = 0;
  virtual void CheckKeyLength(const uint8_t* key, int len);
  virtual void ResizeKey(int new_len);

  void DoEncrypt(uint8_t* data, size_t size, const std::string& key_hex) override;
  void DoDecrypt(uint8_t* data, size_t size, const std::string& key_hex) override;
  void DoGenerateKeys(int key_len) override;

  int block_size_ = 8;
  TCipherMode cipher_mode_ = TCipherMode::cmECB;
  std::vector<uint8_t> key_;
  std::vector<uint8_t> schedule_;  // empty: no usable key
  std::vector<uint8_t> iv_;

private:
  void Run(uint8_t* data, size_t size, const std::string& key_hex, bool encrypt);
  void Process(uint8_t* work, size_t size, bool encrypt);
};

}  // namespace qv
