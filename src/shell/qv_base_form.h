#pragma once
// The base of the logger main window: it has the application module created, creates the
// user-interface controllers (selection holder, class registries, navigator, status bar, monitor
// book), binds the window's named menu items and buttons to the controllers that own them, runs
// the start-up work on the first idle pass and keeps the monitor and visual-object commands up to
// date through a deferred update.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/forms/multilingual_form.h"
#include "base/timer2.h"

namespace qv {

class TControl;
class TDbShellComboBox;
class TDbShellMenuItem;
class TMenuItem;
class TAutoMonitor;
class TMonitorBook;
class TPaintBox;
class TPrintLayout;
class TPanel;
class TSpeedButton;
class TStyClockStatus;
class TStyStatusBar;
class TStyStatusPane;

// The paint box in the status bar in which the recorder draws its animation; null without a
// main window.
extern TPaintBox* StatusPaintBox;

class TQvBaseForm : public TMultilingualForm1 {
public:
  explicit TQvBaseForm(TComponent* owner);
  // Frees the controllers, then the window's components, the application module last.
  ~TQvBaseForm() override;
  std::string ClassName() const override { return "TQvBaseForm"; }

  // The creation steps after the layout exists: Loaded (the module chain and the controllers),
  // BindComponents, the recorder's binding, the device-change callback and the start-up task.
  // A failure is shown and logged and leaves InitFailed set.
  void Initialize();
  bool InitFailed() const { return !init_error_.empty(); }
  const std::string& InitError() const { return init_error_; }

  std::unique_ptr<TTimer2> UpdateTimer;
  bool UpdatePending = false;
  int32_t LangSwitching = 0;

  TStyStatusBar* StatusBar = nullptr;
  TStyStatusPane* StatusPane = nullptr;
  TStyClockStatus* ClockPane = nullptr;
  TPanel* AnimPanel = nullptr;

  // The controls kept for UpdateControls; null when the window has none of that name.
  TMenuItem* EMenMonitor = nullptr;
  TMenuItem* VMenMonitor = nullptr;
  TMenuItem* EMenVO = nullptr;
  TMenuItem* VMenVO = nullptr;
  TMenuItem* FPMenPrintVo = nullptr;
  TMenuItem* EMenAddMonitor = nullptr;
  TMenuItem* EMenLoadMon = nullptr;
  TSpeedButton* MonButton2 = nullptr;
  TSpeedButton* MonButton1 = nullptr;
  TSpeedButton* DelVObjButton = nullptr;
  TSpeedButton* PrintVoBtn = nullptr;

  TMonitorBook* Book() const { return book_; }
  // The names BindComponents bound, in the order it met them.
  const std::vector<std::string>& BoundNames() const { return bound_names_; }

  // The start-up work of the first idle pass.
  virtual void AfterStartup();
  virtual void mehFMenExitClick();
  virtual void mehFormShow();
  virtual bool mehFormCloseQuery();
  virtual void SelectLanguage();
  virtual void mehOMenProtocolClick();
  virtual void mehOMenAutoMonClick();
  virtual void mehOMenExplorerClick();
  virtual void mehIMenDelDeviceClick();
  virtual void mehMonButton2Click();
  virtual void mehMonButton1Click();
  virtual void mehEMenAddMonitorClick();
  virtual void mehEMenLoadMonClick();
  virtual void mehDelVObjBtnMenClick();
  virtual void mehHMenContentsClick();
  virtual void mehHMenUsingHelpClick();
  virtual void mehHMenInfoClick();
  virtual void mehHMenSupplClick();
  virtual void mehOnReadMemClick();
  virtual void DeviceChanged();
  virtual void mehFormKeyDown(uint16_t& key, TShiftState shift);
  virtual void UpdateLanguage();
  virtual void UpdateControls();
  virtual void DisableControls();

  // The change callback of the selection holder and the monitor book.
  void RequestUpdate();
  void UpdateCaption();
  void UpdateDeviceMenus();
  // The user's rights on a named command of the window. The memory, clock and configuration items
  // and the read button also follow what the selected device can do, so a right only takes them
  // away; the other items take the state as given. An unknown name changes nothing.
  void SetCommandEnabled(const std::string& name, bool enabled);
  // The window's own printing of its image, scaled to fit the page.
  void PrintScreenshot();
  // WM_CANCELMODE ends a pending drag on a selected picture monitor.
  void WndProc(TMessage& message) override;

protected:
  virtual void CreateApplModule() = 0;
  virtual void FormLoadedHook() {}
  virtual void CreateSelector();
  virtual void CreateStatusBar();
  virtual void CreateVOClassRegistry();
  virtual void CreateMonitorClassReg();
  virtual void CreateGraphicRegistry();
  virtual void CreateMonitorBook();
  virtual void CreatePrintLayout();
  virtual void CreateAutoMonitor();
  virtual void BindComponents();
  void Loaded();
  // Shows a help topic (0: the contents) when the help file is installed, else says so.
  void ShowHelp(int32_t context);
  // Keys of the page and arrow group go to the selected visual object.
  void KeyDown(uint16_t& key, TShiftState shift) override;
  bool CloseQuery() override;
  // Closing the main window ends the program: the session's pages are saved now, while a failure
  // can still be shown.
  void DoClose(TCloseAction& action) override;
  // After the user chose another language.
  virtual void LanguageChanged() {}
  // Closing this window ends the program (it is the main form).
  virtual bool EndsProgram() const;
  // True from the start of the destructor on.
  bool destroying_ = false;
  // The module was made by this window and goes with it, after its components.
  bool owns_module_ = false;

private:
  void StartupTask(bool& done);
  void UpdateTask(bool& done);
  void PlaceStatusPanes();
  void Unbind();

  std::string init_error_;
  std::vector<std::string> bound_names_;
  std::unique_ptr<TDbShellComboBox> combo_adapter_;
  std::unique_ptr<TDbShellMenuItem> menu_adapter_;
  TMenuItem* view_menu_ = nullptr;
  TMonitorBook* book_ = nullptr;
  std::unique_ptr<TPrintLayout> print_layout_;
  TAutoMonitor* auto_monitor_ = nullptr;
  TSpeedButton* read_mem_button_ = nullptr;
  // Device commands the user's rights take away.
  std::vector<std::string> denied_device_commands_;
  bool Denied(const std::string& name) const;
  // The device commands as the selected handler allows them, less what the rights take away.
  void FollowDeviceHandlers();
};

}  // namespace qv
