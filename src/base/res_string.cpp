#include "base/res_string.h"

#include <atomic>

namespace qv {

namespace {
std::atomic<TResStringLookup> g_lookup{nullptr};
}

std::string LoadResString(const std::string& key) {
  TResStringLookup lookup = g_lookup.load();
  return lookup ? lookup(key) : key;
}

void SetResStringLookup(TResStringLookup lookup) { g_lookup.store(lookup); }

}  // namespace qv
