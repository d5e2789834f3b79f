#include "platform/os/home_folder.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(HomeFolder, CommandLineWinsAndPathEndsWithSlash) {
  test::TempDir dir;
  EXPECT_EQ(ResolveHomeFolder({"--home", dir.Path() + "h"}), dir.Path() + "h/");
}

TEST(HomeFolder, PrepareCopiesOnlyMissingResources) {
  test::TempDir res, home;
  res.Write("Images/a.bmp", "new");
  res.Write("Quarvel2.ENU", "texts");
  home.Write("Images/a.bmp", "user's own");
  PrepareHomeFolder(home.Path(), res.Path());
  EXPECT_EQ(home.Read("Images/a.bmp"), "user's own");
  EXPECT_EQ(home.Read("Quarvel2.ENU"), "texts");
}

}  // namespace
}  // namespace qv
