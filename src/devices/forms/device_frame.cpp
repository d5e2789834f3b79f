#include "devices/forms/device_frame.h"

#include <algorithm>
#include <charconv>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/rtl/format.h"
#include "platform/rtl/msg_dlg_types.h"
#include "platform/gui/forms.h"

namespace qv {

TLabel* MakeFrameLabel(TWinControl* parent, const std::string& key, int left, int top) {
  auto* label = new TLabel(parent);
  label->SetParent(parent);
  label->SetCaption(key.empty() ? std::string() : LoadResString(key));
  label->SetBounds(left, top, 130, 16);
  return label;
}

TEdit* MakeFrameEdit(TWinControl* parent, int left, int top, int width, int max_length) {
  auto* edit = new TEdit(parent);
  edit->SetParent(parent);
  edit->SetBounds(left, top, width, 22);
  if (max_length > 0) edit->SetMaxLength(max_length);
  return edit;
}

namespace {

TLabel* MakeLabel(TWinControl* parent, const std::string& key, int left, int top) {
  return MakeFrameLabel(parent, key, left, top);
}

TEdit* MakeEdit(TWinControl* parent, int left, int top, int width) { return MakeFrameEdit(parent, left, top, width); }

TBevel* MakeBevel(TWinControl* parent, int left, int top, int width, int height) {
  auto* bevel = new TBevel(parent);
  bevel->SetParent(parent);
  bevel->SetShape(TBevelShape::bsFrame);
  bevel->SetBounds(left, top, width, height);
  return bevel;
}

}  // namespace

TEditorPages::TEditorPages(TWinControl* parent, int left, int top, int width, int height) {
  Host = new TPanel(parent);
  Host->SetParent(parent);
  Host->SetBevelOuter(TPanelBevel::bvNone);
  Host->SetCaption("");
  Host->SetBounds(left, top, width, height);
}

TPanel* TEditorPages::AddSheet(const std::string& caption) {
  constexpr int kTabWidth = 120, kTabHeight = 24;
  const int index = static_cast<int>(Sheets.size());
  auto* tab = new TSpeedButton(Host);
  tab->SetParent(Host);
  tab->SetGroupIndex(1);
  tab->SetCaption(caption);
  tab->SetBounds(index * kTabWidth, 0, kTabWidth, kTabHeight);
  tab->OnClick = [this, index](TComponent*) { SetActivePage(index); };
  auto* sheet = new TPanel(Host);
  sheet->SetParent(Host);
  sheet->SetCaption("");
  sheet->SetBevelOuter(TPanelBevel::bvRaised);
  sheet->SetBounds(0, kTabHeight, Host->Width(), std::max(0, Host->Height() - kTabHeight));
  sheet->SetVisible(false);
  Tabs.push_back(tab);
  Sheets.push_back(sheet);
  if (active_ < 0) SetActivePage(0);
  return sheet;
}

void TEditorPages::SetActivePage(int index) {
  if (index < 0 || index >= static_cast<int>(Sheets.size())) return;
  active_ = index;
  for (size_t i = 0; i < Sheets.size(); ++i) {
    Sheets[i]->SetVisible(static_cast<int>(i) == index);
    Tabs[i]->SetDown(static_cast<int>(i) == index);
  }
}

int TEditorPages::PageOf(const TControl* control) const {
  for (; control; control = control->Parent())
    for (size_t i = 0; i < Sheets.size(); ++i)
      if (control == Sheets[i]) return static_cast<int>(i);
  return -1;
}

void TEditorPages::SetEnabled(bool enabled) {
  Host->SetEnabled(enabled);
  for (TSpeedButton* tab : Tabs) tab->SetEnabled(enabled);
}

TDeviceFrame::TDeviceFrame(TWinControl* parent) {
  Panel = new TPanel(parent);
  Panel->SetParent(parent);
  Panel->SetBevelOuter(TPanelBevel::bvNone);
  Panel->SetCaption("");
  Panel->SetBounds(0, 0, 400, 200);
  Panel->SetAlign(TAlign::alClient);
  // Working in the frame keeps the archive's session alive.
  Panel->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  FTitleLbl = new TPanel(Panel);
  FTitleLbl->SetParent(Panel);
  FTitleLbl->SetBounds(0, 0, 400, 24);
  FTitleLbl->SetAlign(TAlign::alTop);
  FTitleLbl->SetBevelOuter(TPanelBevel::bvRaised);
  FTitleLbl->SetCaption(LoadResString("dev_EditDevice"));

  IdBevel = MakeBevel(Panel, 8, 34, 380, 40);
  IdLbl = MakeLabel(Panel, "dev_Id", 16, 46);
  IdPrefixLbl = MakeLabel(Panel, "", 140, 46);
  IdPrefixLbl->SetCaption("DL");
  IdPrefixLbl->SetWidth(20);
  IdMaskEdit = MakeEdit(Panel, 162, 43, 60);
  IdMaskEdit->SetMaxLength(5);
  IdMaskEdit->SetReadOnly(true);
  IdMaskEdit->SetEnabled(false);

  NameBevel = MakeBevel(Panel, 8, 82, 380, 72);
  NameLbl = MakeLabel(Panel, "dev_Name", 16, 94);
  LNameEdit = MakeEdit(Panel, 140, 91, 240);
  SNameLbl = MakeLabel(Panel, "dev_SName", 16, 124);
  SNameEdit = MakeEdit(Panel, 140, 121, 240);
}

// The element frees its editor, and with it the frame, before the explorer frees the parent.
TDeviceFrame::~TDeviceFrame() { delete Panel; }

const TExplFrameClass TDeviceEditor::FrameClass{"TDeviceFrame", [](TWinControl* parent) -> std::unique_ptr<TExplFrame> {
                                                  return std::make_unique<TDeviceFrame>(parent);
                                                }};

void SetEditorText(TExplEditor& editor, TControl* control, const std::string& text) {
  if (!control || control->Text() == text) return;
  const bool old = editor.Updating();
  editor.SetUpdating(true);
  control->SetText(text);
  editor.SetUpdating(old);
}

bool ParseEditorId(const std::string& text, int32_t& id) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  int32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return false;
  id = value;
  return true;
}

void TDeviceEditor::CreateFrame(TWinControl* parent) {
  TExplEditor::CreateFrame(parent);
  TDeviceFrame* frame = DeviceFrame();
  if (!frame) return;
  frame->IdMaskEdit->OnChange = [this](TComponent* sender) { EditChange(sender); };
  frame->SNameEdit->OnChange = [this](TComponent* sender) { EditChange(sender); };
  frame->LNameEdit->OnChange = [this](TComponent* sender) { NameChanged(sender); };
}

bool TDeviceEditor::GetIdReadOnly() const { return DeviceFrame() ? DeviceFrame()->IdMaskEdit->ReadOnly() : true; }

void TDeviceEditor::SetIdReadOnly(bool read_only) {
  TDeviceFrame* frame = DeviceFrame();
  if (!frame || frame->IdMaskEdit->ReadOnly() == read_only) return;
  frame->IdMaskEdit->SetReadOnly(read_only);
  frame->IdMaskEdit->SetEnabled(!read_only);
}

void TDeviceEditor::SetId(int32_t id) {
  TDeviceFrame* frame = DeviceFrame();
  if (!frame || id == shown_id_) return;
  if (id < 0) {
    shown_id_ = -1;
    SetEditorText(*this, frame->IdMaskEdit, "");
  } else {
    shown_id_ = id;
    SetEditorText(*this, frame->IdMaskEdit, Format("%.3d", id));
  }
}

std::string TDeviceEditor::GetNameText() const { return DeviceFrame() ? DeviceFrame()->LNameEdit->Text() : ""; }
std::string TDeviceEditor::GetSNameText() const { return DeviceFrame() ? DeviceFrame()->SNameEdit->Text() : ""; }

void TDeviceEditor::SetNameText(const std::string& text) {
  if (DeviceFrame()) SetEditorText(*this, DeviceFrame()->LNameEdit, text);
}

void TDeviceEditor::SetSNameText(const std::string& text) {
  if (DeviceFrame()) SetEditorText(*this, DeviceFrame()->SNameEdit, text);
}

void TDeviceEditor::NameChanged(void*) {
  DoModified();
  // Program writes are no user edits: the outline already shows the node's name.
  if (!Updating()) DoNameChange(GetNameText());
}

bool TDeviceEditor::Validate() { return GetIdReadOnly() || ValidateIdEdit(*this, DeviceFrame()->IdMaskEdit); }

bool ValidateIdEdit(TDevEditor& editor, TEdit* edit) {
  int32_t id = 0;
  bool ok = ParseEditorId(edit->Text(), id);
  if (!ok) {
    MessageDlg(Format(LoadResString("err_InvalidInteger"), edit->Text()), TMsgDlgType::mtWarning, mbOK);
  } else {
    ok = !editor.OnCheckId || editor.OnCheckId(id);
    if (ok) editor.Id = id;
  }
  if (!ok) {
    edit->SetFocus();
    edit->SelectAll();
  }
  return ok;
}

}  // namespace qv
