#pragma once
// The conversations that open every exchange with a logger and move its configuration block:
// waking the logger with spaces, setting its clock, asking its identity, reading the
// configuration block (with its CRC), identify-and-read as one run, and writing the block in
// chunks of eight bytes.
#include <cstdint>
#include <memory>
#include <vector>

#include "comm/com_protocol.h"
#include "comm/telegram.h"

namespace qv {

// Block length on the wire and image length of each device kind's configuration.
int32_t Tv10ConfigBlockLen(uint8_t dev_kind);

// Sends single spaces, about half a second apart, until the logger refuses one with "#" and a
// blank; at most 9. The Cancel button is not taken: the wake-up ends by itself.
class TTv10WakeUpProt : public TTelgrProtocol {
public:
  TTv10WakeUpProt();
  std::string ClassName() const override { return "TTv10WakeUpProt"; }
  std::string GetName() const override { return "t10_WakeUp"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void DoneProtocol() override;
  void ProtProc(void* sender) override;

  int32_t Step = 0;
  int32_t SpaceCount = 0;
  TNackInTelgr* Answer;

private:
  void SendSpace();
  void SpaceStep(void* sender);
  void SpaceAnswered(void* sender);
  std::function<void(TComponent*)> saved_outbuff_free_;
  int32_t status_handle_ = 0;
  uint8_t saved_hw_flow_ = 0;
  TQvComPort* hooked_ = nullptr;
};

// Wakes the logger and sets its clock to the PC's local time.
class TTv10SyncClProt : public TTelgrProtocol {
public:
  TTv10SyncClProt();
  std::string ClassName() const override { return "TTv10SyncClProt"; }
  std::string GetName() const override { return "t10_SyncCl"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void ProtProc(void* sender) override;

  int32_t Step = 0;
  std::unique_ptr<TTv10WakeUpProt> WakeUp;
  TSetDtOutTelgr* SetDt;
  TAckInTelgr* Ack;
  TNackInTelgr* Nack;

private:
  void WakeLogger(void* sender);
  void SendClock(void* sender);
  void ClockSet(void* sender);
};

// Wakes the logger and asks its identity.
class TTv10ScanProt : public TTelgrProtocol {
public:
  TTv10ScanProt();
  std::string ClassName() const override { return "TTv10ScanProt"; }
  std::string GetName() const override { return "t10_ScanId"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void DoneProtocol() override;
  void ProtProc(void* sender) override;

  int32_t Step = 0;
  uint16_t Kennung = 0;
  uint8_t DevKind = 0;  // 5, 6 or 7; 0 = none
  std::unique_ptr<TTv10WakeUpProt> WakeUp;
  TScanTelgr* Scan;
  TAckInTelgr* Ack;
  TNackInTelgr* Nack;
  TReceiveIdTelgr* Id;

private:
  void SendScan();
  void Retry(const std::string& key);
  void WakeLogger(void* sender);
  void SendScanStep(void* sender);
  void ScanAcked(void* sender);
  void IdReceived(void* sender);
};

// Reads the configuration block of a logger already awake and checks its CRC; a bad block is
// refused and the logger sends it again.
class TTv10ReadEEProt : public TTelgrProtocol {
public:
  TTv10ReadEEProt();
  ~TTv10ReadEEProt() override;
  std::string ClassName() const override { return "TTv10ReadEEProt"; }
  std::string GetName() const override { return "deh_TransmitData"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void DoneProtocol() override;
  void ProtProc(void* sender) override;

  // The block read, while DataOk.
  const uint8_t* GetBlockData() const { return DataOk ? buffer_.data() : nullptr; }

  int32_t Step = 0;
  bool DataOk = false;
  int32_t BlockCount = 0;
  int32_t Kennung = 0;
  uint8_t DevKind = 0;
  uint8_t MaxEEVersion = 32;
  int32_t BufLen = 128;
  uint8_t EEVersion = 0;
  TReadEETelgr* ReadEE;
  TAckReadEETelgr* AckEE;
  TNackInTelgr* Nack;
  TAckOutTelgr* AckOut;
  TNackOutTelgr* NackOut;

private:
  void Retry(const std::string& key);
  // Retry once the answers are no longer awaited.
  void RetryUnheard(const std::string& key);
  void StartBlock();
  void DisablePacket();
  void SendRequest(void* sender);
  void RequestAnswered(void* sender);
  void BlockStep(void* sender);
  void BlockAnswered(void* sender);
  std::unique_ptr<TSerDataPacket> packet_;
  std::vector<uint8_t> buffer_;
};

// Identifies the logger and reads its configuration block; OnConfigRead hands the block to the
// owner, whose errors there end the run with their text.
class TTv10RdCfgProt : public TComProtocol {
public:
  TTv10RdCfgProt();
  std::string ClassName() const override { return "TTv10RdCfgProt"; }
  std::string GetName() const override { return "deh_ReadConfig"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void DoneProtocol() override;
  void ProtProc(void* sender) override;

  // The block read (its length is BufLen), while the read child holds a good one; else null.
  const uint8_t* GetConfigData() const { return Read->GetBlockData(); }

  int32_t Step = 0;
  uint16_t Kennung = 0;
  uint8_t DevKind = 0;
  uint8_t EEVersion = 0;
  uint8_t MaxEEVersion = 32;
  int32_t BufLen = 128;
  TProtocolEvent OnConfigRead;
  std::unique_ptr<TTv10ScanProt> Scan;
  std::unique_ptr<TTv10ReadEEProt> Read;

private:
  void StartScan(void* sender);
  void Identified(void* sender);
  void BlockRead(void* sender);
};

// Writes a configuration block: "%E" announces it, "%R" carries eight bytes at a time, and the
// logger's last answer says whether it took the whole block.
class TTv10WriteEEProt : public TTelgrProtocol {
public:
  TTv10WriteEEProt();
  std::string ClassName() const override { return "TTv10WriteEEProt"; }
  std::string GetName() const override { return "deh_WriteConfig"; }
  void InitProtocol() override;
  void HookProcessWindow() override;
  void ProtProc(void* sender) override;

  void SetBufLen(int32_t len);
  int32_t GetBufLen() const { return static_cast<int32_t>(buffer_.size()); }
  // Fills the block with 0xFF, copies the bytes to its start and appends the CRC.
  void ReceiveData(const uint8_t* data, int32_t count);
  const std::vector<uint8_t>& Block() const { return buffer_; }

  int32_t Step = 0;
  int32_t Offset = 0;
  int32_t RepeatCount = 0;
  int32_t Kennung = 0;
  uint8_t DevKind = 0;
  uint8_t ConfigByte = 0;
  TPreWriteEETelgr* PreWrite;
  TWriteEEData* WriteData;
  TAckInTelgr* Ack;
  TNackInTelgr* Nack;

private:
  void SendChunk(bool same);
  void Retry(const std::string& key);
  void StopAnswers();
  void RetryUnheard(const std::string& key);
  void CancelUnheard(const std::string& key);
  void SendAnnounce(void* sender);
  void Announced(void* sender);
  void ChunkAnswered(void* sender);
  void BlockAnswered(void* sender);
  static void Diagnose(const char* text);
  std::vector<uint8_t> buffer_;
};

}  // namespace qv
