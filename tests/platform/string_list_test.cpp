#include "platform/rtl/string_list.h"

#include <gtest/gtest.h>

#include "platform/rtl/exception.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(StringList, SortedListKeepsOrderAndAppliesDuplicatePolicy) {
  TStringList l;
  l.SetSorted(true);
  l.Add("b");
  l.Add("A");
  l.Add("c");
  EXPECT_EQ(l.Text(), "A\nb\nc\n");
  EXPECT_EQ(l.Add("B"), 1);  // dupIgnore, case-insensitive: the existing entry
  EXPECT_EQ(l.Count(), 3);
  l.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(l.Add("a"), Exception);
  l.SetDuplicates(TDuplicates::dupAccept);
  l.Add("a");
  EXPECT_EQ(l.Count(), 4);
  EXPECT_THROW(l.Insert(0, "x"), Exception);
}

TEST(StringList, IndexErrorsAreExceptionsNotCrashes) {
  TStringList l;
  l.Add("x");
  EXPECT_THROW(l.Get(1), Exception);
  EXPECT_THROW(l.Get(-1), Exception);
  EXPECT_THROW(l.Delete(5), Exception);
}

TEST(StringList, TextCommaTextAndValues) {
  TStringList l;
  l.SetText("a=1\r\nb=2\rc\n");
  ASSERT_EQ(l.Count(), 3);
  EXPECT_EQ(l.Values("B"), "2");
  EXPECT_EQ(l.Names(0), "a");
  l.SetValues("a", "");
  EXPECT_EQ(l.Count(), 2);

  struct Case {
    std::string in;
    std::vector<std::string> items;
  };
  for (const Case& c : {Case{"a,b", {"a", "b"}}, Case{"\"x y\",z", {"x y", "z"}}, Case{"\"q\"\"q\"", {"q\"q"}},
                        Case{"a,", {"a", ""}}, Case{"", {}}}) {
    TStringList t;
    t.SetCommaText(c.in);
    EXPECT_EQ(t.Strings(), c.items) << c.in;
    TStringList back;
    back.SetCommaText(t.CommaText());
    EXPECT_EQ(back.Strings(), c.items) << c.in;
  }
}

TEST(StringList, FileRoundTripReadsLegacyBytesAsWindows1252) {
  test::TempDir dir;
  dir.Write("legacy.txt",
            "Gr\xFC\xDF"
            "e\r\nok\r\n");
  TStringList l;
  l.LoadFromFile(dir.File("legacy.txt"));
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l[0], "Grüße");
  l.SaveToFile(dir.File("out.txt"));
  EXPECT_EQ(dir.Read("out.txt"), "Grüße\nok\n");
  EXPECT_THROW(l.LoadFromFile(dir.File("missing.txt")), Exception);
}

}  // namespace
}  // namespace qv
