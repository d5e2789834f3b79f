#include "serial/forms/com_select_form.h"

#include <charconv>
#include <string>
#include <vector>

#include "serial/ser_custom_com_port.h"

namespace qv {

namespace {
constexpr int kLeft = 16;
constexpr int kWidth = 280;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
}  // namespace

TComSelectForm::TComSelectForm(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText("Select Port");
  SetBounds(0, 0, kWidth, 160);

  Label1 = new TLabel(this);
  Label1->SetParent(this);
  Label1->SetBounds(kLeft, 12, kWidth - 2 * kLeft, 16);
  Label1->SetText("The configured serial port is not valid.");
  Label2 = new TLabel(this);
  Label2->SetParent(this);
  Label2->SetBounds(kLeft, 32, kWidth - 2 * kLeft, 16);
  Label2->SetText("Please choose another port.");

  PortsComboBox = new TComboBox(this);
  PortsComboBox->SetParent(this);
  PortsComboBox->SetStyle(TComboBoxStyle::csDropDownList);
  PortsComboBox->SetBounds(kLeft, 60, 120, 24);
  const std::vector<int> ports = SelectablePorts();
  for (int n : ports) PortsComboBox->Items().Add("COM" + std::to_string(n));
  PortsComboBox->SyncItems();
  if (!ports.empty()) PortsComboBox->SetItemIndex(0);

  OKBtn = new TButton(this);
  OKBtn->SetParent(this);
  OKBtn->SetText("OK");
  OKBtn->SetModalResult(mrOk);
  OKBtn->SetDefault(true);
  OKBtn->SetBounds(kWidth - kLeft - 2 * kButtonWidth - 8, 112, kButtonWidth, kButtonHeight);
  CancelBtn = new TButton(this);
  CancelBtn->SetParent(this);
  CancelBtn->SetText("Cancel");
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);
  CancelBtn->SetBounds(kWidth - kLeft - kButtonWidth, 112, kButtonWidth, kButtonHeight);
}

int TComSelectForm::ChosenPort() {
  // The number is the chosen entry's text from its fourth character on.
  const std::string text = PortsComboBox->ItemIndex() >= 0 ? PortsComboBox->Text() : std::string();
  int number = 0;
  if (text.size() <= 3 || std::from_chars(text.data() + 3, text.data() + text.size(), number).ec != std::errc())
    return 0;
  return number;
}

int ExecuteComSelectForm() {
  TComSelectForm form(Application);
  return form.ShowModal() == mrOk ? form.ChosenPort() : 0;
}

void InstallComSelectForm() { SetComSelectHook(ExecuteComSelectForm); }

}  // namespace qv
