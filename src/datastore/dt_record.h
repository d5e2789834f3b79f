#pragma once
// Measurement records: a time stamp and 1 to 255 measured values, each stored as a six-byte
// floating-point number. The stream format is the format of every record in a data file and
// in a data set's buffer.
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/stream.h"

namespace qv {

// Six bytes, little-endian: byte 0 the exponent biased by 129 (0 = the value 0), bytes 1 to 5
// a 39-bit fraction with the sign in the top bit of byte 5.
using TValue6 = std::array<uint8_t, 6>;

// Exact: the double is built from the bits (the format's exponents and fractions are all normal
// doubles), the six bytes at p.
constexpr double Value6BitsToDouble(const uint8_t* p) {
  if (p[0] == 0) return 0.0;
  const uint64_t fraction = uint64_t{p[1]} | (uint64_t{p[2]} << 8) | (uint64_t{p[3]} << 16) | (uint64_t{p[4]} << 24) |
                            (uint64_t{p[5] & 0x7Fu} << 32);
  // Exponent byte - 129 + 1023; the 39 fraction bits lead the double's 52.
  return std::bit_cast<double>(uint64_t{p[5] & 0x80u} << 56 | (uint64_t{p[0]} + 894) << 52 | fraction << 13);
}
inline double Value6ToDouble(const TValue6& v) { return Value6BitsToDouble(v.data()); }
// Rounds at the 39th fraction bit, halves away from zero; magnitudes below 2^-128 give 0;
// raises EOverflow for magnitudes beyond the format (and for infinities and NaN).
TValue6 DoubleToValue6(double x);

// The missing value, also the lower bound of every stored value, and the upper bound.
constexpr double NoValue = -1.501e38;
constexpr double MaxValue = 1.501e38;
extern const TValue6 NoValueImage;  // FF F5 BB 6A D8 E1
constexpr uint8_t NoValueExponent = 0xFF;
extern const TValue6 MaxValueImage;  // FF F5 BB 6A D8 61

// The value a record gives for the six stored bytes at p (TTRecord::GetValues): NoValue at or
// below the missing value's image, MaxValue at or above the upper bound's.
inline double StoredValue(const uint8_t* p) {
  constexpr uint8_t low[6] = {0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0xE1};
  constexpr uint8_t high[6] = {0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0x61};
  constexpr double kLow = Value6BitsToDouble(low);
  constexpr double kHigh = Value6BitsToDouble(high);
  const double v = Value6BitsToDouble(p);
  if (v <= kLow) return NoValue;
  if (v >= kHigh) return MaxValue;
  return v;
}
// Whether the six stored bytes at p are a missing value: only the largest magnitudes share the
// missing value's exponent byte.
inline bool StoredValueMissing(const uint8_t* p) { return p[0] == NoValueExponent && StoredValue(p) <= NoValue; }

class TRecord {
public:
  explicit TRecord(uint16_t size) : size_(size) {}
  virtual ~TRecord() = default;

  uint16_t Size() const { return size_; }
  virtual std::string ClassName() const { return "TRecord"; }

  // Both answer 1; stream failures come back with the class's prefix and a translated text.
  virtual int32_t SRead(TStream& stream);
  virtual int32_t SWrite(TStream& stream);
  virtual void Clear();
  virtual std::unique_ptr<TRecord> Clone() const;
  virtual void Assign(const TRecord& source);
  virtual bool IsEqual(const TRecord& other) const;

protected:
  // Reads or writes one block of `bytes`, giving stream failures the prefix of `class_name`.
  static void ReadBlock(TStream& stream, uint8_t* bytes, int32_t count, const std::string& class_name);
  static void WriteBlock(TStream& stream, const uint8_t* bytes, int32_t count, const std::string& class_name);
  // The largest record image: a date record with 255 values. Records are read and written
  // through a block of this size on the stack, not a block allocated per record.
  static constexpr int32_t MaxImageSize = 12 + 6 * 255;
  using TImage = std::array<uint8_t, MaxImageSize>;

  uint16_t size_;
};

class TTRecord : public TRecord {
public:
  // value_count must lie in 1 to 255.
  explicit TTRecord(int32_t value_count) : TTRecord(value_count, 4) {}

  std::string ClassName() const override { return "TTRecord"; }
  int32_t SRead(TStream& stream) override;
  int32_t SWrite(TStream& stream) override;
  void Clear() override;
  std::unique_ptr<TRecord> Clone() const override;
  void Assign(const TRecord& source) override;
  bool IsEqual(const TRecord& other) const override;
  virtual void ChangeValCount(int32_t n);
  virtual bool IsEmpty() const;

  uint8_t ValueCount() const { return value_count_; }
  double GetValues(int32_t index) const;
  void SetValues(int32_t index, double x);
  // The stored six bytes of a value.
  const TValue6& ValueBytes(int32_t index) const;
  // Stores the six bytes of a value as they are (a value of another record of the store).
  void SetValueBytes(int32_t index, const TValue6& v);
  // Whether value index is missing (not above NoValue), decided from its bytes where they suffice:
  // only the largest magnitudes share NoValue's exponent byte, the others are valid at once.
  bool ValueMissing(int32_t index) const {
    if (index < 0 || index >= value_count_) return LargeValueMissing(index);
    const TValue6& v = values_[static_cast<size_t>(index)];
    return v[0] == NoValueExponent && LargeValueMissing(index);
  }

  int32_t Time = -1;  // seconds since midnight, -1 = no time

protected:
  TTRecord(int32_t value_count, uint16_t header_size);
  // ValueMissing for a value with NoValue's exponent byte; raises for a bad index.
  bool LargeValueMissing(int32_t index) const;
  void Resize(int32_t n, const char* class_name);
  void PutValues(uint8_t* p) const;
  void GetValuesFrom(const uint8_t* p);

  uint16_t header_size_;
  uint8_t value_count_ = 0;
  std::vector<TValue6> values_;
};

class TDtRecord : public TTRecord {
public:
  explicit TDtRecord(int32_t value_count);

  std::string ClassName() const override { return "TDtRecord"; }
  int32_t SRead(TStream& stream) override;
  int32_t SWrite(TStream& stream) override;
  void Clear() override;
  std::unique_ptr<TRecord> Clone() const override;
  void Assign(const TRecord& source) override;
  bool IsEqual(const TRecord& other) const override;
  void ChangeValCount(int32_t n) override;
  bool IsEmpty() const override;
  // The record's stream image, as SWrite writes it, into the Size() bytes at p.
  void PutBytes(uint8_t* p) const;

  uint16_t Date = 0xFFFF;  // day number since 1 January 1900, 0xFFFF = no date
};

}  // namespace qv
