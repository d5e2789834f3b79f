#pragma once
// The dispatcher on a real serial device, with its three worker threads: the COM thread waits
// for the device to have input and moves it into the dispatch buffer, the dispatch thread checks
// the triggers and hands the events on (and reads the device as well on its 50 ms passes), the
// output thread writes the send ring to the device.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/serial/comm_device.h"
#include "serial/ser_base_dispatcher.h"

namespace qv {

class TSerWin32Dispatcher : public TSerBaseDispatcher {
public:
  explicit TSerWin32Dispatcher(TSerCustomComPort* owner);
  ~TSerWin32Dispatcher() override;

protected:
  int EscapeFunction(int func) override;
  int PurgeDevice(int queue) override;
  uint32_t ReadDeviceStatus(uint32_t& in_queue) override;
  int ReadDeviceState(TDcb& dcb) override;
  long ReadDevice(uint8_t* buffer, uint32_t count) override;
  long ReadDevice2(uint8_t* first, uint32_t first_count, uint8_t* second, uint32_t second_count) override;
  int WriteDeviceState(const TDcb& dcb) override;
  int ReadModemLines(uint32_t& status) override;
  int SetDeviceQueues(uint32_t in_size, uint32_t out_size) override;
  int StartDispatcher() override;
  void StopDispatcher() override;
  int OpenDevice(const std::string& name, uint32_t in_size, uint32_t out_size) override;
  int CloseDevice() override;
  void OutputQueued() override;
  void InputRoom() override;
  void WakeDispatch() override;

private:
  // An event object: set wakes one waiter (automatic reset) or all until reset (manual).
  class TEvent {
  public:
    void Set();
    void Reset();
    bool Wait(int timeout_ms);  // < 0: no limit; false on time-out
  private:
    std::mutex m_;  // guards set_ (a leaf lock)
    std::condition_variable cv_;
    bool set_ = false;
  };

  void ComThread();
  void DispatchThread();
  void OutputThread();
  void WriteOut();
  void ThreadFinished(std::atomic<bool>& running);
  bool OnWorkerThread() const;
  // Waits for a worker to end, pumping the main thread's messages meanwhile so that a worker
  // waiting for the main thread can finish.
  void JoinWorker(std::thread& thread, std::atomic<bool>& running);
  void StopOutputAndCom();

  TCommDevice device_;
  TEvent device_event_, thread_ready_;
  std::atomic<uint32_t> last_mask_{0};

  // out_mutex_ guards the output thread's requests (a leaf lock).
  std::mutex out_mutex_;
  std::condition_variable out_cv_;
  bool out_ready_ = false, out_stop_ = false, out_stopped_ = false;

  std::thread com_thread_, disp_thread_, out_thread_;
  std::atomic<bool> com_running_{false}, disp_running_{false}, out_running_{false};
  std::atomic<std::thread::id> com_id_{}, disp_id_{}, out_id_{};
};

}  // namespace qv
