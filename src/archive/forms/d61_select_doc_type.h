#pragma once
// Small dialogs of the archive window's document commands: the choice of a document type and
// the entry of a new document's file name.
#include <string>
#include <vector>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

// Modal results of the type choice.
inline constexpr int SelectDocTypeOk = 1, SelectDocTypeCancel = 2, SelectDocTypeDelete = 3, SelectDocTypeNew = 4;

// The list is filled and read by its user.
class TD61_SelectDocType : public TForm {
public:
  explicit TD61_SelectDocType(TComponent* owner);
  std::string ClassName() const override { return "TD61_SelectDocType"; }

  TListBox* DocTypeListBox;
  TButton* OkButton;
  TButton* CancelButton;
  TButton* DeleteDocTypeButton;
  TButton* NewDocTypeButton;
};

class TD67_EnterFileName : public TForm {
public:
  explicit TD67_EnterFileName(TComponent* owner);
  std::string ClassName() const override { return "TD67_EnterFileName"; }
  // The folder the name must be creatable in.
  void SetFolder(const std::string& folder) { folder_ = folder; }

  TEdit* FileNameEdit;
  TButton* OkButton;

private:
  void OkButtonClick();
  std::string folder_;
};

extern TD61_SelectDocType* D61_SelectDocType;
extern TD67_EnterFileName* D67_EnterFileName;

// Shows the names with index selected; answers the button's result (SelectDocType...), the window
// closed otherwise counting as Cancel, and index the selected line (-1: none). Without
// all_buttons the new-type and delete-type buttons are hidden; with no names OK and delete are
// disabled.
int RunSelectDocType(const std::vector<std::string>& names, int& index, bool all_buttons = true);
// Proposes name; true with the entered name only after OK, which accepts only a name that can be
// created in folder. Closed otherwise, name stays as proposed.
bool RunEnterFileName(const std::string& folder, std::string& name);

}  // namespace qv
