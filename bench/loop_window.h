#pragma once
// A stand-in progress window for the benchmarks: it only runs the protocol's modal loop on the
// message queue, for at most five minutes (a full memory read at 19200 baud takes about one).
#include <chrono>
#include <string>

#include "comm/process_window_service.h"
#include "platform/os/message_queue.h"

namespace qv::bench {

class LoopWindow : public TProcessWindowService {
public:
  bool Visible() const override { return visible_; }
  bool GetCancelVisible() const override { return false; }
  void SetCancelVisible(bool) override {}
  void SetText1(const std::string&) override {}
  void SetText2(const std::string&) override {}
  void SetText3(const std::string&) override {}
  void Finish(int result) override { result_ = result; }
  int ShowModal() override {
    visible_ = true;
    result_ = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    while (result_ == 0 && std::chrono::steady_clock::now() < end) {
      if (OnProcess) {
        auto process = std::move(OnProcess);
        OnProcess = nullptr;
        process(this);
        continue;
      }
      WaitAndProcessMessages(2);
    }
    visible_ = false;
    return result_;
  }
  void Free() override { delete this; }

private:
  bool visible_ = false;
  int result_ = 0;
};

}  // namespace qv::bench
