#include "shell/db_shell_controls.h"

#include "base/archive_hooks.h"
#include "platform/gui/graphics.h"

namespace qv {

TDbShellComboBox::TDbShellComboBox(TComboBox* combo) : combo_(combo) {
  combo_->SetStyle(TComboBoxStyle::csDropDownList);
  combo_->OnSelect = [this](TComponent*) {
    NoteUserActivity();
    if (OnChange) OnChange();
  };
}

int TDbShellComboBox::ItemCount() const { return combo_->Items().Count(); }
void* TDbShellComboBox::ItemObject(int index) const { return combo_->Items().GetObject(index); }
int TDbShellComboBox::ItemIndex() const { return combo_->ItemIndex(); }
void TDbShellComboBox::SetItemIndex(int index) { combo_->SetItemIndex(index); }

void TDbShellComboBox::ClearItems() {
  combo_->Items().Clear();
  combo_->SyncItems();
}

void TDbShellComboBox::AddItem(const std::string& text, void* object) {
  // The native list follows once for the whole list, when the choice is next read or set; a
  // sync per entry refills it each time.
  combo_->Items().AddObject(text, object);
}

int TDbShellComboBox::TextWidth(const std::string& text) const {
  TCanvas& canvas = ScreenCanvas();
  TFont saved;
  saved.Assign(canvas.Font());
  canvas.Font().Assign(combo_->Font());
  const int width = canvas.TextWidth(text);
  canvas.Font().Assign(saved);
  return width;
}

void TDbShellComboBox::SetWidth(int width) { combo_->SetWidth(width); }
void TDbShellComboBox::SetEnabled(bool enabled) { combo_->SetEnabled(enabled); }

TDbShellMenuItem::TDbShellMenuItem(TMenuItem* item) : item_(item) {}

int TDbShellMenuItem::Count() const { return item_->Count(); }

void TDbShellMenuItem::Delete(int index) {
  TMenuItem* sub = item_->Items(index);
  item_->Remove(sub);
  delete sub;
}

void TDbShellMenuItem::Add() {
  auto* sub = new TMenuItem(item_->Owner());
  sub->OnClick = [this](TComponent* sender) {
    NoteUserActivity();
    if (OnItemClick) OnItemClick(static_cast<int>(sender->Tag));
  };
  item_->Add(sub);
}

void TDbShellMenuItem::SetItem(int index, const std::string& caption, int tag) {
  item_->Items(index)->SetCaption(caption);
  item_->Items(index)->Tag = tag;
}

void TDbShellMenuItem::SetItemState(int index, bool enabled, bool checked) {
  item_->Items(index)->SetEnabled(enabled);
  item_->Items(index)->SetChecked(checked);
}

void TDbShellMenuItem::SetEnabled(bool enabled) { item_->SetEnabled(enabled); }

void TDbShellMenuItem::BeginUpdate() {
  TMenu* menu = item_->Menu();
  if (menu) menu->BeginUpdate();
  updating_.push_back(menu);
}

void TDbShellMenuItem::EndUpdate() {
  if (updating_.empty()) return;
  TMenu* menu = updating_.back();
  updating_.pop_back();
  if (menu) menu->EndUpdate();
}

}  // namespace qv
