#pragma once
// The setter's first step: store the new value only when it differs, so that the setter reacts
// (repaints, reopens, tells its clients) to a real change only.
#include <utility>

namespace qv {

// Stores value in field when they differ; answers whether it did.
template <class T, class U>
bool StoreChanged(T& field, U&& value) {
  if (field == value) return false;
  field = std::forward<U>(value);
  return true;
}

}  // namespace qv
