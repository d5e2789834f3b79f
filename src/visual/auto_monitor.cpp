#include "visual/auto_monitor.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "archive/used_colors.h"
#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "base/registry.h"
#include "base/utils.h"
#include "datastore/channel.h"
#include "datastore/global_channel.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "platform/gui/forms.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/string_list.h"
#include "visual/d30_ed_auto_mon.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_box.h"
#include "visual/plot_vo.h"
#include "visual/val_table.h"

namespace qv {

TEdAutoMonDlgProc EdAutoMonDlgProc;

namespace {
// The monitor id limit: no device stores more automatic pages than the book can hold.
constexpr int32_t kMaxMonitors = 99;
constexpr int kAppend = 100;

std::string MonitorSection(int n) { return std::string(TAutoMonitor::kSection) + "/Monitor" + std::to_string(n); }

void Report(const std::string& text) {
  if (MsgHandler) MsgHandler->DoMessage(text, "", TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkLogOnly);
}

// While the program runs a failed store is shown: the user's pages of that device are not saved.
void ShowStoreFailure(const std::string& file, const std::string& why) {
  if (MsgHandler)
    MsgHandler->DoMessage("The automatic monitors could not be stored in " + file + ": " + why, "",
                          TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkWarning);
}

bool InTree(const TDevice* node, const TDevice* wanted) {
  if (node == wanted) return true;
  for (int i = 0; i < node->ChildCount(); ++i)
    if (InTree(node->GetChild(i), wanted)) return true;
  return false;
}

// The number of entries of the shell's device list: every visible node below the root.
int ListedDeviceCount() {
  if (!DbShell || !DbShell->Root()) return 0;
  TStringList lines;
  DbShell->Root()->FillDevStrings(&lines, 0);
  return lines.Count();
}

uint8_t ChannelNumber(const TGlobalChannel* gc) { return gc->Channel() ? gc->Channel()->Key() : 0; }
std::string ChannelSName(const TGlobalChannel* gc) { return gc->Channel() ? gc->Channel()->SName() : std::string(); }
}  // namespace

// Forgets the built pages and objects that go without the builder's doing.
class TAutoMonitor::TWatch : public TComponent {
public:
  explicit TWatch(TAutoMonitor* owner) : TComponent(nullptr), owner_(owner) {}
  void Watch(TComponent* c) { c->FreeNotification(this); }

protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    auto& monitors = owner_->monitors_;
    monitors.erase(std::remove(monitors.begin(), monitors.end(), component), monitors.end());
    auto& diagrams = owner_->diagrams_;
    diagrams.erase(std::remove(diagrams.begin(), diagrams.end(), component), diagrams.end());
    if (owner_->table_ == component) owner_->table_ = nullptr;
  }

private:
  TAutoMonitor* owner_;
};

struct TAutoMonitor::TCurveMemo {
  uint8_t Number = 0;
  bool Visible = true;
  std::string Text;
  TColor Color = clBlack;
  TPenStyle Style = TPenStyle::psSolid;
  bool AlarmLimits = false;
  std::string DiagTitle;
  std::string Unit;
  bool HasRange = false;
  double RangeMax = 0, RangeMin = 0;
};

struct TAutoMonitor::TTableMemo {
  struct Column {
    uint8_t Number;
    std::string SName;
    bool operator==(const Column&) const = default;
  };
  std::string Title;
  bool HorzGrid = false, VertGrid = false;
  std::vector<Column> Visible, Masked;
};

TAutoMonitor* TheAutoMonitor() { return dynamic_cast<TAutoMonitor*>(AutoMonitor); }

TAutoMonitor::TAutoMonitor(TMonitorBook* book) : book_(book), watch_(std::make_unique<TWatch>(this)) {
  ReadDefaults();
  AutoMonitor = this;
}

TAutoMonitor::~TAutoMonitor() {
  try {
    SaveMonIni();
  } catch (const std::exception& e) {
    Report(std::string("The automatic monitors could not be stored: ") + e.what());
  }
  if (IdleTaskManager) IdleTaskManager->RemoveTask(this, nullptr);
  monitors_.clear();
  diagrams_.clear();
  table_ = nullptr;
  cells_.clear();
  watch_.reset();
  if (AutoMonitor == this) AutoMonitor = nullptr;
}

std::string TAutoMonitor::GetDeviceIdName() const { return device_ ? device_->GetIdName() : std::string(); }

// ---- settings ----

void TAutoMonitor::ReadPar(TIniFile2& ini, bool with_enabled) {
  if (with_enabled) settings_.Enabled = ini.ReadBool(kSection, "Enabled", settings_.Enabled);
  const int32_t curves = ini.ReadInteger(kSection, "CurvesPerDiag", settings_.CurvesPerDiag);
  if (curves >= 1 && curves <= kMaxPlotCurves) settings_.CurvesPerDiag = curves;
  const int32_t diagrams = ini.ReadInteger(kSection, "DiagPerMon", settings_.DiagPerMon);
  if (diagrams >= 1 && diagrams <= kMaxDiagrams) settings_.DiagPerMon = diagrams;
  settings_.Use2YAx = ini.ReadBool(kSection, "Use2YAx", settings_.Use2YAx);
  settings_.SepTableMon = ini.ReadBool(kSection, "SepTableMon", settings_.SepTableMon);
}

void TAutoMonitor::ReadParRegKey(TRegistry* registry) {
  if (!registry || !registry->HasCurrentKey())
    throw Exception("TAutoMonitor.ReadParRegKey: registry nil or invalid key!");
  if (registry->ValueExists("CurvesPerDiag")) {
    const int32_t curves = registry->ReadInteger("CurvesPerDiag");
    if (curves >= 1 && curves <= kMaxPlotCurves) settings_.CurvesPerDiag = curves;
  }
  if (registry->ValueExists("DiagPerMon")) {
    const int32_t diagrams = registry->ReadInteger("DiagPerMon");
    if (diagrams >= 1 && diagrams <= kMaxDiagrams) settings_.DiagPerMon = diagrams;
  }
  if (registry->ValueExists("Use2YAx")) settings_.Use2YAx = registry->ReadBool("Use2YAx");
  if (registry->ValueExists("SepTableMon")) settings_.SepTableMon = registry->ReadBool("SepTableMon");
}

void TAutoMonitor::ReadDefaults() {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  ReadPar(ini, true);
}

namespace {
void WriteSettings(TIniFile2& ini, const TAutoMonSettings& s) {
  ini.WriteBool(TAutoMonitor::kSection, "Enabled", s.Enabled);
  ini.WriteInteger(TAutoMonitor::kSection, "CurvesPerDiag", s.CurvesPerDiag);
  ini.WriteInteger(TAutoMonitor::kSection, "DiagPerMon", s.DiagPerMon);
  ini.WriteBool(TAutoMonitor::kSection, "Use2YAx", s.Use2YAx);
  ini.WriteBool(TAutoMonitor::kSection, "SepTableMon", s.SepTableMon);
}
}  // namespace

void TAutoMonitor::SaveDefaults() {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  WriteSettings(ini, settings_);
}

void TAutoMonitor::SaveDeviceSettings(TDevice* device) {
  if (!device || !Enabled() || !DbShell || !DbShell->IsDeviceListed(device)) return;
  TIniFile2 ini(device->GetIniName());
  WriteSettings(ini, settings_);
}

void TAutoMonitor::StoreSetting(const std::function<void()>& store) {
  store();
  if (ApplyingSettings) return;
  ReloadDefaults = false;
  try {
    Rebuild();
  } catch (...) {
    ReloadDefaults = true;
    throw;
  }
  ReloadDefaults = true;
}

void TAutoMonitor::SetCurvesPerDiag(int32_t n) {
  if (n < 1 || n > kMaxPlotCurves || n == settings_.CurvesPerDiag) return;
  StoreSetting([&] { settings_.CurvesPerDiag = n; });
}

void TAutoMonitor::SetDiagPerMon(int32_t n) {
  if (n < 1 || n > kMaxDiagrams || n == settings_.DiagPerMon) return;
  StoreSetting([&] { settings_.DiagPerMon = n; });
}

void TAutoMonitor::SetUse2YAx(bool on) {
  if (on == settings_.Use2YAx) return;
  StoreSetting([&] { settings_.Use2YAx = on; });
}

void TAutoMonitor::SetSepTableMon(bool on) {
  if (on == settings_.SepTableMon) return;
  StoreSetting([&] { settings_.SepTableMon = on; });
}

void TAutoMonitor::SetEnabled(bool on) {
  if (on == settings_.Enabled) return;
  if (ApplyingSettings) {
    settings_.Enabled = on;
    return;
  }
  if (on) {
    settings_.Enabled = true;
    LoadDevice();
    return;
  }
  SaveMonIni();
  StoreSetting([&] { settings_.Enabled = false; });
}

// ---- the selected device ----

void TAutoMonitor::TakeSelectedDevice() { device_ = DbShell ? DbShell->GetSelDevice() : nullptr; }

std::string TAutoMonitor::LegacyKey() const {
  if (!device_) return "";
  std::string folder = device_->Dir();
  if (folder.compare(0, ExePath.size(), ExePath) == 0) folder.erase(0, ExePath.size());
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  if (folder.empty()) return "";
  for (char& c : folder) c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return RegistryKey + "\\Profile\\AutoMonitors\\" + folder;
}

namespace {
bool KeyExists(const std::string& key) {
  if (key.empty()) return false;
  TRegistry registry;
  return registry.KeyExists(key);
}
}  // namespace

void TAutoMonitor::SelDeviceChanged() {
  // A store that fails (a full or read-only home) is shown; the pages follow the selection all
  // the same.
  const auto store = [this] {
    try {
      SaveMonIni();
    } catch (const std::exception& e) {
      ShowStoreFailure(device_ ? device_->GetIniName() : std::string(), e.what());
    }
  };
  store();
  TakeSelectedDevice();
  // An update start imports what the older profile holds for the device; without such a key the
  // device's stored pages are restored as on any start, so an update never overwrites them.
  if (UpdateStart() && KeyExists(LegacyKey())) {
    ImportFromRegistry();
    store();
  } else {
    LoadDevice();
  }
}

void TAutoMonitor::ConvertAllDevices() {
  if (!DbShell) return;
  const int before = DbShell->SelIndex();
  const int n = ListedDeviceCount();
  for (int i = 0; i < n; ++i) DbShell->SetSelIndex(i);
  DbShell->SetSelIndex(before);
}

void TAutoMonitor::LoadDevice() {
  if (!device_) {
    Rebuild();
    return;
  }
  if (UpdateStart() && KeyExists(LegacyKey())) {
    ImportFromRegistry();
    SaveMonIni();
  }
  TIniFile2 ini(device_->GetIniName());
  if (ini.SectionExists(kSection)) {
    ReadPar(ini, false);
    ReadMonIni(&ini);
  } else {
    Rebuild();
  }
}

void TAutoMonitor::ImportFromRegistry() {
  const std::string key = LegacyKey();
  TRegistry registry;
  if (!device_ || key.empty() || !registry.OpenKey(key, false)) {
    Rebuild();
    return;
  }
  ReadParRegKey(&registry);
  ReadMonRegKey(&registry);
}

void TAutoMonitor::BeginWork() {
  if (work_depth_++ > 0) return;
  saved_cursor_ = Screen ? Screen->Cursor() : crDefault;
  if (Screen) Screen->SetCursor(crHourGlass);
  book_was_visible_ = book_ && book_->Visible();
  if (book_ && (Enabled() || monitors_.size() > 1)) book_->SetVisible(false);
}

void TAutoMonitor::EndWork() {
  if (--work_depth_ > 0) return;
  if (Screen) Screen->SetCursor(saved_cursor_);
  if (book_ && book_was_visible_) book_->SetVisible(true);
}

void TAutoMonitor::FreeMonitors() {
  diagrams_.clear();
  table_ = nullptr;
  const std::vector<TDDTMonitor*> monitors = monitors_;
  monitors_.clear();
  for (TDDTMonitor* m : monitors) delete m;
  cells_.clear();
}

void TAutoMonitor::ReadMonIni(TIniFile2* ini) {
  if (!ini || !ini->SectionExists(kSection)) throw Exception("TAutoMonitor.ReadMonIni: inifile nil or invalid key!");
  const int32_t count = std::min(ini->ReadInteger(kSection, "Count", -1), kMaxMonitors);
  RestoreMonitors(count, [&](int n) -> TMonitorMan* {
    const std::string section = MonitorSection(n);
    if (!ini->SectionExists(section)) return nullptr;
    TMonitorMan* loaded = nullptr;
    book_->LoadOnePage("[" + section + "] of " + device_->GetIniName(), ini->ReadString(section, "ClassName", ""),
                       [&] { return loaded = book_->LoadMonitorIni(ini, section); });
    return loaded;
  });
}

void TAutoMonitor::ReadMonRegKey(TRegistry* registry) {
  if (!registry || !registry->HasCurrentKey())
    throw Exception("TAutoMonitor.ReadMonRegKey: registry nil or invalid key!");
  const int32_t count = registry->ValueExists("Count") ? std::min(registry->ReadInteger("Count"), kMaxMonitors) : 0;
  const std::string path = "\\" + registry->CurrentPath();
  RestoreMonitors(count, [&](int n) -> TMonitorMan* {
    const std::string key = path + "\\Monitor" + std::to_string(n);
    if (!registry->OpenKey(key, false)) return nullptr;
    TMonitorMan* loaded = nullptr;
    book_->LoadOnePage(key, registry->ValueExists("ClassName") ? registry->ReadString("ClassName") : "",
                       [&] { return loaded = book_->LoadMonitor(registry); });
    registry->OpenKey(path, false);
    return loaded;
  });
}

// The stored pages 0 .. count - 1, each loaded by load (null for a page that is not there); the
// diagram monitors among them become the automatic monitors. Nothing stored, or nothing left of
// it while automatic monitors are on, builds them anew.
void TAutoMonitor::RestoreMonitors(int count, const std::function<TMonitorMan*(int)>& load) {
  if (count <= 0) {
    Rebuild();
    return;
  }
  BeginWork();
  try {
    FreeMonitors();
    if (Enabled() && book_) {
      for (int n = 0; n < count; ++n) {
        if (auto* m = dynamic_cast<TDDTMonitor*>(load(n)); m && book_->GetMonitor(m->PageIndex) == m) {
          monitors_.push_back(m);
          watch_->Watch(m);
        }
      }
      if (!monitors_.empty()) book_->SetTabIndex(monitors_.front()->PageIndex);
      book_->FreeEmptyMonitors();
    }
  } catch (...) {
    EndWork();
    throw;
  }
  EndWork();
  if (Enabled() && monitors_.empty()) Rebuild();
}

void TAutoMonitor::SaveMonIni() {
  if (!Enabled() || !device_ || !DbShell || !DbShell->IsDeviceListed(device_)) return;
  namespace fs = std::filesystem;
  // The pages go into a copy of "Device.ini" with all its other sections, which then replaces
  // the file in one rename: a store cut short (a kill, a full disk) leaves the old set or the
  // new one, never a count without its pages. A leftover of a crashed store is garbage.
  const std::string file = TIniFile2(device_->GetIniName()).FileName();
  const std::string temp = file + ".saving";
  std::error_code ec;
  fs::remove(temp, ec);
  try {
    if (fs::exists(file)) WriteFileAtomic(temp, ReadFileBytes(file));
    {
      TIniFile2 ini(temp);
      const int32_t stored = std::min(ini.ReadInteger(kSection, "Count", 0), kMaxMonitors);
      for (int n = 0; n < stored; ++n) ini.EraseSections(MonitorSection(n));
      WriteSettings(ini, settings_);
      if (monitors_.empty()) {
        ini.DeleteKey(kSection, "Count");
      } else {
        ini.WriteInteger(kSection, "Count", static_cast<int32_t>(monitors_.size()));
        for (size_t n = 0; n < monitors_.size(); ++n)
          monitors_[n]->StoreIniSection(&ini, MonitorSection(static_cast<int>(n)));
      }
    }
    fs::rename(temp, file);
  } catch (...) {
    fs::remove(temp, ec);
    throw;
  }
}

// ---- changes of the device tree ----

void TAutoMonitor::DeviceModified(TDevice* node) {
  changed_ = node;
  if (IdleTaskManager)
    IdleTaskManager->AddTask(this, nullptr, [this](TIdleTaskManager*, TTimer2*, bool& done) {
      done = true;
      RunDeviceModified();
    });
}

void TAutoMonitor::RunDeviceModified() {
  TDevice* node = changed_;
  changed_ = nullptr;
  // A node that went since it reported its change is no longer in the tree.
  if (!node || !device_ || !DbShell || !DbShell->Root() || !InTree(DbShell->Root(), node) || node->Layer() < 1) return;
  bool on_chain = false;
  for (TDevice* n = node; n && n->Layer() > 0; n = n->Parent()) on_chain = on_chain || n == device_;
  // The stored pages go only when new ones replace them.
  if (!on_chain) return;
  {
    TIniFile2 ini(device_->GetIniName());
    if (ini.SectionExists(kSection)) {
      const int32_t stored = std::min(ini.ReadInteger(kSection, "Count", 0), kMaxMonitors);
      for (int n = 0; n < stored; ++n) ini.EraseSections(MonitorSection(n));
    }
  }
  Rebuild();
}

// ---- building ----

void TAutoMonitor::Lock(TComponent* component) {
  auto* vo = dynamic_cast<TVisObj*>(component);
  if (!vo) return;
  vo->SetVOOptions(vo->VOOptions() & ~voDelEnabled);
  vo->SetCntrVisib(vo->CntrVisib() & ~(cvDelBtnVisible | cvDelMenVisible | cvAddDelChanVis));
  watch_->Watch(vo);
}

TDDTMonitor* TAutoMonitor::NewMonitor() {
  if (ReloadDefaults) ReadDefaults();
  auto* monitor = dynamic_cast<TDDTMonitor*>(book_->AddGroupMonitor(kGroup, &DDTMonitorClass));
  if (!monitor) throw Exception("Error in TAutoMonitor.NewMonitor: no diagram monitor");
  monitors_.push_back(monitor);
  watch_->Watch(monitor);
  std::string name = device_ ? (device_->SName().empty() ? device_->Name() : device_->SName()) : "Auto-Monitor";
  monitor->SetCustomTitle(name + ": #" + std::to_string(monitors_.size()));
  monitor->SetMonOptions(monitor->MonOptions() & ~(moDelEnabled | moAddVOEnabled | moEditTitleEnab | moStoreLoadEnab));
  return monitor;
}

void TAutoMonitor::NewTable(const TTableMemo& memo) {
  if (monitors_.empty()) NewMonitor();
  TDDTMonitor* monitor = monitors_.front();
  if (!monitor->CanAcceptClass(&ValTableClass)) monitor->Clear();
  book_->SetTabIndex(monitor->PageIndex);
  TVisObj* vo = nullptr;
  monitor->InsertVisObj(kAppend, &ValTableClass, vo);
  table_ = dynamic_cast<TValTable*>(vo);
  if (!table_) throw Exception("Error in TAutoMonitor.NewTable: no table");
  Lock(table_);
  table_->BeginGlobChanUpdate();
  if (!memo.Visible.empty()) {
    table_->SetvobTitle(memo.Title);
    table_->SetHorzGrid(memo.HorzGrid);
    table_->SetVertGrid(memo.VertGrid);
  }
}

TDtPlotVO* TAutoMonitor::NewDiagram() {
  if (monitors_.empty()) NewMonitor();
  size_t start = 0;
  if (settings_.SepTableMon) {
    if (monitors_.size() == 1) NewMonitor();
    start = 1;
  }
  TDDTMonitor* target = nullptr;
  for (size_t i = start; i < monitors_.size() && !target; ++i)
    if (monitors_[i]->CanAcceptClass(&DtPlotVOClass) &&
        monitors_[i]->CountOfClass(&DtPlotVOClass) < settings_.DiagPerMon)
      target = monitors_[i];
  if (!target) target = NewMonitor();
  book_->SetTabIndex(target->PageIndex);
  TVisObj* vo = nullptr;
  target->InsertVisObj(kAppend, &DtPlotVOClass, vo);
  auto* plot = dynamic_cast<TDtPlotVO*>(vo);
  if (!plot) throw Exception("Error in TAutoMonitor.NewDiagram: no plot");
  diagrams_.push_back(plot);
  Lock(plot);
  if (!settings_.Use2YAx) plot->SetAxisLocked(1, true);
  plot->BeginGlobChanUpdate();
  return plot;
}

void TAutoMonitor::RememberCurves(std::vector<TCurveMemo>& curves) const {
  if (!book_) return;
  for (int p = 0; p < book_->GetMonitorCount(); ++p) {
    auto* monitor = dynamic_cast<TDDTMonitor*>(book_->GetMonitor(p));
    if (!monitor) continue;
    std::vector<TVisObj*> all = monitor->DiagramList();
    all.insert(all.end(), monitor->MaskedDiagrams().begin(), monitor->MaskedDiagrams().end());
    for (TVisObj* vo : all) {
      auto* plot = dynamic_cast<TPlotVO*>(vo);
      if (!plot) continue;
      TGlobChanList* list = plot->vobGlobChanList();
      for (int i = 0; list && i < list->Count(); ++i) {
        auto* curve = dynamic_cast<TPlotGlbChan*>(list->GetGlobChan_I(i));
        if (!curve) continue;
        TCurveMemo m;
        m.Number = ChannelNumber(curve);
        m.Visible = curve->Visible;
        m.Text = curve->GetText();
        m.Color = curve->Color;
        m.Style = curve->Style;
        m.AlarmLimits = curve->AlarmLimits;
        m.DiagTitle = plot->CustomTitle;
        m.Unit = curve->Channel() ? TrimBlanks(curve->Channel()->Unit()) : std::string();
        if (m.Unit == plot->GetAxisUnit(0)) {
          m.HasRange = true;
          m.RangeMax = plot->YLCustViewMax();
          m.RangeMin = plot->YLCustViewMin();
        } else if (m.Unit == plot->GetAxisUnit(1)) {
          m.HasRange = true;
          m.RangeMax = plot->YRCustViewMax();
          m.RangeMin = plot->YRCustViewMin();
        }
        curves.push_back(std::move(m));
      }
    }
  }
}

void TAutoMonitor::RememberTable(TTableMemo& memo) const {
  const TTableVO* table = table_;
  if (!table && book_) {
    book_->SetTabIndex(0);
    if (auto* first = dynamic_cast<TDDTMonitor*>(book_->GetMonitor(0)))
      table = dynamic_cast<TTableVO*>(first->TableVO() ? first->TableVO() : first->MaskedTable());
  }
  if (!table) return;
  memo.Title = table->CustomTitle;
  memo.HorzGrid = table->GetHorzGrid();
  memo.VertGrid = table->GetVertGrid();
  if (TGlobChanList* list = table->vobGlobChanList())
    for (int i = 0; i < list->Count(); ++i)
      memo.Visible.push_back({ChannelNumber(list->GetGlobChan_I(i)), ChannelSName(list->GetGlobChan_I(i))});
  if (TGlobChanList* list = table->MaskGlobChanList())
    for (int i = 0; i < list->Count(); ++i)
      memo.Masked.push_back({ChannelNumber(list->GetGlobChan_I(i)), ChannelSName(list->GetGlobChan_I(i))});
}

void TAutoMonitor::RestoreCurves(const std::vector<TCurveMemo>& curves) {
  for (TDtPlotVO* plot : diagrams_) {
    TUsedColors pool;
    bool unit_matched = false;
    TGlobChanList* list = plot->vobGlobChanList();
    for (const TCurveMemo& m : curves) {
      if (!m.Visible) continue;
      for (int i = 0; list && i < list->Count(); ++i) {
        auto* curve = dynamic_cast<TPlotGlbChan*>(list->GetGlobChan_I(i));
        if (!curve || !curve->Visible || ChannelNumber(curve) != m.Number || curve->GetText() != m.Text) continue;
        if (m.Unit == plot->GetAxisUnit(0)) {
          if (m.HasRange) plot->SetLeftCustRange(m.RangeMax, m.RangeMin);
          unit_matched = true;
        } else if (m.Unit == plot->GetAxisUnit(1)) {
          if (m.HasRange) plot->SetRightCustRange(m.RangeMax, m.RangeMin);
          unit_matched = true;
        }
        if (unit_matched) plot->SetvobTitle(m.DiagTitle);
        curve->Color = pool.UseColor(m.Color);
        curve->Style = m.Style;
        curve->AlarmLimits = m.AlarmLimits;
      }
    }
    plot->GlobChansChanged();
  }
}

void TAutoMonitor::Rebuild() {
  if (!book_) return;
  BeginWork();
  try {
    std::vector<TCurveMemo> curves;
    RememberCurves(curves);
    TTableMemo table_memo;
    RememberTable(table_memo);
    FreeMonitors();
    if (Enabled() && device_) device_->FillTotalChanList(&cells_);
    if (Enabled() && device_ && !cells_.empty()) {
      NewTable(table_memo);
      NewDiagram();
      const bool filter = KeepSettings && !table_memo.Masked.empty();
      for (const TChanSelCell& cell : cells_) {
        const TTableMemo::Column column{cell.Channel->Key(), cell.Channel->SName()};
        if (!filter) {
          table_->AddGlobChan(cell.Data, cell.Channel);
        } else if (std::find(table_memo.Visible.begin(), table_memo.Visible.end(), column) !=
                   table_memo.Visible.end()) {
          table_->AddGlobChan(cell.Data, cell.Channel);
        } else if (std::find(table_memo.Masked.begin(), table_memo.Masked.end(), column) != table_memo.Masked.end()) {
          table_->AddMaskedGlobChan(cell.Data, cell.Channel);
        }
        TDtPlotVO* target = nullptr;
        for (TDtPlotVO* plot : diagrams_) {
          uint8_t reason = 0;
          if (plot->GetGlobChanCount() < settings_.CurvesPerDiag &&
              plot->CanAcceptGlbChan(cell.Data, cell.Channel, reason)) {
            target = plot;
            break;
          }
        }
        if (!target) target = NewDiagram();
        target->AddGlobChan(cell.Data, cell.Channel);
      }
      for (TDtPlotVO* plot : diagrams_) plot->GlobChansChanged();
      if (table_) table_->GlobChansChanged();
      book_->FreeEmptyMonitors();
      if (!monitors_.empty()) book_->SetTabIndex(monitors_.front()->PageIndex);
      if (KeepSettings && !curves.empty()) RestoreCurves(curves);
    }
  } catch (...) {
    EndWork();
    throw;
  }
  EndWork();
}

// ---- the settings dialog ----

void TAutoMonitor::EditSettings() {
  if (editing_) return;
  editing_ = true;
  try {
    TAutoMonSettings values = settings_;
    bool save_default = false, apply_all = false;
    const TEdAutoMonDlgProc& run = EdAutoMonDlgProc ? EdAutoMonDlgProc : TEdAutoMonDlgProc(RunEdAutoMonDlg);
    if (run(values, save_default, apply_all)) ApplySettings(values, save_default, apply_all);
  } catch (...) {
    editing_ = false;
    throw;
  }
  editing_ = false;
}

void TAutoMonitor::ApplySettings(const TAutoMonSettings& values, bool save_as_default, bool apply_to_all) {
  const bool changed = values.CurvesPerDiag != settings_.CurvesPerDiag || values.DiagPerMon != settings_.DiagPerMon ||
                       values.Use2YAx != settings_.Use2YAx || values.SepTableMon != settings_.SepTableMon;
  auto store = [&] {
    ApplyingSettings = true;
    SetEnabled(values.Enabled);
    SetCurvesPerDiag(values.CurvesPerDiag);
    SetDiagPerMon(values.DiagPerMon);
    SetUse2YAx(values.Use2YAx);
    SetSepTableMon(values.SepTableMon);
    ApplyingSettings = false;
  };
  ReloadDefaults = false;
  KeepSettings = true;
  try {
    if (apply_to_all) {
      const int before = DbShell ? DbShell->SelIndex() : -1;
      const int n = ListedDeviceCount();
      for (int i = 0; i < n; ++i) {
        DbShell->SetSelIndex(i);
        store();
        SaveDeviceSettings(device_);
        Rebuild();
      }
      if (DbShell) DbShell->SetSelIndex(before);
      if (save_as_default) SaveDefaults();
    } else {
      const bool was_enabled = settings_.Enabled;
      if (was_enabled && !values.Enabled && !changed) SaveMonIni();
      store();
      if (save_as_default) SaveDefaults();
      if (changed) SaveDeviceSettings(device_);
      if (changed || !settings_.Enabled)
        Rebuild();
      else if (!was_enabled && settings_.Enabled)
        LoadDevice();
    }
  } catch (...) {
    ApplyingSettings = false;
    ReloadDefaults = true;
    KeepSettings = false;
    throw;
  }
  ReloadDefaults = true;
  KeepSettings = false;
}

}  // namespace qv
