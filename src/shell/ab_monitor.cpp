#include "shell/ab_monitor.h"

#include <algorithm>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "controls/sty_spin_edit.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/format.h"
#include "platform/rtl/text_utils.h"
#include "shell/ab_frame.h"

namespace qv {

namespace {
constexpr const char* kSection = "Autobac";

// A stored folder as this system writes it: "/" separators and a trailing "/". Folders stored
// with "\" by older installations are read with "/"; what is then still no full path is empty.
std::string StoredFolder(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  if (text.empty() || text[0] != '/') return {};
  if (text.back() != '/') text += '/';
  return text;
}
}  // namespace

const TMonitorClass AbMonitorClass{"TAbMonitor", &MonitorManClass, [] { return LoadResString("amo_TypeDescr"); },
                                   [](TComponent* owner) -> TMonitorMan* { return CreateMonitor<TAbMonitor>(owner); }};

TAbMonitor::TAbMonitor(TComponent* owner) : TMonitorMan(owner) {
  DefaultMonOptions = 0;
  SetMonOptions(0);
}

void TAbMonitor::AfterConstruction() {
  TMonitorMan::AfterConstruction();
  ReadSettings();
  BuildFrame();
}

TAbMonitor::~TAbMonitor() {
  StartDestroy();
  delete frame_;
  frame_ = nullptr;
  if (OnMonitorDestroy) {
    try {
      OnMonitorDestroy(this);
    } catch (...) {
      // The page goes all the same.
    }
  }
}

// ---- settings ----

void TAbMonitor::ReadSettings() {
  TIniFile2 ini(IniFileName);
  queue_.Extensions = AbTextToExtensions(ini.ReadString(kSection, "Ext", ""));
  queue_.Source = StoredFolder(ini.ReadString(kSection, "Source", ""));
  if (queue_.Source.empty()) queue_.Source = ExePath;
  queue_.Destination = StoredFolder(ini.ReadString(kSection, "Destination", ""));
  ScanInt = std::clamp(ini.ReadInteger(kSection, "ScanInt", 1), TAbFrame::MinInterval, TAbFrame::MaxInterval);
}

void TAbMonitor::WriteSettings() {
  TIniFile2 ini(IniFileName);
  ini.WriteString(kSection, "Destination", queue_.Destination);
  ini.WriteInteger(kSection, "ScanInt", ScanInt);
  ini.WriteString(kSection, "Ext", AbExtensionsToText(queue_.Extensions));
}

// ---- the frame ----

void TAbMonitor::BuildFrame() {
  frame_ = new TAbFrame(this);
  frame_->SetParent(Page());
  frame_->SetAlign(TAlign::alClient);
  TAbFrame* f = frame_;
  f->AddBtn->OnClick = [this](TComponent*) { AddClick(); };
  f->DeleteBtn->OnClick = [this](TComponent*) { DeleteClick(); };
  f->IntervalEdit->OnChange = [this](TComponent*) { SettingChanged(); };
  f->DestRootEdit->OnChange = [this](TComponent*) { SettingChanged(); };
  f->AcceptBtn->OnClick = [this](TComponent*) { AcceptClick(); };
  f->UndoBtn->OnClick = [this](TComponent*) { UndoClick(); };
  f->StopBtn->OnClick = [this](TComponent*) { StopClick(); };
  f->Timer1->OnTimer = [this](TComponent*) { TimerTick(); };
  FillControls();
  f->SavedFileM->ClearLines();
  f->Timer1->SetInterval(60000);
  f->Timer1->SetEnabled(true);
  EnableEditButtons(false);
}

void TAbMonitor::FillControls() {
  filling_ = true;
  TStringList& list = frame_->ExtensionList->Items();
  list.Clear();
  for (const std::string& e : queue_.Extensions) list.Add(e);
  frame_->IntervalEdit->SetIntValue(ScanInt);
  frame_->DestRootEdit->SetText(queue_.Destination);
  filling_ = false;
}

void TAbMonitor::EnableEditButtons(bool enabled) {
  frame_->AcceptBtn->SetEnabled(enabled);
  frame_->UndoBtn->SetEnabled(enabled);
  frame_->AcceptBtn->SetDefault(enabled);
}

void TAbMonitor::SettingChanged() {
  if (!filling_ && frame_) EnableEditButtons(true);
}

void TAbMonitor::AddClick() {
  const std::string text = frame_->ExtensionEdit->Text();
  if (!AbValidExtension(text)) {
    MessageDlg(Format(LoadResString("err_InvalidExtension"), text), TMsgDlgType::mtError, mbOK);
    frame_->AcceptBtn->SetEnabled(true);
    return;
  }
  const std::string ext = "." + text;
  TStringList& list = frame_->ExtensionList->Items();
  bool present = false;
  for (int i = 0; i < list.Count() && !present; ++i) present = SameText(list[i], ext);
  if (!present) list.Add(ext);
  frame_->ExtensionEdit->SetText("");
  EnableEditButtons(true);
}

void TAbMonitor::DeleteClick() {
  TListBox* box = frame_->ExtensionList;
  for (int i = box->Count() - 1; i >= 0; --i)
    if (box->Selected(i)) box->Items().Delete(i);
  EnableEditButtons(true);
}

void TAbMonitor::AcceptClick() {
  std::string text = frame_->DestRootEdit->Text();
  // An empty text switches the copying off until a folder is accepted.
  if (!text.empty() && !AbValidDestination(text)) {
    MessageDlg(Format(LoadResString("err_InvalidExtension"), text), TMsgDlgType::mtError, mbOK);
    EnableEditButtons(false);
    return;
  }
  if (!text.empty() && text.back() != '/') text += '/';
  queue_.Destination = text;
  queue_.Extensions.clear();
  TStringList& list = frame_->ExtensionList->Items();
  for (int i = 0; i < list.Count(); ++i) queue_.Extensions.push_back(list[i]);
  ScanInt = std::clamp(frame_->IntervalEdit->IntValue(), TAbFrame::MinInterval, TAbFrame::MaxInterval);
  FillControls();
  WriteSettings();
  EnableEditButtons(false);
}

void TAbMonitor::UndoClick() {
  FillControls();
  EnableEditButtons(false);
}

void TAbMonitor::StopClick() {
  if (OnStopClick) OnStopClick(this);
}

// ---- scanning and copying ----

void TAbMonitor::TimerTick() {
  if (++MinuteCount < ScanInt) return;
  MinuteCount = 0;
  Scan();
}

void TAbMonitor::CopyPass() {
  const std::vector<std::string> copied = queue_.CopyPass();
  if (copied.empty() || !frame_) return;
  TMemo* memo = frame_->SavedFileM;
  for (const std::string& entry : copied) memo->AddLine(entry);
  while (memo->LineCount() > MaxSavedLines) memo->DeleteLine(0);
}

// ---- monitor operations ----

void TAbMonitor::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("amo_TitPrefix"); }
std::string TAbMonitor::GetTypeDescr() const { return LoadResString("amo_TypeDescr"); }

void TAbMonitor::UpdateMenus() {
  TMonitorMan::UpdateMenus();
  if (EMenMonitor) EMenMonitor->SetVisible(false);
}

void TAbMonitor::UpdateLanguage() {
  TMonitorMan::UpdateLanguage();
  if (!Destroying() && frame_) frame_->UpdateLanguage();
}

void TAbMonitor::InsertVisObj(int, const TVisObjClass*, TVisObj*&) {
  throw Exception("Error in TAbMonitor.InsertVisObj:No VisObject in AbMonitor");
}
void TAbMonitor::DeleteVisObj(TVisObj*, bool) {
  throw Exception("Error in TAbMonitor.DeleteVisObj:No VisObject in AbMonitor");
}
void TAbMonitor::VOStateChange(TComponent*) {
  throw Exception("Error in TAbMonitor.VOStateChange:No VisObject in AbMonitor");
}
void TAbMonitor::VODestroy(TComponent*) { throw Exception("Error in TABMonitor.VODestroy: no TVisObj"); }

}  // namespace qv
