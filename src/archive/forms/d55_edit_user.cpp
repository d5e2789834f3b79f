#include "archive/forms/d55_edit_user.h"

#include <sstream>

#include "archive/archive_globals.h"
#include "base/archive_hooks.h"
#include "crypto/x509_certificate.h"
#include "platform/gui/common_dialogs.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/text_utils.h"
#include "base/res_string.h"
#include "platform/gui/list_ctrls.h"
#include "shell/dialog_parts.h"

namespace qv {

TD55_EditUser* D55_EditUser = nullptr;

namespace {
constexpr int LabelLeft = 12;
constexpr int EditLeft = 150;
constexpr int EditWidth = 200;
constexpr int RowHeight = 28;
constexpr int BoxTop = 8;
}  // namespace

TD55_EditUser::TD55_EditUser(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D55_EditUser"));
  NoteActivityOnMouse(this);
  SettingsBox = new TGroupBox(this);
  SettingsBox->SetParent(this);
  SettingsBox->SetText(LoadResString("D55_UserSettings"));
  // The controls lie on the form above the box (made first, so below them): keys such as Enter
  // travel from an edit to the form, not into the box.
  int top = 30;
  auto label = [&](const char* key) {
    auto* l = new TLabel(this);
    l->SetParent(SettingsBox);  // a label on the form would lie under the box
    l->SetBounds(LabelLeft, top + 3 - BoxTop, EditLeft - LabelLeft - 8, 13);
    l->SetText(LoadResString(key));
    return l;
  };
  auto row = [&](const char* key) {
    label(key);
    auto* edit = new TEdit(this);
    edit->SetParent(this);
    edit->SetBounds(LabelLeft + EditLeft, top, EditWidth, 21);
    NoteActivityOnMouse(edit);
    edit->OnChange = [this](TComponent*) { Changed(); };
    top += RowHeight;
    return edit;
  };
  UserIDNameEdit = row("D55_UserID");
  PasswordEdit1 = row("D55_Password1");
  PasswordEdit1->SetPasswordChar('*');
  PasswordEdit2 = row("D55_Password2");
  PasswordEdit2->SetPasswordChar('*');
  FirstNameEdit = row("D55_FirstName");
  SurNameEdit = row("D55_SurName");
  CompanyEdit = row("D55_Company");
  EmailEdit = row("D55_Email");
  label("D55_UserGroup");
  GroupComboBox = new TComboBox(this);
  GroupComboBox->SetParent(this);
  GroupComboBox->SetStyle(TComboBoxStyle::csDropDownList);
  GroupComboBox->SetBounds(LabelLeft + EditLeft, top, EditWidth, 21);
  GroupComboBox->OnChange = [this](TComponent*) { Changed(); };
  NoteActivityOnMouse(GroupComboBox);
  top += RowHeight;
  UserIDEdit = new TEdit(this);
  UserIDEdit->SetParent(this);
  UserIDEdit->SetVisible(false);
  // The certificate: its box is ticked while one is loaded; the button imports one from a file.
  CertificateLabel = label("D55_Certificate");
  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetParent(this);
  CheckBox1->SetBounds(LabelLeft + EditLeft, top + 2, 20, 17);
  CheckBox1->SetEnabled(false);  // shows the state; importing ticks it
  BtnChangeCertificate = new TButton(this);
  BtnChangeCertificate->SetParent(this);
  BtnChangeCertificate->SetText(LoadResString("D55_ChangeCertificate"));
  BtnChangeCertificate->SetBounds(LabelLeft + EditLeft + 28, top - 2, EditWidth - 28, 25);
  BtnChangeCertificate->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (ImportCertificate()) CheckBox1->SetChecked(Certificate && !Certificate->DERCodeDesignate().empty());
  };
  NoteActivityOnMouse(BtnChangeCertificate);
  top += RowHeight + 4;
  Certificate = new TAS_X509Certificate(this);
  SettingsBox->SetBounds(LabelLeft, BoxTop, EditLeft + EditWidth + LabelLeft, top - 2);
  OkButton = MakeDlgButton(this, "b_&OK", mrOk);
  OkButton->SetDefault(true);
  CancelButton = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  const int buttons_top = top + 24;
  PlaceDlgButtons(2 * LabelLeft + EditLeft + EditWidth - 2 * DlgButtonWidth - DlgButtonGap, buttons_top,
                  {OkButton, CancelButton});
  SetBounds(Left(), Top(), EditLeft + EditWidth + 3 * LabelLeft, buttons_top + DlgButtonHeight + 12);
  SetActiveControl(UserIDNameEdit);
  ClearModified();
}

TD55_EditUser::~TD55_EditUser() = default;

void TD55_EditUser::SetPersonalEnabled(bool enabled) {
  for (TControl* c : std::initializer_list<TControl*>{UserIDNameEdit, FirstNameEdit, SurNameEdit, CompanyEdit,
                                                      EmailEdit, GroupComboBox, BtnChangeCertificate})
    c->SetEnabled(enabled);
}

std::string TD55_EditUser::GetCertificateText() const {
  if (Certificate->DERCodeDesignate().empty()) return std::string();
  std::ostringstream out;
  Certificate->SaveToStream(out);
  return out.str();
}

namespace {
void CertificateError(const std::string& message) {
  ArchiveErrorBox(LoadResString("DY_ErrorReadCert") + " [" + message + "]");
}
}  // namespace

bool TD55_EditUser::SetCertificateText(const std::string& text) {
  Certificate->SetDERCodeDesignate("");
  try {
    std::istringstream in(text);
    Certificate->LoadFromStream(in);
  } catch (const Exception& e) {
    Certificate->SetDERCodeDesignate("");
    CertificateError(e.Message());
    return false;
  }
  return true;
}

bool TD55_EditUser::ImportCertificate() {
  TOpenDialog dialog(nullptr);
  dialog.Title = LoadResString("TD55_ReadCert");
  dialog.Filter = "CER files (*.cer)|*.cer|DER files (*.der)|*.der|PEM files (*.pem)|*.pem";
  dialog.DefaultExt = "cer";
  if (!dialog.Execute()) return true;
  Certificate->SetDERCodeDesignate("");
  const std::string file = dialog.FileName;
  const size_t dot = file.find_last_of("./");
  const std::string ext = dot == std::string::npos || file[dot] != '.' ? std::string() : UpperCase(file.substr(dot));
  if (ext != ".DER" && ext != ".CER" && ext != ".PEM") return true;
  try {
    if (ext == ".PEM") {
      // The armour's label is taken as found.
      if (!Certificate->LoadFromPEMFile(file)) throw Exception("no PEM block in " + file);
    } else {
      Certificate->LoadFromFile(file);
    }
  } catch (const Exception& e) {
    Certificate->SetDERCodeDesignate("");
    CertificateError(e.Message());
    CheckBox1->SetChecked(false);
    return false;
  }
  certificate_imported_ = true;
  Changed();
  CheckBox1->SetChecked(true);
  return true;
}

void TD55_EditUser::Changed() {
  NoteUserActivity();
  modified_ = true;
  OkButton->SetEnabled(true);
}

void TD55_EditUser::ClearModified() {
  modified_ = false;
  OkButton->SetEnabled(false);
}

namespace {

class TD55Port : public TEditUserDialogPort {
public:
  TD55Port() : form_(std::make_unique<TD55_EditUser>(Application)) {}
  void SetGroups(const std::vector<std::string>& names, int selected) override {
    form_->GroupComboBox->Items().Clear();
    for (const std::string& n : names) form_->GroupComboBox->Items().Add(n);
    form_->GroupComboBox->SyncItems();
    form_->GroupComboBox->SetItemIndex(selected);
    form_->ClearModified();
  }
  int SelectedGroup() const override { return form_->GroupComboBox->ItemIndex(); }
  void SetGroupEnabled(bool enabled) override { form_->GroupComboBox->SetEnabled(enabled); }
  void SetCaption(const std::string& caption) override { form_->SetText(caption); }
  std::string UserText() const override { return form_->UserIDNameEdit->Text(); }
  std::string Password1() const override { return form_->PasswordEdit1->Text(); }
  std::string Password2() const override { return form_->PasswordEdit2->Text(); }
  std::string FirstName() const override { return form_->FirstNameEdit->Text(); }
  std::string SurName() const override { return form_->SurNameEdit->Text(); }
  std::string Company() const override { return form_->CompanyEdit->Text(); }
  std::string Email() const override { return form_->EmailEdit->Text(); }
  bool Modified() const override { return form_->Modified(); }
  void SetUser(const TDY_User& user) override {
    form_->UserIDNameEdit->SetText(user.UserName);
    form_->PasswordEdit1->SetText(user.Password);
    form_->PasswordEdit2->SetText(user.Password);
    form_->FirstNameEdit->SetText(user.FirstName);
    form_->SurNameEdit->SetText(user.SurName);
    form_->CompanyEdit->SetText(user.Company);
    form_->EmailEdit->SetText(user.Email);
    form_->UserIDEdit->SetText(std::to_string(user.UserID));
    const bool loaded = user.HasCertificate && form_->SetCertificateText(user.Certificate);
    form_->CheckBox1->SetChecked(loaded);
    form_->ClearCertificateImported();
  }
  void SetPersonalEnabled(bool enabled) override { form_->SetPersonalEnabled(enabled); }
  void ClearModified() override { form_->ClearModified(); }
  bool HasCertificate() const override { return form_->CheckBox1->Checked(); }
  std::string CertificateText() const override { return form_->GetCertificateText(); }
  bool CertificateImported() const override { return form_->CertificateImported(); }
  void Beep() override { MessageBeep(); }
  int ShowModal() override {
    D55_EditUser = form_.get();
    const int result = form_->ShowModal();
    D55_EditUser = nullptr;
    return result;
  }

private:
  std::unique_ptr<TD55_EditUser> form_;
};

}  // namespace

std::unique_ptr<TEditUserDialogPort> CreateD55EditUser() { return std::make_unique<TD55Port>(); }

}  // namespace qv
