#pragma once
// The two parts of a list pane in the channel dialogs: a caption on top and the list below it.

#include <string>

#include "controls/sty_panel.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

TStyPanel* PaneHeader(TComponent* owner, TWinControl* pane, const std::string& key);
TListBox* PaneList(TComponent* owner, TWinControl* pane);

}  // namespace qv
