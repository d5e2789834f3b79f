#pragma once
// The editors of the device tree's nodes, installed for the explorer at start-up.

namespace qv {

void InstallDeviceEditors();

}  // namespace qv
