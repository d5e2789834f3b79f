#include "serial/ser_data_packet.h"

#include <algorithm>
#include <map>

#include "platform/rtl/store_changed.h"
#include "serial/ser_base_dispatcher.h"
#include "serial/ser_custom_com_port.h"
#include "serial/serial_exception.h"

namespace qv {

namespace {

constexpr uint32_t kFreeManagerMsg = 45089;
constexpr uint8_t ltPacket = 18;
constexpr uint8_t lsEnable = 242, lsDisable = 243, lsStringPacket = 244, lsSizePacket = 245, lsTimeout = 246,
                  lsStartStr = 247, lsEndStr = 248, lsIdle = 249, lsWaiting = 250, lsCollecting = 251;

// The managers of all ports; main thread only.
std::map<TSerCustomComPort*, TSerDataPacketManager*>& ManagerList() {
  static std::map<TSerCustomComPort*, TSerDataPacketManager*> list;
  return list;
}

// Runs a packet event on the main thread and waits for it, as the thread library's
// synchronisation does; an exception is shown and goes no further.
void RunEvent(const std::function<void()>& event) {
  Synchronize([&] {
    TEventHandlerScope scope;
    try {
      event();
    } catch (const std::exception& e) {
      SerialShowException(e);
    }
  });
}

}  // namespace

// ---- the packet ----

TSerDataPacket::TSerDataPacket(TComponent* owner) : TSerBaseComponent(owner) {}

TSerDataPacket::~TSerDataPacket() {
  BeginDestroy();
  SetComPort(nullptr);
}

void TSerDataPacket::Notification(TComponent* component, TOperation operation) {
  TSerBaseComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == port_) SetComPort(nullptr);
}

bool TSerDataPacket::Enabled() const { return manager_ ? manager_->Enabled(this) : enabled_; }

void TSerDataPacket::SetEnabled(bool enabled) {
  if (enabled) {
    int code = ValidatePacketSettings(settings_);
    if (code != 0) throw EInvalidProperty(code);
    if (manager_)
      manager_->Enable(this);
    else
      enabled_ = true;
  } else {
    if (manager_)
      manager_->Disable(this);
    else
      enabled_ = false;
  }
}

void TSerDataPacket::SetEndCond(TPacketEndSet c) {
  bool was = Enabled();
  SetEnabled(false);
  settings_.EndCond = c;
  if (was) SetEnabled(true);
}

void TSerDataPacket::SetEndString(const std::string& s) {
  bool was = Enabled();
  SetEnabled(false);
  settings_.EndString = s;
  if (was) SetEnabled(true);
}

void TSerDataPacket::SetComPort(TSerCustomComPort* port) {
  if (port == port_) return;
  bool was = Enabled();
  if (manager_) manager_->Detach(this);
  port_ = port;
  enabled_ = was;
  if (port_) TSerDataPacketManager::ForPort(port_)->Attach(this);
}

// ---- the manager ----

TSerDataPacketManager* TSerDataPacketManager::ForPort(TSerCustomComPort* port) {
  auto& list = ManagerList();
  auto it = list.find(port);
  if (it != list.end()) return it->second;
  auto* manager = new TSerDataPacketManager(port);
  list[port] = manager;
  return manager;
}

TSerDataPacketManager::TSerDataPacketManager(TSerCustomComPort* port) : port_(port) {
  window_ = AllocateHWnd([this](TMessage& m) { WindowProc(m); });
  port_->AddOpenCloseCallback(
      this, [this](TSerCustomComPort*, int kind) { PortNotice(kind); }, true);
  if (port_->Open() && port_->CurrentDispatcher()) Activate();
}

TSerDataPacketManager::~TSerDataPacketManager() {
  Deactivate();
  if (port_) port_->RemoveOpenCloseCallback(this);
  auto& list = ManagerList();
  for (auto it = list.begin(); it != list.end(); ++it)
    if (it->second == this) {
      list.erase(it);
      break;
    }
  DeallocateHWnd(window_);
}

void TSerDataPacketManager::Attach(TSerDataPacket* packet) {
  std::unique_lock<std::mutex> lock(mutex_);
  packet->manager_ = this;
  packet->index_ = matcher_.Add(packet->settings_);
  packets_.push_back(packet);
  free_posted_ = false;
  bool enable = packet->enabled_;
  packet->enabled_ = false;
  lock.unlock();
  if (enable) Enable(packet);
}

void TSerDataPacketManager::Detach(TSerDataPacket* packet) {
  std::unique_lock<std::mutex> lock(mutex_);
  packet->enabled_ = EnabledLocked(packet);
  packet->enable_pending_ = false;
  if (packet->index_ >= 0) {
    matcher_.Remove(packet->index_);
    packets_[packet->index_] = nullptr;
  }
  UpdateTimer();
  packet->manager_ = nullptr;
  packet->index_ = -1;
  bool any = false;
  for (auto* p : packets_) any = any || p;
  if (!any && !free_posted_) {
    free_posted_ = true;
    PostMessage(window_, kFreeManagerMsg, 0, 0);
  }
}

bool TSerDataPacketManager::Enabled(const TSerDataPacket* packet) {
  std::lock_guard<std::mutex> lock(mutex_);
  return EnabledLocked(packet);
}

bool TSerDataPacketManager::EnabledLocked(const TSerDataPacket* packet) const {
  // The matcher tells while the port is open; the packet's own flag while it is closed.
  if (packet->enable_pending_) return true;
  if (active_ && packet->index_ >= 0) return matcher_.Enabled(packet->index_);
  return packet->enabled_;
}

void TSerDataPacketManager::Enable(TSerDataPacket* packet) {
  std::unique_lock<std::mutex> lock(mutex_);
  packet->enabled_ = true;
  if (busy_) {
    packet->enable_pending_ = true;  // prepared when the events under way are over
    return;
  }
  matcher_.SetSettings(packet->index_, packet->settings_);
  if (active_) {
    matcher_.Enable(packet->index_);
    UpdateTimer();
  }
  Log(lsEnable, "Packet:" + packet->Name());
  if (packet->settings_.StartCond == scString) Log(lsWaiting, "Packet:" + packet->Name());
}

void TSerDataPacketManager::Disable(TSerDataPacket* packet) {
  std::unique_lock<std::mutex> lock(mutex_);
  packet->enabled_ = false;
  packet->enable_pending_ = false;
  if (packet->index_ >= 0) matcher_.Disable(packet->index_);
  UpdateTimer();
  Log(lsDisable, "Packet:" + packet->Name());
  Log(lsIdle, "Packet:" + packet->Name());
}

void TSerDataPacketManager::PortNotice(int kind) {
  if (kind == kPortOpened) {
    Activate();
  } else if (kind == kPortClosing || kind == kPortClosed) {
    Deactivate();
  } else if (kind == kPortRemoved) {
    Deactivate();
    for (auto* p : packets_)
      if (p) {
        p->enabled_ = false;
        p->manager_ = nullptr;
        p->port_ = nullptr;
        p->index_ = -1;
      }
    port_ = nullptr;
    delete this;
  }
}

void TSerDataPacketManager::Activate() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (active_ || !port_ || !port_->CurrentDispatcher()) return;
  TSerBaseDispatcher* d = port_->CurrentDispatcher();
  timer_ = d->AddTimerTrigger();
  d->RegisterEventHandler(this, [this](uint32_t msg, uint32_t value, int32_t) { OnDispatcherEvent(msg, value); });
  active_ = true;
  timer_for_ = -1;
  matcher_.Idle();
  // Every enabled packet is prepared again, in list order.
  for (auto* p : packets_)
    if (p && p->enabled_) {
      matcher_.SetSettings(p->index_, p->settings_);
      matcher_.Enable(p->index_);
    }
  UpdateTimer();
}

void TSerDataPacketManager::Deactivate() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!active_) return;
  for (auto* p : packets_)
    if (p) p->enabled_ = matcher_.Enabled(p->index_) || p->enable_pending_;
  matcher_.Idle();
  for (auto* p : packets_)
    if (p) matcher_.Disable(p->index_);
  active_ = false;
  if (TSerBaseDispatcher* d = port_ ? port_->CurrentDispatcher() : nullptr) {
    d->RemoveTrigger(timer_);
    d->DeregisterEventHandler(this);
  }
  timer_ = 0;
  timer_for_ = -1;
}

void TSerDataPacketManager::UpdateTimer() {
  if (!active_ || !port_ || !port_->CurrentDispatcher()) return;
  int collecting = matcher_.Collecting();
  if (!StoreChanged(timer_for_, collecting)) return;
  TSerBaseDispatcher* d = port_->CurrentDispatcher();
  TSerDataPacket* p = collecting >= 0 ? packets_[collecting] : nullptr;
  if (p) {
    if (p->settings_.StartCond == scString) Log(lsStartStr, p->settings_.StartString);
    Log(lsCollecting, "Packet:" + p->Name());
  }
  if (p && p->TimeOut > 0)
    d->SetTimerTrigger(timer_, p->TimeOut, true);
  else
    d->SetTimerTrigger(timer_, 0, false);
}

void TSerDataPacketManager::Log(uint8_t subtype, const std::string& data) {
  TSerBaseDispatcher* d = port_ ? port_->CurrentDispatcher() : nullptr;
  if (d && d->LogActive()) d->AddLogEntry(ltPacket, subtype, 0, data.data(), static_cast<uint32_t>(data.size()));
}

void TSerDataPacketManager::OnDispatcherEvent(uint32_t msg, uint32_t value) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!active_) return;
  TSerBaseDispatcher* d = port_->CurrentDispatcher();
  if (msg == kTriggerAvail && d) {
    // A late data event on the main thread may have taken some of the announced bytes.
    value = std::min(value, d->InBuffReadable());
    std::vector<uint8_t> bytes(value);
    if (value == 0 || d->GetBlock(bytes.data(), value) != static_cast<int>(value)) return;
    matcher_.Append(bytes.data(), bytes.size());
    Process(lock);
  } else if (msg == kTriggerTimer && static_cast<int32_t>(value) == timer_) {
    HandleTimeOut(lock);
  }
}

void TSerDataPacketManager::Process(std::unique_lock<std::mutex>& lock) {
  if (busy_) return;  // the bytes wait for the events under way
  TPacketFound found;
  while (active_ && matcher_.Next(found)) {
    TSerDataPacket* packet = packets_[found.Packet];
    std::string data = matcher_.Buffer().substr(found.DataStart, found.DataSize);
    // A packet that started and ended within the same bytes still shows both steps.
    if (packet && timer_for_ != found.Packet) {
      if (packet->settings_.StartCond == scString) Log(lsStartStr, packet->settings_.StartString);
      Log(lsCollecting, "Packet:" + packet->Name());
    }
    busy_ = true;
    UpdateTimer();
    if (found.ByString && packet) Log(lsEndStr, packet->settings_.EndString);
    Log(found.ByString ? lsStringPacket : lsSizePacket, data);
    lock.unlock();
    if (packet) {
      RunEvent([&] {
        if (packet->OnPacket)
          packet->OnPacket(packet, reinterpret_cast<const uint8_t*>(data.data()), static_cast<int32_t>(data.size()));
        if (packet->OnStringPacket) packet->OnStringPacket(packet, data);
      });
    }
    lock.lock();
    // The packet may have left its port from inside its own event.
    packet = packets_[found.Packet];
    if (packet && packet->AutoEnable && !packet->enable_pending_ && !matcher_.Enabled(found.Packet))
      packet->enable_pending_ = true;
    // Enabled while the packet is still held, the packets see the bytes that followed it.
    EndBusy();
    matcher_.Release(found);
    UpdateTimer();
  }
  UpdateTimer();
}

void TSerDataPacketManager::HandleTimeOut(std::unique_lock<std::mutex>& lock) {
  if (busy_) return;
  int index = matcher_.TimeOut();
  if (index < 0) return;
  TSerDataPacket* packet = packets_[index];
  busy_ = true;
  UpdateTimer();
  Log(lsTimeout, packet ? "Packet:" + packet->Name() : std::string());
  lock.unlock();
  if (packet && packet->OnTimeout) RunEvent([&] { packet->OnTimeout(packet); });
  lock.lock();
  EndBusy();
  Process(lock);
}

void TSerDataPacketManager::EndBusy() {
  busy_ = false;
  // Enables asked for during the events take effect now, in list order.
  for (auto* p : packets_) {
    if (!p || !p->enable_pending_) continue;
    p->enable_pending_ = false;
    matcher_.SetSettings(p->index_, p->settings_);
    if (active_) matcher_.Enable(p->index_);
  }
  UpdateTimer();
}

void TSerDataPacketManager::WindowProc(TMessage& m) {
  if (m.Msg != kFreeManagerMsg) return;
  bool busy;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bool any = false;
    for (auto* p : packets_) any = any || p;
    if (any) {
      free_posted_ = false;  // a packet joined again meanwhile
      return;
    }
    TSerBaseDispatcher* d = port_ ? port_->CurrentDispatcher() : nullptr;
    busy = busy_;
    if (d) {
      // Checked and let go of under the dispatcher's main lock, under which a delivery starts
      // and takes its handlers: none can take this manager's between the check and the
      // deregistration and call it once it is freed.
      std::lock_guard<std::recursive_mutex> main(d->MainLock());
      busy = busy || d->Delivering();
      if (!busy && active_) {
        d->RemoveTrigger(timer_);
        d->DeregisterEventHandler(this);
        active_ = false;
        timer_ = 0;
      }
    }
  }
  if (busy)
    PostMessage(window_, kFreeManagerMsg, 0, 0);
  else
    delete this;
}

}  // namespace qv
