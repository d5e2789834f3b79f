#pragma once
// The channel's editor as the channel fills and reads it. The editor's frame, its validation and
// its dialogs come with the editor dialogs, which install their creator at start-up.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "datastore/expl_element.h"

namespace qv {

class TChanEditor : public TExplEditor {
public:
  // Values of the last successful Validate; the range starts as "no value".
  double ValMin, ValMax, AlarmMin = 0, AlarmMax = 0, ViewMin = 0, ViewMax = 0;

  TChanEditor();

  virtual std::string GetNameText() const = 0;
  virtual void SetNameText(const std::string& text) = 0;
  virtual std::string GetSNameText() const = 0;
  virtual void SetSNameText(const std::string& text) = 0;
  virtual std::string GetUnitText() const = 0;
  virtual void SetUnitText(const std::string& text) = 0;
  virtual bool GetUnitReadOnly() const = 0;
  virtual void SetUnitReadOnly(bool read_only) = 0;
  virtual void SetSensType(uint16_t sens_type) = 0;
  virtual void SetMinValue(double value) = 0;
  virtual void SetMaxValue(double value) = 0;
  virtual bool GetRangeReadOnly() const = 0;
  virtual void SetRangeReadOnly(bool read_only) = 0;
  virtual uint8_t GetDecimals() const = 0;
  virtual void SetDecimals(uint8_t decimals) = 0;
  virtual void SetAlarmMinValue(double value) = 0;
  virtual void SetAlarmMaxValue(double value) = 0;
  virtual void SetViewMinValue(double value) = 0;
  virtual void SetViewMaxValue(double value) = 0;
};

// Creates a channel editor with its frame in the parent control; empty until installed.
using TChanEditorCreator = std::function<std::unique_ptr<TChanEditor>(TWinControl* parent)>;
void SetChanEditorCreator(TChanEditorCreator creator);
const TChanEditorCreator& ChanEditorCreator();

}  // namespace qv
