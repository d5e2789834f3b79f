#include "devices/forms/tv10_sub_mod_ed.h"

#include <cmath>

#include "base/archive_hooks.h"
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
constexpr uint8_t kInterfaceBoard = 14;
constexpr int kValueLength = 30;

TStyGroupBox* MakeGroup(TWinControl* parent, const std::string& key, int left, int top, int width, int height) {
  auto* group = new TStyGroupBox(parent);
  group->SetParent(parent);
  group->SetCaption(LoadResString(key));
  group->SetBounds(left, top, width, height);
  return group;
}

// A label, its value edit and the unit label after it.
TEdit* MakeValueRow(TWinControl* parent, const std::string& key, int top, TLabel*& label, TLabel*& unit) {
  label = MakeFrameLabel(parent, key, 10, top + 3);
  TEdit* edit = MakeFrameEdit(parent, 150, top, 110, kValueLength);
  unit = MakeFrameLabel(parent, "", 266, top + 3);
  unit->SetWidth(60);
  return edit;
}

}  // namespace

TTv10SubModFr::TTv10SubModFr(TWinControl* parent) {
  Panel = new TPanel(parent);
  Panel->SetParent(parent);
  Panel->SetBevelOuter(TPanelBevel::bvNone);
  Panel->SetCaption("");
  Panel->SetBounds(0, 0, 480, 330);
  Panel->SetAlign(TAlign::alClient);
  Panel->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  InvalidParMsgLbl = MakeFrameLabel(Panel, "tk1_InvalidParMsg", 8, 6);
  InvalidParMsgLbl->SetWidth(460);
  InvalidParMsgLbl->SetVisible(false);
  PageControl = std::make_unique<TEditorPages>(Panel, 4, 26, 472, 300);

  TPanel* info = PageControl->AddSheet(LoadResString("tk1_InfoSheet"));
  IdLbl = MakeFrameLabel(info, "tk1_QvId", 10, 13);
  IdMaskEdit = MakeFrameEdit(info, 150, 10, 60, 5);
  IdMaskEdit->SetReadOnly(true);
  IdMaskEdit->SetEnabled(false);
  NameLbl = MakeFrameLabel(info, "dev_Name", 10, 43);
  LNameEdit = MakeFrameEdit(info, 150, 40, 300, 79);
  SNameLbl = MakeFrameLabel(info, "dev_SName", 10, 73);
  SNameEdit = MakeFrameEdit(info, 150, 70, 120, 12);
  SensTypeLbl = MakeFrameLabel(info, "t10_SensType", 10, 106);
  SensPcbLbl = MakeFrameLabel(info, "t10_SensorPcb", 10, 128);
  ModChanNumLbl = MakeFrameLabel(info, "t10_ModChanNum", 10, 150);
  for (TLabel* line : {SensTypeLbl, SensPcbLbl, ModChanNumLbl}) line->SetWidth(440);
  OffsetEdit = MakeValueRow(info, "t10_Offset", 178, OffsetLbl, UnitLbl6);

  TPanel* alarm = PageControl->AddSheet(LoadResString("t10_AlarmSheet"));
  AlarmAtRadioGr = new TStyRadioGroup(alarm);
  AlarmAtRadioGr->SetParent(alarm);
  AlarmAtRadioGr->SetCaption(LoadResString("tk1_AlarmAt"));
  AlarmAtRadioGr->SetBounds(8, 8, 440, 64);
  AlarmAtRadioGr->AddItem(LoadResString("tk1_AlAtStoring"));
  AlarmAtRadioGr->AddItem(LoadResString("tk1_AlAtSample"));
  AlarmGroupB = MakeGroup(alarm, "tk1_AlLimits", 8, 80, 440, 84);
  AlarmMaxEd = MakeValueRow(AlarmGroupB, "chn_Max", 22, AlarmMaxLbl, UnitLbl1);
  AlarmMinEd = MakeValueRow(AlarmGroupB, "chn_Min", 52, AlarmMinLbl, UnitLbl2);
  AlarmHystEdit = MakeValueRow(alarm, "tk1_AlarmHyst", 176, AlarmHystLbl, UnitLbl3);
  AlarmHystLbl->SetLeft(18);
  AlarmHystEdit->SetLeft(158);
  UnitLbl3->SetLeft(274);

  TPanel* display = PageControl->AddSheet(LoadResString("t10_DisplaySheet"));
  DecimalsLbl = MakeFrameLabel(display, "chn_Dec", 10, 13);
  DecimalsSpEd = new TStySpinEdit(display);
  DecimalsSpEd->SetParent(display);
  DecimalsSpEd->SetMin(0);
  DecimalsSpEd->SetMax(3);
  DecimalsSpEd->SetBounds(150, 10, 60, 22);
  ViewGroupB = MakeGroup(display, "chn_ViewLimits", 8, 44, 440, 84);
  ViewMaxEd = MakeValueRow(ViewGroupB, "chn_Max", 22, ViewMaxLbl, UnitLbl4);
  ViewMinEd = MakeValueRow(ViewGroupB, "chn_Min", 52, ViewMinLbl, UnitLbl5);
}

// The element frees its editor, and with it the frame, before the explorer frees the parent.
TTv10SubModFr::~TTv10SubModFr() { delete Panel; }

const TExplFrameClass TTv10SubModEd::FrameClass{
    "TTv10SubModFr",
    [](TWinControl* parent) -> std::unique_ptr<TExplFrame> { return std::make_unique<TTv10SubModFr>(parent); }};

void TTv10SubModEd::CreateFrame(TWinControl* parent) {
  TExplEditor::CreateFrame(parent);
  TTv10SubModFr* frame = SubModFrame();
  if (!frame) return;
  const auto change = [this](TComponent* sender) { EditChange(sender); };
  for (TEdit* edit : {frame->IdMaskEdit, frame->SNameEdit, frame->OffsetEdit, frame->AlarmMaxEd, frame->AlarmMinEd,
                      frame->AlarmHystEdit, frame->ViewMaxEd, frame->ViewMinEd})
    edit->OnChange = change;
  frame->AlarmAtRadioGr->OnClick = change;
  frame->DecimalsSpEd->OnChange = [this](TComponent* sender) {
    if (!Updating()) decimals_edited_ = true;
    EditChange(sender);
  };
  frame->LNameEdit->OnChange = [this](TComponent* sender) { NameChanged(sender); };
  // The label sits left of the id edit, 5 pixels away, and the spin edit 10 pixels right of its label.
  frame->IdLbl->SetAutoSize(true);
  frame->IdLbl->SetLeft(std::max(0, frame->IdMaskEdit->Left() - 5 - frame->IdLbl->Width()));
  frame->DecimalsLbl->SetAutoSize(true);
  frame->DecimalsSpEd->SetLeft(frame->DecimalsLbl->Left() + frame->DecimalsLbl->Width() + 10);
  frame->PageControl->SetActivePage(TTv10SubModFr::kInfoSheet);

  offset_shown_.edit = frame->OffsetEdit;
  alarm_min_shown_.edit = frame->AlarmMinEd;
  alarm_max_shown_.edit = frame->AlarmMaxEd;
  hyst_shown_.edit = frame->AlarmHystEdit;
  view_min_shown_.edit = frame->ViewMinEd;
  view_max_shown_.edit = frame->ViewMaxEd;
  const bool old = Updating();
  SetUpdating(true);
  ShowBoard();
  ShowSlot();
  // General format until the decimals are known.
  for (auto* shown : {&view_min_shown_, &alarm_min_shown_, &hyst_shown_, &offset_shown_}) ShowValue(*shown, 0, -1);
  for (auto* shown : {&view_max_shown_, &alarm_max_shown_}) ShowValue(*shown, 100, -1);
  SetUpdating(old);
}

void TTv10SubModEd::ShowValue(TShown& shown, double value, int decimals) {
  if (!shown.edit) return;
  shown.text = decimals < 0 ? FloatToStrF2(TFloatFormat::ffGeneral, 15, 0, value)
                            : FloatToStrF2(TFloatFormat::ffFixed, 15, decimals, value);
  SetEditorText(*this, shown.edit, shown.text);
}

bool TTv10SubModEd::GetIdReadOnly() const { return SubModFrame() ? SubModFrame()->IdMaskEdit->ReadOnly() : true; }

// A slot's id comes from its logger and is never edited.
void TTv10SubModEd::SetIdReadOnly(bool) {}

void TTv10SubModEd::SetId(int32_t id) {
  if (!SubModFrame()) return;
  SetEditorText(*this, SubModFrame()->IdMaskEdit, id < 0 ? std::string() : Format("%.3d", id));
}

std::string TTv10SubModEd::GetNameText() const { return SubModFrame() ? SubModFrame()->LNameEdit->Text() : ""; }
std::string TTv10SubModEd::GetSNameText() const { return SubModFrame() ? SubModFrame()->SNameEdit->Text() : ""; }

void TTv10SubModEd::SetNameText(const std::string& text) {
  if (SubModFrame()) SetEditorText(*this, SubModFrame()->LNameEdit, text);
}

void TTv10SubModEd::SetSNameText(const std::string& text) {
  if (SubModFrame()) SetEditorText(*this, SubModFrame()->SNameEdit, text);
}

void TTv10SubModEd::NameChanged(void*) {
  DoModified();
  if (!Updating()) DoNameChange(GetNameText());
}

void TTv10SubModEd::SetParamsInvalid(bool invalid) {
  if (invalid == params_invalid_) return;
  params_invalid_ = invalid;
  if (!SubModFrame()) return;
  SubModFrame()->InvalidParMsgLbl->SetVisible(invalid);
  SubModFrame()->PageControl->SetEnabled(!invalid);
}

void TTv10SubModEd::SetBoard(uint8_t board) {
  if (board == board_) return;
  board_ = board;
  ShowBoard();
  ShowSlot();
}

void TTv10SubModEd::SetSensorType(uint8_t type) {
  if (type == sensor_type_) return;
  sensor_type_ = type;
  ShowSensor();
  ShowUnits();
}

void TTv10SubModEd::SetE2Version(uint8_t version) {
  if (version == e2_version_) return;
  e2_version_ = version;
  ShowSensor();
}

void TTv10SubModEd::SetModChanNum(int32_t slot) {
  if (slot == slot_) return;
  slot_ = slot;
  ShowSlot();
}

void TTv10SubModEd::ShowBoard() {
  TTv10SubModFr* frame = SubModFrame();
  if (!frame) return;
  frame->SensPcbLbl->SetCaption(LoadResString("t10_SensorPcb") + ": " + SensorPcbName(board_));
  // The interface board's slots take their names and display settings from the logger.
  const bool own_display = board_ != kInterfaceBoard;
  for (TControl* c :
       std::initializer_list<TControl*>{frame->LNameEdit, frame->DecimalsSpEd, frame->ViewMinEd, frame->ViewMaxEd})
    c->SetEnabled(own_display);
  ShowSensor();
}

void TTv10SubModEd::ShowSensor() {
  TTv10SubModFr* frame = SubModFrame();
  if (!frame) return;
  TTv10SensorInfo info;
  if (sensor_type_ != 0 && FindSensorInfo(board_, sensor_type_, e2_version_, info)) {
    frame->SensTypeLbl->SetCaption(LoadResString("t10_SensType") + ": " + info.Name);
    frame->OffsetLbl->SetCaption(LoadResString("t10_Offset"));
  } else {
    frame->SensTypeLbl->SetCaption(LoadResString("t10_SensType") + ": ---");
  }
}

void TTv10SubModEd::ShowSlot() {
  TTv10SubModFr* frame = SubModFrame();
  if (!frame) return;
  const bool assigned = slot_ > 0;
  frame->ModChanNumLbl->SetCaption(LoadResString("t10_ModChanNum") + ": " +
                                   (assigned ? std::to_string(slot_) : std::string("---")));
  // Only a slot that is assigned to a logger input has logger parameters; the interface board
  // keeps them in the logger.
  const bool params = assigned && board_ != kInterfaceBoard;
  for (TControl* c : std::initializer_list<TControl*>{frame->OffsetEdit, frame->AlarmAtRadioGr, frame->AlarmMinEd,
                                                      frame->AlarmMaxEd, frame->AlarmHystEdit})
    c->SetEnabled(params);
  frame->SNameEdit->SetEnabled(assigned);
}

void TTv10SubModEd::ShowUnits() {
  TTv10SubModFr* frame = SubModFrame();
  if (!frame) return;
  for (TLabel* label : {frame->UnitLbl1, frame->UnitLbl2, frame->UnitLbl3, frame->UnitLbl4, frame->UnitLbl5})
    label->SetCaption(unit_);
  frame->UnitLbl6->SetCaption(sensor_type_ == kCo2Sensor ? std::string("ppm") : unit_);
}

void TTv10SubModEd::SetUnit(const std::string& unit) {
  unit_ = unit;
  ShowUnits();
}

std::string TTv10SubModEd::GetUnitText() const { return SubModFrame() ? SubModFrame()->UnitLbl1->Caption() : ""; }

void TTv10SubModEd::SetOffset(float offset) {
  offset_ = offset;
  ShowValue(offset_shown_, offset, 1);
}

void TTv10SubModEd::SetAlarmAt(int index) {
  if (!SubModFrame() || SubModFrame()->AlarmAtRadioGr->ItemIndex() == index) return;
  const bool old = Updating();
  SetUpdating(true);
  SubModFrame()->AlarmAtRadioGr->SetItemIndex(index);
  SetUpdating(old);
}

int TTv10SubModEd::GetAlarmAt() const { return SubModFrame() ? SubModFrame()->AlarmAtRadioGr->ItemIndex() : 0; }

void TTv10SubModEd::SetAlarmMin(double v) {
  alarm_min_ = v;
  ShowValue(alarm_min_shown_, v, GetDecimals());
}

void TTv10SubModEd::SetAlarmMax(double v) {
  alarm_max_ = v;
  ShowValue(alarm_max_shown_, v, GetDecimals());
}

void TTv10SubModEd::SetAlarmHyst(double v) {
  alarm_hyst_ = v;
  ShowValue(hyst_shown_, v, GetDecimals());
}

void TTv10SubModEd::SetViewMin(double v) {
  view_min_ = v;
  ShowValue(view_min_shown_, v, GetDecimals());
}

void TTv10SubModEd::SetViewMax(double v) {
  view_max_ = v;
  ShowValue(view_max_shown_, v, GetDecimals());
}

void TTv10SubModEd::ShowLimits() {
  const int decimals = GetDecimals();
  ShowValue(alarm_min_shown_, alarm_min_, decimals);
  ShowValue(alarm_max_shown_, alarm_max_, decimals);
  ShowValue(hyst_shown_, alarm_hyst_, decimals);
  ShowValue(view_min_shown_, view_min_, decimals);
  ShowValue(view_max_shown_, view_max_, decimals);
}

void TTv10SubModEd::SetDecimals(int decimals) {
  TTv10SubModFr* frame = SubModFrame();
  if (!frame || frame->DecimalsSpEd->IntValue() == decimals) return;
  const bool old = Updating();
  SetUpdating(true);
  frame->DecimalsSpEd->SetIntValue(decimals);
  // Values shown before the decimals were known are shown again with them.
  ShowLimits();
  SetUpdating(old);
}

int TTv10SubModEd::GetDecimals() const {
  if (!SubModFrame()) return 0;
  const int32_t value = SubModFrame()->DecimalsSpEd->IntValue();
  return value >= 0 && value <= 255 ? value : 0;
}

void TTv10SubModEd::Refuse(TEdit* edit, const std::string& message) {
  MessageDlg(message, TMsgDlgType::mtError, mbOK);
  TTv10SubModFr* frame = SubModFrame();
  frame->PageControl->SetActivePage(frame->PageControl->PageOf(edit));
  edit->SetFocus();
  edit->SelectAll();
}

bool TTv10SubModEd::ReadValue(const TShown& shown, double kept, double lo, double hi, double& value) {
  const std::string text = Trim(shown.edit->Text());
  if (text == Trim(shown.text)) {
    value = kept;
  } else {
    try {
      value = StrToFloat2(text);
    } catch (const std::exception&) {
      Refuse(shown.edit, Format(LoadResString("err_InvalidFloat"), text, "\n", FloatToStr(130.6), FloatToStr(-1.245)));
      return false;
    }
  }
  if (!(value >= lo && value <= hi)) {
    Refuse(shown.edit, Format(LoadResString("err_InvalidRange"), text, FloatToStr(lo), FloatToStr(hi)));
    return false;
  }
  return true;
}

bool TTv10SubModEd::Validate() {
  TTv10SubModFr* frame = SubModFrame();
  if (!frame) return true;
  if (!GetIdReadOnly() && !ValidateIdEdit(*this, frame->IdMaskEdit)) return false;
  if (params_invalid_) return true;

  const double offset_limit = sensor_type_ == kCo2Sensor ? 2000 : 20;
  double offset = offset_;
  const std::string offset_text = Trim(frame->OffsetEdit->Text());
  if (offset_text != Trim(offset_shown_.text)) {
    double typed = 0;
    try {
      typed = StrToFloat2(offset_text);
    } catch (const std::exception&) {
      Refuse(frame->OffsetEdit,
             Format(LoadResString("err_InvalidFloat"), offset_text, "\n", FloatToStr(130.6), FloatToStr(-1.245)));
      return false;
    }
    // An offset typed as shown keeps the exact value behind the one shown decimal.
    if (std::fabs(typed - StrToFloat2(offset_shown_.text)) > 0.000001) {
      if (!ReadValue(offset_shown_, offset_, -offset_limit, offset_limit, offset)) return false;
    }
  }
  double view_min = 0, view_max = 0, alarm_min = 0, alarm_max = 0, hyst = 0;
  if (!ReadValue(view_min_shown_, view_min_, -50000, 50000, view_min) ||
      !ReadValue(view_max_shown_, view_max_, -50000, 50000, view_max))
    return false;
  if (!(view_min < view_max)) {
    Refuse(frame->ViewMinEd, LoadResString("err_MaxLtMin"));
    return false;
  }
  if (!ReadValue(alarm_min_shown_, alarm_min_, -50000, 50000, alarm_min) ||
      !ReadValue(alarm_max_shown_, alarm_max_, -50000, 50000, alarm_max))
    return false;
  if (!(alarm_min < alarm_max)) {
    Refuse(frame->AlarmMinEd, LoadResString("err_MaxLtMin"));
    return false;
  }
  if (!ReadValue(hyst_shown_, alarm_hyst_, 0, 40, hyst)) return false;
  offset_ = static_cast<float>(offset);
  view_min_ = view_min;
  view_max_ = view_max;
  alarm_min_ = alarm_min;
  alarm_max_ = alarm_max;
  alarm_hyst_ = hyst;
  return true;
}

}  // namespace qv
