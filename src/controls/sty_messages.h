#pragma once
// Component messages the styled controls send each other, and their common setter form.
#include <cstdint>

#include "platform/gui/controls.h"

namespace qv {

constexpr uint32_t CM_STY_BLINKQUERY = CM_BASE + 1000;  // answered 1 by a control blinking now
constexpr uint32_t CM_STY_BLINKSTATE = CM_BASE + 1001;  // WParam: the blinking list's new state
constexpr uint32_t CM_STY_SHOWCAPTIONSCHANGED = CM_BASE + 1002;
constexpr uint32_t CM_STY_BUTTONLAYOUTCHANGED = CM_BASE + 1003;
constexpr uint32_t CM_STY_BUTTONSIZECHANGED = CM_BASE + 1004;

}  // namespace qv

// The styled controls' property setter: a changed value is stored and the control repaints;
// an unchanged value does nothing.
#define QV_STY_REPAINT_SETTER(Class, Name, Type, field) \
  void Class::Set##Name(Type v) {                       \
    if (v == field) return;                             \
    field = v;                                          \
    Invalidate();                                       \
  }
