#pragma once
// The program's window until the logger main window takes its place: the device list and the
// device menu over the device-database shell and the connection.
#include <memory>
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TDbShellComboBox;
class TDbShellMenuItem;

class TInterimMainForm : public TForm {
public:
  explicit TInterimMainForm(TComponent* owner);
  // Unbinds its controls from the shell and the connection.
  ~TInterimMainForm() override;
  std::string ClassName() const override { return "TInterimMainForm"; }

  TMainMenu* MainMenu;
  TComboBox* DeviceComboB;
  TLabel* InfoLabel;
  // The menu item by component name ("FMenSelDev", "IMenComm", ...), null when absent.
  TMenuItem* Item(const std::string& name) const;

private:
  TMenuItem* AddItem(TMenuItem* parent, const std::string& name, std::function<void()> click = nullptr);
  std::unique_ptr<TDbShellComboBox> combo_adapter_;
  std::unique_ptr<TDbShellMenuItem> menu_adapter_;
};

}  // namespace qv
