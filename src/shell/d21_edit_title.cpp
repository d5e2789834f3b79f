#include "shell/d21_edit_title.h"

#include <algorithm>
#include <memory>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

TD21_EditTitle* D21_EditTitle = nullptr;

namespace {
constexpr int Margin = 10;
constexpr int EditWidth = 200;
constexpr int RowHeight = 24;
}  // namespace

TD21_EditTitle::TD21_EditTitle(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d21_Caption"));
  NoteActivityOnMouse(this);

  StandRadio = new TStyRadioButton(this);
  StandRadio->SetParent(this);
  StandRadio->SetText(LoadResString("d21_StandTitle"));
  StandRadio->OnClick = [this](TComponent*) {
    if (setting_) return;
    NoteUserActivity();
    MakeOKDefault();
  };
  CustomRadio = new TStyRadioButton(this);
  CustomRadio->SetParent(this);
  CustomRadio->SetText(LoadResString("d21_CustomTitle"));
  CustomRadio->OnClick = [this](TComponent*) {
    if (!setting_) NoteUserActivity();
  };
  StandTitleEdit = new TEdit(this);
  StandTitleEdit->SetParent(this);
  StandTitleEdit->SetReadOnly(true);
  CustomTitleEdit = new TEdit(this);
  CustomTitleEdit->SetParent(this);
  CustomTitleEdit->SetMaxLength(30);
  CustomTitleEdit->OnChange = [this](TComponent*) {
    if (setting_) return;
    NoteUserActivity();
    setting_ = true;
    CustomRadio->SetChecked(true);
    setting_ = false;
    MakeOKDefault();
  };
  for (TControl* c : std::initializer_list<TControl*>{StandRadio, CustomRadio, StandTitleEdit, CustomTitleEdit})
    NoteActivityOnMouse(c);

  OKBtn = MakeDlgButton(this, "b_&OK", mrNone);
  OKBtn->OnClick = [this](TComponent*) { OKClick(); };
  CancelBtn = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  // Help has no help file to open on this platform yet; the button stays hidden until it has.
  HelpBtn = MakeDlgButton(this, "b_&Help", mrNone);
  HelpBtn->SetVisible(false);

  OnShow = [this](TComponent*) { ArrangeControls(); };
  InitialState();
}

void TD21_EditTitle::InitialState() {
  OKBtn->SetEnabled(true);
  CancelBtn->SetEnabled(true);
  OKBtn->SetDefault(false);
  CancelBtn->SetDefault(true);
  setting_ = true;
  if (CustomTitleEdit->Text().empty())
    StandRadio->SetChecked(true);
  else
    CustomRadio->SetChecked(true);
  setting_ = false;
}

void TD21_EditTitle::MakeOKDefault() {
  CancelBtn->SetDefault(false);
  OKBtn->SetDefault(true);
}

void TD21_EditTitle::SetStandardTitle(const std::string& title) {
  setting_ = true;
  StandTitleEdit->SetText(title);
  setting_ = false;
  InitialState();
}

void TD21_EditTitle::SetCustomTitle(const std::string& title) {
  setting_ = true;
  CustomTitleEdit->SetText(title.substr(0, 30));
  setting_ = false;
  InitialState();
}

std::string TD21_EditTitle::Result() const { return CustomRadio->Checked() ? CustomTitleEdit->Text() : ""; }

void TD21_EditTitle::OKClick() {
  NoteUserActivity();
  if (CustomRadio->Checked() && CustomTitleEdit->Text().empty()) {
    MessageDlg(LoadResString("d21_EmptyTitle"), TMsgDlgType::mtError, mbOK);
    InitialState();
    CustomTitleEdit->SetFocus();
    CustomTitleEdit->SelectAll();
    return;
  }
  SetModalResult(mrOk);
}

void TD21_EditTitle::ArrangeControls() {
  const int radio_width =
      std::max(DlgTextWidth(StandRadio, StandRadio->Text()), DlgTextWidth(CustomRadio, CustomRadio->Text())) + 20;
  const int edit_left = Margin + radio_width + 35;
  StandRadio->SetBounds(Margin, Margin, radio_width, 21);
  CustomRadio->SetBounds(Margin, Margin + RowHeight + 4, radio_width, 21);
  StandTitleEdit->SetBounds(edit_left, Margin, EditWidth, 21);
  CustomTitleEdit->SetBounds(edit_left, Margin + RowHeight + 4, EditWidth, 21);
  const int buttons_top = CustomTitleEdit->Top() + CustomTitleEdit->Height() + 15;
  int width = std::max(edit_left + EditWidth + 15, DlgTextWidth(this, Text()) + 40);
  width = std::max(width, Margin + 3 * (DlgButtonWidth + DlgButtonGap));
  PlaceDlgButtons(width - Margin - 2 * DlgButtonWidth - DlgButtonGap, buttons_top, {OKBtn, CancelBtn, HelpBtn});
  SetBounds(Left(), Top(), width, buttons_top + DlgButtonHeight + Margin);
}

int StartD21EditTitle(const std::string& caption, const std::string& standard_title, std::string& custom_title) {
  if (D21_EditTitle) throw Exception("Error in StartD21EditTitle: only !one! instance permitted");
  auto dialog = std::make_unique<TD21_EditTitle>(Application);
  D21_EditTitle = dialog.get();
  struct ClearGlobal {
    ~ClearGlobal() { D21_EditTitle = nullptr; }
  } clear_global;
  if (!caption.empty()) dialog->SetText(caption);
  dialog->SetStandardTitle(standard_title);
  dialog->SetCustomTitle(custom_title);
  const int result = dialog->ShowModal();
  if (result == mrOk) custom_title = dialog->Result();
  return result;
}

}  // namespace qv
