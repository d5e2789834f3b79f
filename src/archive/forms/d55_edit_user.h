#pragma once
// The user dialog: log-on name, password twice, personal data and group. The OK button waits for
// a change.
#include <memory>
#include <string>

#include "archive/dy_user_manager.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD55_EditUser : public TForm {
public:
  explicit TD55_EditUser(TComponent* owner);
  std::string ClassName() const override { return "TD55_EditUser"; }
  bool Modified() const { return modified_; }
  // Modified off and the OK button disabled.
  void ClearModified();

  TGroupBox* SettingsBox;
  TEdit* UserIDNameEdit;
  TEdit* PasswordEdit1;
  TEdit* PasswordEdit2;
  TEdit* FirstNameEdit;
  TEdit* SurNameEdit;
  TEdit* CompanyEdit;
  TEdit* EmailEdit;
  TComboBox* GroupComboBox;
  TEdit* UserIDEdit;  // hidden
  TButton* OkButton;
  TButton* CancelButton;

private:
  void Changed();
  bool modified_ = false;
};

// The dialog as adding a user drives it.
std::unique_ptr<TEditUserDialogPort> CreateD55EditUser();

// The user dialog while it is shown; null otherwise.
extern TD55_EditUser* D55_EditUser;

}  // namespace qv
