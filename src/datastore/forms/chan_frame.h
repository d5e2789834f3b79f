#pragma once
// The channel's property frame and the editor that shows a channel's edit copies on it and checks
// what the user typed before the channel takes it.
#include <memory>
#include <string>

#include "datastore/chan_editor.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TStyEdit;
class TStySpinEdit;

class TChanFrame : public TPanel, public TExplFrame {
public:
  explicit TChanFrame(TComponent* owner);
  std::string ClassName() const override { return "TChanFrame"; }

  TLabel* TitleLbl;
  TBevel* NameBevel;  // the frame around the name fields
  TLabel* NameLbl;
  TStyEdit* NameEdit;
  TLabel* SNameLbl;
  TStyEdit* SNameEdit;
  TLabel* UnitLbl;
  TStyEdit* UnitEdit;
  TLabel* TypeLbl;
  TBevel* ValGroupB;
  TLabel* ValGroupLbl;
  TLabel* MaxLbl;
  TStyEdit* MaxEdit;
  TLabel* MinLbl;
  TStyEdit* MinEdit;
  TLabel* DecLbl;
  TStySpinEdit* DecSpinEd;
  TBevel* AlarmGroupB;
  TLabel* AlarmGroupLbl;
  TLabel* AlarmMaxLbl;
  TStyEdit* AlarmMaxEd;
  TLabel* AlarmMinLbl;
  TStyEdit* AlarmMinEd;
  TBevel* ViewGroupB;
  TLabel* ViewGroupLbl;
  TLabel* ViewMaxLbl;
  TStyEdit* ViewMaxEd;
  TLabel* ViewMinLbl;
  TStyEdit* ViewMinEd;

  // Places the unit edit after its label and the type label at the right of the name fields.
  void LayoutTypeLabel();
};

class TChanFrameEditor : public TChanEditor {
public:
  const TExplFrameClass* GetFrameClass() const override;
  void CreateFrame(TWinControl* parent) override;
  bool Validate() override;

  TChanFrame* ChanFrame() const { return static_cast<TChanFrame*>(Frame()); }

  std::string GetNameText() const override;
  void SetNameText(const std::string& text) override;
  std::string GetSNameText() const override;
  void SetSNameText(const std::string& text) override;
  std::string GetUnitText() const override;
  void SetUnitText(const std::string& text) override;
  bool GetUnitReadOnly() const override;
  void SetUnitReadOnly(bool read_only) override;
  void SetSensType(uint16_t sens_type) override;
  void SetMinValue(double value) override;
  void SetMaxValue(double value) override;
  bool GetRangeReadOnly() const override;
  void SetRangeReadOnly(bool read_only) override;
  uint8_t GetDecimals() const override;
  void SetDecimals(uint8_t decimals) override;
  void SetAlarmMinValue(double value) override;
  void SetAlarmMaxValue(double value) override;
  void SetViewMinValue(double value) override;
  void SetViewMaxValue(double value) override;

private:
  void SetEditText(TEdit* edit, const std::string& text);
  void SetEditValue(TEdit* edit, double value);
  // Reads a limit; false after showing the refusal, with the edit focused and selected.
  bool ReadValue(TEdit* edit, double& value);
  bool Refuse(TEdit* edit, const std::string& message);

  // The count the channel gave; the spin's value counts only once the user has changed it.
  uint8_t decimals_shown_ = 0;
  bool decimals_from_spin_ = true;
};

// Makes channels create the frame editor.
void InstallChanEditor();

}  // namespace qv
