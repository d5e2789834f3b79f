#pragma once
// The automatic backup's page in the monitor book: it holds the backup settings (section
// [Autobac] of the program INI file) and their controls, scans the source tree every few minutes
// and lists the files saved last. It holds no visual objects and is never stored with the
// session's pages.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/ab_copy_queue.h"
#include "visual/monitor_man.h"

namespace qv {

class TAbFrame;
class TIniFile2;

class TAbMonitor : public TMonitorMan {
public:
  // The saved-files list keeps this many lines, the newest last.
  static constexpr int MaxSavedLines = 100;

  explicit TAbMonitor(TComponent* owner);
  // Frees the frame and calls OnMonitorDestroy; the settings are not written.
  ~TAbMonitor() override;
  std::string ClassName() const override { return "TAbMonitor"; }
  // Reads the settings, then builds the frame.
  void AfterConstruction() override;

  // The source root (default the program folder) and the backup folder, each with a trailing
  // "/"; the backup folder is empty until one was accepted.
  const std::string& Source() const { return queue_.Source; }
  const std::string& Destination() const { return queue_.Destination; }
  const std::vector<std::string>& Extensions() const { return queue_.Extensions; }
  // Minutes between two scans.
  int32_t ScanInt = 1;
  // Minutes counted towards the next scan.
  int32_t MinuteCount = 0;

  // Called when the page is destroyed, and by the page's stop button.
  TNotifyEvent OnMonitorDestroy;
  TNotifyEvent OnStopClick;

  virtual void BuildFrame();
  TAbFrame* Frame() const { return frame_; }
  TAbCopyQueue& Queue() { return queue_; }

  // One minute of Timer1: the scan runs every ScanInt minutes.
  void TimerTick();
  void Scan() { queue_.Scan(); }
  // Copies the next portion of the queue and lists the files saved.
  void CopyPass();

  // The frame's controls.
  void SettingChanged();
  void AddClick();
  void DeleteClick();
  void AcceptClick();
  void UndoClick();
  void StopClick();

  // Monitor operations: the page holds no visual objects and has no popup, title editing or
  // tool buttons.
  void LoadTitlePrefix() override;
  std::string GetTypeDescr() const override;
  std::string GetTitle() const override { return AutoTitlePrefix; }
  void EditTitle() override {}
  void CreatePopupMenu() override {}
  void UpdateMenus() override;
  void UpdateLanguage() override;
  int IndexOfVisObj(const TVisObj*) const override { return -1; }
  bool CanAcceptClass(const TVisObjClass*) const override { return false; }
  int CountOfClass(const TVisObjClass*) const override { return 0; }
  void InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) override;
  void DeleteVisObj(TVisObj* vo, bool confirm) override;
  void VOStateChange(TComponent* sender) override;
  void VODestroy(TComponent* sender) override;
  void Clear() override {}
  bool IsEmpty() const override { return false; }
  void Deactivate() override {}
  void Activate() override {}

private:
  void ReadSettings();
  void WriteSettings();
  // Shows the stored settings in the controls.
  void FillControls();
  void EnableEditButtons(bool enabled);

  TAbCopyQueue queue_;
  TAbFrame* frame_ = nullptr;
  // Set while the page fills its controls, whose change events are then no user's edit.
  bool filling_ = false;
};

// The page's class; it is not offered among the user's monitor classes.
extern const TMonitorClass AbMonitorClass;

}  // namespace qv
