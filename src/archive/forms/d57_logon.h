#pragma once
// The log-on dialog: user name and password. Tab in the password edit submits as OK does.
#include <memory>
#include <string>

#include "archive/dy_user_manager.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD57_Logon : public TForm {
public:
  explicit TD57_Logon(TComponent* owner);
  std::string ClassName() const override { return "TD57_Logon"; }
  void SetUserName(const std::string& name) { UserEdit->SetText(name); }

  TLabel* UserLabel;
  TEdit* UserEdit;
  TLabel* PasswordLabel;
  TEdit* PasswordEdit;
  TButton* OKButton;
  TButton* CancelButton;
};

// The dialog as the user manager's log-on drives it.
std::unique_ptr<TLogonDialogPort> CreateD57Logon();

// The log-on dialog while the log-on shows it; null otherwise.
extern TD57_Logon* D57_Logon;

}  // namespace qv
