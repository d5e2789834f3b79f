#pragma once
// The serial ports of the machine as the port choice lists them: "COM" and the number.
#include <string>

#include "platform/rtl/string_list.h"

namespace qv {

// Clears the list and fills it with "COM" + n for every port whose device exists, in ascending
// number; nothing is opened. The hourglass shows meanwhile. An empty list means no port.
void ListComPorts(TStringList& list);

// The number in a port text: the characters after the first three up to the first blank (or
// the end), at most 12 of them, as a decimal integer; 0 when that is not a number.
int ComPortNumber(const std::string& text);

}  // namespace qv
