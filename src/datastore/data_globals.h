#pragma once
// The registry of open data sets: every data set registers itself while it lives. Global
// channels find their data set here by identity text, the navigator makes every data set that
// follows it reopen its windows, a deferred check applies the buffer policy after client
// changes, and the registry's mutex serialises storing a memory read against rebuilding merged
// views.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/timer2.h"

namespace qv {

class TData;
class TIdleTaskManager;

class TDataGlobals {
public:
  // Reads the settings of section "Data" of the program INI file. The check timer counts ticks.
  explicit TDataGlobals(const TTickSource& ticks = DefaultTickSource());
  // Removes a pending check and clears the global DataGlobals when it is this object. The data
  // sets are not freed.
  ~TDataGlobals();
  TDataGlobals(const TDataGlobals&) = delete;
  TDataGlobals& operator=(const TDataGlobals&) = delete;

  // The list is used on the thread that created the registry (the main thread) only.
  void RegisterData(TData* data);
  void UnregisterData(TData* data);
  int Count() const { return static_cast<int>(list_.size()); }
  TData* GetData(int index) const;
  // The first registered data set whose identity equals ident; "\" in ident stands for "/"
  // (identities stored by older installations). "" and "$$NoIdent$$" never match.
  TData* FindData(const std::string& ident) const;
  bool HasClientFor(int32_t event) const;
  // Both run on every data set in registration order; one that fails is reported and the rest
  // go on.
  void NavigatorChanged();
  void CheckBuffers();
  // Queues one CheckBuffers pass as an idle task 100 ms from the first request on; later
  // requests before it runs change nothing. Nothing without an idle-task manager.
  void ScheduleCheck();
  void IdleCheck(TIdleTaskManager* sender, TTimer2* timer, bool& done);
  bool CheckPending() const { return check_pending_; }
  // "PermitOverwrite" and "PermitInsert" of section "Data"; a missing key keeps the value.
  void LoadIni();

  // Taken before any data set's lock; never while this thread holds one.
  void Lock();
  void Unlock();

  bool PermitOverwrite = false;
  bool PermitInsert = false;

private:
  void ForEach(const std::function<void(TData*)>& f);

  std::vector<TData*> list_;
  std::thread::id owner_thread_;
  bool check_pending_ = false;
  TTimer2 check_timer_;
  // Serialises storing a memory read and rebuilding merged views; first in the lock order.
  std::recursive_mutex mutex_;
};

// The program's registry, created by the device-database shell; null when there is none.
extern TDataGlobals* DataGlobals;

}  // namespace qv
