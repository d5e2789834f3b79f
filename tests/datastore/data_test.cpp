#include "datastore/data.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "datastore/channels.h"
#include "datastore/data_globals.h"
#include "datastore/dt_navigator.h"
#include "datastore/data_fixture.h"

namespace qv {
namespace {

using test::TMemData;

// Records of one value whose Time is their index, so a walk tells which records it read.
class DataTest : public ::testing::Test {
protected:
  DataTest() : rec_(1), data_(&rec_) {}
  void Fill(int n) {
    ASSERT_EQ(data_.NewBuffer(), drDone);
    TDtRecord r(1);
    for (int i = 0; i < n; ++i) {
      r.Date = 1;
      r.Time = i;
      ASSERT_EQ(data_.AppendRecord(r), drDone);
    }
  }
  int32_t S() const { return rec_.Size(); }
  std::vector<int> WalkTimes() {
    std::vector<int> out;
    for (bool ok = data_.First(); ok; ok = data_.Next()) out.push_back(rec_.Time);
    return out;
  }

  TDtRecord rec_;
  TMemData data_;
};

TEST_F(DataTest, CursorWalksOverWindows) {
  const int32_t s = TDtRecord(1).Size();
  struct Case {
    const char* what;
    int records;
    int32_t start, stop;
    std::vector<int> walk;  // First, then Next until false
    int last;               // record read by Last, -1 = false
    int32_t count;
    int first_pos, last_pos;  // CurPos after GotoFirst / GotoLast in records, -1 = false
  } cases[] = {
      {"empty buffer", 0, 0, DataPosMax, {}, -1, 0, -1, -1},
      {"one record", 1, 0, DataPosMax, {0}, -1, 1, 0, 0},
      {"whole buffer", 3, 0, DataPosMax, {0, 1, 2}, 2, 3, 0, 2},
      // The record at WinStop is still read by Next and Last, not counted.
      {"window ends at a record", 3, 0, 2 * s, {0, 1, 2}, 2, 2, 0, 1},
      {"window of one record", 3, s, 2 * s, {1, 2}, -1, 1, 1, 1},
      {"stop at the buffer's end", 3, 0, 3 * s, {0, 1, 2}, 2, 3, 0, 2},
      {"last record only", 3, 2 * s, DataPosMax, {2}, 2, 1, 2, 2},
      {"start behind the buffer", 3, 3 * s, DataPosMax, {}, 2, 0, -1, -1},
      {"no window", 3, -1, -1, {}, -1, 0, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fill(c.records);
    data_.Window(c.start, c.stop);
    EXPECT_EQ(WalkTimes(), c.walk);
    rec_.Time = -1;
    EXPECT_EQ(data_.Last() ? rec_.Time : -1, c.last);
    EXPECT_EQ(data_.RecordCount(), c.count);
    EXPECT_EQ(data_.GotoFirst() ? data_.CurPos() / s : -1, c.first_pos);
    EXPECT_EQ(data_.GotoLast() ? data_.CurPos() / s : -1, c.last_pos);
    if (c.last_pos < 0) {
      EXPECT_EQ(data_.CurPos(), DataPosMax);
    }
  }
}

TEST_F(DataTest, NoBufferAnswersFalse) {
  data_.Window(0, DataPosMax);
  EXPECT_FALSE(data_.First());
  EXPECT_FALSE(data_.Next());
  EXPECT_FALSE(data_.Last());
  EXPECT_FALSE(data_.GotoFirst());
  EXPECT_FALSE(data_.GotoLast());
  EXPECT_FALSE(data_.MoveBy(1));
  EXPECT_EQ(data_.RecordCount(), 0);
}

TEST_F(DataTest, MoveByClampsToTheWindow) {
  Fill(6);
  data_.Window(S(), 5 * S());  // records 1 to 4
  bool at_bound = true;
  EXPECT_FALSE(data_.MoveByEx(1, at_bound)) << "no current record yet";
  ASSERT_TRUE(data_.GotoFirst());
  struct Step {
    int32_t n;
    int expect;
    bool bound;
  } steps[] = {{1, 2, false}, {-5, 1, true}, {3, 4, false}, {1, 4, true}, {-2, 2, false}, {100, 4, true}};
  for (const Step& st : steps) {
    ASSERT_TRUE(data_.MoveByEx(st.n, at_bound));
    EXPECT_EQ(data_.CurPos() / S(), st.expect) << st.n;
    EXPECT_EQ(at_bound, st.bound) << st.n;
  }
  // RestorePosition and Next read the current record.
  data_.RestorePosition();
  ASSERT_TRUE(data_.Next());
  EXPECT_EQ(rec_.Time, 4);
}

TEST_F(DataTest, ModifyRecordRewritesTheRecordJustRead) {
  Fill(3);
  data_.Window(0, DataPosMax);
  EXPECT_EQ(data_.ChangeCount(), 3);
  ASSERT_TRUE(data_.First());
  ASSERT_TRUE(data_.Next());  // record 1
  rec_.SetValues(0, 42);
  EXPECT_TRUE(data_.ModifyRecord());  // then reads record 2
  EXPECT_EQ(rec_.Time, 2);
  EXPECT_EQ(data_.ChangeCount(), 5);
  ASSERT_TRUE(data_.First());
  ASSERT_TRUE(data_.Next());
  EXPECT_EQ(rec_.GetValues(0), 42);

  data_.Window(0, DataPosMax);
  data_.RestorePosition();  // no current record: the buffer's end
  EXPECT_FALSE(data_.ModifyRecord()) << "the last record rewritten, nothing follows";
}

TEST_F(DataTest, MisuseRaisesTheFixedTexts) {
  TDtRecord other(2);
  EXPECT_EQ(test::DataErrorText([&] { data_.AppendRecord(rec_); }), "Error in Data.AppendRecord! Buffer nil");
  EXPECT_EQ(test::DataErrorText([&] { data_.InsertRecord(rec_); }), "Error in Data.InsertRecord! Buffer nil");
  EXPECT_EQ(test::DataErrorText([&] { data_.ModifyRecord(); }), "Error in Data.ModifyRecord! FBuffer Nil or empty");
  Fill(1);
  data_.Window(0, DataPosMax);
  data_.RestorePosition();
  data_.GotoFirst();
  data_.RestorePosition();
  EXPECT_EQ(test::DataErrorText([&] { data_.ModifyRecord(); }), "Error in Data.ModifyRecord! FBuffer at position 0");
  // A record of another size would misalign every later record.
  EXPECT_EQ(test::DataErrorText([&] { data_.AppendRecord(other); }), "Error in Data.AppendRecord! Record size differs");
  EXPECT_EQ(test::DataErrorText([&] { data_.InsertRecord(other); }), "Error in Data.InsertRecord! Record size differs");
  EXPECT_EQ(data_.BufferSize(), S());
  EXPECT_THROW(data_.RemoveClient(0), Exception);
}

// Byte positions are 32-bit: a buffer never grows beyond them.
TEST_F(DataTest, BufferStaysWithinThirtyTwoBitPositions) {
  struct Probe : TMemData {
    using TMemData::CheckGrowth;
    using TMemData::TMemData;
  } probe(&rec_);
  ASSERT_EQ(probe.NewBuffer(), drDone);
  probe.AppendRecord(rec_);
  const int64_t room = int64_t{DataPosMax} - S() - S();
  EXPECT_NO_THROW(probe.CheckGrowth(room, "TData.AppendRecord"));
  EXPECT_THROW(probe.CheckGrowth(room + 1, "TData.AppendRecord"), EDatOutOfMemError);
}

TEST_F(DataTest, InsertRecordOfTheBaseAppendsAndKeepsThePosition) {
  Fill(2);
  data_.Window(0, DataPosMax);
  ASSERT_TRUE(data_.First());
  rec_.Time = 7;
  EXPECT_EQ(data_.InsertRecord(rec_), drDone);
  EXPECT_EQ(data_.StreamPosition(), S());
  EXPECT_EQ(WalkTimes(), (std::vector<int>{0, 1, 7}));
}

TEST_F(DataTest, ClientsAreNotifiedInRegistrationOrder) {
  std::vector<std::string> calls;
  int a = 0, b = 0, c = 0;  // only their addresses identify the clients
  auto handler = [&](const char* name) {
    return [&calls, name](TData*, int32_t event) { calls.push_back(std::string(name) + std::to_string(event)); };
  };
  data_.AddClient(&a, DataEventBit(1) | DataEventBit(3), handler("a"));
  data_.AddClient(&b, DataEventBit(1), handler("b"));
  data_.AddClient(&c, DataEventBit(0) | DataEventBit(5), handler("c"));
  data_.AddClient(nullptr, DataEventBit(1), handler("x"));
  data_.AddClient(&calls, 0, handler("x"));
  EXPECT_EQ(data_.ClientCount(), 3);

  struct Case {
    int32_t event;
    std::vector<std::string> calls;
  } cases[] = {{3, {"a3"}}, {1, {"a1", "b1"}}, {5, {"c5"}}, {2, {}}, {16, {}}, {-1, {}}};
  for (const Case& k : cases) {
    calls.clear();
    data_.NotifyClients(k.event);
    EXPECT_EQ(calls, k.calls) << k.event;
  }
  EXPECT_TRUE(data_.HasClientFor(5));
  EXPECT_FALSE(data_.HasClientFor(2));
  EXPECT_FALSE(data_.HasClientFor(16));

  // A second registration replaces the set and the handler.
  data_.AddClient(&a, DataEventBit(2), handler("A"));
  EXPECT_EQ(data_.ClientCount(), 3);
  EXPECT_EQ(data_.IndexOfClient(&a), 0);
  calls.clear();
  data_.NotifyClients(1);
  data_.NotifyClients(2);
  EXPECT_EQ(calls, (std::vector<std::string>{"b1", "A2"}));
  for (const void* client : {static_cast<void*>(&a), static_cast<void*>(&b), static_cast<void*>(&c)})
    data_.DetachClient(client);
}

TEST_F(DataTest, HandlerMayDetachItselfDuringTheWalk) {
  std::vector<std::string> calls;
  int a = 0, b = 0, c = 0;  // only their addresses identify the clients
  data_.AddClient(&a, DataEventBit(1), [&](TData* d, int32_t) {
    calls.push_back("a");
    d->DetachClient(&a);
  });
  data_.AddClient(&b, DataEventBit(1), [&](TData*, int32_t) { calls.push_back("b"); });
  data_.AddClient(&c, DataEventBit(1), [&](TData* d, int32_t) {
    calls.push_back("c");
    d->DetachClient(&c);
  });
  data_.NotifyClients(1);
  EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(data_.ClientCount(), 1);
  data_.DetachClient(&b);
}

TEST_F(DataTest, RecordChangesAreNotifiedOncePerBatch) {
  std::vector<int32_t> events;
  int client = 0;
  data_.AddClient(&client, DataEventBit(1) | DataEventBit(3), [&](TData*, int32_t e) { events.push_back(e); });
  Fill(0);
  struct Case {
    int appends;
    std::vector<int32_t> events;
  } cases[] = {{0, {}}, {1, {3}}, {2, {1}}, {5, {1}}};
  TDtRecord r(1);
  r.Date = 1;
  for (const Case& c : cases) {
    events.clear();
    for (int i = 0; i < c.appends; ++i) data_.AppendRecord(r);
    data_.NotifyRecordChanges();
    EXPECT_EQ(events, c.events) << c.appends;
    EXPECT_EQ(data_.ChangeCount(), 0);
  }
}

TEST_F(DataTest, FlushWritesOnlyWhatChangedAndTellsClients) {
  std::vector<int32_t> events;
  int client = 0;
  data_.AddClient(&client, DataEventBit(2), [&](TData*, int32_t e) { events.push_back(e); });
  Fill(2);
  EXPECT_TRUE(data_.Modified());
  EXPECT_EQ(data_.Flush(), drDone);
  EXPECT_EQ(data_.Flush(), drDone);
  EXPECT_EQ(data_.writes, 1);
  EXPECT_EQ(events, (std::vector<int32_t>{2}));
  EXPECT_EQ(data_.stored.size(), 2u * S());

  // A failed write keeps the records and the flag; NewBuffer and Close refuse.
  TDtRecord r(1);
  r.Date = 1;
  data_.AppendRecord(r);
  data_.write_result = drWeekNotWritten;
  EXPECT_EQ(data_.Flush(), drWeekNotWritten);
  EXPECT_EQ(data_.NewBuffer(), drRefused);
  EXPECT_EQ(data_.Close(), drWeekNotWritten);
  EXPECT_TRUE(data_.Modified());
  EXPECT_EQ(data_.BufferSize(), 3 * S());
  data_.write_result = drDone;
  EXPECT_EQ(data_.Close(), drDone);
  EXPECT_FALSE(data_.HasBuffer());
  EXPECT_EQ(events, (std::vector<int32_t>{2, 2}));
}

// Records of 10 bytes, so that 100 of them fill exactly 1000 bytes.
class BufferPolicyTest : public ::testing::Test {
protected:
  BufferPolicyTest() : rec_(10), data_(&rec_) {}
  TRecord rec_;
  TMemData data_;
};

TEST_F(BufferPolicyTest, CheckBufferFollowsTheClientsInterests) {
  test::TRecordingMsgHandler handler;
  struct Case {
    const char* what;
    TDataEvents events;
    int records;
    int32_t write_result;
    bool buffer_after;
    int64_t size_after;
    bool modified_after;
    bool reported;
  } cases[] = {
      {"no client: written and freed", 0, 5, drDone, false, 0, false, false},
      {"no client, write fails: kept", 0, 5, drWeekNotWritten, true, 50, true, true},
      {"follows the view: untouched", DataEventBit(6), 5, drDone, true, 50, true, false},
      {"follows the day: untouched", DataEventBit(7), 5, drDone, true, 50, true, false},
      {"keeps the buffer: untouched", DataEventBit(8), 5, drDone, true, 50, true, false},
      {"small buffer of 1000 bytes: written, kept", DataEventBit(9), 100, drDone, true, 1000, false, false},
      {"small buffer of 1010 bytes: renewed", DataEventBit(9), 101, drDone, true, 0, false, false},
      {"small buffer, write fails: kept", DataEventBit(9), 101, drWeekNotWritten, true, 1010, true, true},
      {"other interests only", DataEventBit(1), 5, drDone, false, 0, false, false},
  };
  int client = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    handler.lines.clear();
    data_.write_result = drDone;
    ASSERT_EQ(data_.NewBuffer(), drDone);
    for (int i = 0; i < c.records; ++i) data_.AppendRecord(rec_);
    data_.DetachClient(&client);
    if (c.events) data_.AddClient(&client, c.events, nullptr);
    data_.write_result = c.write_result;
    data_.CheckBuffer();
    EXPECT_EQ(data_.HasBuffer(), c.buffer_after);
    EXPECT_EQ(data_.BufferSize(), c.size_after);
    EXPECT_EQ(data_.Modified(), c.modified_after);
    EXPECT_EQ(handler.lines.size(), c.reported ? 1u : 0u);
    if (c.reported) {
      EXPECT_EQ(handler.lines[0],
                "Error in TData.CheckBuffer: TMemData@x not written (2), its records stay in memory/2/error/time");
    }
  }
}

TEST_F(DataTest, CopyDataTakesTheSourcesRecords) {
  TDtRecord src_rec(1);
  TMemData source(&src_rec);
  ASSERT_EQ(source.NewBuffer(), drDone);
  // From an empty buffer: an empty buffer, not modified, and the old records written first.
  Fill(2);
  EXPECT_EQ(data_.CopyData(&source), drDone);
  EXPECT_TRUE(data_.HasBuffer());
  EXPECT_EQ(data_.BufferSize(), 0);
  EXPECT_FALSE(data_.Modified());
  EXPECT_EQ(data_.writes, 1);

  TDtRecord r(1);
  r.Date = 1;
  for (int i = 0; i < 3; ++i) {
    r.Time = 10 + i;
    source.AppendRecord(r);
  }
  EXPECT_EQ(data_.CopyData(&source), drDone);
  data_.Window(0, DataPosMax);
  EXPECT_EQ(WalkTimes(), (std::vector<int>{10, 11, 12}));
  EXPECT_FALSE(data_.Modified());

  TDtRecord wide_rec(3);
  TMemData wide(&wide_rec);
  EXPECT_THROW(data_.CopyData(&wide), EDataError);
  EXPECT_EQ(data_.BufferSize(), 3 * S()) << "a refused copy keeps the buffer";
}

TEST_F(DataTest, IdentityAndNavigatorCalls) {
  EXPECT_EQ(data_.GetDataIdent(), "TMemData@x");
  data_.NoIdent = true;
  EXPECT_EQ(data_.GetDataIdent(), "$$NoIdent$$");

  struct CountingNavigator : TNavigator0 {
    int changes = 0;
    void Changed() override { ++changes; }
  } nav;
  DtNavigator = &nav;
  int client = 0;
  data_.AddClient(&client, DataEventBit(1), nullptr);
  data_.AddClient(&client, DataEventBit(1), nullptr);  // unchanged set: no call
  data_.AddClient(&client, DataEventBit(3), nullptr);
  Fill(1);
  data_.Flush();
  data_.DetachClient(&client);
  data_.DetachClient(&client);
  EXPECT_EQ(nav.changes, 4);
  DtNavigator = nullptr;
}

TEST_F(DataTest, ChannelListChangesReachTheClients) {
  TChanSelList cells;
  EXPECT_THROW(data_.FillChanSelList(nullptr), EDataError);
  data_.FillChanSelList(&cells);
  EXPECT_TRUE(cells.empty()) << "no channel list";

  std::unique_ptr<TChannels> channels = TChannels::CreateDefault();
  channels->Add(std::make_unique<TChannel>(2));
  channels->Add(std::make_unique<TChannel>(3));
  int events = 0, client;
  data_.AddClient(&client, DataEventBit(5), [&](TData*, int32_t) { ++events; });
  data_.SetChannels(channels.get());
  data_.FillChanSelList(&cells);
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0].Data, &data_);
  EXPECT_EQ(cells[0].Channel, channels->GetValueChannel(0));
  EXPECT_EQ(cells[1].Channel, channels->GetValueChannel(1));

  channels->Add(std::make_unique<TChannel>(4));
  EXPECT_EQ(events, 1);
  data_.DetachClient(&client);

  // A list that outlives its data set tells nobody.
  {
    TDtRecord rec(1);
    TMemData gone(&rec);
    std::unique_ptr<TChannels> own = TChannels::CreateDefault();
    gone.SetChannels(own.get());
    gone.AddClient(&client, DataEventBit(5), [&](TData*, int32_t) { ++events; });
    channels.swap(own);
  }
  channels->Add(std::make_unique<TChannel>(2));
  EXPECT_EQ(events, 1);
}

TEST(DataLifeTest, DestroySendsEventZeroAndLeavesTheRegistry) {
  TDataGlobals globals;
  DataGlobals = &globals;
  TDtRecord rec(1);
  std::vector<int32_t> events;
  int client = 0;
  {
    TMemData data(&rec);
    EXPECT_EQ(globals.Count(), 1);
    data.AddClient(&client, DataEventBit(0), [&](TData*, int32_t e) { events.push_back(e); });
  }
  EXPECT_EQ(events, (std::vector<int32_t>{0}));
  EXPECT_EQ(globals.Count(), 0);
  DataGlobals = nullptr;
}

// A client that fails on the last event neither ends the program nor keeps the others from
// hearing that the data set goes.
TEST(DataLifeTest, FailingClientDoesNotStopTheDestruction) {
  TDtRecord rec(1);
  int failing, listening;
  std::vector<int32_t> events;
  {
    TMemData data(&rec);
    data.AddClient(&failing, DataEventBit(0), [](TData*, int32_t) { throw Exception("client failed"); });
    data.AddClient(&listening, DataEventBit(0), [&](TData*, int32_t e) { events.push_back(e); });
  }
  EXPECT_EQ(events, (std::vector<int32_t>{0}));
}

TEST(DataLockTest, LockIsReentrantAndTryLockTimesOut) {
  TDtRecord rec(1);
  TMemData data(&rec);
  data.Lock();
  EXPECT_TRUE(data.TryLock(0));
  data.Unlock();
  std::atomic<int> other{-1};
  std::thread([&] { other = data.TryLock(20) ? 1 : 0; }).join();
  EXPECT_EQ(other, 0);
  data.Unlock();
  std::thread([&] {
    other = data.TryLock(20) ? 1 : 0;
    if (other) data.Unlock();
  }).join();
  EXPECT_EQ(other, 1);
  EXPECT_EQ(DataLocksHeldByThread(), 0);
}

// Freeing a data set that another thread waits for would leave that thread on a freed mutex.
TEST(DataLockDeathTest, DestroyWhileAnotherThreadWaitsIsRefused) {
#ifdef NDEBUG
  // The check is an assertion; run here, the body would leave its locks and a waiting thread.
  GTEST_SKIP() << "assertions are compiled out";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEBUG_DEATH(
      {
        TDtRecord rec(1);
        auto data = std::make_unique<TMemData>(&rec);
        data->Lock();
        std::atomic<bool> started{false};
        std::thread([&] {
          started = true;
          data->Lock();
        }).detach();
        while (!started) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        data.reset();
      },
      "destroyed while another thread uses it");
}

}  // namespace
}  // namespace qv
