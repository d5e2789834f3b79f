#include "devices/forms/tv10_mod_editor.h"

#include <algorithm>
#include <cstdio>

#include "base/archive_hooks.h"
#include "base/idle_task_manager.h"
#include "base/res_string.h"
#include "base/utils.h"
#include "devices/tv10_sensor_info.h"
#include "platform/gui/forms.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format.h"
#include "platform/rtl/msg_dlg_types.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

constexpr uint8_t kCo2Sensor = 9;
constexpr int kLoggerMemoryValues = 60000;
constexpr int kFirstSaveIndex = 3;

TCheckBox* MakeCheckBox(TWinControl* parent, const std::string& key, int left, int top) {
  auto* box = new TCheckBox(parent);
  box->SetParent(parent);
  box->SetCaption(LoadResString(key));
  box->SetBounds(left, top, 200, 20);
  return box;
}

TComboBox* MakeCombo(TWinControl* parent, int left, int top) {
  auto* combo = new TComboBox(parent);
  combo->SetParent(parent);
  combo->SetStyle(TComboBoxStyle::csDropDownList);
  combo->SetBounds(left, top, 110, 22);
  return combo;
}

TStyGroupBox* MakeGroup(TWinControl* parent, const std::string& caption, int left, int top, int width, int height) {
  auto* group = new TStyGroupBox(parent);
  group->SetParent(parent);
  group->SetCaption(caption);
  group->SetBounds(left, top, width, height);
  return group;
}

std::string NibbleVersion(uint8_t v) { return Format(": %d.%d", v >> 4, v & 15); }

}  // namespace

TTv10ModFrame::TTv10ModFrame(TWinControl* parent) {
  Panel = new TPanel(parent);
  Panel->SetParent(parent);
  Panel->SetBevelOuter(TPanelBevel::bvNone);
  Panel->SetCaption("");
  Panel->SetBounds(0, 0, 500, 360);
  Panel->SetAlign(TAlign::alClient);
  Panel->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  InvalidParMsgLbl = MakeFrameLabel(Panel, "tk1_InvalidParMsg", 8, 6);
  InvalidParMsgLbl->SetWidth(480);
  InvalidParMsgLbl->SetVisible(false);
  PageControl = std::make_unique<TEditorPages>(Panel, 4, 26, 492, 330);

  TPanel* info = PageControl->AddSheet(LoadResString("tk1_InfoSheet"));
  IdLbl = MakeFrameLabel(info, "tk1_QvId", 10, 13);
  IdMaskEdit = MakeFrameEdit(info, 150, 10, 60, 5);
  IdMaskEdit->SetReadOnly(true);
  IdMaskEdit->SetEnabled(false);
  NameLbl = MakeFrameLabel(info, "dev_Name", 10, 43);
  LNameEdit = MakeFrameEdit(info, 150, 40, 320);
  SNameLbl = MakeFrameLabel(info, "dev_SName", 10, 73);
  SNameEdit = MakeFrameEdit(info, 150, 70, 120, 12);
  TavraTypLbl = MakeFrameLabel(info, "", 10, 104);
  TavraTypLbl->SetWidth(460);
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 2; ++col) {
      TLabel* cell = MakeFrameLabel(info, "", 10 + col * 235, 130 + row * 22);
      cell->SetWidth(230);
      InfoGrid[static_cast<size_t>(row * 2 + col)] = cell;
    }
  LocalHeightLabel = MakeFrameLabel(info, "tk1_LocalHeight", 10, 233);
  LocalHeightEd = MakeFrameEdit(info, 150, 230, 110, 30);

  TPanel* logging = PageControl->AddSheet(LoadResString("tk1_LoggingSheet"));
  SampleIntLbl = MakeFrameLabel(logging, "tk1_SampleInt", 10, 13);
  SampleIntCombo = MakeCombo(logging, 150, 10);
  SaveIntLbl = MakeFrameLabel(logging, "tk1_SaveInt", 10, 43);
  SaveIntCombo = MakeCombo(logging, 150, 40);
  StorOrgRadioGr = new TStyRadioGroup(logging);
  StorOrgRadioGr->SetParent(logging);
  StorOrgRadioGr->SetCaption(LoadResString("tk1_StorOrg"));
  StorOrgRadioGr->SetBounds(8, 74, 225, 64);
  StorOrgRadioGr->AddItem(LoadResString("tk1_StorOrgStartStop"));
  StorOrgRadioGr->AddItem(LoadResString("tk1_StorOrgCircular"));
  StoringModeGroupB = MakeGroup(logging, LoadResString("tk1_StoringMode"), 243, 74, 225, 84);
  StorMdAveCheckB = MakeCheckBox(StoringModeGroupB, "tk1_StorMdAve", 10, 18);
  StorMdMinCheckB = MakeCheckBox(StoringModeGroupB, "tk1_StorMdMin", 10, 38);
  StorMdMaxCheckB = MakeCheckBox(StoringModeGroupB, "tk1_StorMdMax", 10, 58);
  LogTimeLbl = MakeFrameLabel(logging, "tk1_LogTime", 10, 172);
  LogTimeLbl->SetWidth(460);

  TPanel* preselect = PageControl->AddSheet(LoadResString("t10_PreSelectSheet"));
  PreSelEnabCheckB = MakeCheckBox(preselect, "t10_PreSelEnabled", 10, 12);
  PreSelEnabCheckB->SetWidth(300);
  PreSelDateLbl = MakeFrameLabel(preselect, "t10_PreSelDate", 10, 47);
  PreSelDatePck = MakeFrameEdit(preselect, 150, 44, 100, 10);
  PreSelTimeLbl = MakeFrameLabel(preselect, "t10_PreSelTime", 10, 77);
  PreSelTimePck = MakeFrameEdit(preselect, 150, 74, 100, 8);

  TPanel* sensors = PageControl->AddSheet(LoadResString("t10_SensorSheet"));
  SensPcbLbl = MakeFrameLabel(sensors, "t10_SensorPcb", 10, 10);
  SensPcbLbl->SetWidth(460);
  for (size_t i = 0; i < 4; ++i) {
    const int top = 32 + static_cast<int>(i) * 56;
    ChanGrBox[i] = MakeGroup(sensors, LoadResString(std::string(Tv10ChanKeys[i])), 8, top, 468, 50);
    SensTypeLbl[i] = MakeFrameLabel(ChanGrBox[i], "t10_SensType", 10, 22);
    SensTypeLbl[i]->SetWidth(300);
    EditChanBtn[i] = new TButton(ChanGrBox[i]);
    EditChanBtn[i]->SetParent(ChanGrBox[i]);
    EditChanBtn[i]->SetCaption(LoadResString("t10_ChanProps"));
    EditChanBtn[i]->SetBounds(330, 17, 128, 25);
  }
  ChangeSensBtn = new TButton(sensors);
  ChangeSensBtn->SetParent(sensors);
  ChangeSensBtn->SetCaption(LoadResString("t10_ChngSensors"));
  ChangeSensBtn->SetBounds(8, 260, 180, 25);
}

// The element frees its editor, and with it the frame, before the explorer frees the parent.
TTv10ModFrame::~TTv10ModFrame() { delete Panel; }

const TExplFrameClass TTv10ModEditor::FrameClass{
    "TTv10ModFrame",
    [](TWinControl* parent) -> std::unique_ptr<TExplFrame> { return std::make_unique<TTv10ModFrame>(parent); }};

TTv10ModEditor::~TTv10ModEditor() {
  if (IdleTaskManager) IdleTaskManager->RemoveTask(this, nullptr);
}

void TTv10ModEditor::WithUpdating(const std::function<void()>& write) {
  const bool old = Updating();
  SetUpdating(true);
  write();
  SetUpdating(old);
}

void TTv10ModEditor::CreateFrame(TWinControl* parent) {
  TExplEditor::CreateFrame(parent);
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return;
  const auto change = [this](TComponent* sender) { EditChange(sender); };
  for (TEdit* edit :
       {frame->IdMaskEdit, frame->SNameEdit, frame->LocalHeightEd, frame->PreSelDatePck, frame->PreSelTimePck})
    edit->OnChange = change;
  frame->LNameEdit->OnChange = [this](TComponent* sender) { NameChanged(sender); };
  frame->StorOrgRadioGr->OnClick = change;
  frame->PreSelEnabCheckB->OnClick = change;
  for (TCheckBox* box : {frame->StorMdAveCheckB, frame->StorMdMinCheckB, frame->StorMdMaxCheckB})
    box->OnClick = [this](TComponent* sender) { StoringModeClick(sender); };
  for (TComboBox* combo : {frame->SampleIntCombo, frame->SaveIntCombo})
    combo->OnChange = [this](TComponent* sender) { IntervalChanged(sender); };
  for (int i = 0; i < 4; ++i)
    frame->EditChanBtn[static_cast<size_t>(i)]->OnClick = [this, i](TComponent*) { ButtonClick(i); };
  frame->ChangeSensBtn->OnClick = [this](TComponent*) { ButtonClick(4); };
  frame->IdLbl->SetAutoSize(true);
  frame->IdLbl->SetLeft(std::max(0, frame->IdMaskEdit->Left() - 5 - frame->IdLbl->Width()));
  for (int i = 0; i < Tv10IntervalCount; ++i) {
    frame->SampleIntCombo->Items().Add(std::string(Tv10RecIntNames[static_cast<size_t>(i)]));
    if (i >= kFirstSaveIndex) frame->SaveIntCombo->Items().Add(std::string(Tv10RecIntNames[static_cast<size_t>(i)]));
  }
  frame->SampleIntCombo->SyncItems();
  frame->SaveIntCombo->SyncItems();
  frame->PageControl->SetActivePage(TTv10ModFrame::kInfoSheet);
  WithUpdating([&] {
    frame->SampleIntCombo->SetItemIndex(0);
    frame->SaveIntCombo->SetItemIndex(0);
    SetStorCircular(true);
    SetStoringMode(1);
    SetPreSelEnabled(false);
    SetPreSelDateTime(EncodeDate(2000, 1, 1));
    frame->LocalHeightEd->SetText(FloatToStrF2(TFloatFormat::ffFixed, 15, 3, 0));
    ShowKind();
    ShowBoard();
    ShowInfoCells();
    ShowLogTime();
  });
}

bool TTv10ModEditor::GetIdReadOnly() const { return ModFrame() ? ModFrame()->IdMaskEdit->ReadOnly() : true; }

void TTv10ModEditor::SetIdReadOnly(bool read_only) {
  TTv10ModFrame* frame = ModFrame();
  if (!frame || frame->IdMaskEdit->ReadOnly() == read_only) return;
  frame->IdMaskEdit->SetReadOnly(read_only);
  frame->IdMaskEdit->SetEnabled(!read_only);
}

void TTv10ModEditor::SetId(int32_t id) {
  if (ModFrame()) SetEditorText(*this, ModFrame()->IdMaskEdit, id < 0 ? std::string() : Format("%.3d", id));
}

std::string TTv10ModEditor::GetNameText() const { return ModFrame() ? ModFrame()->LNameEdit->Text() : ""; }
std::string TTv10ModEditor::GetSNameText() const { return ModFrame() ? ModFrame()->SNameEdit->Text() : ""; }

void TTv10ModEditor::SetNameText(const std::string& text) {
  if (ModFrame()) SetEditorText(*this, ModFrame()->LNameEdit, text);
}

void TTv10ModEditor::SetSNameText(const std::string& text) {
  if (ModFrame()) SetEditorText(*this, ModFrame()->SNameEdit, text);
}

void TTv10ModEditor::NameChanged(void*) {
  DoModified();
  if (!Updating()) DoNameChange(GetNameText());
}

// --- display ---

void TTv10ModEditor::ShowInfoCells() {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return;
  frame->InfoCell(0, 0)->SetCaption(LoadResString("tk1_Id") + ": " +
                                    (logger_id_ > 0 ? std::to_string(logger_id_) : std::string("---")));
  frame->InfoCell(0, 1)->SetCaption(
      Format(LoadResString("tk1_MMYYNFormat"), month_year_ / 100, month_year_ % 100, static_cast<int>(serial_)));
  frame->InfoCell(1, 0)->SetCaption(LoadResString("tk1_ProjectNo") + Format(": %.4d", static_cast<int>(project_)));
  frame->InfoCell(1, 1)->SetCaption(LoadResString("tk1_HwVersion") + ": " + std::to_string(hw_));
  frame->InfoCell(0, 2)->SetCaption(LoadResString("tk1_SwVersion") + NibbleVersion(sw_));
  frame->InfoCell(1, 2)->SetCaption(LoadResString("tk1_E2Version") + NibbleVersion(e2_));
  frame->InfoCell(0, 3)->SetCaption(LoadResString("t10_PartList") + ": " + std::to_string(part_list_));
  frame->InfoCell(1, 3)->SetCaption(LoadResString("t10_CircDiag") + ": " + std::to_string(circuit_));
}

#define QV_SET_INFO(setter, type, field) \
  void TTv10ModEditor::setter(type v) {  \
    if (v == field) return;              \
    field = v;                           \
    ShowInfoCells();                     \
  }
QV_SET_INFO(SetLoggerId, int32_t, logger_id_)
QV_SET_INFO(SetSerialNo, uint16_t, serial_)
QV_SET_INFO(SetMonthYear, uint16_t, month_year_)
QV_SET_INFO(SetProjectNo, uint16_t, project_)
QV_SET_INFO(SetPartList, uint8_t, part_list_)
QV_SET_INFO(SetCircuitDiagram, uint8_t, circuit_)
QV_SET_INFO(SetHwVersion, uint8_t, hw_)
QV_SET_INFO(SetSwVersion, uint8_t, sw_)
#undef QV_SET_INFO

void TTv10ModEditor::SetE2Version(uint8_t v) {
  if (v == e2_) return;
  e2_ = v;
  ShowInfoCells();
  ShowSensors();
}

void TTv10ModEditor::SetKind(uint8_t kind) {
  if (kind == kind_) return;
  kind_ = kind;
  ShowKind();
}

void TTv10ModEditor::ShowKind() {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return;
  frame->TavraTypLbl->SetCaption(LoadResString("tk1_Type") + ": " +
                                 (kind_ == 0 ? std::string("---") : Tv10KindName(kind_)));
  const bool four_slots = kind_ != 5 && kind_ != 7;
  for (size_t i = 2; i < 4; ++i) frame->ChanGrBox[i]->SetVisible(four_slots);
  // The interface kind keeps only its recorder interval in the sample combo.
  const bool logger = kind_ != 7;
  for (TControl* c : std::initializer_list<TControl*>{
           frame->SNameEdit, frame->StorOrgRadioGr, frame->StoringModeGroupB, frame->StorMdAveCheckB,
           frame->StorMdMinCheckB, frame->StorMdMaxCheckB, frame->SaveIntCombo, frame->PreSelEnabCheckB,
           frame->PreSelDatePck, frame->PreSelTimePck, frame->ChangeSensBtn})
    c->SetEnabled(logger);
  for (TControl* c : std::initializer_list<TControl*>{frame->SaveIntCombo, frame->SaveIntLbl, frame->LogTimeLbl})
    c->SetVisible(logger);
  ShowBoard();
  ShowSensors();
}

void TTv10ModEditor::SetBoard(uint8_t board) {
  if (board == board_) return;
  board_ = board;
  ShowBoard();
  ShowSensors();
}

void TTv10ModEditor::ShowBoard() {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return;
  frame->SensPcbLbl->SetCaption(LoadResString("t10_SensorPcb") + ": " + SensorPcbName(board_));
  const bool height = ShowsLocalHeight();
  for (TControl* c : std::initializer_list<TControl*>{frame->LocalHeightEd, frame->LocalHeightLabel}) {
    c->SetVisible(height);
    c->SetEnabled(height);
  }
}

// Only the barometric and the CO2 board correct for the height.
bool TTv10ModEditor::ShowsLocalHeight() const { return (board_ == 12 || board_ == 13) && kind_ != 7; }

void TTv10ModEditor::SetSlotType(int slot, uint8_t type) {
  if (slot < 1 || slot > 4 || slot_types_[static_cast<size_t>(slot - 1)] == type) return;
  slot_types_[static_cast<size_t>(slot - 1)] = type;
  ShowSensors();
}

void TTv10ModEditor::ShowSensors() {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return;
  for (size_t i = 0; i < 4; ++i) {
    TTv10SensorInfo info;
    const bool found = slot_types_[i] != 0 && FindSensorInfo(board_, slot_types_[i], e2_, info);
    frame->SensTypeLbl[i]->SetCaption(LoadResString("t10_SensType") + ": " + (found ? info.Name : std::string("---")));
  }
}

void TTv10ModEditor::SetParamsInvalid(bool invalid) {
  if (invalid == params_invalid_) return;
  params_invalid_ = invalid;
  if (!ModFrame()) return;
  ModFrame()->InvalidParMsgLbl->SetVisible(invalid);
  ModFrame()->PageControl->SetEnabled(!invalid);
}

// --- values ---

bool TTv10ModEditor::GetStorCircular() const { return ModFrame() && ModFrame()->StorOrgRadioGr->ItemIndex() == 1; }

void TTv10ModEditor::SetStorCircular(bool v) {
  if (ModFrame()) WithUpdating([&] { ModFrame()->StorOrgRadioGr->SetItemIndex(v ? 1 : 0); });
}

uint8_t TTv10ModEditor::GetStoringMode() const {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return 1;
  return static_cast<uint8_t>((frame->StorMdAveCheckB->Checked() ? 1 : 0) |
                              (frame->StorMdMaxCheckB->Checked() ? 2 : 0) |
                              (frame->StorMdMinCheckB->Checked() ? 4 : 0));
}

void TTv10ModEditor::SetStoringMode(uint8_t v) {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return;
  WithUpdating([&] {
    frame->StorMdAveCheckB->SetChecked(v & 1);
    frame->StorMdMaxCheckB->SetChecked(v & 2);
    frame->StorMdMinCheckB->SetChecked(v & 4);
  });
  ShowLogTime();
}

uint8_t TTv10ModEditor::GetSampleIntIdx() const {
  if (!ModFrame()) return 0;
  const int index = ModFrame()->SampleIntCombo->ItemIndex();
  return index >= 0 && index < Tv10IntervalCount ? static_cast<uint8_t>(index) : 0;
}

void TTv10ModEditor::SetSampleIntIdx(uint8_t v) {
  if (!ModFrame()) return;
  WithUpdating([&] { ModFrame()->SampleIntCombo->SetItemIndex(v < Tv10IntervalCount ? v : 0); });
}

uint8_t TTv10ModEditor::GetSaveIntIdx() const {
  if (!ModFrame()) return kFirstSaveIndex;
  const int index = ModFrame()->SaveIntCombo->ItemIndex() + kFirstSaveIndex;
  return index >= kFirstSaveIndex && index < Tv10IntervalCount ? static_cast<uint8_t>(index) : kFirstSaveIndex;
}

void TTv10ModEditor::SetSaveIntIdx(uint8_t v) {
  if (!ModFrame()) return;
  const int index = v >= kFirstSaveIndex && v < Tv10IntervalCount ? v - kFirstSaveIndex : 0;
  WithUpdating([&] { ModFrame()->SaveIntCombo->SetItemIndex(index); });
  ShowLogTime();
}

bool TTv10ModEditor::GetPreSelEnabled() const { return ModFrame() && ModFrame()->PreSelEnabCheckB->Checked(); }

void TTv10ModEditor::SetPreSelEnabled(bool v) {
  if (ModFrame()) WithUpdating([&] { ModFrame()->PreSelEnabCheckB->SetChecked(v); });
}

bool TTv10ModEditor::ReadPreSelDateTime(TDateTime& value) const {
  const TTv10ModFrame* frame = ModFrame();
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  TDateTime date = 0, time = 0;
  if (std::sscanf(Trim(frame->PreSelDatePck->Text()).c_str(), "%d-%d-%d", &y, &mo, &d) != 3 ||
      std::sscanf(Trim(frame->PreSelTimePck->Text()).c_str(), "%d:%d:%d", &h, &mi, &s) != 3 ||
      !TryEncodeDate(y, mo, d, date) || !TryEncodeTime(h, mi, s, 0, time))
    return false;
  value = date + time;
  return true;
}

TDateTime TTv10ModEditor::GetPreSelDateTime() const {
  TDateTime value = EncodeDate(2000, 1, 1);
  if (ModFrame()) ReadPreSelDateTime(value);
  return value;
}

void TTv10ModEditor::SetPreSelDateTime(TDateTime v) {
  if (!ModFrame()) return;
  SetEditorText(*this, ModFrame()->PreSelDatePck, FormatDateTime("yyyy-mm-dd", v));
  SetEditorText(*this, ModFrame()->PreSelTimePck, FormatDateTime("hh:nn:ss", v));
}

void TTv10ModEditor::SetLocalHeight(float v) {
  local_height_ = v;
  if (ModFrame()) SetEditorText(*this, ModFrame()->LocalHeightEd, FloatToStrF2(TFloatFormat::ffFixed, 15, 3, v));
}

// --- behaviour ---

void TTv10ModEditor::ShowLogTime() {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return;
  const uint8_t mode = GetStoringMode();
  const int kinds = (mode & 1) + ((mode >> 1) & 1) + ((mode >> 2) & 1);
  // A stored mode without any value kind (a damaged block) has no logging time.
  if (kinds == 0) {
    frame->LogTimeLbl->SetCaption(LoadResString("tk1_LogTime") + ": ---");
    return;
  }
  const int64_t hours = int64_t{Tv10SaveIntervals[GetSaveIntIdx()]} * kLoggerMemoryValues / 60 / kinds;
  frame->LogTimeLbl->SetCaption(LoadResString("tk1_LogTime") + ": " + std::to_string(hours / 24) + " " +
                                LoadResString("tk1_LogTimeTage") + " / " + std::to_string(hours % 24) + " " +
                                LoadResString("tk1_LogTimeStd"));
}

void TTv10ModEditor::StoringModeClick(TComponent* sender) {
  TTv10ModFrame* frame = ModFrame();
  if (!frame || Updating()) return;
  if (GetStoringMode() == 0)
    WithUpdating([&] {
      (sender == frame->StorMdAveCheckB ? frame->StorMdMaxCheckB : frame->StorMdAveCheckB)->SetChecked(true);
    });
  ShowLogTime();
  EditChange(sender);
}

void TTv10ModEditor::IntervalChanged(TComponent* sender) {
  TTv10ModFrame* frame = ModFrame();
  if (!frame || Updating()) return;
  if ((slot_types_[0] == kCo2Sensor || slot_types_[1] == kCo2Sensor) && GetSampleIntIdx() < kFirstSaveIndex) {
    MessageDlg(Format(LoadResString("err_InvalidRange"), LoadResString("tk1_SampleInt"), "1min", "24h"),
               TMsgDlgType::mtError, mbOK);
    SetSampleIntIdx(kFirstSaveIndex);
  }
  const uint8_t sample = GetSampleIntIdx();
  const uint32_t save_seconds = uint32_t{Tv10SaveIntervals[GetSaveIntIdx()]} * 60;
  if (save_seconds % Tv10SampleIntervals[sample] != 0) SetSaveIntIdx(sample);
  ShowLogTime();
  EditChange(sender);
}

void TTv10ModEditor::ButtonClick(int button) {
  pending_button_ = button;
  if (!IdleTaskManager) return;
  IdleTaskManager->AddTask(this, nullptr, [this](TIdleTaskManager*, TTimer2*, bool& done) {
    done = true;
    const int pending = pending_button_;
    pending_button_ = -1;
    // The event may free this editor: nothing of it is touched afterwards.
    if (pending >= 0 && pending < 4) {
      if (const auto& jump = OnJumpSlot[static_cast<size_t>(pending)]) jump(this);
    } else if (pending == 4 && OnChangeSensors) {
      OnChangeSensors(this);
    }
  });
}

void TTv10ModEditor::Refuse(TEdit* edit, const std::string& message) {
  MessageDlg(message, TMsgDlgType::mtError, mbOK);
  TTv10ModFrame* frame = ModFrame();
  frame->PageControl->SetActivePage(frame->PageControl->PageOf(edit));
  edit->SetFocus();
  edit->SelectAll();
}

bool TTv10ModEditor::Validate() {
  TTv10ModFrame* frame = ModFrame();
  if (!frame) return true;
  if (!GetIdReadOnly() && !ValidateIdEdit(*this, frame->IdMaskEdit)) return false;
  if (params_invalid_) return true;
  const std::string text = Trim(frame->LocalHeightEd->Text());
  double height = 0;
  try {
    height = StrToFloat2(text);
  } catch (const std::exception&) {
    Refuse(frame->LocalHeightEd,
           Format(LoadResString("err_InvalidFloat"), text, "\n", FloatToStr(130.6), FloatToStr(-1.245)));
    return false;
  }
  if (!(height >= -100 && height <= 2000)) {
    Refuse(frame->LocalHeightEd, Format(LoadResString("err_InvalidRange"), text, FloatToStr(-100), FloatToStr(2000)));
    return false;
  }
  TDateTime start = 0;
  const bool start_read = ReadPreSelDateTime(start);
  if (GetPreSelEnabled() && !start_read) {
    Refuse(frame->PreSelDatePck, LoadResString("err_InvalidInput"));
    return false;
  }
  SetLocalHeight(static_cast<float>(height));
  if (!GetPreSelEnabled() || start < Now()) {
    SetPreSelEnabled(false);
    WithUpdating([&] { SetPreSelDateTime(EncodeDate(2000, 1, 1)); });
  }
  return true;
}

}  // namespace qv
