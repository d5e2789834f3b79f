#include <gtest/gtest.h>

#include <typeinfo>

#include "serial/ser_base_component.h"
#include "serial/serial_exception.h"

namespace qv {
namespace {

TEST(SerialBase, SecondsToTicks) {
  struct Case {
    int32_t seconds, ticks;
  } cases[] = {{0, 0}, {1, 18}, {2, 36}, {5, 91}, {120, 2184}, {-1, -18}};
  for (const auto& c : cases) EXPECT_EQ(SecondsToTicks(c.seconds), c.ticks) << c.seconds;
}

TEST(SerialBase, TickTimerExpiresAfterItsTicksAndIsCapped) {
  // Just below the 32-bit millisecond wrap: the 64-bit clock carries on without a jump.
  const uint64_t start = 0xFFFFFFFFull - 4 * 55;
  TTickTimer t;
  StartTickTimer(t, 18, start);
  uint64_t start_tick = start / 55;
  EXPECT_FALSE(TickTimerExpired(t, (start_tick + 18) * 55));
  EXPECT_TRUE(TickTimerExpired(t, (start_tick + 19) * 55));

  StartTickTimer(t, 100000000, 0);
  EXPECT_EQ(t.ExpiryTicks - t.StartTicks, kMaxTimerTicks);
  EXPECT_FALSE(TickTimerExpired(t, uint64_t{kMaxTimerTicks} * 55));
  EXPECT_TRUE(TickTimerExpired(t, uint64_t{kMaxTimerTicks + 1} * 55));
}

TEST(SerialBase, ErrorTexts) {
  EXPECT_EQ(LibraryErrorText(-2008), "ie_Open - device already open");
  EXPECT_EQ(LibraryErrorText(2008), "ie_Open - device already open");
  EXPECT_EQ(LibraryErrorText(-5501), "Start string is empty");
  EXPECT_EQ(LibraryErrorText(0), "OK");
  EXPECT_EQ(LibraryErrorText(-13), "Permission denied");  // no table row: the system's text
  EXPECT_EQ(LibraryErrorText(99999), "");
  EXPECT_EQ(CleanSystemText("Access is denied.\r\n"), "Access is denied. ");
  EXPECT_EQ(CleanSystemText("a\t \tb"), "a b");
}

template <class E>
void ExpectRaises(int code, int error_code, const std::string& text) {
  try {
    RaiseOnError(nullptr, code);
    ADD_FAILURE() << code << " raised nothing";
  } catch (const E& e) {
    EXPECT_EQ(typeid(e), typeid(E)) << code;
    if constexpr (std::is_base_of_v<ESerialException, E> || std::is_same_v<E, EInOutError>) {
      EXPECT_EQ(e.ErrorCode, error_code) << code;
    }
    EXPECT_EQ(e.Message(), text) << code;
  }
}

TEST(SerialBase, RaiseOnErrorMapsCodesToExceptions) {
  EXPECT_EQ(RaiseOnError(nullptr, 5), 5);
  EXPECT_EQ(RaiseOnError(nullptr, 0), 0);
  ExpectRaises<EBadId>(-2001, -2001, "ie_BadId - Specified comport doesn't exist");
  ExpectRaises<EAlreadyOpen>(-2008, -2008, "ie_Open - device already open");
  ExpectRaises<ECommNotOpen>(-2007, -2007, "ie_NOpen - device not open");
  ExpectRaises<ENoPortSelected>(-2011, -2011, "The ComNumber property of the TSerComPort has not been set");
  ExpectRaises<EBadArgument>(-1002, -1002, "Bad argument passed to function");
  ExpectRaises<EOutputBufferTooSmall>(-3006, -3006, "Output buffer too small for block");
  ExpectRaises<EBadTriggerHandle>(-5003, -5003, "Bad trigger handle");
  ExpectRaises<ENoMoreTriggers>(-5001, -5001, "No more trigger slots");
  ExpectRaises<ENullApi>(-3001, -3001, "No device layer specified");
  ExpectRaises<EInOutError>(-5, 5, "File access denied");
  ExpectRaises<EInOutError>(-162, 162, "General failure");
  ExpectRaises<ESerialException>(-9999, 0, "Serial exception");
  ExpectRaises<ESerialException>(-5501, 0, "Serial exception");
  EXPECT_THROW(RaiseOnError(nullptr, -8), EOutOfMemory);

  TSerBaseComponent loading;
  loading.BeginLoading();
  EXPECT_EQ(RaiseOnError(&loading, -2001), -2001);
  EXPECT_EQ(loading.Version(), "v4.06");
}

}  // namespace
}  // namespace qv
