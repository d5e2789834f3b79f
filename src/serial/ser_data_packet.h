#pragma once
// A data packet watches the bytes received on a port and cuts out one piece: it waits for its
// start (a start string, or any data), collects until its end (a size, or an end string) and
// hands the piece to OnPacket and OnStringPacket on the main thread; when collecting takes longer
// than TimeOut it fires OnTimeout instead. All packets of one port share one manager, which takes
// every received byte out of the dispatcher and matches it on the dispatch thread.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/message_queue.h"
#include "serial/packet_matcher.h"
#include "serial/ser_base_component.h"

namespace qv {

class TSerCustomComPort;
class TSerDataPacketManager;

class TSerDataPacket : public TSerBaseComponent {
public:
  using TPacketNotifyEvent = std::function<void(TSerDataPacket* sender, const uint8_t* data, int32_t size)>;
  using TStringPacketNotifyEvent = std::function<void(TSerDataPacket* sender, const std::string& data)>;

  explicit TSerDataPacket(TComponent* owner = nullptr);
  ~TSerDataPacket() override;
  std::string ClassName() const override { return "TSerDataPacket"; }

  bool Enabled() const;
  // Raises EInvalidProperty when the settings cannot make a packet; the packet stays disabled.
  void SetEnabled(bool enabled);
  bool AutoEnable = true;
  TPacketStartCond StartCond() const { return settings_.StartCond; }
  void SetStartCond(TPacketStartCond c) { settings_.StartCond = c; }
  TPacketEndSet EndCond() const { return settings_.EndCond; }
  void SetEndCond(TPacketEndSet c);
  const std::string& StartString() const { return settings_.StartString; }
  void SetStartString(const std::string& s) { settings_.StartString = s; }
  const std::string& EndString() const { return settings_.EndString; }
  void SetEndString(const std::string& s);
  bool IgnoreCase() const { return settings_.IgnoreCase; }
  void SetIgnoreCase(bool on) { settings_.IgnoreCase = on; }
  int32_t PacketSize() const { return settings_.PacketSize; }
  void SetPacketSize(int32_t size) { settings_.PacketSize = size; }
  bool IncludeStrings() const { return settings_.IncludeStrings; }
  void SetIncludeStrings(bool on) { settings_.IncludeStrings = on; }
  // Ticks of 55 ms allowed for collecting; 0 = no limit.
  int32_t TimeOut = 2184;
  TSerCustomComPort* ComPort() const { return port_; }
  void SetComPort(TSerCustomComPort* port);

  TPacketNotifyEvent OnPacket;
  TStringPacketNotifyEvent OnStringPacket;
  TNotifyEvent OnTimeout;

  const TPacketSettings& Settings() const { return settings_; }
  // A port removed from the owner is let go.
  void Notification(TComponent* component, TOperation operation) override;

private:
  friend class TSerDataPacketManager;
  TPacketSettings settings_;
  TSerCustomComPort* port_ = nullptr;
  TSerDataPacketManager* manager_ = nullptr;
  int index_ = -1;        // the packet's number in its manager's matcher
  bool enabled_ = false;  // guarded by the manager's lock while it has one
  bool enable_pending_ = false;
};

// The packets of one port. Created by the first packet that is given the port, freed later
// (through a posted message) when its last packet leaves.
class TSerDataPacketManager {
public:
  static TSerDataPacketManager* ForPort(TSerCustomComPort* port);
  ~TSerDataPacketManager();

  void Attach(TSerDataPacket* packet);
  void Detach(TSerDataPacket* packet);
  void Enable(TSerDataPacket* packet);
  void Disable(TSerDataPacket* packet);
  bool Enabled(const TSerDataPacket* packet);

private:
  explicit TSerDataPacketManager(TSerCustomComPort* port);
  bool EnabledLocked(const TSerDataPacket* packet) const;
  void PortNotice(int kind);
  void Activate();
  void Deactivate();
  void OnDispatcherEvent(uint32_t msg, uint32_t value);
  // Delivers every packet the buffered bytes hold (dispatch thread, or wherever bytes came).
  void Process(std::unique_lock<std::mutex>& lock);
  void HandleTimeOut(std::unique_lock<std::mutex>& lock);
  void EndBusy();
  void UpdateTimer();
  void Log(uint8_t subtype, const std::string& data);
  void WindowProc(TMessage& m);

  TSerCustomComPort* port_;
  // mutex_ guards everything below; it is never held while packet events run on the main
  // thread, and it comes before the dispatcher's locks.
  std::mutex mutex_;
  TPacketMatcher matcher_;
  std::vector<TSerDataPacket*> packets_;  // by matcher number; null when the packet left
  bool active_ = false;
  int32_t timer_ = 0;
  int timer_for_ = -1;
  bool busy_ = false;
  HWND window_ = nullptr;
  bool free_posted_ = false;
};

}  // namespace qv
