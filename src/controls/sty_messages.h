#pragma once
// Component messages the styled controls send each other.
#include <cstdint>

#include "platform/gui/controls.h"

namespace qv {

constexpr uint32_t CM_STY_BLINKQUERY = CM_BASE + 1000;       // answered 1 by a control blinking now
constexpr uint32_t CM_STY_BLINKSTATE = CM_BASE + 1001;       // WParam: the blinking list's new state
constexpr uint32_t CM_STY_SHOWCAPTIONSCHANGED = CM_BASE + 1002;
constexpr uint32_t CM_STY_BUTTONLAYOUTCHANGED = CM_BASE + 1003;
constexpr uint32_t CM_STY_BUTTONSIZECHANGED = CM_BASE + 1004;

}  // namespace qv
