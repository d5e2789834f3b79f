#include "comm/com_protocol.h"

#include <exception>

#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/comm_gui_hooks.h"
#include "comm/qv_com_port.h"
#include "platform/rtl/format.h"
#include "serial/ser_base_component.h"
#include "serial/ser_custom_com_port.h"

namespace qv {

TComProtocol::TComProtocol() = default;

TComProtocol::~TComProtocol() {
  running_ = false;
  try {
    Unhook();
  } catch (...) {
    // A destructor cannot report; the port's handlers are back in place either way.
  }
}

std::string TComProtocol::DisplayName() const { return LoadResString(GetName()); }

std::string TComProtocol::TraceFileName() const { return Port ? Port->CurrentTraceFile() : std::string(); }

void TComProtocol::InitProtocol() {
  Event = evStart;
  IsChild = false;
  LastTrigger = 0;
  saved_cancel_ = nullptr;
  cancel_hooked_ = false;
  running_ = true;
  if (timer_handle_ == 0 && Port) {
    saved_timer_ = Port->OnTriggerTimer();
    hooked_port_ = Port;
    Port->SetOnTriggerTimer([this](TSerCustomComPort* cp, uint16_t handle) { TimerTrigger(cp, handle); });
    Port->AddOpenCloseCallback(
        this, [this](TSerCustomComPort*, int kind) { PortNotice(kind); }, false);
    timer_handle_ = Port->AddTimerTrigger();
  }
}

void TComProtocol::HookProcessWindow() {
  if (!ProcessWindow) return;
  saved_cancel_ = ProcessWindow->OnCancel;
  saved_cancel_visible_ = ProcessWindow->GetCancelVisible();
  cancel_hooked_ = true;
  ProcessWindow->OnCancel = [this](TProcessWindowService* window) { UserCancel(window); };
}

void TComProtocol::Unhook() {
  // The window gets back the cancel handler and button it had before this run, so that after a
  // child ends the Cancel button reaches its parent again.
  if (cancel_hooked_) {
    cancel_hooked_ = false;
    if (ProcessWindow) {
      ProcessWindow->OnCancel = saved_cancel_;
      ProcessWindow->SetCancelVisible(saved_cancel_visible_);
    }
    saved_cancel_ = nullptr;
  }
  if (hooked_port_) {
    TQvComPort* port = hooked_port_;
    const int32_t handle = timer_handle_;
    hooked_port_ = nullptr;
    timer_handle_ = 0;
    port->SetOnTriggerTimer(saved_timer_);
    saved_timer_ = nullptr;
    port->RemoveOpenCloseCallback(this);
    // A closed port has no triggers left, and touching them would open it again.
    if (port->Open() && handle != 0) {
      port->SetTimerTrigger(handle, 0, false);
      port->RemoveTrigger(handle);
    }
  }
}

void TComProtocol::PortNotice(int kind) {
  if (kind != kPortLineLost && kind != kPortClosed && kind != kPortRemoved) return;
  if (kind == kPortRemoved) {
    // The port is going: nothing of it may be touched any more.
    hooked_port_ = nullptr;
    timer_handle_ = 0;
    saved_timer_ = nullptr;
    Port = nullptr;
  }
  if (!running_) return;
  CancelProtocol(LoadResString("deh_TONoResponse"), true);
}

void TComProtocol::DoneProtocol() {
  Unhook();
  if (!Port || !Port->Open()) return;
  try {
    Port->FlushInBuffer();
  } catch (const std::exception&) {
    if (MsgHandler)
      MsgHandler->HandleMessage("Exception while flushing buffer", ClassName(), TMsgDlgType::mtError, mbOK, 0, 0, true,
                                mkDiagnoseOnly);
  }
}

void TComProtocol::EndRun() {
  running_ = false;
  std::exception_ptr error;
  try {
    DoneProtocol();
  } catch (...) {
    error = std::current_exception();
  }
  // The run ends whatever DoneProtocol raised; the error is raised once the end is reported.
  done_error_ = error;
}

void TComProtocol::FinishOk() {
  if (!running_) return;
  EndRun();
  if (MsgHandler)
    MsgHandler->HandleMessage(Format("Protocol <%s> OK, tracing in %s", DisplayName(), TraceFileName()), ClassName(),
                              TMsgDlgType::mtInformation, mbOK, 0, 0, true, mkDiagnoseOnly);
  if (IsChild) {
    if (OnSuccess) OnSuccess(this);
  } else if (ProcessWindow) {
    ProcessWindow->Finish(mrOk);
  }
  RaiseDoneError();
}

void TComProtocol::CancelProtocol(const std::string& msg, bool add_line_break) {
  if (!running_) return;
  std::string text = msg;
  if (!text.empty() && add_line_break) text += "\r\n";
  EndRun();
  text += Format(LoadResString("prt_AbortProtF"), DisplayName(), TraceFileName());
  if (MsgHandler) MsgHandler->HandleMessage(text, ClassName(), TMsgDlgType::mtInformation, mbOK, 0, 0, true, mkWarning);
  if (IsChild) {
    if (OnFailure) OnFailure(this);
  } else if (ProcessWindow) {
    ProcessWindow->Finish(mrCancel);
  } else {
    done_error_ = nullptr;
    throw Exception("TComProtocol.CancelProtocol: ProcessWindow nil!");
  }
  RaiseDoneError();
}

void TComProtocol::RaiseDoneError() {
  if (!done_error_) return;
  std::exception_ptr error = done_error_;
  done_error_ = nullptr;
  std::rethrow_exception(error);
}

void TComProtocol::CallProtProc(void* sender) {
  if (!running_) return;
  try {
    ProtProc(sender);
  } catch (const std::exception& e) {
    if (!running_) throw;
    CancelProtocol(e.what(), false);
  }
}

void TComProtocol::ArmTimer(int32_t ticks) {
  // A closed port would be opened again by the trigger call, and a wait without a timer would
  // never end.
  if (!Port || !Port->Open() || timer_handle_ == 0) throw Exception("TComProtocol: ComPort nil or not open!");
  Port->SetTimerTrigger(timer_handle_, ticks, true);
}

void TComProtocol::DisarmTimer() {
  if (Port && timer_handle_ != 0 && Port->Open()) Port->SetTimerTrigger(timer_handle_, 0, false);
}

void TComProtocol::TimerTrigger(TSerCustomComPort*, uint16_t trigger_handle) {
  LastTrigger = trigger_handle;
  if (trigger_handle == 0 || trigger_handle != timer_handle_) return;
  Event = evTimer;
  CallProtProc(Port);
}

void TComProtocol::OutBuffFree(TComponent* sender) {
  Event = evOutBuffFree;
  CallProtProc(sender);
}

void TComProtocol::DataPacket(TSerDataPacket* sender, const uint8_t* data, int32_t size) {
  PacketData = data;
  PacketSize = size;
  Event = evPacket;
  CallProtProc(sender);
  PacketData = nullptr;
}

void TComProtocol::StringPacket(TSerDataPacket* sender, const std::string& data) {
  PacketText = data;
  Event = evPacket;
  CallProtProc(sender);
}

void TComProtocol::PacketTimeout(TComponent* sender) {
  Event = evPacketTimeout;
  CallProtProc(sender);
}

void TComProtocol::PortEvent4(void* sender) {
  Event = evPort4;
  CallProtProc(sender);
}

void TComProtocol::PortEvent5(void* sender) {
  Event = evPort5;
  CallProtProc(sender);
}

void TComProtocol::ChildSuccess(TComProtocol* child) {
  Event = evChildSuccess;
  CallProtProc(child);
}

void TComProtocol::ChildFailure(TComProtocol* child) {
  Event = evChildFailure;
  CallProtProc(child);
}

void TComProtocol::UserCancel(TProcessWindowService* window) {
  Event = evUserCancel;
  CallProtProc(window);
}

namespace {

// Frees the progress window and clears the global.
void FreeProcessWindow() {
  if (!ProcessWindow) return;
  TProcessWindowService* window = ProcessWindow;
  ProcessWindow = nullptr;
  window->Free();
}

}  // namespace

void TComProtocol::Abandon() {
  if (!running_) return;
  running_ = false;
  try {
    DoneProtocol();
  } catch (...) {
    // The run is over either way; what went wrong is reported by the caller's exception.
  }
}

bool TComProtocol::Execute() {
  if (!Port || !Port->Open()) throw Exception("TComProtocol.Execute: ComPort nil or not open!");
  if (!ProcessWindow && !ProcessWindowFactory) throw Exception("TComProtocol.Execute: no progress window");
  int result = mrNone;
  try {
    InitProtocol();
    IsChild = false;
    if (!ProcessWindow) {
      ProcessWindow = ProcessWindowFactory();
    } else if (ProcessWindow->Visible()) {
      ProcessWindow->Finish(mrCancel);
    }
    HookProcessWindow();
    ProcessWindow->OnProcess = [this](TProcessWindowService*) { CallProtProc(this); };
    result = ProcessWindow->ShowModal();
  } catch (...) {
    Abandon();
    FreeProcessWindow();
    throw;
  }
  // A window closed by other means than this protocol's end leaves the run to be undone here.
  if (running_) {
    Abandon();
    result = mrCancel;
  }
  FreeProcessWindow();
  ProcessGuiMessages();
  return result == mrOk;
}

void TComProtocol::ExecuteChild() {
  if (!Port || !Port->Open()) throw Exception("TComProtocol.Execute: ComPort nil or not open!");
  if (!OnSuccess || !OnFailure) throw Exception("TComProtocol.Execute: FOnSuccess/FOnFailure nil in child process!");
  InitProtocol();
  IsChild = true;
  try {
    HookProcessWindow();
  } catch (...) {
    Abandon();
    throw;
  }
  Event = evStart;
  CallProtProc(this);
}

}  // namespace qv
