#pragma once
// The text of a translation key in the language in use. A key without a text in the loaded
// language file (or with no language file loaded) is its own text, so a missing translation
// shows where it is missing. Any thread.
#include <memory>
#include <string>

namespace qv {

class TLanguageTexts;

std::string LoadResString(const std::string& key);

// The texts that LoadResString serves; null returns to the keys themselves. The translation
// runtime installs them when it loads a language file.
void SetLanguageTexts(std::shared_ptr<const TLanguageTexts> texts);
std::shared_ptr<const TLanguageTexts> LanguageTexts();

// A look-up that takes precedence over the language file (tests translate with it); null
// removes it.
using TResStringLookup = std::string (*)(const std::string& key);
void SetResStringLookup(TResStringLookup lookup);

}  // namespace qv
