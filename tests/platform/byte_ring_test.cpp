#include "platform/rtl/byte_ring.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

std::string Contents(const TByteRing& ring) {
  std::string out(ring.Used(), '\0');
  EXPECT_TRUE(ring.Peek(0, out.data(), out.size()));
  return out;
}

size_t Put(TByteRing& ring, const std::string& text) { return ring.Write(text.data(), text.size()); }

TEST(ByteRing, FillsWrapsAndEmpties) {
  TByteRing ring(5);
  EXPECT_TRUE(ring.Empty());
  EXPECT_EQ(Put(ring, "abc"), 3u);
  ring.Drop(2);
  EXPECT_EQ(Contents(ring), "c");
  // Wraps at the end: "defg" lies as "fg" at the start and "de" at the end.
  EXPECT_EQ(Put(ring, "defgh"), 4u) << "takes only what fits";
  EXPECT_TRUE(ring.Full());
  EXPECT_EQ(ring.Free(), 0u);
  EXPECT_EQ(Contents(ring), "cdefg");
  EXPECT_EQ(Put(ring, "x"), 0u);
  char two[2];
  ASSERT_TRUE(ring.Peek(3, two, 2));
  EXPECT_EQ(std::string(two, 2), "fg");
  EXPECT_FALSE(ring.Peek(4, two, 2)) << "past the data";
  EXPECT_EQ(ring.At(4), 'g');

  TByteSpans data = ring.DataSpans();
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data.First), data.FirstCount), "cde");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data.Second), data.SecondCount), "fg");
  EXPECT_EQ(ring.FreeSpans().Total(), 0u);

  ring.Drop(4);
  EXPECT_FALSE(ring.Full());
  EXPECT_EQ(Contents(ring), "g");
  ring.Drop(9);
  EXPECT_TRUE(ring.Empty());
  EXPECT_FALSE(ring.Full());
  ring.Clear();
  EXPECT_EQ(ring.FreeSpans().FirstCount, 5u) << "a cleared ring starts at its beginning";
}

TEST(ByteRing, FreeSpansTakeDataWrittenInPlace) {
  TByteRing ring(6);
  Put(ring, "abcd");
  ring.Drop(3);  // "d" at index 3; free: 4..5, then 0..2
  TByteSpans room = ring.FreeSpans();
  ASSERT_EQ(room.FirstCount, 2u);
  ASSERT_EQ(room.SecondCount, 3u);
  room.First[0] = 'e';
  room.First[1] = 'f';
  room.Second[0] = 'g';
  ring.Commit(3);
  EXPECT_EQ(Contents(ring), "defg");
  ring.Commit(10);
  EXPECT_TRUE(ring.Full()) << "a commit stops at the capacity";
}

TEST(ByteRing, WithoutCapacityHoldsNothing) {
  TByteRing ring;
  EXPECT_EQ(Put(ring, "a"), 0u);
  EXPECT_TRUE(ring.Empty());
  EXPECT_FALSE(ring.Full());
  EXPECT_EQ(ring.FreeSpans().Total(), 0u);
  EXPECT_EQ(ring.DataSpans().Total(), 0u);
  ring.Drop(1);
  ring.Reset(2);
  EXPECT_EQ(Put(ring, "abc"), 2u);
  ring.Reset(0);
  EXPECT_EQ(ring.Capacity(), 0u);
}

}  // namespace
}  // namespace qv
