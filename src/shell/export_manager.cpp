#include "shell/export_manager.h"

#include <cmath>
#include <exception>
#include <filesystem>
#include <memory>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "comm/process_window_service.h"
#include "datastore/dt_navigator.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/rtl/exception.h"
#include "shell/d42_export.h"
#include "shell/exp_format_frm.h"
#include "shell/export_modul.h"

namespace qv {

TExportManager* ExportManager = nullptr;

namespace {

constexpr int MaxProposedNumber = 99;

// The navigator's view window; today 00:00:00 to 23:59:59 without one.
void DefaultRange(TDateTime& start, TDateTime& stop) {
  if (auto* nav = dynamic_cast<TDtNavigator*>(DtNavigator)) {
    const auto valid = [](const TDtStamp& s) { return s.Date != NoDayNo && s.Time >= 0 && s.Time < 86400; };
    if (valid(nav->Dt1Start) && valid(nav->Dt1Stop)) {
      start = DtStampToDateTime(nav->Dt1Start);
      stop = DtStampToDateTime(nav->Dt1Stop);
      return;
    }
  }
  start = std::floor(Now());
  stop = start + 86399.0 / 86400.0;
}

// The wizard's choices as [Export] stores them.
TExportSettings ChosenSettings(TD42_Export& wizard) {
  TExpFormatFrm& f = *wizard.FormatFrm;
  TExportSettings s;
  s.InfoSet = wizard.ChanInfoFrm->GetInfoSet();
  s.DateFormat = f.GetDateFormat();
  s.TimeFormat = f.GetTimeFormat();
  s.DecimalSeparator = f.GetDecimalSep();
  s.FieldSeparator = f.GetFieldSeparator();
  s.LineEnd = f.GetLineEnd();
  s.BadValueString = f.GetBadValStr();
  return s;
}

}  // namespace

std::string ProposeExportFileName(const std::string& folder) {
  std::error_code ec;
  for (int n = 1; n <= MaxProposedNumber; ++n) {
    const std::string name = folder + "Export" + std::to_string(n) + ".txt";
    if (!std::filesystem::exists(name, ec)) return name;
  }
  return folder + "Export" + std::to_string(MaxProposedNumber) + ".txt";
}

bool RunExportUnderProgress(TTxtExpModul& module) {
  if (ProcessWindow) throw Exception("TExportManager.ExportClick: ProcessWindow in use");
  if (!ProcessWindowFactory) throw Exception("TExportManager.ExportClick: no progress window");
  TProcessWindowService* window = ProcessWindowFactory();
  ProcessWindow = window;
  bool cancel_pressed = false;
  bool written = false;
  std::exception_ptr error;
  struct TCleanup {
    TTxtExpModul& module;
    TProcessWindowService* window;
    ~TCleanup() {
      module.OnProgress = nullptr;
      if (ProcessWindow == window) ProcessWindow = nullptr;
      window->Free();
    }
  } cleanup{module, window};

  window->SetText1(LoadResString("d42_Exporting"));
  window->SetText2(module.FileName);
  window->SetCancelVisible(true);
  window->OnCancel = [&cancel_pressed](TProcessWindowService*) { cancel_pressed = true; };
  // The run keeps the window alive between rows; a pressed Cancel ends it, and the file stays
  // as it was because the export replaces it only when complete.
  module.OnProgress = [&cancel_pressed] {
    if (Application) Application->ProcessMessages();
    if (cancel_pressed) throw EAbort("Export cancelled");
  };
  window->OnProcess = [&](TProcessWindowService* w) {
    try {
      module.Execute();
      written = true;
    } catch (const EAbort&) {
    } catch (...) {
      error = std::current_exception();
    }
    w->Finish(written ? mrOk : mrCancel);
  };
  window->ShowModal();
  if (error) std::rethrow_exception(error);
  return written;
}

TExportManager::TExportManager() { ExportManager = this; }

TExportManager::~TExportManager() {
  SetExportMenu(nullptr);
  SetExportBtn(nullptr);
  if (ExportManager == this) ExportManager = nullptr;
}

// The control given before gets its click action back: the binder forgets a control (null)
// before it frees it.
void TExportManager::SetExportMenu(TMenuItem* item) {
  if (item == menu_) return;
  if (menu_) menu_->OnClick = nullptr;
  menu_ = item;
  if (menu_) menu_->OnClick = [this](TComponent*) { ExportClick(); };
}

void TExportManager::SetExportBtn(TControl* button) {
  if (button == button_) return;
  if (button_) button_->OnClick = nullptr;
  button_ = button;
  if (button_) button_->OnClick = [this](TComponent*) { ExportClick(); };
}

void TExportManager::ExportClick() {
  if (D42_Export) return;
  TDateTime start, stop;
  DefaultRange(start, stop);
  // The wizard, the module and the INI file go on every way out.
  auto wizard = std::make_unique<TD42_Export>(Application);
  wizard->SetRange(start, stop);
  wizard->SetSources({});

  TIniFile2 ini(IniFileName);
  const TExportSettings stored = ReadExportSettings(ini);
  wizard->ChanInfoFrm->SetInfoSet(stored.InfoSet);
  wizard->SetFileName(ProposeExportFileName(ExePath));
  TExpFormatFrm& format = *wizard->FormatFrm;
  format.SetDateFormatOrDefault(stored.DateFormat);
  format.SetTimeFormatOrDefault(stored.TimeFormat);
  format.SetDecimalSep(stored.DecimalSeparator);
  format.SetFieldSeparator(stored.FieldSeparator);
  format.SetLineEnd(stored.LineEnd);
  format.SetBadValStr(stored.BadValueString);

  if (wizard->ShowModal() != mrOk || wizard->Sources().empty()) return;
  const TExportSettings chosen = ChosenSettings(*wizard);
  auto module = std::make_unique<TTxtExpModul>();
  module->SetSources(&wizard->Sources());
  module->SetRange(wizard->GetStartDt(), wizard->GetStopDt());
  module->TimeOnly = wizard->SkipDateCheckB->Checked();
  module->FileName = wizard->FileName();
  module->Append = wizard->AppendToFileCheckB->Checked();
  module->InfoSet = chosen.InfoSet;
  module->DateFormat = chosen.DateFormat;
  module->TimeFormat = chosen.TimeFormat;
  module->DecimalSeparator = chosen.DecimalSeparator;
  module->FieldSeparator = FieldSepChars[chosen.FieldSeparator];
  module->LineEnd = LineEndTexts[chosen.LineEnd];
  module->BadValueString = chosen.BadValueString;
  if (!RunExportUnderProgress(*module)) return;
  WriteExportSettings(ini, chosen);
}

}  // namespace qv
