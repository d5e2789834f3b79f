#include "datastore/navigator.h"

namespace qv {

TNavigator0* DtNavigator = nullptr;

TNavigator0::~TNavigator0() {
  if (DtNavigator == this) DtNavigator = nullptr;
}

}  // namespace qv
