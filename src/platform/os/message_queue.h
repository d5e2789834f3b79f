#pragma once
// Window messages between threads and the main loop.
//
// A message window (the hidden window a component allocates to receive messages) is an object
// with a handler that always runs on the main thread. PostMessage queues a message from any
// thread; SendMessage from the main thread calls the handler at once, from another thread it
// queues the message and waits until the main thread has handled it. The main loop delivers
// queued messages with ProcessPostedMessages; the GUI layer installs a wake hook so that a post
// from another thread wakes its event loop. Programs and tests without a GUI loop pump with
// WaitAndProcessMessages.
#include <cstdint>
#include <functional>

namespace qv {

struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

constexpr uint32_t WM_USER = 0x0400;

class TMessageWindow;
using HWND = TMessageWindow*;
using TMessageHandler = std::function<void(TMessage&)>;

// Must be called on the main thread. The first call to AllocateHWnd makes its calling thread the
// main thread when none was set.
HWND AllocateHWnd(TMessageHandler handler);
// Messages still queued for the window are dropped; a thread waiting in SendMessage for it is
// released with result 0. Main thread only.
void DeallocateHWnd(HWND wnd);

// Any thread. False when the window does not exist (then the caller keeps ownership of any
// heap object the message carries).
bool PostMessage(HWND wnd, uint32_t msg, uintptr_t wparam, intptr_t lparam);
// Answers the handler's Result; 0 when the window does not exist.
intptr_t SendMessage(HWND wnd, uint32_t msg, uintptr_t wparam, intptr_t lparam);
// As SendMessage, but a thread other than the main thread waits at most timeout_ms; false on
// time-out (the message is then withdrawn when not yet delivered) or when the window is gone.
bool SendMessageTimeout(HWND wnd, uint32_t msg, uintptr_t wparam, intptr_t lparam, uint32_t timeout_ms,
                        intptr_t* result);
// Runs fn on the main thread and waits for it (the thread library's synchronisation call).
// On the main thread it runs fn at once.
void Synchronize(const std::function<void()>& fn);

// Main thread: delivers every message queued so far, in posting order. Answers whether any was
// delivered. Messages posted by the handlers themselves wait for the next call.
bool ProcessPostedMessages();
// Main thread: waits up to timeout_ms for a message, then delivers what is queued.
bool WaitAndProcessMessages(uint32_t timeout_ms);
// Number of messages waiting (for the main loop's idle decision and for tests).
int PendingMessageCount();

void SetMainThread();
bool IsMainThread();
// Called from the posting thread after each post; the GUI loop wakes itself from it.
void SetMessageWakeHook(std::function<void()> hook);

}  // namespace qv
