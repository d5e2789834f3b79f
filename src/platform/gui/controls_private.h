#pragma once
// What the units of the controls share: the mouse capture, the cursor, the top-level windows and
// the conversion between Qt's input and window messages. Included only by the GUI layer's units.
#include <cstdint>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/gui/qt_private.h"

namespace qv {

// The control that has captured the mouse, null when none.
extern TControl* g_capture;
// Set while the capture was taken by SetMouseCapture (not by a press on the control itself).
extern bool g_capture_explicit;
// The cursor as last seen, or as a test placed it (then g_cursor_set).
extern bool g_cursor_set;
extern TPoint g_cursor;
std::vector<TWinControl*>& TopLevels();
// False once the control is freed (or before it was made).
bool ControlAlive(const TControl* control);

TShiftState ShiftFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons);
uintptr_t KeysFromShift(TShiftState s);
TShiftState ShiftFromKeys(uintptr_t k);
uint16_t VirtualKey(int qt_key);
int QtKey(uint16_t vk);

}  // namespace qv
