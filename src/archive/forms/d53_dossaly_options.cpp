#include "archive/forms/d53_dossaly_options.h"

#include "archive/archive_globals.h"
#include "archive/archive_options.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/folder_dialog.h"
#include "shell/dialog_parts.h"

namespace qv {

TD53_DossalyOptions* D53_DossalyOptions = nullptr;
std::function<bool()> AnyDocumentOpen;
std::function<void()> EditEmailSettings;

namespace {
constexpr int Margin = 12;
constexpr int ContentWidth = 400;
constexpr int Row = 24;
}  // namespace

TD53_DossalyOptions::TD53_DossalyOptions(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poOwnerFormCenter);
  SetText(LoadResString("D53_DossalyOptions"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  int top = Margin;
  DYPathLabel = new TLabel(this);
  DYPathLabel->SetParent(this);
  DYPathLabel->SetText(LoadResString("D53_DYPath"));
  DYPathLabel->SetBounds(Margin, top, ContentWidth, 15);
  top += 18;
  DYPathEdit = new TEdit(this);
  DYPathEdit->SetParent(this);
  DYPathEdit->SetReadOnly(true);
  DYPathEdit->SetBounds(Margin, top, ContentWidth - 110, 21);
  ChangePathButton = new TButton(this);
  ChangePathButton->SetParent(this);
  ChangePathButton->SetText(LoadResString("D53_ChangePath"));
  ChangePathButton->SetBounds(Margin + ContentWidth - 102, top - 2, 102, 25);
  ChangePathButton->OnClick = [this](TComponent*) { ChangePathButtonClick(); };
  top += 34;
  auto check = [&](TWinControl* parent, const char* key, const char* hint, int left, int& y) {
    auto* box = new TCheckBox(this);
    box->SetParent(parent);
    box->SetText(LoadResString(key));
    if (hint) {
      box->SetHint(LoadResString(hint));
      box->SetShowHint(true);
    }
    box->SetBounds(left, y, ContentWidth - 2 * left, 19);
    box->OnClick = [this](TComponent*) { ConfigChanged(); };
    NoteActivityOnMouse(box);
    y += Row;
    return box;
  };
  UseWindowsLogonCheckBox = check(this, "D53_UseWindowsLogon", "hint_UseWindowsLogon", Margin, top);
  UseWindowsLogonCheckBox->OnClick = [this](TComponent*) {
    PasswordOnStartupCheckBox->SetEnabled(UseWindowsLogonCheckBox->Checked());
    ConfigChanged();
  };
  PasswordOnStartupCheckBox = check(this, "D53_PasswordOnStartup", "hint_PasswordOnStartup", Margin + 20, top);
  PasswordOnSignCheckBox = check(this, "D53_PasswordOnSign", "hint_PasswordOnSign", Margin, top);
  top += 6;
  // The e-mail controls together on one panel.
  EmailPanel = new TPanel(this);
  EmailPanel->SetParent(this);
  EmailPanel->SetBevelOuter(TPanelBevel::bvLowered);
  int y = 8;
  SendEmailOnAlarmOfflineCheckBox = check(EmailPanel, "D53_SendEmailOnAlarmOffline", nullptr, 8, y);
  SendEmailOnAlarmRecorderCheckBox = check(EmailPanel, "D53_SendEmailOnAlarmRecorder", nullptr, 8, y);
  AlwaysSendAlarmEmailCheckBox = check(EmailPanel, "D53_AlwaysSendAlarmEmail", nullptr, 8, y);
  AlwaysSendAlarmEmailCheckBox->OnClick = [this](TComponent*) {
    AlarmEmailDateTimePicker->SetEnabled(!AlwaysSendAlarmEmailCheckBox->Checked());
    ConfigChanged();
  };
  EmailIntervalLabel = new TLabel(this);
  EmailIntervalLabel->SetParent(EmailPanel);
  EmailIntervalLabel->SetText(LoadResString("D53_EmailInterval"));
  EmailIntervalLabel->SetBounds(8, y + 3, 230, 15);
  AlarmEmailDateTimePicker = new TDateTimePicker(this);
  AlarmEmailDateTimePicker->SetParent(EmailPanel);
  AlarmEmailDateTimePicker->SetKind(TDateTimeKind::dtkTime);
  AlarmEmailDateTimePicker->SetBounds(246, y, 90, 22);
  AlarmEmailDateTimePicker->OnChange = [this](TComponent*) { ConfigChanged(); };
  NoteActivityOnMouse(AlarmEmailDateTimePicker);
  y += Row + 6;
  EditEmailButton = new TButton(this);
  EditEmailButton->SetParent(EmailPanel);
  EditEmailButton->SetText(LoadResString("D53_EditEmail"));
  EditEmailButton->SetBounds(8, y, 160, 25);
  EditEmailButton->OnClick = [](TComponent*) {
    NoteUserActivity();
    if (EditEmailSettings) EditEmailSettings();
  };
  NoteActivityOnMouse(EditEmailButton);
  y += 25 + 8;
  EmailPanel->SetBounds(Margin, top, ContentWidth, y);
  top += y + 10;
  CheckInactTimer = check(this, "D53_InactInterval", nullptr, Margin, top);
  CheckInactTimer->SetBounds(Margin, top - Row, 250, 19);
  InactInterval = new TStySpinEdit(this);
  InactInterval->SetParent(this);
  InactInterval->SetIntegersOnly(true);
  InactInterval->SetMin(0);
  InactInterval->SetMax(MaxInactInterval);
  InactInterval->SetCheckRange(true);
  InactInterval->SetBounds(Margin + 258, top - Row - 2, 70, 22);
  InactInterval->OnChange = [this](TComponent*) { ConfigChanged(); };
  MinLabel = new TLabel(this);
  MinLabel->SetParent(this);
  MinLabel->SetText(LoadResString("D53_min"));
  MinLabel->SetBounds(Margin + 334, top - Row + 1, 50, 15);
  top += 4;
  // OK and Cancel on the right.
  OKBtn = MakeDlgButton(this, "b_&OK", mrNone);
  OKBtn->SetDefault(true);
  OKBtn->OnClick = [this](TComponent*) { OKBtnClick(); };
  CancelBtn = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  CancelBtn->OnClick = [](TComponent*) { NoteUserActivity(); };
  const int buttons_left = 2 * Margin + ContentWidth;
  OKBtn->SetBounds(buttons_left, Margin, DlgButtonWidth, DlgButtonHeight);
  CancelBtn->SetBounds(buttons_left, Margin + DlgButtonHeight + DlgButtonGap, DlgButtonWidth, DlgButtonHeight);
  SetBounds(Left(), Top(), buttons_left + DlgButtonWidth + Margin + 4, top + Margin + 8);
  SetActiveControl(UseWindowsLogonCheckBox);
  FormCreate();
}

void TD53_DossalyOptions::FormCreate() {
  DYPathEdit->SetText(ArchiveDataPath);
  UseWindowsLogonCheckBox->SetChecked(UseWinLogon);
  PasswordOnStartupCheckBox->SetChecked(PwdOnStartup);
  PasswordOnSignCheckBox->SetChecked(PwdOnSign);
  SendEmailOnAlarmOfflineCheckBox->SetChecked(SendEmailOnAlarmOffline);
  SendEmailOnAlarmRecorderCheckBox->SetChecked(SendEmailOnAlarmRecorder);
  AlwaysSendAlarmEmailCheckBox->SetChecked(AlwaysSendAlarmEmail);
  AlarmEmailDateTimePicker->SetDateTime(SendAlarmEmailInterval);
  AlarmEmailDateTimePicker->SetEnabled(!AlwaysSendAlarmEmail);
  InactInterval->SetIntValue(qv::InactInterval);
  CheckInactTimer->SetChecked(UseInactTimer);
  PasswordOnStartupCheckBox->SetEnabled(UseWinLogon);
  // Filling the controls counts as no change.
  OKBtn->SetEnabled(false);
}

void TD53_DossalyOptions::ConfigChanged() {
  OKBtn->SetEnabled(true);
  NoteUserActivity();
}

void TD53_DossalyOptions::ChangePathButtonClick() {
  NoteUserActivity();
  // Open documents keep their paths into the old folder.
  if (AnyDocumentOpen && AnyDocumentOpen()) {
    ArchiveErrorBox(LoadResString("D53_DocumentsOpen"));
    return;
  }
  TFolderDialog dialog(nullptr);
  dialog.Title = LoadResString("D53_SelectFolder");
  dialog.Folder = DYPathEdit->Text();
  if (!dialog.Execute()) return;
  const std::string folder = WithFolderSeparator(dialog.Folder);
  if (folder.empty() || folder == DYPathEdit->Text()) return;
  std::string error;
  if (!MoveArchiveDataPath(folder, error)) {
    ArchiveErrorBox(LoadResString("D53_CopyFailed") + " [" + error + "]");
    return;
  }
  DYPathEdit->SetText(ArchiveDataPath);
  ArchiveInfoBox(LoadResString("DY_FilesCopied"));
  ConfigChanged();
  OKBtnClick();
}

void TD53_DossalyOptions::OKBtnClick() {
  NoteUserActivity();
  TArchiveOptions o;
  o.DataPath = DYPathEdit->Text();
  o.UseWinLogon = UseWindowsLogonCheckBox->Checked();
  o.PwdOnStartup = PasswordOnStartupCheckBox->Checked();
  o.PwdOnSign = PasswordOnSignCheckBox->Checked();
  o.SendEmailOnAlarmOffline = SendEmailOnAlarmOfflineCheckBox->Checked();
  o.SendEmailOnAlarmRecorder = SendEmailOnAlarmRecorderCheckBox->Checked();
  o.AlwaysSendAlarmEmail = AlwaysSendAlarmEmailCheckBox->Checked();
  o.SendAlarmEmailInterval = AlarmEmailDateTimePicker->DateTime();
  o.InactInterval = InactInterval->IntValue();
  o.UseInactTimer = CheckInactTimer->Checked();
  StoreArchiveOptions(o);
  SetModalResult(mrOk);
}

bool ShowD53DossalyOptions() {
  TD53_DossalyOptions form(Application);
  D53_DossalyOptions = &form;
  const int result = form.ShowModal();
  D53_DossalyOptions = nullptr;
  return result == mrOk;
}

}  // namespace qv
