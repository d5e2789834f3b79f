#pragma once
// What the device model uses of the application shell and of the recorder, installed by them
// at start-up: the selection dialog (base/select_dlg.h) and the recorder's stop confirmation.
#include <functional>

#include "base/select_dlg.h"

namespace qv {

// Asks the user whether the running recorder may stop, and stops it on yes; true when the
// recorder is (now) not running. Not set while there is no recorder.
extern std::function<bool()> RecorderConfirmStop;

}  // namespace qv
