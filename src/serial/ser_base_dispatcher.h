#pragma once
// The engine behind one open serial port: the received-data ring, the send ring, the line
// settings, the timer, status and length triggers and the parties that want trigger events.
// What happens on the line becomes numbered events: data available, timer expired, status
// changed. The device operations are virtual; the threads that drive the engine and the real
// device live in TSerWin32Dispatcher.
//
// Lock order: the global dispatcher list, then read_mutex_, main_lock_, send_lock_, data_lock_.
// No lock is held while an event is handed to a handler, so handlers may call back freely.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/message_queue.h"
#include "platform/rtl/byte_ring.h"
#include "platform/serial/comm_device.h"
#include "serial/ser_base_component.h"

namespace qv {

class TSerCustomComPort;
class TSerTrace;
class TSerLog;

// Events of the dispatcher.
constexpr uint32_t kTriggerAvail = 32257;
constexpr uint32_t kTriggerData = 32258;
constexpr uint32_t kTriggerTimer = 32259;
constexpr uint32_t kTriggerStatus = 32260;
// The line went away (the device hung up): posted once to every window handler, with the
// parameter word of the events (dispatcher handle * 65536).
constexpr uint32_t kLineLostMsg = 32267;

// Status trigger kinds.
constexpr int kStatusModem = 1, kStatusLine = 2, kStatusOutBuffFree = 3, kStatusOutBuffUsed = 4, kStatusOutSent = 5;

// Line-error word bits.
constexpr uint16_t leOverflow = 0x01, leOverrun = 0x02, leParity = 0x04, leFraming = 0x08, leBreak = 0x10;

constexpr uint32_t kDispatchBufferSize = 8192;
// The dispatch thread's interval: it looks at the timers at least this often.
constexpr uint32_t kDispatchPassMs = 50;
// How long the dispatch thread waits for the main thread to take a trigger event.
constexpr uint32_t kTriggerSendTimeoutMs = 3000;

struct TTimerTrigger {
  int32_t Handle = 0;
  TTickTimer Timer;
  int32_t Ticks = 0;
  bool Active = false;
};

struct TStatusTrigger {
  int32_t Handle = 0;
  int Kind = 0;
  uint16_t Value = 0;
  bool Active = false;
  bool Fired = false;
};

// The triggers kept across a close and reopen of a port.
struct TTriggerSave {
  int32_t LengthTrigger = 0;
  std::vector<TTimerTrigger> Timers;
  std::vector<TStatusTrigger> Statuses;
};

// An event handler: (event, value, parameter word = data + dispatcher handle * 65536).
using TTriggerHandler = std::function<void(uint32_t msg, uint32_t value, int32_t param)>;

// Marks the calling thread as running the handler of a delivered event (the port window, packet
// events). A close asked for from there is deferred until the delivery has ended; a close from
// anywhere else waits for a delivery under way to end and then closes at once.
class TEventHandlerScope {
public:
  TEventHandlerScope();
  ~TEventHandlerScope();
  TEventHandlerScope(const TEventHandlerScope&) = delete;
  TEventHandlerScope& operator=(const TEventHandlerScope&) = delete;
  static bool Inside();
};

class TSerBaseDispatcher {
public:
  explicit TSerBaseDispatcher(TSerCustomComPort* owner);
  virtual ~TSerBaseDispatcher();
  TSerBaseDispatcher(const TSerBaseDispatcher&) = delete;
  TSerBaseDispatcher& operator=(const TSerBaseDispatcher&) = delete;

  TSerCustomComPort* Owner() const { return owner_; }
  int Handle() const { return handle_; }
  // The device name shown by the log ("COM" and the number).
  std::string DeviceName;

  // The clock of the tick timers; the monotonic clock unless set.
  void SetClock(TMsClockSource clock);
  uint64_t NowMs() const { return clock_(); }

  // Opening and closing. Options: bit 0 DTR on, bit 1 RTS on, bit 4 DTR and bit 5 RTS under
  // handshake from the start.
  int OpenDispatcherPort(const std::string& name, uint32_t baud, int parity, int stop_bits, int data_bits,
                         uint32_t in_size, uint32_t out_size, uint32_t options);
  int CloseDispatcherPort();
  // New driver queue sizes; the dispatch and send rings keep theirs until the next open.
  int SetQueues(uint32_t in_size, uint32_t out_size);
  bool DeviceValid() const { return device_open_; }

  // Received data. While a delivery runs, only its reader takes or peeks at bytes (see
  // reader_thread_); any other thread finds none.
  int GetBlock(uint8_t* buffer, uint32_t count);
  int PeekBlock(uint8_t* buffer, uint32_t count);
  bool CharReady();
  uint32_t InBuffUsed();
  // What the calling thread can take with GetBlock now: nothing for a thread that is not the
  // reader of the delivery under way.
  uint32_t InBuffReadable();
  bool DispatchBufferFull();
  int FlushInBuffer();

  // Sending.
  int PutBlock(const uint8_t* data, uint32_t count);
  uint32_t OutBuffUsed();
  uint32_t OutBuffFree();
  int FlushOutBuffer();

  // Triggers.
  int AddTimerTrigger();
  int SetTimerTrigger(int32_t handle, int32_t ticks, bool activate);
  int AddStatusTrigger(int kind);
  int SetStatusTrigger(int32_t handle, uint16_t value, bool activate);
  int RemoveTrigger(int32_t handle);
  void SetLengthTrigger(int32_t count);
  int32_t LengthTrigger();
  void SaveTriggers(TTriggerSave& save);
  void RestoreTriggers(const TTriggerSave& save);

  // Parties that want events.
  void RegisterWindowHandler(HWND wnd);
  void DeregisterWindowHandler(HWND wnd);
  void RegisterEventHandler(const void* key, TTriggerHandler handler);
  void DeregisterEventHandler(const void* key);
  virtual void UpdateHandlerFlags(int mode);
  // Hands an event to every handler; false when a close became pending or a data-available
  // event was not fully consumed.
  bool DeliverEvent(uint32_t msg, uint32_t value, uint16_t data);
  bool Delivering() const { return delivering_; }

  bool ClosePending() const { return close_pending_; }

  // The device hung up (the other end went away): reported to the window handlers once, also
  // to one that registers afterwards. Nothing will be received until the port is reopened.
  void ReportLineLost();
  bool LineLost() const { return line_lost_; }

  // Line and flow settings.
  int ApplyLineSettings(uint32_t baud, int parity, int stop_bits, int data_bits);
  void ReadLineSettings(uint32_t& baud, int& parity, int& stop_bits, int& data_bits);
  int ApplyHWFlow(int32_t full, int32_t resume, uint32_t options);
  int ApplySWFlow(int32_t full, int32_t resume, uint32_t options);
  int SWFlowOff();
  int ApplyFlowChars(char xon, char xoff);
  int SetDtrLine(bool on);
  int SetRtsLine(bool on);
  int WriteDcb(TDcb dcb);
  const TDcb& Dcb() const { return dcb_; }
  uint32_t LastBaud() const { return last_baud_; }
  void RefreshModemStatus();
  uint8_t ModemStatus() const { return modem_status_; }
  int LineErrorCode();
  bool LineBreakSeen();
  void SetRS485Mode(bool on) { rs485_ = on; }
  void SetEventWordOption(bool on) { event_word_option_ = on; }
  virtual void SetThreadBoost(int boost);

  // One pass of the dispatch thread, callable directly where no threads run.
  // True when the pass ended after a dispatch interval while bytes kept coming.
  bool HandleDeviceEvent(uint32_t mask);
  void HandleTimers();
  // Reads what the device holds into the dispatch buffer; the bytes read.
  uint32_t ReadDeviceData();
  bool ProcessReceived();
  bool CheckStatusTriggers();
  bool CheckTimerTriggers();
  void ClearFiredMarks();

  // Trace and log recording (the recorders are kept here; see TSerTrace and TSerLog).
  void AddTraceEntry(char kind, uint8_t byte);
  void AddLogEntry(uint8_t type, uint8_t subtype, uint32_t value, const void* data, uint32_t size);
  bool LogActive() const { return logging_; }
  TSerTrace* Trace() { return trace_.get(); }
  TSerLog* Log() { return log_.get(); }
  int StartTrace(uint32_t size);
  void StopTrace();
  int StartLog(uint32_t size);
  void StopLog();
  std::recursive_mutex& MainLock() { return main_lock_; }
  uint32_t OpenTime() const { return open_time_; }

  // Wait before a line change: 18 character times after the send ring emptied, in ms.
  static uint32_t LineChangeWaitMs(uint32_t baud, int data_bits, int parity, int stop_code);

  bool ThreadsActive() const { return running_threads_.load() > 0; }
  // Finds a live dispatcher by handle, under the global list lock held by the caller's guard.
  // The list lock guards the list of live dispatchers and comes first in the lock order.
  static std::recursive_mutex& ListLock();
  static TSerBaseDispatcher* FindByHandle(int handle);

protected:
  // Device operations.
  virtual int EscapeFunction(int func) = 0;
  virtual int PurgeDevice(int queue) = 0;  // 0 output, 1 input
  virtual uint32_t ReadDeviceStatus(uint32_t& in_queue) = 0;
  virtual void ReportLineError() {}
  virtual int ReadDeviceState(TDcb& dcb) = 0;
  virtual long ReadDevice(uint8_t* buffer, uint32_t count) = 0;
  // Reads into first, and into second once first is full (the room before and after the end
  // of the dispatch buffer); the total read. A device that can should do it in one call.
  virtual long ReadDevice2(uint8_t* first, uint32_t first_count, uint8_t* second, uint32_t second_count);
  virtual int WriteDeviceState(const TDcb& dcb) = 0;
  virtual long WriteDevice(const uint8_t* data, uint32_t count);
  virtual int ReadModemLines(uint32_t& status) = 0;
  virtual int SetDeviceQueues(uint32_t in_size, uint32_t out_size) = 0;
  virtual void ReleaseBuffers();
  virtual int StartDispatcher() = 0;
  virtual void StopDispatcher() = 0;
  virtual int OpenDevice(const std::string& name, uint32_t in_size, uint32_t out_size) = 0;
  virtual int CloseDevice() = 0;
  virtual int YieldTime();
  // Tells the threads that output is queued, or that the dispatch buffer has room again.
  virtual void OutputQueued() {}
  virtual void InputRoom() {}
  // Has the dispatch thread make a pass now (a receiver of data events registered).
  virtual void WakeDispatch() {}
  virtual void SleepMs(uint32_t ms);

  // send_lock_ guards the send ring and its indexes; taken after main_lock_ and before
  // data_lock_. The output thread writes from the ring without it and then advances the tail.
  std::recursive_mutex send_lock_;
  TByteRing send_ring_;
  uint32_t SendUsedLocked() const { return static_cast<uint32_t>(send_ring_.Used()); }
  // Drops count bytes from the send ring's tail (they were written or are lost).
  void AdvanceSendTail(uint32_t count);

  // How long a window gets to take an event before the dispatch thread goes on (it is then
  // delivered later).
  uint32_t send_timeout_ms_ = kTriggerSendTimeoutMs;
  // Serialises the readers of the device (the COM thread and the dispatch thread), and the
  // close of the device against them. Taken before main_lock_.
  std::mutex read_mutex_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> close_pending_{false};
  std::atomic<bool> release_at_exit_{false};
  std::atomic<int> running_threads_{0};
  std::atomic<bool> active_{false};
  int thread_boost_ = 0;
  bool rs485_ = false;
  uint32_t in_size_ = 0, out_size_ = 0;

private:
  int32_t AllocTriggerHandle();
  void ResetTriggers();
  uint32_t InBuffUsedLocked() const;
  // Whether the calling thread may read now (under data_lock_).
  bool MayReadLocked() const;
  // Whether a data event would reach anybody now (under the main lock).
  bool DataReceiversLocked() const;
  // A receiver of data events registered: the bytes already waiting are announced to it.
  void AnnounceWaitingLocked();
  void LogTrigger(uint8_t type, uint8_t subtype, uint32_t value, const void* data, uint32_t size);

  TSerCustomComPort* owner_;
  int handle_ = -1;
  TMsClockSource clock_;
  bool device_open_ = false;

  // main_lock_ guards triggers, handler lists, line settings, modem and line status, and the
  // trace and log.
  std::recursive_mutex main_lock_;
  TDcb dcb_;
  uint32_t last_baud_ = 115200;
  uint16_t line_error_ = 0;
  uint8_t modem_status_ = 0;
  bool dtr_ = true, dtr_handshake_ = false, rts_ = true, rts_handshake_ = false;
  bool event_word_option_ = true;

  // data_lock_ guards the dispatch buffer and the reading state of a delivery.
  std::recursive_mutex data_lock_;
  TByteRing dispatch_buffer_;
  uint64_t received_total_ = 0, notified_total_ = 0;
  bool announce_waiting_ = false;  // guarded by main_lock_
  uint32_t read_offset_ = 0, max_read_offset_ = 0;
  // The one thread that reads within a delivery, and so owns read_offset_: the thread that runs
  // the event handlers, or the main thread while a window has the event. Any other thread (a
  // late data event on the main thread while the packet manager reads) gets nothing until the
  // delivery has ended.
  std::thread::id reader_thread_;
  bool reader_main_ = false;
  bool flush_during_delivery_ = false;
  // The bytes a flush during a delivery drops once the handlers are done: those it found. Bytes
  // that arrive meanwhile may answer a request the handlers have sent since.
  uint32_t flush_drop_ = 0;

  bool sent_ = false;
  int32_t length_trigger_ = 0;
  int32_t next_handle_ = 1;
  std::vector<TTimerTrigger> timers_;
  std::vector<TStatusTrigger> statuses_;

  struct TWindowEntry {
    HWND Wnd;
    bool Deleted;
  };
  struct TEventEntry {
    const void* Key;
    TTriggerHandler Handler;
    bool Deleted;
  };
  std::vector<TWindowEntry> windows_;
  std::vector<TEventEntry> events_;
  bool port_handler_ = false;
  bool service_ = false;
  std::atomic<bool> delivering_{false};
  std::atomic<bool> closing_{false};  // no new deliveries
  std::atomic<bool> line_lost_{false};
  bool purge_ = false;

  std::unique_ptr<TSerTrace> trace_;
  std::unique_ptr<TSerLog> log_;
  // Whether a recorder exists, read without the main lock on the data paths.
  std::atomic<bool> tracing_{false}, logging_{false};

  uint32_t open_time_ = 0;
};

}  // namespace qv
