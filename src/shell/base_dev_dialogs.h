#pragma once
// Installs the dialogs of the base services and the device model where the model calls them.

namespace qv {

// Call after the message handler exists.
void InstallBaseDevDialogs();

}  // namespace qv
