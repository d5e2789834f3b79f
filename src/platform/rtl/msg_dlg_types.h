#pragma once
// The kinds, buttons and modal results of message dialogs. Kept apart from the GUI layer, so that
// code which only asks questions (through a hook the program installs) does not need it.
#include <cstdint>

namespace qv {

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
              mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint32_t {
  mbYes = 1,
  mbNo = 2,
  mbOK = 4,
  mbCancel = 8,
  mbAbort = 16,
  mbRetry = 32,
  mbIgnore = 64,
  mbAll = 128,
  mbNoToAll = 256,
  mbYesToAll = 512,
  mbHelp = 1024
};
using TMsgDlgButtons = uint32_t;
constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;

}  // namespace qv
