#pragma once
// The user and group administration lists: a list of names and the buttons of the commands.
#include <memory>
#include <string>

#include "archive/dy_user_manager.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TCustomListBox;

class TD59_AdminUser : public TForm {
public:
  explicit TD59_AdminUser(TComponent* owner);
  std::string ClassName() const override { return "TD59_AdminUser"; }

  TListBox* UserListBox;
  TButton* EditUserButton;
  TButton* NewUserButton;
  TButton* DeleteUserButton;
  TButton* Button1;  // print
  TButton* CancelButton;

private:
  void ListClicked();
};

class TD58_AdminGroup : public TForm {
public:
  explicit TD58_AdminGroup(TComponent* owner);
  std::string ClassName() const override { return "TD58_AdminGroup"; }

  TListBox* GroupListBox;
  TButton* EditGroupButton;
  TButton* CancelButton;
};

std::unique_ptr<TAdminListDialogPort> CreateD59AdminUser();
std::unique_ptr<TAdminListDialogPort> CreateD58AdminGroup();

// The dialogs while they are shown; null otherwise.
extern TD59_AdminUser* D59_AdminUser;
extern TD58_AdminGroup* D58_AdminGroup;

}  // namespace qv
