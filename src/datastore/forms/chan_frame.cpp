#include "datastore/forms/chan_frame.h"

#include <cmath>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "base/utils.h"
#include "controls/sty_edit.h"
#include "controls/sty_spin_edit.h"
#include "datastore/dt_record.h"
#include "platform/gui/forms.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

constexpr int LimitValue = 50000;
constexpr int FrameWidth = 430;

TLabel* NewLabel(TWinControl* parent, const std::string& key, int left, int top) {
  auto* label = new TLabel(parent);
  label->SetParent(parent);
  label->SetText(LoadResString(key));
  label->SetLeft(left);
  label->SetTop(top);
  return label;
}

TStyEdit* NewEdit(TWinControl* parent, int max_length, int left, int top, int width) {
  auto* edit = new TStyEdit(parent);
  edit->SetParent(parent);
  edit->SetMaxLength(max_length);
  edit->SetBounds(left, top, width, 21);
  return edit;
}

// A titled box of two limit edits.
TBevel* NewGroup(TWinControl* parent, const std::string& key, int left, int top, int width, int height,
                 TLabel*& title) {
  auto* bevel = new TBevel(parent);
  bevel->SetParent(parent);
  bevel->SetShape(TBevelShape::bsFrame);
  bevel->SetBounds(left, top + 7, width, height - 7);
  title = NewLabel(parent, key, left + 8, top);
  return bevel;
}

}  // namespace

TChanFrame::TChanFrame(TComponent* owner) : TPanel(owner) {
  SetName("ChanFrame");
  SetBevelOuter(TPanelBevel::bvNone);
  SetBounds(0, 0, FrameWidth, 330);
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  TitleLbl = NewLabel(this, "chn_EditChannel", 8, 6);
  TitleLbl->Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
  NameBevel = new TBevel(this);
  NameBevel->SetParent(this);
  NameBevel->SetShape(TBevelShape::bsFrame);
  NameBevel->SetBounds(8, 26, FrameWidth - 16, 92);
  NameLbl = NewLabel(this, "chn_Name", 16, 38);
  NameEdit = NewEdit(this, 79, 110, 34, 300);
  SNameLbl = NewLabel(this, "chn_SName", 16, 64);
  SNameEdit = NewEdit(this, 20, 110, 60, 160);
  UnitLbl = NewLabel(this, "chn_Unit", 16, 90);
  UnitEdit = NewEdit(this, 20, 110, 86, 80);
  TypeLbl = NewLabel(this, "chn_SensType", 250, 90);

  ValGroupB = NewGroup(this, "chn_ValRange", 8, 126, FrameWidth - 16, 88, ValGroupLbl);
  MaxLbl = NewLabel(this, "chn_Max", 16, 150);
  MaxEdit = NewEdit(this, 30, 110, 146, 100);
  MinLbl = NewLabel(this, "chn_Min", 220, 150);
  MinEdit = NewEdit(this, 30, 310, 146, 100);
  DecLbl = NewLabel(this, "chn_Dec", 16, 182);
  DecSpinEd = new TStySpinEdit(this);
  DecSpinEd->SetParent(this);
  DecSpinEd->SetIntegersOnly(true);
  DecSpinEd->SetMin(0);
  DecSpinEd->SetMax(10);
  DecSpinEd->SetIntValue(1);
  DecSpinEd->SetBounds(110, 178, 60, 21);

  AlarmGroupB = NewGroup(this, "chn_AlLimits", 8, 222, FrameWidth - 16, 50, AlarmGroupLbl);
  AlarmMaxLbl = NewLabel(this, "chn_Max", 16, 246);
  AlarmMaxEd = NewEdit(this, 30, 110, 242, 100);
  AlarmMinLbl = NewLabel(this, "chn_Min", 220, 246);
  AlarmMinEd = NewEdit(this, 30, 310, 242, 100);

  ViewGroupB = NewGroup(this, "chn_ViewLimits", 8, 276, FrameWidth - 16, 50, ViewGroupLbl);
  ViewMaxLbl = NewLabel(this, "chn_Max", 16, 300);
  ViewMaxEd = NewEdit(this, 30, 110, 296, 100);
  ViewMinLbl = NewLabel(this, "chn_Min", 220, 300);
  ViewMinEd = NewEdit(this, 30, 310, 296, 100);
  SetHeight(334);
}

void TChanFrame::LayoutTypeLabel() {
  UnitEdit->SetLeft(UnitLbl->Left() + UnitLbl->Width() + 10);
  const int unit_right = UnitEdit->Left() + UnitEdit->Width();
  int left = NameBevel->Left() + NameBevel->Width() - TypeLbl->Width() - 20;
  if (left <= unit_right) left = unit_right + 10;
  TypeLbl->SetLeft(left);
}

// ---------------------------------------------------------------------------------------------

const TExplFrameClass* TChanFrameEditor::GetFrameClass() const {
  static const TExplFrameClass frame_class{"TChanFrame", [](TWinControl* parent) {
                                             auto frame = std::make_unique<TChanFrame>(nullptr);
                                             frame->SetParent(parent);
                                             return std::unique_ptr<TExplFrame>(std::move(frame));
                                           }};
  return &frame_class;
}

void TChanFrameEditor::CreateFrame(TWinControl* parent) {
  TChanEditor::CreateFrame(parent);
  TChanFrame* f = ChanFrame();
  if (!f) return;
  f->NameEdit->OnChange = [this](TComponent* sender) {
    EditChange(sender);
    if (ChanFrame()) DoNameChange(ChanFrame()->NameEdit->Text());
  };
  for (TEdit* edit :
       {static_cast<TEdit*>(f->SNameEdit), static_cast<TEdit*>(f->UnitEdit), static_cast<TEdit*>(f->MaxEdit),
        static_cast<TEdit*>(f->MinEdit), static_cast<TEdit*>(f->DecSpinEd), static_cast<TEdit*>(f->AlarmMaxEd),
        static_cast<TEdit*>(f->AlarmMinEd), static_cast<TEdit*>(f->ViewMaxEd), static_cast<TEdit*>(f->ViewMinEd)})
    edit->OnChange = [this](TComponent* sender) { EditChange(sender); };
  f->DecSpinEd->OnChange = [this](TComponent* sender) {
    if (!Updating()) decimals_from_spin_ = true;
    EditChange(sender);
  };
}

void TChanFrameEditor::SetEditText(TEdit* edit, const std::string& text) {
  if (edit->Text() == text) return;
  const bool was = Updating();
  SetUpdating(true);
  edit->SetText(text);
  SetUpdating(was);
}

void TChanFrameEditor::SetEditValue(TEdit* edit, double value) {
  SetEditText(edit, value == NoValue ? std::string() : FloatToStr(value));
}

std::string TChanFrameEditor::GetNameText() const { return ChanFrame() ? ChanFrame()->NameEdit->Text() : ""; }
void TChanFrameEditor::SetNameText(const std::string& text) {
  if (ChanFrame()) SetEditText(ChanFrame()->NameEdit, text);
}
std::string TChanFrameEditor::GetSNameText() const { return ChanFrame() ? ChanFrame()->SNameEdit->Text() : ""; }
void TChanFrameEditor::SetSNameText(const std::string& text) {
  if (ChanFrame()) SetEditText(ChanFrame()->SNameEdit, text);
}
std::string TChanFrameEditor::GetUnitText() const { return ChanFrame() ? ChanFrame()->UnitEdit->Text() : ""; }
void TChanFrameEditor::SetUnitText(const std::string& text) {
  if (!ChanFrame()) return;
  SetEditText(ChanFrame()->UnitEdit, text);
  ChanFrame()->LayoutTypeLabel();
}

bool TChanFrameEditor::GetUnitReadOnly() const { return ChanFrame() ? ChanFrame()->UnitEdit->ReadOnly() : true; }
void TChanFrameEditor::SetUnitReadOnly(bool read_only) {
  if (!ChanFrame()) return;
  ChanFrame()->UnitEdit->SetReadOnly(read_only);
  ChanFrame()->UnitEdit->SetEnabled(!read_only);
}

void TChanFrameEditor::SetSensType(uint16_t sens_type) {
  if (!ChanFrame()) return;
  const std::string text = LoadResString("chn_SensType") + " " + std::to_string(sens_type);
  if (ChanFrame()->TypeLbl->Text() != text) {
    const bool was = Updating();
    SetUpdating(true);
    ChanFrame()->TypeLbl->SetText(text);
    SetUpdating(was);
  }
  ChanFrame()->LayoutTypeLabel();
}

void TChanFrameEditor::SetMinValue(double value) {
  if (ChanFrame()) SetEditValue(ChanFrame()->MinEdit, value);
}
void TChanFrameEditor::SetMaxValue(double value) {
  if (ChanFrame()) SetEditValue(ChanFrame()->MaxEdit, value);
}

bool TChanFrameEditor::GetRangeReadOnly() const { return ChanFrame() ? ChanFrame()->MinEdit->ReadOnly() : true; }
void TChanFrameEditor::SetRangeReadOnly(bool read_only) {
  if (!ChanFrame()) return;
  for (TEdit* edit : {ChanFrame()->MinEdit, ChanFrame()->MaxEdit}) {
    edit->SetReadOnly(read_only);
    edit->SetEnabled(!read_only);
  }
}

uint8_t TChanFrameEditor::GetDecimals() const {
  if (!ChanFrame()) return 0;
  // The spin cannot show every stored count: untouched, it leaves the channel's own.
  if (!decimals_from_spin_) return decimals_shown_;
  const int32_t value = ChanFrame()->DecSpinEd->IntValue();
  return value >= 0 && value <= 255 ? static_cast<uint8_t>(value) : 0;
}

void TChanFrameEditor::SetDecimals(uint8_t decimals) {
  decimals_shown_ = decimals;
  decimals_from_spin_ = false;
  if (!ChanFrame() || ChanFrame()->DecSpinEd->IntValue() == decimals) return;
  const bool was = Updating();
  SetUpdating(true);
  ChanFrame()->DecSpinEd->SetIntValue(decimals);
  SetUpdating(was);
}

void TChanFrameEditor::SetAlarmMinValue(double value) {
  if (ChanFrame()) SetEditValue(ChanFrame()->AlarmMinEd, value);
}
void TChanFrameEditor::SetAlarmMaxValue(double value) {
  if (ChanFrame()) SetEditValue(ChanFrame()->AlarmMaxEd, value);
}
void TChanFrameEditor::SetViewMinValue(double value) {
  if (ChanFrame()) SetEditValue(ChanFrame()->ViewMinEd, value);
}
void TChanFrameEditor::SetViewMaxValue(double value) {
  if (ChanFrame()) SetEditValue(ChanFrame()->ViewMaxEd, value);
}

bool TChanFrameEditor::Refuse(TEdit* edit, const std::string& message) {
  MessageDlg(message, TMsgDlgType::mtError, mbOK);
  if (TForm* form = GetParentForm(edit))
    form->SetActiveControl(edit);
  else
    edit->SetFocus();
  edit->SelectAll();
  return false;
}

bool TChanFrameEditor::ReadValue(TEdit* edit, double& value) {
  const std::string text = Trim(edit->Text());
  try {
    value = StrToFloat2(text);
  } catch (const Exception&) {
    return Refuse(edit, Format(LoadResString("err_InvalidFloat"), edit->Text(), "\r\n", "130.6", "-1.245"));
  }
  // NaN fails both comparisons, so it is refused with the range.
  if (!(value >= -LimitValue && value <= LimitValue))
    return Refuse(edit, Format(LoadResString("err_InvalidRange"), edit->Text(), "-50000", "50000"));
  return true;
}

bool TChanFrameEditor::Validate() {
  TChanFrame* f = ChanFrame();
  if (!f) return true;
  double lo = 0, hi = 0;
  if (!GetRangeReadOnly()) {
    if (!ReadValue(f->MinEdit, lo) || !ReadValue(f->MaxEdit, hi)) return false;
    if (lo >= hi) return Refuse(f->MaxEdit, LoadResString("err_MaxLtMin"));
    ValMin = lo;
    ValMax = hi;
  }
  if (!ReadValue(f->AlarmMinEd, lo) || !ReadValue(f->AlarmMaxEd, hi)) return false;
  if (lo >= hi) return Refuse(f->AlarmMaxEd, LoadResString("err_MaxLtMin"));
  AlarmMin = lo;
  AlarmMax = hi;
  if (!ReadValue(f->ViewMinEd, lo) || !ReadValue(f->ViewMaxEd, hi)) return false;
  if (lo >= hi) return Refuse(f->ViewMaxEd, LoadResString("err_MaxLtMin"));
  ViewMin = lo;
  ViewMax = hi;
  return true;
}

void InstallChanEditor() {
  SetChanEditorCreator([](TWinControl* parent) -> std::unique_ptr<TChanEditor> {
    return TExplEditor::Create<TChanFrameEditor>(parent);
  });
}

}  // namespace qv
