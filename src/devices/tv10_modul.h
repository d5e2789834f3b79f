#pragma once
// The logger of the family and its sensor inputs, with the configuration block they share with
// the logger's EEPROM: 94 bytes for the two-input kinds 5 and 7, 146 for the four-input kind 6,
// every multi-byte field little-endian. The block is parsed into the module and its slots and
// built again from their values (or from the pending values, for a transmission).
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "devices/dev_class_registry.h"
#include "devices/tavra2g_device.h"
#include "devices/tv10_sensor_info.h"

namespace qv {

// Size of the block's slot part, and of the whole block for a number of slots.
constexpr int kTv10SlotPartSize = 14;
constexpr int Tv10HeaderSize(int slots) { return 42 + 12 * slots; }
constexpr int Tv10ImageSize(int slots) { return Tv10HeaderSize(slots) + kTv10SlotPartSize * slots; }

// The 6-byte date-time of the block: year - 2000, month, day, hour, minute, second.
using TDTRec = std::array<uint8_t, 6>;
// -1000.0 when the bytes form no valid date or time.
TDateTime DTRecToDateTime(const TDTRec& rec);
// 1 January 2000 00:00:00 for a date-time not after that or not before 2256.
TDTRec DateTimeToDTRec(TDateTime dt);

class TTv10SubModul;

class TTv10Modul : public TTavra2GModul {
public:
  ~TTv10Modul() override;
  std::string ClassName() const override { return "TTv10Modul"; }
  std::string GetTypeName() const override { return "Logger"; }

  // Kept as stored in the block.
  std::array<std::string, 4> SlotNames;
  uint8_t IdByte = 1;
  TEEValue<uint8_t> SampleIntIdx, SaveIntIdx, SensorPcb, StoringMode;
  TEEValue<float> LocalHeight;
  TEEValue<bool> PreSelEnabled, StorCircular;
  TEEValue<TDateTime> PreSelDateTime;
  std::string NewSName;

  // A plain assignment, allowed in every state.
  void SetTavraTyp(uint8_t kind) override { tavra_typ_ = kind; }
  // The pending short name; the name itself changes when a transmitted block is read back.
  void SetSName(const std::string& sname) override;
  void SetSNameDirect(const std::string& sname) { TTavra2GModul::SetSName(sname); }

  void SetSampleIntIdx(uint8_t v) { SetPending(SampleIntIdx.Pending, SampleIntIdx.Value, v); }
  void SetSaveIntIdx(uint8_t v) { SetPending(SaveIntIdx.Pending, SaveIntIdx.Value, v); }
  void SetLocalHeight(float v) { SetPending(LocalHeight.Pending, LocalHeight.Value, v); }
  void SetPreSelEnabled(bool v) { SetPending(PreSelEnabled.Pending, PreSelEnabled.Value, v); }
  void SetPreSelDateTime(TDateTime v) { SetPending(PreSelDateTime.Pending, PreSelDateTime.Value, v); }
  void SetStoringMode(uint8_t v) { SetPending(StoringMode.Pending, StoringMode.Value, v); }
  void SetStorCircular(bool v) { SetPending(StorCircular.Pending, StorCircular.Value, v); }

  void WriteEEPar(TStream* stream) override;
  void WriteEEBufPar(TStream* stream) override;
  void ReadEEPar(TStream* stream, bool& changed, uint8_t e2_version, uint8_t kind) override;
  void SaveEEState() override;
  void CancelChanges() override;
  bool ApplyEEChanges() override;

  int GetSlotCount() const override;
  TTavra2GSubMod* CreateSubModul(int slot, bool set_up, const TSensTypeInfo* info) override;
  TSensTypeInfo NewSensTypeInfo() const override { return {SensorPcb.Value, 0}; }
  // A set-up slotless sub-module for a sensor that logged data name and no slot holds.
  TTv10SubModul* CreateSensorSubModul(uint8_t pcb, uint8_t type, uint8_t e2_version);
  // Switches the temperature sensors between Celsius and Fahrenheit and writes the changed
  // configuration to the logger; nothing in state 0.
  void ApplyDefTempUnit(bool to_fahrenheit);

  // The logger's editor ("TTv10ModEditor"): identity and hardware lines, the logging parameters
  // once the configuration is known, and the sensors of the slots.
  TDevEditorCreator GetEditorClass() const override;
  void CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) override;
  // Each changed logging parameter becomes a change detail and goes into its edit copy.
  bool AcceptEditor() override;
  // Lets the user pick other sensors for the slots. A changed slot is taken over by a
  // sub-module of the new sensor (a former one of that slot, else a new detached one); the old
  // holder keeps its data without a slot. Real only when the configuration is transmitted.
  void ChangeSensors();

protected:
  void SetDefaults() override;
  void CheckImage(const std::string& bytes) const override;
  void WriteHeader(TStream& stream, bool buffered) override;
};

class TTv10SubModul : public TTavra2GSubMod {
public:
  ~TTv10SubModul() override;
  std::string ClassName() const override { return "TTv10SubModul"; }
  std::string GetTypeName() const override { return "Logger"; }

  uint8_t SensorPcb = 0, SensorType = 0;
  TEEValue<bool> AlarmAtSample;
  double AlarmMinPending = 0, AlarmMaxPending = 100;
  TEEValue<double> AlarmHyst;
  TEEValue<float> Offset;
  std::string NewSName;

  int GetChanCount() const override { return 3; }
  std::string GetChanName(int index) const override;
  std::string GetChanSName(int index) const override;
  std::string GetChanUnit(int index) const override;

  void SetSName(const std::string& sname) override;
  void SetSNameDirect(const std::string& sname) { TTavra2GSubMod::SetSName(sname); }
  void SetAlarmAtSample(bool v) { SetPending(AlarmAtSample.Pending, AlarmAtSample.Value, v); }
  // Pending alarm limits; the direct setters stay for values read from the logger.
  void SetAlarmMin(double v) override { SetPending(AlarmMinPending, AlarmMin(), v); }
  void SetAlarmMax(double v) override { SetPending(AlarmMaxPending, AlarmMax(), v); }
  void SetAlarmHyst(double v) { SetPending(AlarmHyst.Pending, AlarmHyst.Value, v); }
  void SetOffset(float v) { SetPending(Offset.Pending, Offset.Value, v); }

  void SetSensorType(uint8_t type);
  // Takes unit, range and measurement type of the catalogue entry; an unknown sensor raises
  // "TTv10SubModul.SetSensorInfo: invalid SensorType/Pcb/E²Version".
  void SetSensorInfo(uint8_t pcb, uint8_t type, uint8_t e2_version);

  void WriteEEPar(TStream* stream) override;
  void WriteEEBufPar(TStream* stream) override;
  void ReadEEPar(TStream* stream, bool& changed, uint8_t e2_version, uint8_t kind) override;
  void SaveEEState() override;
  bool ApplyEEChanges() override;
  bool ApplyChanges() override;
  void CancelChanges() override;
  void ExtractSensTypeInfo(TStream* stream, TSensTypeInfo* info, uint8_t e2_version) override;
  bool AcceptSensTypeInfo(const TSensTypeInfo* info) const override;
  void ReadIni() override;
  void WriteIni() override;

  // The slot's editor ("TTv10SubModEd"): the logger parameters only once the configuration is
  // known, the display settings always; the id is never edited.
  TDevEditorCreator GetEditorClass() const override;
  void CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) override;
  // Each changed value becomes a change detail and goes into its edit copy.
  bool AcceptEditor() override;

protected:
  void SetDefaults() override;

private:
  TTv10Modul* Module(const char* operation) const;
  void WriteSlot(TStream* stream, bool buffered, const char* operation);
};

// The device classes of the program: the base classes, then the logger and its slots.
class TTv10DevClassReg : public TDevClassRegistry {
public:
  TTv10DevClassReg() { TTv10DevClassReg::RegisterDefaults(); }
  void RegisterDefaults() override;
};

}  // namespace qv
