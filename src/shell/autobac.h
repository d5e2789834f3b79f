#pragma once
// The switch of the automatic backup. While it is on, the backup's page is open in the monitor
// book and a minute task copies the queued files in small portions from the idle loop. [Autobac]
// Enabled of the program INI file keeps the switch between runs.
#include <memory>
#include <string>

#include "base/timer2.h"
#include "platform/rtl/component.h"

namespace qv {

class TAbMonitor;
class TMenuItem;
class TMonitorBook;

class TAutobac : public TComponent {
public:
  static constexpr uint32_t MinuteMs = 60000;

  // Reads [Autobac] Enabled; the page opens with OpenMonitor.
  explicit TAutobac(TComponent* owner = nullptr, const TTickSource& ticks = DefaultTickSource());
  // Clears AbMonitor, removes the minute task and frees the timer.
  ~TAutobac() override;
  std::string ClassName() const override { return "TAutobac"; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Binds a menu item: its check mark shows the switch, its click is MenuClick. Anything else
  // raises "TAutobac.SetControl: Control must be TMenuItem".
  void SetControl(TComponent* control);
  TMenuItem* MenuItem() const { return menu_item_; }
  // Opens the page while the switch is on and the monitor book is there, and registers the
  // minute task.
  void OpenMonitor();
  // The menu item switches on, or off after a confirmation; the page's stop button switches off
  // after the confirmation, from an idle task, so that the page outlives its button's event.
  void MenuClick(TComponent* sender);
  // The page in use went (at the program's end with the book): the switch goes off.
  void MonitorDestroyed(TComponent* page);
  // Copies the next portion of the page's queue; stays registered.
  void MinuteTask(bool& done);
  TTimer2* MinuteTimer() const { return timer_.get(); }

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void StartMinuteTask();
  void StopMinuteTask();
  // The program's book while it exists and is not being destroyed.
  static TMonitorBook* LiveBook();

  const TTickSource* ticks_;
  bool enabled_ = false;
  TMenuItem* menu_item_ = nullptr;
  std::unique_ptr<TTimer2> timer_;
  // Gone with the switch, so that a deferred switch-off of a freed switch does nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The program's switch, made and freed by the application module; null when there is none.
extern TAutobac* Autobac;
// The backup's page while it is open; null otherwise.
extern TAbMonitor* AbMonitor;

// Registers the switch with the application module's chain.
void RegisterAutobac();

}  // namespace qv
