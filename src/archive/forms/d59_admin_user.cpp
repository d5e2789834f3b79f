#include "archive/forms/d59_admin_user.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/gui/list_ctrls.h"
#include "shell/dialog_parts.h"

namespace qv {

TD59_AdminUser* D59_AdminUser = nullptr;
TD58_AdminGroup* D58_AdminGroup = nullptr;

namespace {

constexpr int Margin = 12;
constexpr int ListWidth = 220;
constexpr int ListHeight = 200;

TListBox* MakeList(TForm* form) {
  auto* list = new TListBox(form);
  list->SetParent(form);
  list->SetBounds(Margin, Margin, ListWidth, ListHeight);
  NoteActivityOnMouse(list);
  return list;
}

// The buttons in a column right of the list.
void PlaceColumn(TForm* form, std::initializer_list<TButton*> buttons) {
  int top = Margin;
  for (TButton* b : buttons) {
    b->SetBounds(2 * Margin + ListWidth, top, DlgButtonWidth + 20, DlgButtonHeight);
    NoteActivityOnMouse(b);
    top += DlgButtonHeight + DlgButtonGap;
  }
  form->SetBounds(form->Left(), form->Top(), 3 * Margin + ListWidth + DlgButtonWidth + 20 + 16,
                  2 * Margin + ListHeight);
}

}  // namespace

TD59_AdminUser::TD59_AdminUser(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D59_AdminUser"));
  NoteActivityOnMouse(this);
  UserListBox = MakeList(this);
  UserListBox->OnClick = [this](TComponent*) { ListClicked(); };
  EditUserButton = MakeDlgButton(this, "D59_EditUser", mrOk);
  EditUserButton->SetDefault(true);
  NewUserButton = MakeDlgButton(this, "D59_NewUser", mrNewUser);
  DeleteUserButton = MakeDlgButton(this, "D59_DeleteUser", mrDeleteUser);
  Button1 = MakeDlgButton(this, "D59_PrintUsers", mrPrintUsers);
  CancelButton = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  PlaceColumn(this, {EditUserButton, NewUserButton, DeleteUserButton, Button1, CancelButton});
  // The list starts without a selection: focused first, it would select its first entry unasked.
  SetActiveControl(EditUserButton);
}

void TD59_AdminUser::ListClicked() {
  NoteUserActivity();
  // The first user of the list, the first administrator, cannot be deleted here.
  DeleteUserButton->SetEnabled(UserListBox->ItemIndex() != 0);
}

TD58_AdminGroup::TD58_AdminGroup(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D58_AdminGroup"));
  NoteActivityOnMouse(this);
  GroupListBox = MakeList(this);
  GroupListBox->OnClick = [](TComponent*) { NoteUserActivity(); };
  EditGroupButton = MakeDlgButton(this, "D58_EditGroup", mrOk);
  EditGroupButton->SetDefault(true);
  CancelButton = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  PlaceColumn(this, {EditGroupButton, CancelButton});
  SetActiveControl(EditGroupButton);
}

namespace {

template <class Form>
class TListPort : public TAdminListDialogPort {
public:
  TListPort(TListBox* Form::*list, Form*& shown)
      : form_(std::make_unique<Form>(Application)), list_(list), shown_(shown) {}
  void SetItems(const std::vector<std::string>& names) override {
    TListBox* list = form_.get()->*list_;
    list->Items().Clear();
    for (const std::string& n : names) list->Items().Add(n);
    list->SyncItems();
    list->SetItemIndex(-1);
  }
  int SelectedIndex() const override { return (form_.get()->*list_)->ItemIndex(); }
  void SetCaption(const std::string& caption) override { form_->SetText(caption); }
  void Beep() override { MessageBeep(); }
  int ShowModal() override {
    shown_ = form_.get();
    const int result = form_->ShowModal();
    shown_ = nullptr;
    return result;
  }

private:
  std::unique_ptr<Form> form_;
  TListBox* Form::*list_;
  Form*& shown_;
};

}  // namespace

std::unique_ptr<TAdminListDialogPort> CreateD59AdminUser() {
  return std::make_unique<TListPort<TD59_AdminUser>>(&TD59_AdminUser::UserListBox, D59_AdminUser);
}

std::unique_ptr<TAdminListDialogPort> CreateD58AdminGroup() {
  return std::make_unique<TListPort<TD58_AdminGroup>>(&TD58_AdminGroup::GroupListBox, D58_AdminGroup);
}

}  // namespace qv
