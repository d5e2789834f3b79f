#include "archive/forms/d60_show_log.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "archive/archive_globals.h"
#include "archive/dy_audit_manager.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/gui/printers.h"
#include "platform/gui/rich_edit.h"
#include "platform/rtl/exception.h"
#include "shell/d32_insert_dt_range.h"
#include "shell/d70_sel_date_time.h"
#include "shell/dialog_parts.h"
#include "shell/std_dialog_form.h"

namespace qv {

namespace {

constexpr int PanelWidth = 128;
constexpr int ButtonWidth = PanelWidth - 16;
constexpr const char* TrailFilter = "AuditTrail (Audit*.dat)|Audit*.dat|AuditTrail (*.dat)|*.dat|(*.*)|*.*";

// The hourglass while a page loads; the cursor before it comes back however the load ends.
class THourGlass {
public:
  THourGlass() : saved_(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~THourGlass() {
    if (Screen) Screen->SetCursor(saved_);
  }
  THourGlass(const THourGlass&) = delete;
  THourGlass& operator=(const THourGlass&) = delete;

private:
  TCursor saved_;
};

TButton* PanelButton(TForm* form, TPanel* panel, const std::string& caption, const std::string& hint_key, int top) {
  auto* b = new TButton(form);
  b->SetParent(panel);
  b->SetBounds(8, top, ButtonWidth, DlgButtonHeight);
  b->SetCaption(caption);
  if (!hint_key.empty()) {
    b->SetHint(LoadResString(hint_key));
    b->SetShowHint(true);
  }
  NoteActivityOnMouse(b);
  return b;
}

bool TryReadDateTime(const std::string& text, TDateTime& out) {
  // The date and the time are apart by a blank; a date format may hold blanks of its own, so
  // every blank is tried in turn.
  for (size_t blank = text.find(' '); blank != std::string::npos; blank = text.find(' ', blank + 1)) {
    try {
      const TDateTime date = StrToDate(text.substr(0, blank));
      const TDateTime time = StrToTime(text.substr(blank + 1));
      out = date + (date < 0 ? -time : time);
      return true;
    } catch (const Exception&) {
    }
  }
  try {
    out = StrToDate(text);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace

TDateTime DisplayLineTime(const std::string& line) {
  size_t end = line.find('<');
  if (end == std::string::npos) end = line.find('[');
  if (end == std::string::npos) return -1000;
  std::string text = line.substr(0, end);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  TDateTime t = 0;
  return !text.empty() && TryReadDateTime(text, t) ? t : -1000;
}

TD60_ShowLog::TD60_ShowLog(TComponent* owner, TDY_AuditManager& trail, const TWallClock* clock)
    : TForm(owner), trail_(trail), clock_(clock ? clock : &DefaultWallClock()), file_(trail.FileName()) {
  SetName("D60_ShowLog");
  SetText(LoadResString("D60_ShowLog"));
  SetPosition(TPosition::poScreenCenter);
  SetBounds(0, 0, 760, 520);
  NoteActivityOnMouse(this);

  ButtonPanel = new TPanel(this);
  ButtonPanel->SetParent(this);
  ButtonPanel->SetAlign(TAlign::alRight);
  ButtonPanel->SetWidth(PanelWidth);
  ButtonPanel->SetBevelOuter(TPanelBevel::bvNone);
  NoteActivityOnMouse(ButtonPanel);
  int top = 8;
  const int step = DlgButtonHeight + 6;
  BitBtn1 = PanelButton(this, ButtonPanel, LoadResString("b_&Back"), "", top);
  BitBtn2 = PanelButton(this, ButtonPanel, LoadResString("b_&Next"), "", top += step);
  PrintLog = PanelButton(this, ButtonPanel, LoadResString("b_&Print"), "b_hint_print_audittrail", top += step + 12);
  BtnEditDt = PanelButton(this, ButtonPanel, LoadResString("D60_TimeRange"), "b_hint_EditDt", top += step);
  BtnSave = PanelButton(this, ButtonPanel, LoadResString("D60_Archive"), "b_hint_archive_audittrail", top += step);
  BtnOpen = PanelButton(this, ButtonPanel, LoadResString("D60_Open"), "b_hint_open_audittrail", top += step);

  RichEdit = new TMemo(this);
  RichEdit->SetParent(this);
  RichEdit->SetAlign(TAlign::alClient);
  RichEdit->SetReadOnly(true);
  RichEdit->SetWordWrap(false);
  RichEdit->SetScrollBars(true, true);
  NoteActivityOnMouse(RichEdit);

  BitBtn1->OnClick = [this](TComponent*) {
    NoteUserActivity();
    BitBtn1Click();
  };
  BitBtn2->OnClick = [this](TComponent*) {
    NoteUserActivity();
    BitBtn2Click();
  };
  PrintLog->OnClick = [this](TComponent*) {
    NoteUserActivity();
    PrintLogClick();
  };
  BtnEditDt->OnClick = [this](TComponent*) {
    NoteUserActivity();
    BtnEditDtClick();
  };
  BtnSave->OnClick = [this](TComponent*) {
    NoteUserActivity();
    BtnSaveClick();
  };
  BtnOpen->OnClick = [this](TComponent*) {
    NoteUserActivity();
    BtnOpenClick();
  };
  OnShow = [this](TComponent*) { FormShow(); };
  OnResize = [this](TComponent*) {
    NoteUserActivity();
    FormResize();
  };
}

TD60_ShowLog::~TD60_ShowLog() = default;

void TD60_ShowLog::FillText(bool to_end) {
  RichEdit->SetLines(std::move(display_lines_), to_end);
  display_lines_.clear();
}

void TD60_ShowLog::ShowPage(bool to_end) {
  ready_ = false;
  {
    THourGlass hour_glass;
    try {
      trail_.ReadPage(file_, PageSize, display_lines_, first_, last_);
      // A missing or empty file keeps the page it had; the text shows what was read.
      FillText(to_end);
    } catch (...) {
      display_lines_.clear();
      ready_ = true;
      throw;
    }
  }
  ready_ = true;
}

void TD60_ShowLog::FormShow() {
  last_ = -1;
  ShowPage(true);
}

void TD60_ShowLog::BitBtn1Click() {
  if (first_ <= 0) return;
  last_ = first_;
  ShowPage(false);
}

void TD60_ShowLog::BitBtn2Click() {
  if (last_ <= 0) return;
  last_ += PageSize;
  ShowPage(true);
}

void TD60_ShowLog::FormResize() {
  if (ready_) ShowPage(true);
}

void TD60_ShowLog::BtnOpenClick() {
  if (!StdDialogForm) return;
  TOpenDialog& dialog = *StdDialogForm->OpenDialog;
  dialog.FileName = file_;
  dialog.DefaultExt = "dat";
  dialog.Filter = TrailFilter;
  dialog.FilterIndex = 1;
  if (!dialog.Execute()) return;
  file_ = dialog.FileName;
  last_ = -1;
  ShowPage(true);
}

void TD60_ShowLog::BtnEditDtClick() {
  const int n = RichEdit->LineCount();
  TDateTime start = n > 0 ? DisplayLineTime(RichEdit->Line(0)) : -1000;
  TDateTime stop = n > 0 ? DisplayLineTime(RichEdit->Line(n - 1)) : -1000;
  if (RunD32InsertDtRange(start, stop) != mrOk) return;
  const TDateTime from = std::min(start, stop);
  const TDateTime to = std::max(start, stop);
  int count = 0;
  {
    THourGlass hour_glass;
    trail_.ReadRange(file_, count, display_lines_, first_, last_, to, from);
    FillText(true);
  }
}

void TD60_ShowLog::BtnSaveClick() {
  auto picker = std::make_unique<TD70_SelDateTime>(this, clock_);
  uint16_t year = 0, month = 0, day = 0;
  DecodeDate(clock_->Now(), year, month, day);
  picker->SetSelDt(EncodeDate(year, month, 1));
  if (picker->ShowModal() != mrOk) return;
  const TDateTime from = picker->GetSelDt();
  picker.reset();
  if (!StdDialogForm) return;
  TSaveDialog& dialog = *StdDialogForm->SaveDialog;
  dialog.DefaultExt = "dat";
  dialog.FileName = ArchiveDataPath + "AuditTrail_" + DateStamp(from) + ".dat";
  dialog.Filter = TrailFilter;
  dialog.FilterIndex = 1;
  for (;;) {
    if (!dialog.Execute()) return;
    std::error_code error;
    if (std::filesystem::exists(dialog.FileName, error)) {
      ArchiveInfoBox(LoadResString("D60_FileExists"));
      continue;
    }
    if (trail_.ArchiveLog(dialog.FileName, from)) {
      ArchiveInfoBox(LoadResString("D60_ArchiveCreated"));
      last_ = -1;
      ShowPage(true);
    } else {
      ArchiveInfoBox(LoadResString("D60_ArchiveError"));
    }
    return;
  }
}

void TD60_ShowLog::PrintLogClick() {
  if (!StdDialogForm || !StdDialogForm->PrintDialog->Execute()) return;
  TPrinter& printer = Printer();
  const int x = printer.PixelsPerInch();
  const int y = printer.PixelsPerInch();
  const TRect page{x / 2, y * 3 / 4, printer.PageWidth() - x / 2, printer.PageHeight() - y * 3 / 4};
  PrintTextLines(RichEdit->Lines(), RichEdit->Font(), page, LoadResString("D60_AuditLogPrintCaption"));
}

void RunD60ShowLog(TDY_AuditManager& trail) {
  auto viewer = std::make_unique<TD60_ShowLog>(Application, trail);
  viewer->ShowModal();
}

}  // namespace qv
