#pragma once
// The device handler of the logger family: runs the logger protocols for the user's commands
// and ties their results to the device tree (finding or creating the logger module by its
// Kennung, parsing and storing its configuration image).
#include <array>
#include <cstdint>
#include <functional>
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

// The start-date dialog of a memory read: shown with the proposed start; true for OK, with the
// picked date-time and whether all data are to be read. Installed by the program; without it
// every channel starts after its own last value.
// Erases a key, and the keys below it, of the user's registry profile; the key is given below
// the program's registry key. Installed by the program; without it nothing is erased.
extern std::function<void(const std::string& key)> DeleteProgramRegistryKey;

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
  // Runs body with the connection; any exception closes it and passes on.
  bool WithConnection(const char* nil_error, bool disconnect, const std::function<bool()>& body);
  // Memory read-out helpers.
  TTv10SubModul* MemSubModul(const TTv10MeasHeader& header);
  void StoreMemStream(std::vector<TDtData*>& sets, std::vector<uint8_t>& set_channels);
  void MemDataLog(const std::string& line) const;
  int32_t mem_block_no_ = 0;
  std::array<TDateTime, 4> mem_newest_{};
};

class TTv10DevHndlColl : public TDevHandlColl {
public:
  TTv10DevHndlColl();
  std::string ClassName() const override { return "TTv10DevHndlColl"; }
};

}  // namespace qv
