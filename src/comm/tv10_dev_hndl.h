#pragma once
// The device handler of the logger family: runs the logger protocols for the user's commands
// and ties their results to the device tree (finding or creating the logger module by its
// Kennung, parsing and storing its configuration image).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "base/file_stream2.h"
#include "comm/dev_handl_coll.h"
#include "comm/dev_handler0.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TTv10Modul;
class TTv10RdCfgProt;
class TTv10ReadMemProt;
class TTv10ReadOfflProt;
class TTv10SubModul;
class TDtData;
struct TTv10MeasHeader;
class TTv10ReadOnlProt;
class TTv10SyncClProt;
class TDtRecord;
struct TRecTask;
class TTavra2GSubMod;

// Erases a key, and the keys below it, of the user's registry profile; the key is given below
// the program's registry key. Installed by the program; without it nothing is erased.
extern std::function<void(const std::string& key)> DeleteProgramRegistryKey;

// The start-date dialog of a memory read: shown with the proposed start; true for OK, with the
// picked date-time and whether all data are to be read. Installed by the program; without it
// every channel starts after its own last value.
using TSelStartDateTimeProc = std::function<bool(TDateTime& start, bool& read_all)>;
extern TSelStartDateTimeProc SelStartDateTimeProc;

class TTavra2GHandler : public TDevHandler0 {
public:
  std::string ClassName() const override { return "TTavra2GHandler"; }
};

// Adds the buffer of a configuration image.
class TTavra2GModHndl : public TTavra2GHandler {
public:
  std::string ClassName() const override { return "TTavra2GModHndl"; }
  void AllocEEBuf(uint16_t len) { EEBuf.assign(len, 0); }
  void FreeEEBuf() { EEBuf.clear(); }
  uint16_t EEBufLen() const { return static_cast<uint16_t>(EEBuf.size()); }
  std::vector<uint8_t> EEBuf;
};

// The image length of a kind and EE version; raises "Logger EEVersionToBufLen: invalid
// EE-Version" for a version no row knows.
uint16_t Tv10ImageLen(uint8_t dev_kind, uint8_t ee_version);

class TTv10DevHndl : public TTavra2GModHndl {
public:
  std::string ClassName() const override { return "TTv10DevHndl"; }
  std::string GetName() const override { return "Logger"; }
  void ReadSettings(const TIniFile& ini, const std::string& section) override;
  void WriteSettings(TIniFile& ini, const std::string& section) const override;

  bool CanRecord() const override { return true; }
  bool CanReadCfgAnonym() const override { return true; }
  bool CanReadCfgDevice(TDevice* module) const override;
  bool CanWriteConfig(TDevice* module) const override;
  bool CanSyncClock() const override { return true; }
  bool CanClearMemAnonym() const override { return true; }

  bool ReadCfgAnonym(bool interactive, bool disconnect) override;
  bool ReadCfgDevice(TDevice* module, bool interactive, bool& changed, bool disconnect) override;
  bool WriteConfig(TDevice* module, bool disconnect) override;
  bool SyncClock(bool interactive, bool disconnect) override;
  bool ClearMemAnonym(bool interactive, bool disconnect) override;

  // Parses EEBuf into the module's image; false when there is nothing to parse.
  bool EEBufToModul(TTv10Modul* module, uint8_t ee_version, bool& changed);
  // Copies the module's image into the zero-filled buffer; the bytes copied.
  int32_t ModulToEEBuf(TTv10Modul* module);

  TTv10Modul* FCurModul = nullptr;
  TTv10Modul* NewModul = nullptr;
  uint8_t EEVersion = 0;
  uint8_t DevKind = 0;
  bool EEChanged = false;
  bool DefTempIsF = false;
  // The pause before a configuration write, in milliseconds (tests shorten it).
  std::function<void(int ms)> Sleep;

  // ---- memory read-out ----
  bool CanReadMemAnonym() const override { return true; }
  // Reads the logger's memory from the start dates the user confirms and stores the values in
  // the weekly data sets of its sensors.
  bool ReadMemAnonym(bool interactive, bool disconnect) override;
  // The start date of every slot: after its last value, or the confirmed date for all.
  void ReadMemSetDT(TTv10ReadMemProt* p);
  // The date the dialog proposes: the earliest start after data already read, else Monday 00:00
  // of the current week.
  TDateTime ProposedStart() const;
  // Appends a good block, less its CRC, to the memory stream.
  void ReadMemBlockRead(TTv10ReadOfflProt* p);
  // Parses the memory stream and stores its values.
  void ReadMemBlocksFin();
  // The memory blocks of the current read, without their CRC.
  TMemoryStream2 MemStream;
  // "Now" of the start-date proposal; the system's clock when null.
  const TWallClock* Clock = nullptr;

private:
  // The OnConfigRead of an anonymous read: the module of the Kennung read, created if new.
  void FindOrCreateModul(TTv10RdCfgProt* p);
  void RdCfgDevProcData(TTv10RdCfgProt* p);
  // Takes the block read into the module and writes its image file.
  void TakeConfig(TTv10RdCfgProt* p, TTv10Modul* module, bool& changed);
  void RegisterNewModul();
  // Selects the module in the device shell without closing the connection.
  void SelectModul(TTv10Modul* module);
  bool Connected(bool interactive);
  // Runs body with the connection as one command; any exception closes it and passes on.
  bool WithConnection(const char* nil_error, bool disconnect, const std::function<bool()>& body);
  // Memory read-out helpers.
  TTv10SubModul* MemSubModul(const TTv10MeasHeader& header);
  void StoreMemStream(std::vector<TDtData*>& sets, std::vector<uint8_t>& set_channels);
  void MemDataLog(const std::string& line) const;
  // What a read without a single block tells the user.
  std::string EmptyReadText() const;
  int32_t mem_block_no_ = 0;
  // False block headers met while storing the current read.
  int32_t mem_bad_headers_ = 0;
  std::array<TDateTime, 4> mem_newest_{};
  // The start date-time each channel of the running read asked the logger for.
  std::array<TDateTime, 4> mem_start_{};

  // ---- current values ----
public:
  bool CanReadOnline() const override { return true; }
  // Reads the module's current values and stores them as one record per slot.
  bool ReadOnline(TDevice* module, bool disconnect) override;
  // OnValuesRead of a current-value read started by ReadOnline.
  void ProcOnlData(TTv10ReadOnlProt* p);
  // The stored value kinds of a module (0 minimum, 1 maximum, 2 average, in that order) from
  // its storing-mode bits; average alone when no bit is set.
  void TakeValueKinds(const TTv10Modul* module);

  int32_t ValueKindCount = 1;
  std::array<int32_t, 3> ValueKinds{2, 0, 0};

private:
  using TSlotRecord = std::pair<int32_t, std::unique_ptr<TDtRecord>>;
  // One record per slot from the values read, stamped now on the module's interval grid;
  // missing_error names the caller when a slot has no sub-module.
  std::vector<TSlotRecord> OnlineRecords(TTv10ReadOnlProt* p, const char* missing_error) const;

  // ---- online recorder ----
public:
  // Out of line: the recorder's protocols are complete types only there.
  TTv10DevHndl();
  ~TTv10DevHndl() override;
  // Reads the configuration and prepares the one task of the logger read.
  void RecPrepareTasks() override;
  void RecInitProtocols() override;
  // Marks the start of the recording with an empty record per slot on the interval grid.
  void RecInsertStartRec() override;
  void RecOnSaveData() override;
  void RecSyncClock() override;
  void RecProcessSample(int32_t task) override;
  // Moves the task's buffered samples into the data sets it gets within 50 ms, checking alarms;
  // the others stay buffered.
  void RecInsertSample(int32_t task) override;
  void RecGetLastTime(int32_t task, TDtStamp& stamp) override;
  void RecDone() override;
  void RecDetachData() override;
  // OnValuesRead of the recorder's current-value read: appends one entry per slot (slot number,
  // record) to the task's sample buffer.
  void RecProcOnlData(TTv10ReadOnlProt* p);

  // The recorder's child protocols, kept between samples.
  std::unique_ptr<TTv10SyncClProt> RecSyncProt;
  std::unique_ptr<TTv10ReadOnlProt> RecOnlProt;

private:
  // The module of the recorder's one task; raises error when the recorder holds another count.
  TTv10Modul* RecModul(const char* error) const;
  // Opens the line again when it went away since the last sample (a USB adapter pulled).
  void EnsureLine();
  // Alarm transitions and the alarm mail of one recorded value.
  void CheckAlarm(TTv10Modul* module, TTavra2GSubMod* sub, int32_t slot, const TDtRecord& rec, double value);
  // "RecBuf.bin" follows the samples kept, so a crash loses none of them.
  void MirrorBuffer(TRecTask& task);
};

class TTv10DevHndlColl : public TDevHandlColl {
public:
  TTv10DevHndlColl();
  std::string ClassName() const override { return "TTv10DevHndlColl"; }
};

}  // namespace qv
