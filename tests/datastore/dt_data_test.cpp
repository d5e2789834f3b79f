#include "datastore/dt_data.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <functional>
#include <random>
#include <thread>

#include "datastore/data_file.h"
#include "datastore/data_fixture.h"

namespace qv {
namespace {

using test::At;
using test::Rec;
using test::TMemDtData;
using test::Walk;

constexpr double kNo = NoValue;
using Strings = std::vector<std::string>;

// One value; E is a record whose values are all missing.
TDtRecord V(int minute, double v) { return Rec(At(10, minute), {v}, 1); }
TDtRecord E(int minute) { return Rec(At(10, minute), {}, 1); }

TEST(CheckInsertTest, DecisionTable) {
  struct Case {
    const char* what;
    std::optional<TDtRecord> before, after;
    TDtRecord rec;
    uint8_t flags;
    TInsertDecision decision;
    bool over_before;
  } cases[] = {
      {"end: later", V(10, 1), {}, V(11, 2), 0, idWrite, false},
      {"end: identical", V(10, 1), {}, V(10, 1), 0, idIdentical, false},
      {"end: behind an empty record", E(10), {}, V(10, 2), 0, idWrite, false},
      {"end: empty not needed", V(10, 1), {}, E(10), 0, idNotNeeded, false},
      {"end: merge", V(10, 1), {}, V(10, 2), dfMerge | dfPermitOverwrite, idMerge, true},
      {"end: overwrite", V(10, 1), {}, V(10, 2), dfPermitOverwrite, idWriteOver, true},
      {"end: tie refused", V(10, 1), {}, V(10, 2), dfPermitInsert, idRefused, false},
      {"end: earlier", V(10, 1), {}, V(9, 2), 0, idStepBack, false},
      {"start: later", {}, V(10, 1), V(11, 2), 0, idStepForward, false},
      {"start: identical", {}, V(10, 1), V(10, 1), 0, idIdentical, false},
      {"start: behind an empty record", {}, E(10), V(10, 2), 0, idStepForward, false},
      {"start: empty not needed", {}, V(10, 1), E(10), 0, idNotNeeded, false},
      {"start: merge", {}, V(10, 1), V(10, 2), dfMerge, idMerge, false},
      {"start: overwrite", {}, V(10, 1), V(10, 2), dfPermitOverwrite, idWriteOver, false},
      {"start: tie refused", {}, V(10, 1), V(10, 2), 0, idRefused, false},
      {"start: earlier always stored", {}, V(10, 1), V(9, 2), 0, idWrite, false},
      {"between: later than after", V(10, 1), V(20, 1), V(21, 2), 0, idStepForward, false},
      {"between: earlier than before", V(10, 1), V(20, 1), V(9, 2), 0, idStepBack, false},
      {"between: identical to after", V(10, 1), V(20, 1), V(20, 1), 0, idIdentical, false},
      {"between: tie with after refused", V(10, 1), V(20, 1), V(20, 2), 0, idRefused, false},
      {"between: overwrite after", V(10, 1), V(20, 1), V(20, 2), dfPermitOverwrite, idWriteOver, false},
      {"between: merge into after", V(10, 1), V(20, 1), V(20, 2), dfMerge, idMerge, false},
      {"between: behind an empty after", V(10, 1), E(20), V(20, 2), 0, idStepForward, false},
      {"between: empty equal to after", V(10, 1), V(20, 1), E(20), 0, idNotNeeded, false},
      {"between: identical to before", V(10, 1), V(20, 1), V(10, 1), 0, idIdentical, false},
      {"between: over an empty before", E(10), V(20, 1), V(10, 2), dfPermitOverwrite, idWriteOver, true},
      {"between: behind an empty before, insert permitted", E(10), V(20, 1), V(10, 2), dfPermitInsert, idWrite, false},
      {"between: behind an empty before, empty after", E(10), E(20), V(10, 2), 0, idWrite, false},
      {"between: behind an empty before refused", E(10), V(20, 1), V(10, 2), dfMerge, idRefused, false},
      {"between: empty equal to before", V(10, 1), V(20, 1), E(10), 0, idNotNeeded, false},
      {"between: merge into before", V(10, 1), V(20, 1), V(10, 2), dfMerge, idMerge, true},
      {"between: overwrite before", V(10, 1), V(20, 1), V(10, 2), dfPermitOverwrite, idWriteOver, true},
      {"between: tie with before refused", V(10, 1), V(20, 1), V(10, 2), dfPermitInsert, idRefused, false},
      {"between: insert permitted", V(10, 1), V(20, 1), V(15, 2), dfPermitInsert, idWrite, false},
      {"between: in front of an empty record", V(10, 1), E(20), V(15, 2), 0, idWrite, false},
      {"between: insert refused", V(10, 1), V(20, 1), V(15, 2), dfPermitOverwrite | dfMerge, idRefused, false},
  };
  for (const Case& c : cases) {
    bool over_before = !c.over_before;
    TInsertDecision d = TDtData::CheckInsert(c.before ? &*c.before : nullptr, c.after ? &*c.after : nullptr, c.rec,
                                             c.flags, over_before);
    EXPECT_EQ(d, c.decision) << c.what;
    if (d == idWriteOver || d == idMerge) {
      EXPECT_EQ(over_before, c.over_before) << c.what;
    }
  }
}

TEST(FindInsertPlaceTest, SearchTable) {
  // Stored records at the minutes given (value 1 each, E: empty); the new record has value 2
  // unless it is identical. The hint is where the search starts.
  struct Case {
    const char* what;
    std::vector<TDtRecord> stored;
    TDtRecord rec;
    int64_t hint;
    uint8_t flags;
    TInsertPlace place;
    int checks;  // how often the neighbours had to be read
  } cases[] = {
      {"empty store", {}, V(5, 2), 3, 0, {0, idWrite, false}, 0},
      {"append from the end", {V(1, 1), V(2, 1)}, V(3, 2), 2, 0, {2, idWrite, false}, 0},
      {"append from the start", {V(1, 1), V(2, 1)}, V(3, 2), 0, 0, {2, idWrite, false}, 0},
      {"hint past the end", {V(1, 1), V(2, 1)}, V(3, 2), 9, 0, {2, idWrite, false}, 0},
      {"in front of the first, from the end", {V(1, 1), V(2, 1)}, V(0, 2), 2, 0, {0, idWrite, false}, 0},
      {"between two, not permitted", {V(1, 1), V(3, 1)}, V(2, 2), 2, 0, {1, idRefused, false}, 1},
      {"between two, permitted", {V(1, 1), V(3, 1)}, V(2, 2), 0, dfPermitInsert, {1, idWrite, false}, 1},
      {"tie with the last, overwrite", {V(1, 1), V(2, 1)}, V(2, 2), 2, dfPermitOverwrite, {2, idWriteOver, true}, 1},
      {"tie from the start, merge", {V(1, 1), V(2, 1), V(4, 1)}, V(2, 2), 0, dfMerge, {1, idMerge, false}, 1},
      {"identical", {V(1, 1), V(2, 1)}, V(1, 1), 2, 0, {1, idIdentical, false}, 1},
      {"behind an empty record with the same stamp", {V(1, 1), E(2), V(3, 1)}, V(2, 2), 3, 0, {2, idRefused, false}, 1},
      {"behind the empty record at the end", {V(1, 1), E(2)}, V(2, 2), 0, 0, {2, idWrite, false}, 2},
  };
  for (const Case& c : cases) {
    int checks = 0;
    const TInsertPlace place = FindInsertPlace(
        TDtStamp{c.rec.Date, c.rec.Time}, static_cast<int64_t>(c.stored.size()), c.hint,
        [&](int64_t i) {
          return TDtStamp{c.stored[i].Date, c.stored[i].Time};
        },
        [&](int64_t i, bool& over_before) {
          ++checks;
          const TDtRecord* before = i > 0 ? &c.stored[i - 1] : nullptr;
          const TDtRecord* after = i < static_cast<int64_t>(c.stored.size()) ? &c.stored[i] : nullptr;
          return TDtData::CheckInsert(before, after, c.rec, c.flags, over_before);
        });
    EXPECT_EQ(place.Index, c.place.Index) << c.what;
    EXPECT_EQ(place.Decision, c.place.Decision) << c.what;
    if (place.Decision == idWriteOver || place.Decision == idMerge) {
      EXPECT_EQ(place.OverBefore, c.place.OverBefore) << c.what;
    }
    EXPECT_EQ(checks, c.checks) << c.what;
  }
}

class DtDataTest : public ::testing::Test {
protected:
  DtDataTest() : rec_(2), data_(&rec_) { EXPECT_EQ(data_.NewBuffer(), drDone); }
  int32_t Insert(const TDtRecord& r) {
    TDtRecord copy(2);
    copy.Assign(r);
    return data_.InsertRecord(copy);
  }

  TDtRecord rec_;
  TMemDtData data_;
};

TDtRecord R(int minute, std::vector<double> values) { return Rec(At(10, minute), std::move(values)); }

TEST_F(DtDataTest, InsertKeepsTimeOrderUnderTheFlags) {
  struct Step {
    TDtRecord rec;
    int32_t result;
  };
  struct Case {
    const char* what;
    uint8_t flags;
    std::vector<Step> steps;
    Strings walk;
  } cases[] = {
      {"ascending",
       0,
       {{R(0, {1, 2}), 1}, {R(1, {3, 4}), 1}, {R(2, {5, 6}), 1}},
       {"10:00:00=1/2", "10:01:00=3/4", "10:02:00=5/6"}},
      {"same stamp as the last refused",
       0,
       {{R(0, {1, 2}), 1}, {R(1, {3, 4}), 1}, {R(1, {7, 8}), 603}},
       {"10:00:00=1/2", "10:01:00=3/4"}},
      {"same stamp as the last replaces",
       dfPermitOverwrite,
       {{R(0, {1, 2}), 1}, {R(1, {3, 4}), 1}, {R(1, {7, 8}), 1}},
       {"10:00:00=1/2", "10:01:00=7/8"}},
      {"merge fills missing values only",
       dfMerge,
       {{R(0, {1, kNo}), 1}, {R(0, {kNo, 2}), 1}, {R(0, {5, 6}), 1}, {R(1, {kNo, 3}), 1}, {R(1, {4, kNo}), 1}},
       {"10:00:00=1/2", "10:01:00=4/3"}},
      {"behind a stored empty record", 0, {{R(0, {}), 1}, {R(0, {1, 2}), 1}}, {"10:00:00=-/-", "10:00:00=1/2"}},
      {"between two records refused",
       0,
       {{R(0, {1, 1}), 1}, {R(2, {2, 2}), 1}, {R(1, {3, 3}), 603}},
       {"10:00:00=1/1", "10:02:00=2/2"}},
      {"between two records permitted",
       dfPermitInsert,
       {{R(0, {1, 1}), 1}, {R(2, {2, 2}), 1}, {R(1, {3, 3}), 1}},
       {"10:00:00=1/1", "10:01:00=3/3", "10:02:00=2/2"}},
      {"in front of an empty record",
       0,
       {{R(0, {1, 1}), 1}, {R(2, {}), 1}, {R(1, {3, 3}), 1}},
       {"10:00:00=1/1", "10:01:00=3/3", "10:02:00=-/-"}},
      {"earlier than all",
       0,
       {{R(5, {1, 1}), 1}, {R(6, {2, 2}), 1}, {R(1, {3, 3}), 1}},
       {"10:01:00=3/3", "10:05:00=1/1", "10:06:00=2/2"}},
      {"empty record not needed", 0, {{R(0, {1, 1}), 1}, {R(0, {}), 1}}, {"10:00:00=1/1"}},
      {"identical", 0, {{R(0, {1, 1}), 1}, {R(0, {1, 1}), 1}}, {"10:00:00=1/1"}},
      {"no time stamp", 0, {{Rec(TDtStamp{test::kDay, -1}, {1, 1}), 3}, {Rec(TDtStamp{NoDayNo, 0}, {1, 1}), 3}}, {}},
      {"out of order",
       dfPermitInsert,
       {{R(20, {1, 1}), 1}, {R(0, {2, 2}), 1}, {R(10, {3, 3}), 1}, {R(30, {4, 4}), 1}, {R(5, {5, 5}), 1}},
       {"10:00:00=2/2", "10:05:00=5/5", "10:10:00=3/3", "10:20:00=1/1", "10:30:00=4/4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(data_.NewBuffer(), drDone);
    data_.Flags = c.flags;
    for (const Step& s : c.steps) EXPECT_EQ(Insert(s.rec), s.result) << test::Text({s.rec.Date, s.rec.Time});
    EXPECT_EQ(Walk(data_), c.walk);
  }
}

TEST_F(DtDataTest, UnchangedRecordsLeaveTheBufferUnmodified) {
  data_.Flags = dfMerge;
  Insert(R(0, {1, 2}));
  ASSERT_EQ(data_.Flush(), drDone);
  for (const TDtRecord& r : {R(0, {1, 2}), R(0, {}), R(0, {5, 6})}) {
    EXPECT_EQ(Insert(r), drDone);
    EXPECT_FALSE(data_.Modified());
  }
  data_.Flags = 0;
  EXPECT_EQ(Insert(R(0, {5, 6})), drNotPermitted);
  EXPECT_FALSE(data_.Modified());
  EXPECT_EQ(data_.AppendPos(), -1);
}

TEST_F(DtDataTest, FirstRecordIsWrittenLikeAnyOther) {
  Insert(R(0, {1, 2}));
  EXPECT_TRUE(data_.Modified());
  EXPECT_EQ(data_.AppendPos(), 0);
  EXPECT_EQ(data_.Flush(), drDone);
  EXPECT_EQ(data_.stored.size(), rec_.Size());
  EXPECT_EQ(data_.AppendPos(), -1);
}

TEST_F(DtDataTest, AppendPositionMarksWhatIsNotWritten) {
  for (int m : {0, 10, 20}) Insert(R(m, {1, 1}));
  ASSERT_EQ(data_.Flush(), drDone);
  data_.SelectWindow(3);
  EXPECT_TRUE(Walk(data_).empty());
  for (int m : {30, 40}) Insert(R(m, {2, 2}));
  EXPECT_EQ(Walk(data_), (Strings{"10:30:00=2/2", "10:40:00=2/2"}));
  data_.Flags = dfPermitInsert;
  Insert(R(15, {3, 3}));
  EXPECT_EQ(Walk(data_), (Strings{"10:15:00=3/3", "10:20:00=1/1", "10:30:00=2/2", "10:40:00=2/2"}));
  // A modified record counts from its own position.
  ASSERT_EQ(data_.Flush(), drDone);
  data_.SelectWindow(0);
  {
    TDataLock lock(data_);
    ASSERT_TRUE(data_.First());
    ASSERT_TRUE(data_.Next());
    data_.DtRec()->SetValues(0, 9);
    data_.ModifyRecord();
  }
  data_.SelectWindow(3);
  EXPECT_EQ(Walk(data_).front(), "10:10:00=9/1");
  EXPECT_EQ(Walk(data_).size(), 5u);
}

TEST_F(DtDataTest, OldestAndNewestFollowTheRecords) {
  data_.Flags = dfPermitOverwrite;
  EXPECT_TRUE(DtStampEqual(data_.GetNewestDt(), NoDtStamp));
  for (const TDtRecord& r : {R(10, {1, 1}), R(0, {2, 2}), R(20, {3, 4}), R(20, {5, 6})}) Insert(r);
  EXPECT_EQ(test::Text(data_.OldestDt), "10:00:00");
  EXPECT_EQ(test::Text(data_.GetNewestDt()), "10:20:00");
  EXPECT_EQ(data_.GetNewestValue(1), 6);
  EXPECT_EQ(test::Text(data_.RangeStart), "10:00:00");
  EXPECT_EQ(test::Text(data_.RangeStop), "10:20:00");
}

TEST_F(DtDataTest, GotoDtFindsTheFirstRecordAtOrAfter) {
  for (int m : {0, 10, 20}) Insert(R(m, {1, 1}));
  TDataLock lock(data_);
  const int32_t s = rec_.Size();
  EXPECT_TRUE(data_.GotoDt(At(10, 5), true));
  EXPECT_EQ(data_.CurPos(), s);
  EXPECT_TRUE(data_.GotoDt(At(10, 10), false)) << "the record last read counts";
  EXPECT_EQ(data_.CurPos(), s);
  EXPECT_TRUE(data_.GotoDt(At(9, 0), false)) << "searching on from there";
  EXPECT_EQ(data_.CurPos(), s);
  EXPECT_TRUE(data_.GotoDt(At(9, 0), true));
  EXPECT_EQ(data_.CurPos(), 0);
  EXPECT_FALSE(data_.GotoDt(At(10, 21), true));
  EXPECT_EQ(data_.CurPos(), DataPosMax);
}

TEST_F(DtDataTest, MisuseRaisesTheFixedTexts) {
  TTRecord plain(2);
  EXPECT_EQ(test::DataErrorText([&] { TMemDtData d(&plain); }), "Error in TDtData.Create: Rec must be a TDtRecord!");
  TDtRecord r = R(0, {1, 1});
  EXPECT_EQ(test::DataErrorText([&] { data_.AppendRecord(r); }),
            "Error in TDtData: Operation AppendRecord not permitted!");
  EXPECT_EQ(test::DataErrorText([&] { data_.SetPositions(true, -1); }), "Error in TDtData.SetPositions: StartPos < 0");
  TDtRecord wide = Rec(At(10, 0), {1, 2, 3}, 3);
  EXPECT_EQ(test::DataErrorText([&] { data_.InsertRecord(wide); }),
            "Error in TDtData.InsertRecord: record size differs");
  data_.FreeBuffer();
  EXPECT_EQ(test::DataErrorText([&] { data_.InsertRecord(r); }), "Error in TDtData.InsertRecord: FBuffer = nil");
  EXPECT_EQ(test::DataErrorText([&] { data_.OpenDT(At(11, 0), At(10, 0), NoDtStamp, NoDtStamp); }),
            "Error in TDtData.OpenDT: Start after Stop!");
}

// ---- windows ----

class DtWindowTest : public DtDataTest {
protected:
  // Stores the records as the "file" and opens window 1 over [start1, stop1].
  void Open(const std::vector<TDtRecord>& records, TDtStamp start1, TDtStamp stop1, TDtStamp start2 = NoDtStamp,
            TDtStamp stop2 = NoDtStamp) {
    ASSERT_EQ(data_.NewBuffer(), drDone);
    data_.stored.clear();
    data_.Flags = dfPermitInsert;
    for (const TDtRecord& r : records) Insert(r);
    ASSERT_EQ(data_.Flush(), drDone);
    ASSERT_EQ(data_.OpenDT(start1, stop1, start2, stop2), drDone);
  }
  // The first and last record of the window and its count.
  std::string Span(uint8_t window) {
    data_.SelectWindow(window);
    TDataLock lock(data_);
    if (!data_.GotoFirst()) return "none";
    data_.RestorePosition();
    data_.Next();
    std::string first = test::Text({data_.DtRec()->Date, data_.DtRec()->Time});
    data_.GotoLast();
    data_.RestorePosition();
    data_.Next();
    return first + ".." + test::Text({data_.DtRec()->Date, data_.DtRec()->Time}) + " (" +
           std::to_string(data_.RecordCount()) + ")";
  }
};

TDtRecord H(int hh, int mm, std::vector<double> values = {1, 1}) { return Rec(At(hh, mm), std::move(values)); }

TEST_F(DtWindowTest, WindowsWithAndWithoutEdges) {
  const std::vector<TDtRecord> records = {H(9, 50), H(10, 10), H(10, 50), H(11, 5), H(11, 20)};
  struct Case {
    const char* what;
    std::vector<TDtRecord> records;
    bool edges;
    TDtStamp start, stop;
    std::string span;
  } cases[] = {
      {"with edges", records, true, At(10, 0), At(11, 0), "09:50:00..11:05:00 (4)"},
      {"without edges", records, false, At(10, 0), At(11, 0), "10:10:00..10:50:00 (2)"},
      {"records at both ends, with edges", records, true, At(9, 50), At(11, 20), "09:50:00..11:20:00 (5)"},
      {"records at both ends", records, false, At(9, 50), At(11, 20), "09:50:00..11:20:00 (5)"},
      {"stop one second before a record", records, false, At(10, 10), At(11, 4, 59), "10:10:00..10:50:00 (2)"},
      {"no record inside", records, true, At(10, 11), At(10, 49), "none"},
      {"before all records", records, true, At(8, 0), At(9, 0), "none"},
      {"after all records", records, true, At(12, 0), At(13, 0), "none"},
      {"open towards the end", records, true, At(11, 0), At(12, 0), "10:50:00..11:20:00 (3)"},
      {"one record", {H(10, 30)}, true, At(10, 0), At(11, 0), "10:30:00..10:30:00 (1)"},
      {"empty buffer", {}, true, At(10, 0), At(11, 0), "none"},
      // An empty record starts a recording: the record before it is no edge.
      {"empty first record",
       {H(9, 50), H(10, 10, {}), H(10, 50)},
       true,
       At(10, 0),
       At(11, 0),
       "10:10:00..10:50:00 (2)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    data_.WithEdges1 = c.edges;
    Open(c.records, c.start, c.stop);
    EXPECT_EQ(Span(1), c.span);
    EXPECT_EQ(Span(2), "none") << "window 2 not set";
    EXPECT_EQ(data_.StartPos(2), -1);
  }
}

TEST_F(DtWindowTest, NextAlsoReadsTheRecordAtTheWindowsEnd) {
  data_.WithEdges1 = false;
  Open({H(9, 50), H(10, 10), H(10, 50), H(11, 5), H(11, 20)}, At(10, 0), At(11, 0));
  data_.SelectWindow(1);
  EXPECT_EQ(Walk(data_), (Strings{"10:10:00=1/1", "10:50:00=1/1", "11:05:00=1/1"}));
}

TEST_F(DtWindowTest, OpenDtLimitsTheRangeToOneYear) {
  test::TRecordingMsgHandler handler;
  auto day = [](int d, int m, int y, int hh = 0, int mm = 0, int ss = 0) {
    return TDtStamp{DateToDayNo(d, m, y), hh * 3600 + mm * 60 + ss};
  };
  struct Case {
    const char* what;
    TDtStamp start1, stop1, start2, stop2;
    TDtStamp want_stop1, want_stop2;
    bool warned;
  } cases[] = {
      {"more than a year", day(1, 3, 2006), day(10, 3, 2007), NoDtStamp, NoDtStamp, day(28, 2, 2007, 23, 59, 59),
       NoDtStamp, true},
      {"from 29 February", day(29, 2, 2008, 12), day(1, 3, 2009), NoDtStamp, NoDtStamp, day(28, 2, 2009, 11, 59, 59),
       NoDtStamp, true},
      {"exactly a year less a second", day(1, 3, 2006), day(28, 2, 2007, 23, 59, 59), NoDtStamp, NoDtStamp,
       day(28, 2, 2007, 23, 59, 59), NoDtStamp, false},
      {"window 2 holds the later stop", day(1, 3, 2006), day(2, 3, 2006), day(1, 6, 2006), day(1, 6, 2007),
       day(2, 3, 2006), day(28, 2, 2007, 23, 59, 59), true},
      {"window 2 without a start is not set", day(1, 3, 2006), day(2, 3, 2006), TDtStamp{DateToDayNo(1, 6, 2006), -1},
       day(1, 6, 2007), day(2, 3, 2006), NoDtStamp, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    handler.lines.clear();
    ASSERT_EQ(data_.OpenDT(c.start1, c.stop1, c.start2, c.stop2), drDone);
    EXPECT_TRUE(DtStampEqual(data_.StopDt(1), c.want_stop1));
    EXPECT_TRUE(DtStampEqual(data_.StopDt(2), c.want_stop2));
    EXPECT_EQ(data_.WindowSet(2), !DtStampEqual(c.want_stop2, NoDtStamp));
    EXPECT_EQ(handler.lines, c.warned ? Strings{"dat_InvalidTimeRange/1/error/time"} : Strings{});
  }
}

// Whatever the order of inserts, the windows keep the positions that a new search finds.
TEST_F(DtWindowTest, InsertsKeepTheWindowInvariant) {
  std::mt19937 random(7);
  const int minutes[] = {-70, -1, 0, 1, 29, 30, 59, 60, 61, 119, 120, 121, 150};
  for (int round = 0; round < 300; ++round) {
    data_.WithEdges1 = round % 2 == 0;
    data_.WithEdges2 = round % 3 == 0;
    Open({}, At(10, 0), At(11, 0), At(10, 30), At(12, 0));
    data_.Flags = static_cast<uint8_t>(random() % 4);
    for (int i = 0; i < 40; ++i) {
      int m = minutes[random() % std::size(minutes)];
      int secs = random() % 3 == 0 ? 0 : static_cast<int>(random() % 2);
      TDtStamp t = At(10, 0);
      IncDtStampSecs(t, m * 60 + secs);
      bool empty = random() % 5 == 0;
      TDtRecord r = Rec(t, empty ? std::vector<double>{} : std::vector<double>{double(random() % 9), 1});
      TDataLock lock(data_);
      // Inserts start from wherever the last read left the stream.
      if (random() % 2 && data_.BufferSize() > 0) {
        data_.SelectWindow(0);
        data_.GotoFirst();
        data_.MoveBy(static_cast<int32_t>(random() % 8));
        data_.RestorePosition();
      }
      data_.InsertRecord(r);
      int32_t got[4] = {data_.StartPos(1), data_.StopPos(1), data_.StartPos(2), data_.StopPos(2)};
      data_.SetPositions(true, 0);
      int32_t want[4] = {data_.StartPos(1), data_.StopPos(1), data_.StartPos(2), data_.StopPos(2)};
      for (int k = 0; k < 4; k += 2) {
        // Without records a window may say "not found" or "not set"; both read nothing.
        if (want[k] < 0) {
          EXPECT_LT(got[k], 0) << "round " << round << " insert " << i;
          continue;
        }
        EXPECT_EQ(got[k], want[k]) << "round " << round << " insert " << i << " window " << k / 2 + 1;
        EXPECT_EQ(got[k + 1], want[k + 1]) << "round " << round << " insert " << i << " window " << k / 2 + 1;
      }
    }
    data_.SelectWindow(0);
    Strings walk = Walk(data_);
    EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end(), [](const std::string& a, const std::string& b) {
      return a.substr(0, 8) < b.substr(0, 8);
    }));
  }
}

// A window's bounds as a plain walk over every record from start_pos finds them.
struct RefWin {
  TDtStamp start, stop;
  bool edges;
  int32_t start_pos, stop_pos;
  bool Set() const { return !DtStampEqual(start, NoDtStamp); }
};

bool RefSetPositions(RefWin (&wins)[2], const std::string& bytes, int64_t size, bool from_start, int64_t start_pos) {
  auto stamp = [&](int64_t p) { return RecordStampOf(reinterpret_cast<const uint8_t*>(bytes.data()) + p); };
  auto empty = [&](int64_t p) {
    return RecordIsEmptyAt(reinterpret_cast<const uint8_t*>(bytes.data()) + p, static_cast<int32_t>(size));
  };
  auto at_or_after = [](const TDtStamp& a, const TDtStamp& b) { return !DtStampLater(b, a); };
  auto plus_one = [](TDtStamp s) {
    IncDtStampSecs(s, 1);
    return s;
  };
  for (RefWin& w : wins) {
    if (!w.Set())
      w.start_pos = w.stop_pos = -1;
    else if (from_start || w.start_pos < 0)
      w.start_pos = w.stop_pos = -2;
    else if (w.stop_pos < 0)
      w.stop_pos = DataPosMax;
  }
  const auto total = static_cast<int64_t>(bytes.size());
  bool resolvable = false;
  if (start_pos + size <= total) {
    TDtStamp last = stamp((total / size - 1) * size);
    for (const RefWin& w : wins) {
      if (w.Set() && w.start_pos == -2 && at_or_after(last, w.start)) resolvable = true;
      if (w.Set() && w.stop_pos == DataPosMax && at_or_after(last, plus_one(w.stop))) resolvable = true;
    }
  }
  for (int64_t p = start_pos; resolvable && p + size <= total; p += size) {
    TDtStamp t = stamp(p);
    for (RefWin& w : wins) {
      if (!w.Set()) continue;
      if (w.start_pos == -2) {
        if (!at_or_after(t, w.start) || DtStampLater(t, w.stop)) continue;
        w.start_pos = static_cast<int32_t>(w.edges && p - size >= start_pos && !empty(p) ? p - size : p);
        w.stop_pos = DataPosMax;
      } else if (w.stop_pos == DataPosMax && at_or_after(t, plus_one(w.stop))) {
        w.stop_pos = static_cast<int32_t>(w.edges ? p + size : p);
      }
    }
  }
  return (!wins[0].Set() || wins[0].start_pos >= 0) && (!wins[1].Set() || wins[1].start_pos >= 0);
}

// Each record as its stamp, values and missing marks.
std::string RecordText(uint16_t date, int32_t time, const std::function<double(int)>& value,
                       const std::function<bool(int)>& missing, int count) {
  std::string text = std::to_string(date) + "/" + std::to_string(time) + ":";
  for (int i = 0; i < count; ++i) text += " " + std::to_string(value(i)) + (missing(i) ? "m" : "");
  return text;
}
std::vector<std::string> ReadWalk(TDtData& data) {
  std::vector<std::string> out;
  const TDtRecord& r = *data.DtRec();
  for (bool ok = data.First(); ok; ok = data.Next())
    out.push_back(RecordText(
        r.Date, r.Time, [&](int i) { return r.GetValues(i); }, [&](int i) { return r.ValueMissing(i); },
        r.ValueCount()));
  return out;
}
std::vector<std::string> CursorWalk(const TDtData& data) {
  std::vector<std::string> out;
  for (TDtCursor c = data.Records(); c.Next();)
    out.push_back(RecordText(
        c.Date(), c.Time(), [&](int i) { return c.Value(i); }, [&](int i) { return c.ValueMissing(i); },
        c.ValueCount()));
  return out;
}

// Random sorted buffers (repeated stamps, empty records, a cut-off record at the end) and windows
// around them: the positioning finds what a walk over every record finds, from the start and
// when a read appends records behind those already positioned.
TEST_F(DtWindowTest, PositionsMatchAWalkOverEveryRecord) {
  std::mt19937 random(11);
  auto pick = [&](std::initializer_list<int> xs) { return *(xs.begin() + random() % xs.size()); };
  const int64_t size = rec_.Size();
  for (int round = 0; round < 3000; ++round) {
    const int n = pick({0, 1, 2, 3, 8, 30});
    std::vector<TDtStamp> stamps;
    TMemoryStream all;
    TDtStamp t = At(10, 0);
    for (int i = 0; i < n; ++i) {
      IncDtStampSecs(t, pick({0, 1, 1, 2, 59, 60, 61, 3600}));
      stamps.push_back(t);
      bool is_empty = random() % 5 == 0;
      TDtRecord r = Rec(t, is_empty ? std::vector<double>{} : std::vector<double>{1, 2});
      r.SWrite(all);
    }
    const std::string bytes = all.Bytes();
    // A window near a record (or before or after every one), or not set.
    auto window = [&](TDtStamp& start, TDtStamp& stop) {
      if (random() % 5 == 0) {
        start = stop = NoDtStamp;
        return;
      }
      start = n > 0 ? stamps[random() % n] : At(10, 0);
      IncDtStampSecs(start, pick({-7200, -60, -1, 0, 0, 1, 7200 * 24}));
      stop = start;
      IncDtStampSecs(stop, pick({0, 1, 59, 60, 61, 120, 3600}));
    };
    TDtStamp s1, e1, s2, e2;
    window(s1, e1);
    window(s2, e2);
    data_.WithEdges1 = random() % 2 == 0;
    data_.WithEdges2 = random() % 2 == 0;
    const int split = n == 0 ? 0 : static_cast<int>(random() % (n + 1));
    data_.stored = bytes.substr(0, static_cast<size_t>(split * size));
    ASSERT_EQ(data_.OpenDT(s1, e1, s2, e2), drDone);
    RefWin ref[2] = {{s1, e1, data_.WithEdges1, -1, -1}, {s2, e2, data_.WithEdges2, -1, -1}};
    RefSetPositions(ref, data_.stored, size, true, 0);
    auto expect_same = [&](const char* step) {
      for (int w = 1; w <= 2; ++w) {
        EXPECT_EQ(data_.StartPos(w), ref[w - 1].start_pos) << step << " round " << round << " window " << w;
        EXPECT_EQ(data_.StopPos(w), ref[w - 1].stop_pos) << step << " round " << round << " window " << w;
      }
    };
    expect_same("open");
    // The rest of the records (and perhaps a cut-off one) arrive behind those positioned.
    std::string grown = bytes.substr(static_cast<size_t>(split * size));
    if (random() % 4 == 0) grown += std::string(static_cast<size_t>(1 + random() % (size - 1)), '\x7f');
    TDataLock lock(data_);
    data_.Buffer()->SetPosition(data_.BufferSize());
    data_.Buffer()->Write(grown.data(), static_cast<int32_t>(grown.size()));
    const int64_t stream_pos = random() % (data_.BufferSize() + 1);
    data_.Buffer()->SetPosition(stream_pos);
    const bool from_start = random() % 3 == 0;
    const int32_t start_pos = random() % 3 == 0 ? 0 : static_cast<int32_t>(split * size);
    const bool want = RefSetPositions(ref, data_.Buffer()->Bytes(), size, from_start, start_pos);
    EXPECT_EQ(data_.SetPositions(from_start, start_pos), want) << "round " << round;
    expect_same("grown");
    EXPECT_EQ(data_.Buffer()->Position(), stream_pos) << "round " << round;
    // The cursor walks every window's records as First and Next read them.
    for (uint8_t w : {0, 1, 2, 3}) {
      data_.SelectWindow(w);
      EXPECT_EQ(CursorWalk(data_), ReadWalk(data_)) << "round " << round << " window " << int{w};
    }
  }
}

TEST_F(DtWindowTest, RecordsInsideAWindowAreNotified) {
  Open({}, At(10, 0), At(11, 0));
  std::vector<int32_t> events;
  int client;
  data_.AddClient(&client, DataEventBit(1) | DataEventBit(3), [&](TData*, int32_t e) { events.push_back(e); });
  struct Batch {
    std::vector<TDtRecord> records;
    std::vector<int32_t> events;
  } batches[] = {
      {{H(10, 0)}, {3}},
      {{H(10, 10), H(10, 20)}, {1}},
      {{H(11, 30)}, {}},   // outside the window
      {{H(10, 15)}, {1}},  // an insertion between records counts twice
  };
  data_.Flags = dfPermitInsert;
  for (const Batch& b : batches) {
    events.clear();
    TDataLock lock(data_);
    for (const TDtRecord& r : b.records) Insert(r);
    data_.NotifyRecordChanges();
    EXPECT_EQ(events, b.events);
  }
  data_.DetachClient(&client);
}

TEST_F(DtWindowTest, CopyDataTakesWindowsAndNewestRecord) {
  Open({H(9, 50), H(10, 10), H(10, 50), H(11, 5)}, At(10, 0), At(11, 0), At(0, 0), At(23, 59, 59));
  data_.SelectWindow(1);
  TDtRecord copy_rec(2);
  TMemDtData copy(&copy_rec);
  std::vector<int32_t> events;
  int client;
  copy.AddClient(&client, DataEventBit(1), [&](TData*, int32_t e) { events.push_back(e); });
  EXPECT_EQ(copy.CopyData(&data_), drDone);
  EXPECT_EQ(events, (std::vector<int32_t>{1}));
  EXPECT_EQ(copy.Window(), 1);
  EXPECT_EQ(Walk(copy), Walk(data_));
  for (int w : {1, 2}) {
    EXPECT_EQ(copy.StartPos(w), data_.StartPos(w));
    EXPECT_EQ(copy.StopPos(w), data_.StopPos(w));
  }
  EXPECT_EQ(test::Text(copy.GetNewestDt()), "11:05:00");
  EXPECT_FALSE(copy.Modified());
  copy.DetachClient(&client);
}

// The recorder's worker inserts under a timed lock while the main thread walks the records.
// After each walk the main thread waits for the next insert, so the worker gets its turn
// however the threads are scheduled.
TEST_F(DtWindowTest, RecorderInsertsWhileTheMainThreadReads) {
  constexpr int kRecords = 2000;
  Open({}, At(0, 0), At(23, 59, 59));
  data_.SelectWindow(1);
  std::atomic<int> one_changed{0};
  int client;
  data_.AddClient(&client, DataEventBit(3), [&](TData*, int32_t) { ++one_changed; });
  std::atomic<int> inserted{0};
  std::thread recorder([&] {
    TDtRecord r(2);
    for (int i = 0; i < kRecords;) {
      if (!data_.TryLock(50)) continue;
      r.Date = test::kDay;
      r.Time = i;
      r.SetValues(0, i);
      data_.InsertRecord(r);
      data_.NotifyRecordChanges();
      data_.Unlock();
      ++i;
      inserted = i;
      inserted.notify_one();
    }
  });
  int last_count = 0;
  for (int seen = 0; seen < kRecords; seen = inserted.load()) {
    inserted.wait(seen);
    TDataLock lock(data_);
    int count = 0;
    int32_t previous = -1;
    for (bool ok = data_.First(); ok; ok = data_.Next()) {
      ASSERT_EQ(data_.DtRec()->Time, previous + 1);
      ASSERT_EQ(data_.DtRec()->GetValues(0), data_.DtRec()->Time);
      previous = data_.DtRec()->Time;
      ++count;
    }
    ASSERT_GE(count, last_count);
    last_count = count;
  }
  recorder.join();
  EXPECT_EQ(data_.RecordCount(), kRecords);
  EXPECT_EQ(one_changed, kRecords);
  data_.DetachClient(&client);
}

}  // namespace
}  // namespace qv
