#include "datastore/data_globals.h"

#include <gtest/gtest.h>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "datastore/data_fixture.h"
#include "datastore/dt_navigator.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::TMemData;
using test::TMemDtData;

class DataGlobalsTest : public ::testing::Test {
protected:
  DataGlobalsTest() { DataGlobals = &globals_; }
  ~DataGlobalsTest() override { DataGlobals = nullptr; }
  TFixedTicks ticks_;
  TDataGlobals globals_{ticks_};
};

TEST_F(DataGlobalsTest, FindsDataSetsByIdentity) {
  TDtRecord rec(1);
  TMemData a(&rec, "TKwData@DL001/DL003/");
  TMemData b(&rec, "TKwData@DL001/DL003/");  // same identity, registered later
  TMemData c(&rec, "TKwData@DL002/");
  TMemData hidden(&rec, "TKwData@DL009/");
  hidden.NoIdent = true;
  globals_.RegisterData(&a);  // registered already: one entry
  EXPECT_EQ(globals_.Count(), 4);

  struct Case {
    std::string ident;
    TData* found;
  } cases[] = {
      {"TKwData@DL001/DL003/", &a},
      {"TKwData@DL001\\DL003\\", &a},  // stored by an older installation
      {"TKwData@DL002/", &c},
      {"tkwdata@DL002/", nullptr},
      {"TKwData@DL009/", nullptr},
      {"$$NoIdent$$", nullptr},
      {"", nullptr},
  };
  for (const Case& k : cases) EXPECT_EQ(globals_.FindData(k.ident), k.found) << k.ident;

  EXPECT_EQ(globals_.GetData(0), &a);
  EXPECT_EQ(globals_.GetData(3), &hidden);
  EXPECT_THROW(globals_.GetData(4), EDataError);
  EXPECT_THROW(globals_.GetData(-1), EDataError);
}

TEST_F(DataGlobalsTest, ReadsThePermissionsOfSectionData) {
  test::TempDir dir;
  struct Case {
    const char* ini;
    bool overwrite, insert;
  } cases[] = {
      {"", false, false},
      {"[Other]\nPermitOverwrite=1\n", false, false},
      {"[Data]\nPermitOverwrite=1\n", true, false},
      {"[Data]\nPermitOverwrite=0\nPermitInsert=1\n", false, true},
  };
  std::string saved = IniFileName;
  IniFileName = dir.File("QV.INI");
  for (const Case& c : cases) {
    dir.Write("QV.INI", c.ini);
    TDataGlobals g;
    EXPECT_EQ(g.PermitOverwrite, c.overwrite) << c.ini;
    EXPECT_EQ(g.PermitInsert, c.insert) << c.ini;
  }
  IniFileName = saved;
}

TEST_F(DataGlobalsTest, ClientChangesLeadToOneDeferredCheck) {
  TIdleTaskManager manager;
  IdleTaskManager = &manager;
  TDtRecord rec(1);
  TMemData data(&rec);
  ASSERT_EQ(data.NewBuffer(), drDone);
  int a, b;
  data.AddClient(&a, DataEventBit(1), nullptr);
  ticks_.Advance(40);
  data.AddClient(&b, DataEventBit(1), nullptr);
  data.DetachClient(&a);
  EXPECT_EQ(manager.Count(), 1);
  EXPECT_TRUE(globals_.CheckPending());

  ticks_.Advance(50);  // 90 ms after the first request
  manager.Run();
  EXPECT_TRUE(data.HasBuffer());
  ticks_.Advance(11);  // past the 100 ms
  manager.Run();
  EXPECT_FALSE(data.HasBuffer()) << "no client keeps the buffer";
  EXPECT_FALSE(globals_.CheckPending());
  EXPECT_EQ(manager.Count(), 0);

  // A registry that goes with a check pending takes its task along.
  {
    TDataGlobals other(ticks_);
    other.ScheduleCheck();
    EXPECT_EQ(manager.Count(), 1);
  }
  EXPECT_EQ(manager.Count(), 0);
  data.DetachClient(&b);
  DataGlobals = &globals_;
  IdleTaskManager = nullptr;
}

TEST_F(DataGlobalsTest, CheckBuffersGoesOnAfterAFailure) {
  test::TRecordingMsgHandler handler;
  TDtRecord rec(1);
  rec.Date = 1;
  rec.Time = 0;
  struct FailingData : TMemData {
    using TMemData::TMemData;
    int32_t WriteData() override { throw EDatOutOfDiscError("dat_OutOfDisc"); }
  } failing(&rec, "a");
  TMemData good(&rec, "b");
  for (TData* d : {static_cast<TData*>(&failing), static_cast<TData*>(&good)}) {
    ASSERT_EQ(d->NewBuffer(), drDone);
    d->AppendRecord(rec);
  }
  globals_.CheckBuffers();
  EXPECT_EQ(handler.lines, (std::vector<std::string>{"dat_OutOfDisc/2/error/time"}));
  EXPECT_TRUE(failing.HasBuffer());
  EXPECT_TRUE(failing.Modified());
  EXPECT_FALSE(good.HasBuffer());
  EXPECT_EQ(good.writes, 1);
}

TEST_F(DataGlobalsTest, NavigatorReopensTheWindowsOfFollowers) {
  TDtNavigator nav;
  nav.Dt1Start = test::At(10, 0);
  nav.Dt1Stop = test::At(11, 0);
  nav.Dt2Start = test::At(0, 0);
  nav.Dt2Stop = test::At(23, 59, 59);
  DtNavigator = &nav;
  test::TRecordingMsgHandler handler;
  TDtRecord rec0(1), rec1(1), rec2(1), rec3(1);
  // A data set whose file cannot be read does not keep the others from following.
  struct Damaged : TMemDtData {
    using TMemDtData::TMemDtData;
    int32_t ReadData() override { throw EDatFormatError("dat_UncompatibleFormat"); }
  } damaged(&rec0);
  TMemDtData view_follower(&rec1), day_follower(&rec2), other(&rec3);
  int client;
  EXPECT_THROW(damaged.AddClient(&client, DataEventBit(6), nullptr), EDatFormatError);
  view_follower.AddClient(&client, DataEventBit(6), nullptr);  // opens at once
  day_follower.AddClient(&client, DataEventBit(7) | DataEventBit(1), nullptr);
  other.AddClient(&client, DataEventBit(1), nullptr);
  EXPECT_EQ(view_follower.reads, 1);
  EXPECT_EQ(day_follower.reads, 1);
  EXPECT_EQ(other.reads, 0);
  EXPECT_TRUE(globals_.HasClientFor(7));
  EXPECT_FALSE(globals_.HasClientFor(8));

  nav.Dt1Start = test::At(12, 0);
  nav.Dt1Stop = test::At(13, 0);
  globals_.NavigatorChanged();
  EXPECT_EQ(view_follower.reads, 2);
  EXPECT_EQ(day_follower.reads, 2);
  EXPECT_EQ(other.reads, 0);
  EXPECT_EQ(handler.lines, (std::vector<std::string>{"dat_UncompatibleFormat/2/error/time"}));
  EXPECT_EQ(test::Text(view_follower.StartDt(1)), "12:00:00");
  EXPECT_EQ(test::Text(day_follower.StopDt(2)), "23:59:59");
  for (TData* d : {static_cast<TData*>(&damaged), static_cast<TData*>(&view_follower),
                   static_cast<TData*>(&day_follower), static_cast<TData*>(&other)})
    d->DetachClient(&client);
  DtNavigator = nullptr;
}

TEST_F(DataGlobalsTest, RegistryLockComesBeforeAnyDataSetLock) {
  TDtRecord rec(1);
  TMemData data(&rec);
  globals_.Lock();
  data.Lock();
  globals_.Lock();  // re-entrant while this thread holds the registry
  globals_.Unlock();
  data.Unlock();
  globals_.Unlock();
#ifdef NDEBUG
  // The check is an assertion; run here, the body would leave both locks held.
  GTEST_SKIP() << "assertions are compiled out";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEBUG_DEATH(
      {
        data.Lock();
        globals_.Lock();
      },
      "registry locked after a data set");
}

}  // namespace
}  // namespace qv
