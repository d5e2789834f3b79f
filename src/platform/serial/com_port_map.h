#pragma once
// Which device a serial port number "COMn" stands for, and which ports are present.
//
// The program maps a number through the "COMn=" keys of its INI file's [SerialPorts] section; it
// installs that lookup as a hook so that this layer needs no INI class. Without an entry the
// fixed rule applies: COM1-99 are /dev/ttyUSB0-98, COM101-199 /dev/ttyACM0-98, COM201-255
// /dev/ttyS0-54.
#include <functional>
#include <string>
#include <vector>

namespace qv {

// Answers the configured device path of a COM number, or "" when none is configured.
using TComPortMapHook = std::function<std::string(int com_number)>;

// Installs (or, with an empty function, removes) the lookup of configured devices.
void SetComPortMapHook(TComPortMapHook hook);

// The device path of COM number n; "" for a number that names no device (0, 100, 200, > 255).
std::string ComPortDeviceName(int com_number);

// True when the device of COM number n exists (not opened).
bool ComPortExists(int com_number);

// Every COM number 1 to 255 whose device exists, ascending; nothing is opened.
std::vector<int> ExistingComPorts();

// True when the port can be opened now, or exists but is held by someone else; it is closed
// again at once.
bool ComPortAvailable(int com_number);

}  // namespace qv
