#pragma once
// What the parts of the dispatcher share: the kinds of its log entries and the count of the
// handlers that are still registered.
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qv {

// Log entry types and subtypes.
constexpr uint8_t ltDispatch = 1, ltTrigger = 2, ltTrigAllc = 5, ltTrigDisp = 6, ltTrgHdAlc = 7, ltTrgHdDsp = 8,
                  ltTrDatChg = 9;
constexpr uint8_t lsReadCom = 1, lsWriteCom = 2, lsAvail = 5, lsTimer = 6, lsData = 7, lsStatus = 8, lsAllocTimer = 14,
                  lsAllocStatus = 15, lsAvailChange = 16, lsWindow = 17, lsMethod = 19;

// Handlers not removed during a delivery.
template <typename List>
ptrdiff_t LiveCount(const List& list) {
  return std::count_if(list.begin(), list.end(), [](const auto& e) { return !e.Deleted; });
}

}  // namespace qv
