#pragma once
// A dispatcher over an in-memory device, without threads: tests feed bytes, line errors and
// modem lines, and run the dispatch passes themselves.
#include <string>
#include <vector>

#include "serial/ser_base_dispatcher.h"

namespace qv::test {

class FakeDispatcher : public TSerBaseDispatcher {
public:
  explicit FakeDispatcher(TSerCustomComPort* owner = nullptr) : TSerBaseDispatcher(owner) {}
  ~FakeDispatcher() override {
    if (DeviceValid()) CloseDispatcherPort();
  }

  void SetSendTimeout(uint32_t ms) { send_timeout_ms_ = ms; }
  int Open(uint32_t out_size = 4096) { return OpenDispatcherPort("fake", 19200, 0, 1, 8, 4096, out_size, 3); }

  std::string input;  // bytes the device holds
  uint32_t errors = 0;
  uint32_t modem_lines = 0;
  int open_result = 0;
  TDcb state;
  int state_writes = 0;
  std::vector<uint32_t> sleeps;
  std::vector<int> escapes;

  // Takes n bytes off the send ring as the output thread would.
  void Drain(uint32_t n) { AdvanceSendTail(n); }
  std::string Queued() {
    std::lock_guard<std::recursive_mutex> lock(send_lock_);
    std::string out;
    uint32_t used = SendUsedLocked();
    for (uint32_t i = 0; i < used; ++i) out += static_cast<char>(send_ring_[(send_tail_ + i) % send_ring_.size()]);
    return out;
  }

protected:
  int EscapeFunction(int func) override {
    escapes.push_back(func);
    return 0;
  }
  int PurgeDevice(int queue) override {
    if (queue == 1) {
      input.clear();
    } else {
      std::lock_guard<std::recursive_mutex> lock(send_lock_);
      send_head_ = send_tail_ = 0;
      send_full_ = false;
    }
    return 0;
  }
  uint32_t ReadDeviceStatus(uint32_t& in_queue) override {
    in_queue = static_cast<uint32_t>(input.size());
    uint32_t e = errors;
    errors = 0;
    return e;
  }
  int ReadDeviceState(TDcb& dcb) override {
    dcb = state;
    return 0;
  }
  long ReadDevice(uint8_t* buffer, uint32_t count) override {
    uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(input.size()));
    std::copy(input.begin(), input.begin() + n, buffer);
    input.erase(0, n);
    return n;
  }
  int WriteDeviceState(const TDcb& dcb) override {
    state = dcb;
    ++state_writes;
    return 0;
  }
  int ReadModemLines(uint32_t& status) override {
    status = modem_lines;
    return 0;
  }
  int SetDeviceQueues(uint32_t, uint32_t) override { return 0; }
  int StartDispatcher() override { return 0; }
  void StopDispatcher() override {}
  int OpenDevice(const std::string&, uint32_t, uint32_t) override { return open_result; }
  int CloseDevice() override { return 0; }
  void SleepMs(uint32_t ms) override { sleeps.push_back(ms); }
};

}  // namespace qv::test
