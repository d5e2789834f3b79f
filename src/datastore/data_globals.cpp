#include "datastore/data_globals.h"

#include <algorithm>
#include <cassert>
#include <exception>

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "datastore/data.h"

namespace qv {

TDataGlobals* DataGlobals = nullptr;

namespace {
thread_local int32_t registry_locks_held = 0;
}

TDataGlobals::TDataGlobals(const TTickSource& ticks)
    : owner_thread_(std::this_thread::get_id()), check_timer_(100, ticks) {
  LoadIni();
}

TDataGlobals::~TDataGlobals() {
  // Nobody may hold the registry while it goes.
  mutex_.lock();
  mutex_.unlock();
  if (check_pending_ && IdleTaskManager) IdleTaskManager->RemoveTask(this, &check_timer_);
  if (DataGlobals == this) DataGlobals = nullptr;
}

void TDataGlobals::LoadIni() {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  PermitOverwrite = ini.ReadBool("Data", "PermitOverwrite", PermitOverwrite);
  PermitInsert = ini.ReadBool("Data", "PermitInsert", PermitInsert);
}

void TDataGlobals::RegisterData(TData* data) {
  assert(std::this_thread::get_id() == owner_thread_ && "data sets are created on the main thread");
  if (!data || std::find(list_.begin(), list_.end(), data) != list_.end()) return;
  list_.push_back(data);
}

void TDataGlobals::UnregisterData(TData* data) {
  assert(std::this_thread::get_id() == owner_thread_ && "data sets are freed on the main thread");
  list_.erase(std::remove(list_.begin(), list_.end(), data), list_.end());
}

TData* TDataGlobals::GetData(int index) const {
  if (index < 0 || index >= Count()) throw EDataError("Error in TDataGlobals.GetData: Index out of range");
  return list_[static_cast<size_t>(index)];
}

TData* TDataGlobals::FindData(const std::string& ident) const {
  if (ident.empty() || ident == "$$NoIdent$$") return nullptr;
  std::string wanted = ident;
  std::replace(wanted.begin(), wanted.end(), '\\', '/');
  for (TData* data : list_)
    if (data->GetDataIdent() == wanted) return data;
  return nullptr;
}

bool TDataGlobals::HasClientFor(int32_t event) const {
  return std::any_of(list_.begin(), list_.end(), [event](TData* d) { return d->HasClientFor(event); });
}

void TDataGlobals::NavigatorChanged() {
  ForEach([](TData* data) { data->NavigatorChanged(); });
}

void TDataGlobals::CheckBuffers() {
  ForEach([](TData* data) { data->CheckBuffer(); });
}

void TDataGlobals::ForEach(const std::function<void(TData*)>& f) {
  // A data set may register or go meanwhile: walk a copy, skipping those that went.
  std::vector<TData*> list = list_;
  for (TData* data : list) {
    if (std::find(list_.begin(), list_.end(), data) == list_.end()) continue;
    try {
      f(data);
    } catch (const std::exception& e) {
      ReportDataMessage(e.what(), mkError);
    }
  }
}

void TDataGlobals::ScheduleCheck() {
  if (!IdleTaskManager || check_pending_) return;
  check_pending_ = true;
  check_timer_.Restart();
  IdleTaskManager->AddTask(this, &check_timer_, [this](TIdleTaskManager* sender, TTimer2* timer, bool& done) {
    IdleCheck(sender, timer, done);
  });
}

void TDataGlobals::IdleCheck(TIdleTaskManager*, TTimer2*, bool& done) {
  check_pending_ = false;
  CheckBuffers();
  done = true;
}

void TDataGlobals::Lock() {
  // Lock order: a thread that holds a data set's lock must not wait for the registry.
  assert((registry_locks_held > 0 || DataLocksHeldByThread() == 0) && "registry locked after a data set");
  mutex_.lock();
  ++registry_locks_held;
  TraceLock(this, true);
}

void TDataGlobals::Unlock() {
  TraceLock(this, false);
  --registry_locks_held;
  mutex_.unlock();
}

}  // namespace qv
