#include "shell/db_shell_controls.h"

#include <gtest/gtest.h>

#include "devices/device_fixture.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

class DbShellControls : public test::DeviceFixture {
protected:
  DbShellControls() : old_ini_(IniFileName) {
    InitializeGui();
    IniFileName = home.File("quarvel.INI");
  }
  ~DbShellControls() override { IniFileName = old_ini_; }

private:
  std::string old_ini_;
};

TEST_F(DbShellControls, ComboAndMenuOfTheMainWindowFollowTheShell) {
  {
    auto root = LoadRoot();
    AddDevice(root.get(), "Cellar", 1);
    AddDevice(root.get(), "Attic");
  }
  TForm form(nullptr);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  TMainMenu menu(&form);
  auto* devices = new TMenuItem(&form);
  menu.Items()->Add(devices);
  TDbShellComboBox combo_adapter(combo);
  TDbShellMenuItem menu_adapter(devices);

  TDbShell shell;
  int changes = 0;
  shell.OnChange = [&](TDbShell*) { ++changes; };
  shell.SetDeviceCombo(&combo_adapter);
  shell.SetSelDevMenu(&menu_adapter);
  ASSERT_EQ(combo->Items().Count(), 2);
  ASSERT_EQ(devices->Count(), 2);
  EXPECT_EQ(devices->Items(1)->Caption(), "&2  DL002 Attic");
  EXPECT_TRUE(devices->Enabled());
  EXPECT_GE(combo->Width(), 120);

  // The user picks in the combo box, then in the menu.
  changes = 0;
  combo->SetItemIndex(1);
  combo->OnSelect(combo);
  EXPECT_EQ(shell.SelIndex(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(devices->Items(1)->Checked());
  EXPECT_FALSE(devices->Items(1)->Enabled());
  devices->Items(0)->Click();
  EXPECT_EQ(shell.SelIndex(), 0);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(shell.GetSelDevice()->Name(), "Cellar");
  EXPECT_EQ(changes, 2);

  // A removed device takes its menu entry with it.
  shell.Root()->EraseChild(shell.Root()->GetChild(1), false);
  EXPECT_EQ(devices->Count(), 1);
  EXPECT_EQ(combo->Items().Count(), 1);
}

}  // namespace
}  // namespace qv
