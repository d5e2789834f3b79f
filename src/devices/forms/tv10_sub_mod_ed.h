#pragma once
// The editor of a sensor slot: sensor, board and slot number, the short name, the offset and
// alarm settings that go to the logger, and the display settings of the program.
#include <cstdint>
#include <string>

#include "controls/sty_panel.h"
#include "controls/sty_radio_group.h"
#include "controls/sty_spin_edit.h"
#include "devices/forms/device_frame.h"
#include "devices/tv10_sub_mod_ed0.h"

namespace qv {

class TTv10SubModFr : public TExplFrame {
public:
  static constexpr int HelpContext = 3514;
  enum { kInfoSheet = 0, kAlarmSheet = 1, kDisplaySheet = 2 };

  explicit TTv10SubModFr(TWinControl* parent);
  ~TTv10SubModFr() override;
  TTv10SubModFr(const TTv10SubModFr&) = delete;
  TTv10SubModFr& operator=(const TTv10SubModFr&) = delete;

  TPanel* Panel = nullptr;
  TLabel* InvalidParMsgLbl = nullptr;
  std::unique_ptr<TEditorPages> PageControl;
  // Info sheet.
  TLabel *IdLbl = nullptr, *NameLbl = nullptr, *SNameLbl = nullptr;
  TEdit *IdMaskEdit = nullptr, *LNameEdit = nullptr, *SNameEdit = nullptr;
  TLabel *SensTypeLbl = nullptr, *SensPcbLbl = nullptr, *ModChanNumLbl = nullptr;
  TLabel *OffsetLbl = nullptr, *UnitLbl6 = nullptr;
  TEdit* OffsetEdit = nullptr;
  // Alarm sheet.
  TStyRadioGroup* AlarmAtRadioGr = nullptr;
  TStyGroupBox* AlarmGroupB = nullptr;
  TLabel *AlarmMaxLbl = nullptr, *AlarmMinLbl = nullptr, *AlarmHystLbl = nullptr;
  TEdit *AlarmMaxEd = nullptr, *AlarmMinEd = nullptr, *AlarmHystEdit = nullptr;
  TLabel *UnitLbl1 = nullptr, *UnitLbl2 = nullptr, *UnitLbl3 = nullptr;
  // Display sheet.
  TLabel* DecimalsLbl = nullptr;
  TStySpinEdit* DecimalsSpEd = nullptr;
  TStyGroupBox* ViewGroupB = nullptr;
  TLabel *ViewMaxLbl = nullptr, *ViewMinLbl = nullptr;
  TEdit *ViewMaxEd = nullptr, *ViewMinEd = nullptr;
  TLabel *UnitLbl4 = nullptr, *UnitLbl5 = nullptr;
};

class TTv10SubModEd : public TTv10SubModEd0 {
public:
  static const TExplFrameClass FrameClass;

  const TExplFrameClass* GetFrameClass() const override { return &FrameClass; }
  void CreateFrame(TWinControl* parent) override;
  bool Validate() override;

  void SetId(int32_t id) override;
  bool GetIdReadOnly() const override;
  void SetIdReadOnly(bool read_only) override;
  std::string GetNameText() const override;
  void SetNameText(const std::string& text) override;
  std::string GetSNameText() const override;
  void SetSNameText(const std::string& text) override;
  void NameChanged(void* sender);

  void SetParamsInvalid(bool invalid) override;
  void SetBoard(uint8_t board) override;
  void SetSensorType(uint8_t type) override;
  void SetE2Version(uint8_t version) override;
  void SetModChanNum(int32_t slot) override;
  void SetOffset(float offset) override;
  void SetAlarmAt(int index) override;
  void SetAlarmMin(double v) override;
  void SetAlarmMax(double v) override;
  void SetAlarmHyst(double v) override;
  void SetDecimals(int decimals) override;
  void SetViewMin(double v) override;
  void SetViewMax(double v) override;
  void SetUnit(const std::string& unit) override;

  float GetOffset() const override { return offset_; }
  int GetAlarmAt() const override;
  double GetAlarmMin() const override { return alarm_min_; }
  double GetAlarmMax() const override { return alarm_max_; }
  double GetAlarmHyst() const override { return alarm_hyst_; }
  int GetDecimals() const override;
  bool DecimalsEdited() const override { return decimals_edited_; }
  double GetViewMin() const override { return view_min_; }
  double GetViewMax() const override { return view_max_; }
  std::string GetUnitText() const;

  TTv10SubModFr* SubModFrame() const { return static_cast<TTv10SubModFr*>(Frame()); }

private:
  // A value edit and the text last shown in it: an untouched edit keeps its exact value, so
  // rounding to the shown decimals never changes a value the user did not edit.
  struct TShown {
    TEdit* edit = nullptr;
    std::string text;
  };
  void ShowValue(TShown& shown, double value, int decimals);
  // The value of an edit on its sheet within lo..hi; false after the error dialog.
  bool ReadValue(const TShown& shown, double kept, double lo, double hi, double& value);
  void Refuse(TEdit* edit, const std::string& message);
  void ShowBoard();
  void ShowSensor();
  void ShowSlot();
  void ShowUnits();
  void ShowLimits();

  double alarm_min_ = 0, alarm_max_ = 100, alarm_hyst_ = 0, view_min_ = 0, view_max_ = 100;
  float offset_ = 0;
  uint8_t board_ = 0, sensor_type_ = 0, e2_version_ = 0;
  int32_t slot_ = -1;
  bool params_invalid_ = false;
  bool decimals_edited_ = false;
  std::string unit_;
  TShown offset_shown_, alarm_min_shown_, alarm_max_shown_, hyst_shown_, view_min_shown_, view_max_shown_;
};

}  // namespace qv
