#include "archive/forms/d61_select_doc_type.h"

#include <memory>

#include "archive/archive_globals.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

TD61_SelectDocType* D61_SelectDocType = nullptr;
TD67_EnterFileName* D67_EnterFileName = nullptr;

namespace {
constexpr int Margin = 10;
}  // namespace

TD61_SelectDocType::TD61_SelectDocType(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D61_SelectDocType"));
  NoteActivityOnMouse(this);
  constexpr int Width = 2 * DlgButtonWidth + DlgButtonGap + 2 * 110 + DlgButtonGap;
  DocTypeListBox = new TListBox(this);
  DocTypeListBox->SetParent(this);
  DocTypeListBox->SetBounds(Margin, Margin, Width, 180);
  DocTypeListBox->OnClick = [](TComponent*) { NoteUserActivity(); };
  NoteActivityOnMouse(DocTypeListBox);
  OkButton = MakeDlgButton(this, "&OK", SelectDocTypeOk);
  OkButton->SetDefault(true);
  CancelButton = MakeDlgButton(this, "&Cancel", SelectDocTypeCancel);
  CancelButton->SetCancel(true);
  DeleteDocTypeButton = MakeDlgButton(this, "D61_DeleteDocType", SelectDocTypeDelete);
  NewDocTypeButton = MakeDlgButton(this, "D61_NewDocType", SelectDocTypeNew);
  for (TButton* b : {OkButton, CancelButton, DeleteDocTypeButton, NewDocTypeButton})
    b->OnClick = [](TComponent*) { NoteUserActivity(); };
  const int buttons_top = Margin + 180 + 10;
  DeleteDocTypeButton->SetBounds(Margin, buttons_top, 110, DlgButtonHeight);
  NewDocTypeButton->SetBounds(Margin + 110 + DlgButtonGap, buttons_top, 110, DlgButtonHeight);
  PlaceDlgButtons(Margin + Width - 2 * DlgButtonWidth - DlgButtonGap, buttons_top, {OkButton, CancelButton});
  SetBounds(Left(), Top(), Width + 2 * Margin, buttons_top + DlgButtonHeight + Margin);
  SetActiveControl(DocTypeListBox);
}

TD67_EnterFileName::TD67_EnterFileName(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D67_EnterFileName"));
  NoteActivityOnMouse(this);
  constexpr int Width = 300;
  FileNameEdit = new TEdit(this);
  FileNameEdit->SetParent(this);
  FileNameEdit->SetBounds(Margin, Margin, Width, 21);
  FileNameEdit->OnChange = [](TComponent*) { NoteUserActivity(); };
  NoteActivityOnMouse(FileNameEdit);
  OkButton = MakeDlgButton(this, "&OK", 0);
  OkButton->SetDefault(true);
  OkButton->OnClick = [this](TComponent*) { OkButtonClick(); };
  PlaceDlgButtons(Margin + Width - DlgButtonWidth, Margin + 31, {OkButton});
  SetBounds(Left(), Top(), Width + 2 * Margin, Margin + 31 + DlgButtonHeight + Margin);
  SetActiveControl(FileNameEdit);
}

void TD67_EnterFileName::OkButtonClick() {
  NoteUserActivity();
  if (IsCreatableFileName(folder_, FileNameEdit->Text())) {
    SetModalResult(mrOk);
    return;
  }
  FileNameEdit->SetFocus();
  FileNameEdit->SelectAll();
}

int RunSelectDocType(const std::vector<std::string>& names, int& index, bool all_buttons) {
  if (D61_SelectDocType) return SelectDocTypeCancel;
  auto dialog = std::make_unique<TD61_SelectDocType>(Application);
  D61_SelectDocType = dialog.get();
  for (const std::string& name : names) dialog->DocTypeListBox->Items().Add(name);
  dialog->DocTypeListBox->SyncItems();
  dialog->NewDocTypeButton->SetVisible(all_buttons);
  dialog->DeleteDocTypeButton->SetVisible(all_buttons);
  dialog->OkButton->SetEnabled(!names.empty());
  dialog->DeleteDocTypeButton->SetEnabled(!names.empty());
  if (index >= 0 && index < static_cast<int>(names.size())) dialog->DocTypeListBox->SetItemIndex(index);
  int result = dialog->ShowModal();
  if (result < SelectDocTypeOk || result > SelectDocTypeNew) result = SelectDocTypeCancel;
  index = dialog->DocTypeListBox->ItemIndex();
  D61_SelectDocType = nullptr;
  return result;
}

bool RunEnterFileName(const std::string& folder, std::string& name) {
  if (D67_EnterFileName) return false;
  auto dialog = std::make_unique<TD67_EnterFileName>(Application);
  D67_EnterFileName = dialog.get();
  dialog->SetFolder(folder);
  dialog->FileNameEdit->SetText(name);
  const bool ok = dialog->ShowModal() == mrOk;
  if (ok) name = dialog->FileNameEdit->Text();
  D67_EnterFileName = nullptr;
  return ok;
}

}  // namespace qv
