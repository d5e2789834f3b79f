#include "comm/com_port_list.h"

#include <charconv>

#include "platform/gui/forms.h"
#include "platform/serial/com_port_map.h"

namespace qv {

void ListComPorts(TStringList& list) {
  TScreen* screen = Screen;
  const TCursor old_cursor = screen ? screen->Cursor() : crDefault;
  if (screen) screen->SetCursor(crHourGlass);
  list.Clear();
  for (int n : ExistingComPorts()) list.Add("COM" + std::to_string(n));
  if (screen) screen->SetCursor(old_cursor);
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
