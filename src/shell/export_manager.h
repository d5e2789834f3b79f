#pragma once
// The export command of the logger main window: runs the export wizard, writes the export file
// under the progress window and keeps the user's choices in section [Export] of the program INI
// file.
#include <string>

namespace qv {

class TControl;
class TMenuItem;
class TTxtExpModul;

class TExportManager {
public:
  // Sets ExportManager.
  TExportManager();
  // Clears ExportManager and the click actions it gave.
  ~TExportManager();
  TExportManager(const TExportManager&) = delete;
  TExportManager& operator=(const TExportManager&) = delete;

  // Remembers the control and makes the export command its click action; the same control
  // again does nothing, null forgets it. A control that is replaced or forgotten loses the
  // action, so its owner unbinds it (null) before freeing it.
  void SetExportMenu(TMenuItem* item);
  void SetExportBtn(TControl* button);
  TMenuItem* ExportMenu() const { return menu_; }
  TControl* ExportBtn() const { return button_; }

  // The export command; does nothing while the wizard is open. Errors of the export pass on,
  // and [Export] is then left as it was.
  void ExportClick();

private:
  TMenuItem* menu_ = nullptr;
  TControl* button_ = nullptr;
};

extern TExportManager* ExportManager;

// The program folder + "Export" + n + ".txt" for the first n from 1 to 99 that names no file;
// "Export99.txt" when all do.
std::string ProposeExportFileName(const std::string& folder);

// Writes the export under the progress window, whose Cancel stops the run and leaves the file as
// it was (no file when there was none). True when the export was written; false when cancelled.
// Errors of the run pass on after the window has closed.
bool RunExportUnderProgress(TTxtExpModul& module);

}  // namespace qv
