#include "archive/forms/d57_logon.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/gui/list_ctrls.h"
#include "shell/dialog_parts.h"

namespace qv {

TD57_Logon* D57_Logon = nullptr;

namespace {
constexpr int LabelLeft = 12;
constexpr int EditLeft = 120;
constexpr int EditWidth = 190;
}  // namespace

TD57_Logon::TD57_Logon(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D57_Logon"));
  NoteActivityOnMouse(this);
  UserLabel = MakeDlgLabel(this, "D57_UserName", LabelLeft, 17, EditLeft - LabelLeft - 4);
  UserEdit = new TEdit(this);
  UserEdit->SetParent(this);
  UserEdit->SetBounds(EditLeft, 14, EditWidth, 21);
  NoteActivityOnMouse(UserEdit);
  PasswordLabel = MakeDlgLabel(this, "D57_Password", LabelLeft, 47, EditLeft - LabelLeft - 4);
  PasswordEdit = new TEdit(this);
  PasswordEdit->SetParent(this);
  PasswordEdit->SetBounds(EditLeft, 44, EditWidth, 21);
  PasswordEdit->SetPasswordChar('*');
  NoteActivityOnMouse(PasswordEdit);
  // Tab submits the log-on; leaving the edit any other way (a click on Cancel) submits nothing.
  PasswordEdit->OnKeyDown = [this](TComponent*, uint16_t& key, TShiftState) {
    NoteUserActivity();
    if (key != VK_TAB) return;
    key = 0;
    SetModalResult(mrOk);
  };
  OKButton = MakeDlgButton(this, "b_&OK", mrOk);
  OKButton->SetDefault(true);
  CancelButton = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  PlaceDlgButtons(EditLeft + EditWidth - 2 * DlgButtonWidth - DlgButtonGap, 80, {OKButton, CancelButton});
  SetBounds(Left(), Top(), EditLeft + EditWidth + LabelLeft, 80 + DlgButtonHeight + 12);
  SetActiveControl(UserEdit);
}

namespace {

class TD57Port : public TLogonDialogPort {
public:
  TD57Port() : form_(std::make_unique<TD57_Logon>(Application)) {}
  void SetUserName(const std::string& name) override { form_->SetUserName(name); }
  std::string UserText() const override { return form_->UserEdit->Text(); }
  std::string PasswordText() const override { return form_->PasswordEdit->Text(); }
  void SetCaption(const std::string& caption) override { form_->SetText(caption); }
  std::string Caption() const override { return form_->Text(); }
  void SetUserEditEnabled(bool enabled) override { form_->UserEdit->SetEnabled(enabled); }
  void SelectUserEdit() override { Select(form_->UserEdit); }
  void SelectPasswordEdit() override { Select(form_->PasswordEdit); }
  void Beep() override { MessageBeep(); }
  int ShowModal() override {
    // The password edit takes the focus when a name is given already; after a failure the edit
    // at fault does.
    TEdit* first =
        form_->UserEdit->Text().empty() && form_->UserEdit->Enabled() ? form_->UserEdit : form_->PasswordEdit;
    if (selected_ == "user") first = form_->UserEdit;
    if (selected_ == "password") first = form_->PasswordEdit;
    form_->SetActiveControl(first);
    D57_Logon = form_.get();
    const int result = form_->ShowModal();
    D57_Logon = nullptr;
    return result;
  }

private:
  void Select(TEdit* edit) {
    selected_ = edit == form_->UserEdit ? "user" : "password";
    edit->SelectAll();
  }
  std::unique_ptr<TD57_Logon> form_;
  std::string selected_;
};

}  // namespace

std::unique_ptr<TLogonDialogPort> CreateD57Logon() { return std::make_unique<TD57Port>(); }

}  // namespace qv
