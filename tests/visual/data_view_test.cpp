#include "visual/data_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "datastore/data_globals.h"
#include "datastore/global_channel.h"

namespace qv {
namespace {

using test::At;

// A source data set in memory with value channels of keys 10, 11, ...
struct TSource {
  TSource(int values, const std::string& ident) : rec(values), data(&rec, ident), channels(TChannels::CreateDefault()) {
    for (int i = 0; i < values; ++i) channels->Add(std::make_unique<TChannel>(static_cast<uint8_t>(10 + i)));
    data.SetChannels(channels.get());
    data.NewBuffer();
  }
  void Add(const TDtStamp& stamp, std::vector<double> values) {
    TDtRecord r = test::Rec(stamp, values, rec.ValueCount());
    TDataLock lock(data);
    data.InsertRecord(r);
  }
  TChannel* Chan(int value_index) { return channels->GetValueChannel(value_index); }

  TDtRecord rec;
  test::TMemDtData data;
  std::unique_ptr<TChannels> channels;
};

constexpr double M = NoValue;  // a missing value in the tables below

struct TColumn {
  int source;
  int value_index;
};

// Three sources of two values each and a view over the given columns.
class DataViewTest : public ::testing::Test {
protected:
  void Columns(const std::vector<TColumn>& columns) {
    for (const TColumn& c : columns)
      list_.Add(std::make_unique<TGlobalChannel>(&src_[c.source]->data, src_[c.source]->Chan(c.value_index)));
    proto_ = std::make_unique<TDtRecord>(std::max<int>(1, static_cast<int>(columns.size())));
    view_ = std::make_unique<TDataView>(proto_.get());
    view_->SetSourceRange(0);
    view_->SetGlobChanList(&list_);
  }
  std::vector<std::string> Rows() { return test::Walk(*view_); }
  ~DataViewTest() override {
    view_.reset();
    src_.clear();
    DataGlobals = nullptr;
  }

  // The program's registry, in place before the first data set registers.
  TDataGlobals globals_;
  TDataGlobals* const registered_ = (DataGlobals = &globals_);
  std::vector<std::unique_ptr<TSource>> src_ = [] {
    std::vector<std::unique_ptr<TSource>> v;
    for (int i = 0; i < 3; ++i) v.push_back(std::make_unique<TSource>(2, "DL00" + std::to_string(i) + "/"));
    return v;
  }();
  TGlobChanList list_;
  std::unique_ptr<TDtRecord> proto_;
  std::unique_ptr<TDataView> view_;
};

// The merge by hand: one row per time stamp at which some source with a column has a record with
// a valid value; each column holds its source's value at that stamp or the missing value.
std::vector<std::string> BruteForce(const std::vector<std::map<int32_t, std::vector<double>>>& sources,
                                    const std::vector<TColumn>& columns) {
  std::map<int32_t, std::vector<double>> rows;
  for (size_t s = 0; s < sources.size(); ++s)
    for (const auto& [time, values] : sources[s]) {
      if (std::none_of(columns.begin(), columns.end(),
                       [&](const TColumn& c) { return c.source == static_cast<int>(s); }))
        break;
      bool valid = false;
      for (double v : values) valid = valid || v > NoValue;
      if (!valid) continue;
      auto& row = rows.try_emplace(time, columns.size(), NoValue).first->second;
      for (size_t c = 0; c < columns.size(); ++c)
        if (columns[c].source == static_cast<int>(s)) row[c] = values[columns[c].value_index];
    }
  std::vector<std::string> out;
  for (const auto& [time, row] : rows) {
    std::string text = test::Text(At(10, 0, time)) + "=";
    for (size_t c = 0; c < row.size(); ++c)
      text += (c ? "/" : "") + (row[c] <= NoValue ? std::string("-") : std::to_string(static_cast<int>(row[c])));
    out.push_back(text);
  }
  return out;
}

TEST_F(DataViewTest, MergesLikeABruteForceMergeOfEqualInterleavedAndMissingStamps) {
  // Each case: the sources' records as (seconds after 10:00 -> values) and the columns.
  struct Case {
    const char* name;
    std::vector<std::map<int32_t, std::vector<double>>> sources;
    std::vector<TColumn> columns;
  };
  const std::vector<Case> cases = {
      {"equal stamps", {{{0, {1, 2}}, {10, {3, 4}}}, {{0, {5, 6}}, {10, {7, 8}}}}, {{0, 0}, {1, 1}, {0, 1}}},
      {"interleaved", {{{0, {1, 2}}, {20, {3, 4}}}, {{10, {5, 6}}, {30, {7, 8}}}}, {{1, 0}, {0, 0}}},
      {"one source missing at a stamp", {{{0, {1, 2}}, {10, {3, 4}}}, {{0, {5, 6}}}}, {{0, 0}, {1, 0}}},
      {"missing values", {{{0, {M, 2}}, {10, {3, M}}}, {{0, {M, M}}, {10, {7, 8}}}}, {{0, 0}, {1, 0}, {1, 1}}},
      // The first source's record at 10:00:00 is valid only in a channel that is not a column;
      // the second source's values at that stamp must land in the same single row.
      {"valid only outside the columns", {{{0, {M, 2}}}, {{0, {5, 6}}}}, {{0, 0}, {1, 0}}},
      {"a source that is not a column", {{{0, {1, 2}}}, {{5, {5, 6}}}, {{5, {9, 9}}}}, {{0, 1}, {1, 1}}},
      {"an empty source", {{}, {{0, {5, 6}}}}, {{0, 0}, {1, 1}}},
      {"a channel twice, out of order", {{{0, {1, 2}}}, {{0, {5, 6}}}}, {{1, 1}, {0, 0}, {1, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view_.reset();
    while (list_.Count()) list_.Delete(0, true);
    src_.clear();
    for (size_t s = 0; s < c.sources.size(); ++s) {
      src_.push_back(std::make_unique<TSource>(2, "S" + std::to_string(s) + "/"));
      for (const auto& [t, values] : c.sources[s]) src_[s]->Add(At(10, 0, t), values);
    }
    Columns(c.columns);
    const std::vector<std::string> expected = BruteForce(c.sources, c.columns);
    EXPECT_EQ(Rows(), expected);
    // The newest row is known, as readers that follow new data ask for it.
    if (!expected.empty()) {
      EXPECT_EQ(test::Text(view_->GetNewestDt()) + "=", expected.back().substr(0, 9));
    }
  }
}

TEST_F(DataViewTest, RandomMergesMatchTheBruteForceMerge) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rnd(seed);
    view_.reset();
    while (list_.Count()) list_.Delete(0, true);
    src_.clear();
    std::vector<std::map<int32_t, std::vector<double>>> sources(4);
    for (int s = 0; s < 4; ++s) {
      src_.push_back(std::make_unique<TSource>(3, "R" + std::to_string(s) + "/"));
      for (int32_t t = 0; t < 60; t += 1 + static_cast<int32_t>(rnd() % 4)) {
        std::vector<double> values;
        for (int v = 0; v < 3; ++v) values.push_back(rnd() % 4 == 0 ? M : static_cast<double>(rnd() % 100));
        sources[s][t] = values;
        src_[s]->Add(At(10, 0, t), values);
      }
    }
    std::vector<TColumn> columns;
    for (int c = 0; c < 6; ++c) columns.push_back({static_cast<int>(rnd() % 4), static_cast<int>(rnd() % 3)});
    Columns(columns);
    EXPECT_EQ(Rows(), BruteForce(sources, columns));
  }
}

TEST_F(DataViewTest, ManySourcesCrowdedOnFewStampsMatchTheBruteForceMerge) {
  // Up to 16 sources on 12 stamps: most stamps are shared by many sources, so the merge order
  // among sources at one stamp is exercised at every row.
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rnd(seed);
    view_.reset();
    while (list_.Count()) list_.Delete(0, true);
    src_.clear();
    const int count = 1 + static_cast<int>(rnd() % 16);
    std::vector<std::map<int32_t, std::vector<double>>> sources(static_cast<size_t>(count));
    for (int s = 0; s < count; ++s) {
      src_.push_back(std::make_unique<TSource>(2, "C" + std::to_string(s) + "/"));
      for (int32_t t = 0; t < 12; ++t) {
        if (rnd() % 3 == 0) continue;
        std::vector<double> values;
        for (int v = 0; v < 2; ++v) values.push_back(rnd() % 5 == 0 ? M : static_cast<double>(rnd() % 100));
        sources[static_cast<size_t>(s)][t] = values;
        src_[static_cast<size_t>(s)]->Add(At(10, 0, t), values);
      }
    }
    std::vector<TColumn> columns;
    for (int c = 0; c < 2 * count; ++c)
      columns.push_back({static_cast<int>(rnd() % static_cast<unsigned>(count)), static_cast<int>(rnd() % 2)});
    Columns(columns);
    EXPECT_EQ(Rows(), BruteForce(sources, columns));
  }
}

TEST_F(DataViewTest, WithoutListOrColumnsTheViewHasNoBuffer) {
  TDtRecord proto(1);
  TDataView view(&proto);
  view.Rebuild();
  EXPECT_FALSE(view.HasBuffer());
  EXPECT_TRUE(view.NoData());
  TGlobChanList empty;
  view.SetGlobChanList(&empty);
  EXPECT_FALSE(view.HasBuffer());
  TDataLock lock(view);
  EXPECT_FALSE(view.First());
}

TEST_F(DataViewTest, TheSourceRangeDecidesWhichRecordsMerge) {
  for (int m : {0, 10, 20, 30}) src_[0]->Add(At(10, m), {static_cast<double>(m), 1});
  src_[0]->data.stored = src_[0]->data.Buffer()->Bytes();
  src_[0]->data.OpenDT(At(10, 10), At(10, 20), At(10, 30), At(10, 30));
  Columns({{0, 0}});
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10:00:00=0", "10:10:00=10", "10:20:00=20", "10:30:00=30"}));
  view_->SetSourceRange(2);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10:30:00=30"}));
  // The same range again does not rebuild: a new record shows only after Rebuild.
  src_[0]->Add(At(10, 30, 30), {99, 1});
  src_[0]->data.SelectWindow(0);
  view_->SetSourceRange(2);
  view_->SetGlobChanList(&list_);
  EXPECT_EQ(Rows().size(), 1u);
  view_->SetSourceRange(0);
  EXPECT_EQ(Rows().size(), 5u);
}

TEST_F(DataViewTest, SkipEmptyRowsOffKeepsAnEmptyRecordAsARowOfItsOwn) {
  src_[0]->Add(At(10, 0), {});
  src_[0]->Add(At(10, 1), {1, 2});
  src_[1]->Add(At(10, 1), {3, 4});
  Columns({{0, 0}, {1, 0}});
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10:01:00=1/3"}));
  view_->SkipEmptyRows = false;
  view_->Rebuild();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10:00:00=-/-", "10:01:00=1/3"}));
}

TEST_F(DataViewTest, ALongListGivesAtMost255Columns) {
  TSource wide(255, "W/");
  wide.Add(At(10, 0), {1});
  TGlobChanList list;
  for (int i = 0; i < 256; ++i) list.Add(std::make_unique<TGlobalChannel>(&wide.data, wide.Chan(i % 255)));
  TDtRecord proto(255);
  TDataView view(&proto);
  view.SetSourceRange(0);
  view.SetGlobChanList(&list);
  TDataLock lock(view);
  ASSERT_TRUE(view.First());
  EXPECT_EQ(view.DtRec()->ValueCount(), 255);
  EXPECT_EQ(view.DtRec()->GetValues(0), 1);
  EXPECT_EQ(view.DtRec()->GetValues(254), NoValue);
}

TEST_F(DataViewTest, SetValueCountEmptiesTheViewOnlyOnAChange) {
  src_[0]->Add(At(10, 0), {1, 2});
  Columns({{0, 0}, {0, 1}});
  view_->SetValueCount(2);
  EXPECT_EQ(Rows().size(), 1u);
  view_->SetValueCount(3);
  EXPECT_FALSE(view_->HasBuffer());
  EXPECT_EQ(view_->DtRec()->ValueCount(), 3);
  EXPECT_EQ(view_->NewestRec().ValueCount(), 3);
  // A record added meanwhile waits for the next rebuild.
  src_[0]->Add(At(10, 1), {3, 4});
  EXPECT_NO_THROW(view_->AppendNewest(&src_[0]->data));
  EXPECT_FALSE(view_->HasBuffer());
}

TEST_F(DataViewTest, IsAnonymousAndRefusesTheOperationsOfAFileDataSet) {
  Columns({{0, 0}});
  EXPECT_EQ(view_->GetDataIdent(), "$$NoIdent$$");
  bool registered = false;
  for (int i = 0; i < globals_.Count(); ++i) registered = registered || globals_.GetData(i) == view_.get();
  EXPECT_TRUE(registered);
  EXPECT_EQ(globals_.FindData("$$NoIdent$$"), nullptr);
  EXPECT_EQ(view_->Flush(), 1);
  view_->AddClient(this, DataEventBit(deOneChanged), nullptr);
  EXPECT_EQ(view_->ClientCount(), 0);
  const std::vector<std::pair<std::function<void()>, std::string>> refused = {
      {[&] { view_->Open(); }, "TDataView.Open: function not applicable"},
      {[&] { view_->OpenDT(At(0, 0), At(1, 0), NoDtStamp, NoDtStamp); }, "TDataView.OpenDT: function not applicable"},
      {[&] { view_->DefineIdent(); }, "TDataView.DefineIdent: function not applicable"},
      {[&] { view_->GetName(); }, "TDataView.GetName: function not applicable"},
      {[&] { view_->GetSName(); }, "TDataView.GetSName: function not applicable"},
  };
  for (const auto& [f, text] : refused) EXPECT_EQ(test::DataErrorText(f), text);
}

TEST_F(DataViewTest, AppendNewestMergesAtTheLastStampAndAppendsNewerRows) {
  src_[0]->Add(At(10, 0), {1, 2});
  Columns({{0, 0}, {1, 0}});
  src_[1]->Add(At(10, 0), {5, 6});
  view_->AppendNewest(&src_[1]->data);
  src_[0]->Add(At(10, 1), {3, 4});
  view_->AppendNewest(&src_[0]->data);
  src_[1]->Add(At(10, 2), {M, 8});  // valid only outside the columns: a row of missing values
  view_->AppendNewest(&src_[1]->data);
  src_[2]->Add(At(10, 3), {M, M});  // nothing valid: no row
  view_->AppendNewest(&src_[2]->data);
  view_->AppendNewest(nullptr);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10:00:00=1/5", "10:01:00=3/-", "10:02:00=-/-"}));
  // Values at the stamp of that row take its place, as a rebuild would put them in one row.
  src_[0]->Add(At(10, 2), {4, 4});
  view_->AppendNewest(&src_[0]->data);
  const std::vector<std::string> rows = {"10:00:00=1/5", "10:01:00=3/-", "10:02:00=4/-"};
  EXPECT_EQ(Rows(), rows);
  EXPECT_EQ(test::Text(view_->GetNewestDt()), "10:02:00");
  view_->Rebuild();
  EXPECT_EQ(Rows(), rows);
}

// The locks the calling thread takes and releases, as "+name" and "-name".
class TLockLog {
public:
  explicit TLockLog(std::map<const void*, std::string> names) : names_(std::move(names)) { SetLockTrace(&trace_); }
  ~TLockLog() { SetLockTrace(nullptr); }
  // Only the outermost take and release of each owner; re-entrant locking inside is left out.
  std::vector<std::string> events;

private:
  std::map<const void*, int> depth_;
  std::map<const void*, std::string> names_;
  TLockTrace trace_ = [this](const void* owner, bool taken) {
    int& d = depth_[owner];
    if (taken ? d++ == 0 : --d == 0) events.push_back((taken ? "+" : "-") + names_[owner]);
  };
};

TEST_F(DataViewTest, RebuildLocksTheRegistryThenTheViewThenEachSourceInListOrder) {
  src_[0]->Add(At(10, 0), {1, 2});
  src_[1]->Add(At(10, 0), {3, 4});
  src_[1]->Add(At(10, 5), {5, 6});
  // Columns of source 1 come first, so it is the first data set of the list.
  Columns({{1, 0}, {0, 0}, {2, 0}});
  std::vector<std::string> events;
  {
    TLockLog log({{&globals_, "registry"},
                  {view_.get(), "view"},
                  {&src_[0]->data, "s0"},
                  {&src_[1]->data, "s1"},
                  {&src_[2]->data, "s2"}});
    view_->Rebuild();
    events = log.events;
  }
  // The buffer is freed under the view's lock first; source 2 has no record and is let go at
  // once; source 0 runs out before source 1.
  EXPECT_EQ(events, (std::vector<std::string>{"+view", "-view", "+registry", "+view", "+s1", "+s0", "+s2", "-s2", "-s0",
                                              "-s1", "-registry", "-view"}));
  {
    TLockLog log({{view_.get(), "view"}, {&src_[1]->data, "s1"}, {&globals_, "registry"}});
    view_->AppendNewest(&src_[1]->data);
    EXPECT_EQ(log.events, (std::vector<std::string>{"+view", "+s1", "-view", "-s1"}));
  }
}

TEST_F(DataViewTest, AFailingMergeReleasesEveryLock) {
  src_[0]->Add(At(10, 0), {1, 2});
  src_[1]->Add(At(10, 0), {3, 4});
  src_[1]->Add(At(10, 5), {5, 6});
  Columns({{0, 0}, {1, 0}});
  // A prototype of another size than the rows: the first insert fails.
  view_->SetValueCount(3);
  std::vector<std::string> events;
  {
    TLockLog log({{&globals_, "registry"}, {view_.get(), "view"}, {&src_[0]->data, "s0"}, {&src_[1]->data, "s1"}});
    EXPECT_THROW(view_->Rebuild(), EDataError);
    events = log.events;
  }
  EXPECT_EQ(events, (std::vector<std::string>{"+view", "-view", "+registry", "+view", "+s0", "+s1", "-s0", "-s1",
                                              "-registry", "-view"}));
  // Another thread gets every lock at once.
  std::thread other([&] {
    globals_.Lock();
    for (TData* d :
         {static_cast<TData*>(view_.get()), static_cast<TData*>(&src_[0]->data), static_cast<TData*>(&src_[1]->data)}) {
      EXPECT_TRUE(d->TryLock(0));
      d->Unlock();
    }
    globals_.Unlock();
  });
  other.join();
}

}  // namespace
}  // namespace qv
