#include "base/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace qv {
namespace {

// Keys as older installations and hand edits leave them: with or without the leading "\", in
// any letter case, a parent key that has no values of its own.
const char kProfile[] =
    "[Software\\Q\\Profile\\SessionMonitors]\r\n"
    "Count=2\r\n"
    "[\\software\\q\\profile\\sessionmonitors\\Monitor0]\r\n"
    "ClassName=TDDTMonitor\r\n"
    "GroupIndex=$64\r\n"
    "Percent=12,5\r\n"
    "Bad=12abc\r\n"
    "Empty=\r\n"
    "[Software\\Q\\Profile\\SessionMonitors\\Monitor0\\Diagram0]\r\n"
    "State=2\r\n";

class RegistryTest : public ::testing::Test {
protected:
  RegistryTest() { dir.Write("Registry.ini", kProfile); }
  test::TempDir dir;
  TRegistry reg{dir.File("Registry.ini")};
};

TEST_F(RegistryTest, KeysOpenFromTheRootOrBelowTheOpenKey) {
  struct Case {
    const char* key;
    bool exists;
    const char* path;  // after opening, when it exists
  };
  const Case cases[] = {
      {"\\Software\\Q\\Profile\\SessionMonitors", true, "Software\\Q\\Profile\\SessionMonitors"},
      {"Monitor0", true, "Software\\Q\\Profile\\SessionMonitors\\Monitor0"},
      {"DIAGRAM0\\", true, "Software\\Q\\Profile\\SessionMonitors\\Monitor0\\DIAGRAM0"},
      {"\\Software\\Q", true, "Software\\Q"},  // only keys below it hold values
      {"\\Software\\Q\\Profile\\Session", false, ""},
      {"\\Software\\Q\\Profile\\SessionMonitors\\Monitor1", false, ""},
  };
  for (const Case& c : cases) {
    const std::string before = reg.CurrentPath();
    EXPECT_EQ(reg.KeyExists(c.key), c.exists) << c.key;
    EXPECT_EQ(reg.OpenKey(c.key, false), c.exists) << c.key;
    // A key that does not open leaves the open one as it was.
    EXPECT_EQ(reg.CurrentPath(), c.exists ? std::string(c.path) : before) << c.key;
  }
  reg.CloseKey();
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.ValueExists("Count"));
}

TEST_F(RegistryTest, ValuesAreReadByTypeAndAWrongTypeRaises) {
  ASSERT_TRUE(reg.OpenKey("\\Software\\Q\\Profile\\SessionMonitors\\Monitor0", false));
  EXPECT_EQ(reg.ReadString("ClassName"), "TDDTMonitor");
  EXPECT_EQ(reg.ReadInteger("GroupIndex"), 100);
  EXPECT_DOUBLE_EQ(reg.ReadFloat("Percent"), 12.5);
  EXPECT_TRUE(reg.ValueExists("Empty"));
  EXPECT_EQ(reg.ReadString("Empty"), "");
  for (const char* name : {"Bad", "Empty", "Missing", "ClassName"})
    EXPECT_THROW(reg.ReadInteger(name), ERegistryException) << name;
  EXPECT_THROW(reg.ReadString("Missing"), ERegistryException);
  EXPECT_THROW(reg.ReadFloat("Bad"), ERegistryException);
}

// The older profile is only read: a key opened with creation is empty and nothing is written.
TEST_F(RegistryTest, CreatingAKeyWritesNothing) {
  EXPECT_TRUE(reg.OpenKey("\\Software\\Q\\Profile\\CustomMonitors", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Q\\Profile\\CustomMonitors");
  EXPECT_FALSE(reg.ValueExists("Count"));
  EXPECT_EQ(dir.Read("Registry.ini"), kProfile);
  TRegistry missing(dir.File("none/Registry.ini"));
  EXPECT_FALSE(missing.KeyExists("\\Software"));
  EXPECT_TRUE(missing.OpenKey("\\Software\\Q", true));
  EXPECT_FALSE(missing.ValueExists("Count"));
}

}  // namespace
}  // namespace qv
