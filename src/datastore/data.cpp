#include "datastore/data.h"

#include <cassert>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/res_string.h"
#include "datastore/channels.h"
#include "datastore/data_globals.h"
#include "datastore/dt_navigator.h"
#include "platform/rtl/format.h"

namespace qv {

void ReportDataMessage(const std::string& text, TMsgKind kind) {
  if (MsgHandler) MsgHandler->HandleMessage(text, "", TMsgDlgType::mtError, mbOK, 0, mrOk, true, kind);
}

namespace {

thread_local int32_t data_locks_held = 0;
thread_local const TLockTrace* lock_trace = nullptr;

void NavigatorDataChanged() {
  if (DtNavigator) DtNavigator->Changed();
}

}  // namespace

int32_t DataLocksHeldByThread() { return data_locks_held; }

void SetLockTrace(const TLockTrace* trace) { lock_trace = trace; }

void TraceLock(const void* owner, bool taken) {
  if (lock_trace) (*lock_trace)(owner, taken);
}

TData::TData(std::string path, TRecord* rec)
    : Path(std::move(path)), rec_(rec), alive_(std::make_shared<TData*>(this)) {
  if (DataGlobals) DataGlobals->RegisterData(this);
}

TData::~TData() {
  // Wait for a walk or batch of this thread's caller to end, then make sure that nobody else
  // holds or waits for the mutex: freeing it under another thread would be a use after free.
  Lock();
  assert(lock_users_.load() == lock_depth_ && "data set destroyed while another thread uses it");
  Unlock();
  *alive_ = nullptr;
  if (DataGlobals) DataGlobals->UnregisterData(this);
  NotifyClients(deDestroying, true);
  clients_.clear();
  buffer_.reset();
}

void TData::Lock() {
  ++lock_users_;
  mutex_.lock();
  ++lock_depth_;
  ++data_locks_held;
  TraceLock(this, true);
}

bool TData::TryLock(uint32_t ms) {
  ++lock_users_;
#ifdef QV_TSAN
  // The thread sanitizer of GCC 12 does not see libstdc++'s timed lock (pthread_mutex_clocklock)
  // and would report every unlock after it; polling the plain try-lock keeps its view right.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  bool got = mutex_.try_lock();
  while (!got && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    got = mutex_.try_lock();
  }
#else
  const bool got = mutex_.try_lock_for(std::chrono::milliseconds(ms));
#endif
  if (!got) {
    --lock_users_;
    return false;
  }
  ++lock_depth_;
  ++data_locks_held;
  TraceLock(this, true);
  return true;
}

void TData::Unlock() {
  TraceLock(this, false);
  --lock_depth_;
  --data_locks_held;
  mutex_.unlock();
  --lock_users_;
}

void TData::RaiseOutOfMem(const std::string& operation) {
  throw EDatOutOfMemError(Format(LoadResString("dat_OutOfMem"), operation));
}

void TData::CheckGrowth(int64_t bytes, const std::string& operation) const {
  int64_t record = rec_ ? rec_->Size() : 0;
  if (BufferSize() + bytes > int64_t{DataPosMax} - record) RaiseOutOfMem(operation);
}

int64_t TData::BufferSize() const { return buffer_ ? buffer_->Size() : 0; }

int64_t TData::StreamPosition() const { return buffer_ ? buffer_->Position() : 0; }

void TData::SetChannels(TChannels* channels) {
  if (!channels || channels == channels_) return;
  channels_ = channels;
  channels_->SetOnChange([alive = alive_](void*) {
    if (*alive) (*alive)->ChannelsChanged();
  });
}

void TData::ChannelsChanged() { NotifyClients(deChannelsChanged); }

void TData::FillChanSelList(TChanSelList* list) {
  if (!list) throw EDataError("Error in TData.FillChanSelList: ChanSelList is nil");
  if (!channels_) return;
  for (int i = 0; i < channels_->ValueCount(); ++i) list->push_back(TChanSelCell{this, channels_->GetValueChannel(i)});
}

// ---- buffer ----

int32_t TData::NewBuffer() {
  if (Flush() != drDone) return drRefused;
  FreeBuffer();
  GuardMemory("TData.NewBuffer", [&] { buffer_ = std::make_unique<TMemoryStream>(); });
  return drDone;
}

int32_t TData::Open() {
  TDataLock lock(*this);
  int32_t result = NewBuffer();
  if (result == drDone) result = ReadData();
  return result;
}

int32_t TData::Flush() {
  if (!modified_) return drDone;
  int32_t result = WriteData();
  if (result == drDone) {
    modified_ = false;
    NotifyClients(deFlushed);
    NavigatorDataChanged();
  }
  return result;
}

void TData::FreeBuffer() {
  TDataLock lock(*this);
  buffer_.reset();
  modified_ = false;
  change_count_ = 0;
  cur_pos_ = DataPosMax;
}

int32_t TData::Close() {
  int32_t result = Flush();
  if (result == drDone) FreeBuffer();
  return result;
}

int32_t TData::CopyData(TData* source) {
  TDataLock lock(*this);
  // Records of another size would be read misaligned.
  if (source && (!source->rec_ || !SameSize(*source->rec_)))
    throw EDataError("Error in TData.CopyData: record size differs");
  // The present buffer is written before it is replaced; without one there is nothing to write.
  if (buffer_) modified_ = true;
  int32_t result = NewBuffer();
  if (result != drDone || !source || source == this) return result;
  // The recorder may be inserting into the source: read it under its lock, taken after ours.
  TDataLock source_lock(*source);
  if (source->BufferSize() > 0) {
    GuardMemory("TData.CopyData", [&] {
      CheckGrowth(source->BufferSize(), "TData.CopyData");
      buffer_->Write(source->buffer_->Memory(), static_cast<int32_t>(source->BufferSize()));
      buffer_->SetPosition(0);
    });
  }
  return result;
}

int32_t TData::CheckDiscSpace() {
  if (!buffer_ || Path.empty()) return drDone;
  // The nearest existing folder of Path stands for the drive of the path.
  std::error_code ec;
  std::filesystem::path p(Path);
  while (!p.empty() && !std::filesystem::exists(p, ec)) {
    std::filesystem::path parent = p.parent_path();
    if (parent == p) break;
    p = parent;
  }
  if (p.empty()) p = ".";
  std::filesystem::space_info info = std::filesystem::space(p, ec);
  if (ec) return drDone;
  if (static_cast<double>(info.available) < 1.2 * static_cast<double>(BufferSize()))
    throw EDatOutOfDiscError(LoadResString("dat_OutOfDisc"));
  return drDone;
}

std::string TData::GetDataIdent() { return NoIdent ? "$$NoIdent$$" : DefineIdent(); }

// ---- cursor and window ----

bool TData::First() {
  if (!buffer_ || !rec_ || BufferSize() < rec_->Size() || win_start_ < 0) return false;
  // A window that starts behind the last whole record holds nothing to read.
  if (int64_t{win_start_} + rec_->Size() > BufferSize()) return false;
  buffer_->SetPosition(win_start_);
  rec_->SRead(*buffer_);
  return true;
}

bool TData::Next() {
  if (!buffer_ || !rec_ || win_start_ < 0 || win_stop_ < 0) return false;
  int64_t pos = buffer_->Position();
  if (pos < 0 || BufferSize() - pos < rec_->Size() || pos > win_stop_) return false;
  rec_->SRead(*buffer_);
  return true;
}

bool TData::Last() {
  if (!buffer_ || !rec_) return false;
  int64_t size = rec_->Size();
  if (BufferSize() < 2 * size || win_start_ < 0 || win_stop_ < 0 || int64_t{win_stop_} - win_start_ < 2 * size)
    return false;
  // Fewer than one record behind WinStop: the buffer's last whole record.
  int64_t pos = win_stop_;
  if (BufferSize() - pos < size) pos = (BufferSize() / size - 1) * size;
  buffer_->SetPosition(pos);
  rec_->SRead(*buffer_);
  return true;
}

int32_t TData::RecordCount() const {
  if (!buffer_ || !rec_ || rec_->Size() == 0 || win_start_ < 0) return 0;
  int64_t end = std::min<int64_t>(win_stop_, BufferSize());
  int64_t n = (end - win_start_) / rec_->Size();
  return n > 0 ? static_cast<int32_t>(n) : 0;
}

bool TData::GotoFirst() {
  if (RecordCount() < 1) return false;
  cur_pos_ = win_start_;
  return true;
}

bool TData::GotoLast() {
  // Without a whole record in the window there is no last one.
  if (RecordCount() < 1) {
    cur_pos_ = DataPosMax;
    return false;
  }
  cur_pos_ = static_cast<int32_t>(std::min<int64_t>(win_stop_, BufferSize()) - rec_->Size());
  return true;
}

bool TData::MoveByEx(int32_t n, bool& at_bound) {
  at_bound = false;
  if (!buffer_ || !rec_ || cur_pos_ == DataPosMax || RecordCount() < 1) return false;
  int64_t size = rec_->Size();
  int64_t low = win_start_;
  int64_t high = std::min<int64_t>(win_stop_, BufferSize()) - size;
  int64_t pos = int64_t{cur_pos_} + int64_t{n} * size;
  if (pos < low) {
    pos = low;
    at_bound = true;
  } else if (pos > high) {
    pos = high;
    at_bound = true;
  }
  cur_pos_ = static_cast<int32_t>(pos);
  return true;
}

bool TData::MoveBy(int32_t n) {
  bool at_bound;
  return MoveByEx(n, at_bound);
}

void TData::RestorePosition() {
  if (!buffer_) return;
  buffer_->SetPosition(std::min<int64_t>(cur_pos_, BufferSize()));
}

// ---- record changes ----

bool TData::ModifyRecord() {
  if (!buffer_ || BufferSize() == 0) throw EDataError("Error in Data.ModifyRecord! FBuffer Nil or empty");
  int64_t pos = buffer_->Position();
  if (pos < rec_->Size()) throw EDataError("Error in Data.ModifyRecord! FBuffer at position 0");
  bool written = GuardMemory("TData.ModifyRecord", [&] {
    buffer_->SetPosition(pos - rec_->Size());
    return rec_->SWrite(*buffer_) != 0;
  });
  if (!written) return false;
  modified_ = true;
  change_count_ += 2;
  return Next();
}

int32_t TData::AppendRecord(TRecord& record) {
  if (!buffer_) throw EDataError("Error in Data.AppendRecord! Buffer nil");
  if (!SameSize(record)) throw EDataError("Error in Data.AppendRecord! Record size differs");
  bool written = GuardMemory("TData.AppendRecord", [&] {
    CheckGrowth(record.Size(), "TData.AppendRecord");
    buffer_->Seek(0, TSeekOrigin::soEnd);
    return record.SWrite(*buffer_) != 0;
  });
  if (!written) return drRefused;
  modified_ = true;
  change_count_ += 1;
  return drDone;
}

int32_t TData::InsertRecord(TRecord& record) {
  if (!buffer_) throw EDataError("Error in Data.InsertRecord! Buffer nil");
  if (!SameSize(record)) throw EDataError("Error in Data.InsertRecord! Record size differs");
  int64_t pos = buffer_->Position();
  bool written = GuardMemory("TData.InsertRecord", [&] {
    CheckGrowth(record.Size(), "TData.InsertRecord");
    buffer_->Seek(0, TSeekOrigin::soEnd);
    bool ok = record.SWrite(*buffer_) != 0;
    buffer_->SetPosition(pos);
    return ok;
  });
  if (!written) return drRefused;
  modified_ = true;
  change_count_ += 1;
  return drDone;
}

void TData::NotifyRecordChanges() {
  if (change_count_ > 1)
    NotifyClients(deManyChanged);
  else if (change_count_ == 1)
    NotifyClients(deOneChanged);
}

// ---- clients ----

void TData::ClientsChanged() {
  NavigatorDataChanged();
  if (DataGlobals) DataGlobals->ScheduleCheck();
}

void TData::AddClient(const void* client, TDataEvents events, TDataNotifyEvent handler) {
  if (!client || events == 0) return;
  int index = IndexOfClient(client);
  bool changed;
  if (index < 0) {
    clients_.push_back(Registration{client, events, std::move(handler)});
    changed = true;
  } else {
    Registration& r = clients_[static_cast<size_t>(index)];
    changed = r.events != events;
    r.events = events;
    r.handler = std::move(handler);
  }
  if (changed) ClientsChanged();
}

void TData::DetachClient(const void* client) {
  int index = IndexOfClient(client);
  if (index < 0) return;
  RemoveClient(index);
  ClientsChanged();
}

int TData::IndexOfClient(const void* client) const {
  for (size_t i = 0; i < clients_.size(); ++i)
    if (clients_[i].client == client) return static_cast<int>(i);
  return -1;
}

void TData::RemoveClient(int index) {
  if (index < 0 || index >= ClientCount()) throw Exception("Error in TData.RemoveClient: wrong index");
  clients_.erase(clients_.begin() + index);
}

void TData::NotifyClients(int32_t event, bool contain_errors) {
  if (event == deManyChanged || event == deOneChanged) change_count_ = 0;
  if (event < 0 || event > 15) return;
  TDataEvents bit = DataEventBit(event);
  size_t i = 0;
  while (i < clients_.size()) {
    const void* client = clients_[i].client;
    if ((clients_[i].events & bit) && clients_[i].handler) {
      // The handler may detach itself, which destroys the registration it lives in.
      TDataNotifyEvent handler = clients_[i].handler;
      if (!contain_errors) {
        handler(this, event);
      } else {
        try {
          handler(this, event);
        } catch (const std::exception& e) {
          try {
            ReportDataMessage(e.what(), mkError);
          } catch (...) {
          }
        } catch (...) {
        }
      }
      // Detached: the registration that took its place comes next.
      if (i < clients_.size() && clients_[i].client != client) continue;
    }
    ++i;
  }
}

bool TData::HasClientFor(int32_t event) const {
  if (event < 0 || event > 15) return false;
  for (const Registration& r : clients_)
    if (r.events & DataEventBit(event)) return true;
  return false;
}

void TData::CheckBuffer() {
  TDataLock lock(*this);
  if (HasClientFor(deFollowDt1) || HasClientFor(deFollowDt2) || HasClientFor(deKeepBuffer)) return;
  // Records that could not be written stay in memory for the next attempt.
  auto report = [this](int32_t result) {
    ReportDataMessage("Error in TData.CheckBuffer: " + GetDataIdent() + " not written (" + std::to_string(result) +
                          "), its records stay in memory",
                      mkError);
  };
  if (!HasClientFor(deSmallBuffer)) {
    int32_t result = Flush();
    if (result == drDone)
      FreeBuffer();
    else
      report(result);
  } else if (buffer_ && BufferSize() <= 1000) {
    int32_t result = Flush();
    if (result != drDone) report(result);
  } else {
    // Written first, so that a failure is reported with the write's own result.
    int32_t result = Flush();
    if (result == drDone)
      NewBuffer();
    else
      report(result);
  }
}

}  // namespace qv
