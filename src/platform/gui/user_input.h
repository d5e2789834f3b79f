#pragma once
// A user's mouse and keyboard for tests. Every event enters through the window system's entry
// point of the top-level window under the pointer, so it reaches the widget there as a real one
// does: a window blocked by a modal one gets nothing, a pressed control keeps the mouse until the
// release, and pop-up menus take the mouse while they are open.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/controls.h"

namespace qv {

class TListBox;
class TMenuItem;

// Client point of the control's centre.
TPoint CentreOf(const TControl* control);

// A left click (press and release) at a client point of the control; the centre by default.
void UserClick(TControl* control);
void UserClick(TControl* control, TPoint client, TShiftState shift = 0);
void UserDoubleClick(TControl* control, TPoint client);
// A right click, which opens the control's context menu.
void UserRightClick(TControl* control, TPoint client);
// A press at a client point of `control`; the release may happen over another point, also one
// outside the control (negative or past its size), which lies in the same top-level window.
void UserPress(TControl* control, TPoint client);
void UserMove(TControl* control, TPoint client);
// The mouse wheel turned over a client point of the control: notches > 0 away from the user (up),
// < 0 towards the user (down).
void UserWheel(TControl* control, TPoint client, int notches);
void UserRelease(TControl* control, TPoint client);

// Brings a list box's entry into view with the arrow keys, as a user scrolls to it, and clicks
// it. False when there is no such entry.
bool UserClickListItem(TListBox* list, int index);

// Keys typed on the window that has the keyboard focus (the topmost modal one first).
void UserKey(uint16_t virtual_key, TShiftState shift = 0);
void UserType(const std::string& text);
// Selects all of the text of the focused edit and types text in its place.
void UserRetype(TControl* edit, const std::string& text);

// Opens the menus on the way to item with clicks, from the form's menu bar down, and clicks the
// item. False when an item on the way is not shown or not enabled.
bool UserChooseMenu(TMenuItem* item);

// Clicks the entry with this caption in the pop-up menu now open. False when there is none.
bool UserChoosePopupItem(const std::string& caption);

// The topmost modal window now open.
struct TModalWindow {
  // Tells one window from another while it is open.
  const void* Id = nullptr;
  // The program's form, null for a message box or a common dialog.
  TForm* Form = nullptr;
  // A message box's message, else the window's title.
  std::string Text;
  // The captions of its push buttons, without accelerator marks.
  std::vector<std::string> Buttons;
};
bool TopModalWindow(TModalWindow& out);
// Clicks the push button with this caption (accelerator marks ignored) in the topmost modal
// window. False when there is no such button.
bool UserClickDialogButton(const std::string& caption);

}  // namespace qv
