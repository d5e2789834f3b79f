#include "base/meas_types.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(MeasTypesTest, EveryNameMapsBackToItsNumber) {
  for (int i = 0; i < MeasTypeCount; ++i) {
    std::string name = MeasTypeName(static_cast<uint8_t>(i));
    EXPECT_LE(name.size(), 15u) << name;
    EXPECT_EQ(MeasTypeFromName(name), i) << name;
  }
  for (int i = 0; i < CalcTypeCount; ++i) EXPECT_EQ(CalcTypeFromName(CalcTypeName(static_cast<uint8_t>(i))), i);
}

TEST(MeasTypesTest, NamesAndFallbacks) {
  struct Case {
    const char* name;
    int meas;  // expected MeasTypeFromName
    int calc;  // expected CalcTypeFromName
  };
  const Case cases[] = {
      {"mtTempCels", 2, 0}, {"mttempcels", 1, 0},  {"", 1, 0},          {"mtRatioGrlb", 23, 0},
      {"mtNone", 0, 0},     {"ctMatHumid", 1, 18}, {"ctZivPres", 1, 4}, {"ctZivDef", 1, 11},
      {"ctNone", 1, 0},     {"ctDewPtC", 1, 5},    {"mtDewPtC", 16, 0}, {"mtTempCels ", 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MeasTypeFromName(c.name), c.meas) << c.name;
    EXPECT_EQ(CalcTypeFromName(c.name), c.calc) << c.name;
  }
  EXPECT_EQ(MeasTypeName(19), "mtCO2ppm");
  EXPECT_EQ(CalcTypeName(13), "ctAWValue");
}

TEST(MeasTypesTest, NumberBeyondTableGivesEmptyName) {
  EXPECT_EQ(MeasTypeName(24), "");
  EXPECT_EQ(MeasTypeName(255), "");
  EXPECT_EQ(CalcTypeName(19), "");
}

}  // namespace
}  // namespace qv
