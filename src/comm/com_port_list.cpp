#include "comm/com_port_list.h"

#include <charconv>

#include "comm/comm_gui_hooks.h"
#include "platform/serial/com_port_map.h"

namespace qv {

void ListComPorts(TStringList& list) {
  TBusyCursor busy;
  list.Clear();
  for (int n : ExistingComPorts()) list.Add("COM" + std::to_string(n));
}

int ComPortNumber(const std::string& text) {
  if (text.size() <= 3) return 0;
  std::string digits = text.substr(3, 12);
  digits = digits.substr(0, digits.find(' '));
  if (digits.empty()) return 0;
  int value = 0;
  const char* end = digits.data() + digits.size();
  auto [ptr, ec] = std::from_chars(digits.data(), end, value);
  if (ec != std::errc() || ptr != end) return 0;
  return value;
}

}  // namespace qv
