#pragma once
// The registry of open data sets: every data set registers itself while it lives. Global
// channels find their data set here by identity text, the navigator makes every data set that
// follows it reopen its windows, a deferred check applies the buffer policy after client
// changes, and the registry's mutex serialises storing a memory read against rebuilding merged
// views.
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class TData;

class TDataGlobals {
public:
  TDataGlobals();
  // Clears the global DataGlobals when it is this object. The data sets are not freed.
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
  void NavigatorChanged();
  // Runs every data set's buffer policy; a data set that fails is reported and the rest go on.
  void CheckBuffers();
  void ScheduleCheck();
  bool CheckPending() const { return check_pending_; }

  // Taken before any data set's lock; never while this thread holds one.
  void Lock();
  void Unlock();

  bool PermitOverwrite = false;
  bool PermitInsert = false;

private:
  std::vector<TData*> list_;
  std::thread::id owner_thread_;
  bool check_pending_ = false;
  // Serialises storing a memory read and rebuilding merged views; first in the lock order.
  std::recursive_mutex mutex_;
};

// The program's registry, created by the device-database shell; null when there is none.
extern TDataGlobals* DataGlobals;

}  // namespace qv
