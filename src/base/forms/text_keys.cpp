#include "base/forms/text_keys.h"

#include <vector>

#include "base/res_string.h"
#include "base/resource_locale.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"

namespace qv {

TTextKeys::TTextKeys(TComponent* owner) : TComponent(owner) { InstallFormTranslation(); }

TTextKeys::~TTextKeys() {
  BeginDestroy();
  for (auto& [id, binding] : bindings_)
    if (id.first != this) id.first->RemoveFreeNotification(this);
}

void TTextKeys::Caption(TControl* control, const std::string& key) {
  Text(
      control, "Caption", [control](const std::string& s) { control->SetText(s); }, key);
}

void TTextKeys::Hint(TControl* control, const std::string& key) {
  Text(
      control, "Hint", [control](const std::string& s) { control->SetHint(s); }, key);
}

void TTextKeys::Text(TComponent* target, const std::string& slot, std::function<void(const std::string&)> setter,
                     const std::string& key) {
  if (!target || !setter) return;
  setter(LoadResString(key));
  target->FreeNotification(this);
  bindings_[{target, slot}] = TBinding{std::move(setter), key};
}

std::string TTextKeys::KeyOf(TComponent* target, const std::string& slot) const {
  auto it = bindings_.find({target, slot});
  return it == bindings_.end() ? std::string() : it->second.key;
}

void TTextKeys::Forget(TComponent* target) {
  for (auto it = bindings_.begin(); it != bindings_.end();)
    it = it->first.first == target ? bindings_.erase(it) : std::next(it);
}

void TTextKeys::Retranslate() {
  for (auto& [id, binding] : bindings_) binding.setter(LoadResString(binding.key));
}

void TTextKeys::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove) Forget(component);
}

namespace {

// The translatable components below Root, inner ones first, with the controls they belong to.
void Collect(TComponent* root, std::vector<TComponent*>& out) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    Collect(c, out);
    if (dynamic_cast<TTranslatable*>(c)) out.push_back(c);
  }
}

}  // namespace

void RetranslateForm(TForm* form) {
  if (!form) return;
  std::vector<TComponent*> parts;
  Collect(form, parts);
  for (TComponent* part : parts) {
    // A frame's texts must not move it, whatever its texts do to its layout.
    auto* control = dynamic_cast<TControl*>(part);
    const int left = control ? control->Left() : 0, top = control ? control->Top() : 0;
    dynamic_cast<TTranslatable*>(part)->Retranslate();
    if (control && (control->Left() != left || control->Top() != top)) {
      control->SetLeft(left);
      control->SetTop(top);
    }
  }
  const std::string name = form->Name();
  const int left = form->Left(), top = form->Top();
  if (auto* t = dynamic_cast<TTranslatable*>(form)) t->Retranslate();
  if (form->Name() != name) form->SetName(name);
  if (form->Left() != left || form->Top() != top) {
    form->SetLeft(left);
    form->SetTop(top);
  }
}

void RetranslateOpenForms() {
  if (!Screen) return;
  std::vector<TForm*> forms;
  for (int i = 0; i < Screen->FormCount(); ++i) forms.push_back(Screen->Forms(i));
  for (TForm* form : forms) RetranslateForm(form);
}

void InstallFormTranslation() { SetFormsRetranslation(&RetranslateOpenForms); }

}  // namespace qv
