#include "serial/ser_custom_com_port.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

#include "platform/rtl/store_changed.h"
#include "platform/serial/com_port_map.h"
#include "serial/ser_trace.h"
#include "serial/ser_win32_dispatcher.h"
#include "serial/serial_exception.h"

namespace qv {

namespace {

// How long the port window waits for the dispatcher's threads to end before it posts the
// deferred close again.
constexpr int kClosingWaitMs = 20;

// Guards the port selection hook (a leaf lock; the hook runs outside it).
std::mutex& SelectMutex() {
  static std::mutex m;
  return m;
}
TComSelectHook& SelectHook() {
  static TComSelectHook hook;
  return hook;
}

std::string NowText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%d/%m/%y, %H:%M:%S", &tm);
  return buffer;
}

}  // namespace

void SetComSelectHook(TComSelectHook hook) {
  std::lock_guard<std::mutex> lock(SelectMutex());
  SelectHook() = std::move(hook);
}

std::vector<int> SelectablePorts() {
  std::vector<int> ports;
  for (int n = 1; n <= 50; ++n)
    if (ComPortAvailable(n)) ports.push_back(n);
  return ports;
}

TSerCustomComPort* SearchComPort(TComponent* owner) {
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    TComponent* c = owner->Components(i);
    if (auto* port = dynamic_cast<TSerCustomComPort*>(c)) return port;
    if (auto* port = SearchComPort(c)) return port;
  }
  return nullptr;
}

TSerCustomComPort::TSerCustomComPort(TComponent* owner) : TSerBaseComponent(owner) {}

TSerCustomComPort::~TSerCustomComPort() {
  BeginDestroy();
  if (state_ == psOpen) {
    try {
      ClosePort();
    } catch (const std::exception& e) {
      SerialShowException(e);
    }
  }
  if (dispatcher_) {
    // A close deferred from inside an event handler that the window never finished.
    dispatcher_.reset();
    SetPortWindow(false);
  }
  // Registrants let go of the port now; their removals change nothing any more.
  destroying_ = true;
  auto regs = registrations_;
  registrations_.clear();
  for (auto it = regs.rbegin(); it != regs.rend(); ++it) it->Callback(this, kPortRemoved);
}

// ---- opening and closing ----

void TSerCustomComPort::SetOpen(bool open) {
  if (open) {
    if (Loading()) {
      open_ = true;
      return;
    }
    if (state_ == psClosing) {
      open_pending_ = true;
      return;
    }
    if (state_ == psClosed) OpenPort();
  } else {
    open_pending_ = false;
    ClosePort();
  }
}

void TSerCustomComPort::Loaded() {
  TSerBaseComponent::Loaded();
  if (open_ && state_ == psClosed) {
    open_ = false;
    try {
      OpenPort();
    } catch (const std::exception& e) {
      SerialShowException(e);
      open_ = false;
    }
  }
}

void TSerCustomComPort::EnsureComNumber() {
  if (com_number_ != 0) return;
  if (!PromptForPort) RaiseOnError(nullptr, ecNoPortSelected);
  TComSelectHook hook;
  {
    std::lock_guard<std::mutex> lock(SelectMutex());
    hook = SelectHook();
  }
  int chosen = 0;
  if (hook) {
    // The form belongs to the main thread; another thread waits for the choice.
    Synchronize([&] { chosen = hook(); });
  }
  if (chosen <= 0 || chosen > 0xFFFF) RaiseOnError(nullptr, ecNoPortSelected);
  com_number_ = static_cast<uint16_t>(chosen);
}

std::unique_ptr<TSerBaseDispatcher> TSerCustomComPort::CreateDispatcher() {
  if (DispatcherFactory) return DispatcherFactory(this);
  if (device_layer_ != dlWin32) RaiseOnError(nullptr, ecNullApi);
  if (TapiMode == tmOn) RaiseOnError(nullptr, ecNotOpenedByTapi);
  return std::make_unique<TSerWin32Dispatcher>(this);
}

void TSerCustomComPort::OpenPortDevice() {
  uint32_t options = (dtr_ ? 1u : 0u) | (rts_ ? 2u : 0u);
  int r = dispatcher_->OpenDispatcherPort(ComPortDeviceName(com_number_), baud_, parity_, stop_bits_, data_bits_,
                                          in_size_, out_size_, options);
  if (r == ecAccessDenied) r = ecAlreadyOpen;
  if (r == ecFileNotFound || r == ecPathNotFound) r = ecBadId;
  if (r != 0) {
    RaiseOnError(this, r);
    throw ESerialException(r);  // silent while loading, yet the port must not count as open
  }
}

void TSerCustomComPort::OpenPort() {
  if (TapiMode != tmOn) EnsureComNumber();
  dispatcher_ = CreateDispatcher();
  dispatcher_->DeviceName = "COM" + std::to_string(com_number_);
  if (Clock) dispatcher_->SetClock(Clock);
  try {
    OpenPortDevice();
    state_ = psOpen;
    line_lost_ = false;
    UpdateTriggerHandler();
    ApplyForced();
    open_ = true;
    SetPortWindow(true);
    if (copy_triggers_) {
      copy_triggers_ = false;
      dispatcher_->RestoreTriggers(saved_triggers_);
      saved_triggers_ = TTriggerSave{};
    }
  } catch (...) {
    open_ = false;
    state_ = psClosed;
    if (window_) SetPortWindow(false);
    dispatcher_.reset();
    throw;
  }
  NotifyPortOpen();
}

void TSerCustomComPort::ApplyForced() {
  force_ = true;
  struct Reset {
    bool& f;
    ~Reset() { f = false; }
  } reset{force_};
  SetTracing(tracing_);
  SetLogging(logging_);
  SetHWFlowOptions(hw_flow_);
  SetSWFlowOptions(sw_flow_);
  SetXOnChar(xon_);
  SetXOffChar(xoff_);
  dispatcher_->SetLengthTrigger(trigger_length_);
  SetDTR(dtr_);
  SetRTS(rts_);
  SetUseEventWord(use_event_word_);
  SetRS485Mode(rs485_);
  dispatcher_->SetThreadBoost(thread_boost_);
}

void TSerCustomComPort::ClosePort() {
  if (state_ != psOpen) return;
  // The buffers go to their files first; a file that cannot be written must not keep the
  // port open, so the close completes and the error is raised afterwards.
  std::exception_ptr dump_error;
  try {
    SetTracing(tlDump);
  } catch (...) {
    dump_error = std::current_exception();
  }
  try {
    SetLogging(tlDump);
  } catch (...) {
    if (!dump_error) dump_error = std::current_exception();
  }
  state_ = psClosing;
  NotifyPortClosing();
  dispatcher_->SaveTriggers(saved_triggers_);
  copy_triggers_ = true;
  dispatcher_->CloseDispatcherPort();
  if (dispatcher_->ClosePending()) {
    // Asked from inside an event handler: the dispatcher still delivers, the window finishes.
    PostMessage(window_, kPortClosingMsg, 0, static_cast<intptr_t>(dispatcher_->Handle()) * 65536);
  } else {
    FinishClose();
  }
  NotifyPortClosed();
  if (dump_error) std::rethrow_exception(dump_error);
}

void TSerCustomComPort::FinishClose() {
  SetPortWindow(false);
  dispatcher_.reset();
  state_ = psClosed;
  open_ = false;
  line_lost_ = false;
}

void TSerCustomComPort::SetPortWindow(bool create) {
  // Windows belong to the main thread; a worker that opens or closes the port (the recorder
  // does) has the main thread make or free it.
  if (create) {
    Synchronize([this] { window_ = AllocateHWnd([this](TMessage& m) { PortWndProc(m); }); });
    dispatcher_->RegisterWindowHandler(window_);
  } else if (window_) {
    if (dispatcher_) dispatcher_->DeregisterWindowHandler(window_);
    HWND wnd = window_;
    window_ = nullptr;
    Synchronize([wnd] { DeallocateHWnd(wnd); });
  }
}

void TSerCustomComPort::PortWndProc(TMessage& m) {
  if (m.Msg < kTriggerAvail || (m.Msg > kTriggerStatus && m.Msg != kPortClosingMsg && m.Msg != kLineLostMsg)) return;
  int handle = static_cast<int>(static_cast<uint32_t>(m.LParam) >> 16);
  {
    std::lock_guard<std::recursive_mutex> lock(TSerBaseDispatcher::ListLock());
    TSerBaseDispatcher* d = TSerBaseDispatcher::FindByHandle(handle);
    if (!d || d != dispatcher_.get()) return;
  }
  uint16_t wparam = static_cast<uint16_t>(m.WParam);
  uint16_t low = static_cast<uint16_t>(m.LParam & 0xFFFF);
  TEventHandlerScope scope;
  try {
    switch (m.Msg) {
      case kTriggerAvail: {
        // An event that reached a busy main thread late may announce bytes that another event
        // took meanwhile, or come while the dispatch thread reads for a newer one: it carries
        // what this thread can read now, and is dropped when that is nothing.
        uint16_t count = static_cast<uint16_t>(std::min<uint32_t>(wparam, dispatcher_->InBuffReadable()));
        if (count == 0) break;
        DoTrigger(kTriggerAvail, count, count);
        DoTriggerAvail(count);
        break;
      }
      case kTriggerData:
        DoTrigger(kTriggerData, wparam, low);
        DoTriggerData(wparam);
        break;
      case kTriggerTimer:
        DoTrigger(kTriggerTimer, wparam, low);
        DoTriggerTimer(wparam);
        break;
      case kTriggerStatus:
        DoTrigger(kTriggerStatus, wparam, low);
        DoTriggerStatus(wparam);
        switch (wparam & 7) {
          case kStatusModem: DoTriggerModemStatus(); break;
          case kStatusLine: {
            bool open = state_ == psOpen && dispatcher_;
            uint16_t error = open ? static_cast<uint16_t>(dispatcher_->LineErrorCode()) : 0;
            bool brk = open ? dispatcher_->LineBreakSeen() : false;
            DoTriggerLineError(error, brk);
            break;
          }
          case kStatusOutBuffFree: DoTriggerOutbuffFree(); break;
          case kStatusOutBuffUsed: DoTriggerOutbuffUsed(); break;
          case kStatusOutSent: DoTriggerOutSent(); break;
          default: break;
        }
        break;
      case kLineLostMsg:
        if (state_ == psOpen && !line_lost_) {
          line_lost_ = true;
          NotifyLineLost();
        }
        break;
      case kPortClosingMsg:
        // The dispatch thread stops as soon as the handler that asked for the close has
        // returned. Give it a moment before posting this message again: a message that posts
        // itself at once keeps the main loop spinning, so every wait counted in loop passes
        // runs out early and the dispatch thread contends with the loop for the queue.
        for (int ms = 0; ms < kClosingWaitMs && dispatcher_->ThreadsActive(); ++ms)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (dispatcher_->ThreadsActive()) {
          PostMessage(window_, m.Msg, m.WParam, m.LParam);
        } else {
          FinishClose();
          if (open_pending_) {
            open_pending_ = false;
            OpenPort();
          }
        }
        break;
      default: break;
    }
  } catch (const std::exception& e) {
    SerialShowException(e);
  }
  m.Result = 0;
}

// ---- notices ----

void TSerCustomComPort::AddOpenCloseCallback(const void* key, TOpenCloseCallback callback, bool extended) {
  registrations_.push_back(TRegistration{key, std::move(callback), extended});
}

void TSerCustomComPort::RemoveOpenCloseCallback(const void* key) {
  if (destroying_) return;
  std::erase_if(registrations_, [&](const TRegistration& r) { return r.Key == key; });
}

void TSerCustomComPort::NotifyPortOpen() {
  auto regs = registrations_;
  for (auto it = regs.rbegin(); it != regs.rend(); ++it) it->Callback(this, kPortOpened);
  if (OnPortOpen) OnPortOpen(this);
}

void TSerCustomComPort::NotifyPortClosing() {
  auto regs = registrations_;
  for (auto it = regs.rbegin(); it != regs.rend(); ++it)
    if (it->Extended) it->Callback(this, kPortClosing);
}

void TSerCustomComPort::NotifyPortClosed() {
  auto regs = registrations_;
  for (auto it = regs.rbegin(); it != regs.rend(); ++it) it->Callback(this, kPortClosed);
  if (OnPortClose) OnPortClose(this);
}

void TSerCustomComPort::NotifyLineLost() {
  auto regs = registrations_;
  for (auto it = regs.rbegin(); it != regs.rend(); ++it) it->Callback(this, kPortLineLost);
  if (OnLineLost)
    OnLineLost(this);
  else
    SerialShowException(EInOutError(LineLostText(), kErrorGeneralFailure));
}

std::string TSerCustomComPort::LineLostText() const {
  return "COM" + std::to_string(com_number_) + ": the line has gone away (hang-up)";
}

// ---- dispatcher access, I/O and triggers ----

TSerBaseDispatcher* TSerCustomComPort::Dispatcher() {
  if (!dispatcher_ && !Loading() && state_ != psOpen && AutoOpen) OpenPort();
  if (!dispatcher_) RaiseOnError(this, ecNotOpen);
  return dispatcher_.get();
}

uint32_t TSerCustomComPort::OutBuffFree() {
  if (state_ == psClosing) return 0;
  if (state_ != psOpen || !dispatcher_) return out_size_;
  return dispatcher_->OutBuffFree();
}

bool TSerCustomComPort::CharReady() {
  if (state_ == psClosing) return false;
  return Dispatcher()->CharReady();
}

void TSerCustomComPort::PutString(const std::string& s) {
  PutBlock(s.data(), static_cast<uint16_t>(std::min<size_t>(s.size(), 0xFFFF)));
}

void TSerCustomComPort::PutBlock(const void* block, uint16_t len) {
  if (state_ == psClosing) return;
  TSerBaseDispatcher* d = Dispatcher();
  const int r = d->PutBlock(static_cast<const uint8_t*>(block), len);
  if (r < 0 && d->LineLost() && !Loading()) throw EInOutError(LineLostText(), kErrorGeneralFailure);
  RaiseOnError(this, r);
}

void TSerCustomComPort::FlushInBuffer() {
  if (state_ == psClosing) return;
  RaiseOnError(this, Dispatcher()->FlushInBuffer());
}

int32_t TSerCustomComPort::AddTimerTrigger() {
  if (state_ == psClosing) return 0;
  return RaiseOnError(this, Dispatcher()->AddTimerTrigger());
}

int32_t TSerCustomComPort::AddStatusTrigger(int kind) {
  if (state_ == psClosing) return 0;
  return RaiseOnError(this, Dispatcher()->AddStatusTrigger(kind));
}

void TSerCustomComPort::SetTimerTrigger(int32_t handle, int32_t ticks, bool activate) {
  if (state_ == psClosing) return;
  RaiseOnError(this, Dispatcher()->SetTimerTrigger(handle, ticks, activate));
}

void TSerCustomComPort::SetStatusTrigger(int32_t handle, uint16_t value, bool activate) {
  if (state_ == psClosing) return;
  RaiseOnError(this, Dispatcher()->SetStatusTrigger(handle, value, activate));
}

void TSerCustomComPort::RemoveTrigger(int32_t handle) {
  if (state_ != psOpen || !dispatcher_) return;
  RaiseOnError(this, dispatcher_->RemoveTrigger(handle));
}

void TSerCustomComPort::GiveTimeSlice() { std::this_thread::yield(); }

// ---- events ----

bool TSerCustomComPort::AnyTriggerEvent() const {
  return on_trigger_ || on_trigger_avail_ || on_trigger_data_ || on_trigger_status_ || on_trigger_timer_ ||
         on_trigger_line_error_ || on_trigger_modem_status_ || on_trigger_outbuff_free_ || on_trigger_outbuff_used_ ||
         on_trigger_out_sent_;
}

void TSerCustomComPort::UpdateTriggerHandler() {
  if (state_ == psOpen && dispatcher_) dispatcher_->UpdateHandlerFlags(AnyTriggerEvent() ? 1 : 2);
}

#define QV_PORT_EVENT_SETTER(Setter, Type, member) \
  void TSerCustomComPort::Setter(Type e) {         \
    member = std::move(e);                         \
    UpdateTriggerHandler();                        \
  }
QV_PORT_EVENT_SETTER(SetOnTrigger, TTriggerEvent, on_trigger_)
QV_PORT_EVENT_SETTER(SetOnTriggerAvail, TTriggerAvailEvent, on_trigger_avail_)
QV_PORT_EVENT_SETTER(SetOnTriggerData, TTriggerHandleEvent, on_trigger_data_)
QV_PORT_EVENT_SETTER(SetOnTriggerStatus, TTriggerHandleEvent, on_trigger_status_)
QV_PORT_EVENT_SETTER(SetOnTriggerTimer, TTriggerHandleEvent, on_trigger_timer_)
QV_PORT_EVENT_SETTER(SetOnTriggerLineError, TTriggerLineErrorEvent, on_trigger_line_error_)
QV_PORT_EVENT_SETTER(SetOnTriggerModemStatus, TNotifyEvent, on_trigger_modem_status_)
QV_PORT_EVENT_SETTER(SetOnTriggerOutbuffFree, TNotifyEvent, on_trigger_outbuff_free_)
QV_PORT_EVENT_SETTER(SetOnTriggerOutbuffUsed, TNotifyEvent, on_trigger_outbuff_used_)
QV_PORT_EVENT_SETTER(SetOnTriggerOutSent, TNotifyEvent, on_trigger_out_sent_)
#undef QV_PORT_EVENT_SETTER

// Each calls the handler assigned at the moment of the event (callers chain and restore them).
void TSerCustomComPort::DoTrigger(uint16_t msg, uint16_t handle, uint16_t data) {
  if (auto e = on_trigger_) e(this, msg, handle, data);
}
void TSerCustomComPort::DoTriggerAvail(uint16_t count) {
  if (auto e = on_trigger_avail_) e(this, count);
}
void TSerCustomComPort::DoTriggerData(uint16_t handle) {
  if (auto e = on_trigger_data_) e(this, handle);
}
void TSerCustomComPort::DoTriggerStatus(uint16_t handle) {
  if (auto e = on_trigger_status_) e(this, handle);
}
void TSerCustomComPort::DoTriggerTimer(uint16_t handle) {
  if (auto e = on_trigger_timer_) e(this, handle);
}
void TSerCustomComPort::DoTriggerLineError(uint16_t error, bool line_break) {
  if (auto e = on_trigger_line_error_) e(this, error, line_break);
}
void TSerCustomComPort::DoTriggerModemStatus() {
  if (auto e = on_trigger_modem_status_) e(this);
}
void TSerCustomComPort::DoTriggerOutbuffFree() {
  if (auto e = on_trigger_outbuff_free_) e(this);
}
void TSerCustomComPort::DoTriggerOutbuffUsed() {
  if (auto e = on_trigger_outbuff_used_) e(this);
}
void TSerCustomComPort::DoTriggerOutSent() {
  if (auto e = on_trigger_out_sent_) e(this);
}

// ---- line settings ----

void TSerCustomComPort::SetComNumber(uint16_t n) {
  if (n == com_number_) return;
  if (state_ != psOpen) {
    com_number_ = n;
    return;
  }
  TTriggerSave save;
  dispatcher_->SaveTriggers(save);
  TTraceLogState tracing = tracing_, logging = logging_;
  SetOpen(false);
  com_number_ = n;
  SetTracing(tracing);
  SetLogging(logging);
  // Restored by whichever open comes next, also one deferred until a close completes.
  saved_triggers_ = std::move(save);
  copy_triggers_ = true;
  SetOpen(true);
}

void TSerCustomComPort::ApplyLine() {
  if (state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->ApplyLineSettings(baud_, parity_, stop_bits_, data_bits_));
}

void TSerCustomComPort::SetBaud(uint32_t baud) {
  if (StoreChanged(baud_, baud) || force_) ApplyLine();
}

void TSerCustomComPort::SetParity(TParity parity) {
  if (StoreChanged(parity_, parity) || force_) ApplyLine();
}

void TSerCustomComPort::SetDataBits(uint16_t bits) {
  if (StoreChanged(data_bits_, bits) || force_) ApplyLine();
}

void TSerCustomComPort::SetStopBits(uint16_t bits) {
  if (StoreChanged(stop_bits_, bits) || force_) ApplyLine();
}

void TSerCustomComPort::SetInSize(uint16_t size) {
  if ((StoreChanged(in_size_, size) || force_) && state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->SetQueues(in_size_, out_size_));
}

void TSerCustomComPort::SetOutSize(uint16_t size) {
  if ((StoreChanged(out_size_, size) || force_) && state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->SetQueues(in_size_, out_size_));
}

void TSerCustomComPort::SetDTR(bool on) {
  if ((StoreChanged(dtr_, on) || force_) && state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->SetDtrLine(on));
}

void TSerCustomComPort::SetRTS(bool on) {
  if ((StoreChanged(rts_, on) || force_) && state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->SetRtsLine(on));
}

// ---- flow control ----

void TSerCustomComPort::SetHWFlowOptions(THWFlowOptions options) {
  if (options == hw_flow_ && !force_) return;
  if (options != 0) {
    if (buffer_full_ == 0 || buffer_full_ > in_size_) buffer_full_ = static_cast<uint16_t>(in_size_ * 9 / 10);
    if (buffer_resume_ == 0 || buffer_resume_ > buffer_full_) buffer_resume_ = static_cast<uint16_t>(in_size_ / 10);
  }
  if (state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->ApplyHWFlow(buffer_full_, buffer_resume_, options));
  hw_flow_ = options;
  if (options & (hwfUseRTS | hwfRequireCTS)) {
    rs485_ = false;
    if (dispatcher_) dispatcher_->SetRS485Mode(false);
  }
}

void TSerCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
  if (options == sw_flow_ && !force_) return;
  if (options != swfNone) {
    if (buffer_full_ == 0 || buffer_full_ > in_size_) buffer_full_ = static_cast<uint16_t>(in_size_ * 3 / 4);
    if (buffer_resume_ == 0 || buffer_resume_ > buffer_full_) buffer_resume_ = static_cast<uint16_t>(in_size_ / 4);
  }
  if (state_ == psOpen && dispatcher_) {
    if (options == swfNone) {
      RaiseOnError(this, dispatcher_->SWFlowOff());
    } else {
      uint32_t bits =
          (options == swfReceive ? 2u : 0u) | (options == swfTransmit ? 1u : 0u) | (options == swfBoth ? 3u : 0u);
      RaiseOnError(this, dispatcher_->ApplySWFlow(buffer_full_, buffer_resume_, bits));
    }
  }
  sw_flow_ = options;
}

void TSerCustomComPort::SetXOnChar(char c) {
  if ((StoreChanged(xon_, c) || force_) && state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->ApplyFlowChars(xon_, xoff_));
}

void TSerCustomComPort::SetXOffChar(char c) {
  if ((StoreChanged(xoff_, c) || force_) && state_ == psOpen && dispatcher_)
    RaiseOnError(this, dispatcher_->ApplyFlowChars(xon_, xoff_));
}

void TSerCustomComPort::SetBufferFull(uint16_t value) {
  // A limit above the input size would be refused by every later flow setting.
  if (value > in_size_) value = static_cast<uint16_t>(in_size_ * 9 / 10);
  buffer_full_ = value;
  ReapplyFlow();
}

void TSerCustomComPort::SetBufferResume(uint16_t value) {
  if (value > buffer_full_) value = static_cast<uint16_t>(buffer_full_ / 10);
  buffer_resume_ = value;
  ReapplyFlow();
}

// Both flow settings again with the new limits.
void TSerCustomComPort::ReapplyFlow() {
  bool old = force_;
  force_ = true;
  struct Restore {
    bool& f;
    bool v;
    ~Restore() { f = v; }
  } restore{force_, old};
  SetHWFlowOptions(hw_flow_);
  SetSWFlowOptions(sw_flow_);
}

void TSerCustomComPort::SetUseEventWord(bool on) {
  use_event_word_ = on;
  if (dispatcher_) dispatcher_->SetEventWordOption(on);
}

void TSerCustomComPort::SetRS485Mode(bool on) {
  if (on == rs485_ && !force_) return;
  rs485_ = on;
  if (on) {
    hw_flow_ &= static_cast<THWFlowOptions>(~(hwfUseRTS | hwfRequireCTS));
    SetRTS(false);
  }
  if (dispatcher_) dispatcher_->SetRS485Mode(on);
}

void TSerCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
  if (state_ != psClosed || layer != dlWin32 || layer == device_layer_) return;
  device_layer_ = layer;
  DeviceLayerChanged();
}

// ---- trace and log ----

void TSerCustomComPort::SetTracing(TTraceLogState state) { SetRecorderState(true, state); }
void TSerCustomComPort::SetLogging(TTraceLogState state) { SetRecorderState(false, state); }

// The trace and the log follow the same states; trace selects which one.
void TSerCustomComPort::SetRecorderState(bool trace, TTraceLogState state) {
  TTraceLogState& current = trace ? tracing_ : logging_;
  if (state_ == psClosing) return;
  if (state_ != psOpen || !dispatcher_) {
    current = state == tlOn ? tlOn : tlOff;
    return;
  }
  TTraceLogState previous = current;
  if (state == previous && !force_) return;
  bool running = previous == tlOn || previous == tlPause;
  // On a forced re-apply the stored state is what is wanted, not what runs.
  if (force_ && state == previous) running = false, previous = tlOff;
  auto set_recording = [&](bool on) {
    std::lock_guard<std::recursive_mutex> lock(dispatcher_->MainLock());
    if (trace && dispatcher_->Trace()) dispatcher_->Trace()->Recording = on;
    if (!trace && dispatcher_->Log()) dispatcher_->Log()->Recording = on;
  };
  switch (state) {
    case tlOff:
      if (running) trace ? dispatcher_->StopTrace() : dispatcher_->StopLog();
      current = tlOff;
      break;
    case tlOn:
      if (previous != tlPause)
        RaiseOnError(this, trace ? dispatcher_->StartTrace(trace_size_) : dispatcher_->StartLog(log_size_));
      else
        set_recording(true);
      current = tlOn;
      break;
    case tlDump:
    case tlAppend:
      if (running) {
        set_recording(true);
        if (trace)
          state == tlDump ? DumpTrace(TraceName, TraceHex) : AppendTrace(TraceName, TraceHex);
        else
          state == tlDump ? DumpLog(LogName, LogHex) : AppendLog(LogName, LogHex);
      }
      break;
    case tlClear:
      if (running) {
        std::lock_guard<std::recursive_mutex> lock(dispatcher_->MainLock());
        if (trace && dispatcher_->Trace()) dispatcher_->Trace()->Clear();
        if (!trace && dispatcher_->Log()) dispatcher_->Log()->Clear();
      }
      break;
    case tlPause:
      if (previous == tlOn) {
        set_recording(false);
        current = tlPause;
      }
      break;
  }
}

void TSerCustomComPort::SetTraceSize(uint32_t size) {
  trace_size_ = std::min(size, kMaxTraceSize);
  RestartRecorder(true);
}

void TSerCustomComPort::SetLogSize(uint32_t size) {
  log_size_ = std::min(size, kMaxLogSize);
  RestartRecorder(false);
}

// A running recorder starts again empty with its new size; a paused one ends off.
void TSerCustomComPort::RestartRecorder(bool trace) {
  TTraceLogState& current = trace ? tracing_ : logging_;
  if (state_ != psOpen || !dispatcher_ || (current != tlOn && current != tlPause)) return;
  TTraceLogState old = current;
  trace ? dispatcher_->StopTrace() : dispatcher_->StopLog();
  current = tlOff;
  SetRecorderState(trace, old);
}

void TSerCustomComPort::WriteTrace(const std::string& name, bool hex, bool append) {
  if (!dispatcher_) return;
  std::string text;
  {
    std::lock_guard<std::recursive_mutex> lock(dispatcher_->MainLock());
    if (dispatcher_->Trace() && !dispatcher_->Trace()->Empty()) text = dispatcher_->Trace()->Text(hex, TraceAllHex);
    dispatcher_->StopTrace();
  }
  tracing_ = tlOff;
  if (!text.empty()) WriteSerialTextFile(name, text, append);
}

void TSerCustomComPort::DumpTrace(const std::string& name, bool hex) { WriteTrace(name, hex, false); }
void TSerCustomComPort::AppendTrace(const std::string& name, bool hex) { WriteTrace(name, hex, true); }

void TSerCustomComPort::WriteLog(const std::string& name, bool hex, bool append) {
  if (!dispatcher_) return;
  std::string text;
  {
    std::lock_guard<std::recursive_mutex> lock(dispatcher_->MainLock());
    TSerLog* log = dispatcher_->Log();
    if (log && !log->Empty()) {
      log->Recording = false;
      text = SerLogHeader(dispatcher_->DeviceName, NowText()) + log->Lines(hex, LogAllHex);
    }
    dispatcher_->StopLog();
  }
  logging_ = tlOff;
  if (!text.empty()) WriteSerialTextFile(name, text, append);
}

void TSerCustomComPort::DumpLog(const std::string& name, bool hex) { WriteLog(name, hex, false); }
void TSerCustomComPort::AppendLog(const std::string& name, bool hex) { WriteLog(name, hex, true); }

}  // namespace qv
