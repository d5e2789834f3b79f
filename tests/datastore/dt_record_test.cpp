#include "datastore/dt_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "platform/rtl/exception.h"

namespace qv {
namespace {

std::string Hex(const TValue6& v) {
  std::string s;
  char buf[4];
  for (uint8_t b : v) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    s += buf;
  }
  s.pop_back();
  return s;
}

TEST(Value6Test, ByteImages) {
  struct Case {
    double x;
    const char* bytes;
  } cases[] = {
      {1.0, "81 00 00 00 00 00"},
      {-1.0, "81 00 00 00 00 80"},
      {0.5, "80 00 00 00 00 00"},
      {3.0, "82 00 00 00 00 40"},
      {0.0, "00 00 00 00 00 00"},
      {-0.0, "00 00 00 00 00 00"},
      {std::ldexp(1.0, -128), "01 00 00 00 00 00"},
      {std::ldexp(1.0, -129), "00 00 00 00 00 00"},
      {std::ldexp(1.999, -129), "00 00 00 00 00 00"},  // judged before rounding
      // Rounding at the 39th fraction bit, halves away from zero, carried into the exponent.
      {1.0 + std::ldexp(1.0, -40), "81 01 00 00 00 00"},
      {1.0 + std::ldexp(1.0, -41), "81 00 00 00 00 00"},
      {2.0 - std::ldexp(1.0, -40), "82 00 00 00 00 00"},
      {-(2.0 - std::ldexp(1.0, -40)), "82 00 00 00 00 80"},
      {std::ldexp(1.0, 126) * 1.5, "FF 00 00 00 00 40"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(DoubleToValue6(c.x)), c.bytes) << c.x;
  EXPECT_EQ(Hex(NoValueImage), "FF F5 BB 6A D8 E1");
  EXPECT_EQ(Hex(MaxValueImage), "FF F5 BB 6A D8 61");
  EXPECT_EQ(Hex(DoubleToValue6(NoValue)), "FF F5 BB 6A D8 E1");
  EXPECT_EQ(Hex(DoubleToValue6(MaxValue)), "FF F5 BB 6A D8 61");
}

TEST(Value6Test, RoundTripsAndOverflow) {
  const double values[] = {1.0, -2.5, 0.1, 1e-30, 123456.789, -9.87654321e37, 3.0e-38, 42.0};
  for (double x : values) {
    double back = Value6ToDouble(DoubleToValue6(x));
    EXPECT_NEAR(back, x, std::fabs(x) * std::ldexp(1.0, -39)) << x;
    EXPECT_EQ(Value6ToDouble(DoubleToValue6(back)), back) << x;  // exact once representable
  }
  EXPECT_THROW(DoubleToValue6(std::ldexp(1.0, 127)), EOverflow);
  EXPECT_THROW(DoubleToValue6(std::ldexp(2.0 - std::ldexp(1.0, -45), 126)), EOverflow);  // by rounding
  EXPECT_THROW(DoubleToValue6(std::numeric_limits<double>::infinity()), EOverflow);
  EXPECT_THROW(DoubleToValue6(std::nan("")), EOverflow);
  EXPECT_EQ(Value6ToDouble(TValue6{0, 1, 2, 3, 4, 5}), 0.0);
}

// The decoder the bit-built one replaced: the same value by scaling the fraction.
double LdexpValue6(const TValue6& v) {
  if (v[0] == 0) return 0.0;
  uint64_t m = uint64_t{v[1]} | (uint64_t{v[2]} << 8) | (uint64_t{v[3]} << 16) | (uint64_t{v[4]} << 24) |
               (uint64_t{v[5] & 0x7Fu} << 32);
  double x = std::ldexp(1.0 + static_cast<double>(m) / 549755813888.0, int{v[0]} - 129);
  return (v[5] & 0x80) ? -x : x;
}

uint64_t Bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// Same bits (a sign of zero or a rounding would show), and the record's view of the bytes (the
// clamped value and the missing test) as the record gives it.
void ExpectDecodedAsBefore(const TValue6& v) {
  ASSERT_EQ(Bits(Value6ToDouble(v)), Bits(LdexpValue6(v))) << Hex(v);
  const double before = LdexpValue6(v);
  const double clamped = before <= LdexpValue6(NoValueImage)    ? NoValue
                         : before >= LdexpValue6(MaxValueImage) ? MaxValue
                                                                : before;
  ASSERT_EQ(Bits(StoredValue(v.data())), Bits(clamped)) << Hex(v);
  ASSERT_EQ(StoredValueMissing(v.data()), clamped <= NoValue) << Hex(v);
  TTRecord r(1);
  r.SetValueBytes(0, v);
  ASSERT_EQ(Bits(r.GetValues(0)), Bits(clamped)) << Hex(v);
  ASSERT_EQ(r.ValueMissing(0), clamped <= NoValue) << Hex(v);
}

TEST(Value6Test, BitBuiltDecoderEqualsTheScalingOne) {
  // Both ends of the exponent, of the fraction and the sign, the bounds and their neighbours.
  const TValue6 edges[] = {
      {0, 0, 0, 0, 0, 0},
      {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      {1, 0, 0, 0, 0, 0},
      {1, 0, 0, 0, 0, 0x80},
      {1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      {0x81, 0, 0, 0, 0, 0},
      {0x81, 1, 0, 0, 0, 0},
      {0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
      {0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      {0xFF, 0, 0, 0, 0, 0},
      {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
      {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      NoValueImage,
      MaxValueImage,
      {0xFF, 0xF4, 0xBB, 0x6A, 0xD8, 0xE1},
      {0xFF, 0xF6, 0xBB, 0x6A, 0xD8, 0xE1},
      {0xFF, 0xF4, 0xBB, 0x6A, 0xD8, 0x61},
      {0xFF, 0xF6, 0xBB, 0x6A, 0xD8, 0x61},
      DoubleToValue6(0.1),
      DoubleToValue6(-273.15),
  };
  for (const TValue6& v : edges) ExpectDecodedAsBefore(v);
  std::mt19937_64 random(48);
  for (int i = 0; i < 200000; ++i) {
    const uint64_t r = random();
    TValue6 v;
    for (int b = 0; b < 6; ++b) v[static_cast<size_t>(b)] = static_cast<uint8_t>(r >> (8 * b));
    ExpectDecodedAsBefore(v);
  }
}

TEST(DtRecordTest, CreateAndEmptiness) {
  TDtRecord r(3);
  EXPECT_EQ(r.Size(), 30);
  EXPECT_EQ(r.Date, 0xFFFF);
  EXPECT_EQ(r.Time, -1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(r.GetValues(i), -1.501e38);
  EXPECT_FALSE(r.IsEmpty());
  r.Date = 100;
  EXPECT_FALSE(r.IsEmpty());
  r.Time = 0;
  EXPECT_TRUE(r.IsEmpty());
  r.SetValues(2, 0.0);
  EXPECT_FALSE(r.IsEmpty());
  EXPECT_EQ(TTRecord(3).Size(), 22);

  for (int n : {0, 256, -1}) {
    try {
      TDtRecord bad(n);
      ADD_FAILURE() << n;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "TTRecord.Create: invalid ValueCount: " + std::to_string(n));
    }
  }
  EXPECT_NO_THROW(TDtRecord(255));
}

TEST(DtRecordTest, ValuesAreClampedToTheBounds) {
  TDtRecord r(1);
  struct Case {
    double x;
    const char* bytes;
    double back;
  } cases[] = {
      {2e38, "FF F5 BB 6A D8 61", 1.501e38},
      {1.501e38, "FF F5 BB 6A D8 61", 1.501e38},
      {1.5009999999999e38, "FF F5 BB 6A D8 61", 1.501e38},
      {std::nan(""), "FF F5 BB 6A D8 61", 1.501e38},
      {std::numeric_limits<double>::infinity(), "FF F5 BB 6A D8 61", 1.501e38},
      {-1e39, "FF F5 BB 6A D8 E1", -1.501e38},
      {-1.501e38, "FF F5 BB 6A D8 E1", -1.501e38},
      {-std::numeric_limits<double>::infinity(), "FF F5 BB 6A D8 E1", -1.501e38},
      {0.0, "00 00 00 00 00 00", 0.0},
      {1e-39, "00 00 00 00 00 00", 0.0},
      {1.0, "81 00 00 00 00 00", 1.0},
  };
  for (const Case& c : cases) {
    r.SetValues(0, c.x);
    EXPECT_EQ(Hex(r.ValueBytes(0)), c.bytes) << c.x;
    EXPECT_EQ(r.GetValues(0), c.back) << c.x;
  }
  for (int i : {-1, 1}) {
    try {
      r.SetValues(i, 1.0);
      ADD_FAILURE();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "TTRecord.SetValues: invalid Index: " + std::to_string(i));
    }
    try {
      r.GetValues(i);
      ADD_FAILURE();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "TTRecord.GetValues: invalid Index: " + std::to_string(i));
    }
  }
}

TEST(DtRecordTest, StreamImagesAndRoundTrip) {
  TDtRecord r(1);
  r.Date = 0x1234;
  r.Time = 3600;
  r.SetValues(0, 1.0);
  TMemoryStream m;
  EXPECT_EQ(r.SWrite(m), 1);
  EXPECT_EQ(m.Bytes(), std::string("\x34\x12\0\0\0\0\x10\x0E\0\0\0\0\x81\0\0\0\0\0", 18));

  // Reserved bytes are ignored on reading.
  std::string dirty = m.Bytes();
  dirty[2] = dirty[5] = dirty[10] = dirty[11] = '\x7F';
  TMemoryStream d;
  d.WriteBuffer(dirty.data(), 18);
  d.SetPosition(0);
  TDtRecord back(1);
  EXPECT_EQ(back.SRead(d), 1);
  EXPECT_TRUE(back.IsEqual(r));
  EXPECT_EQ(d.Position(), 18);

  TTRecord t(2);
  t.Time = -1;
  t.SetValues(1, -2.0);
  TMemoryStream tm;
  t.SWrite(tm);
  EXPECT_EQ(tm.Bytes(), std::string("\xFF\xFF\xFF\xFF\xFF\xF5\xBB\x6A\xD8\xE1\x82\0\0\0\0\x80", 16));
  tm.SetPosition(0);
  TTRecord t2(2);
  t2.SetValues(0, 5.0);
  t2.SRead(tm);
  EXPECT_TRUE(t2.IsEqual(t));

  TRecord base(12);
  TMemoryStream bm;
  base.SWrite(bm);
  EXPECT_EQ(bm.Bytes(), "123456789012");
  bm.SetPosition(0);
  EXPECT_EQ(base.SRead(bm), 1);
  EXPECT_EQ(bm.Position(), 12);
}

TEST(DtRecordTest, ValueBytesCopyAndTheMissingTestAgreeWithTheValues) {
  TDtRecord r(6);
  r.Date = 40000;
  r.Time = 3600;
  const double values[] = {NoValue, -1.5e38, -1e38, 0, 21.5, MaxValue};
  for (int i = 0; i < 6; ++i) r.SetValues(i, values[i]);
  TDtRecord copy(6);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(values[i]);
    EXPECT_EQ(r.ValueMissing(i), r.GetValues(i) <= NoValue);
    copy.SetValueBytes(i, r.ValueBytes(i));
    EXPECT_EQ(copy.GetValues(i), r.GetValues(i));
  }
  EXPECT_TRUE(r.ValueMissing(0));
  EXPECT_FALSE(r.ValueMissing(1));
  // The image PutBytes makes is the one SWrite writes.
  TMemoryStream m;
  r.SWrite(m);
  std::string image(r.Size(), '\x55');
  r.PutBytes(reinterpret_cast<uint8_t*>(image.data()));
  EXPECT_EQ(image, m.Bytes());
  EXPECT_THROW(copy.SetValueBytes(6, NoValueImage), Exception);
}

TEST(DtRecordTest, ShortStreamsGiveReadErrorsAndKeepTheRecord) {
  struct Case {
    size_t bytes;
  } cases[] = {{0}, {1}, {11}, {17}};
  for (const Case& c : cases) {
    TDtRecord full(1);
    full.Date = 7;
    full.Time = 8;
    full.SetValues(0, 9.0);
    TMemoryStream m;
    full.SWrite(m);
    m.SetSize(static_cast<int64_t>(c.bytes));
    m.SetPosition(0);
    TDtRecord r(1);
    r.Date = 1;
    try {
      r.SRead(m);
      ADD_FAILURE() << c.bytes;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), "TDtRecord.SRead: stm_StreamReadError");
    }
    EXPECT_EQ(r.Date, 1);
    EXPECT_EQ(r.Time, -1);
  }
  TMemoryStream empty;
  try {
    TTRecord(1).SRead(empty);
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "TTRecord.SRead: stm_StreamReadError");
  }
  try {
    TRecord(3).SRead(empty);
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "TRecord.SRead: stm_StreamReadError");
  }
}

// A memory stream that cannot grow, and a stream that refuses every write.
class FullMemoryStream : public TMemoryStream {
protected:
  void SetCapacity(int64_t) override { throw EStreamError("Out of memory while expanding memory stream"); }
};
class ReadOnlyStream : public TMemoryStream {
public:
  int32_t Write(const void*, int32_t) override { return 0; }
};

TEST(DtRecordTest, WriteFailuresKeepTheirClass) {
  TDtRecord r(2);
  FullMemoryStream full;
  try {
    r.SWrite(full);
    ADD_FAILURE();
  } catch (const EWriteError&) {
    ADD_FAILURE() << "not a write error";
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.Message(), "TDtRecord.SWrite: stm_MemoryStreamError");
  }
  ReadOnlyStream ro;
  for (TRecord* rec : std::initializer_list<TRecord*>{&r}) {
    try {
      rec->SWrite(ro);
      ADD_FAILURE();
    } catch (const EWriteError& e) {
      EXPECT_EQ(e.Message(), "TDtRecord.SWrite: stm_StreamWriteError");
    }
  }
  try {
    TTRecord(1).SWrite(ro);
    ADD_FAILURE();
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "TTRecord.SWrite: stm_StreamWriteError");
  }
}

TEST(DtRecordTest, CloneAssignAndEquality) {
  TDtRecord r(2);
  r.Date = 5;
  r.Time = 6;
  r.SetValues(0, 1.25);
  auto c = r.Clone();
  ASSERT_NE(dynamic_cast<TDtRecord*>(c.get()), nullptr);
  EXPECT_TRUE(r.IsEqual(*c));
  EXPECT_EQ(dynamic_cast<TDtRecord&>(*c).Date, 5);

  TTRecord t(2);
  auto tc = t.Clone();
  EXPECT_EQ(dynamic_cast<TDtRecord*>(tc.get()), nullptr);
  EXPECT_EQ(tc->Size(), 16);
  EXPECT_EQ(TRecord(7).Clone()->Size(), 7);

  struct Case {
    const TRecord* source;
    TTRecord* target;
    const char* message;
  };
  TDtRecord three(3);
  TTRecord tt(2);
  TRecord plain(4);
  TDtRecord target(2);
  TTRecord ttarget(2);
  const Case cases[] = {
      {&tt, &target, "TDtRecord.Assign: Type of source not compatible!"},
      {&three, &target, "TTRecord.Assign: Length of record not compatible!"},
      {&plain, &ttarget, "TTRecord.Assign: Type of source not compatible!"},
      {&three, &ttarget, "TTRecord.Assign: Length of record not compatible!"},
  };
  for (const Case& k : cases) {
    try {
      k.target->Assign(*k.source);
      ADD_FAILURE() << k.message;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), k.message);
    }
    EXPECT_EQ(k.target->Time, -1);  // unchanged
  }
  target.Assign(r);
  EXPECT_TRUE(target.IsEqual(r));
  ttarget.Assign(r);  // a TDtRecord is a TTRecord
  EXPECT_EQ(ttarget.Time, 6);

  TDtRecord other = TDtRecord(2);
  other.Assign(r);
  other.Date = 9;
  EXPECT_FALSE(other.IsEqual(r));
  other.Date = 5;
  other.SetValues(1, 3.0);
  EXPECT_FALSE(other.IsEqual(r));
  EXPECT_FALSE(r.IsEqual(three));  // different widths never compare equal
  EXPECT_THROW(r.IsEqual(plain), EInvalidCast);
  EXPECT_THROW(r.IsEqual(tt), EInvalidCast);
  EXPECT_TRUE(plain.IsEqual(r));
}

TEST(DtRecordTest, ChangeValCount) {
  TDtRecord r(2);
  r.Date = 1;
  r.Time = 2;
  r.SetValues(0, 3.0);
  r.ChangeValCount(2);
  EXPECT_EQ(r.GetValues(0), 3.0);
  r.ChangeValCount(4);
  EXPECT_EQ(r.Size(), 36);
  EXPECT_EQ(r.ValueCount(), 4);
  EXPECT_EQ(r.Date, 0xFFFF);
  EXPECT_EQ(r.Time, -1);
  EXPECT_EQ(r.GetValues(0), NoValue);
  for (int n : {0, 256}) {
    try {
      r.ChangeValCount(n);
      ADD_FAILURE();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "TDtRecord.ChangeValCount: invalid ValueCount: " + std::to_string(n));
    }
  }
  EXPECT_EQ(r.ValueCount(), 4);
  TTRecord t(1);
  try {
    t.ChangeValCount(0);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "TTRecord.ChangeValCount: invalid ValueCount: 0");
  }
  t.ChangeValCount(3);
  EXPECT_EQ(t.Size(), 22);
}

}  // namespace
}  // namespace qv
