#pragma once
// The editor of a logger module: identity and hardware lines, logging parameters, a preselected
// start, the local height and short name, the sensors of the slots with jumps to their editors.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "controls/sty_panel.h"
#include "controls/sty_radio_group.h"
#include "devices/forms/device_frame.h"
#include "devices/tv10_sub_mod_ed0.h"

namespace qv {

class TTv10ModFrame : public TExplFrame {
public:
  static constexpr int HelpContext = 3513;
  enum { kInfoSheet = 0, kLoggingSheet = 1, kPreSelectSheet = 2, kSensorSheet = 3 };

  explicit TTv10ModFrame(TWinControl* parent);
  ~TTv10ModFrame() override;
  TTv10ModFrame(const TTv10ModFrame&) = delete;
  TTv10ModFrame& operator=(const TTv10ModFrame&) = delete;

  // The info grid's cell of column col (0, 1) and row (0 to 3).
  TLabel* InfoCell(int col, int row) const { return InfoGrid[static_cast<size_t>(row * 2 + col)]; }

  TPanel* Panel = nullptr;
  TLabel* InvalidParMsgLbl = nullptr;
  std::unique_ptr<TEditorPages> PageControl;
  // Info sheet.
  TLabel *IdLbl = nullptr, *NameLbl = nullptr, *SNameLbl = nullptr, *TavraTypLbl = nullptr;
  TEdit *IdMaskEdit = nullptr, *LNameEdit = nullptr, *SNameEdit = nullptr;
  std::array<TLabel*, 8> InfoGrid{};
  TLabel* LocalHeightLabel = nullptr;
  TEdit* LocalHeightEd = nullptr;
  // Logging sheet.
  TLabel *SampleIntLbl = nullptr, *SaveIntLbl = nullptr, *LogTimeLbl = nullptr;
  TComboBox *SampleIntCombo = nullptr, *SaveIntCombo = nullptr;
  TStyRadioGroup* StorOrgRadioGr = nullptr;
  TStyGroupBox* StoringModeGroupB = nullptr;
  TCheckBox *StorMdAveCheckB = nullptr, *StorMdMinCheckB = nullptr, *StorMdMaxCheckB = nullptr;
  // Preselection sheet; the date and time are typed as "yyyy-mm-dd" and "hh:nn:ss".
  TCheckBox* PreSelEnabCheckB = nullptr;
  TLabel *PreSelDateLbl = nullptr, *PreSelTimeLbl = nullptr;
  TEdit *PreSelDatePck = nullptr, *PreSelTimePck = nullptr;
  // Sensor sheet.
  TLabel* SensPcbLbl = nullptr;
  std::array<TStyGroupBox*, 4> ChanGrBox{};
  std::array<TLabel*, 4> SensTypeLbl{};
  std::array<TButton*, 4> EditChanBtn{};
  TButton* ChangeSensBtn = nullptr;
};

class TTv10ModEditor : public TTv10ModEditor0 {
public:
  static const TExplFrameClass FrameClass;

  // Removes a pending button task.
  ~TTv10ModEditor() override;

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

  void SetLoggerId(int32_t id) override;
  void SetKind(uint8_t kind) override;
  void SetSerialNo(uint16_t serial) override;
  void SetMonthYear(uint16_t month_year) override;
  void SetProjectNo(uint16_t project) override;
  void SetPartList(uint8_t v) override;
  void SetCircuitDiagram(uint8_t v) override;
  void SetHwVersion(uint8_t v) override;
  void SetSwVersion(uint8_t v) override;
  void SetE2Version(uint8_t v) override;
  void SetParamsInvalid(bool invalid) override;
  void SetBoard(uint8_t board) override;
  void SetSlotType(int slot, uint8_t type) override;

  bool GetStorCircular() const override;
  void SetStorCircular(bool v) override;
  uint8_t GetStoringMode() const override;
  void SetStoringMode(uint8_t v) override;
  uint8_t GetSampleIntIdx() const override;
  void SetSampleIntIdx(uint8_t v) override;
  uint8_t GetSaveIntIdx() const override;
  void SetSaveIntIdx(uint8_t v) override;
  bool GetPreSelEnabled() const override;
  void SetPreSelEnabled(bool v) override;
  TDateTime GetPreSelDateTime() const override;
  void SetPreSelDateTime(TDateTime v) override;
  float GetLocalHeight() const override { return local_height_; }
  void SetLocalHeight(float v) override;
  bool ShowsLocalHeight() const override;

  // A storing-mode box was clicked: at least one kind of value stays stored.
  void StoringModeClick(TComponent* sender);
  // An interval was picked: the CO2 and whole-multiple rules, then the logging time.
  void IntervalChanged(TComponent* sender);
  // Buttons 0 to 3 jump to slots 1 to 4, button 4 changes the sensors; the action runs on the
  // next idle pass, since it frees this editor.
  void ButtonClick(int button);

  TTv10ModFrame* ModFrame() const { return static_cast<TTv10ModFrame*>(Frame()); }

private:
  void WithUpdating(const std::function<void()>& write);
  void ShowKind();
  void ShowBoard();
  void ShowSensors();
  void ShowInfoCells();
  void ShowLogTime();
  void Refuse(TEdit* edit, const std::string& message);
  bool ReadPreSelDateTime(TDateTime& value) const;

  int32_t logger_id_ = -1;
  uint8_t kind_ = 0;
  uint16_t serial_ = 0, month_year_ = 100, project_ = 9999;
  uint8_t part_list_ = 255, circuit_ = 255, hw_ = 255, sw_ = 255, e2_ = 255;
  bool params_invalid_ = false;
  uint8_t board_ = 0;
  std::array<uint8_t, 4> slot_types_{};
  float local_height_ = 0;
  int pending_button_ = -1;
  bool task_queued_ = false;
};

}  // namespace qv
