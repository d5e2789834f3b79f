#pragma once
// The digest algorithms as incremental engines: Reset, Update any number of times, Final.
// The digest components hash one whole message with them.
#include <cstddef>
#include <cstdint>

namespace qv::digest {

// Shared buffering of the 64-byte-block algorithms (MD4, MD5, SHA-1, RIPEMD-160).
class Block64Engine {
public:
  virtual ~Block64Engine() = default;
  void Update(const uint8_t* data, size_t len);

protected:
  // Pads with 0x80, zeros and the bit length (big- or little-endian) and compresses.
  void Finish(bool big_endian_length);
  virtual void Compress(const uint8_t* blocks, size_t count) = 0;
  void ResetBuffer() {
    buffered_ = 0;
    total_ = 0;
  }

private:
  uint8_t buffer_[64];
  size_t buffered_ = 0;
  uint64_t total_ = 0;
};

class Sha1 : public Block64Engine {
public:
  static constexpr size_t kSize = 20;
  // Whether the processor's SHA instructions are used (when it has them); answers the old
  // setting. Tests run both paths.
  static bool UseShaInstructions(bool use);
  Sha1() { Reset(); }
  void Reset();
  void Final(uint8_t out[kSize]);

private:
  void Compress(const uint8_t* blocks, size_t count) override;
  uint32_t h_[5];
};

class Ripemd160 : public Block64Engine {
public:
  static constexpr size_t kSize = 20;
  Ripemd160() { Reset(); }
  void Reset();
  void Final(uint8_t out[kSize]);

private:
  void Compress(const uint8_t* blocks, size_t count) override;
  uint32_t h_[5];
};

class Md5 : public Block64Engine {
public:
  static constexpr size_t kSize = 16;
  Md5() { Reset(); }
  void Reset();
  void Final(uint8_t out[kSize]);

private:
  void Compress(const uint8_t* blocks, size_t count) override;
  uint32_t h_[4];
};

class Md4 : public Block64Engine {
public:
  static constexpr size_t kSize = 16;
  Md4() { Reset(); }
  void Reset();
  void Final(uint8_t out[kSize]);

private:
  void Compress(const uint8_t* blocks, size_t count) override;
  uint32_t h_[4];
};

class Md2 {
public:
  static constexpr size_t kSize = 16;
  Md2() { Reset(); }
  void Reset();
  void Update(const uint8_t* data, size_t len);
  void Final(uint8_t out[kSize]);

private:
  void Transform(const uint8_t block[16]);
  uint8_t state_[48];
  uint8_t checksum_[16];
  uint8_t buffer_[16];
  size_t buffered_ = 0;
};

}  // namespace qv::digest
