#pragma once
// The logger main window: menu bar, toolbar, the monitor book in the client area and the status
// bar, with the handlers of its menu items and buttons.
#include <functional>
#include <string>

#include "shell/qv_base_form.h"

namespace qv {

class TComboBox;
class TMainMenu;
class TStyToolbar;

class TQVMainFm : public TQvBaseForm {
public:
  // Builds the layout only; Initialize (or CreateQVMainFm) runs the rest of the creation.
  explicit TQVMainFm(TComponent* owner);
  ~TQVMainFm() override;
  std::string ClassName() const override { return "TQVMainFm"; }

  TMainMenu* MainMenu = nullptr;
  TStyToolbar* ToolBar = nullptr;
  TComboBox* DeviceComboB = nullptr;
  // True until the first show.
  bool FirstShow = true;
  // Set when the window accepted to close.
  bool Closing = false;

  // The menu item or button by component name; null when absent.
  TMenuItem* Item(const std::string& name) const;
  TSpeedButton* Button(const std::string& name) const;

  bool mehFormCloseQuery() override;

  // Shows the archive window in place of this one; unset while the program has none, and then
  // the archive button is disabled.
  static std::function<void()> ShowArchiveWindow;
  // Closes the archive window once this window agreed to close; false when the archive refused
  // (then this window stays open). Unset while the program has no archive window.
  static std::function<bool()> CloseArchiveWindow;
  // Tells the archive window of a new language (it rebuilds its tree, closes its documents).
  static std::function<void()> ArchiveLanguageChanged;
  // Runs the re-log-on that waited while a window was minimised; called on every resize.
  static std::function<void()> RelogonOnResize;

protected:
  void CreateApplModule() override;
  bool EndsProgram() const override;
  void LanguageChanged() override;

private:
  TMenuItem* AddItem(TMenuItem* parent, const std::string& name, const std::string& key,
                     std::function<void()> click = nullptr);
  void AddSeparator(TMenuItem* parent);
  TSpeedButton* AddButton(const std::string& name, const std::string& hint_key, int glyph,
                          std::function<void()> click = nullptr);
  void AddToolSeparator();
  void BuildMenu();
  void BuildToolBar();
};

// The program's logger main window; null when there is none.
extern TQVMainFm* QVMainFm;

// Creates the window and runs its creation steps; a failed creation (InitFailed) still returns
// the window, as the caller decides how the program ends.
TQVMainFm* CreateQVMainFm(TComponent* owner);

}  // namespace qv
