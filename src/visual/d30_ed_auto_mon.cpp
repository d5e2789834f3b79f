#include "visual/d30_ed_auto_mon.h"

#include <memory>

#include "base/archive_hooks.h"
#include "base/res_string.h"

namespace qv {

namespace {
constexpr int kMargin = 12, kRow = 26;

TCheckBox* NewCheck(TForm* form, const std::string& key, int top) {
  auto* c = new TCheckBox(form);
  c->SetParent(form);
  c->SetText(LoadResString(key));
  c->SetBounds(kMargin, top, 300, 20);
  return c;
}

TStySpinEdit* NewSpin(TForm* form, TLabel*& label, const std::string& key, int max, int top) {
  label = new TLabel(form);
  label->SetParent(form);
  label->SetCaption(LoadResString(key));
  label->SetBounds(kMargin, top + 3, 220, 18);
  auto* e = new TStySpinEdit(form);
  e->SetParent(form);
  e->SetIntegersOnly(true);
  e->SetMin(1);
  e->SetMax(max);
  e->SetCheckRange(true);
  e->SetBounds(kMargin + 230, top, 70, 22);
  return e;
}
}  // namespace

TD30_EdAutoMon::TD30_EdAutoMon(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d30_Caption"));
  SetBounds(0, 0, 2 * kMargin + 310, 9 * kRow + 3 * kMargin + 30);
  int top = kMargin;
  EnabledRB = new TStyRadioButton(this);
  EnabledRB->SetParent(this);
  EnabledRB->SetText(LoadResString("d30_Enabled"));
  EnabledRB->SetBounds(kMargin, top, 150, 20);
  DisabledRB = new TStyRadioButton(this);
  DisabledRB->SetParent(this);
  DisabledRB->SetText(LoadResString("d30_Disabled"));
  DisabledRB->SetBounds(kMargin + 160, top, 150, 20);
  top += kRow + 6;
  CurvesEdit = NewSpin(this, CurvesLabel, "d30_CurvesPerDiag", 12, top);
  top += kRow;
  DiagramsEdit = NewSpin(this, DiagramsLabel, "d30_DiagPerMon", 9, top);
  top += kRow + 6;
  Use2YAxCB = NewCheck(this, "d30_Use2YAx", top);
  top += kRow;
  SepTableMonCB = NewCheck(this, "d30_SepTableMon", top);
  top += kRow + 6;
  SaveAsDefaultCB = NewCheck(this, "d30_SaveAsDefault", top);
  top += kRow;
  ApplyToAllCB = NewCheck(this, "d30_ApplyToAll", top);
  top += kRow + kMargin;
  OKBtn = new TButton(this);
  OKBtn->SetParent(this);
  OKBtn->SetText(LoadResString("b_&OK"));
  OKBtn->SetModalResult(mrOk);
  OKBtn->SetDefault(true);
  OKBtn->SetEnabled(false);
  OKBtn->SetBounds(kMargin, top, 90, 26);
  CancelBtn = new TButton(this);
  CancelBtn->SetParent(this);
  CancelBtn->SetText(LoadResString("b_&Cancel"));
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);
  CancelBtn->SetBounds(kMargin + 100, top, 90, 26);
  for (TStyRadioButton* rb : {EnabledRB, DisabledRB}) rb->OnClick = [this](TComponent*) { Changed(); };
  for (TStySpinEdit* e : {CurvesEdit, DiagramsEdit}) e->OnChange = [this](TComponent*) { Changed(); };
  for (TCheckBox* c : {Use2YAxCB, SepTableMonCB, SaveAsDefaultCB, ApplyToAllCB})
    c->OnClick = [this](TComponent*) { Changed(); };
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
}

void TD30_EdAutoMon::Changed() {
  if (setting_) return;
  NoteUserActivity();
  UpdateEnabling();
  OKBtn->SetEnabled(true);
}

void TD30_EdAutoMon::UpdateEnabling() {
  const bool on = EnabledRB->Checked();
  for (TControl* c :
       std::initializer_list<TControl*>{CurvesEdit, CurvesLabel, DiagramsEdit, DiagramsLabel, Use2YAxCB, SepTableMonCB})
    c->SetEnabled(on);
}

void TD30_EdAutoMon::SetValues(const TAutoMonSettings& values) {
  setting_ = true;
  EnabledRB->SetChecked(values.Enabled);
  DisabledRB->SetChecked(!values.Enabled);
  CurvesEdit->SetValue(values.CurvesPerDiag);
  DiagramsEdit->SetValue(values.DiagPerMon);
  Use2YAxCB->SetChecked(values.Use2YAx);
  SepTableMonCB->SetChecked(values.SepTableMon);
  SaveAsDefaultCB->SetChecked(false);
  ApplyToAllCB->SetChecked(false);
  UpdateEnabling();
  OKBtn->SetEnabled(false);
  setting_ = false;
}

void TD30_EdAutoMon::GetValues(TAutoMonSettings& values, bool& save_as_default, bool& apply_to_all) const {
  if (DisabledRB->Checked()) {
    values.Enabled = false;
    return;
  }
  values.Enabled = true;
  values.CurvesPerDiag = CurvesEdit->IntValue();
  values.DiagPerMon = DiagramsEdit->IntValue();
  values.Use2YAx = Use2YAxCB->Checked();
  values.SepTableMon = SepTableMonCB->Checked();
  save_as_default = SaveAsDefaultCB->Checked();
  apply_to_all = ApplyToAllCB->Checked();
}

bool RunEdAutoMonDlg(TAutoMonSettings& values, bool& save_as_default, bool& apply_to_all) {
  auto dialog = std::make_unique<TD30_EdAutoMon>(Application);
  dialog->SetValues(values);
  if (dialog->ShowModal() != mrOk) return false;
  dialog->GetValues(values, save_as_default, apply_to_all);
  return true;
}

}  // namespace qv
