#include "datastore/dt_record.h"

#include <cmath>

#include "base/res_string.h"
#include "platform/rtl/byte_order.h"
#include "platform/rtl/exception.h"

namespace qv {

const TValue6 NoValueImage{0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0xE1};
const TValue6 MaxValueImage{0xFF, 0xF5, 0xBB, 0x6A, 0xD8, 0x61};

namespace {
constexpr double kTwo39 = 549755813888.0;  // 2^39
constexpr uint64_t kFractionMask = (uint64_t{1} << 39) - 1;
}  // namespace

TValue6 DoubleToValue6(double x) {
  TValue6 out{};
  if (std::isnan(x) || std::isinf(x)) throw EOverflow("Floating point overflow");
  if (x == 0) return out;
  int e;
  double f = std::frexp(std::fabs(x), &e);  // |x| = f * 2^e, 0.5 <= f < 1
  int biased = e - 1 + 129;
  if (biased <= 0) return out;
  uint64_t m = static_cast<uint64_t>(std::floor((2.0 * f - 1.0) * kTwo39 + 0.5));
  if (m > kFractionMask) {  // the rounding carried into the exponent
    m = 0;
    ++biased;
  }
  if (biased > 255) throw EOverflow("Floating point overflow");
  out[0] = static_cast<uint8_t>(biased);
  for (int i = 0; i < 4; ++i) out[1 + i] = static_cast<uint8_t>(m >> (8 * i));
  out[5] = static_cast<uint8_t>(((m >> 32) & 0x7F) | (std::signbit(x) ? 0x80 : 0));
  return out;
}

// ---- TRecord ----

void TRecord::ReadBlock(TStream& stream, uint8_t* bytes, int32_t count, const std::string& class_name) {
  try {
    stream.ReadBuffer(bytes, count);
  } catch (const EReadError&) {
    throw EReadError(class_name + ".SRead: " + LoadResString("stm_StreamReadError"));
  }
}

void TRecord::WriteBlock(TStream& stream, const uint8_t* bytes, int32_t count, const std::string& class_name) {
  try {
    stream.WriteBuffer(bytes, count);
  } catch (const EWriteError&) {
    throw EWriteError(class_name + ".SWrite: " + LoadResString("stm_StreamWriteError"));
  } catch (const EStreamError&) {
    throw EStreamError(class_name + ".SWrite: " + LoadResString("stm_MemoryStreamError"));
  }
}

int32_t TRecord::SRead(TStream& stream) {
  uint8_t byte;
  for (uint16_t i = 0; i < size_; ++i) ReadBlock(stream, &byte, 1, "TRecord");
  return 1;
}

int32_t TRecord::SWrite(TStream& stream) {
  std::vector<uint8_t> bytes(size_);
  for (uint16_t i = 0; i < size_; ++i) bytes[i] = static_cast<uint8_t>('0' + (i + 1) % 10);
  WriteBlock(stream, bytes.data(), size_, "TRecord");
  return 1;
}

void TRecord::Clear() { throw EAbstractError("Abstract Error"); }

std::unique_ptr<TRecord> TRecord::Clone() const { return std::make_unique<TRecord>(size_); }

void TRecord::Assign(const TRecord&) { throw EAbstractError("Abstract Error"); }

bool TRecord::IsEqual(const TRecord&) const { return true; }

// ---- TTRecord ----

TTRecord::TTRecord(int32_t value_count, uint16_t header_size) : TRecord(0), header_size_(header_size) {
  if (value_count < 1 || value_count > 255)
    throw Exception("TTRecord.Create: invalid ValueCount: " + std::to_string(value_count));
  value_count_ = static_cast<uint8_t>(value_count);
  values_.resize(value_count_);
  size_ = static_cast<uint16_t>(header_size_ + 6 * value_count_);
  TTRecord::Clear();
}

void TTRecord::Clear() {
  Time = -1;
  for (TValue6& v : values_) v = NoValueImage;
}

void TTRecord::Resize(int32_t n, const char* class_name) {
  if (n == value_count_) return;
  if (n < 1 || n > 255)
    throw Exception(std::string(class_name) + ".ChangeValCount: invalid ValueCount: " + std::to_string(n));
  values_.assign(static_cast<size_t>(n), NoValueImage);
  value_count_ = static_cast<uint8_t>(n);
  size_ = static_cast<uint16_t>(header_size_ + 6 * n);
  Clear();
}

void TTRecord::ChangeValCount(int32_t n) { Resize(n, "TTRecord"); }

void TTRecord::PutValues(uint8_t* p) const {
  for (const TValue6& v : values_) {
    for (int i = 0; i < 6; ++i) p[i] = v[static_cast<size_t>(i)];
    p += 6;
  }
}

void TTRecord::GetValuesFrom(const uint8_t* p) {
  for (TValue6& v : values_) {
    for (int i = 0; i < 6; ++i) v[static_cast<size_t>(i)] = p[i];
    p += 6;
  }
}

int32_t TTRecord::SRead(TStream& stream) {
  TImage bytes;
  ReadBlock(stream, bytes.data(), size_, "TTRecord");
  Time = GetLE32s(bytes.data());
  GetValuesFrom(bytes.data() + 4);
  return 1;
}

int32_t TTRecord::SWrite(TStream& stream) {
  TImage bytes;
  PutLE32(bytes.data(), static_cast<uint32_t>(Time));
  PutValues(bytes.data() + 4);
  WriteBlock(stream, bytes.data(), size_, "TTRecord");
  return 1;
}

std::unique_ptr<TRecord> TTRecord::Clone() const {
  auto r = std::make_unique<TTRecord>(value_count_);
  r->Assign(*this);
  return r;
}

void TTRecord::Assign(const TRecord& source) {
  const auto* src = dynamic_cast<const TTRecord*>(&source);
  if (!src) throw Exception("TTRecord.Assign: Type of source not compatible!");
  if (src->value_count_ != value_count_) throw Exception("TTRecord.Assign: Length of record not compatible!");
  Time = src->Time;
  values_ = src->values_;
}

bool TTRecord::IsEqual(const TRecord& other) const {
  const auto* o = dynamic_cast<const TTRecord*>(&other);
  if (!o) throw EInvalidCast("Invalid class typecast");
  // Records of different width are never equal (and reading past the shorter one is no answer).
  if (o->value_count_ != value_count_) return false;
  if (Time != o->Time) return false;
  for (int32_t i = 0; i < value_count_; ++i)
    if (GetValues(i) != o->GetValues(i)) return false;
  return true;
}

bool TTRecord::IsEmpty() const {
  if (Time == -1) return false;
  for (int32_t i = 0; i < value_count_; ++i)
    if (GetValues(i) != NoValue) return false;
  return true;
}

const TValue6& TTRecord::ValueBytes(int32_t index) const {
  if (index < 0 || index >= value_count_)
    throw Exception("TTRecord.GetValues: invalid Index: " + std::to_string(index));
  return values_[static_cast<size_t>(index)];
}

void TTRecord::SetValueBytes(int32_t index, const TValue6& v) {
  if (index < 0 || index >= value_count_)
    throw Exception("TTRecord.SetValues: invalid Index: " + std::to_string(index));
  values_[static_cast<size_t>(index)] = v;
}

bool TTRecord::LargeValueMissing(int32_t index) const {
  const TValue6& v = ValueBytes(index);
  for (size_t i = 1; i < v.size(); ++i)
    if (v[i] != NoValueImage[i]) return GetValues(index) <= NoValue;
  return true;
}

double TTRecord::GetValues(int32_t index) const {
  if (index < 0 || index >= value_count_)
    throw Exception("TTRecord.GetValues: invalid Index: " + std::to_string(index));
  return StoredValue(values_[static_cast<size_t>(index)].data());
}

void TTRecord::SetValues(int32_t index, double x) {
  if (index < 0 || index >= value_count_)
    throw Exception("TTRecord.SetValues: invalid Index: " + std::to_string(index));
  static const double kLow = Value6ToDouble(NoValueImage);
  static const double kHigh = Value6ToDouble(MaxValueImage);
  TValue6& v = values_[static_cast<size_t>(index)];
  if (std::isnan(x) || x >= kHigh)
    v = MaxValueImage;
  else if (x <= NoValue || x <= kLow)
    v = NoValueImage;
  else
    v = DoubleToValue6(x);
}

// ---- TDtRecord ----

TDtRecord::TDtRecord(int32_t value_count) : TTRecord(value_count, 12) { TDtRecord::Clear(); }

void TDtRecord::Clear() {
  TTRecord::Clear();
  Date = 0xFFFF;
}

void TDtRecord::ChangeValCount(int32_t n) {
  if (n == value_count_) return;
  Resize(n, "TDtRecord");
  Date = 0xFFFF;
}

int32_t TDtRecord::SRead(TStream& stream) {
  TImage bytes;
  ReadBlock(stream, bytes.data(), size_, "TDtRecord");
  Date = GetLE16(bytes.data());
  Time = GetLE32s(bytes.data() + 6);
  GetValuesFrom(bytes.data() + 12);
  return 1;
}

int32_t TDtRecord::SWrite(TStream& stream) {
  TImage bytes;
  PutBytes(bytes.data());
  WriteBlock(stream, bytes.data(), size_, "TDtRecord");
  return 1;
}

void TDtRecord::PutBytes(uint8_t* p) const {
  PutLE16(p, Date);
  for (int i : {2, 3, 4, 5, 10, 11}) p[i] = 0;
  PutLE32(p + 6, static_cast<uint32_t>(Time));
  PutValues(p + 12);
}

std::unique_ptr<TRecord> TDtRecord::Clone() const {
  auto r = std::make_unique<TDtRecord>(value_count_);
  r->Assign(*this);
  return r;
}

void TDtRecord::Assign(const TRecord& source) {
  const auto* src = dynamic_cast<const TDtRecord*>(&source);
  if (!src) throw Exception("TDtRecord.Assign: Type of source not compatible!");
  if (src->value_count_ != value_count_) throw Exception("TTRecord.Assign: Length of record not compatible!");
  Date = src->Date;
  TTRecord::Assign(source);
}

bool TDtRecord::IsEqual(const TRecord& other) const {
  const auto* o = dynamic_cast<const TDtRecord*>(&other);
  if (!o) throw EInvalidCast("Invalid class typecast");
  if (o->value_count_ != value_count_) return false;
  if (Time != o->Time || Date != o->Date) return false;
  return TTRecord::IsEqual(other);
}

bool TDtRecord::IsEmpty() const {
  if (Date == 0xFFFF) return false;
  return TTRecord::IsEmpty();
}

}  // namespace qv
