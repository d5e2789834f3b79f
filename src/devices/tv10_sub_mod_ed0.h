#pragma once
// What the logger module and its sensor slots fill into and read from their editors. The
// editors with their frames come with the device editor dialogs.
#include <cstdint>
#include <string>

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

}  // namespace qv
