#pragma once
// Texts of forms and frames given as translation keys. Setting a text through TTextKeys shows
// the key's text in the language in use and remembers the key, so that after a change of
// language every open form shows its texts in the new language at once, in place.
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "platform/rtl/component.h"

namespace qv {

class TControl;
class TForm;

// A form, frame or helper that can show its texts again in the language in use.
class TTranslatable {
public:
  virtual ~TTranslatable() = default;
  // Shows every text anew. An override calls its base class's first.
  virtual void Retranslate() = 0;
};

// The keys of the texts of one form or frame; owned by it. A bound component that is freed is
// forgotten.
class TTextKeys : public TComponent, public TTranslatable {
public:
  explicit TTextKeys(TComponent* owner);
  ~TTextKeys() override;
  std::string ClassName() const override { return "TTextKeys"; }

  void Caption(TControl* control, const std::string& key);
  void Hint(TControl* control, const std::string& key);
  // Any other text of Target (a menu item's caption, a list's item, a column title): Slot names
  // it among Target's texts; Setter shows the translated text.
  void Text(TComponent* target, const std::string& slot, std::function<void(const std::string&)> setter,
            const std::string& key);
  // The key bound to a text, or "" when none.
  std::string KeyOf(TComponent* target, const std::string& slot) const;
  void Forget(TComponent* target);

  void Retranslate() override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  struct TBinding {
    std::function<void(const std::string&)> setter;
    std::string key;
  };
  std::map<std::pair<TComponent*, std::string>, TBinding> bindings_;
};

// Re-translates one form: its translatable components (frames, key tables; inner ones first),
// then the form itself when it is translatable. Positions of the form and its frames are kept.
void RetranslateForm(TForm* form);
// Every form of the screen.
void RetranslateOpenForms();
// Makes the translation runtime re-translate the open forms after each change of language.
// Called by the multilingual forms themselves; the program may call it at start-up.
void InstallFormTranslation();

}  // namespace qv
