#pragma once
// The user dialog: log-on name, password twice, personal data and group. The OK button waits for
// a change.
#include <memory>
#include <string>

#include "archive/dy_user_manager.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TAS_X509Certificate;

class TD55_EditUser : public TForm {
public:
  explicit TD55_EditUser(TComponent* owner);
  ~TD55_EditUser() override;
  std::string ClassName() const override { return "TD55_EditUser"; }
  bool Modified() const { return modified_; }
  // Modified off and the OK button disabled.
  void ClearModified();
  // The name, personal data, group and certificate controls.
  void SetPersonalEnabled(bool enabled);

  // The certificate as hexadecimal DER text lines; empty without one.
  std::string GetCertificateText() const;
  // Clears the certificate and loads it from the text; a text that is no certificate shows the
  // error box and answers false.
  bool SetCertificateText(const std::string& text);
  // Asks for a ".cer", ".der" or ".pem" file and loads it; false (after the error box) when the
  // chosen file holds no certificate. Cancelled or another extension: true, nothing changes.
  bool ImportCertificate();
  // A certificate was loaded from a file since the form was filled.
  bool CertificateImported() const { return certificate_imported_; }
  void ClearCertificateImported() { certificate_imported_ = false; }

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
  TLabel* CertificateLabel;
  TButton* BtnChangeCertificate;
  TCheckBox* CheckBox1;  // ticked while a certificate is loaded
  TAS_X509Certificate* Certificate;
  TButton* OkButton;
  TButton* CancelButton;

private:
  void Changed();
  bool modified_ = false;
  bool certificate_imported_ = false;
};

// The dialog as adding a user drives it.
std::unique_ptr<TEditUserDialogPort> CreateD55EditUser();

// The user dialog while it is shown; null otherwise.
extern TD55_EditUser* D55_EditUser;

}  // namespace qv
