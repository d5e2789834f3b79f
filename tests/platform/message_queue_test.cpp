#include "platform/os/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qv {
namespace {

class MessageQueue : public ::testing::Test {
protected:
  void SetUp() override {
    SetMainThread();
    while (ProcessPostedMessages()) {
    }
  }
};

TEST_F(MessageQueue, PostsFromOtherThreadsArriveInPostingOrder) {
  std::vector<uintptr_t> seen;
  HWND wnd = AllocateHWnd([&](TMessage& m) { seen.push_back(m.WParam); });
  std::thread t([&] {
    for (uintptr_t i = 0; i < 100; ++i) ASSERT_TRUE(PostMessage(wnd, WM_USER + 2, i, 0));
  });
  t.join();
  EXPECT_EQ(PendingMessageCount(), 100);
  EXPECT_TRUE(ProcessPostedMessages());
  ASSERT_EQ(seen.size(), 100u);
  for (uintptr_t i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  DeallocateHWnd(wnd);
  EXPECT_FALSE(PostMessage(wnd, WM_USER, 0, 0));
}

TEST_F(MessageQueue, SendFromWorkerWaitsForMainThreadAndGetsResult) {
  HWND wnd = AllocateHWnd([](TMessage& m) {
    EXPECT_TRUE(IsMainThread());
    m.Result = static_cast<intptr_t>(m.WParam * 2);
  });
  std::atomic<intptr_t> result{0};
  std::thread t([&] { result = SendMessage(wnd, WM_USER + 1, 21, 0); });
  while (result == 0) WaitAndProcessMessages(10);
  t.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(SendMessage(wnd, WM_USER, 5, 0), 10);  // on the main thread: called directly
  DeallocateHWnd(wnd);
}

TEST_F(MessageQueue, SendTimesOutAndIsWithdrawnWhenMainThreadIsBusy) {
  int calls = 0;
  HWND wnd = AllocateHWnd([&](TMessage&) { ++calls; });
  bool ok = true;
  std::thread t([&] { ok = SendMessageTimeout(wnd, WM_USER, 0, 0, 50, nullptr); });
  t.join();  // the main thread never pumped
  EXPECT_FALSE(ok);
  EXPECT_FALSE(ProcessPostedMessages());
  EXPECT_EQ(calls, 0);
  DeallocateHWnd(wnd);
}

TEST_F(MessageQueue, WindowFreedInsideItsHandlerAndPendingSendersReleased) {
  HWND wnd = nullptr;
  int calls = 0;
  wnd = AllocateHWnd([&](TMessage&) {
    ++calls;
    DeallocateHWnd(wnd);
  });
  PostMessage(wnd, WM_USER, 0, 0);
  PostMessage(wnd, WM_USER, 1, 0);
  ProcessPostedMessages();
  EXPECT_EQ(calls, 1);  // the second message went with the window

  HWND other = AllocateHWnd([](TMessage&) {});
  std::atomic<bool> returned{false};
  std::thread t([&] {
    SendMessage(other, WM_USER, 0, 0);
    returned = true;
  });
  while (PendingMessageCount() == 0) std::this_thread::yield();
  DeallocateHWnd(other);
  t.join();
  EXPECT_TRUE(returned);
}

TEST_F(MessageQueue, WindowFreedInItsHandlerAfterTheHandlerPumpedTheQueue) {
  // A handler that waits for a worker pumps the queue itself; freeing its own window
  // afterwards must still wait until the handler has returned.
  HWND outer = nullptr;
  std::vector<int> order;
  HWND inner = AllocateHWnd([&](TMessage&) { order.push_back(2); });
  outer = AllocateHWnd([&](TMessage& m) {
    order.push_back(1);
    PostMessage(inner, WM_USER, 0, 0);
    ProcessPostedMessages();
    DeallocateHWnd(outer);
    order.push_back(static_cast<int>(m.WParam));  // the handler's state is still there
  });
  PostMessage(outer, WM_USER, 3, 0);
  ProcessPostedMessages();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(PostMessage(outer, WM_USER, 0, 0));
  DeallocateHWnd(inner);
}

TEST_F(MessageQueue, SynchronizeRunsOnMainThread) {
  std::atomic<bool> ran{false};
  std::thread t([&] { Synchronize([&] { ran = IsMainThread(); }); });
  while (!ran) WaitAndProcessMessages(10);
  t.join();
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST_F(MessageQueue, SenderLearnsThatItsMessageWasNotHandled) {
  // The window goes while the message waits: the sender is told it was not handled.
  HWND gone = AllocateHWnd([](TMessage&) {});
  std::atomic<int> answer{-1};
  std::thread t([&] { answer = SendMessageTimeout(gone, WM_USER, 0, 0, 5000, nullptr) ? 1 : 0; });
  while (PendingMessageCount() == 0) std::this_thread::yield();
  DeallocateHWnd(gone);
  t.join();
  EXPECT_EQ(answer, 0);

  // A handler that throws still releases its sender.
  HWND throwing = AllocateHWnd([](TMessage&) { throw std::runtime_error("handler failed"); });
  std::thread t2([&] { answer = SendMessageTimeout(throwing, WM_USER, 0, 0, 5000, nullptr) ? 1 : 0; });
  while (PendingMessageCount() == 0) std::this_thread::yield();
  EXPECT_THROW(ProcessPostedMessages(), std::runtime_error);
  t2.join();
  EXPECT_EQ(answer, 0);
  DeallocateHWnd(throwing);
}

}  // namespace
}  // namespace qv
