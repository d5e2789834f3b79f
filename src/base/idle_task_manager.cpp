#include "base/idle_task_manager.h"

#include "platform/rtl/exception.h"

namespace qv {

TIdleTaskManager* IdleTaskManager = nullptr;

TIdleTaskManager::~TIdleTaskManager() {
  if (IdleTaskManager == this) IdleTaskManager = nullptr;
}

void TIdleTaskManager::AddTask(const void* owner, TTimer2* timer, TIdleTaskEvent event) {
  if (!owner || !event) return;
  const int index = IndexOfTask(owner, timer);
  if (index >= 0)
    tasks_[static_cast<size_t>(index)].event = std::move(event);
  else
    tasks_.push_back({owner, timer, std::move(event)});
}

int TIdleTaskManager::IndexOfTask(const void* owner, const TTimer2* timer) const {
  for (size_t i = 0; i < tasks_.size(); ++i)
    if (tasks_[i].owner == owner && tasks_[i].timer == timer) return static_cast<int>(i);
  return -1;
}

void TIdleTaskManager::DeleteTask(int index) {
  if (index < 0 || index >= Count()) throw Exception("Error in TIdleTaskManager.DeleteTask: wrong index");
  tasks_.erase(tasks_.begin() + index);
}

void TIdleTaskManager::RemoveTask(const void* owner, const TTimer2* timer) {
  const int index = IndexOfTask(owner, timer);
  if (index >= 0) DeleteTask(index);
}

void TIdleTaskManager::RemoveTimer(const TTimer2* timer) {
  if (!timer) return;
  std::erase_if(tasks_, [timer](const Task& t) { return t.timer == timer; });
}

void TIdleTaskManager::Run() {
  int index = 0;
  while (index < Count()) {
    // The event may change the list or free its owner: keep copies, never references into the
    // list, and find the task again by its pair afterwards (the owner is only compared).
    const Task task = tasks_[static_cast<size_t>(index)];
    int next = index + 1;
    if (!task.timer || task.timer->Expired()) {
      bool done = false;
      try {
        task.event(this, task.timer, done);
      } catch (...) {
        RemoveTask(task.owner, task.timer);
        throw;
      }
      if (done) {
        RemoveTask(task.owner, task.timer);
        next = index;
      }
    }
    index = next;
  }
}

void RunIdleTasks(bool& done) {
  if (IdleTaskManager) IdleTaskManager->Run();
  done = true;
}

}  // namespace qv
