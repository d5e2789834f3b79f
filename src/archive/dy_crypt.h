#pragma once
// The string cipher that protects stored passwords, user parameters and audit lines: triple DES
// (EDE) in ECB mode with the program's fixed key over every whole 8-byte block; a shorter tail
// passes through unchanged, so the result has as many bytes as the input. Callers pass the
// bytes they store (Windows-1252 for the users and audit files).
#include <memory>
#include <mutex>
#include <string>

namespace qv {

class TAS_DESCryptography;
class TAS_Base64Coding;

class TDY_Crypt {
public:
  TDY_Crypt();
  ~TDY_Crypt();
  TDY_Crypt(const TDY_Crypt&) = delete;
  TDY_Crypt& operator=(const TDY_Crypt&) = delete;

  // Upper-case hexadecimal text, two digits per byte.
  std::string Encrypt(const std::string& text);
  // Raises EConvertError for a text that is not hexadecimal.
  std::string Decrypt(const std::string& hex_text);

private:
  std::mutex mutex_;  // guards des_: the recorder's worker enciphers audit lines too; leaf lock
  std::unique_ptr<TAS_DESCryptography> des_;
};

// Created before the program runs; they live to the end of the process.
TDY_Crypt& ArchiveCrypt();
TAS_Base64Coding& Base64Coder();

}  // namespace qv
