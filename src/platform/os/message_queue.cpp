#include "platform/os/message_queue.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

namespace qv {

class TMessageWindow {
public:
  explicit TMessageWindow(TMessageHandler h) : handler(std::move(h)) {}
  TMessageHandler handler;
};

namespace {

// A sent message's rendezvous between the sending thread and the main thread. `done` is
// written under the loop's mutex and read without it by a sender that spins (result is set
// before it).
struct SendState {
  std::atomic<bool> done{false};
  bool dropped = false;  // the window went before the message was handled
  intptr_t result = 0;
};

// Releases a waiting sender. Called with the loop's mutex held.
void Release(SendState& state, bool dropped, intptr_t result) {
  state.dropped = dropped;
  state.result = result;
  state.done.store(true, std::memory_order_release);
}

// A sender first spins this long for its answer: a main thread that is pumping usually
// answers within microseconds, and sleeping on the condition variable would add a wake-up of
// the sender to every round trip (the serial port's data events make one per chunk read).
constexpr auto kSendSpin = std::chrono::microseconds(100);

struct Queued {
  HWND wnd = nullptr;
  TMessage msg;
  std::shared_ptr<SendState> send;  // null for posted messages
  std::function<void()> sync;       // set for Synchronize calls (wnd is null then)
};

// One queue per process. `mutex` protects `queue`, `windows`, every SendState and `wake`; it is a
// leaf lock: no handler runs while it is held.
struct Loop {
  std::mutex mutex;
  std::condition_variable queued;  // the main thread waits for messages
  std::condition_variable done;    // senders wait for their messages to be handled
  std::deque<Queued> queue;
  std::unordered_set<HWND> windows;
  std::function<void()> wake;
  // Read without the mutex by IsMainThread, which every send asks.
  std::atomic<std::thread::id> main_thread{};
  std::atomic<bool> main_set{false};
  // The windows whose handlers run now (nested when a handler pumps the queue itself), and
  // those freed meanwhile, which are deleted when their outermost handler returns.
  std::vector<HWND> delivering;
  std::unordered_set<HWND> free_after_delivery;
};

Loop& L() {
  static Loop loop;
  return loop;
}

// Notifies after unlocking, so that the woken main thread does not block at once on the mutex
// the poster still holds.
void Wake(std::unique_lock<std::mutex>& lock) {
  auto hook = L().wake;
  lock.unlock();
  L().queued.notify_all();
  if (hook) hook();
}

void Deliver(Queued& q) {
  // The sender is released on every way out: handled, window gone, or handler threw.
  bool handled = false;
  struct SenderRelease {
    Queued& q;
    const bool& handled;
    ~SenderRelease() {
      if (!q.send) return;
      {
        std::lock_guard<std::mutex> lock(L().mutex);
        Release(*q.send, !handled, q.msg.Result);
      }
      L().done.notify_all();
    }
  } release{q, handled};
  if (q.sync) {
    q.sync();
    handled = true;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(L().mutex);
    if (!L().windows.count(q.wnd)) return;  // freed by an earlier handler
    L().delivering.push_back(q.wnd);
  }
  // Ends the delivery also when the handler throws; a window freed inside its own handler is
  // deleted when its outermost handler returns.
  struct DeliveryEnd {
    HWND wnd;
    ~DeliveryEnd() {
      std::lock_guard<std::mutex> lock(L().mutex);
      L().delivering.pop_back();
      if (L().free_after_delivery.count(wnd) &&
          std::find(L().delivering.begin(), L().delivering.end(), wnd) == L().delivering.end()) {
        L().free_after_delivery.erase(wnd);
        delete wnd;
      }
    }
  } end{q.wnd};
  q.wnd->handler(q.msg);
  handled = true;
}

bool Enqueue(Queued q, bool check_window) {
  std::unique_lock<std::mutex> lock(L().mutex);
  if (check_window && !L().windows.count(q.wnd)) return false;
  L().queue.push_back(std::move(q));
  Wake(lock);
  return true;
}

// Waits for a queued send to finish; on time-out withdraws it when it is still queued.
bool WaitForSend(const std::shared_ptr<SendState>& state, int64_t timeout_ms) {
  static const bool can_spin = std::thread::hardware_concurrency() > 1;  // else it only delays the main thread
  auto start = std::chrono::steady_clock::now();
  auto spin = !can_spin        ? std::chrono::microseconds(0)
              : timeout_ms < 0 ? kSendSpin
                               : std::min<std::chrono::microseconds>(kSendSpin, std::chrono::milliseconds(timeout_ms));
  while (!state->done.load(std::memory_order_acquire) && std::chrono::steady_clock::now() - start < spin) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  std::unique_lock<std::mutex> lock(L().mutex);
  auto pred = [&] { return state->done.load(std::memory_order_relaxed); };
  if (pred()) return !state->dropped;
  if (timeout_ms < 0) {
    L().done.wait(lock, pred);
    return !state->dropped;
  }
  if (L().done.wait_until(lock, start + std::chrono::milliseconds(timeout_ms), pred)) return !state->dropped;
  for (auto it = L().queue.begin(); it != L().queue.end(); ++it) {
    if (it->send == state) {
      L().queue.erase(it);
      return false;
    }
  }
  // Already being delivered: the handler may still use what the message points to, so the
  // sender waits for it to finish.
  L().done.wait(lock, pred);
  return !state->dropped;
}

}  // namespace

void SetMainThread() {
  std::lock_guard<std::mutex> lock(L().mutex);
  L().main_thread = std::this_thread::get_id();
  L().main_set = true;
}

bool IsMainThread() { return L().main_set && L().main_thread.load() == std::this_thread::get_id(); }

void SetMessageWakeHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(L().mutex);
  L().wake = std::move(hook);
}

HWND AllocateHWnd(TMessageHandler handler) {
  std::lock_guard<std::mutex> lock(L().mutex);
  if (!L().main_set) {
    L().main_thread = std::this_thread::get_id();
    L().main_set = true;
  }
  assert(L().main_thread == std::this_thread::get_id() && "message windows belong to the main thread");
  HWND wnd = new TMessageWindow(std::move(handler));
  L().windows.insert(wnd);
  return wnd;
}

void DeallocateHWnd(HWND wnd) {
  if (!wnd) return;
  std::lock_guard<std::mutex> lock(L().mutex);
  if (!L().windows.erase(wnd)) return;
  for (auto it = L().queue.begin(); it != L().queue.end();) {
    if (it->wnd == wnd) {
      if (it->send) Release(*it->send, true, 0);
      it = L().queue.erase(it);
    } else {
      ++it;
    }
  }
  L().done.notify_all();
  if (std::find(L().delivering.begin(), L().delivering.end(), wnd) != L().delivering.end()) {
    L().free_after_delivery.insert(wnd);  // freed from inside its own handler
  } else {
    delete wnd;
  }
}

bool PostMessage(HWND wnd, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  return Enqueue(Queued{wnd, TMessage{msg, wparam, lparam, 0}, nullptr, {}}, true);
}

bool SendMessageTimeout(HWND wnd, uint32_t msg, uintptr_t wparam, intptr_t lparam, uint32_t timeout_ms,
                        intptr_t* result) {
  if (IsMainThread()) {
    Queued q{wnd, TMessage{msg, wparam, lparam, 0}, nullptr, {}};
    {
      std::lock_guard<std::mutex> lock(L().mutex);
      if (!L().windows.count(wnd)) return false;
    }
    Deliver(q);
    if (result) *result = q.msg.Result;
    return true;
  }
  auto state = std::make_shared<SendState>();
  if (!Enqueue(Queued{wnd, TMessage{msg, wparam, lparam, 0}, state, {}}, true)) return false;
  if (!WaitForSend(state, timeout_ms)) return false;
  if (result) *result = state->result;
  return true;
}

intptr_t SendMessage(HWND wnd, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  intptr_t result = 0;
  if (IsMainThread()) {
    SendMessageTimeout(wnd, msg, wparam, lparam, 0, &result);
    return result;
  }
  auto state = std::make_shared<SendState>();
  if (!Enqueue(Queued{wnd, TMessage{msg, wparam, lparam, 0}, state, {}}, true)) return 0;
  WaitForSend(state, -1);
  return state->result;
}

void Synchronize(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  auto state = std::make_shared<SendState>();
  Enqueue(Queued{nullptr, TMessage{}, state, fn}, false);
  WaitForSend(state, -1);
}

bool ProcessPostedMessages() {
  // One at a time, so that a sender that times out can still withdraw a message not yet taken.
  size_t count;
  {
    std::lock_guard<std::mutex> lock(L().mutex);
    count = L().queue.size();
  }
  bool any = false;
  for (size_t i = 0; i < count; ++i) {
    Queued q;
    {
      std::lock_guard<std::mutex> lock(L().mutex);
      if (L().queue.empty()) break;
      q = std::move(L().queue.front());
      L().queue.pop_front();
    }
    Deliver(q);
    any = true;
  }
  return any;
}

bool WaitAndProcessMessages(uint32_t timeout_ms) {
  {
    std::unique_lock<std::mutex> lock(L().mutex);
    L().queued.wait_for(lock, std::chrono::milliseconds(timeout_ms), [] { return !L().queue.empty(); });
  }
  return ProcessPostedMessages();
}

int PendingMessageCount() {
  std::lock_guard<std::mutex> lock(L().mutex);
  return static_cast<int>(L().queue.size());
}

}  // namespace qv
