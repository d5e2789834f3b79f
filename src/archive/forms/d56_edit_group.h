#pragma once
// The group dialog: the id, the name and one tick per right.
#include <memory>
#include <string>

#include "archive/dy_user_manager.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TStyCheckList;

class TD56_EditGroup : public TForm {
public:
  explicit TD56_EditGroup(TComponent* owner);
  std::string ClassName() const override { return "TD56_EditGroup"; }
  bool Modified() const { return modified_; }
  // Fills the controls; the form is unmodified afterwards.
  void SetGroup(int32_t id, const std::string& name, uint16_t rights, bool admin_fixed);
  uint16_t Rights() const;

  TGroupBox* SettingsBox;
  TEdit* GroupIDEdit;
  TEdit* GroupNameEdit;
  TStyCheckList* GroupPermissionsCheckListBox;
  TButton* OKButton;
  TButton* CancelButton;

private:
  void Changed();
  bool modified_ = false;
};

std::unique_ptr<TEditGroupDialogPort> CreateD56EditGroup();

// The group dialog while it is shown; null otherwise.
extern TD56_EditGroup* D56_EditGroup;

}  // namespace qv
