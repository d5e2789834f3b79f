#pragma once
// The program's one selection dialog, as every layer reaches it: installed by the shell at
// start-up.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/rtl/string_list.h"

namespace qv {

// Runs the one-instance selection dialog (caption, two prompts, style 0 to 3, the choices, the
// preselected index or -1); answers the modal result, 1 for OK, after which index is the chosen
// entry.
using TSelectDlgProc = std::function<int(const std::string& caption, const std::string& text1, const std::string& text2,
                                         uint8_t style, TStringList& list, int32_t& index)>;
extern TSelectDlgProc SelectDlgProc;
// SelectDlgProc, or 2 (Cancel) while none is installed.
int RunSelectDlg(const std::string& caption, const std::string& text1, const std::string& text2, uint8_t style,
                 TStringList& list, int32_t& index);

}  // namespace qv
