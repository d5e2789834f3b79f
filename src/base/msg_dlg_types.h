#pragma once
// The look of a message dialog: its type and its button set, as the GUI layer's message dialog
// takes them.
#include <cstdint>

namespace qv {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint32_t { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64, mbAll = 128, mbNoToAll = 256, mbYesToAll = 512, mbHelp = 1024 };
using TMsgDlgButtons = uint32_t;

}  // namespace qv
