#include "sim_config.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qv::sim {
namespace {

TEST(SimConfig, FileAndCommandLineSetTheSameState) {
  test::TempDir dir;
  dir.Write("logger.sim",
            "# a four-slot logger\nkind = 6\nid=0x0BEE\nee=17\nburst\nclock=2024-01-02 03:04:05\nslot3=5\n"
            "samples=50\ngap=10:2\ncurrent=4:1,2,3\nrefuse=?E:3\nbad-crc=cfg:2\nbad-header=0:crc\n");
  SimConfig from_file;
  from_file.LoadFile(dir.File("logger.sim"));
  SimConfig from_args;
  from_args.ParseArgs(
      {"--kind",   "6",    "--id=0x0BEE", "--ee",  "17",           "--burst", "--clock",   "2024-01-02T03:04:05",
       "--slot3",  "5",    "--samples",   "50",    "--gap",        "10:2",    "--current", "4:1,2,3",
       "--refuse", "?E:3", "--bad-crc",   "cfg:2", "--bad-header", "0:crc"});
  for (const SimConfig* c : {&from_file, &from_args}) {
    EXPECT_EQ(c->kind, 6);
    EXPECT_EQ(c->id, 0x0BEE);
    EXPECT_EQ(c->ee, 17);
    EXPECT_TRUE(c->burst);
    ASSERT_TRUE(c->clock);
    EXPECT_EQ(FormatDateTime(*c->clock), "2024-01-02 03:04:05");
    ASSERT_EQ(c->slots.size(), 4u);
    EXPECT_EQ(c->slots[2].type, 5);
    EXPECT_EQ(c->slots[2].min, -70);
    EXPECT_EQ(c->slots[3].type, 3);
    EXPECT_EQ(c->gaps, (std::vector<std::pair<int, int>>{{10, 2}}));
    EXPECT_EQ(c->CurrentOf(4).avg, 3);
    EXPECT_EQ(c->faults.refuse.at("?E"), 3);
    ASSERT_EQ(c->faults.bad_crc.size(), 1u);
    EXPECT_TRUE(c->faults.bad_crc[0].config);
    EXPECT_EQ(c->faults.bad_crc[0].copies, 2);
    EXPECT_EQ(c->TypeCode(), 40);
  }
}

TEST(SimConfig, RefusesBadSettings) {
  const std::vector<std::vector<std::string>> bad = {
      {"--kind", "4"},
      {"--id", "65536"},
      {"--ee", "-1"},
      {"--mode", "fast"},
      {"--clock", "2024-13-01 00:00:00"},
      {"--slot3", "1"},
      {"--slot1", "9"},
      {"--kinds", "8"},
      {"--gap", "3"},
      {"--current", "1:2,3"},
      {"--refuse", "?E:x"},
      {"--bad-crc", "cfg:1:2"},
      {"--bad-header", "1:type:3"},
      {"--colour", "red"},
      {"--samples"},
      {"kind", "5"},
      {"--image", "/nonexistent/image.cfg"},
  };
  for (const auto& args : bad) {
    SimConfig c;
    EXPECT_THROW(c.ParseArgs(args), Exception) << args[0];
  }
}

TEST(SimConfig, LoadedImageDecidesIdentityAndSensors) {
  SimConfig source;
  source.ParseArgs({"--id", "777", "--ee", "25", "--board", "1", "--slot2", "4", "--kinds", "2"});
  Bytes image = source.BuildImage();
  ASSERT_EQ(image.size(), 94u);
  EXPECT_EQ(image[11], 'S');
  test::TempDir dir;
  dir.Write("EEPar.cfg", std::string(image.begin(), image.end()));

  SimConfig c;
  c.ParseArgs({"--image", dir.File("EEPar.cfg")});
  EXPECT_EQ(c.id, 777);
  EXPECT_EQ(c.ee, 25);
  EXPECT_EQ(c.board, 1);
  EXPECT_EQ(c.slots[1].type, 4);
  EXPECT_EQ(c.slots[1].max, 600);
  EXPECT_EQ(c.kinds, 2);
  EXPECT_EQ(c.BuildImage(), image);
  // Settings after the image change it.
  c.ParseArgs({"--id", "778"});
  EXPECT_EQ(GetWord(c.BuildImage(), 47), 778);
  // An image of the wrong length for the kind is refused.
  SimConfig six;
  six.ParseArgs({"--kind", "6"});
  EXPECT_THROW(six.ParseArgs({"--image", dir.File("EEPar.cfg")}), ESimSetting);
}

}  // namespace
}  // namespace qv::sim
