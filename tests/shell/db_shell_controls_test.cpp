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

// The main window's menus are rebuilt once per change of the device list, not once per entry.
TEST_F(DbShellControls, TheMenuBarIsRebuiltOncePerListChange) {
  {
    auto root = LoadRoot();
    for (int i = 1; i <= 6; ++i) AddDevice(root.get(), "Logger " + std::to_string(i), i);
  }
  TForm form(nullptr);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  auto* menu = new TMainMenu(&form);
  auto* devices = new TMenuItem(&form);
  menu->Items()->Add(devices);
  form.SetMenu(menu);
  int rebuilds = 0;
  const auto rebuild = menu->OnItemsChanged;
  menu->OnItemsChanged = [&] {
    ++rebuilds;
    rebuild();
  };
  TDbShellComboBox combo_adapter(combo);
  TDbShellMenuItem menu_adapter(devices);
  TDbShell shell;
  shell.SetDeviceCombo(&combo_adapter);
  rebuilds = 0;
  shell.SetSelDevMenu(&menu_adapter);
  EXPECT_EQ(devices->Count(), 6);
  EXPECT_EQ(rebuilds, 1);

  rebuilds = 0;
  AddDevice(shell.Root(), "Logger 7", 7);
  EXPECT_EQ(devices->Count(), 7);
  EXPECT_EQ(devices->Items(6)->Caption(), "&7  DL007 Logger 7");
  EXPECT_LE(rebuilds, 2);
  shell.SetDeviceCombo(nullptr);
  shell.SetSelDevMenu(nullptr);
}

}  // namespace
}  // namespace qv
