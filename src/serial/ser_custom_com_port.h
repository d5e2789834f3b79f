#pragma once
// The serial port as the rest of the program sees it: line settings, buffer sizes, flow
// control, trace and log settings and trigger events. Opening it creates a dispatcher and a
// message window through which the dispatcher's timer and status events reach the main thread
// as the port's events. All operations are made on the main thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/message_queue.h"
#include "serial/ser_base_component.h"
#include "serial/ser_base_dispatcher.h"

namespace qv {

enum TParity : uint8_t { pNone, pOdd, pEven, pMark, pSpace };
enum THWFlowOption : uint8_t { hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8 };
using THWFlowOptions = uint8_t;  // set of THWFlowOption
enum TSWFlowOptions : uint8_t { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState : uint8_t { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum TTapiMode : uint8_t { tmNone, tmAuto, tmOn, tmOff };
enum TDeviceLayer : uint8_t { dlWin32, dlWinsock };

// Open and close notices.
constexpr uint32_t kPortOpenedMsg = 32264;
constexpr uint32_t kPortClosedMsg = 32265;
constexpr uint32_t kPortClosingMsg = 32266;  // also the deferred close
constexpr int kPortOpened = 0, kPortClosing = 1, kPortClosed = 2;
// The port is being destroyed: registrants let go of it.
constexpr int kPortRemoved = 3;
// The line went away while the port was open (the other end hung up, the adapter was pulled).
constexpr int kPortLineLost = 4;

class TSerCustomComPort;
using TTriggerEvent = std::function<void(TSerCustomComPort* cp, uint16_t msg, uint16_t trigger_handle, uint16_t data)>;
using TTriggerAvailEvent = std::function<void(TSerCustomComPort* cp, uint16_t count)>;
using TTriggerHandleEvent = std::function<void(TSerCustomComPort* cp, uint16_t trigger_handle)>;
using TTriggerLineErrorEvent = std::function<void(TSerCustomComPort* cp, uint16_t error, bool line_break)>;
using TOpenCloseCallback = std::function<void(TSerCustomComPort* cp, int kind)>;
using TDispatcherFactory = std::function<std::unique_ptr<TSerBaseDispatcher>(TSerCustomComPort* port)>;

// Chooses a port when none is set: the number, or 0 when the user cancelled. The program
// installs its port selection form here; without one no port is chosen.
using TComSelectHook = std::function<int()>;
void SetComSelectHook(TComSelectHook hook);
// The ports 1 to 50 that the selection form offers: those that can be opened now or are in use.
std::vector<int> SelectablePorts();

class TSerCustomComPort : public TSerBaseComponent {
public:
  explicit TSerCustomComPort(TComponent* owner = nullptr);
  ~TSerCustomComPort() override;
  std::string ClassName() const override { return "TSerCustomComPort"; }

  // ---- properties ----
  uint16_t ComNumber() const { return com_number_; }
  void SetComNumber(uint16_t n);
  uint32_t Baud() const { return baud_; }
  void SetBaud(uint32_t baud);
  TParity Parity() const { return parity_; }
  void SetParity(TParity parity);
  uint16_t DataBits() const { return data_bits_; }
  void SetDataBits(uint16_t bits);
  uint16_t StopBits() const { return stop_bits_; }
  void SetStopBits(uint16_t bits);
  uint16_t InSize() const { return in_size_; }
  void SetInSize(uint16_t size);
  uint16_t OutSize() const { return out_size_; }
  void SetOutSize(uint16_t size);
  bool PromptForPort = true;
  bool AutoOpen = true;
  bool Open() const { return open_; }
  void SetOpen(bool open);
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);
  THWFlowOptions HWFlowOptions() const { return hw_flow_; }
  void SetHWFlowOptions(THWFlowOptions options);
  TSWFlowOptions SWFlowOptions() const { return sw_flow_; }
  void SetSWFlowOptions(TSWFlowOptions options);
  char XOnChar() const { return xon_; }
  void SetXOnChar(char c);
  char XOffChar() const { return xoff_; }
  void SetXOffChar(char c);
  uint16_t BufferFull() const { return buffer_full_; }
  void SetBufferFull(uint16_t value);
  uint16_t BufferResume() const { return buffer_resume_; }
  void SetBufferResume(uint16_t value);
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState state);
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState state);
  uint32_t TraceSize() const { return trace_size_; }
  void SetTraceSize(uint32_t size);
  uint32_t LogSize() const { return log_size_; }
  void SetLogSize(uint32_t size);
  std::string TraceName = "SERIAL.TRC";
  std::string LogName = "SERIAL.LOG";
  bool TraceHex = true;
  bool LogHex = true;
  bool TraceAllHex = false;
  bool LogAllHex = false;
  // Kept for the settings only: this platform has no such options.
  bool UseMSRShadow = true;
  uint16_t CommNotificationLevel = 10;
  TTapiMode TapiMode = tmAuto;
  bool UseEventWord() const { return use_event_word_; }
  void SetUseEventWord(bool on);
  bool RS485Mode() const { return rs485_; }
  void SetRS485Mode(bool on);
  TDeviceLayer DeviceLayer() const { return device_layer_; }
  void SetDeviceLayer(TDeviceLayer layer);

  // ---- events ----
  TNotifyEvent OnPortOpen;
  TNotifyEvent OnPortClose;
  // The line went away while the port was open, told once on the main thread after the
  // registrations had their kPortLineLost notice. Unset, the port shows LineLostText as an
  // error. Nothing is received until the port is closed and opened again.
  TNotifyEvent OnLineLost;
  bool LineLost() const { return line_lost_; }
  std::string LineLostText() const;
  const TTriggerEvent& OnTrigger() const { return on_trigger_; }
  void SetOnTrigger(TTriggerEvent e);
  const TTriggerAvailEvent& OnTriggerAvail() const { return on_trigger_avail_; }
  void SetOnTriggerAvail(TTriggerAvailEvent e);
  const TTriggerHandleEvent& OnTriggerData() const { return on_trigger_data_; }
  void SetOnTriggerData(TTriggerHandleEvent e);
  const TTriggerHandleEvent& OnTriggerStatus() const { return on_trigger_status_; }
  void SetOnTriggerStatus(TTriggerHandleEvent e);
  const TTriggerHandleEvent& OnTriggerTimer() const { return on_trigger_timer_; }
  void SetOnTriggerTimer(TTriggerHandleEvent e);
  const TTriggerLineErrorEvent& OnTriggerLineError() const { return on_trigger_line_error_; }
  void SetOnTriggerLineError(TTriggerLineErrorEvent e);
  const TNotifyEvent& OnTriggerModemStatus() const { return on_trigger_modem_status_; }
  void SetOnTriggerModemStatus(TNotifyEvent e);
  const TNotifyEvent& OnTriggerOutbuffFree() const { return on_trigger_outbuff_free_; }
  void SetOnTriggerOutbuffFree(TNotifyEvent e);
  const TNotifyEvent& OnTriggerOutbuffUsed() const { return on_trigger_outbuff_used_; }
  void SetOnTriggerOutbuffUsed(TNotifyEvent e);
  const TNotifyEvent& OnTriggerOutSent() const { return on_trigger_out_sent_; }
  void SetOnTriggerOutSent(TNotifyEvent e);

  // ---- I/O and triggers ----
  // The dispatcher, opening the port first when AutoOpen allows; raises ECommNotOpen when none.
  TSerBaseDispatcher* Dispatcher();
  // The dispatcher if one exists, without opening.
  TSerBaseDispatcher* CurrentDispatcher() const { return dispatcher_.get(); }
  bool Closing() const { return state_ == psClosing; }
  uint32_t OutBuffFree();
  bool CharReady();
  void PutString(const std::string& s);
  void PutBlock(const void* block, uint16_t len);
  void FlushInBuffer();
  int32_t AddTimerTrigger();
  int32_t AddStatusTrigger(int kind);
  void SetTimerTrigger(int32_t handle, int32_t ticks, bool activate);
  void SetStatusTrigger(int32_t handle, uint16_t value, bool activate);
  void RemoveTrigger(int32_t handle);

  // ---- open and close notices ----
  void AddOpenCloseCallback(const void* key, TOpenCloseCallback callback, bool extended);
  void RemoveOpenCloseCallback(const void* key);

  // Custom dispatchers (tests); unset, a dispatcher on the real device is made.
  TDispatcherFactory DispatcherFactory;
  // The clock of the dispatcher's timers (tests); the monotonic clock unless set.
  TMsClockSource Clock;

  void Loaded() override;

  // Trace and log files.
  virtual void DumpTrace(const std::string& name, bool hex);
  virtual void AppendTrace(const std::string& name, bool hex);
  void DumpLog(const std::string& name, bool hex);
  void AppendLog(const std::string& name, bool hex);

protected:
  virtual std::unique_ptr<TSerBaseDispatcher> CreateDispatcher();
  virtual void DeviceLayerChanged() {}
  virtual void OpenPortDevice();
  virtual void SetPortWindow(bool create);
  virtual void EnsureComNumber();
  virtual void DoTrigger(uint16_t msg, uint16_t handle, uint16_t data);
  virtual void DoTriggerAvail(uint16_t count);
  virtual void DoTriggerData(uint16_t handle);
  virtual void DoTriggerStatus(uint16_t handle);
  virtual void DoTriggerTimer(uint16_t handle);
  virtual void UpdateTriggerHandler();
  virtual void DoTriggerLineError(uint16_t error, bool line_break);
  virtual void DoTriggerModemStatus();
  virtual void DoTriggerOutbuffFree();
  virtual void DoTriggerOutbuffUsed();
  virtual void DoTriggerOutSent();
  virtual void ClosePort();
  virtual void GiveTimeSlice();

  void OpenPort();
  void NotifyPortOpen();
  void NotifyPortClosing();
  void NotifyPortClosed();
  void NotifyLineLost();

private:
  enum TPortState { psClosed, psClosing, psOpen };
  void PortWndProc(TMessage& msg);
  void FinishClose();
  void ApplyForced();
  void SetRecorderState(bool trace, TTraceLogState state);
  void ReapplyFlow();
  void RestartRecorder(bool trace);
  void WriteTrace(const std::string& name, bool hex, bool append);
  void WriteLog(const std::string& name, bool hex, bool append);
  bool AnyTriggerEvent() const;
  void ApplyLine();

  uint16_t com_number_ = 0;
  uint32_t baud_ = 19200;
  TParity parity_ = pNone;
  uint16_t data_bits_ = 8;
  uint16_t stop_bits_ = 1;
  uint16_t in_size_ = 4096;
  uint16_t out_size_ = 4096;
  bool open_ = false;
  bool dtr_ = true, rts_ = true;
  THWFlowOptions hw_flow_ = 0;
  TSWFlowOptions sw_flow_ = swfNone;
  char xon_ = 17, xoff_ = 19;
  uint16_t buffer_full_ = 0, buffer_resume_ = 0;
  TTraceLogState tracing_ = tlOff, logging_ = tlOff;
  uint32_t trace_size_ = 10000, log_size_ = 10000;
  bool use_event_word_ = true;
  bool rs485_ = false;
  TDeviceLayer device_layer_ = dlWin32;

  TTriggerEvent on_trigger_;
  TTriggerAvailEvent on_trigger_avail_;
  TTriggerHandleEvent on_trigger_data_, on_trigger_status_, on_trigger_timer_;
  TTriggerLineErrorEvent on_trigger_line_error_;
  TNotifyEvent on_trigger_modem_status_, on_trigger_outbuff_free_, on_trigger_outbuff_used_, on_trigger_out_sent_;

  TPortState state_ = psClosed;
  std::unique_ptr<TSerBaseDispatcher> dispatcher_;
  HWND window_ = nullptr;
  bool open_pending_ = false;
  bool force_ = false;
  bool copy_triggers_ = false;
  TTriggerSave saved_triggers_;
  int32_t trigger_length_ = 1;
  int thread_boost_ = 0;
  bool destroying_ = false;
  bool line_lost_ = false;

  struct TRegistration {
    const void* Key;
    TOpenCloseCallback Callback;
    bool Extended;
  };
  std::vector<TRegistration> registrations_;
};

// The first port among the components of owner, searched depth first; null when none.
TSerCustomComPort* SearchComPort(TComponent* owner);

// The port with its properties published.
class TSerComPort : public TSerCustomComPort {
public:
  using TSerCustomComPort::TSerCustomComPort;
  std::string ClassName() const override { return "TSerComPort"; }
};

}  // namespace qv
