#pragma once
// The time navigator: decides which time range the plots and tables show. It keeps the view
// range (Dt1) and the overview day (Dt2); step, zoom, unzoom, newest-data and edit commands change
// Dt1, the day commands Dt2, and after each change every data set whose clients follow the
// navigator reopens its windows. Its commands are bound by component name to the main window's
// buttons and menu items, which stay disabled while an update is pending and are re-enabled from
// an idle task. Main thread only.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/dt_stamp.h"
#include "base/timer2.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TComponent;
class TIdleTaskManager;

// Commands in the order of the bound names below.
enum TNavCommand : int {
  ncBigStepLeft,
  ncSmallStepLeft,
  ncSmallStepRight,
  ncBigStepRight,
  ncZoom,
  ncUnzoom,
  ncGotoNewest,
  ncEditDt,
  ncCount
};
// Component names of the buttons and the menu items that run each command.
extern const std::array<const char*, ncCount> NavButtonNames;
extern const std::array<const char*, ncCount> NavMenuItemNames;
// The command a component name stands for, -1 for none (names are compared ignoring case).
int NavCommandOfName(const std::string& name);

// A button or menu item of the main window as the navigator drives it; the GUI side adapts its
// controls to it, so that the navigator needs no GUI.
class TNavControl {
public:
  virtual ~TNavControl() = default;
  // The adapted control; its name says the command.
  virtual TComponent* Component() const = 0;
  virtual bool IsMenuItem() const = 0;
  // The form the control belongs to, null when none.
  virtual TComponent* Form() const = 0;
  // The control's click runs run.
  virtual void SetOnClick(std::function<void()> run) = 0;
  virtual void SetEnabled(bool enabled) = 0;
};

class TNavigator0 {
public:
  explicit TNavigator0(const TTickSource& ticks = DefaultTickSource(), const TWallClock& clock = DefaultWallClock());
  // Removes its pending idle task and clears the global DtNavigator when it is this object.
  virtual ~TNavigator0();
  TNavigator0(const TNavigator0&) = delete;
  TNavigator0& operator=(const TNavigator0&) = delete;

  virtual void BigStepLeft() {}
  virtual void SmallStepLeft() {}
  virtual void SmallStepRight() {}
  virtual void BigStepRight() {}
  virtual void Zoom() {}
  virtual void Unzoom() {}
  virtual void GotoNewest() {}
  virtual void LoadSettings() {}
  virtual void SaveSettings() {}
  // A button or menu item named in the tables gets the command as its click and is disabled;
  // anything else (and null) is ignored. The navigator keeps the adapter; the adapted control is
  // kept by reference: the main window frees the navigator before its controls.
  virtual void BindControl(std::unique_ptr<TNavControl> control);
  // Something the navigator shows may have changed: the controls are disabled and brought up to
  // date at the next idle moment after 100 ms.
  virtual void Changed();
  virtual void UpdateControls();

  // The idle task of a pending update.
  void IdleUpdate(bool& done);
  bool UpdatePending() const { return update_pending_; }
  // The controls that run a command, null when none is bound.
  TNavControl* BoundButton(int command) const { return controls_[command].Button.get(); }
  TNavControl* BoundMenuItem(int command) const { return controls_[command].MenuItem.get(); }
  // The form of the first bound control.
  TComponent* Form() const { return form_; }

protected:
  // Runs a bound command.
  virtual void RunCommand(int command);
  // The commands this navigator has (the base has no edit command).
  virtual bool HasCommand(int command) const { return command >= 0 && command < ncEditDt; }
  void EnableCommand(int command, bool enabled);
  void DisableAll();

private:
  struct Bound {
    std::unique_ptr<TNavControl> Button;
    std::unique_ptr<TNavControl> MenuItem;
  };

  TComponent* form_ = nullptr;
  std::unique_ptr<TTimer2> timer_;
  bool update_pending_ = false;
  std::array<Bound, ncCount> controls_;
};

// The date-time range dialog: shown modally with start and stop (floating date-time); answers
// True on OK with the edited values. The shell installs it; without it EditDt does nothing.
using TDtRangeDialog = std::function<bool(TDateTime& start, TDateTime& stop)>;
extern TDtRangeDialog InsertDtRangeDialog;

// Set by the recorder while it scrolls the view along a recording; the navigator then keeps
// its controls disabled.
extern bool AutoScrollActive;

class TDtNavigator : public TNavigator0 {
public:
  // Starts at the defaults of the clock's now, then takes the stored settings.
  explicit TDtNavigator(const TWallClock& clock = DefaultWallClock(), const TTickSource& ticks = DefaultTickSource());
  // Writes the settings.
  ~TDtNavigator() override;

  void BigStepLeft() override;
  void SmallStepLeft() override;
  void SmallStepRight() override;
  void BigStepRight() override;
  void Zoom() override;
  void Unzoom() override;
  void GotoNewest() override;
  // Section "Navigator" of the program INI file.
  void LoadSettings() override;
  void SaveSettings() override;
  void Changed() override;
  void UpdateControls() override;

  void SetDefault();
  // Zooms in around a moment (a click into a plot).
  void ZoomAt(const TDtStamp& stamp);
  void EditDt();
  void SetDt1(const TDtStamp& start, const TDtStamp& stop);
  void SetDt1Zoom(const TDtStamp& start, const TDtStamp& stop, uint8_t level);
  void PrevDay();
  void NextDay();
  void SetDay(uint16_t day);
  void FindNewest();

  // The view range and the overview day, both inclusive.
  TDtStamp Dt1Start = NoDtStamp;
  TDtStamp Dt1Stop = NoDtStamp;
  TDtStamp Dt2Start = NoDtStamp;
  TDtStamp Dt2Stop = NoDtStamp;
  uint8_t ZoomLevel = 12;
  TDtStamp NewestDt = NoDtStamp;
  bool GotoNewestPending = false;

protected:
  void RunCommand(int command) override;
  bool HasCommand(int command) const override { return command >= 0 && command < ncCount; }
  // Every data set with a client for event 6 or 7 reopens its windows.
  virtual void NotifyDataSets();
  // Some data set has a client that follows the view range.
  virtual bool HasViewFollower() const;
  // The newest record of the data sets that follow the view range; NoDtStamp when none.
  virtual TDtStamp NewestOfFollowers() const;

private:
  bool Dt1Complete() const;
  bool Dt1Usable();
  bool Dt2Usable();
  void StepDt1(uint16_t mode);
  void FitDt1();
  void FitDt2();
  void SetWholeDay(uint16_t day);

  const TWallClock& clock_;
};

// The program's navigator; null before the main window creates it and after it is freed.
extern TNavigator0* DtNavigator;

}  // namespace qv
