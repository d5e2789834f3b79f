#include "controls/sty_int_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

std::vector<int32_t> Values(const TStyIntegerList& l) {
  std::vector<int32_t> v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l[i]);
  return v;
}

TEST(StyIntegerList, RangeIsCheckedOnlyWhenMinAndMaxDiffer) {
  TStyIntegerList l;
  l.Add(-7);
  l.Add(1000);
  EXPECT_EQ(Values(l), (std::vector<int32_t>{-7, 1000}));
  TStyIntegerList r;
  r.SetMax(10);
  r.Add(3);
  try {
    r.Add(11);
    FAIL();
  } catch (const EOutOfRange& e) {
    EXPECT_EQ(e.Message(), "Value must be within 0..10");
  }
  EXPECT_EQ(Values(r), (std::vector<int32_t>{3}));
  EXPECT_THROW(r.PutItem(0, -1), EOutOfRange);
  // A new minimum above a held value is refused and nothing changes.
  try {
    r.SetMin(5);
    FAIL();
  } catch (const EOutOfRange& e) {
    EXPECT_EQ(e.Message(), "Unable to set new minimum value.\rList contains values below 5");
  }
  EXPECT_EQ(r.Min(), 0);
  r.Clear();
  r.SetMin(20);
  EXPECT_EQ(r.Max(), 20);
  r.SetMax(-3);
  EXPECT_EQ(r.Min(), -3);
}

TEST(StyIntegerList, SortedAddFollowsTheDuplicatesRule) {
  struct Case {
    TDuplicates rule;
    std::vector<int32_t> after;
    bool throws;
  } cases[] = {{TDuplicates::dupIgnore, {3, 7}, false},
               {TDuplicates::dupAccept, {3, 7, 7}, false},
               {TDuplicates::dupError, {3, 7}, true}};
  for (const Case& k : cases) {
    TStyIntegerList l;
    l.SetSorted(true);
    l.SetDuplicates(k.rule);
    int first = l.Add(7);
    l.Add(3);
    if (k.throws) {
      EXPECT_THROW(l.Add(7), EListError);
    } else {
      int second = l.Add(7);
      if (k.rule == TDuplicates::dupIgnore) {
        EXPECT_EQ(second, first + 1);  // the 7 moved behind the 3
      }
    }
    EXPECT_EQ(Values(l), k.after);
  }
}

TEST(StyIntegerList, InsertSortAndFind) {
  TStyIntegerList l;
  for (int32_t v : {5, 1, 4, 1, 3}) l.Add(v);
  EXPECT_THROW(l.Insert(6, 0), EListError);
  l.Insert(5, 9);
  l.Sort();
  EXPECT_EQ(Values(l), (std::vector<int32_t>{1, 1, 3, 4, 5, 9}));
  l.SetSorted(true);
  EXPECT_THROW(l.Insert(0, 2), EListError);
  l.Add(2);
  EXPECT_EQ(Values(l), (std::vector<int32_t>{1, 1, 2, 3, 4, 5, 9}));
  EXPECT_EQ(l.IndexOf(4), 4);
  EXPECT_EQ(l.IndexOf(8), -1);
  // Assigning copies the values through Add, so the target's own order applies.
  TStyIntegerList src;
  for (int32_t v : {3, 1, 2}) src.Add(v);
  TStyIntegerList plain, sorted;
  sorted.SetSorted(true);
  plain.Assign(src);
  sorted.Assign(src);
  EXPECT_EQ(Values(plain), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(Values(sorted), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_TRUE(plain.Equals(src));
  EXPECT_THROW(plain.Get(3), EListError);
}

}  // namespace
}  // namespace qv
