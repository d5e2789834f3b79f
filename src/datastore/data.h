#pragma once
// The data set: records of one fixed size held back to back in a growable memory buffer, with a
// read window and a cursor over it, registered clients that are told about changes, and a
// re-entrant mutex that guards all of it against the recorder's worker thread.
//
// Locking: the operations that open, read, write, copy or free the buffer take the mutex
// themselves; the cursor and record-change operations do not, and their callers hold the lock
// around a whole walk or batch. The registry's mutex (DataGlobals) is always taken before a
// data set's mutex, never while this thread holds one.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/msg_handler.h"
#include "base/utils.h"
#include "datastore/dt_record.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/stream.h"

namespace qv {

class TChannel;
class TChannels;
class TData;

QV_DECLARE_EXCEPTION(EDataError, Exception2);
QV_DECLARE_EXCEPTION(EDatOutOfMemError, EDataError);
QV_DECLARE_EXCEPTION(EDatOutOfDiscError, EDataError);
QV_DECLARE_EXCEPTION(EDatFormatError, EDataError);

// Client events. 0 to 5 are sent; 6 to 9 are interests that are never sent.
enum TDataEvent : int32_t {
  deDestroying = 0,       // the data set is being destroyed
  deManyChanged = 1,      // many records changed (window reopened, data copied, a batch)
  deFlushed = 2,          // the buffer was written
  deOneChanged = 3,       // exactly one record changed in a batch
  deNameChanged = 4,      // display name or short display name changed
  deChannelsChanged = 5,  // the channel list changed
  deFollowDt1 = 6,        // the client follows the navigator's view window
  deFollowDt2 = 7,        // the client follows the navigator's overview day
  deKeepBuffer = 8,       // the client keeps the buffer open
  deSmallBuffer = 9,      // the client appends records and wants a small buffer
};
// Bit n stands for event n.
using TDataEvents = uint16_t;
constexpr TDataEvents DataEventBit(int32_t event) { return static_cast<TDataEvents>(1u << event); }

using TDataNotifyEvent = std::function<void(TData* data, int32_t event)>;

// Operation results.
constexpr int32_t drDone = 1;
constexpr int32_t drWeekNotWritten = 2;
constexpr int32_t drRefused = 3;
constexpr int32_t drNotPermitted = 603;

// A byte position that means "none" for the cursor and "to the buffer's end" for a window.
constexpr int32_t DataPosMax = 2147483647;

// Flags: what storing a record may do to the stored ones.
constexpr uint8_t dfPermitOverwrite = 0x01;  // replace a record with the same time stamp
constexpr uint8_t dfPermitInsert = 0x02;     // insert between two stored records
constexpr uint8_t dfMerge = 0x04;            // fill a stored record's missing values

// One channel that a user may pick: a value channel of a data set.
struct TChanSelCell {
  TData* Data;
  TChannel* Channel;
};
using TChanSelList = std::vector<TChanSelCell>;

// Shows a data-store message with an error dialog and OK, through the message handler when the
// program has one (which then also logs it).
void ReportDataMessage(const std::string& text, TMsgKind kind);

class TData {
public:
  // Rec is the record buffer: not owned; its size is the size of every record.
  TData(std::string path, TRecord* rec);
  // Sends event 0 and removes every client; does not write the buffer (the owner closes or
  // flushes first). Handlers of event 0 see a data set that is being torn down: they compare
  // it or detach from it, nothing else. No other thread may hold or wait for the lock: the
  // recorder has stopped using a data set before its owner frees it.
  virtual ~TData();
  TData(const TData&) = delete;
  TData& operator=(const TData&) = delete;

  virtual int32_t WriteData() = 0;
  virtual int32_t ReadData() = 0;
  virtual int32_t Open();
  virtual int32_t CheckDiscSpace();
  virtual void NavigatorChanged() {}
  virtual std::string GetDataIdent();
  virtual std::string DefineIdent() = 0;
  virtual std::string GetName() = 0;
  virtual std::string GetSName() = 0;
  virtual void FreeBuffer();
  virtual int32_t Flush();
  virtual int32_t CopyData(TData* source);
  virtual bool NoData() = 0;
  virtual bool ModifyRecord();
  virtual int32_t AppendRecord(TRecord& record);
  virtual int32_t InsertRecord(TRecord& record);
  virtual void AddClient(const void* client, TDataEvents events, TDataNotifyEvent handler);
  virtual void CheckBuffer();

  // Takes the list (not owned) and becomes its change handler; the list accepts only its first
  // handler. Null or the present list changes nothing.
  void SetChannels(TChannels* channels);
  TChannels* Channels() const { return channels_; }
  // Appends one cell per value channel, in value order.
  void FillChanSelList(TChanSelList* list);

  // Buffer.
  int32_t NewBuffer();
  int32_t Close();

  // Cursor and read window; the caller holds the lock.
  bool First();
  bool Next();
  bool Last();
  bool GotoFirst();
  bool GotoLast();
  bool MoveByEx(int32_t n, bool& at_bound);
  bool MoveBy(int32_t n);
  int32_t RecordCount() const;
  void RestorePosition();

  // Record changes; the caller holds the lock.
  void NotifyRecordChanges();

  // Clients.
  void DetachClient(const void* client);
  int IndexOfClient(const void* client) const;
  void RemoveClient(int index);
  // With contain_errors a handler's exception is reported and the remaining clients are told all
  // the same (for the last event, sent from the destructor).
  void NotifyClients(int32_t event, bool contain_errors = false);
  bool HasClientFor(int32_t event) const;
  int ClientCount() const { return static_cast<int>(clients_.size()); }

  // Lock.
  void Lock();
  // True when acquired within ms milliseconds.
  bool TryLock(uint32_t ms);
  void Unlock();

  TRecord* Rec() const { return rec_; }
  bool HasBuffer() const { return buffer_ != nullptr; }
  // 0 without buffer.
  int64_t BufferSize() const;
  int64_t StreamPosition() const;
  int32_t ChangeCount() const { return change_count_; }
  bool Modified() const { return modified_; }
  int32_t WinStart() const { return win_start_; }
  int32_t WinStop() const { return win_stop_; }
  int32_t CurPos() const { return cur_pos_; }

  std::string Path;
  bool NoIdent = false;
  int32_t LoggerId = 0;  // logger number of the device whose data this is; 0 and below = none
  uint8_t Flags = 0;

protected:
  TMemoryStream* Buffer() const { return buffer_.get(); }
  void SetReadWindow(int32_t start, int32_t stop) {
    win_start_ = start;
    win_stop_ = stop;
  }
  void SetModified(bool modified) { modified_ = modified; }
  void AddChanges(int32_t n) { change_count_ += n; }
  void ClearCurPos() { cur_pos_ = DataPosMax; }
  void SetCurPos(int32_t pos) { cur_pos_ = pos; }
  // Raises EDatOutOfMemError with the operation's name.
  [[noreturn]] static void RaiseOutOfMem(const std::string& operation);
  // Raises EDatOutOfMemError when a buffer would outgrow the 32-bit positions by adding bytes.
  void CheckGrowth(int64_t bytes, const std::string& operation) const;
  // Whether rec has the size of this data set's records.
  bool SameSize(const TRecord& record) const { return rec_ && record.Size() == rec_->Size(); }

  // Runs f with the buffer's memory and stream failures turned into EDatOutOfMemError.
  template <class F>
  auto GuardMemory(const std::string& operation, F f) -> decltype(f()) {
    try {
      return f();
    } catch (const EStreamError&) {
      RaiseOutOfMem(operation);
    } catch (const std::bad_alloc&) {
      RaiseOutOfMem(operation);
    }
  }

private:
  struct Registration {
    const void* client;
    TDataEvents events;
    TDataNotifyEvent handler;
  };
  void ClientsChanged();
  void ChannelsChanged();

  // Re-entrant for the owning thread. Holders and waiters are counted so that destruction can
  // check that nobody else uses the data set.
  std::recursive_timed_mutex mutex_;
  std::atomic<int32_t> lock_users_{0};
  int32_t lock_depth_ = 0;  // changed only by the owning thread

  TRecord* rec_;
  TChannels* channels_ = nullptr;
  // Cleared when the data set goes, so that a channel list that outlives it calls nobody.
  std::shared_ptr<TData*> alive_;
  std::unique_ptr<TMemoryStream> buffer_;
  std::vector<Registration> clients_;
  int32_t change_count_ = 0;
  bool modified_ = false;
  int32_t win_start_ = -1;
  int32_t win_stop_ = -1;
  int32_t cur_pos_ = DataPosMax;
};

// Holds a data set's lock for a scope.
class TDataLock {
public:
  explicit TDataLock(TData& data) : data_(data) { data_.Lock(); }
  ~TDataLock() { data_.Unlock(); }
  TDataLock(const TDataLock&) = delete;
  TDataLock& operator=(const TDataLock&) = delete;

private:
  TData& data_;
};

// Number of data-set locks the calling thread holds (for the lock order check of the registry).
int32_t DataLocksHeldByThread();

// An observer of the calling thread's locking: called with the data set (or the registry of open
// data sets) right after this thread took its mutex, and right before it releases it. Lock-order
// checks install one; null removes it. Other threads are not observed.
using TLockTrace = std::function<void(const void* owner, bool taken)>;
void SetLockTrace(const TLockTrace* trace);
// Reports to the calling thread's observer, when there is one.
void TraceLock(const void* owner, bool taken);

}  // namespace qv
