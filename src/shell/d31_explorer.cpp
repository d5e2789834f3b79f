#include "shell/d31_explorer.h"

#include <memory>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_splitter.h"
#include "devices/app_hooks.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "devices/tv10_modul.h"
#include "devices/tv10_sub_mod_ed0.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/outline.h"
#include "platform/gui/rich_edit.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format.h"
#include "shell/d12_enter_string.h"
#include "shell/d71_print_info.h"
#include "shell/dialog_parts.h"

namespace qv {

TD31_Explorer* D31_Explorer = nullptr;

namespace {

// The elements fill the outline control through this.
class TOutlineFiller : public TExplOutline {
public:
  explicit TOutlineFiller(TOutline* outline) : outline_(outline) {}
  int AddChildObject(int parent_index, const std::string& text, void* object) override {
    return outline_->AddChildObject(parent_index, text, object);
  }

private:
  TOutline* outline_;
};

bool IsModuleEditor(const TExplElement* e) { return e && dynamic_cast<TTv10ModEditor0*>(e->Editor()); }

}  // namespace

TD31_Explorer::TD31_Explorer(TComponent* owner, TDevice* root)
    : TMultilingualForm2(owner), Clock(&DefaultWallClock()), root_(root) {
  SetName("D31_Explorer");
  SetPosition(TPosition::poScreenCenter);
  SetBounds(0, 0, 760, 480);
  Keys().Caption(this, "d31_Caption");
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  BottomPanel = new TPanel(this);
  BottomPanel->SetParent(this);
  BottomPanel->SetAlign(TAlign::alBottom);
  BottomPanel->SetHeight(40);
  BottomPanel->SetBevelOuter(TPanelBevel::bvNone);
  auto button = [this](const std::string& key) {
    auto* b = new TButton(this);
    b->SetParent(BottomPanel);
    b->SetBounds(0, 0, DlgButtonWidth, DlgButtonHeight);
    Keys().Caption(b, key);
    NoteActivityOnMouse(b);
    return b;
  };
  OKBtn = button("b_&OK");
  OKBtn->SetEnabled(false);
  OKBtn->OnClick = [this](TComponent*) { OKBtnClick(); };
  CancelBtn = button("b_&Cancel");
  CancelBtn->SetCancel(true);
  CancelBtn->SetDefault(true);
  CancelBtn->OnClick = [this](TComponent*) { CancelBtnClick(); };
  HelpBtn = button("b_&Help");
  HelpBtn->OnClick = [](TComponent*) { NoteUserActivity(); };
  HelpBtn->SetVisible(false);  // no help files are installed
  PrintBtn = button("b_&Print");
  PrintBtn->SetEnabled(false);
  PrintBtn->OnClick = [this](TComponent*) { PrintBtnClick(); };
  BottomPanel->OnResize = [this](TComponent*) { ArrangeButtons(); };

  Splitter = new TStySplitter(this);
  Splitter->SetParent(this);
  Splitter->SetAlign(TAlign::alClient);
  Splitter->SetRealTimeDrag(true);
  Splitter->SetPercent(26);
  Outline = new TOutline(this);
  Outline->SetParent(Splitter->UpperLeft().Pane());
  Outline->SetAlign(TAlign::alClient);
  Outline->OnClick = [this](TComponent*) { OutlineClick(); };
  EditorPane = Splitter->LowerRight().Pane();

  OnClose = [this](TComponent*, TCloseAction&) {
    // Closing the window any other way than OK or Cancel discards the edits, as Cancel does.
    if (!finished_) DiscardChanges();
  };
  ArrangeButtons();
  FillOutline();
  ChangeDetails.clear();
}

TD31_Explorer::~TD31_Explorer() {
  if (current_) current_->CloseEditor(false);
  current_ = nullptr;
  if (D31_Explorer == this) D31_Explorer = nullptr;
}

void TD31_Explorer::ArrangeButtons() {
  const int top = BottomPanel->ClientHeight() - 7 - DlgButtonHeight;
  int left = BottomPanel->ClientWidth() - 7 - DlgButtonWidth;
  if (HelpBtn->Visible()) {
    HelpBtn->SetBounds(left, top, DlgButtonWidth, DlgButtonHeight);
    left -= 14 + DlgButtonWidth;
  }
  CancelBtn->SetBounds(left, top, DlgButtonWidth, DlgButtonHeight);
  left -= 7 + DlgButtonWidth;
  OKBtn->SetBounds(left, top, DlgButtonWidth, DlgButtonHeight);
  left -= 7 + DlgButtonWidth;
  PrintBtn->SetBounds(left, top, DlgButtonWidth, DlgButtonHeight);
}

TExplElement* TD31_Explorer::NodeElement(int index) const {
  return index >= 1 && index <= Outline->ItemCount() ? static_cast<TExplElement*>(Outline->NodeData(index)) : nullptr;
}

void TD31_Explorer::FillOutline() {
  Outline->BeginUpdate();
  Outline->Clear();
  if (root_) {
    TOutlineFiller filler(Outline);
    root_->FillOutline(&filler, 0,
                       [this](TExplElement*, TExplElement* element, bool refill) { ElementSelected(element, refill); });
  }
  Outline->EndUpdate();
  Outline->FullExpand();
  if (current_) Outline->SetSelectedItem(Outline->GetDataItem(current_));
}

void TD31_Explorer::SelectElement(TExplElement* element) {
  NoteUserActivity();
  if (element && Outline->GetDataItem(element) < 1) return;  // not in the tree shown
  PrintBtn->SetEnabled(element != nullptr);
  if (element == current_) return;
  if (current_) {
    bool closed = false;
    try {
      closed = current_->CloseEditor(true);
    } catch (const std::exception& e) {
      // The element is in a state its editor cannot take values from: the editor goes without
      // them (its frame lives in this dialog) and the tree is shown afresh.
      current_->CloseEditor(false);
      current_ = nullptr;
      FillOutline();
      closed = true;
      Application->ShowException(e);
      if (element && Outline->GetDataItem(element) < 1) element = nullptr;
    }
    if (!closed) {
      Outline->SetSelectedItem(Outline->GetDataItem(current_));
      PrintBtn->SetEnabled(true);
      return;
    }
  }
  current_ = element;
  Outline->SetSelectedItem(element ? Outline->GetDataItem(element) : 0);
  if (!element) return;
  element->CreateEditor(
      EditorPane,
      [this](TExplEditor*) {
        OKBtn->SetEnabled(true);
        CancelBtn->SetDefault(false);
        OKBtn->SetDefault(true);
      },
      [this](TExplEditor*, const std::string& text) {
        const int node = Outline->SelectedItem();
        if (node != 0 && current_) Outline->SetNodeText(node, current_->GetOutlineText(text));
      });
}

void TD31_Explorer::ElementSelected(TExplElement* element, bool refill) {
  if (refill) {
    SelectElement(nullptr);
    if (current_) return;  // the open editor refused to close
    FillOutline();
  }
  SelectElement(element);
}

void TD31_Explorer::OutlineClick() { SelectElement(NodeElement(Outline->SelectedItem())); }

void TD31_Explorer::OKBtnClick() {
  NoteUserActivity();
  if (RecorderConfirmStop && !RecorderConfirmStop()) {
    CancelBtnClick();
    return;
  }
  if (Outline->ItemCount() == 0) return;
  if (current_ && !current_->AcceptEditor()) return;
  // Slots apply before their logger, whose apply sends the configuration with theirs.
  failed_.clear();
  for (int i = Outline->ItemCount(); i >= 1; --i) {
    TExplElement* element = NodeElement(i);
    if (!element) continue;
    std::string error;
    bool applied = false;
    try {
      applied = element->ApplyChanges();
    } catch (const std::exception& e) {
      error = e.what();
    }
    if (!applied) failed_.push_back(Outline->NodeText(i) + (error.empty() ? "" : ": " + error));
  }
  // What was applied is recorded, also when other elements failed.
  AddAuditEvent(TDY_AuditEventKind::DeviceConfigChanged, ChangeSubject, ChangeDetails);
  finished_ = true;
  if (!failed_.empty()) {
    std::string text = LoadResString("d31_ApplyFailed");
    for (const std::string& name : failed_) text += "\n" + name;
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
  }
  SetModalResult(mrOk);
}

void TD31_Explorer::DiscardChanges() {
  finished_ = true;
  for (int i = 1; i <= Outline->ItemCount(); ++i)
    if (TExplElement* element = NodeElement(i)) element->CancelChanges();
}

void TD31_Explorer::CancelBtnClick() {
  NoteUserActivity();
  DiscardChanges();
  SetModalResult(mrCancel);
}

bool TD31_Explorer::BuildInfoSheet(TStringList& lines, std::string& title) {
  TExplElement* before = current_;
  auto unknown = [&] {
    MessageDlg("Unknown Explorer element !", TMsgDlgType::mtInformation, mbOK);
    SelectElement(before);
    return false;
  };
  if (!current_ || !(IsModuleEditor(current_) || dynamic_cast<TTv10SubModEd0*>(current_->Editor()))) return unknown();
  // From a sensor slot, up the tree to its logger.
  for (int node = Outline->GetDataItem(current_); !IsModuleEditor(current_);) {
    node = Outline->NodeParent(node);
    if (node == 0) return unknown();
    TExplElement* above = NodeElement(node);
    SelectElement(above);
    if (current_ != above) return false;  // the open editor holds a value it cannot take
  }
  auto* module = dynamic_cast<TTv10Modul*>(current_);
  if (!module) return unknown();
  const auto& editor = *static_cast<const TTv10ModEditor0*>(current_->Editor());
  lines.Clear();
  const TDateTime now = Now(*Clock);
  lines.Add(FormatDateTime("ddddd", now) + " " + FormatDateTime("tt", now));
  lines.Add("");
  std::string comment;
  if (RunD12EnterString("Comment:", "", "", 0, comment) == mrOk) {
    lines.Add(comment);
    lines.Add("");
  }
  lines.Add(LoadResString("KD_Title_DeviceInfo") + ": ");
  lines.Add("");
  AddModuleInfoLines(*module, editor, lines);
  // The slots are the module's subtree; their values are the edit copies their editors left.
  const int module_node = Outline->GetDataItem(module);
  const int level = Outline->NodeLevel(module_node);
  for (int i = module_node + 1; i <= Outline->ItemCount() && Outline->NodeLevel(i) > level; ++i)
    if (auto* slot = dynamic_cast<TTv10SubModul*>(NodeElement(i))) AddSlotInfoLines(*slot, *module, lines);
  title = LoadResString("D31_PrintCaption") + " DL" + Format("%.3d", module->Id());
  SelectElement(before);
  return true;
}

void TD31_Explorer::PrintBtnClick() {
  NoteUserActivity();
  TStringList lines;
  std::string title;
  if (!BuildInfoSheet(lines, title)) return;
  TD71_PrintInfo sheet(nullptr);
  sheet.RichEdit->Lines() = lines;
  sheet.PrintSheet(title);
}

void RunExplorer() {
  if (D31_Explorer) throw Exception("Error in mehOMenExplorerClick: only !one! instance of D31_Explorer permitted");
  std::unique_ptr<TD31_Explorer> dialog =
      std::make_unique<TD31_Explorer>(Application, DbShell ? DbShell->Root() : nullptr);
  D31_Explorer = dialog.get();
  if (DbShell)
    if (TDevice* selected = DbShell->GetSelDevice()) dialog->SelectElement(selected);
  dialog->ShowModal();
}

}  // namespace qv
