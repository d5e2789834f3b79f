#pragma once
// The text of a translation key. Until the translation runtime installs its look-up, a key's
// text is the key itself.
#include <string>

namespace qv {

using TResStringLookup = std::string (*)(const std::string& key);

std::string LoadResString(const std::string& key);
// Installed once at start-up by the translation runtime; null restores the keys themselves.
void SetResStringLookup(TResStringLookup lookup);

}  // namespace qv
