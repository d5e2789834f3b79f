#include "archive/forms/d54_edit_document_type.h"

#include <algorithm>
#include <utility>

#include "archive/archive_globals.h"
#include "archive/dy_data_import.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_color_combo_box.h"
#include "platform/gui/list_ctrls.h"
#include "platform/rtl/text_utils.h"
#include "shell/dialog_parts.h"

namespace qv {

TD54_EditDocumentType* D54_EditDocumentType = nullptr;
TD62_EditTable* D62_EditTable = nullptr;
TD63_EditDYChannels* D63_EditDYChannels = nullptr;
TD64_EditDiagram* D64_EditDiagram = nullptr;

namespace {

constexpr int Margin = 10;
constexpr int MaxChannelsPerDiagram = 6;

bool SameChannel(const TDY_Channel& a, const TDY_Channel& b) {
  return a.Device->LoggerID == b.Device->LoggerID && a.ChannelID == b.ChannelID;
}

TLabel* AddLabel(TForm* form, const char* key, int left, int top, int width) {
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetBounds(left, top, width, 14);
  label->SetText(LoadResString(key));
  return label;
}

TListBox* AddList(TForm* form, const char* label, int left, int top, int width, int height) {
  AddLabel(form, label, left, top, width);
  auto* list = new TListBox(form);
  list->SetParent(form);
  list->SetBounds(left, top + 16, width, height);
  NoteActivityOnMouse(list);
  return list;
}

TEdit* AddEdit(TForm* form, const char* label, int left, int top, int width) {
  AddLabel(form, label, left, top + 3, 110);
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(left + 115, top, width - 115, 21);
  NoteActivityOnMouse(edit);
  return edit;
}

TButton* AddButton(TForm* form, const char* key, int left, int top, int width) {
  TButton* button = MakeDlgButton(form, key, 0);
  button->SetBounds(left, top, width, DlgButtonHeight);
  return button;
}

void FillChannels(TListBox* list, const TDY_ChannelList& channels) {
  list->Items().Clear();
  for (int i = 0; i < channels.Count(); ++i) list->Items().Add(ChannelCaption(*channels.Get(i)));
  list->SyncItems();
}

// Runs the channel chooser on target; true on OK.
bool ChooseChannels(const TDY_ChannelList& offered, TDY_ChannelList& target) {
  if (D63_EditDYChannels) return false;
  auto dialog = std::make_unique<TD63_EditDYChannels>(Application);
  D63_EditDYChannels = dialog.get();
  dialog->SetAvailable(&offered);
  dialog->SetSelected(&target);
  const int result = dialog->ShowModal();
  D63_EditDYChannels = nullptr;
  return result == mrOk;
}

}  // namespace

bool AcceptUnit(std::string& left, std::string& right, const std::string& unit) {
  if (unit.empty()) return true;
  if (left.empty()) {
    left = unit;
    return true;
  }
  if (unit == left) return true;
  if (!right.empty()) return unit == right;
  right = unit;
  return true;
}

void GenerateTables(TDY_DocTypeInfo& type, bool landscape, bool one_per_device, bool numbered) {
  type.Tables.Clear();
  const int limit = landscape ? 12 : 6;
  std::unique_ptr<TDY_Table> current;
  auto start = [&](const TDY_Channel& first) {
    // Only a table that exists is appended.
    if (current) type.Tables.Add(std::move(current));
    current = std::make_unique<TDY_Table>();
    current->Name =
        numbered ? LoadResString("tvo_TitPrefix") + std::to_string(type.Tables.Count() + 1) : first.Device->DeviceName;
  };
  int32_t device = 0;
  for (int i = 0; i < type.Channels.Count(); ++i) {
    const TDY_Channel& channel = *type.Channels.Get(i);
    const bool new_device = i == 0 || channel.Device->LoggerID != device;
    device = channel.Device->LoggerID;
    if (i == 0 || (new_device && one_per_device) || current->Channels.Count() >= limit) start(channel);
    current->Channels.Add(channel.Clone());
  }
  if (current) type.Tables.Add(std::move(current));
}

void GenerateDiagrams(TDY_DocTypeInfo& type, bool one_per_device, bool numbered) {
  type.Diagrams.Clear();
  TUsedColors colors;
  TUsedPointers pointers;
  std::unique_ptr<TDY_Diagram> current;
  std::string left, right;
  auto start = [&](const TDY_Channel& first) {
    if (current) type.Diagrams.Add(std::move(current));
    current = std::make_unique<TDY_Diagram>();
    current->Name = numbered ? LoadResString("dvo_TitPrefix") + std::to_string(type.Diagrams.Count() + 1)
                             : first.Device->DeviceName;
    left.clear();
    right.clear();
    colors.Reset();
    pointers.Reset();
  };
  int32_t device = 0;
  for (int i = 0; i < type.Channels.Count(); ++i) {
    const TDY_Channel& channel = *type.Channels.Get(i);
    const bool new_device = i == 0 || channel.Device->LoggerID != device;
    device = channel.Device->LoggerID;
    if (i == 0 || (new_device && one_per_device)) start(channel);
    if (current->Channels.Count() >= MaxChannelsPerDiagram || !AcceptUnit(left, right, channel.Unit)) {
      start(channel);
      // The channel that split the diagram settles the new diagram's first unit.
      AcceptUnit(left, right, channel.Unit);
    }
    auto copy = channel.Clone();
    copy->Color = colors.UseColor(copy->Color);
    copy->LineStyle = 0;
    copy->PointerStyle = static_cast<uint8_t>(pointers.UsePointer(copy->PointerStyle));
    current->Channels.Add(std::move(copy));
  }
  if (current) type.Diagrams.Add(std::move(current));
}

// ---- channel chooser

TD63_EditDYChannels::TD63_EditDYChannels(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D63_EditDYChannels"));
  NoteActivityOnMouse(this);
  constexpr int ListWidth = 220, ListHeight = 220;
  AvailChannelsListBox = AddList(this, "D63_AvailChannels", Margin, Margin, ListWidth, ListHeight);
  AvailChannelsListBox->SetMultiSelect(true);
  const int middle = Margin + ListWidth + 10;
  SelectedChannelsListBox = AddList(this, "D63_SelectedChannels", middle + 40 + 10, Margin, ListWidth, ListHeight);
  SelectedChannelsListBox->SetMultiSelect(true);
  SelectChanBtn = AddButton(this, "", middle, Margin + 80, 40);
  SelectChanBtn->SetText(">");
  DeSelectChanBtn = AddButton(this, "", middle, Margin + 120, 40);
  DeSelectChanBtn->SetText("<");
  for (TButton* b : {SelectChanBtn, DeSelectChanBtn}) {
    b->SetHint(LoadResString("d41_AcceptChan"));
    b->SetEnabled(false);
  }
  AvailChannelsListBox->OnClick = [this](TComponent*) {
    NoteUserActivity();
    OkButton->SetEnabled(true);
    SelectChanBtn->SetEnabled(true);
  };
  SelectedChannelsListBox->OnClick = [this](TComponent*) {
    NoteUserActivity();
    OkButton->SetEnabled(true);
    DeSelectChanBtn->SetEnabled(true);
  };
  SelectChanBtn->OnClick = [this](TComponent*) { SelectChanBtnClick(); };
  DeSelectChanBtn->OnClick = [this](TComponent*) { DeSelectChanBtnClick(); };
  OkButton = MakeDlgButton(this, "&Ok", 0);
  OkButton->SetDefault(true);
  OkButton->SetEnabled(false);
  OkButton->OnClick = [this](TComponent*) { OkButtonClick(); };
  CancelButton = MakeDlgButton(this, "&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  const int width = middle + 50 + ListWidth + Margin;
  const int buttons_top = Margin + 16 + ListHeight + 10;
  PlaceDlgButtons(width - Margin - 2 * DlgButtonWidth - DlgButtonGap, buttons_top, {OkButton, CancelButton});
  SetBounds(Left(), Top(), width, buttons_top + DlgButtonHeight + Margin);
}

TD63_EditDYChannels::~TD63_EditDYChannels() = default;

void TD63_EditDYChannels::SetAvailable(const TDY_ChannelList* list) {
  offered_ = list;
  UpdateListBoxes();
}

void TD63_EditDYChannels::SetSelected(TDY_ChannelList* list) {
  target_ = list;
  working_.Clear();
  if (list) CopyChannelList(*list, working_);
  UpdateListBoxes();
}

void TD63_EditDYChannels::UpdateListBoxes() {
  AvailChannelsListBox->Items().Clear();
  SelectedChannelsListBox->Items().Clear();
  avail_shown_.clear();
  select_shown_.clear();
  if (offered_) {
    for (int i = 0; i < offered_->Count(); ++i) {
      const TDY_Channel* channel = offered_->Get(i);
      const bool chosen = working_.Find(channel->Device->LoggerID, channel->ChannelID) != nullptr;
      (chosen ? SelectedChannelsListBox : AvailChannelsListBox)->Items().Add(ChannelCaption(*channel));
      (chosen ? select_shown_ : avail_shown_).push_back(channel);
    }
  }
  AvailChannelsListBox->SyncItems();
  SelectedChannelsListBox->SyncItems();
  SelectChanBtn->SetEnabled(false);
  DeSelectChanBtn->SetEnabled(false);
}

void TD63_EditDYChannels::SelectChanBtnClick() {
  NoteUserActivity();
  for (int i = 0; i < AvailChannelsListBox->Count(); ++i)
    if (AvailChannelsListBox->Selected(i)) working_.Add(avail_shown_[static_cast<size_t>(i)]->Clone());
  UpdateListBoxes();
}

void TD63_EditDYChannels::DeSelectChanBtnClick() {
  NoteUserActivity();
  for (int i = SelectedChannelsListBox->Count() - 1; i >= 0; --i) {
    if (!SelectedChannelsListBox->Selected(i)) continue;
    const TDY_Channel& shown = *select_shown_[static_cast<size_t>(i)];
    for (int w = 0; w < working_.Count(); ++w)
      if (SameChannel(*working_.Get(w), shown)) {
        working_.Delete(w);
        break;
      }
  }
  UpdateListBoxes();
}

void TD63_EditDYChannels::OkButtonClick() {
  NoteUserActivity();
  if (target_) {
    target_->Clear();
    CopyChannelList(working_, *target_);
  }
  SetModalResult(mrOk);
}

// ---- table editor

TD62_EditTable::TD62_EditTable(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D62_EditTable"));
  NoteActivityOnMouse(this);
  constexpr int Width = 340;
  TableNameEdit = AddEdit(this, "D62_TableName", Margin, Margin, Width);
  TableNameEdit->OnChange = [this](TComponent*) { ContentChanged(); };
  ChannelsListBox = AddList(this, "D62_Channels", Margin, Margin + 30, Width, 160);
  EditChannelsButton = AddButton(this, "D62_EditChannels", Margin, Margin + 30 + 16 + 166, 130);
  EditChannelsButton->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (table_ && offered_ && ChooseChannels(*offered_, table_->Channels)) {
      ContentChanged();
      ShowChannels();
    }
  };
  OkButton = MakeDlgButton(this, "&OK", 0);
  OkButton->SetDefault(true);
  OkButton->SetEnabled(false);
  OkButton->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (table_) table_->Name = TableNameEdit->Text();
    SetModalResult(mrOk);
  };
  CancelButton = MakeDlgButton(this, "&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  const int buttons_top = EditChannelsButton->Top() + DlgButtonHeight + 12;
  PlaceDlgButtons(Margin + Width - 2 * DlgButtonWidth - DlgButtonGap, buttons_top, {OkButton, CancelButton});
  SetBounds(Left(), Top(), Width + 2 * Margin, buttons_top + DlgButtonHeight + Margin);
  SetActiveControl(TableNameEdit);
}

void TD62_EditTable::SetTable(TDY_Table* table, const TDY_ChannelList* offered) {
  loading_ = true;
  table_ = table;
  offered_ = offered;
  ShowChannels();
  TableNameEdit->SetText(table ? table->Name : std::string());
  changed_ = false;
  OkButton->SetEnabled(false);
  loading_ = false;
}

void TD62_EditTable::ContentChanged() {
  if (loading_) return;
  NoteUserActivity();
  changed_ = true;
  OkButton->SetEnabled(true);
}

void TD62_EditTable::ShowChannels() {
  if (table_) FillChannels(ChannelsListBox, table_->Channels);
}

// ---- diagram editor

TD64_EditDiagram::TD64_EditDiagram(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D64_EditDiagram"));
  NoteActivityOnMouse(this);
  constexpr int Width = 400;
  DiagramNameEdit = AddEdit(this, "D64_DiagramName", Margin, Margin, Width);
  DiagramNameEdit->OnChange = [this](TComponent*) { ContentChanged(); };
  ChannelsListBox = AddList(this, "D64_Channels", Margin, Margin + 30, 240, 160);
  ChannelsListBox->OnClick = [this](TComponent*) { ChannelsListBoxClick(); };
  const int side = Margin + 250;
  StyColorComboBox = new TStyColorComboBox(this);
  StyColorComboBox->SetParent(this);
  StyColorComboBox->SetShowSysColors(false);
  StyColorComboBox->SetColorDlgOptions(cdFullOpen);
  StyColorComboBox->SetBounds(side, Margin + 46, Width - 250, 22);
  StyColorComboBox->OnSelect = [this](TComponent*) {
    NoteUserActivity();
    if (loading_) return;
    if (TDY_Channel* channel = SelectedChannel()) {
      channel->Color = StyColorComboBox->SelectedColor();
      ContentChanged();
    }
  };
  PenStyleComboBox = new TComboBox(this);
  PenStyleComboBox->SetParent(this);
  PenStyleComboBox->SetStyle(TComboBoxStyle::csDropDownList);
  PenStyleComboBox->SetBounds(side, Margin + 80, Width - 250, 22);
  for (int s = 0; s <= 4; ++s) PenStyleComboBox->Items().Add(PenStyleCaption(s));
  PenStyleComboBox->SyncItems();
  PenStyleComboBox->OnSelect = [this](TComponent*) {
    NoteUserActivity();
    if (loading_) return;
    if (TDY_Channel* channel = SelectedChannel(); channel && PenStyleComboBox->ItemIndex() >= 0) {
      channel->LineStyle = static_cast<uint8_t>(PenStyleComboBox->ItemIndex());
      ContentChanged();
    }
  };
  PointerStyleComboBox = new TComboBox(this);
  PointerStyleComboBox->SetParent(this);
  PointerStyleComboBox->SetStyle(TComboBoxStyle::csDropDownList);
  PointerStyleComboBox->SetBounds(side, Margin + 114, Width - 250, 22);
  for (int s = 0; s <= 8; ++s) PointerStyleComboBox->Items().Add(PointerStyleCaption(s));
  PointerStyleComboBox->SyncItems();
  PointerStyleComboBox->OnSelect = [this](TComponent*) {
    NoteUserActivity();
    if (loading_) return;
    if (TDY_Channel* channel = SelectedChannel(); channel && PointerStyleComboBox->ItemIndex() >= 0) {
      channel->PointerStyle = static_cast<uint8_t>(PointerStyleComboBox->ItemIndex());
      ContentChanged();
    }
  };
  for (TControl* c : {static_cast<TControl*>(StyColorComboBox), static_cast<TControl*>(PenStyleComboBox),
                      static_cast<TControl*>(PointerStyleComboBox)})
    NoteActivityOnMouse(c);
  EditChannelsButton = AddButton(this, "D64_EditChannels", Margin, Margin + 30 + 16 + 166, 130);
  EditChannelsButton->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (diagram_ && offered_ && ChooseChannels(*offered_, diagram_->Channels)) {
      ContentChanged();
      ShowChannels();
    }
  };
  OkButton = MakeDlgButton(this, "&OK", 0);
  OkButton->SetDefault(true);
  OkButton->SetEnabled(false);
  OkButton->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (diagram_) diagram_->Name = DiagramNameEdit->Text();
    SetModalResult(mrOk);
  };
  CancelButton = MakeDlgButton(this, "&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  const int buttons_top = EditChannelsButton->Top() + DlgButtonHeight + 12;
  PlaceDlgButtons(Margin + Width - 2 * DlgButtonWidth - DlgButtonGap, buttons_top, {OkButton, CancelButton});
  SetBounds(Left(), Top(), Width + 2 * Margin, buttons_top + DlgButtonHeight + Margin);
  SetActiveControl(DiagramNameEdit);
}

void TD64_EditDiagram::SetDiagram(TDY_Diagram* diagram, const TDY_ChannelList* offered) {
  loading_ = true;
  diagram_ = diagram;
  offered_ = offered;
  ShowChannels();
  DiagramNameEdit->SetText(diagram ? diagram->Name : std::string());
  changed_ = false;
  OkButton->SetEnabled(false);
  loading_ = false;
}

TDY_Channel* TD64_EditDiagram::SelectedChannel() {
  const int index = ChannelsListBox->ItemIndex();
  if (!diagram_ || index < 0 || index >= diagram_->Channels.Count()) return nullptr;
  return diagram_->Channels.Get(index);
}

void TD64_EditDiagram::ChannelsListBoxClick() {
  NoteUserActivity();
  const TDY_Channel* channel = SelectedChannel();
  if (!channel) return;
  const bool was_loading = loading_;
  loading_ = true;
  StyColorComboBox->SetSelectedColor(channel->Color);
  PenStyleComboBox->SetItemIndex(channel->LineStyle);
  PointerStyleComboBox->SetItemIndex(channel->PointerStyle);
  loading_ = was_loading;
}

void TD64_EditDiagram::ShowChannels() {
  if (!diagram_) return;
  FillChannels(ChannelsListBox, diagram_->Channels);
  if (diagram_->Channels.Count() > 0) {
    ChannelsListBox->SetItemIndex(0);
    ChannelsListBoxClick();
  }
}

void TD64_EditDiagram::ContentChanged() {
  if (loading_) return;
  NoteUserActivity();
  changed_ = true;
  OkButton->SetEnabled(true);
}

// ---- type editor

TD54_EditDocumentType::TD54_EditDocumentType(TComponent* owner)
    : TForm(owner), type_(std::make_unique<TDY_DocTypeInfo>()) {
  loading_ = true;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D54_EditDocumentType"));
  NoteActivityOnMouse(this);
  constexpr int ListWidth = 260, ListHeight = 110, ButtonWidth = 120;
  DocTypeNameEdit = AddEdit(this, "D54_DocTypeName", Margin, Margin, ListWidth + 10 + ButtonWidth);
  DocTypeTitleEdit = AddEdit(this, "D54_DocTypeTitle", Margin, Margin + 28, ListWidth + 10 + ButtonWidth);
  DocTypeNameEdit->OnChange = [this](TComponent*) { OnContentChange(); };
  DocTypeTitleEdit->OnChange = [this](TComponent*) { OnContentChange(); };
  const int button_left = Margin + ListWidth + 10;
  int top = Margin + 62;
  ChannelsListBox = AddList(this, "D54_Channels", Margin, top, ListWidth, ListHeight);
  EditChannelsButton = AddButton(this, "D54_EditChannels", button_left, top + 16, ButtonWidth);
  EditChannelsButton->OnClick = [this](TComponent*) { EditChannelsButtonClick(); };
  top += ListHeight + 24;
  TablesListBox = AddList(this, "D54_Tables", Margin, top, ListWidth, ListHeight);
  EditTableButton = AddButton(this, "D54_EditTable", button_left, top + 16, ButtonWidth);
  DeleteTableButton = AddButton(this, "D54_DeleteTable", button_left, top + 46, ButtonWidth);
  AddTableButton = AddButton(this, "D54_AddTable", button_left, top + 76, ButtonWidth);
  EditTableButton->OnClick = [this](TComponent*) { EditTableButtonClick(); };
  DeleteTableButton->OnClick = [this](TComponent*) { DeleteTableButtonClick(); };
  AddTableButton->OnClick = [this](TComponent*) { AddTableButtonClick(); };
  top += ListHeight + 24;
  DiagramsListBox = AddList(this, "D54_Diagrams", Margin, top, ListWidth, ListHeight);
  EditDiagramButton = AddButton(this, "D54_EditDiagram", button_left, top + 16, ButtonWidth);
  DeleteDiagramButton = AddButton(this, "D54_DeleteDiagram", button_left, top + 46, ButtonWidth);
  AddDiagramButton = AddButton(this, "D54_AddDiagram", button_left, top + 76, ButtonWidth);
  EditDiagramButton->OnClick = [this](TComponent*) { EditDiagramButtonClick(); };
  DeleteDiagramButton->OnClick = [this](TComponent*) { DeleteDiagramButtonClick(); };
  AddDiagramButton->OnClick = [this](TComponent*) { AddDiagramButtonClick(); };
  for (TButton* b : {EditTableButton, DeleteTableButton, EditDiagramButton, DeleteDiagramButton}) b->SetEnabled(false);
  const int lists_bottom = top + 16 + ListHeight;

  const int box_left = button_left + ButtonWidth + 20;
  constexpr int BoxWidth = 220;
  int box_top = Margin + 62;
  auto check = [&](const char* key, bool checked) {
    auto* box = new TCheckBox(this);
    box->SetParent(this);
    box->SetBounds(box_left, box_top, BoxWidth, 20);
    box->SetText(LoadResString(key));
    box->SetChecked(checked);
    NoteActivityOnMouse(box);
    box_top += 24;
    return box;
  };
  ShowDocInfoCheckBox = check("D54_ShowDocInfo", true);
  ShowSigInfoCheckBox = check("D54_ShowSigInfo", true);
  ShowDeviceInfoCheckBox = check("D54_ShowDeviceInfo", true);
  ShowAuditLogCheckBox = check("D54_ShowAuditLog", true);
  ShowDiagramsCheckBox = check("D54_ShowDiagrams", true);
  ShowTablesCheckBox = check("D54_ShowTables", true);
  box_top += 10;
  TablesLandscapeCheckBox = check("D54_TablesLandscape", false);
  DiagsLandscapeCheckBox = check("D54_DiagsLandscape", false);
  box_top += 10;
  MaxChanPerTableCheckBox = check("D54_MaxChanPerTable", true);
  OneTabPerDevCheckBox = check("D54_OneTabPerDevice", false);
  box_top += 10;
  MaxChanPerDiaCheckBox = check("D54_MaxChanPerDia", true);
  OneDiaPerDevCheckBox = check("D54_OneDiaPerDevice", false);
  ShowDocInfoCheckBox->SetEnabled(false);
  ShowAuditLogCheckBox->SetEnabled(false);
  for (TCheckBox* box : {ShowDocInfoCheckBox, ShowSigInfoCheckBox, ShowDeviceInfoCheckBox, ShowAuditLogCheckBox,
                         ShowDiagramsCheckBox, ShowTablesCheckBox, DiagsLandscapeCheckBox})
    box->OnClick = [this](TComponent*) { OnContentChange(); };
  TablesLandscapeCheckBox->OnClick = [this](TComponent*) {
    if (loading_) return;
    OnContentChange();
    RebuildTables();
  };
  MaxChanPerTableCheckBox->OnClick = [this](TComponent*) {
    PairClick(MaxChanPerTableCheckBox, OneTabPerDevCheckBox, true);
  };
  OneTabPerDevCheckBox->OnClick = [this](TComponent*) {
    PairClick(OneTabPerDevCheckBox, MaxChanPerTableCheckBox, true);
  };
  MaxChanPerDiaCheckBox->OnClick = [this](TComponent*) {
    PairClick(MaxChanPerDiaCheckBox, OneDiaPerDevCheckBox, false);
  };
  OneDiaPerDevCheckBox->OnClick = [this](TComponent*) {
    PairClick(OneDiaPerDevCheckBox, MaxChanPerDiaCheckBox, false);
  };

  OkButton = MakeDlgButton(this, "&OK", 0);
  OkButton->SetDefault(true);
  OkButton->SetEnabled(false);
  OkButton->OnClick = [this](TComponent*) { OkButtonClick(); };
  CancelButton = MakeDlgButton(this, "&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  const int width = box_left + BoxWidth + Margin;
  const int buttons_top = std::max(lists_bottom, box_top) + 12;
  PlaceDlgButtons(width - Margin - 2 * DlgButtonWidth - DlgButtonGap, buttons_top, {OkButton, CancelButton});
  SetBounds(Left(), Top(), width, buttons_top + DlgButtonHeight + Margin);
  SetActiveControl(DocTypeNameEdit);
  loading_ = false;
}

void TD54_EditDocumentType::OnContentChange() {
  if (loading_) return;
  NoteUserActivity();
  changed_ = true;
  OkButton->SetEnabled(true);
}

void TD54_EditDocumentType::PairClick(TCheckBox* clicked, TCheckBox* other, bool tables) {
  if (loading_) return;
  NoteUserActivity();
  // The pair's other box follows without running its own handler.
  loading_ = true;
  other->SetChecked(!clicked->Checked());
  loading_ = false;
  if (tables)
    RebuildTables();
  else
    RebuildDiagrams();
  OnContentChange();
}

void TD54_EditDocumentType::RebuildTables() {
  GenerateTables(*type_, TablesLandscapeCheckBox->Checked(), OneTabPerDevCheckBox->Checked(),
                 MaxChanPerTableCheckBox->Checked());
  ShowTableList();
}

void TD54_EditDocumentType::RebuildDiagrams() {
  GenerateDiagrams(*type_, OneDiaPerDevCheckBox->Checked(), MaxChanPerDiaCheckBox->Checked());
  ShowDiagramList();
}

void TD54_EditDocumentType::GetTypeContent(const std::string& file_name) {
  loading_ = true;
  type_->Load(file_name);
  ShowDocInfoCheckBox->SetChecked(type_->ShowDocInfo);
  ShowSigInfoCheckBox->SetChecked(type_->ShowSigInfo);
  ShowDeviceInfoCheckBox->SetChecked(type_->ShowDeviceInfo);
  ShowAuditLogCheckBox->SetChecked(type_->ShowAuditLog);
  TablesLandscapeCheckBox->SetChecked(type_->TablesLandScape);
  DiagsLandscapeCheckBox->SetChecked(type_->DiagsLandScape);
  OneTabPerDevCheckBox->SetChecked(type_->OneTabPerDevice);
  MaxChanPerTableCheckBox->SetChecked(!type_->OneTabPerDevice);
  OneDiaPerDevCheckBox->SetChecked(type_->OneDiaPerDevice);
  MaxChanPerDiaCheckBox->SetChecked(!type_->OneDiaPerDevice);
  DocTypeNameEdit->SetText(type_->Name);
  DocTypeTitleEdit->SetText(type_->Title);
  loaded_name_ = type_->Name;
  ShowChannelList();
  ShowDiagramList();
  ShowTableList();
  // The show switches as stored, not as the lists' state would set them.
  ShowDiagramsCheckBox->SetChecked(type_->ShowDiagrams && type_->Diagrams.Count() > 0);
  ShowTablesCheckBox->SetChecked(type_->ShowTables && type_->Tables.Count() > 0);
  loading_ = false;
}

void TD54_EditDocumentType::OkButtonClick() {
  NoteUserActivity();
  const std::string name = DocTypeNameEdit->Text();
  bool refused = !DocTypeNameError(name).empty();
  // A new type, or a renamed one, may not take another type's name.
  if (!refused && (loaded_name_.empty() || !SameText(name, loaded_name_)))
    refused = std::any_of(taken_names_.begin(), taken_names_.end(),
                          [&](const std::string& taken) { return SameText(taken, name); });
  if (refused) {
    DocTypeNameEdit->SetFocus();
    DocTypeNameEdit->SelectAll();
    OkButton->SetEnabled(false);
    return;
  }
  type_->Title = DocTypeTitleEdit->Text();
  type_->Name = name;
  type_->FileName = name + DocTypeFileExt;
  type_->ShowDocInfo = ShowDocInfoCheckBox->Checked();
  type_->ShowSigInfo = ShowSigInfoCheckBox->Checked();
  type_->ShowDeviceInfo = ShowDeviceInfoCheckBox->Checked();
  type_->ShowAuditLog = ShowAuditLogCheckBox->Checked();
  type_->ShowDiagrams = ShowDiagramsCheckBox->Checked();
  type_->ShowTables = ShowTablesCheckBox->Checked();
  type_->TablesLandScape = TablesLandscapeCheckBox->Checked();
  type_->DiagsLandScape = DiagsLandscapeCheckBox->Checked();
  type_->OneTabPerDevice = OneTabPerDevCheckBox->Checked();
  type_->OneDiaPerDevice = OneDiaPerDevCheckBox->Checked();
  SetModalResult(mrOk);
}

void TD54_EditDocumentType::EditChannelsButtonClick() {
  NoteUserActivity();
  TDY_DataImport import;
  if (!import.SelectChannels(type_->Channels)) return;
  OnContentChange();
  ShowChannelList();
  RebuildTables();
  RebuildDiagrams();
}

namespace {

// The table editor on a copy: OK hands back the edited copy, Cancel drops it.
std::unique_ptr<TDY_Table> EditTableCopy(const TDY_Table& table, const TDY_ChannelList& offered) {
  if (D62_EditTable) return nullptr;
  auto copy = table.Clone();
  auto dialog = std::make_unique<TD62_EditTable>(Application);
  D62_EditTable = dialog.get();
  dialog->SetTable(copy.get(), &offered);
  const int result = dialog->ShowModal();
  D62_EditTable = nullptr;
  return result == mrOk ? std::move(copy) : nullptr;
}

std::unique_ptr<TDY_Diagram> EditDiagramCopy(const TDY_Diagram& diagram, const TDY_ChannelList& offered) {
  if (D64_EditDiagram) return nullptr;
  auto copy = diagram.Clone();
  auto dialog = std::make_unique<TD64_EditDiagram>(Application);
  D64_EditDiagram = dialog.get();
  dialog->SetDiagram(copy.get(), &offered);
  const int result = dialog->ShowModal();
  D64_EditDiagram = nullptr;
  return result == mrOk ? std::move(copy) : nullptr;
}

}  // namespace

void TD54_EditDocumentType::AddTableButtonClick() {
  NoteUserActivity();
  if (auto table = EditTableCopy(TDY_Table(), type_->Channels)) {
    OnContentChange();
    type_->Tables.Add(std::move(table));
    ShowTableList();
  }
}

void TD54_EditDocumentType::EditTableButtonClick() {
  NoteUserActivity();
  const int index = TablesListBox->ItemIndex();
  if (index < 0 || index >= type_->Tables.Count()) return;
  if (auto table = EditTableCopy(*type_->Tables.Get(index), type_->Channels)) {
    *type_->Tables.Get(index) = std::move(*table);
    OnContentChange();
    ShowTableList();
  }
}

void TD54_EditDocumentType::DeleteTableButtonClick() {
  NoteUserActivity();
  const int index = TablesListBox->ItemIndex();
  if (index < 0 || index >= type_->Tables.Count()) return;
  type_->Tables.Delete(index);
  OnContentChange();
  ShowTableList();
}

void TD54_EditDocumentType::AddDiagramButtonClick() {
  NoteUserActivity();
  if (auto diagram = EditDiagramCopy(TDY_Diagram(), type_->Channels)) {
    OnContentChange();
    type_->Diagrams.Add(std::move(diagram));
    ShowDiagramList();
  }
}

void TD54_EditDocumentType::EditDiagramButtonClick() {
  NoteUserActivity();
  const int index = DiagramsListBox->ItemIndex();
  if (index < 0 || index >= type_->Diagrams.Count()) return;
  if (auto diagram = EditDiagramCopy(*type_->Diagrams.Get(index), type_->Channels)) {
    *type_->Diagrams.Get(index) = std::move(*diagram);
    OnContentChange();
    ShowDiagramList();
  }
}

void TD54_EditDocumentType::DeleteDiagramButtonClick() {
  NoteUserActivity();
  const int index = DiagramsListBox->ItemIndex();
  if (index < 0 || index >= type_->Diagrams.Count()) return;
  type_->Diagrams.Delete(index);
  OnContentChange();
  ShowDiagramList();
}

void TD54_EditDocumentType::ShowChannelList() { FillChannels(ChannelsListBox, type_->Channels); }

void TD54_EditDocumentType::ShowTableList() {
  TablesListBox->Items().Clear();
  for (int i = 0; i < type_->Tables.Count(); ++i) TablesListBox->Items().Add(type_->Tables.Get(i)->Name);
  TablesListBox->SyncItems();
  const bool any = type_->Tables.Count() > 0;
  if (any) TablesListBox->SetItemIndex(0);
  EditTableButton->SetEnabled(any);
  DeleteTableButton->SetEnabled(any);
  const bool was_loading = loading_;
  loading_ = true;
  ShowTablesCheckBox->SetChecked(any);
  loading_ = was_loading;
  ShowTablesCheckBox->SetEnabled(any);
}

void TD54_EditDocumentType::ShowDiagramList() {
  DiagramsListBox->Items().Clear();
  for (int i = 0; i < type_->Diagrams.Count(); ++i) DiagramsListBox->Items().Add(type_->Diagrams.Get(i)->Name);
  DiagramsListBox->SyncItems();
  const bool any = type_->Diagrams.Count() > 0;
  if (any) DiagramsListBox->SetItemIndex(0);
  EditDiagramButton->SetEnabled(any);
  DeleteDiagramButton->SetEnabled(any);
  const bool was_loading = loading_;
  loading_ = true;
  ShowDiagramsCheckBox->SetChecked(any);
  loading_ = was_loading;
  ShowDiagramsCheckBox->SetEnabled(any);
}

std::unique_ptr<TDY_DocTypeInfo> RunEditDocumentType(const std::string& file_name, const TDY_DocTypeList& types) {
  if (D54_EditDocumentType) return nullptr;
  auto dialog = std::make_unique<TD54_EditDocumentType>(Application);
  D54_EditDocumentType = dialog.get();
  if (!file_name.empty()) dialog->GetTypeContent(file_name);
  std::vector<std::string> taken;
  for (int i = 0; i < types.Count(); ++i) taken.push_back(types.Get(i)->Name);
  dialog->SetTakenNames(std::move(taken));
  const int result = dialog->ShowModal();
  D54_EditDocumentType = nullptr;
  return result == mrOk ? dialog->TakeType() : nullptr;
}

}  // namespace qv
