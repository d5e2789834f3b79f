#pragma once
// The conversation that reads a logger's current values: a wake-up, then "?N" (two-input
// kinds, one or two answers of up to eight value bytes) or "?N" + channel for each of the four
// channels of kind 6 (six value bytes each). A refused or missing answer is tried again after a
// pause of two seconds with a new wake-up, at most six requests in all.
#include <cstdint>
#include <memory>
#include <vector>

#include "comm/com_protocol.h"
#include "comm/telegram.h"
#include "comm/tv10_prot.h"

namespace qv {

class TTv10ReadOnlProt : public TTelgrProtocol {
public:
  TTv10ReadOnlProt();
  std::string ClassName() const override { return "TTv10ReadOnlProt"; }
  std::string GetName() const override { return "deh_ReadOnline"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void DoneProtocol() override;
  void ProtProc(void* sender) override;

  // An odd count is lowered by one; unless DevKind is 6 it is clamped to 4 to 12. A changed
  // count gives a new zero-filled buffer and clears DataOk. Set DevKind first.
  void SetValueBytes(int32_t count);
  int32_t ValueBytes() const { return static_cast<int32_t>(values_.size()); }
  // The value buffer while DataOk, else null: the 16-bit words of slot 1, then of slot 2 ...
  const uint8_t* GetValues() const { return DataOk ? values_.data() : nullptr; }

  int32_t Step = 0;
  bool DataOk = false;
  uint16_t Kennung = 0;
  uint8_t DevKind = 0;
  TProtocolEvent OnValuesRead;
  std::unique_ptr<TTv10WakeUpProt> WakeUp;
  TReadOnlTelgr* ReadOnl;
  TReadOnlTelgr_4k* ReadOnl4k;
  TAckInTelgr* Ack;
  TNackInTelgr* Nack;
  TReceiveOnline* Receive;
  TReceiveOnline_4k* Receive4k;

private:
  // The request of the device kind.
  TReadOnlTelgr* Request() const;
  void StopListening();
  // Waits two seconds and starts over with a new wake-up while the request has been sent fewer
  // than six times; otherwise cancels with the message.
  void Retry(const std::string& key);
  // Takes bytes of an answer into the buffer at offset, never past its end.
  void TakeValues(const uint8_t* data, int32_t count, int32_t offset);
  void Done();
  void WakeLogger(void* sender);
  void SendRequest(void* sender);
  void RequestAcked(void* sender);
  void ValuesReceived(void* sender);
  void ChannelReceived(void* sender);

  std::vector<uint8_t> values_;
};

}  // namespace qv
