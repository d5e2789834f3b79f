#pragma once
// What the visual objects use of the application shell: the title dialog and the print-selection
// dialog. The shell installs both at start-up; the visual objects never include the shell.
// Without them the dialogs count as cancelled.
#include <cstdint>
#include <functional>
#include <string>

namespace qv {

class TOpenPictureDialog;

// Runs the one-instance title dialog (caption, automatic title, the custom title in and out) and
// answers its modal result, 1 for OK.
using TEditTitleDlgProc =
    std::function<int(const std::string& caption, const std::string& standard_title, std::string& custom_title)>;
extern TEditTitleDlgProc EditTitleDlgProc;

// Shows the print-selection dialog modally; on OK (result 1) selection is the chosen item, 0 to 6.
using TPrintSelectDlgProc = std::function<int(int32_t& selection)>;
extern TPrintSelectDlgProc PrintSelectDlgProc;

// The program's picture-open dialog (of the form that holds the common dialogs), or null.
using TPictureDialogProc = std::function<TOpenPictureDialog*()>;
extern TPictureDialogProc PictureDialogProc;

}  // namespace qv
