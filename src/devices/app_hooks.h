#pragma once
// What the device model uses of the application shell and of the recorder, installed by them
// at start-up: the one-instance selection dialog and the recorder's stop confirmation.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/rtl/string_list.h"

namespace qv {

// Runs the selection dialog (caption, two prompts, style 0 to 3, the choices, the preselected
// index or -1); answers the modal result, 1 for OK, after which index is the chosen entry.
using TSelectDlgProc = std::function<int(const std::string& caption, const std::string& text1, const std::string& text2,
                                         uint8_t style, TStringList& list, int32_t& index)>;
extern TSelectDlgProc SelectDlgProc;
// SelectDlgProc, or 2 (Cancel) while none is installed.
int RunSelectDlg(const std::string& caption, const std::string& text1, const std::string& text2, uint8_t style,
                 TStringList& list, int32_t& index);

// Asks the user whether the running recorder may stop, and stops it on yes; true when the
// recorder is (now) not running. Not set while there is no recorder.
extern std::function<bool()> RecorderConfirmStop;

}  // namespace qv
