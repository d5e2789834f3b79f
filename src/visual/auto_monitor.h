#pragma once
// The automatic monitor builder: diagram-and-table pages for the selected device, one value
// table with every channel of the device and its sensor modules and as many time plots as the
// channels need, grouped by unit. Each device keeps its automatic pages in its "Device.ini"; they
// come back when the device is selected again and are built anew when the device tree below the
// selected device changes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datastore/data.h"
#include "devices/visual_hooks.h"

namespace qv {

class TComponent;
class TDDTMonitor;
class TDtPlotVO;
class TIniFile2;
class TMonitorBook;
class TMonitorMan;
class TRegistry;
class TValTable;

// The five settings, as the settings dialog edits them.
struct TAutoMonSettings {
  bool Enabled = true;
  int32_t CurvesPerDiag = 5;
  int32_t DiagPerMon = 4;
  bool Use2YAx = true;
  bool SepTableMon = false;
};

// The settings dialog: shows the values and, on OK, answers true with the user's values; with
// "disabled" chosen only Enabled is returned (false) and the flags stay false.
using TEdAutoMonDlgProc = std::function<bool(TAutoMonSettings& values, bool& save_as_default, bool& apply_to_all)>;
// The dialog the builder runs; the real one when unset.
extern TEdAutoMonDlgProc EdAutoMonDlgProc;

class TAutoMonitor : public TAutoMonitorService {
public:
  static constexpr const char* kSection = "AutoMonitor";
  static constexpr int32_t kGroup = -100;

  // Reads the defaults of the program INI file and installs itself as the global AutoMonitor.
  explicit TAutoMonitor(TMonitorBook* book);
  // Stores the current device's automatic monitors.
  ~TAutoMonitor() override;
  TAutoMonitor(const TAutoMonitor&) = delete;
  TAutoMonitor& operator=(const TAutoMonitor&) = delete;

  bool Enabled() const override { return settings_.Enabled; }
  const TAutoMonSettings& Settings() const { return settings_; }
  void SetEnabled(bool on);
  void SetCurvesPerDiag(int32_t n);
  void SetDiagPerMon(int32_t n);
  void SetUse2YAx(bool on);
  void SetSepTableMon(bool on);

  bool ReloadDefaults = true;
  bool KeepSettings = false;
  bool ApplyingSettings = false;
  // Whether this is the first start after an update; set by the program.
  std::function<bool()> IsUpdateStart;

  TDevice* CurrentDevice() const { return device_; }
  const std::vector<TDDTMonitor*>& Monitors() const { return monitors_; }
  const std::vector<TDtPlotVO*>& Diagrams() const { return diagrams_; }
  TValTable* Table() const { return table_; }
  std::string GetDeviceIdName() const;

  // The device shell's selection changed (and the first idle pass).
  void SelDeviceChanged();
  // Selects every device in turn and then the one selected before.
  void ConvertAllDevices();
  // A node of the device tree changed: the rebuild follows in an idle task.
  void DeviceModified(TDevice* node) override;
  void EditSettings();
  // Applies the dialog's values as its OK does.
  void ApplySettings(const TAutoMonSettings& values, bool save_as_default, bool apply_to_all);

  void Rebuild();
  void LoadDevice();
  void SaveMonIni();
  void ReadDefaults();
  void SaveDefaults();
  void SaveDeviceSettings(TDevice* device);
  void ImportFromRegistry();
  // The idle task of DeviceModified, run at once.
  void RunDeviceModified();
  bool ModifiedPending() const { return changed_ != nullptr; }

private:
  class TWatch;
  struct TCurveMemo;
  struct TTableMemo;

  void TakeSelectedDevice();
  bool UpdateStart() const { return IsUpdateStart && IsUpdateStart(); }
  // Reads the settings of a section; Enabled only with with_enabled. Out-of-range counts keep
  // the current value.
  void ReadPar(TIniFile2& ini, bool with_enabled);
  void ReadParRegKey(TRegistry* registry);
  void ReadMonIni(TIniFile2* ini);
  void ReadMonRegKey(TRegistry* registry);
  void RestoreMonitors(int count, const std::function<TMonitorMan*(int)>& load);
  // Frees the automatic pages and forgets the built objects.
  void FreeMonitors();
  void StoreSetting(const std::function<void()>& store);
  TDDTMonitor* NewMonitor();
  void NewTable(const TTableMemo& memo);
  TDtPlotVO* NewDiagram();
  void Lock(TComponent* vo);
  void RememberCurves(std::vector<TCurveMemo>& curves) const;
  void RememberTable(TTableMemo& memo) const;
  void RestoreCurves(const std::vector<TCurveMemo>& curves);
  std::string LegacyKey() const;
  void BeginWork();
  void EndWork();

  TMonitorBook* book_;
  TAutoMonSettings settings_;
  TDevice* device_ = nullptr;
  std::vector<TDDTMonitor*> monitors_;
  std::vector<TDtPlotVO*> diagrams_;
  TValTable* table_ = nullptr;
  TChanSelList cells_;
  TDevice* changed_ = nullptr;
  std::unique_ptr<TWatch> watch_;
  int work_depth_ = 0;
  bool book_was_visible_ = true;
  int saved_cursor_ = 0;
  bool editing_ = false;
};

// The program's builder, the global AutoMonitor when it is one; null without.
TAutoMonitor* TheAutoMonitor();

}  // namespace qv
