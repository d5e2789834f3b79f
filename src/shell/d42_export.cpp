#include "shell/d42_export.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_panel.h"
#include "datastore/channel.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "shell/dialog_parts.h"
#include "shell/exp_format_frm.h"
#include "shell/std_dialog_form.h"
#include "visual/d41_setup_gl_chans.h"

namespace qv {

TD42_Export* D42_Export = nullptr;

namespace {

const char* const PageKeys[TD42_Export::PageCount] = {"d42_ExportDtRange", "d42_Sources", "d42_GlbChanInfo",
                                                      "d42_ExportToFile", "d42_TxtFormat"};
constexpr int NotebookWidth = 440;
constexpr int NotebookHeight = 310;
constexpr int GroupWidth = 200;

TDateTime Combine(const TDateTimePicker* date, const TDateTimePicker* time) {
  const TDateTime t = time->DateTime();
  return std::floor(date->DateTime()) + (t - std::floor(t));
}

TButton* MakeButton(TWinControl* parent, const std::string& key, int left, int top, int width) {
  auto* b = new TButton(parent);
  b->SetParent(parent);
  b->SetText(LoadResString(key));
  b->SetBounds(left, top, width, DlgButtonHeight);
  return b;
}

TCheckBox* MakeCheckBox(TWinControl* parent, const std::string& key, int left, int top) {
  auto* c = new TCheckBox(parent);
  c->SetParent(parent);
  c->SetText(LoadResString(key));
  c->SetBounds(left, top, 400, 20);
  return c;
}

}  // namespace

bool IsValidExportFile(const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path path(name);
  const std::string leaf = path.filename().string();
  if (!path.is_absolute() || leaf.empty() || leaf == "." || leaf == ".." || leaf.find('\\') != std::string::npos)
    return false;
  std::error_code ec;
  if (!fs::is_directory(path.parent_path(), ec)) return false;
  // An existing file is replaced (or appended to) as a whole; a folder cannot be.
  const fs::file_status status = fs::status(path, ec);
  return !fs::exists(status) || fs::is_regular_file(status);
}

TD42_Export::TD42_Export(TComponent* owner) : TMultilingualForm2(owner) {
  D42_Export = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  Keys().Caption(this, "d42_Export");
  NoteActivityOnMouse(this);
  auto changed = [this](TComponent*) { Changed(); };

  PageTitleLbl = new TLabel(this);
  PageTitleLbl->SetParent(this);
  PageTitleLbl->Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
  PageTitleLbl->SetBounds(10, 10, NotebookWidth, 18);
  Notebook = new TNotebook(this);
  Notebook->SetParent(this);
  Notebook->SetBounds(10, 36, NotebookWidth, NotebookHeight);
  for (const char* key : PageKeys) Notebook->AddPage(key);

  // Page 0: the range.
  TPage* page = Notebook->Page(pgRange);
  auto group = [&](const std::string& key, int left) {
    auto* g = new TStyGroupBox(this);
    g->SetParent(page);
    g->SetText(LoadResString(key));
    g->SetBounds(left, 0, GroupWidth, 88);
    return g;
  };
  auto picker = [&](TStyGroupBox* g, TDateTimeKind kind, int top) {
    auto* p = new TDateTimePicker(this);
    p->SetParent(g);
    p->SetKind(kind);
    p->SetBounds(12, top, GroupWidth - 24, 22);
    p->OnChange = changed;
    return p;
  };
  StartGroup = group("d32_StartDt", 0);
  StopGroup = group("d32_StopDt", GroupWidth + 20);
  StartDate = picker(StartGroup, TDateTimeKind::dtkDate, 24);
  StartTime = picker(StartGroup, TDateTimeKind::dtkTime, 54);
  StopDate = picker(StopGroup, TDateTimeKind::dtkDate, 24);
  StopTime = picker(StopGroup, TDateTimeKind::dtkTime, 54);
  SkipDateCheckB = MakeCheckBox(page, "d42_SkipDate", 0, 100);
  SkipDateCheckB->OnClick = changed;

  // Page 1: the channels.
  page = Notebook->Page(pgSources);
  SourceListBox = new TListBox(this);
  SourceListBox->SetParent(page);
  SourceListBox->SetBounds(0, 0, NotebookWidth, NotebookHeight - DlgButtonHeight - 10);
  const int buttons_top = NotebookHeight - DlgButtonHeight;
  SelDeviceChansBtn = MakeButton(page, "d42_SelDeviceChans", 0, buttons_top, 180);
  SelDeviceChansBtn->OnClick = [this](TComponent*) { SelDeviceChansClick(); };
  SetupChansBtn = MakeButton(page, "d42_SetupChans", 190, buttons_top, 180);
  SetupChansBtn->OnClick = [this](TComponent*) { SetupChansClick(); };

  // Page 2: the header rows.
  ChanInfoFrm = new TExpChanInfoFrm(this);
  ChanInfoFrm->SetParent(Notebook->Page(pgChanInfo));
  ChanInfoFrm->SetBounds(0, 0, NotebookWidth, NotebookHeight);
  ChanInfoFrm->OnChange = [this] { Changed(); };

  // Page 3: the file.
  page = Notebook->Page(pgFile);
  FileEdit = new TEdit(this);
  FileEdit->SetParent(page);
  FileEdit->SetBounds(0, 2, NotebookWidth - DlgButtonWidth - 30, 22);
  FileEdit->OnChange = changed;
  BrowseBtn = MakeButton(page, "b_&Browse", NotebookWidth - DlgButtonWidth - 20, 0, DlgButtonWidth + 20);
  BrowseBtn->OnClick = [this](TComponent*) { BrowseClick(); };
  AppendToFileCheckB = MakeCheckBox(page, "d42_AppendToFile", 0, 36);
  AppendToFileCheckB->OnClick = changed;

  // Page 4: the text format.
  FormatFrm = new TExpFormatFrm(this);
  FormatFrm->SetParent(Notebook->Page(pgFormat));
  FormatFrm->SetBounds(0, 0, NotebookWidth, NotebookHeight);
  FormatFrm->OnChange = [this] { Changed(); };

  const int bottom = 36 + NotebookHeight + 12;
  BackBtn = MakeDlgButton(this, "b_&Back", mrNone);
  BackBtn->OnClick = [this](TComponent*) { BackClick(); };
  NextBtn = MakeDlgButton(this, "b_&Next", mrNone);
  NextBtn->OnClick = [this](TComponent*) { NextClick(); };
  NextBtn->SetDefault(true);
  CancelBtn = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  const int width = NotebookWidth + 20;
  PlaceDlgButtons(width - 10 - 3 * DlgButtonWidth - 2 * DlgButtonGap, bottom, {BackBtn, NextBtn, CancelBtn});
  SetBounds(0, 0, width, bottom + DlgButtonHeight + 10);

  const TDateTime now = Now();
  SetRange(std::floor(now), std::floor(now) + 86399.0 / 86400.0);
  ShowPage(pgRange);
}

TD42_Export::~TD42_Export() {
  if (D42_Export == this) D42_Export = nullptr;
}

void TD42_Export::SetRange(TDateTime start, TDateTime stop) {
  StartDate->SetDateTime(start);
  StartTime->SetDateTime(start);
  StopDate->SetDateTime(stop);
  StopTime->SetDateTime(stop);
}

TDateTime TD42_Export::GetStartDt() const { return Combine(StartDate, StartTime); }
TDateTime TD42_Export::GetStopDt() const { return Combine(StopDate, StopTime); }

void TD42_Export::SetSources(const TChanSelList& sources) {
  sources_ = sources;
  ShowSources();
  if (!sources_.empty()) NextBtn->SetEnabled(true);
}

void TD42_Export::ShowSources() {
  TStringList& items = SourceListBox->Items();
  items.Clear();
  for (const TChanSelCell& cell : sources_)
    items.Add((cell.Data ? cell.Data->GetName() : std::string()) + ": " +
              (cell.Channel ? cell.Channel->Name() : std::string()));
  SourceListBox->SyncItems();
}

void TD42_Export::ShowPage(int page) {
  NoteUserActivity();
  page_ = std::clamp(page, 0, PageCount - 1);
  Notebook->SetPageIndex(page_);
  PageTitleLbl->SetText(LoadResString(PageKeys[page_]));
  BackBtn->SetEnabled(page_ > 0);
  NextBtn->SetText(LoadResString(page_ == PageCount - 1 ? "b_&Finish" : "b_&Next"));
  NextBtn->SetEnabled(true);
  SelDeviceChansBtn->SetEnabled(DbShell && DbShell->GetSelDevice());
  if (page_ == pgFormat) FormatFrm->UpdateExamples();
}

void TD42_Export::Changed() {
  NoteUserActivity();
  NextBtn->SetEnabled(true);
}

void TD42_Export::Refuse(const std::string& key) { MessageDlg(LoadResString(key), TMsgDlgType::mtError, mbOK); }

bool TD42_Export::CheckPage(int page) {
  switch (page) {
    case pgRange: {
      // The pickers hold whole seconds; their difference is rounded to undo the double's error.
      const double seconds = std::nearbyint((GetStopDt() - GetStartDt()) * 86400.0);
      if (std::fabs(seconds) < 1) {
        Refuse("err_TimeRangeTooSmall");
        return false;
      }
      if (seconds < 0) {
        Refuse("err_MaxLtMin");
        return false;
      }
      return true;
    }
    case pgSources:
      if (sources_.empty()) {
        Refuse("d42_MsgNoSources");
        return false;
      }
      return true;
    case pgFile:
      if (!IsValidExportFile(FileName())) {
        Refuse("d42_MsgNoValidFile");
        return false;
      }
      return true;
    case pgFormat: return FormatFrm->CheckFormat();
    default: return true;
  }
}

void TD42_Export::NextClick() {
  NoteUserActivity();
  if (!CheckPage(page_)) {
    NextBtn->SetEnabled(false);
    return;
  }
  if (page_ == PageCount - 1)
    SetModalResult(mrOk);
  else
    ShowPage(page_ + 1);
}

void TD42_Export::BackClick() {
  if (page_ > 0) ShowPage(page_ - 1);
}

void TD42_Export::SelDeviceChansClick() {
  NoteUserActivity();
  TDevice* device = DbShell ? DbShell->GetSelDevice() : nullptr;
  if (!device) return;
  TChanSelList list;
  device->FillTotalChanList(&list);
  SetSources(list);
}

void TD42_Export::SetupChansClick() {
  NoteUserActivity();
  if (D41_SetupGlChans) return;
  TChanSelList copy = sources_;
  auto dialog = std::make_unique<TD41_SetupGlChans>(Application);
  dialog->SetText(LoadResString("d42_SetupChans"));
  dialog->SetSelectList(&copy);
  if (dialog->ShowModal() != mrOk) return;
  dialog.reset();
  SetSources(copy);
}

void TD42_Export::BrowseClick() {
  NoteUserActivity();
  if (!StdDialogForm) return;
  TOpenDialog& dialog = *StdDialogForm->OpenDialog;
  dialog.DefaultExt = "txt";
  dialog.Filter.clear();
  dialog.InitialDir = ExePath;
  dialog.Options = ofHideReadOnly | ofPathMustExist | ofShareAware;
  dialog.FileName = FileName();
  dialog.Title = LoadResString("d42_ExportToFile");
  if (!dialog.Execute()) return;
  SetFileName(dialog.FileName);
  if (!FileName().empty()) NextBtn->SetEnabled(true);
}

}  // namespace qv
