#pragma once
// The archive options: the data folder, the log-on and signing passwords, the alarm e-mails and
// the log-on again after inactivity. OK waits for a change.
#include <functional>
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TPanel;
class TStySpinEdit;

class TD53_DossalyOptions : public TForm {
public:
  explicit TD53_DossalyOptions(TComponent* owner);
  std::string ClassName() const override { return "TD53_DossalyOptions"; }

  void ConfigChanged();
  void ChangePathButtonClick();
  // Stores every option and ends the dialog with OK.
  void OKBtnClick();

  TLabel* DYPathLabel;
  TEdit* DYPathEdit;
  TButton* ChangePathButton;
  TCheckBox* UseWindowsLogonCheckBox;
  TCheckBox* PasswordOnStartupCheckBox;
  TCheckBox* PasswordOnSignCheckBox;
  TPanel* EmailPanel;
  TCheckBox* SendEmailOnAlarmOfflineCheckBox;
  TCheckBox* SendEmailOnAlarmRecorderCheckBox;
  TCheckBox* AlwaysSendAlarmEmailCheckBox;
  TLabel* EmailIntervalLabel;
  TDateTimePicker* AlarmEmailDateTimePicker;
  TButton* EditEmailButton;
  TCheckBox* CheckInactTimer;
  TStySpinEdit* InactInterval;
  TLabel* MinLabel;
  TButton* OKBtn;
  TButton* CancelBtn;

private:
  void FormCreate();
};

// Installed by the program: whether a document window is open (the data folder cannot change
// then), and the e-mail settings dialog.
extern std::function<bool()> AnyDocumentOpen;
extern std::function<void()> EditEmailSettings;

// Shows the options modally; true when they were stored (the caller then saves the settings).
bool ShowD53DossalyOptions();

// The options dialog while it is shown; null otherwise.
extern TD53_DossalyOptions* D53_DossalyOptions;

}  // namespace qv
