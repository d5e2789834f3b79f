#pragma once
// The GUI side of the communication layer's hooks.

namespace qv {

// Installs the menu item binding, the busy cursor, the main loop and the warning sound as the communication
// layer's hooks (see comm/comm_gui_hooks.h).
void InstallCommGuiHooks();

}  // namespace qv
