#pragma once
// The language dialog: the languages that have a language file, by name, and the switch to the
// chosen one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/forms.h"

namespace qv {

class TButton;
class TListBox;
class TTextKeys;

struct TLanguageItem {
  uint32_t Locale = 0;
  std::string Name;
};

class TIvSelectResourceLanguageDialog : public TForm {
public:
  explicit TIvSelectResourceLanguageDialog(TComponent* owner);
  ~TIvSelectResourceLanguageDialog() override;
  std::string ClassName() const override { return "TIvSelectResourceLanguageDialog"; }

  // Options, set before FillList.
  bool NativeNames = true;
  bool SameCodePageOnly = false;
  // The locale of the built-in texts; 0 when they are not offered.
  uint32_t BuiltInLocale = 0;

  // Lists BuiltInLocale (when not 0) and every locale with a language file, sorted by name, and
  // selects the language in use, else the built-in one, else the first entry.
  void FillList();
  // The locale of the selected entry; 0 when none is selected.
  uint32_t SelectedLocale();
  // Selects the entry of Locale; false when it is not listed.
  bool SelectLocale(uint32_t locale);
  const std::vector<std::unique_ptr<TLanguageItem>>& Items() const { return items_; }

  TListBox* LanguageList;
  TButton* OKButton;
  TButton* CancelButton;

private:
  TTextKeys* keys_;
  std::vector<std::unique_ptr<TLanguageItem>> items_;
};

// Flags of SelectResourceLanguage.
constexpr int slNonNativeNames = 1;
constexpr int slSameCodePageOnly = 2;
constexpr int slKeepThreadLocale = 8;

// Runs the dialog at Position. On OK hides Form (when given), switches to the chosen language
// (the built-in locale meaning the built-in texts) and shows Form again; the result is that of
// the switch. False on Cancel.
bool SelectResourceLanguage(TPosition position, int flags, uint32_t built_in_locale, TForm* form);

}  // namespace qv
