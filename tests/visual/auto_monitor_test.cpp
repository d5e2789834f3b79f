// The automatic monitors of the selected device: built by unit, kept in the device's
// "Device.ini", restored when the device comes back, rebuilt when its part of the tree changes,
// and converted on the first start after an update.
#include "visual/auto_monitor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/registry.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "datastore/global_channel.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/device.h"
#include "platform/gui/forms.h"
#include "support/english_texts.h"
#include "support/fake_db_shell_combo.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_box.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"
#include "visual/val_table.h"

namespace qv {
namespace {

// Units of a device's value channels, in order.
std::unique_ptr<TChannels> UnitChannels(const std::vector<std::string>& units) {
  auto channels = TChannels::CreateDefault();
  int n = 0;
  for (const std::string& unit : units) {
    ++n;
    channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 1, 1, 30, 0, 50, -10, unit, "S" + std::to_string(n),
                                       "Sensor " + std::to_string(n)));
  }
  return channels;
}

std::vector<std::string> Units(int celsius, int percent) {
  std::vector<std::string> units(static_cast<size_t>(celsius), "°C");
  units.insert(units.end(), static_cast<size_t>(percent), "%");
  return units;
}

class AutoMonitorTest : public ::testing::Test {
protected:
  AutoMonitorTest() : old_exe_(ExePath), old_ini_(IniFileName), old_classes_(DevClassRegistry) {
    InitializeGui();
    ExePath = home.Path();
    IniFileName = home.File("quarvel.INI");
    DevClassRegistry = &dev_classes_;
    Selector = &selector_;
    VOClassRegistry = &vo_classes_;
    MonitorClassReg = &monitor_classes_;
    vo_classes_.RegisterClass(&DtPlotVOClass);
    vo_classes_.RegisterClass(&ValTableClass);
    monitor_classes_.RegisterClass(&DDTMonitorClass);
  }
  ~AutoMonitorTest() override {
    Close();
    MonitorClassReg = nullptr;
    VOClassRegistry = nullptr;
    Selector = nullptr;
    DevClassRegistry = old_classes_;
    IniFileName = old_ini_;
    ExePath = old_exe_;
  }

  // The tree on disk: "Cellar" (short name "Cel") with 7 temperatures and 3 humidities, "Attic"
  // with 2 temperatures.
  void MakeTree() {
    std::unique_ptr<TDevice> root(TDevice::CreateFromDir(nullptr, ExePath));
    AddDevice(root.get(), "Cellar", "Cel", Units(7, 3));
    AddDevice(root.get(), "Attic", "", Units(2, 0));
  }
  static TDevice* AddDevice(TDevice* parent, const std::string& name, const std::string& sname,
                            const std::vector<std::string>& units) {
    auto node = TDevice::Create(parent, UnitChannels(units));
    node->SetId(parent->FindNextId(1, TDevice::MaxId));
    node->SetName(name);
    node->SetSName(sname);
    EXPECT_TRUE(node->SetUpDevice());
    return node.release();
  }

  // The program's part: the shell, the book on a form and the builder, which follows the
  // shell's selection as the main window makes it.
  void Open() {
    shell = std::make_unique<TDbShell>();
    DbShell = shell.get();
    shell->SetDeviceCombo(&combo);
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 800, 600);
    book = new TMonitorBook(form.get());
    book->SetParent(form.get());
    builder = std::make_unique<TAutoMonitor>(book);
    shell->OnChange = [this](TDbShell*) { builder->SelDeviceChanged(); };
    // The first idle pass.
    builder->SelDeviceChanged();
  }
  void Close() {
    builder.reset();
    delete book;
    book = nullptr;
    form.reset();
    DbShell = nullptr;
    shell.reset();
  }
  void Select(int index) { combo.Pick(index); }

  static std::vector<std::string> CurveUnits(const TPlotVO* plot) {
    std::vector<std::string> out;
    TGlobChanList* list = plot->vobGlobChanList();
    for (int i = 0; i < list->Count(); ++i) out.push_back(list->GetGlobChan_I(i)->Channel()->Unit());
    return out;
  }
  static TPlotGlbChan* Curve(TVisObj* plot, int i) {
    return dynamic_cast<TPlotGlbChan*>(plot->vobGlobChanList()->GetGlobChan_I(i));
  }
  std::vector<TDDTMonitor*> AutoPages() const {
    std::vector<TDDTMonitor*> out;
    for (int i = 0; i < book->GetMonitorCount(); ++i)
      if (auto* m = dynamic_cast<TDDTMonitor*>(book->GetMonitor(i)); m && m->GroupIndex == TAutoMonitor::kGroup)
        out.push_back(m);
    return out;
  }
  void Defaults(const std::string& keys) { home.Write("quarvel.INI", "[AutoMonitor]\r\n" + keys); }

  test::EnglishTexts texts;
  test::TempDir home;
  test::FakeCombo combo;
  std::unique_ptr<TDbShell> shell;
  std::unique_ptr<TForm> form;
  TMonitorBook* book = nullptr;
  std::unique_ptr<TAutoMonitor> builder;

private:
  std::string old_exe_, old_ini_;
  TDevClassRegistry* old_classes_;
  TDevClassRegistry dev_classes_;
  TSelector selector_;
  TVOClassRegistry vo_classes_;
  TMonitorClassReg monitor_classes_;
};

TEST_F(AutoMonitorTest, ChannelsGoToDiagramsByUnitAndAllStandInTheTable) {
  MakeTree();
  Open();
  Select(0);
  ASSERT_EQ(builder->Monitors().size(), 1u);
  TDDTMonitor* page = builder->Monitors()[0];
  EXPECT_EQ(page->GetTitle(), "Cel: #1");
  EXPECT_EQ(page->MonOptions() & (moDelEnabled | moAddVOEnabled | moEditTitleEnab | moStoreLoadEnab), 0);
  ASSERT_EQ(builder->Diagrams().size(), 2u);
  EXPECT_EQ(CurveUnits(builder->Diagrams()[0]), std::vector<std::string>(5, "°C"));
  EXPECT_EQ(CurveUnits(builder->Diagrams()[1]), (std::vector<std::string>{"°C", "°C", "%", "%", "%"}));
  EXPECT_EQ(builder->Diagrams()[1]->GetAxisUnit(1), "%");
  ASSERT_NE(builder->Table(), nullptr);
  EXPECT_EQ(builder->Table()->GetGlobChanCount(), 10);
  EXPECT_EQ(page->TableVO(), builder->Table());
  EXPECT_EQ(page->DiagramList().size(), 2u);
  // Neither the page nor its objects can be deleted or edited channel by channel.
  for (TVisObj* vo : {static_cast<TVisObj*>(builder->Table()), static_cast<TVisObj*>(builder->Diagrams()[0])}) {
    EXPECT_EQ(vo->VOOptions() & voDelEnabled, 0);
    EXPECT_EQ(vo->CntrVisib() & (cvDelBtnVisible | cvDelMenVisible | cvAddDelChanVis), 0);
  }
  EXPECT_EQ(builder->GetDeviceIdName(), shell->GetSelDevice()->GetIdName());
}

TEST_F(AutoMonitorTest, SettingsShapeThePages) {
  struct Case {
    const char* keys;
    std::vector<size_t> diagrams_per_page;  // the table sits on the first page
    bool table_alone;
  };
  const std::vector<Case> cases = {
      {"Use2YAx=0\r\n", {3}, false},
      {"SepTableMon=1\r\n", {0, 2}, true},
      {"DiagPerMon=1\r\nUse2YAx=0\r\n", {1, 1, 1}, false},
      // Out of range: the defaults stay.
      {"CurvesPerDiag=13\r\nDiagPerMon=0\r\n", {2}, false},
      {"CurvesPerDiag=0\r\n", {2}, false},
  };
  MakeTree();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    Defaults(c.keys);
    Open();
    Select(0);
    const std::vector<TDDTMonitor*> pages = AutoPages();
    ASSERT_EQ(pages.size(), c.diagrams_per_page.size());
    for (size_t i = 0; i < pages.size(); ++i) {
      EXPECT_EQ(pages[i]->DiagramList().size(), c.diagrams_per_page[i]);
      EXPECT_EQ(pages[i]->GetTitle(), "Cel: #" + std::to_string(i + 1));
    }
    EXPECT_EQ(pages[0]->TableVO(), builder->Table());
    EXPECT_EQ(pages[0]->DiagramList().empty(), c.table_alone);
    Close();
    // Each case starts from the device's own build.
    TIniFile2(home.File("DL001/Device.ini")).EraseSections("AutoMonitor");
  }
}

TEST_F(AutoMonitorTest, PagesComeBackFromTheDeviceIniWithTheUsersColours) {
  MakeTree();
  Open();
  Select(0);
  Curve(builder->Diagrams()[0], 0)->Color = clTeal;
  Select(1);
  // The other device's pages replace the first device's, which went to its INI file.
  ASSERT_EQ(AutoPages().size(), 1u);
  EXPECT_EQ(AutoPages()[0]->GetTitle(), "Attic: #1");
  TIniFile2 cellar(home.File("DL001/Device.ini"));
  EXPECT_EQ(cellar.ReadInteger("AutoMonitor", "Count", 0), 1);
  EXPECT_TRUE(cellar.SectionExists("AutoMonitor/Monitor0/Diagram1"));
  EXPECT_TRUE(cellar.SectionExists("AutoMonitor/Monitor0/Table0"));

  Select(0);
  ASSERT_EQ(AutoPages().size(), 1u);
  TDDTMonitor* page = AutoPages()[0];
  EXPECT_TRUE(builder->Diagrams().empty()) << "restored, not built";
  ASSERT_EQ(page->DiagramList().size(), 2u);
  EXPECT_EQ(Curve(page->DiagramList()[0], 0)->Color, clTeal);
  EXPECT_EQ(page->TableVO()->GetGlobChanCount(), 10);

  // The builder stores the selected device's pages when it goes; the next run restores them.
  Close();
  Open();
  Select(1);
  Select(0);
  ASSERT_EQ(AutoPages().size(), 1u);
  EXPECT_EQ(Curve(AutoPages()[0]->DiagramList()[0], 0)->Color, clTeal);
}

TEST_F(AutoMonitorTest, SwitchedOffBuildsNothingAndRemovesThePages) {
  MakeTree();
  Open();
  Select(0);
  ASSERT_EQ(AutoPages().size(), 1u);
  builder->SetEnabled(false);
  EXPECT_TRUE(AutoPages().empty());
  Select(1);
  EXPECT_TRUE(AutoPages().empty());
  EXPECT_TRUE(builder->Monitors().empty());
  builder->SetEnabled(true);
  EXPECT_EQ(AutoPages().size(), 1u);
}

TEST_F(AutoMonitorTest, AChangeBelowTheSelectedDeviceRebuildsItsPages) {
  MakeTree();
  Open();
  Select(0);
  Select(1);
  Select(0);  // stored pages restored
  TDevice* cellar = shell->GetSelDevice();
  TDevice* attic = shell->Root()->GetChild(1);
  // A change elsewhere in the tree leaves the stored pages alone.
  builder->DeviceModified(attic);
  builder->RunDeviceModified();
  EXPECT_TRUE(TIniFile2(cellar->GetIniName()).SectionExists("AutoMonitor/Monitor0"));
  EXPECT_TRUE(builder->Diagrams().empty());

  TDevice* probe = AddDevice(cellar, "Probe", "", Units(0, 3));
  builder->DeviceModified(probe);
  EXPECT_TRUE(builder->ModifiedPending());
  builder->RunDeviceModified();
  EXPECT_FALSE(TIniFile2(cellar->GetIniName()).SectionExists("AutoMonitor/Monitor0"));
  EXPECT_EQ(builder->Table()->GetGlobChanCount(), 13);
  ASSERT_EQ(builder->Diagrams().size(), 3u);
  EXPECT_EQ(CurveUnits(builder->Diagrams()[2]), (std::vector<std::string>{"%", "%", "%"}));
}

TEST_F(AutoMonitorTest, UpdateStartConvertsEveryDeviceAndKeepsStoredPagesWithoutAnOlderProfile) {
  MakeTree();
  Open();
  Select(0);
  Curve(builder->Diagrams()[0], 0)->Color = clTeal;
  Close();
  // The older profile holds the attic's settings and no pages.
  const std::string saved_key = RegistryKey;
  RegistryKey = "\\Software\\Quarvel\\Qv2";
  home.Write("Registry.ini",
             "[Software\\Quarvel\\Qv2\\Profile\\AutoMonitors\\DL002]\r\nCurvesPerDiag=1\r\nCount=0\r\n");
  Open();
  builder->IsUpdateStart = [] { return true; };
  builder->ConvertAllDevices();
  builder->SelDeviceChanged();
  TIniFile2 attic(home.File("DL002/Device.ini"));
  EXPECT_EQ(attic.ReadInteger("AutoMonitor", "CurvesPerDiag", 0), 1);
  EXPECT_EQ(attic.ReadInteger("AutoMonitor", "Count", 0), 1);
  // The cellar had no older profile: its stored pages came back, the user's colour with them.
  Select(0);
  ASSERT_EQ(AutoPages().size(), 1u);
  EXPECT_EQ(Curve(AutoPages()[0]->DiagramList()[0], 0)->Color, clTeal);
  RegistryKey = saved_key;
}

TEST_F(AutoMonitorTest, DialogValuesApplyToTheSelectedDeviceOrToAll) {
  MakeTree();
  Open();
  Select(0);
  TAutoMonSettings values = builder->Settings();
  values.CurvesPerDiag = 2;
  EdAutoMonDlgProc = [&](TAutoMonSettings& v, bool& save_default, bool& apply_all) {
    v = values;
    save_default = true;
    apply_all = false;
    return true;
  };
  builder->EditSettings();
  EdAutoMonDlgProc = nullptr;
  EXPECT_EQ(builder->Diagrams().size(), 5u);
  EXPECT_EQ(TIniFile2(IniFileName).ReadInteger("AutoMonitor", "CurvesPerDiag", 0), 2);
  EXPECT_EQ(TIniFile2(home.File("DL001/Device.ini")).ReadInteger("AutoMonitor", "CurvesPerDiag", 0), 2);
  EXPECT_FALSE(builder->KeepSettings);
  EXPECT_TRUE(builder->ReloadDefaults);

  values.CurvesPerDiag = 1;
  builder->ApplySettings(values, false, true);
  EXPECT_EQ(shell->SelIndex(), 0);
  EXPECT_EQ(TIniFile2(home.File("DL002/Device.ini")).ReadInteger("AutoMonitor", "CurvesPerDiag", 0), 1);
  // Back on the first device, its pages come from its INI file: one curve per diagram.
  size_t diagrams = 0;
  for (TDDTMonitor* page : AutoPages()) diagrams += page->DiagramList().size();
  EXPECT_EQ(diagrams, 10u);
}

TEST_F(AutoMonitorTest, AStoreCutShortLeavesTheStoredSetAsItWas) {
  MakeTree();
  Open();
  Select(0);
  const std::string before = home.Read("DL001/Device.ini");
  builder->SaveMonIni();
  const std::string after = home.Read("DL001/Device.ini");
  ASSERT_GT(after.size(), before.size() + 1000);
  // The store cut short at one place after another, as a kill or a full disk would cut it:
  // "Device.ini" holds the old set every time, with its other sections.
  for (size_t limit = before.size() + 1; limit < after.size(); limit += (after.size() - before.size()) / 7) {
    SCOPED_TRACE(limit);
    home.Write("DL001/Device.ini", before);
    {
      test::FileSizeLimit full(limit);
      EXPECT_ANY_THROW(builder->SaveMonIni());
    }
    EXPECT_EQ(home.Read("DL001/Device.ini"), before);
    EXPECT_FALSE(std::filesystem::exists(home.File("DL001/Device.ini.saving")));
  }
  builder->SaveMonIni();
  EXPECT_EQ(home.Read("DL001/Device.ini"), after);
}

TEST_F(AutoMonitorTest, AFailedStoreIsShownAndTheNewDevicesPagesComeUp) {
  MakeTree();
  Open();
  Select(0);
  test::TRecordingMsgHandler messages;
  const std::string cellar = home.File("DL001/Device.ini");
  const std::string before = home.Read("DL001/Device.ini");
  {
    // No room for the cellar's pages.
    test::FileSizeLimit full(before.size() + 50);
    Select(1);
  }
  ASSERT_EQ(AutoPages().size(), 1u);
  EXPECT_EQ(AutoPages()[0]->GetTitle(), "Attic: #1");
  EXPECT_EQ(builder->CurrentDevice(), shell->GetSelDevice());
  ASSERT_EQ(messages.lines.size(), 1u);
  EXPECT_EQ(messages.lines[0].rfind("The automatic monitors could not be stored in " + cellar + ": ", 0), 0u)
      << messages.lines[0];
  EXPECT_NE(messages.lines[0].find("File too large/1/time"), std::string::npos) << messages.lines[0];
  EXPECT_EQ(home.Read("DL001/Device.ini"), before);
}

}  // namespace
}  // namespace qv
