#include "shell/autobac.h"

#include "base/app_globals.h"
#include "base/idle_task_manager.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "devices/visual_hooks.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "shell/ab_monitor.h"
#include "shell/appl_module.h"
#include "visual/monitor_book.h"

namespace qv {

TAutobac* Autobac = nullptr;
TAbMonitor* AbMonitor = nullptr;

namespace {
constexpr const char* kSection = "Autobac";
// After the user's pages; never stored with them.
constexpr int32_t kPageGroup = 1100;

bool ConfirmSwitchOff() {
  return MessageDlg(LoadResString("aut_ConfDelAb"), TMsgDlgType::mtConfirmation, mbOKCancel) == mrOk;
}
}  // namespace

TAutobac::TAutobac(TComponent* owner, const TTickSource& ticks) : TComponent(owner), ticks_(&ticks) {
  if (!IniFileName.empty()) enabled_ = TIniFile2(IniFileName).ReadBool(kSection, "Enabled", false);
}

TAutobac::~TAutobac() {
  if (AbMonitor) {
    AbMonitor->OnMonitorDestroy = nullptr;
    AbMonitor->OnStopClick = nullptr;
    AbMonitor = nullptr;
  }
  if (IdleTaskManager) {
    IdleTaskManager->RemoveTask(this, timer_.get());
    IdleTaskManager->RemoveTask(this, nullptr);
  }
  timer_.reset();
  if (menu_item_) {
    menu_item_->OnClick = nullptr;
    menu_item_->RemoveFreeNotification(this);
  }
  if (Autobac == this) Autobac = nullptr;
}

TMonitorBook* TAutobac::LiveBook() {
  auto* book = dynamic_cast<TMonitorBook*>(MonitorBook);
  return book && !book->IsBeingDestroyed() ? book : nullptr;
}

void TAutobac::SetControl(TComponent* control) {
  auto* item = dynamic_cast<TMenuItem*>(control);
  if (!item) throw Exception("TAutobac.SetControl: Control must be TMenuItem");
  if (menu_item_ && menu_item_ != item) {
    menu_item_->OnClick = nullptr;
    menu_item_->RemoveFreeNotification(this);
  }
  menu_item_ = item;
  item->FreeNotification(this);
  item->SetChecked(enabled_);
  item->OnClick = [this](TComponent* sender) { MenuClick(sender); };
}

void TAutobac::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == menu_item_) menu_item_ = nullptr;
}

void TAutobac::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (value) {
    OpenMonitor();
    StartMinuteTask();
  } else {
    // Cleared first, so that the page's destruction notice finds no page in use.
    TAbMonitor* page = AbMonitor;
    AbMonitor = nullptr;
    delete page;
    StopMinuteTask();
  }
  if (menu_item_) menu_item_->SetChecked(enabled_);
  // At the program's end the book takes the page with it: the switch stays on for the next start.
  if (LiveBook() && !IniFileName.empty()) TIniFile2(IniFileName).WriteBool(kSection, "Enabled", enabled_);
}

void TAutobac::OpenMonitor() {
  if (AbMonitor || !enabled_) return;
  TMonitorBook* book = LiveBook();
  if (!book) return;
  auto* page = dynamic_cast<TAbMonitor*>(book->AddGroupMonitor(kPageGroup, &AbMonitorClass));
  if (!page) return;
  AbMonitor = page;
  page->OnMonitorDestroy = [this](TComponent* sender) { MonitorDestroyed(sender); };
  page->OnStopClick = [this](TComponent* sender) { MenuClick(sender); };
  StartMinuteTask();
}

void TAutobac::StartMinuteTask() {
  if (!timer_)
    timer_ = std::make_unique<TTimer2>(MinuteMs, *ticks_);
  else
    timer_->SetInterval(MinuteMs);
  if (IdleTaskManager)
    IdleTaskManager->AddTask(this, timer_.get(), [this](TIdleTaskManager*, TTimer2*, bool& done) { MinuteTask(done); });
}

void TAutobac::StopMinuteTask() {
  if (IdleTaskManager && timer_) IdleTaskManager->RemoveTask(this, timer_.get());
}

void TAutobac::MenuClick(TComponent* sender) {
  if (dynamic_cast<TMenuItem*>(sender)) {
    if (!enabled_)
      SetEnabled(true);
    else if (ConfirmSwitchOff())
      SetEnabled(false);
    return;
  }
  // The page's stop button: the page must not go while its button's event runs.
  if (!ConfirmSwitchOff()) return;
  if (IdleTaskManager) {
    IdleTaskManager->AddTask(this, nullptr, [this](TIdleTaskManager*, TTimer2*, bool& done) {
      done = true;
      SetEnabled(false);
    });
  } else {
    PostDeferredCall([this, alive = std::weak_ptr<bool>(alive_)] {
      if (auto flag = alive.lock(); flag && *flag) SetEnabled(false);
    });
  }
}

void TAutobac::MonitorDestroyed(TComponent* page) {
  if (!AbMonitor || !dynamic_cast<TAbMonitor*>(page)) return;
  AbMonitor = nullptr;
  SetEnabled(false);
}

void TAutobac::MinuteTask(bool& done) {
  done = false;
  if (timer_) timer_->Restart();
  if (!AbMonitor) return;
  try {
    AbMonitor->CopyPass();
  } catch (...) {
    // Failed copies are logged by the pass; anything else is shown, and the backup goes on.
    if (Application) Application->HandleException(this);
  }
}

void RegisterAutobac() {
  RegisterApplObjectFactory("Autobac", {[] { Autobac = new TAutobac(); },
                                        [] {
                                          delete Autobac;
                                          Autobac = nullptr;
                                        }});
}

}  // namespace qv
