#include "archive/forms/d56_edit_group.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_check_list.h"
#include "platform/gui/list_ctrls.h"
#include "shell/dialog_parts.h"

namespace qv {

TD56_EditGroup* D56_EditGroup = nullptr;

namespace {
constexpr int Margin = 12;
constexpr int LabelWidth = 110;
constexpr int EditWidth = 230;
}  // namespace

TD56_EditGroup::TD56_EditGroup(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D56_EditGroup"));
  NoteActivityOnMouse(this);
  SettingsBox = new TGroupBox(this);
  SettingsBox->SetParent(this);
  SettingsBox->SetText(LoadResString("D56_GroupSettings"));
  int top = 30;
  auto label = [&](const char* key) {
    auto* l = new TLabel(this);
    l->SetParent(SettingsBox);
    l->SetBounds(Margin, top + 3 - 8, LabelWidth, 13);
    l->SetText(LoadResString(key));
  };
  auto edit = [&](const char* key) {
    label(key);
    auto* e = new TEdit(this);
    e->SetParent(this);
    e->SetBounds(2 * Margin + LabelWidth, top, EditWidth, 21);
    NoteActivityOnMouse(e);
    top += 28;
    return e;
  };
  GroupIDEdit = edit("D56_GroupID");
  GroupIDEdit->SetEnabled(false);
  GroupNameEdit = edit("D56_GroupName");
  GroupNameEdit->OnChange = [this](TComponent*) { Changed(); };
  label("D56_GroupPermissions");
  GroupPermissionsCheckListBox = new TStyCheckList(this);
  GroupPermissionsCheckListBox->SetParent(this);
  GroupPermissionsCheckListBox->SetBounds(2 * Margin + LabelWidth, top, EditWidth, 100);
  GroupPermissionsCheckListBox->OnChange = [this](TComponent*, int, TCheckBoxState) { Changed(); };
  NoteActivityOnMouse(GroupPermissionsCheckListBox);
  for (int r = 0; r < UserRightCount; ++r) GroupPermissionsCheckListBox->AddItem(LoadResString(UserAction2String(r)));
  // Every right in view.
  const int list_height = UserRightCount * GroupPermissionsCheckListBox->ItemHeight() + 6;
  GroupPermissionsCheckListBox->SetBounds(2 * Margin + LabelWidth, top, EditWidth, list_height);
  top += list_height + 8;
  SettingsBox->SetBounds(Margin, 8, 2 * Margin + LabelWidth + EditWidth, top - 8);
  OKButton = MakeDlgButton(this, "b_&OK", mrOk);
  OKButton->SetDefault(true);
  CancelButton = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  const int buttons_top = top + 12;
  PlaceDlgButtons(3 * Margin + LabelWidth + EditWidth - 2 * DlgButtonWidth - DlgButtonGap, buttons_top,
                  {OKButton, CancelButton});
  SetBounds(Left(), Top(), 4 * Margin + LabelWidth + EditWidth, buttons_top + DlgButtonHeight + 12);
  SetActiveControl(GroupNameEdit);
}

void TD56_EditGroup::Changed() {
  NoteUserActivity();
  modified_ = true;
}

void TD56_EditGroup::SetGroup(int32_t id, const std::string& name, uint16_t rights, bool admin_fixed) {
  GroupIDEdit->SetText(std::to_string(id));
  GroupNameEdit->SetText(name);
  for (int r = 0; r < UserRightCount; ++r) {
    GroupPermissionsCheckListBox->SetItemChecked(r, (rights >> r) & 1);
    GroupPermissionsCheckListBox->SetItemEnabled(r, !(admin_fixed && r == urIsAdmin));
  }
  modified_ = false;
}

uint16_t TD56_EditGroup::Rights() const {
  uint16_t rights = 0;
  for (int r = 0; r < UserRightCount; ++r)
    if (GroupPermissionsCheckListBox->ItemChecked(r)) rights = static_cast<uint16_t>(rights | (1u << r));
  return rights;
}

namespace {

class TD56Port : public TEditGroupDialogPort {
public:
  TD56Port() : form_(std::make_unique<TD56_EditGroup>(Application)) {}
  void SetGroup(int32_t id, const std::string& name, uint16_t rights, bool admin_fixed) override {
    form_->SetGroup(id, name, rights, admin_fixed);
  }
  std::string GroupName() const override { return form_->GroupNameEdit->Text(); }
  uint16_t Rights() const override { return form_->Rights(); }
  bool Modified() const override { return form_->Modified(); }
  void SetCaption(const std::string& caption) override { form_->SetText(caption); }
  void Beep() override { MessageBeep(); }
  int ShowModal() override {
    D56_EditGroup = form_.get();
    const int result = form_->ShowModal();
    D56_EditGroup = nullptr;
    return result;
  }

private:
  std::unique_ptr<TD56_EditGroup> form_;
};

}  // namespace

std::unique_ptr<TEditGroupDialogPort> CreateD56EditGroup() { return std::make_unique<TD56Port>(); }

}  // namespace qv
