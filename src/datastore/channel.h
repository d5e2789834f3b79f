#pragma once
// A channel: the description of one column of measured values (key, names, unit, value range,
// view and alarm limits, decimals, text widths, sensor type, description, measurement and
// calculation type), and its record in a channel block.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/utils.h"
#include "datastore/expl_element.h"

namespace qv {

class TStream;
class TChanEditor;

QV_DECLARE_EXCEPTION(EChannelError, Exception2);
QV_DECLARE_EXCEPTION(EChanVersionError, EChannelError);
QV_DECLARE_EXCEPTION(EChanLoadError, EChannelError);
QV_DECLARE_EXCEPTION(EChanSaveError, EChannelError);

// Flag bits of a channel.
constexpr uint16_t chfExponential = 0x0004;   // value width computed in exponential notation
constexpr uint16_t chfVersioned = 0x0008;     // record carries version, description and types
constexpr uint16_t chfSystemValue = 0x0080;   // value channel created by the system
constexpr uint16_t chfUnitLqm = 0x0100;       // old record: unit was "l/qm"
constexpr uint16_t chfUnitDegree = 0x0200;    // old record: unit was "°"
constexpr uint16_t chfUnitWqm = 0x0400;       // old record: unit was "W/qm"
constexpr uint16_t chfUnitSpeed = 0x0800;     // old record: unit was "m/s" or "km/h"
constexpr uint16_t chfViewLimits = 0x1000;    // record carries the view limits
constexpr uint16_t chfOldCalc = 0x2000;       // old record: selects the calculation type
constexpr uint16_t chfUnitsCurrent = 0x8000;  // unit bits current; also announces view limits

constexpr uint8_t ChannelVersion = 150;
constexpr size_t ChanNameLen = 79;
constexpr size_t ChanSNameLen = 20;
constexpr size_t ChanUnitLen = 20;
constexpr size_t ChanDescriptionLen = 255;

// Sender is the channel, or the channel list when a channel was added.
using TChangeEvent = std::function<void(void* sender)>;
// Pixel width of a text in the font of a canvas or device context.
using TTextWidthFunc = std::function<int(const std::string& text)>;

class TChannel : public TExplElement {
public:
  explicit TChannel(uint8_t key);
  static std::unique_ptr<TChannel> CreateWith(uint8_t key, uint16_t flags, uint8_t decimals, double factor,
                                              double alarm_max, double alarm_min, double val_max, double val_min,
                                              const std::string& unit, const std::string& sname,
                                              const std::string& name);
  static std::unique_ptr<TChannel> CreateWithType(uint8_t key, uint16_t flags, uint16_t sens_type, uint8_t decimals,
                                                  double factor, double alarm_max, double alarm_min, double val_max,
                                                  double val_min, const std::string& unit, const std::string& sname,
                                                  const std::string& name);

  // Explorer element.
  void FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) override;
  std::string GetOutlineText(const std::string& name) const override;
  bool ApplyChanges() override;
  void CancelChanges() override;
  void CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) override;
  bool AcceptEditor() override;

  virtual void Changed();
  virtual void CalcWidths();
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  virtual std::unique_ptr<TChannel> Clone() const;
  virtual std::string ValueToStr(double value) const;
  virtual double StrToValue(const std::string& text) const;
  virtual std::string ValueToColStr(double value) const;
  // Append the value's column text (at most 20 characters) to buffer, or replace buffer by it.
  virtual std::string& StrCatValue(std::string& buffer, double value) const;
  virtual std::string& StrPValue(std::string& buffer, double value) const;
  // Pixel widths, measured in the font of the canvas or device context that measure belongs to.
  virtual int ValueWidth(const TTextWidthFunc& measure) const;
  int SNameWidth(const TTextWidthFunc& measure) const;
  int ColWidth(const TTextWidthFunc& measure) const;

  bool OutsideAlarm(double value) const { return value < alarm_min_ || value > alarm_max_; }

  void SetName(const std::string& text);
  void SetSName(const std::string& text);
  void SetUnit(const std::string& text);
  void SetMin(double x);
  void SetMax(double x);
  void SetDecimals(uint8_t n);
  void SetViewMin(double x);
  void SetViewMax(double x);
  void SetAlarmMin(double x);
  void SetAlarmMax(double x);
  void SetMeasType(uint8_t t);
  void SetCalcType(uint8_t t);

  uint16_t Flags() const { return flags_; }
  double Factor() const { return factor_; }
  const std::string& Description() const { return description_; }
  uint8_t Key() const { return key_; }
  uint8_t Version() const { return version_; }
  const std::string& Name() const { return name_; }
  const std::string& SName() const { return sname_; }
  const std::string& Unit() const { return unit_; }
  double ValMin() const { return val_min_; }
  double ValMax() const { return val_max_; }
  uint8_t Decimals() const { return decimals_; }
  double ViewMin() const { return view_min_; }
  double ViewMax() const { return view_max_; }
  double AlarmMin() const { return alarm_min_; }
  double AlarmMax() const { return alarm_max_; }
  uint8_t MeasType() const { return meas_type_; }
  uint8_t CalcType() const { return calc_type_; }
  uint16_t SensType() const { return sens_type_; }
  uint8_t ValueChars() const { return value_chars_; }
  uint8_t ColumnChars() const { return column_chars_; }

  // Fields set by their owners without a change notification.
  void SetFlags(uint16_t flags) { flags_ = flags; }
  void SetFactor(double factor) { factor_ = factor; }
  void SetDescription(const std::string& text);
  void SetSensType(uint16_t sens_type) { sens_type_ = sens_type; }
  void SetOwnerCallback(TChangeEvent callback) { owner_callback_ = std::move(callback); }

  // Edit copies: the explorer edits only these; ApplyChanges commits, CancelChanges resets.
  const std::string& NameEdit() const { return name_edit_; }
  const std::string& SNameEdit() const { return sname_edit_; }
  const std::string& UnitEdit() const { return unit_edit_; }
  double ValMinEdit() const { return val_min_edit_; }
  double ValMaxEdit() const { return val_max_edit_; }
  uint8_t DecimalsEdit() const { return decimals_edit_; }
  double ViewMinEdit() const { return view_min_edit_; }
  double ViewMaxEdit() const { return view_max_edit_; }
  double AlarmMinEdit() const { return alarm_min_edit_; }
  double AlarmMaxEdit() const { return alarm_max_edit_; }
  void SetNameEdit(const std::string& text);
  void SetSNameEdit(const std::string& text);
  void SetUnitEdit(const std::string& text);
  void SetValMinEdit(double x) { val_min_edit_ = x; }
  void SetValMaxEdit(double x) { val_max_edit_ = x; }
  void SetDecimalsEdit(uint8_t n) { decimals_edit_ = n; }
  void SetViewMinEdit(double x) { view_min_edit_ = x; }
  void SetViewMaxEdit(double x) { view_max_edit_ = x; }
  void SetAlarmMinEdit(double x) { alarm_min_edit_ = x; }
  void SetAlarmMaxEdit(double x) { alarm_max_edit_ = x; }

protected:
  struct Bare {};
  // A channel with every field empty; the creating function fills it.
  TChannel(Bare, uint8_t key);
  // The common part of the CreateWith functions (without CalcWidths).
  void InitWith(uint16_t flags, uint16_t sens_type, uint8_t decimals, double factor, double alarm_max, double alarm_min,
                double val_max, double val_min, const std::string& unit, const std::string& sname,
                const std::string& name);
  void ResetEditCopies();
  // The channel record itself, shared by the pseudo-channels.
  void ReadRecord(TStream& stream);
  void WriteRecord(TStream& stream);
  void SetWidths(uint8_t value_chars, uint8_t column_chars) {
    value_chars_ = value_chars;
    column_chars_ = column_chars;
  }
  // Runs a read or a write of the record, giving stream failures the channel's errors.
  static void GuardRead(const std::function<void()>& read);
  static void GuardWrite(const std::function<void()>& write);
  // Text of a value in exponential form with the width Decimals + 9.
  std::string ExponentialText(double value) const;

  uint16_t flags_ = 0;
  double factor_ = 0;
  std::string description_;
  TChangeEvent owner_callback_;
  uint8_t key_ = 0;
  uint8_t version_ = ChannelVersion;
  std::string name_, name_edit_;
  std::string sname_, sname_edit_;
  std::string unit_, unit_edit_;
  double val_min_ = 0, val_min_edit_ = 0;
  double val_max_ = 0, val_max_edit_ = 0;
  uint8_t decimals_ = 0, decimals_edit_ = 0;
  double view_min_ = 0, view_min_edit_ = 0;
  double view_max_ = 0, view_max_edit_ = 0;
  double alarm_min_ = 0, alarm_min_edit_ = 0;
  double alarm_max_ = 0, alarm_max_edit_ = 0;
  uint8_t meas_type_ = 1;
  uint8_t calc_type_ = 0;
  uint16_t sens_type_ = 0;
  uint8_t value_chars_ = 0;
  uint8_t column_chars_ = 0;
};

// A text cut so that its Windows-1252 image has at most max_len bytes.
std::string CutChanText(const std::string& text, size_t max_len);
// Six-byte values of the channel record: clamped to NoValue .. MaxValue (NaN as MaxValue) when
// written; the images of the two bounds read as the bounds.
void PutChanValue(std::string& out, double x);
double GetChanValue(const uint8_t* p);

}  // namespace qv
