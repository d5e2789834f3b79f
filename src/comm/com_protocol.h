#pragma once
// The base of every exchange with a logger. A protocol is a state machine: its step function
// ProtProc is called once for every event that concerns it (its start, its timer, a telegram
// sent or received, a data packet, a child protocol's end, the user's Cancel) and advances its
// step. Nothing blocks: every wait is a trigger or a data packet of the serial port, whose events
// arrive on the main thread. A run ends in exactly one of two ways, FinishOk or CancelProtocol;
// after that the protocol takes no more events.
//
// A protocol runs modally under the progress window (Execute) or as the child of another
// protocol (ExecuteChild), which learns of its end through OnSuccess or OnFailure.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "comm/process_window_service.h"
#include "platform/rtl/component.h"

namespace qv {

class TQvComPort;
class TSerCustomComPort;
class TSerDataPacket;

// Event codes of a protocol step.
constexpr int32_t evStart = -1;
constexpr int32_t evTimer = 0;
constexpr int32_t evOutBuffFree = 1;
constexpr int32_t evPacket = 2;
constexpr int32_t evPacketTimeout = 3;
constexpr int32_t evPort4 = 4;
constexpr int32_t evPort5 = 5;
constexpr int32_t evChildSuccess = 6;
constexpr int32_t evChildFailure = 7;
constexpr int32_t evUserCancel = 8;
constexpr int32_t evTelgrSent = 50;
constexpr int32_t evTelgrSendTimeout = 51;
constexpr int32_t evTelgrValid = 52;
constexpr int32_t evTelgrInvalid = 53;

class TComProtocol {
public:
  using TProtocolEvent = std::function<void(TComProtocol* sender)>;

  TComProtocol();
  // A protocol freed during a run gives the port and the progress window back first.
  virtual ~TComProtocol();
  TComProtocol(const TComProtocol&) = delete;
  TComProtocol& operator=(const TComProtocol&) = delete;
  virtual std::string ClassName() const { return "TComProtocol"; }

  // The step function; sender is what raised the event (a telegram, a packet, a child, the
  // window, the port, or the protocol itself at the start).
  virtual void ProtProc(void* sender) = 0;
  virtual void InitProtocol();
  virtual void HookProcessWindow();
  virtual void DoneProtocol();
  // Ends the run with a warning: the message, then the "prt_AbortProtF" line.
  virtual void CancelProtocol(const std::string& msg, bool add_line_break);
  virtual void FinishOk();

  // Event handlers with the signatures of the port's, the packets' and the window's events;
  // each sets Event and calls ProtProc.
  virtual void TimerTrigger(TSerCustomComPort* cp, uint16_t trigger_handle);
  virtual void OutBuffFree(TComponent* sender);
  virtual void DataPacket(TSerDataPacket* sender, const uint8_t* data, int32_t size);
  virtual void StringPacket(TSerDataPacket* sender, const std::string& data);
  virtual void PacketTimeout(TComponent* sender);
  virtual void PortEvent4(void* sender);
  virtual void PortEvent5(void* sender);
  virtual void ChildSuccess(TComProtocol* child);
  virtual void ChildFailure(TComProtocol* child);
  virtual void UserCancel(TProcessWindowService* window);

  // The display name: "Protocol" here, a translation key in the logger protocols.
  virtual std::string GetName() const { return "Protocol"; }
  // The modal run under the progress window; true when it ended with FinishOk.
  virtual bool Execute();
  // The child run; its end is reported through OnSuccess or OnFailure.
  virtual void ExecuteChild();

  // True from the start of a run until FinishOk or CancelProtocol.
  bool Running() const { return running_; }
  int32_t TimerHandle() const { return timer_handle_; }

  uint16_t LastTrigger = 0;
  // The last data-packet event's bytes (valid during the event only) and the last string packet.
  const uint8_t* PacketData = nullptr;
  int32_t PacketSize = 0;
  std::string PacketText;
  int32_t Event = evStart;
  // The program's port, set by the creator before a run; not owned.
  TQvComPort* Port = nullptr;
  bool IsChild = false;
  // Passed from parent to child; the protocols do not read it.
  uint8_t Interactive = 0;
  // Seconds a telegram may wait for room in the output buffer.
  int32_t SendTimeOut = 5;
  // Seconds the logger has to answer.
  int32_t AnswerTimeOut = 5;
  TProtocolEvent OnSuccess;
  TProtocolEvent OnFailure;

protected:
  // ProtProc with the rule every step follows: an exception cancels the run with its text,
  // unless the run has ended already, when it passes on. Events after the end are dropped.
  void CallProtProc(void* sender);
  // Arms the protocol's timer for ticks of 55 ms (SecondsToTicks for seconds), or disarms it.
  void ArmTimer(int32_t ticks);
  void DisarmTimer();
  // The display name in the user's language.
  std::string DisplayName() const;
  // The port's current trace file, "" without a port.
  std::string TraceFileName() const;

private:
  void Unhook();
  // Ends a run that neither FinishOk nor CancelProtocol ended, without a report.
  void Abandon();
  // The port's notices while the protocol holds it: a line that went away, or a port closed or
  // freed under the run, can never answer, so the run ends on its no-response path.
  void PortNotice(int kind);
  // Marks the run as ended and runs DoneProtocol; an error of it is kept for RaiseDoneError, so
  // that the end is still reported.
  void EndRun();
  void RaiseDoneError();

  TProcessWindowService::TProcessEvent saved_cancel_;
  bool cancel_hooked_ = false;
  bool saved_cancel_visible_ = false;
  int32_t timer_handle_ = 0;
  std::function<void(TSerCustomComPort*, uint16_t)> saved_timer_;
  TQvComPort* hooked_port_ = nullptr;  // the port whose timer events the protocol holds
  bool running_ = false;
  std::exception_ptr done_error_;
};

}  // namespace qv
