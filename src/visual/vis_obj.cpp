#include "visual/vis_obj.h"

#include <algorithm>
#include <array>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/registry.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "base/select_dlg.h"
#include "comm/process_window_service.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/data.h"
#include "devices/visual_hooks.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/forms.h"
#include "platform/gui/printers.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/format.h"
#include "platform/rtl/string_list.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/selector.h"
#include "visual/visual_services.h"

namespace qv {

TEditTitleDlgProc EditTitleDlgProc;
TPrintSelectDlgProc PrintSelectDlgProc;
TPictureDialogProc PictureDialogProc;
bool PrinterIsColor = false;

namespace {

constexpr std::array<const char*, 8> kOptionNames = {"Expandable",  "Maskable",   "MaximEnabled",  "NormalEnabled",
                                                     "MaskEnabled", "DelEnabled", "EditTitleEnab", "PrintEnabled"};
constexpr std::array<const char*, 7> kVisibNames = {"MaxNormBtnVisible", "MaskBtnVisible", "DelBtnVisible",
                                                    "DelMenVisible",     "EditTitleVis",   "AddDelChanVis",
                                                    "EditChanVis"};
constexpr TColor kBorderGrey = 0x808080;
constexpr TColor kBorderSelected = 0xFF0000;
// A corrupt count must not drive millions of section look-ups.
constexpr int kMaxStoredChannels = 255;

bool Has(uint8_t set, uint8_t bit) { return (set & bit) != 0; }

}  // namespace

std::string FlagSetToStr(uint8_t bits, std::span<const char* const> names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i)
    if (bits & (1u << i)) out += std::string(names[i]) + "-";
  return out;
}

bool StrToFlagSet(std::string text, std::span<const char* const> names, uint8_t& bits) {
  uint8_t found = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string word = std::string(names[i]) + "-";
    const size_t pos = text.find(word);
    if (pos == std::string::npos) continue;
    text.erase(pos, word.size());
    found = static_cast<uint8_t>(found | (1u << i));
  }
  if (!text.empty()) return false;
  bits = found;
  return true;
}

std::string VOOptionsToStr(TVOOptions options) { return FlagSetToStr(options, kOptionNames); }
std::string CntrVisibToStr(TCntrVisib flags) { return FlagSetToStr(flags, kVisibNames); }
bool StrToVOOptions(std::string text, TVOOptions& options) {
  return StrToFlagSet(std::move(text), kOptionNames, options);
}
bool StrToCntrVisib(std::string text, TCntrVisib& flags) { return StrToFlagSet(std::move(text), kVisibNames, flags); }

int FrameStyleWidth(TFrameStyleEx style) {
  switch (style) {
    case TFrameStyleEx::fsFlat:
    case TFrameStyleEx::fsStatus:
    case TFrameStyleEx::fsPopup: return 1;
    case TFrameStyleEx::fsGroove:
    case TFrameStyleEx::fsBump:
    case TFrameStyleEx::fsLowered:
    case TFrameStyleEx::fsButtonDown:
    case TFrameStyleEx::fsRaised:
    case TFrameStyleEx::fsButtonUp: return 2;
    default: return 0;
  }
}

// ---- TVoPanel ----

TVoPanel::TVoPanel(TComponent* owner) : TStyCustomPanel(owner) {}

void TVoPanel::SetAutoWidth(bool v) {
  if (v == auto_width_) return;
  auto_width_ = v;
  AdjustWidth();
}

void TVoPanel::AdjustWidth() {
  if (!auto_width_) return;
  TCanvas canvas;
  canvas.Font().Assign(Font());
  int w = canvas.TextWidth(Caption());
  if (FrameController()) {
    const TSides fs = FrameController()->FrameSides();
    w += HasSide(fs, TSide::sdLeft) ? 1 : 0;
    w += HasSide(fs, TSide::sdRight) ? 1 : 0;
  }
  w += 2 * BorderWidth();
  const int frames = FrameStyleWidth(BorderOuter()) + FrameStyleWidth(BorderInner());
  if (HasSide(BorderSides(), TSide::sdLeft)) w += frames;
  if (HasSide(BorderSides(), TSide::sdRight)) w += frames;
  w += 2 * TextMargin;
  SetWidth(w);
}

void TVoPanel::CMTextChanged(TMessage& m) {
  TStyCustomPanel::CMTextChanged(m);
  AdjustWidth();
}

void TVoPanel::CMFontChanged(TMessage& m) {
  TStyCustomPanel::CMFontChanged(m);
  AdjustWidth();
}

void TVoPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != TMouseButton::mbMiddle && !Focused() && CanFocus()) {
    focusing_ = true;
    SetFocus();
    focusing_ = false;
    if (!Focused()) return;
  }
  TStyCustomPanel::MouseDown(button, shift, x, y);
}

// ---- TVisObj ----

TVisObj::TVisObj(TComponent* owner) : TStyCustomPanel(owner) {
  SetTabStop(true);
  SetBorderWidth(2);
  SetBevelWidth(1);
  SetBorderSides(sdAllSides);
  SetBorderInner(TFrameStyleEx::fsLowered);
  SetBorderOuter(TFrameStyleEx::fsRaised);
  SetBorderColor(kBorderGrey);
}

void TVisObj::AfterConstruction() {
  UpdateLanguage();
  CreateGlobChanList();
  CreatePopupMenu();
}

TVisObj::~TVisObj() {
  being_destroyed_ = true;
  *alive_ = false;
  if (modal_dialog_) modal_dialog_->SetModalResult(mrCancel);
  OnStartSelect = nullptr;
  OnDelete = nullptr;
  try {
    DestroyPopupMenu();
    ClearGlobChans();
  } catch (...) {
    // The panel goes all the same.
  }
  glob_chan_list_.reset();
  if (selected_) DoDeregisterSel();
  OnDeregisterSel = nullptr;
  try {
    DoDestroy();
  } catch (...) {
  }
  OnStateChange = nullptr;
  OnDestroy = nullptr;
  ReleaseBoundControls();
}

void TVisObj::SetvobSelected(bool value) {
  if (value == selected_) return;
  selected_ = value;
  if (value) {
    SetBorderColor(kBorderSelected);
  } else {
    SetBorderColor(kBorderGrey);
    ReleaseBoundControls();
  }
  if (!BeingDestroyed()) Invalidate();
}

void TVisObj::ReleaseBoundControls() {
  for (TMenuItem* item : {EMenVO, VMenVO}) {
    if (!item) continue;
    item->SetEnabled(false);
    item->OnClick = nullptr;
  }
  EMenVO = VMenVO = nullptr;
  if (DelVObjButton) {
    DelVObjButton->SetHint(LoadResString("b_hint_DelVObj"));
    DelVObjButton->SetEnabled(false);
    DelVObjButton->OnClick = nullptr;
    DelVObjButton = nullptr;
  }
  if (PrintVoBtn) {
    PrintVoBtn->SetHint(LoadResString("b_hint_PrintVO"));
    PrintVoBtn->SetEnabled(false);
    PrintVoBtn->OnClick = nullptr;
    PrintVoBtn = nullptr;
  }
  if (FPMenPrintVo) {
    FPMenPrintVo->SetCaption(LoadResString("m_FPMenPrintVo"));
    FPMenPrintVo->SetEnabled(false);
    FPMenPrintVo->OnClick = nullptr;
    FPMenPrintVo = nullptr;
  }
}

void TVisObj::SetvobId(int32_t id) {
  if (id == id_) return;
  id_ = id;
  UpdateTitle();
}

std::string TVisObj::GetAutoTitle() const { return AutoTitlePrefix + std::to_string(id_); }

std::string TVisObj::GetvobTitle() const { return CustomTitle.empty() ? GetAutoTitle() : CustomTitle; }

void TVisObj::SetvobTitle(const std::string& text) {
  if (text == CustomTitle) return;
  CustomTitle = text;
  UpdateTitle();
}

void TVisObj::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("vob_TitPrefix"); }
std::string TVisObj::GetTypeDescr() const { return LoadResString("vob_TypeDescr"); }
void TVisObj::UpdateTypeDescr() { type_descr_ = GetTypeDescr(); }
void TVisObj::UpdateTitle() { SetCaption(GetvobTitle()); }
std::string TVisObj::GetGlbChanDescr() const { return LoadResString("vob_GlbChanDescr"); }

void TVisObj::ReloadTitle() {
  LoadTitlePrefix();
  UpdateTitle();
}

void TVisObj::UpdateLanguage() {
  ReloadTitle();
  UpdateTypeDescr();
  UpdateMenus();
}

void TVisObj::EditTitle() {
  if (!EditTitleDlgProc) return;
  std::string custom = GetvobTitle() == GetAutoTitle() ? std::string() : GetvobTitle();
  if (EditTitleDlgProc(Format(LoadResString("vob_EditTitleCap"), type_descr_), GetAutoTitle(), custom) != mrOk) return;
  SetvobTitle(custom);
  // A lone diagram and the table beside it share the title.
  if (!dynamic_cast<TDiagramVO*>(this)) return;
  auto* book = dynamic_cast<TMonitorBook*>(MonitorBook);
  auto* monitor = book ? dynamic_cast<TDDTMonitor*>(book->GetSelMonMan()) : nullptr;
  if (!monitor || monitor->DiagramList().size() > 1 || !monitor->TableVO() || monitor->IndexOfVisObj(this) < 0) return;
  monitor->TableVO()->CustomTitle = custom;
  monitor->TableVO()->UpdateLanguage();
}

void TVisObj::SetVOOptions(TVOOptions options) {
  if (options == vo_options_) return;
  if (!Has(options, voExpandable)) {
    options = static_cast<TVOOptions>(options & ~voMaximEnabled);
    if (state_ == 1) SetState(0);
  }
  if (!Has(options, voMaskable)) {
    options = static_cast<TVOOptions>(options & ~voMaskEnabled);
    if (state_ == 2) SetState(0);
  }
  vo_options_ = options;
  UpdateMenus();
}

void TVisObj::SetCntrVisib(TCntrVisib flags) {
  if (flags == cntr_visib_) return;
  cntr_visib_ = flags;
  UpdateMenus();
}

void TVisObj::SetState(uint8_t new_state) {
  if (new_state == state_ || new_state > 2) return;
  bool allowed = false;
  switch (new_state) {
    case 0: allowed = true; break;
    case 1: allowed = state_ == 0 && Has(vo_options_, voExpandable); break;
    case 2: allowed = Has(vo_options_, voMaskable); break;
  }
  if (!allowed) return;
  const uint8_t old_state = state_;
  state_ = new_state;
  TVOOptions options = vo_options_;
  AdjustOptionsForState(options, new_state);
  vo_options_ = options;
  UpdateMenus();
  UpdateButtons();
  DoStateChange();
  if (new_state == 2)
    Deactivate();
  else if (old_state == 2)
    Activate();
}

void TVisObj::AdjustOptionsForState(TVOOptions&, uint8_t) {}

void TVisObj::Deactivate() {
  Deactivated = true;
  WasSelected = selected_;
  if (selected_) DoDeregisterSel();
}

void TVisObj::Activate() {
  if (WasSelected) {
    WasSelected = false;
    DoStartSelect();
  }
  Deactivated = false;
}

void TVisObj::DoStartSelect() {
  if (BeingDestroyed()) return;
  if (OnStartSelect) OnStartSelect(this);
}
void TVisObj::DoDeregisterSel() {
  if (OnDeregisterSel) OnDeregisterSel(this);
}
void TVisObj::DoStateChange() {
  if (OnStateChange) OnStateChange(this);
}
void TVisObj::DoDelete(bool pending_release) {
  PendingRelease = pending_release;
  if (OnDelete) OnDelete(this);
}
void TVisObj::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}
void TVisObj::RequestDelete() { DoDelete(false); }

bool TVisObj::RunModal(TForm& dialog, int& result) {
  std::weak_ptr<bool> alive = alive_;
  TForm* outer = modal_dialog_;
  modal_dialog_ = &dialog;
  try {
    result = dialog.ShowModal();
  } catch (...) {
    if (const auto flag = alive.lock(); flag && *flag) modal_dialog_ = outer;
    throw;
  }
  if (const auto flag = alive.lock(); !flag || !*flag) return false;
  modal_dialog_ = outer;
  return true;
}

void TVisObj::Delete(bool confirm) {
  std::weak_ptr<bool> alive = alive_;
  if (confirm) {
    const bool yes = MessageDlg(Format(LoadResString("vob_ConfDelVObj"), GetvobTitle()), TMsgDlgType::mtConfirmation,
                                mbOKCancel) == mrOk;
    // The question's loop runs the program's other work: a device change may have rebuilt the
    // page and freed the object meanwhile.
    if (const auto flag = alive.lock(); !flag || !*flag) return;
    if (!yes) {
      PendingRelease = false;
      return;
    }
  }
  if (PendingRelease) {
    // The object's own button or menu handler is still running: free it after that returns.
    PostDeferredCall([this, alive] {
      auto flag = alive.lock();
      if (flag && *flag) delete this;
    });
  } else {
    delete this;
  }
}

// ---- menus ----

TMenuItem* TVisObj::AddPopupItem(const std::string& caption, TNotifyEvent on_click) {
  auto* item = new TMenuItem(this);
  item->SetCaption(caption);
  item->OnClick = std::move(on_click);
  popup_->Items()->Add(item);
  return item;
}

void TVisObj::CreatePopupMenu() {
  popup_ = new TPopupMenu(this);
  men_edit_title_ = AddPopupItem("vob_EMenEditTitle", [this](TComponent* s) { EditTitleMenuClick(s); });
  men_del_ = AddPopupItem("vob_EMenDelVObjF", [this](TComponent* s) { DelMenuClick(s); });
  men_sep_chan_ = AddPopupItem("-", nullptr);
  men_add_chan_ = AddPopupItem("vob_EMenAddChanF", [this](TComponent* s) { AddChanMenuClick(s); });
  men_del_chan_ = AddPopupItem("vob_EMenDelChanF", [this](TComponent* s) { DelChanMenuClick(s); });
  men_edit_chan_ = AddPopupItem("vob_EMenEditChanF", [this](TComponent* s) { EditChanMenuClick(s); });
  men_sep_print_ = AddPopupItem("-", nullptr);
  men_print_ = AddPopupItem("m_FPMenPrintVoF", [this](TComponent* s) { PrintBtnMenuClick(s); });
  SetPopupMenu(popup_);
  UpdateMenus();
}

void TVisObj::DestroyPopupMenu() {
  SetPopupMenu(nullptr);
  for (TMenuItem** item : {&men_edit_title_, &men_del_, &men_sep_chan_, &men_add_chan_, &men_del_chan_, &men_edit_chan_,
                           &ClassSeparator, &men_sep_print_, &men_print_}) {
    delete *item;
    *item = nullptr;
  }
  delete popup_;
  popup_ = nullptr;
}

void TVisObj::UpdateMenus() {
  if (BeingDestroyed()) return;
  const std::string chan_descr = GetGlbChanDescr();
  const bool has_chan = GetGlobChanCount() > 0;
  if (men_edit_title_) {
    men_edit_title_->SetCaption(LoadResString("vob_EMenEditTitle"));
    men_edit_title_->SetEnabled(Has(vo_options_, voEditTitleEnab));
    men_edit_title_->SetVisible(Has(cntr_visib_, cvEditTitleVis));
  }
  if (men_del_) {
    men_del_->SetCaption(Format(LoadResString("vob_EMenDelVObjF"), type_descr_));
    men_del_->SetEnabled(Has(vo_options_, voDelEnabled));
    men_del_->SetVisible(Has(cntr_visib_, cvDelMenVisible));
  }
  if (popup_ && men_add_chan_ && men_del_chan_ && men_edit_chan_) {
    men_add_chan_->SetCaption(Format(LoadResString("vob_EMenAddChanF"), chan_descr));
    men_add_chan_->SetVisible(Has(cntr_visib_, cvAddDelChanVis));
    men_del_chan_->SetCaption(Format(LoadResString("vob_EMenDelChanF"), chan_descr));
    men_del_chan_->SetEnabled(has_chan);
    men_del_chan_->SetVisible(Has(cntr_visib_, cvAddDelChanVis));
    men_edit_chan_->SetCaption(Format(LoadResString("vob_EMenEditChanF"), chan_descr));
    men_edit_chan_->SetEnabled(has_chan);
    men_edit_chan_->SetVisible(Has(cntr_visib_, cvEditChanVis));
    if (men_sep_chan_)
      men_sep_chan_->SetVisible(men_add_chan_->Visible() || men_del_chan_->Visible() || men_edit_chan_->Visible());
  }
  if (men_print_) {
    men_print_->SetCaption(Format(LoadResString("m_FPMenPrintVoF"), type_descr_));
    men_print_->SetEnabled(Has(vo_options_, voPrintEnabled));
  }
  if (popup_) {
    TMenuItem* items = popup_->Items();
    const int a = ClassSeparator ? items->IndexOf(ClassSeparator) : -1;
    const int b = men_sep_print_ ? items->IndexOf(men_sep_print_) : -1;
    if (EMenVO) {
      EMenVO->SetCaption(type_descr_);
      if (a >= 1)
        CopyMenuItems(EMenVO, items, 0, a - 1);
      else if (b >= 1)
        CopyMenuItems(EMenVO, items, 0, b - 1);
      else
        CopyMenuItems(EMenVO, items, 0, items->Count() - 1);
    }
    if (VMenVO) {
      if (a < 0) {
        VMenVO->SetVisible(false);
      } else {
        VMenVO->SetVisible(true);
        VMenVO->SetCaption(type_descr_);
        CopyMenuItems(VMenVO, items, a + 1, b < 1 ? items->Count() - 1 : b - 1);
      }
    }
  }
  if (FPMenPrintVo) {
    FPMenPrintVo->SetCaption(Format(LoadResString("m_FPMenPrintVoF"), type_descr_));
    FPMenPrintVo->SetEnabled(Has(vo_options_, voPrintEnabled));
  }
}

void TVisObj::UpdateButtons() {
  if (BeingDestroyed()) return;
  if (DelVObjButton) {
    DelVObjButton->SetHint(Format(LoadResString("b_hint_DelVObjF"), type_descr_));
    DelVObjButton->SetEnabled(Has(vo_options_, voDelEnabled));
  }
  if (PrintVoBtn) {
    PrintVoBtn->SetHint(Format(LoadResString("b_hint_PrintVoF"), type_descr_));
    PrintVoBtn->SetEnabled(Has(vo_options_, voPrintEnabled));
  }
}

void TVisObj::Bind(TComponent* component) {
  if (component) component->FreeNotification(this);
}

void TVisObj::Notification(TComponent* component, TOperation operation) {
  TStyCustomPanel::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == EMenVO) EMenVO = nullptr;
  if (component == VMenVO) VMenVO = nullptr;
  if (component == DelVObjButton) DelVObjButton = nullptr;
  if (component == PrintVoBtn) PrintVoBtn = nullptr;
  if (component == FPMenPrintVo) FPMenPrintVo = nullptr;
}

void TVisObj::SetEditMenu(TMenuItem* item) {
  Bind(item);
  EMenVO = item;
  UpdateMenus();
}

void TVisObj::SetViewMenu(TMenuItem* item) {
  Bind(item);
  VMenVO = item;
  UpdateMenus();
}

void TVisObj::SetDelButton(TControl* button) {
  if (button != DelVObjButton) {
    DelVObjButton = button;
    Bind(button);
    if (button) button->OnClick = [this](TComponent* s) { DelMenuClick(s); };
  }
  UpdateButtons();
}

void TVisObj::SetPrintButton(TControl* button) {
  if (button != PrintVoBtn) {
    PrintVoBtn = button;
    Bind(button);
    if (button) button->OnClick = [this](TComponent* s) { PrintBtnMenuClick(s); };
  }
  UpdateButtons();
}

void TVisObj::SetPrintMenu(TMenuItem* item) {
  if (item != FPMenPrintVo) {
    FPMenPrintVo = item;
    Bind(item);
    if (item) item->OnClick = [this](TComponent* s) { PrintBtnMenuClick(s); };
  }
  UpdateMenus();
}

void TVisObj::EditTitleMenuClick(TComponent*) { EditTitle(); }

void TVisObj::DelMenuClick(TComponent*) {
  if (Has(vo_options_, voDelEnabled)) DoDelete(true);
}

void TVisObj::AddChanMenuClick(TComponent*) {}

void TVisObj::DelChanMenuClick(TComponent*) {
  const int count = GetGlobChanCount();
  if (count == 0) return;
  int32_t index = 0;
  if (count > 1) {
    if (!SelectDlgProc) return;
    TStringList list;
    for (int i = 0; i < count; ++i) list.Add(glob_chan_list_->GetGlobChan_I(i)->GetText());
    index = -1;
    if (SelectDlgProc(Format(LoadResString("vob_DelChanF"), GetGlbChanDescr()), LoadResString("vob_SelDelElement"), "",
                      2, list, index) != mrOk ||
        index < 0 || index >= count)
      return;
  }
  const std::string question =
      Format(LoadResString("vob_ConfDelChanF"), GetGlbChanDescr(), glob_chan_list_->GetGlobChan_I(index)->GetText());
  if (MsgHandler && MsgHandler->DoMessage(question, "", TMsgDlgType::mtConfirmation, mbYes | mbNo, 0, mrNo, true,
                                          mkQuestion) == mrYes)
    DeleteGlobChan(index);
}

void TVisObj::EditChanMenuClick(TComponent*) { EditGlobChan(0); }

void TVisObj::EditGlobChan(int) {}

bool TVisObj::HandleKey(uint16_t& key, TShiftState shift) {
  if (Has(vo_options_, voPrintEnabled) && (shift & ssCtrl) && key == 'P') {
    PrintBtnMenuClick(nullptr);
    return true;
  }
  return false;
}

void TVisObj::KeyDown(uint16_t& key, TShiftState shift) {
  if (HandleKey(key, shift)) {
    key = 0;
    return;
  }
  TStyCustomPanel::KeyDown(key, shift);
}

void TVisObj::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && state_ != 2 && !Focused()) {
    focusing_ = true;
    SetFocus();
    focusing_ = false;
    // A click that could not take the focus is not handled further.
    if (!Focused()) return;
  }
  TStyCustomPanel::MouseDown(button, shift, x, y);
}

void TVisObj::CMEnter(TMessage& m) {
  if (state_ != 2) DoStartSelect();
  TStyCustomPanel::CMEnter(m);
}

// ---- channels ----

void TVisObj::CreateGlobChanList() { glob_chan_list_ = std::make_unique<TGlobChanList>(); }

std::unique_ptr<TGlobalChannel> TVisObj::CreateGlobChan(TData* data, TChannel* channel) {
  return std::make_unique<TGlobalChannel>(data, channel);
}

bool TVisObj::CanAcceptGlbChan(TData*, TChannel*, uint8_t& reason) {
  reason = 0;
  return true;
}

void TVisObj::AddDataClient(TData* data) {
  data->AddClient(this, DataEventBit(deDestroying) | DataEventBit(deChannelsChanged),
                  [this](TData* d, int32_t event) { DataNotify(d, event); });
}

bool TVisObj::AddGlobChan(TData* data, TChannel* channel) {
  uint8_t reason = 0;
  if (!glob_chan_list_ || !data || !channel || !CanAcceptGlbChan(data, channel, reason)) return false;
  if (!glob_chan_list_->ContainsData(data)) AddDataClient(data);
  glob_chan_list_->Add(CreateGlobChan(data, channel));
  if (!GlobChanUpdating) GlobChansChanged();
  return true;
}

void TVisObj::DeleteGlobChan(int index) {
  if (!glob_chan_list_ || index < 0 || index >= glob_chan_list_->Count()) return;
  TData* data = glob_chan_list_->GetGlobChan_I(index)->Data();
  glob_chan_list_->Delete(index, true);
  if (!glob_chan_list_->ContainsData(data)) data->DetachClient(this);
  if (!GlobChanUpdating) GlobChansChanged();
}

void TVisObj::ClearGlobChans() {
  if (!glob_chan_list_) return;
  BeginGlobChanUpdate();
  while (glob_chan_list_->Count() > 0) DeleteGlobChan(0);
  GlobChansChanged();
}

void TVisObj::GlobChansChanged() {
  GlobChanUpdating = false;
  if (BeingDestroyed()) return;
  UpdateMenus();
  Invalidate();
}

int TVisObj::GetGlobChanCount() const { return glob_chan_list_ ? glob_chan_list_->Count() : 0; }

TGlobalChannel* TVisObj::LoadGlobChanIni(TIniFile2* ini, const std::string& section, TChannel* channel) {
  if (!ini || section.empty()) throw Exception("TVisObj.LoadGlobChanIni: IniFile nil or invalid Section!");
  TGlobalChannel* glob_chan = glob_chan_list_ ? glob_chan_list_->FindChan(channel) : nullptr;
  if (glob_chan) glob_chan->LoadIniFile(*ini, section);
  GlobChanLoaded(glob_chan);
  return glob_chan;
}

void TVisObj::GlobChanLoaded(TGlobalChannel*) {}

void TVisObj::DataNotify(TData* data, int32_t event) {
  if (event == deDestroying) {
    if (glob_chan_list_ && glob_chan_list_->ContainsData(data)) {
      BeginGlobChanUpdate();
      for (int i = glob_chan_list_->Count() - 1; i >= 0; --i)
        if (glob_chan_list_->GetGlobChan_I(i)->Data() == data) DeleteGlobChan(i);
      GlobChansChanged();
    } else {
      data->DetachClient(this);
    }
  } else if (event == deChannelsChanged) {
    if (glob_chan_list_) glob_chan_list_->UpdateIndexes();
  }
}

// ---- printing ----

int32_t TVisObj::GetPrintPageCount() {
  if (!Printing) DefinePrintPgCnt();
  return PageCount;
}

void TVisObj::DefinePrintPgCnt() { PageCount = 1; }

void TVisObj::EndPrint() { Printing = false; }

void TVisObj::DoPrint(TProcessWindowService* window) {
  if (window && window == ProcessWindow) window->Finish(mrOk);
}

void TVisObj::PrintBtnMenuClick(TComponent* sender) {
  if (!Has(vo_options_, voPrintEnabled)) return;
  const int32_t pages = GetPrintPageCount();
  if (pages < 1 || Printing) {
    EndPrint();
    return;
  }
  Copies = 1;
  Collate = false;
  PrintRange = 0;
  FromPage = 1;
  ToPage = pages;
  PrintSelection = -1;
  if (dynamic_cast<TDiagramVO*>(this)) {
    int32_t selection = -1;
    if (!PrintSelectDlgProc || PrintSelectDlgProc(selection) != mrOk) return;
    PrintSelection = selection;
  }
  // Named before the dialog, which proposes a PDF file after the object's title.
  Printer().Title = "Quarvel - " + GetvobTitle();
  Printer().FileTitle = GetvobTitle();
  if (dynamic_cast<TMenuItem*>(sender)) {
    TPrintDialog dialog(nullptr);
    if (pages > 1) {
      dialog.MinPage = 1;
      dialog.MaxPage = pages;
    }
    dialog.Copies = Copies;
    dialog.PrintRange = static_cast<TPrintRange>(PrintRange);
    dialog.FromPage = FromPage;
    dialog.ToPage = ToPage;
    if (!dialog.Execute()) {
      EndPrint();
      return;
    }
    PrintRange = static_cast<uint8_t>(dialog.PrintRange);
    FromPage = dialog.FromPage;
    ToPage = dialog.ToPage;
    // The printer makes no copies itself: the object prints them.
    if (dialog.Copies > 1) Copies = dialog.Copies;
  }
  if (ProcessWindow) throw Exception("TVisObj.PrintBtnMenuClick: ProcessWindow in use");
  Printing = true;
  // Printing is cleared on every way out, so that a failed start does not block the next one.
  try {
    if (!ProcessWindowFactory) throw Exception("TVisObj.PrintBtnMenuClick: no progress window");
    ProcessWindow = ProcessWindowFactory();
    TProcessWindowService* window = ProcessWindow;
    const std::vector<std::string> printers = Printer().Printers();
    const int index = Printer().PrinterIndex();
    const std::string device =
        index >= 0 && index < static_cast<int>(printers.size()) ? printers[static_cast<size_t>(index)] : std::string();
    PrinterIsColor = Printer().Color();
    window->SetText1(Format(LoadResString("m_PrintMsgF"), GetvobTitle(), device, std::string()));
    window->SetCancelVisible(false);
    window->OnProcess = [this](TProcessWindowService* w) { DoPrint(w); };
    window->ShowModal();
    if (ProcessWindow == window) ProcessWindow = nullptr;
    window->Free();
  } catch (...) {
    Printing = false;
    throw;
  }
  Printing = false;
}

// ---- stored keys ----

void TVisObj::StoreIniSection(TIniFile2* ini, const std::string& section) {
  if (!ini) throw Exception("Error in TVisObj.StoreIniSection: IniFile not assigned!");
  ini->WriteString(section, "ClassName", ClassName());
  ini->WriteString(section, "CustomTitle", CustomTitle);
  ini->WriteString(section, "VOOptions", VOOptionsToStr(vo_options_));
  ini->WriteString(section, "CntrVisib", CntrVisibToStr(cntr_visib_));
  ini->WriteInteger(section, "State", state_);
  ini->WriteString(section, "TypeDescr", type_descr_);
  ini->WriteString(section, "AutoTitlePrefix", AutoTitlePrefix);
  ini->WriteString(section, "GlbChanDescr", GetGlbChanDescr());
  ini->WriteBool(section, "Selected", selected_);
  const int count = GetGlobChanCount();
  ini->WriteInteger(section, "ChanCount", count);
  for (int n = 0; n < count; ++n)
    glob_chan_list_->GetGlobChan_I(n)->StoreIniFile(ini, section + "/GlobChan" + std::to_string(n));
}

namespace {
// The data set or its channel is gone: this channel is dropped, the others stay.
void ReportDroppedChannel(const TIniFile2& ini, const std::string& section, const std::string& where) {
  if (MsgHandler)
    MsgHandler->DoMessage("Stored channel " + where + " (" + ini.ReadString(section, "DataIdent", "") + ", key " +
                              ini.ReadString(section, "ChanKey", "") + ") not found: dropped",
                          "", TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkLogOnly);
}
}  // namespace

void TVisObj::LoadSets(const std::string& options_text, const std::string& visib_text) {
  TVOOptions options = 0;
  SetVOOptions(StrToVOOptions(options_text, options) ? options : DefaultVOOptions);
  TCntrVisib flags = 0;
  SetCntrVisib(StrToCntrVisib(visib_text, flags) ? flags : DefaultCntrVisib);
}

void TVisObj::LoadIniSection(TIniFile2* ini, const std::string& section) {
  if (!ini) throw Exception("Error in TVisObj.LoadIniSection: IniFile not assigned!");
  SetvobTitle(ini->ReadString(section, "CustomTitle", ""));
  LoadSets(ini->ReadString(section, "VOOptions", "$$Invalid$$"), ini->ReadString(section, "CntrVisib", "$$Invalid$$"));
  const int count = std::min(ini->ReadInteger(section, "ChanCount", 0), kMaxStoredChannels);
  if (count <= 0) return;
  BeginGlobChanUpdate();
  for (int n = 0; n < count; ++n) {
    const std::string chan_section = section + "/GlobChan" + std::to_string(n);
    const TGlobChanRef ref = FindStoredGlobChan(*ini, chan_section);
    if (!ref.Data) {
      ReportDroppedChannel(*ini, chan_section, "[" + chan_section + "]");
      continue;
    }
    if (AddGlobChan(ref.Data, ref.Channel)) LoadGlobChanIni(ini, chan_section, ref.Channel);
  }
  GlobChansChanged();
}

void TVisObj::LoadRegKey(TRegistry* registry) {
  if (!registry || !registry->HasCurrentKey()) throw Exception("TVisObj.LoadRegKey: registry nil or invalid key!");
  const std::string path = "\\" + registry->CurrentPath();
  try {
    if (registry->ValueExists("CustomTitle")) {
      const std::string title = registry->ReadString("CustomTitle");
      if (!title.empty()) SetvobTitle(title);
    }
    LoadSets(registry->ValueExists("VOOptions") ? registry->ReadString("VOOptions") : "$$Invalid$$",
             registry->ValueExists("CntrVisib") ? registry->ReadString("CntrVisib") : "$$Invalid$$");
    const int count =
        std::min(registry->ValueExists("ChanCount") ? registry->ReadInteger("ChanCount") : 0, kMaxStoredChannels);
    if (count > 0) {
      BeginGlobChanUpdate();
      for (int n = 0; n < count; ++n) {
        const std::string key = path + "\\GlobChan" + std::to_string(n);
        if (!registry->OpenKey(key, false)) continue;
        if (!registry->ValueExists("DataIdent") || !registry->ValueExists("ChanKey")) continue;
        const TGlobChanRef ref = FindStoredGlobChan(registry->Ini(), registry->Section());
        if (!ref.Data) {
          ReportDroppedChannel(registry->Ini(), registry->Section(), "key " + key);
          continue;
        }
        if (AddGlobChan(ref.Data, ref.Channel)) LoadGlobChan(registry, ref.Channel);
      }
      GlobChansChanged();
    }
  } catch (...) {
    registry->OpenKey(path, false);
    throw;
  }
  registry->OpenKey(path, false);
}

TGlobalChannel* TVisObj::LoadGlobChan(TRegistry* registry, TChannel* channel) {
  if (!registry || !registry->HasCurrentKey()) throw Exception("TVisObj.LoadGlobChan: registry nil or invalid key!");
  TGlobalChannel* glob_chan = glob_chan_list_ ? glob_chan_list_->FindChan(channel) : nullptr;
  if (glob_chan) glob_chan->LoadRegKey(registry->Ini(), registry->Section());
  GlobChanLoaded(glob_chan);
  return glob_chan;
}

// ---- TSizeVisObj ----

namespace {
constexpr int kBtnWidth = 17, kBtnHeight = 15;

TVoPanel* NewBarPanel(TSizeVisObj* owner, TAlign align) {
  auto* p = new TVoPanel(owner);
  p->SetParent(owner);
  p->SetAlign(align);
  p->SetCaption("");
  p->SetBorderInner(TFrameStyleEx::fsNone);
  p->SetBorderOuter(TFrameStyleEx::fsNone);
  p->SetBevelWidth(0);
  p->SetBorderWidth(0);
  p->SetBorderSides(0);
  p->SetParentColor(true);
  p->SetParentFont(true);
  return p;
}
}  // namespace

void LoadButtonGlyph(TSpeedButton* button, const std::string& relative_file) {
  if (!button) return;
  const std::string file = FindPathIgnoringCase(ExePath, relative_file);
  TBitmap strip;
  try {
    if (file.empty()) throw Exception("missing");
    strip.LoadFromFile(file);
  } catch (const std::exception&) {
    button->Glyph().SetSize(0, 0);
    return;
  }
  // The strip holds the normal and the disabled glyph side by side.
  const int w = strip.Width() / 2 > 0 ? strip.Width() / 2 : strip.Width();
  button->Glyph().SetSize(w, strip.Height());
  button->Glyph().Canvas().CopyRect(TRect{0, 0, w, strip.Height()}, strip.Canvas(), TRect{0, 0, w, strip.Height()});
  button->Glyph().SetTransparent(true);
  button->Invalidate();
}

TSizeVisObj::TSizeVisObj(TComponent* owner) : TVisObj(owner) {}

void TSizeVisObj::AfterConstruction() {
  TVisObj::AfterConstruction();
  title_bar_ = NewBarPanel(this, TAlign::alTop);
  client_panel_ = NewBarPanel(this, TAlign::alClient);
  del_btn_ = new TSpeedButton(this);
  del_btn_->SetParent(title_bar_);
  LoadButtonGlyph(del_btn_, "Support/DeleteVo.bmp");
  del_btn_->SetHint(LoadResString("b_hint_DelVObj"));
  del_btn_->SetShowHint(true);
  del_btn_->OnClick = [this](TComponent* s) { DelBtnClick(s); };
  max_norm_btn_ = new TSpeedButton(this);
  max_norm_btn_->SetParent(title_bar_);
  max_norm_btn_->SetShowHint(true);
  max_norm_btn_->OnClick = [this](TComponent* s) { MaxNormBtnClick(s); };
  mask_btn_ = new TSpeedButton(this);
  mask_btn_->SetParent(title_bar_);
  LoadButtonGlyph(mask_btn_, "Support/MaskVo.bmp");
  mask_btn_->SetHint(LoadResString("b_hint_MaskObj"));
  mask_btn_->SetShowHint(true);
  mask_btn_->OnClick = [this](TComponent* s) { MaskBtnClick(s); };
  title_label_ = new TLabel(this);
  title_label_->SetParent(title_bar_);
  title_label_->SetAutoSize(false);
  title_label_->SetAlignment(TAlignment::taCenter);
  title_label_->Font().SetName("MS Sans Serif");
  title_label_->Font().SetSize(9);
  title_label_->Font().SetStyle(TFontStyles(TFontStyle::fsBold));
  SetCaption("");
  const TVOOptions sizable = voExpandable | voMaskable | voMaximEnabled | voMaskEnabled;
  const TCntrVisib buttons = cvMaxNormBtnVisible | cvMaskBtnVisible | cvDelBtnVisible;
  DefaultVOOptions = static_cast<TVOOptions>(DefaultVOOptions | sizable);
  DefaultCntrVisib = static_cast<TCntrVisib>(DefaultCntrVisib | buttons);
  SetVOOptions(static_cast<TVOOptions>(VOOptions() | sizable));
  SetCntrVisib(static_cast<TCntrVisib>(CntrVisib() | buttons));
  UpdateTitle();
  ArrangeTitleBar();
  UpdateButtons();
}

void TSizeVisObj::MaxNormBtnClick(TComponent*) {
  if (Has(VOOptions(), voMaximEnabled))
    SetState(1);
  else if (Has(VOOptions(), voNormalEnabled))
    SetState(0);
}

void TSizeVisObj::MaskBtnClick(TComponent*) {
  if (Has(VOOptions(), voMaskable)) SetState(2);
}

void TSizeVisObj::DelBtnClick(TComponent*) { DoDelete(true); }

void TSizeVisObj::ArrangeTitleBar() {
  if (BeingDestroyed() || !title_bar_) return;
  int e = 2;
  if (BorderInner() != TFrameStyleEx::fsNone) e += BevelWidth();
  if (BorderOuter() != TFrameStyleEx::fsNone) e += BevelWidth();
  if (BorderSides() != 0) e += BorderWidth();
  const int top = e + 2;
  int x = title_bar_->Width() - e - 2;
  const TCntrVisib flags = CntrVisib();
  del_btn_->SetVisible(Has(flags, cvDelBtnVisible));
  if (del_btn_->Visible()) {
    del_btn_->SetBounds(x - kBtnWidth, top, kBtnWidth, kBtnHeight);
    x -= kBtnWidth + 2;
  }
  max_norm_btn_->SetVisible(Has(flags, cvMaxNormBtnVisible));
  if (max_norm_btn_->Visible()) {
    max_norm_btn_->SetBounds(x - kBtnWidth, top, kBtnWidth, kBtnHeight);
    x -= kBtnWidth;
  }
  mask_btn_->SetVisible(Has(flags, cvMaskBtnVisible));
  if (mask_btn_->Visible()) {
    mask_btn_->SetBounds(x - kBtnWidth, top, kBtnWidth, kBtnHeight);
    x -= kBtnWidth + 2;
  } else if (max_norm_btn_->Visible()) {
    x -= 2;
  }
  title_label_->SetBounds(e + 2, e + 2, std::max(x - e - 2, 0), kBtnHeight);
  title_bar_->SetHeight(e + 19);
}

void TSizeVisObj::SetVOOptions(TVOOptions options) {
  const TVOOptions old = VOOptions();
  TVisObj::SetVOOptions(options);
  if (VOOptions() != old) UpdateButtons();
}

void TSizeVisObj::AdjustOptionsForState(TVOOptions& options, uint8_t state) {
  switch (state) {
    case 0:
      if (Has(options, voExpandable)) options |= voMaximEnabled;
      if (Has(options, voMaskable)) options |= voMaskEnabled;
      break;
    case 1:
      options = static_cast<TVOOptions>((options & ~voMaximEnabled) | voNormalEnabled);
      if (Has(options, voMaskable)) options |= voMaskEnabled;
      break;
    case 2: options = static_cast<TVOOptions>(options & ~(voMaximEnabled | voMaskEnabled)); break;
  }
}

void TSizeVisObj::SetCntrVisib(TCntrVisib flags) {
  const TCntrVisib old = CntrVisib();
  TVisObj::SetCntrVisib(flags);
  if (CntrVisib() != old) ArrangeTitleBar();
}

void TSizeVisObj::UpdateTitle() {
  if (title_label_)
    title_label_->SetCaption(GetvobTitle());
  else
    TVisObj::UpdateTitle();
}

void TSizeVisObj::UpdateButtons() {
  if (BeingDestroyed()) return;
  TVisObj::UpdateButtons();
  if (!del_btn_) return;
  const TVOOptions o = VOOptions();
  del_btn_->SetEnabled(Has(o, voDelEnabled));
  if (Has(o, voMaximEnabled)) {
    LoadButtonGlyph(max_norm_btn_, "Support/MaximVo.bmp");
    max_norm_btn_->SetHint(LoadResString("b_hint_ObjMaxim"));
    max_norm_btn_->SetEnabled(true);
  } else if (Has(o, voNormalEnabled)) {
    LoadButtonGlyph(max_norm_btn_, "Support/NormalVo.bmp");
    max_norm_btn_->SetHint(LoadResString("b_hint_ObjNormal"));
    max_norm_btn_->SetEnabled(true);
  } else {
    LoadButtonGlyph(max_norm_btn_, "Support/MaximVo.bmp");
    max_norm_btn_->SetHint(LoadResString("b_hint_ObjMaxim"));
    max_norm_btn_->SetEnabled(false);
  }
  mask_btn_->SetEnabled(Has(o, voMaskEnabled));
}

bool TSizeVisObj::HandleKey(uint16_t& key, TShiftState shift) {
  const bool ctrl = (shift & ssCtrl) != 0;
  const bool no_shift = (shift & ssShift) == 0;
  if (ctrl && Has(VOOptions(), voMaximEnabled) && (key == VK_ADD || (key == VK_OEM_PLUS && no_shift))) {
    SetState(1);
    return true;
  }
  if (ctrl && Has(VOOptions(), voNormalEnabled) && (key == VK_SUBTRACT || (key == VK_OEM_MINUS && no_shift))) {
    SetState(0);
    return true;
  }
  return TVisObj::HandleKey(key, shift);
}

void TSizeVisObj::UpdateLanguage() {
  TVisObj::UpdateLanguage();
  if (del_btn_) del_btn_->SetHint(LoadResString("b_hint_DelVObj"));
  if (mask_btn_) mask_btn_->SetHint(LoadResString("b_hint_MaskObj"));
  UpdateButtons();
}

void TSizeVisObj::SetBounds(int left, int top, int width, int height) {
  const int old_width = Width();
  TVisObj::SetBounds(left, top, width, height);
  if (Width() != old_width) ArrangeTitleBar();
}

// ---- TDiagramVO ----

void TDiagramVO::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("dvo_TitPrefix"); }
std::string TDiagramVO::GetTypeDescr() const { return LoadResString("dvo_TypeDescr"); }

void TDiagramVO::StoreIniSection(TIniFile2* ini, const std::string& section) {
  TSizeVisObj::StoreIniSection(ini, section);
  ini->WriteInteger(section, "Tag", static_cast<int32_t>(Tag));
}

}  // namespace qv
