#pragma once
// Idle tasks: work that runs when the main loop has nothing else to do. The application's idle
// event calls Run once each time the main loop has emptied its queue; Run calls every task that
// has no timer or whose timer has expired, in registration order, and removes a task that
// reports itself done. Main thread only.
#include <functional>
#include <vector>

#include "base/timer2.h"

namespace qv {

class TIdleTaskManager;

// Sender, the task's timer (or null) and Done, which the task sets to be removed.
using TIdleTaskEvent = std::function<void(TIdleTaskManager* sender, TTimer2* timer, bool& done)>;

class TIdleTaskManager {
public:
  TIdleTaskManager() = default;
  // Clears the global IdleTaskManager when it is this object.
  ~TIdleTaskManager();
  TIdleTaskManager(const TIdleTaskManager&) = delete;
  TIdleTaskManager& operator=(const TIdleTaskManager&) = delete;

  // A task is the pair (Owner, Timer); an owner may register several with different timers.
  // Ignored when Owner is null or Event is empty; an existing pair gets the new event.
  void AddTask(const void* owner, TTimer2* timer, TIdleTaskEvent event);
  // -1 when absent.
  int IndexOfTask(const void* owner, const TTimer2* timer) const;
  // Raises Exception "Error in TIdleTaskManager.DeleteTask: wrong index" outside 0..Count-1.
  void DeleteTask(int index);
  // The owner removes its tasks before it or their timers are freed.
  void RemoveTask(const void* owner, const TTimer2* timer);
  // Removes every task polling the timer, whatever its owner (the timer is being freed).
  void RemoveTimer(const TTimer2* timer);
  int Count() const { return static_cast<int>(tasks_.size()); }

  // One idle pass. Tasks may add and remove tasks, also their own, and may start nested passes
  // (a modal window's loop). A task that raises is removed and the error passes on.
  void Run();

private:
  struct Task {
    const void* owner;
    TTimer2* timer;
    TIdleTaskEvent event;
  };
  std::vector<Task> tasks_;
};

// The program's one manager, created by the application module; null when there is none.
extern TIdleTaskManager* IdleTaskManager;

// The application's idle handler: runs the global manager's tasks while it exists and leaves
// Done set, so that the main loop waits for the next event instead of calling again at once.
void RunIdleTasks(bool& done);

}  // namespace qv
