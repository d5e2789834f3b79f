#include "devices/db_shell.h"

#include <gtest/gtest.h>

#include "base/ini_file2.h"
#include "device_fixture.h"
#include "support/fake_db_shell_combo.h"
#include "support/file_size_limit.h"
#include "devices/app_hooks.h"
#include "devices/visual_hooks.h"

namespace qv {
namespace {

using test::FakeCombo;

class FakeMenu : public TDbShellMenu {
public:
  struct Item {
    std::string caption;
    int tag = 0;
    bool enabled = true;
    bool checked = false;
  };
  int Count() const override { return static_cast<int>(items.size()); }
  void Delete(int index) override { items.erase(items.begin() + index); }
  void Add() override { items.emplace_back(); }
  void SetItem(int index, const std::string& caption, int tag) override {
    items.at(static_cast<size_t>(index)).caption = caption;
    items.at(static_cast<size_t>(index)).tag = tag;
  }
  void SetItemState(int index, bool e, bool c) override {
    items.at(static_cast<size_t>(index)).enabled = e;
    items.at(static_cast<size_t>(index)).checked = c;
  }
  void SetEnabled(bool e) override { enabled = e; }
  void Click(int index) { OnItemClick(items.at(static_cast<size_t>(index)).tag); }
  std::vector<Item> items;
  bool enabled = true;
};

class AutoMonitorLog : public TAutoMonitorService {
public:
  bool Enabled() const override { return true; }
  void DeviceModified(TDevice* node) override { modified.push_back(node); }
  std::vector<TDevice*> modified;
};

class NonDeletable : public TDevice {
protected:
  void SetDefaults() override {
    TDevice::SetDefaults();
    SetDeletable(false);
  }
};

class DbShellTest : public test::DeviceFixture {
protected:
  DbShellTest() : old_ini_(IniFileName) { IniFileName = home.File("quarvel.INI"); }
  ~DbShellTest() override {
    SelectDlgProc = nullptr;
    RecorderConfirmStop = nullptr;
    AutoMonitor = nullptr;
    IniFileName = old_ini_;
  }

  // A shell bound to the fake combo and menu, counting its change events.
  std::unique_ptr<TDbShell> OpenShell() {
    auto shell = std::make_unique<TDbShell>();
    shell->OnChange = [this](TDbShell*) { ++changes; };
    shell->SetDeviceCombo(&combo);
    shell->SetSelDevMenu(&menu);
    return shell;
  }

  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (const auto& item : menu.items) out.push_back(item.caption);
    return out;
  }

  FakeCombo combo;
  FakeMenu menu;
  int changes = 0;

private:
  std::string old_ini_;
};

TEST_F(DbShellTest, EmptyTree) {
  TIniFile2(IniFileName).WriteInteger("DbShell", "SelIndex", 2);
  auto shell = OpenShell();
  EXPECT_EQ(combo.width, 120);
  EXPECT_FALSE(menu.enabled);
  EXPECT_EQ(shell->SelIndex(), -1);
  EXPECT_EQ(shell->GetSelDevice(), nullptr);
  EXPECT_EQ(shell->GetDeviceCount(), 0);
}

TEST_F(DbShellTest, MenuMirrorsTheListAndMarksTheSelection) {
  {
    auto root = LoadRoot();
    TDevice* a = AddDevice(root.get(), "Cellar", 1);
    AddDevice(root.get(), "Attic");
    AddDevice(root.get(), "Garage with a very long name indeed");
    TDevice* slot = AddDevice(a, "Slot");
    slot->SetHidden(true);
    AddDevice(slot, "Below slot");
    AddDevice(a, "North wall");
  }
  auto shell = OpenShell();
  EXPECT_EQ(Captions(), (std::vector<std::string>{"&1  DL001 Cellar", "&2     North wall", "&3  DL002 Attic",
                                                  "&4  DL003 Garage with a very long name indeed"}));
  EXPECT_EQ(combo.width, 7 * 41 + 25);
  EXPECT_TRUE(menu.enabled);
  menu.Click(2);
  EXPECT_EQ(shell->SelIndex(), 2);
  EXPECT_EQ(combo.index, 2);
  EXPECT_EQ(shell->GetSelDevice()->Name(), "Attic");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(menu.items[static_cast<size_t>(i)].checked, i == 2) << i;
    EXPECT_EQ(menu.items[static_cast<size_t>(i)].enabled, i != 2) << i;
  }
  combo.Pick(0);
  EXPECT_EQ(shell->GetSelDevice()->Name(), "Cellar");
  EXPECT_TRUE(menu.items[2].enabled);
  EXPECT_TRUE(menu.items[0].checked);

  shell->SetEnabled(false);
  EXPECT_FALSE(combo.enabled);
  EXPECT_FALSE(menu.enabled);
  shell->SetEnabled(true);
  EXPECT_TRUE(menu.enabled);
}

TEST_F(DbShellTest, SelectionFollowsTheDeviceAndSurvivesARestart) {
  {
    auto root = LoadRoot();
    AddDevice(root.get(), "A", 5);
    AddDevice(root.get(), "B");
  }
  {
    auto shell = OpenShell();
    shell->SetSelIndex(1);
    TDevice* b = shell->GetSelDevice();
    ASSERT_EQ(b->Name(), "B");
    b->SetName("Bee");  // the root's change refreshes the list
    EXPECT_EQ(combo.items[1].first, "DL006 Bee");
    EXPECT_EQ(shell->GetSelDevice(), b);
    auto before = TDevice::Create(shell->Root());  // a lower id moves the selected device down
    before->SetId(1);
    ASSERT_TRUE(before->SetUpDevice());
    before.release();
    EXPECT_EQ(shell->SelIndex(), 2);
    EXPECT_EQ(shell->GetSelDevice(), b);
  }
  EXPECT_EQ(TIniFile2(IniFileName).ReadInteger("DbShell", "SelIndex", -5), 2);
  auto shell = OpenShell();
  EXPECT_EQ(shell->SelIndex(), 2);
  EXPECT_EQ(shell->GetSelDevice()->Name(), "Bee");
}

TEST_F(DbShellTest, DeletingTheSelectedDeviceKeepsTheIndexOrTakesTheLast) {
  {
    auto root = LoadRoot();
    AddDevice(root.get(), "A", 1);
    AddDevice(root.get(), "B");
    AddDevice(root.get(), "C");
  }
  auto shell = OpenShell();
  shell->SetSelIndex(1);
  changes = 0;
  shell->Root()->EraseChild(shell->GetSelDevice(), false);
  EXPECT_EQ(shell->SelIndex(), 1);
  EXPECT_EQ(shell->GetSelDevice()->Name(), "C");
  EXPECT_GE(changes, 1);
  changes = 0;
  shell->Root()->EraseChild(shell->GetSelDevice(), false);
  EXPECT_EQ(shell->SelIndex(), 0);
  EXPECT_EQ(shell->GetSelDevice()->Name(), "A");
  EXPECT_GE(changes, 1);
  EXPECT_EQ(menu.items.size(), 1u);
}

TEST_F(DbShellTest, AFailedSetUpLeavesNoEntryBehind) {
  auto shell = OpenShell();
  // The folder cannot be made, or its files cannot be written (a full disk).
  home.Write("DL007", "a file where the folder would go");
  for (int32_t id : {7, 8}) {
    auto node = TDevice::Create(shell->Root());
    node->SetId(id);
    if (id == 7) {
      EXPECT_THROW(node->SetUpDevice(), EInOutError);
    } else {
      test::FileSizeLimit limit(20);
      EXPECT_THROW(node->SetUpDevice(), EIniFileException);
    }
    EXPECT_EQ(shell->Root()->ChildCount(), 0) << id;
    node.reset();  // its creator frees it; the lists must not keep it
    EXPECT_TRUE(combo.items.empty()) << id;
    EXPECT_TRUE(menu.items.empty()) << id;
    EXPECT_EQ(shell->GetSelDevice(), nullptr) << id;
  }
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "DL008"));
}

TEST_F(DbShellTest, DeleteCommandOffersDeletableDevicesOnly) {
  registry.RegisterClass({"TDevice", [](TDevice* parent, const std::string& dir) -> TDevice* {
                            // Folders named "Fixed" load as devices that may not be deleted.
                            TIniFile2 ini(dir + "Device.ini");
                            if (ini.ReadString("Device", "Name", "") == "Fixed")
                              return TDevice::CreateFromDir<NonDeletable>(parent, dir);
                            return TDevice::CreateFromDir<TDevice>(parent, dir);
                          }});
  {
    auto root = LoadRoot();
    AddDevice(root.get(), "A", 1);
    AddDevice(root.get(), "Fixed");
    AddDevice(root.get(), "C");
  }
  AutoMonitorLog auto_monitor;
  AutoMonitor = &auto_monitor;
  auto shell = OpenShell();
  std::vector<std::string> offered;
  int32_t answer = -1;
  int result = 2;
  SelectDlgProc = [&](const std::string& caption, const std::string& t1, const std::string& t2, uint8_t style,
                      TStringList& list, int32_t& index) {
    EXPECT_EQ(caption, "dbs_DelDevice");
    EXPECT_EQ(t1 + t2, "");
    EXPECT_EQ(style, 1);
    EXPECT_EQ(index, -1);
    offered = list.Strings();
    index = answer;
    return result;
  };
  bool recorder_stops = false;
  RecorderConfirmStop = [&] { return recorder_stops; };
  shell->DeleteDevice();  // the recorder keeps running
  EXPECT_TRUE(offered.empty());
  recorder_stops = true;
  answer = 1;
  shell->DeleteDevice();  // cancelled
  EXPECT_EQ(offered, (std::vector<std::string>{"DL001 A", "DL003 C"}));
  EXPECT_EQ(shell->GetDeviceCount(), 3);
  result = 1;
  answers = {true};
  shell->DeleteDevice();
  EXPECT_EQ(shell->GetDeviceCount(), 2);
  EXPECT_EQ(combo.items[1].first, "DL002 Fixed");
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "DL003"));
  EXPECT_TRUE(std::filesystem::exists(home.Path() + "DL003BAK"));
  ASSERT_EQ(auto_monitor.modified.size(), 1u);
  EXPECT_EQ(auto_monitor.modified[0], shell->Root());
}

}  // namespace
}  // namespace qv
