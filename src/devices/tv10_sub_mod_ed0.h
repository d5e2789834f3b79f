#pragma once
// What the logger module and its sensor slots fill into and read from their editors. The
// editors with their frames come with the device editor dialogs.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/rtl/date_time.h"

#include "devices/dev_editor.h"

namespace qv {

// The sensor slot's editor. The value getters answer what the last successful Validate took.
class TTv10SubModEd0 : public TDevEditor {
public:
  virtual void SetParamsInvalid(bool invalid) = 0;
  virtual void SetBoard(uint8_t board) = 0;
  virtual void SetSensorType(uint8_t type) = 0;
  virtual void SetE2Version(uint8_t version) = 0;
  virtual void SetModChanNum(int32_t slot) = 0;
  virtual void SetOffset(float offset) = 0;
  // 0 alarm at storing, 1 at sampling.
  virtual void SetAlarmAt(int index) = 0;
  virtual void SetAlarmMin(double v) = 0;
  virtual void SetAlarmMax(double v) = 0;
  virtual void SetAlarmHyst(double v) = 0;
  virtual void SetDecimals(int decimals) = 0;
  virtual void SetViewMin(double v) = 0;
  virtual void SetViewMax(double v) = 0;
  virtual void SetUnit(const std::string& unit) = 0;

  virtual float GetOffset() const = 0;
  virtual int GetAlarmAt() const = 0;
  virtual double GetAlarmMin() const = 0;
  virtual double GetAlarmMax() const = 0;
  virtual double GetAlarmHyst() const = 0;
  virtual int GetDecimals() const = 0;
  // True once the user changed the decimals: the spin edit shows at most 3, and a slot with more
  // must keep its own until the user picks another.
  virtual bool DecimalsEdited() const = 0;
  virtual double GetViewMin() const = 0;
  virtual double GetViewMax() const = 0;
};

// The logger module's editor. Display setters rebuild their lines only when a value changes.
class TTv10ModEditor0 : public TDevEditor {
public:
  virtual void SetLoggerId(int32_t id) = 0;
  virtual void SetKind(uint8_t kind) = 0;
  virtual void SetSerialNo(uint16_t serial) = 0;
  virtual void SetMonthYear(uint16_t month_year) = 0;
  virtual void SetProjectNo(uint16_t project) = 0;
  virtual void SetPartList(uint8_t v) = 0;
  virtual void SetCircuitDiagram(uint8_t v) = 0;
  virtual void SetHwVersion(uint8_t v) = 0;
  virtual void SetSwVersion(uint8_t v) = 0;
  virtual void SetE2Version(uint8_t v) = 0;
  virtual void SetParamsInvalid(bool invalid) = 0;
  virtual void SetBoard(uint8_t board) = 0;
  // Slots 1 to 4.
  virtual void SetSlotType(int slot, uint8_t type) = 0;

  virtual bool GetStorCircular() const = 0;
  virtual void SetStorCircular(bool v) = 0;
  // Bit 0 average, bit 1 maximum, bit 2 minimum.
  virtual uint8_t GetStoringMode() const = 0;
  virtual void SetStoringMode(uint8_t v) = 0;
  virtual uint8_t GetSampleIntIdx() const = 0;
  virtual void SetSampleIntIdx(uint8_t v) = 0;
  virtual uint8_t GetSaveIntIdx() const = 0;
  virtual void SetSaveIntIdx(uint8_t v) = 0;
  virtual bool GetPreSelEnabled() const = 0;
  virtual void SetPreSelEnabled(bool v) = 0;
  virtual TDateTime GetPreSelDateTime() const = 0;
  virtual void SetPreSelDateTime(TDateTime v) = 0;
  virtual float GetLocalHeight() const = 0;
  virtual void SetLocalHeight(float v) = 0;
  // Whether the editor offers the local height (boards that correct for it).
  virtual bool ShowsLocalHeight() const = 0;

  // Called on the idle pass after a button click: jump to slot 1 to 4, change the sensors.
  std::array<TNotifyEditorEvent, 4> OnJumpSlot;
  TNotifyEditorEvent OnChangeSensors;
};

// The change-of-sensors dialog: shows the sensors of the slots (0 for none) and answers true
// with the chosen ones on OK. Installed by the device editor dialogs; false without one.
using TChangeSensorsDlgProc =
    std::function<bool(uint8_t kind, uint8_t board, uint8_t e2_version, std::array<uint8_t, 4>& types)>;
void SetChangeSensorsDlgProc(TChangeSensorsDlgProc proc);
const TChangeSensorsDlgProc& ChangeSensorsDlgProc();

}  // namespace qv
