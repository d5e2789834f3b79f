#include "datastore/expl_element.h"

namespace qv {

TExplEditor::~TExplEditor() {
  if (release_) release_(this);
  frame_.reset();
}

void TExplEditor::EditChange(void* /*sender*/) { DoModified(); }

void TExplEditor::CreateFrame(TWinControl* parent) {
  frame_.reset();
  const TExplFrameClass* frame_class = GetFrameClass();
  if (frame_class && frame_class->Create && parent) frame_ = frame_class->Create(parent);
}

bool TExplEditor::Validate() { return true; }

void TExplEditor::DoModified() {
  // Writes of the program itself into the controls are no user edits.
  if (updating_) return;
  if (on_modified_) on_modified_(this);
  modified_ = true;
}

void TExplEditor::DoNameChange(const std::string& text) {
  if (on_name_change_) on_name_change_(this, text);
}

TExplElement::~TExplElement() { CloseEditor(false); }

bool TExplElement::CloseEditor(bool accept) {
  if (!editor_) return true;
  if (accept && !AcceptEditor()) return false;
  std::unique_ptr<TExplEditor> editor = std::move(editor_);
  editor->SetOnNameChange(nullptr);
  editor->SetReleaseCallback(nullptr);
  editor.reset();
  return true;
}

void TExplElement::EditorReleased(TExplEditor* sender) {
  // The editor is being freed by its other owner; forget it without freeing it again.
  if (editor_.get() == sender) (void)editor_.release();
}

void TExplElement::SelectElement(TExplElement* element, bool refill) {
  if (on_select_) on_select_(this, element, refill);
}

void TExplElement::SetEditor(std::unique_ptr<TExplEditor> editor) {
  CloseEditor(false);
  editor_ = std::move(editor);
  if (editor_) editor_->SetReleaseCallback([this](TExplEditor* sender) { EditorReleased(sender); });
}

}  // namespace qv
