#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qv
