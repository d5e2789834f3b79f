#include "base/res_string.h"

#include <atomic>

#include "base/language_file.h"

namespace qv {

namespace {
std::atomic<TResStringLookup> g_lookup{nullptr};
// Replaced as a whole on a change of language while other threads may be looking up.
std::atomic<std::shared_ptr<const TLanguageTexts>> g_texts;
}  // namespace

std::string LoadResString(const std::string& key) {
  if (TResStringLookup lookup = g_lookup.load()) return lookup(key);
  std::shared_ptr<const TLanguageTexts> texts = g_texts.load();
  if (texts) {
    if (const std::string* text = texts->Find(key)) return *text;
  }
  return key;
}

void SetLanguageTexts(std::shared_ptr<const TLanguageTexts> texts) { g_texts.store(std::move(texts)); }

std::shared_ptr<const TLanguageTexts> LanguageTexts() { return g_texts.load(); }

void SetResStringLookup(TResStringLookup lookup) { g_lookup.store(lookup); }

}  // namespace qv
