#include "base/idle_task_manager.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/os/message_queue.h"
#include "platform/rtl/exception.h"

namespace qv {
namespace {

// Owners are only compared, never used.
char a_owner, b_owner, c_owner;
const void* const A = &a_owner;
const void* const B = &b_owner;
const void* const C = &c_owner;
constexpr uint32_t kTimerStart = 0xFFFFFF00u;  // the passes cross the tick wrap

struct IdleFixture : ::testing::Test {
  TIdleTaskManager manager;
  std::string log;
  // A task that logs its name and reports done after `runs` calls (never when 0).
  TIdleTaskEvent Task(const std::string& name, int runs = 0) {
    auto count = std::make_shared<int>(0);
    return [this, name, runs, count](TIdleTaskManager* sender, TTimer2*, bool& done) {
      EXPECT_EQ(sender, &manager);
      log += name;
      done = runs > 0 && ++*count >= runs;
    };
  }
};

TEST_F(IdleFixture, RunsInOrderAndRemovesDoneTasks) {
  manager.AddTask(A, nullptr, Task("a"));
  manager.AddTask(B, nullptr, Task("b", 1));
  manager.AddTask(C, nullptr, Task("c", 2));
  manager.AddTask(nullptr, nullptr, Task("x"));   // ignored: no owner
  manager.AddTask(A, nullptr, TIdleTaskEvent());  // ignored: no event
  manager.Run();
  manager.Run();
  manager.Run();
  EXPECT_EQ(log,
            "abc"
            "ac"
            "a");  // the task behind a finished one still runs in the same pass
  EXPECT_EQ(manager.Count(), 1);
}

TEST_F(IdleFixture, SamePairReplacesTheEvent) {
  manager.AddTask(A, nullptr, Task("old"));
  manager.AddTask(B, nullptr, Task("b"));
  manager.AddTask(A, nullptr, Task("new"));
  manager.Run();
  EXPECT_EQ(log, "newb");
  EXPECT_EQ(manager.IndexOfTask(A, nullptr), 0);
  EXPECT_EQ(manager.IndexOfTask(C, nullptr), -1);
}

TEST_F(IdleFixture, TimersGateTheirTasks) {
  TFixedTicks ticks(kTimerStart);
  TFixedClock clock(0);
  TTimer2 t1(100, ticks, clock), t2(300, ticks, clock);
  manager.AddTask(A, &t1, Task("1"));
  manager.AddTask(A, &t2, Task("2"));  // same owner, another timer: a task of its own
  manager.AddTask(B, nullptr, Task("-"));
  manager.Run();
  ticks.Advance(150);
  manager.Run();
  ticks.Advance(200);
  manager.Run();
  EXPECT_EQ(log,
            "-"
            "1-"
            "12-");
  manager.RemoveTask(A, &t1);
  EXPECT_EQ(manager.IndexOfTask(A, &t2), 0);
}

// An owner that frees its timer without removing the task (a window going while a dialog's
// loop runs the idle passes) must not leave the task polling freed memory.
TEST_F(IdleFixture, AFreedTimerTakesItsTasksAlong) {
  SetMainThread();
  IdleTaskManager = &manager;
  auto timer = std::make_unique<TTimer2>(0);
  TTimer2 kept(0);
  manager.AddTask(A, timer.get(), Task("1"));
  manager.AddTask(B, timer.get(), Task("2"));
  manager.AddTask(C, &kept, Task("3"));
  timer.reset();
  EXPECT_EQ(manager.Count(), 1);
  manager.Run();
  EXPECT_EQ(log, "3");
  IdleTaskManager = nullptr;
}

TEST_F(IdleFixture, TasksChangingTheListDuringAPass) {
  manager.AddTask(A, nullptr, [this](TIdleTaskManager* m, TTimer2*, bool& done) {
    log += "a";
    m->AddTask(C, nullptr, Task("c", 1));  // added now, run in this pass
    m->RemoveTask(A, nullptr);             // removes itself while running
    done = true;                           // and also reports done: harmless
  });
  bool nested = false;
  manager.AddTask(B, nullptr, [this, &nested](TIdleTaskManager* m, TTimer2*, bool&) {
    log += "b";
    if (!nested) {
      nested = true;
      m->Run();  // a modal loop's nested pass
    }
  });
  manager.Run();
  EXPECT_EQ(log,
            "a"
            "b"
            "bc");  // c runs once, inside the nested pass
  EXPECT_EQ(manager.Count(), 1);
}

TEST_F(IdleFixture, RaisingTaskIsRemovedAndTheErrorPassesOn) {
  manager.AddTask(A, nullptr, Task("a"));
  manager.AddTask(B, nullptr, [](TIdleTaskManager*, TTimer2*, bool&) { throw std::runtime_error("boom"); });
  manager.AddTask(C, nullptr, Task("c"));
  EXPECT_THROW(manager.Run(), std::runtime_error);
  EXPECT_EQ(log, "a");  // the pass ended there
  manager.Run();
  EXPECT_EQ(log,
            "a"
            "ac");
  try {
    manager.DeleteTask(2);
    FAIL() << "bad index accepted";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Error in TIdleTaskManager.DeleteTask: wrong index");
  }
  EXPECT_THROW(manager.DeleteTask(-1), Exception);
}

TEST(IdleHook, RunsTheGlobalManagerWhileItExists) {
  bool done = false;
  RunIdleTasks(done);  // no manager: nothing to do
  EXPECT_TRUE(done);
  IdleTaskManager = new TIdleTaskManager;
  int runs = 0;
  IdleTaskManager->AddTask(A, nullptr, [&runs](TIdleTaskManager*, TTimer2*, bool&) { ++runs; });
  done = false;
  RunIdleTasks(done);
  EXPECT_TRUE(done);
  EXPECT_EQ(runs, 1);
  delete IdleTaskManager;
  EXPECT_EQ(IdleTaskManager, nullptr);
}

}  // namespace
}  // namespace qv
