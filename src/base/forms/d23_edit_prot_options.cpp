#include "base/forms/d23_edit_prot_options.h"

#include <algorithm>
#include <memory>

#include "base/res_string.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/graphics.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/format.h"

namespace qv {

namespace {

constexpr int MinSizeKb = 10;
constexpr int MaxSizeKb = 9999;
constexpr int Margin = 10;
constexpr int RowHeight = 24;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

}  // namespace

TD23_EditProtOptions::TD23_EditProtOptions(TComponent* owner) : TMultilingualForm2(owner) {
  SetName("D23_EditProtOptions");
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  Keys().Caption(this, "d23_EditProtOptions");

  auto check_box = [this](const char* name, const char* key) {
    auto* box = new TCheckBox(this);
    box->SetName(name);
    box->SetParent(this);
    Keys().Caption(box, key);
    return box;
  };
  ProtAutoModeOnlyCheckBox = check_box("ProtAutoModeOnlyCheckBox", "d23_AutoModeOnly");
  ProtShortCheckBox = check_box("ProtShortCheckBox", "d23_ProtShort");
  AutoLogFileCheckBox = check_box("AutoLogFileCheckBox", "d23_AutoLogFile");

  ProtMaxSizeLbl = new TLabel(this);
  ProtMaxSizeLbl->SetName("ProtMaxSizeLbl");
  ProtMaxSizeLbl->SetParent(this);
  Keys().Caption(ProtMaxSizeLbl, "d23_ProtMaxSize");
  ProtMaxSizeEdit = new TStySpinEdit(this);
  ProtMaxSizeEdit->SetName("ProtMaxSizeEdit");
  ProtMaxSizeEdit->SetParent(this);
  ProtMaxSizeEdit->SetIntegersOnly(true);
  ProtMaxSizeEdit->SetMax(10000);
  ProtMaxSizeEdit->SetAllowKeyEdit(true);
  SizeLbl = new TLabel(this);
  SizeLbl->SetName("SizeLbl");
  SizeLbl->SetParent(this);
  Keys().Caption(SizeLbl, "kByte ");

  auto button = [this](const char* name, const char* key, int result) {
    auto* b = new TButton(this);
    b->SetName(name);
    b->SetParent(this);
    b->SetModalResult(result);
    Keys().Caption(b, key);
    return b;
  };
  OKBtn = button("OKBtn", "b_&OK", mrNone);
  CancelBtn = button("CancelBtn", "b_&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  HelpBtn = button("HelpBtn", "b_&Help", mrNone);

  OKBtn->OnClick = [this](TComponent*) {
    if (CheckOk()) SetModalResult(mrOk);
  };
  ProtAutoModeOnlyCheckBox->OnClick = [this](TComponent*) { UserChange(); };
  AutoLogFileCheckBox->OnClick = [this](TComponent*) { UserChange(); };
  ProtMaxSizeEdit->OnChange = [this](TComponent*) { UserChange(); };
  OnShow = [this](TComponent*) { ArrangeControls(); };

  ArrangeControls();
  UpdateControls();
}

bool TD23_EditProtOptions::AutoModeOnly() const { return ProtAutoModeOnlyCheckBox->Checked(); }
bool TD23_EditProtOptions::ProtShort() const { return ProtShortCheckBox->Checked(); }
bool TD23_EditProtOptions::AutoLogFile() const { return AutoLogFileCheckBox->Checked(); }

void TD23_EditProtOptions::SetAutoModeOnly(bool v) {
  ProtAutoModeOnlyCheckBox->SetChecked(v);
  UpdateControls();
}

void TD23_EditProtOptions::SetProtShort(bool v) {
  ProtShortCheckBox->SetChecked(v);
  UpdateControls();
}

void TD23_EditProtOptions::SetAutoLogFile(bool v) {
  AutoLogFileCheckBox->SetChecked(v);
  UpdateControls();
}

int32_t TD23_EditProtOptions::MaxSizeBytes() const { return ProtMaxSizeEdit->IntValue() * 1024; }

void TD23_EditProtOptions::SetMaxSizeBytes(int32_t bytes) {
  const int32_t kb = bytes / 1024;
  if (ProtMaxSizeEdit->IntValue() != kb) ProtMaxSizeEdit->SetIntValue(kb);
  UpdateControls();
}

void TD23_EditProtOptions::UpdateControls() {
  OKBtn->SetEnabled(true);
  CancelBtn->SetEnabled(true);
  CancelBtn->SetDefault(true);
  OKBtn->SetDefault(false);
  ProtMaxSizeEdit->SetEnabled(AutoLogFileCheckBox->Checked());
}

void TD23_EditProtOptions::UserChange() {
  UpdateControls();
  CancelBtn->SetDefault(false);
  OKBtn->SetDefault(true);
}

bool TD23_EditProtOptions::CheckOk() {
  if (!ProtMaxSizeEdit->Enabled()) return true;
  const int32_t kb = ProtMaxSizeEdit->IntValue();
  if (kb >= MinSizeKb && kb <= MaxSizeKb) return true;
  MessageDlg(Format(LoadResString("err_InvalidRange"), std::to_string(kb), std::to_string(MinSizeKb),
                    std::to_string(MaxSizeKb)),
             TMsgDlgType::mtError, mbOK);
  OKBtn->SetEnabled(false);
  UpdateControls();
  SetActiveControl(ProtMaxSizeEdit);
  return false;
}

void TD23_EditProtOptions::ArrangeControls() {
  TCanvas& canvas = ScreenCanvas();
  canvas.Font().Assign(ProtAutoModeOnlyCheckBox->Font());
  int widest = 0;
  int top = Margin;
  for (TCheckBox* box : {ProtAutoModeOnlyCheckBox, ProtShortCheckBox, AutoLogFileCheckBox}) {
    const int width = canvas.TextWidth(box->Text()) + 20;
    box->SetBounds(Margin, top, width, 17);
    widest = std::max(widest, Margin + width);
    top += RowHeight;
  }
  ProtMaxSizeLbl->SetBounds(Margin + 18, top + 3, canvas.TextWidth(ProtMaxSizeLbl->Text()), 13);
  ProtMaxSizeEdit->SetBounds(ProtMaxSizeLbl->Left() + ProtMaxSizeLbl->Width() + 15, top, 70, 21);
  SizeLbl->SetBounds(ProtMaxSizeEdit->Left() + ProtMaxSizeEdit->Width() + 15, top + 3,
                     canvas.TextWidth(SizeLbl->Text()), 13);
  widest = std::max(widest, SizeLbl->Left() + SizeLbl->Width());
  top += RowHeight + 12;

  OKBtn->SetBounds(Margin, top, ButtonWidth, ButtonHeight);
  CancelBtn->SetBounds(OKBtn->Left() + OKBtn->Width() + 7, top,
                       std::max(ButtonWidth, canvas.TextWidth(CancelBtn->Text()) + 30), ButtonHeight);
  HelpBtn->SetBounds(CancelBtn->Left() + CancelBtn->Width() + 7, top, ButtonWidth, ButtonHeight);
  widest = std::max(widest, HelpBtn->Left() + HelpBtn->Width());
  const int width = std::max(widest + 15, canvas.TextWidth(Text()) + 40);
  SetBounds(Left(), Top(), width, top + ButtonHeight + Margin);
}

bool RunProtOptionsDialog(TProtOptions& options) {
  auto dialog = std::make_unique<TD23_EditProtOptions>(Application);
  dialog->SetAutoModeOnly(options.AutoModeOnly);
  dialog->SetProtShort(options.Short);
  dialog->SetAutoLogFile(options.AutoLogFile);
  dialog->SetMaxSizeBytes(options.MaxSize);
  if (dialog->ShowModal() != mrOk) return false;
  options.AutoModeOnly = dialog->AutoModeOnly();
  options.Short = dialog->ProtShort();
  options.AutoLogFile = dialog->AutoLogFile();
  options.MaxSize = dialog->MaxSizeBytes();
  return true;
}

}  // namespace qv
