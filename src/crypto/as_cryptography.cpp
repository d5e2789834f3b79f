#include "crypto/as_cryptography.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "crypto/crypto_text.h"
#include "platform/os/os_random.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text_utils.h"

namespace qv {

// ---- frame ----

void TAS_Cryptography::Encrypt(void* data, size_t size, const std::string& key_hex) {
  if (key_hex.empty() && !CanEncrypt())
    Error(KitFormat("%s is not ready to encrypt, must have valid key", Name().c_str()));
  if (OnBeforeEncrypt) OnBeforeEncrypt(this);
  DoEncrypt(static_cast<uint8_t*>(data), size, key_hex);
  if (OnAfterEncrypt) OnAfterEncrypt(this);
}

void TAS_Cryptography::Decrypt(void* data, size_t size, const std::string& key_hex) {
  if (key_hex.empty() && !CanDecrypt())
    Error(KitFormat("%s is not ready to decrypt, must have valid key", Name().c_str()));
  if (OnBeforeDecrypt) OnBeforeDecrypt(this);
  DoDecrypt(static_cast<uint8_t*>(data), size, key_hex);
  if (OnAfterDecrypt) OnAfterDecrypt(this);
}

std::string TAS_Cryptography::EncryptString(const std::string& s, const std::string& key_hex) {
  std::vector<uint8_t> work(s.begin(), s.end());
  Encrypt(work.data(), work.size(), key_hex);
  const std::vector<uint8_t>& out = cipher_in_place_ ? work : cipher_output_;
  return BytesToHexText(out.data(), static_cast<std::ptrdiff_t>(out.size()));
}

std::string TAS_Cryptography::DecryptString(const std::string& hex, const std::string& key_hex) {
  std::vector<uint8_t> work = HexTextToBytes(hex);
  Decrypt(work.data(), work.size(), key_hex);
  const std::vector<uint8_t>& out = cipher_in_place_ ? work : plain_output_;
  return BytesToHexText(out.data(), static_cast<std::ptrdiff_t>(out.size()));
}

void TAS_Cryptography::GenerateKeys(int key_len) {
  if (OnBeforeGenKeys) OnBeforeGenKeys(this);
  DoGenerateKeys(key_len);
  if (OnAfterGenKeys) OnAfterGenKeys(this);
}

// ---- symmetric frame ----

namespace {

void Wipe(std::vector<uint8_t>& v) {
  volatile uint8_t* p = v.data();
  for (size_t i = 0; i < v.size(); ++i) p[i] = 0;
}

// Key and vector bytes from the operating system, each uniform in 0..254 (the kit never
// generates 255).
std::vector<uint8_t> RandomBytesBelow255(size_t n) {
  std::vector<uint8_t> out;
  out.reserve(n);
  uint8_t buf[64];
  while (out.size() < n) {
    FillOsRandom(buf, sizeof buf);
    for (size_t i = 0; i < sizeof buf && out.size() < n; ++i)
      if (buf[i] != 255) out.push_back(buf[i]);
  }
  return out;
}

}  // namespace

TAS_SymmCryptography::~TAS_SymmCryptography() { TAS_SymmCryptography::ClearKeys(); }

void TAS_SymmCryptography::ClearKeys() {
  Wipe(key_);
  Wipe(schedule_);
  Wipe(iv_);
}

void TAS_SymmCryptography::CheckKeyLength(const uint8_t* key, int len) {
  if (len < MinKeyLength()) Error(KitFormat("Key too short: %d bytes, must be at least %d bytes", len, MinKeyLength()));
  if (len > MaxKeyLength()) Error(KitFormat("Key too long: %d bytes, must not exceed %d bytes", len, MaxKeyLength()));
  if (!key) Error("Invalid key");
}

void TAS_SymmCryptography::ResizeKey(int new_len) {
  if (new_len < 0) new_len = 0;
  if (static_cast<size_t>(new_len) == key_.size()) return;
  Wipe(key_);
  key_.assign(static_cast<size_t>(new_len), 0);
  Wipe(schedule_);
  schedule_.clear();
}

void TAS_SymmCryptography::SetKey(const uint8_t* key, int len) {
  if (!key) {
    ResizeKey(0);
    return;
  }
  CheckKeyLength(key, len);
  if (OnPostValidateKey) {
    bool valid = true;
    OnPostValidateKey(this, key, len, valid);
    if (!valid) Error("Key considered invalid by application");
  }
  ResizeKey(len);
  std::copy(key, key + len, key_.begin());
  schedule_.assign(KeyScheduleSize(), 0);
  BuildKeySchedule();
  if (OnChangeKey) OnChangeKey(this);
}

std::string TAS_SymmCryptography::KeyHexStr() const {
  return BytesToHexText(key_.data(), static_cast<std::ptrdiff_t>(key_.size()));
}

void TAS_SymmCryptography::SetKeyHexStr(const std::string& hex) {
  std::vector<uint8_t> bytes = HexTextToBytes(hex);
  SetKey(bytes.empty() ? nullptr : bytes.data(), static_cast<int>(bytes.size()));
  Wipe(bytes);
}

void TAS_SymmCryptography::SetKeyText(const std::string& text) {
  SetKey(text.empty() ? nullptr : reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
}

void TAS_SymmCryptography::SetInitVector(const uint8_t* iv, int len) {
  Wipe(iv_);
  if (iv && len > 0)
    iv_.assign(iv, iv + len);
  else
    iv_.clear();
  if (OnChangeInitVector) OnChangeInitVector(this);
}

std::string TAS_SymmCryptography::InitVectorHexStr() const {
  return BytesToHexText(iv_.data(), static_cast<std::ptrdiff_t>(iv_.size()));
}

void TAS_SymmCryptography::SetInitVectorHexStr(const std::string& hex) {
  std::vector<uint8_t> bytes = HexTextToBytes(hex);
  SetInitVector(bytes.data(), static_cast<int>(bytes.size()));
}

void TAS_SymmCryptography::SetInitVectorText(const std::string& text) {
  SetInitVector(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
}

void TAS_SymmCryptography::LoadKeysFromFile(const std::string& file_name) {
  TStringList lines;
  lines.LoadFromFile(file_name);
  std::string key, iv;
  for (int i = 0; i < lines.Count(); ++i) {
    std::string name = lines.Names(i);
    if (key.empty() && SameText(name, "key")) key = ValueOfLine(lines[i]);
    if (iv.empty() && SameText(name, "iv")) iv = ValueOfLine(lines[i]);
  }
  if (!key.empty()) SetKeyHexStr(key);
  if (!iv.empty()) SetInitVectorHexStr(iv);
}

void TAS_SymmCryptography::SaveKeysToFile(const std::string& file_name) {
  TStringList lines;
  // A new or re-sized component holds zeros that are no key; saved, they would load as one.
  if (!schedule_.empty()) AddNameValue(lines, "key", KeyHexStr());
  if (!iv_.empty()) AddNameValue(lines, "iv", InitVectorHexStr());
  if (lines.Count() > 0) lines.SaveToFile(file_name);
}

void TAS_SymmCryptography::DoGenerateKeys(int key_len) {
  if (key_len == 0) key_len = static_cast<int>(key_.size());
  std::vector<uint8_t> key = RandomBytesBelow255(static_cast<size_t>(key_len > 0 ? key_len : 0));
  SetKey(key.data(), key_len);
  Wipe(key);
  std::vector<uint8_t> iv = RandomBytesBelow255(static_cast<size_t>(block_size_));
  SetInitVector(iv.data(), block_size_);
}

void TAS_SymmCryptography::EncryptBlocks(uint8_t* data, size_t blocks) {
  for (size_t i = 0; i < blocks; ++i) EncryptBlock(data + i * static_cast<size_t>(block_size_));
}

void TAS_SymmCryptography::DecryptBlocks(uint8_t* data, size_t blocks) {
  for (size_t i = 0; i < blocks; ++i) DecryptBlock(data + i * static_cast<size_t>(block_size_));
}

void TAS_SymmCryptography::DoEncrypt(uint8_t* data, size_t size, const std::string& key_hex) {
  Run(data, size, key_hex, true);
}

void TAS_SymmCryptography::DoDecrypt(uint8_t* data, size_t size, const std::string& key_hex) {
  Run(data, size, key_hex, false);
}

void TAS_SymmCryptography::Run(uint8_t* data, size_t size, const std::string& key_hex, bool encrypt) {
  // The key in force before the call comes back afterwards exactly as it was, also when it was
  // unusable (so a per-call key never leaves a usable key behind) and also after an error.
  std::vector<uint8_t> saved_key = key_, saved_schedule = schedule_;
  auto restore = [&] {
    std::swap(key_, saved_key);
    std::swap(schedule_, saved_schedule);
    Wipe(saved_key);
    Wipe(saved_schedule);
    if (OnChangeKey) OnChangeKey(this);
  };
  try {
    if (!key_hex.empty()) SetKeyHexStr(key_hex);
    if (schedule_.empty())
      Error(KitFormat(encrypt ? "%s is not ready to encrypt, must have valid key"
                              : "%s is not ready to decrypt, must have valid key",
                      Name().c_str()));
    BuildKeySchedule();
    uint8_t* work = data;
    if (!cipher_in_place_) {
      std::vector<uint8_t>& out = encrypt ? cipher_output_ : plain_output_;
      Wipe(out);
      out.assign(data, data + size);
      work = out.data();
    }
    Process(work, size, encrypt);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void TAS_SymmCryptography::Process(uint8_t* work, size_t size, bool encrypt) {
  const size_t b = static_cast<size_t>(block_size_);
  // A missing or short vector is extended with zeros for this call; only its first block is used.
  std::vector<uint8_t> r(iv_.begin(), iv_.begin() + static_cast<std::ptrdiff_t>(std::min(iv_.size(), b)));
  r.resize(b, 0);
  const TCipherBlockEvent& before = encrypt ? OnBeforeEncryptBlock : OnBeforeDecryptBlock;
  const TCipherBlockEvent& after = encrypt ? OnAfterEncryptBlock : OnAfterDecryptBlock;
  auto fire = [&](const TCipherBlockEvent& ev, size_t off, size_t n) {
    if (ev) ev(this, work + off, static_cast<uint32_t>(off), static_cast<uint32_t>(n));
  };
  const size_t full = size / b;
  switch (cipher_mode_) {
    case TCipherMode::cmECB:
      if (!before && !after) {
        if (encrypt)
          EncryptBlocks(work, full);
        else
          DecryptBlocks(work, full);
        break;
      }
      for (size_t i = 0; i < full; ++i) {
        fire(before, i * b, b);
        if (encrypt)
          EncryptBlock(work + i * b);
        else
          DecryptBlock(work + i * b);
        fire(after, i * b, b);
      }
      break;
    case TCipherMode::cmCBC: {
      std::vector<uint8_t> c(b);
      for (size_t i = 0; i < full; ++i) {
        uint8_t* blk = work + i * b;
        fire(before, i * b, b);
        if (encrypt) {
          for (size_t k = 0; k < b; ++k) blk[k] ^= r[k];
          EncryptBlock(blk);
          std::memcpy(r.data(), blk, b);
        } else {
          std::memcpy(c.data(), blk, b);
          DecryptBlock(blk);
          for (size_t k = 0; k < b; ++k) blk[k] ^= r[k];
          std::swap(r, c);
        }
        fire(after, i * b, b);
      }
      break;
    }
    case TCipherMode::cmCFB:
      for (size_t off = 0; off < size; off += b) {
        EncryptBlock(r.data());
        size_t n = std::min(b, size - off);
        fire(before, off, n);
        for (size_t k = 0; k < n; ++k) {
          uint8_t in = work[off + k];
          work[off + k] = in ^ r[k];
          r[k] = encrypt ? work[off + k] : in;
        }
        fire(after, off, n);
      }
      break;
    case TCipherMode::cmOFB:
      for (size_t off = 0; off < size; off += b) {
        EncryptBlock(r.data());
        size_t n = std::min(b, size - off);
        for (size_t k = 0; k < n; ++k) work[off + k] ^= r[k];
      }
      break;
  }
  Wipe(r);
}

}  // namespace qv
