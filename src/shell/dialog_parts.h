#pragma once
// What the shared dialogs build alike: buttons, labels, the user-activity note and the text
// width of a caption.
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

constexpr int DlgButtonWidth = 75;
constexpr int DlgButtonHeight = 25;
constexpr int DlgButtonGap = 8;

// A button on form with the translated caption of key and the modal result (0: none).
TButton* MakeDlgButton(TForm* form, const std::string& key, int modal_result);
// A word-wrapping label on form with the translated text of key.
TLabel* MakeDlgLabel(TForm* form, const std::string& key, int left, int top, int width);
// Mouse moves over the control note user activity.
void NoteActivityOnMouse(TControl* control);
// The width of text in the control's font.
int DlgTextWidth(const TControl* control, const std::string& text);
// Places the buttons side by side from left at top.
void PlaceDlgButtons(int left, int top, std::initializer_list<TButton*> buttons);

}  // namespace qv
