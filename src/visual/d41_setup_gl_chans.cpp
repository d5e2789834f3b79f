#include "visual/d41_setup_gl_chans.h"

#include <algorithm>
#include <utility>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "datastore/channel.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "visual/list_panes.h"

namespace qv {

TD41_SetupGlChans* D41_SetupGlChans = nullptr;

namespace {

constexpr int kWidth = 640, kHeight = 380, kButtonTop = 342, kListBottom = 330;

TButton* NewButton(TForm* form, const std::string& key, int left, int top, int width = 90) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetText(LoadResString(key));
  b->SetBounds(left, top, width, 26);
  return b;
}

bool Contains(const TChanSelList& list, const TChanSelCell& cell) {
  return std::any_of(list.begin(), list.end(),
                     [&](const TChanSelCell& c) { return c.Data == cell.Data && c.Channel == cell.Channel; });
}

}  // namespace

TD41_SetupGlChans::TD41_SetupGlChans(TComponent* owner) : TForm(owner) {
  D41_SetupGlChans = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d41_Caption"));
  SetBounds(0, 0, kWidth, kHeight);
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  StySplitter1 = new TStySplitter(this);
  StySplitter1->SetParent(this);
  StySplitter1->SetBounds(8, 8, 340, kListBottom - 8);
  StySplitter1->SetPercent(50);
  DevicePanel = PaneHeader(this, StySplitter1->UpperLeft().Pane(), "d29_DevicePanel");
  DataListBox = PaneList(this, StySplitter1->UpperLeft().Pane());
  DataListBox->OnClick = [this](TComponent*) { DataClick(); };
  ChanPanel = PaneHeader(this, StySplitter1->LowerRight().Pane(), "d29_ChanPanel");
  ChanListBox = PaneList(this, StySplitter1->LowerRight().Pane());
  ChanListBox->SetMultiSelect(true);
  ChanListBox->OnClick = [this](TComponent*) { ChanClick(); };

  // The middle column of buttons moves channels across, the right one orders the chosen list.
  AcceptChanBtn = NewButton(this, "d41_AcceptChan", 354, 40, 120);
  AcceptChanBtn->OnClick = [this](TComponent*) { AcceptChanClick(); };
  AcceptSelBtn = NewButton(this, "d41_AcceptSelection", 354, 72, 120);
  AcceptSelBtn->OnClick = [this](TComponent*) { AcceptSelClick(); };
  SelAllBtn = NewButton(this, "d41_SelectAll", 354, 104, 120);
  SelAllBtn->OnClick = [this](TComponent*) { SelAllClick(); };
  MoveUpBtn = NewButton(this, "d41_MoveUp", 354, 176, 120);
  MoveUpBtn->OnClick = [this](TComponent*) { MoveUpClick(); };
  MoveDownBtn = NewButton(this, "d41_MoveDown", 354, 208, 120);
  MoveDownBtn->OnClick = [this](TComponent*) { MoveDownClick(); };
  DeleteBtn = NewButton(this, "d41_RemoveItem", 354, 240, 120);
  DeleteBtn->OnClick = [this](TComponent*) { DeleteClick(); };

  auto* select_box = new TPanel(this);
  select_box->SetParent(this);
  select_box->SetBounds(480, 8, kWidth - 488, kListBottom - 8);
  SelectPanel = PaneHeader(this, select_box, "d41_SelectChans");
  SelectListBox = PaneList(this, select_box);
  SelectListBox->OnClick = [this](TComponent*) { SelectClick(); };

  OkBtn = NewButton(this, "b_&OK", 8, kButtonTop);
  OkBtn->SetModalResult(mrOk);
  OkBtn->OnClick = [](TComponent*) { NoteUserActivity(); };
  CancelBtn = NewButton(this, "b_&Cancel", 108, kButtonTop);
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);
  HelpBtn = NewButton(this, "b_&Help", 208, kButtonTop);
  // No help file to open on this platform yet: the button stays hidden, as in the other dialogs.
  HelpBtn->SetVisible(false);
  UpdateButtonStates();
  if (DbShell && DbShell->Root()) FillDevices(DbShell->Root());
}

TD41_SetupGlChans::~TD41_SetupGlChans() {
  if (D41_SetupGlChans == this) D41_SetupGlChans = nullptr;
}

void TD41_SetupGlChans::FillDevices(TDevice* root) {
  DataListBox->Items().Clear();
  if (root) root->FillDevStrings(&DataListBox->Items(), 0);
  DataListBox->SyncItems();
  OfferChannels();
}

void TD41_SetupGlChans::SetSelectList(TChanSelList* list) {
  if (!list) throw Exception("TD41_SetupGlChans.SetSelectList: SelectList NIL!");
  if (list == select_list_) return;
  select_list_ = list;
  if (!list->empty()) {
    TData* first = list->front().Data;
    for (int i = 0; i < DataListBox->Items().Count(); ++i) {
      auto* device = static_cast<TDevice*>(DataListBox->Items().GetObject(i));
      // A device line stands for its own data and that of its hidden sensor modules.
      if (device && (device->Data() == first || device->HasDataObject(first))) {
        DataListBox->SetItemIndex(i);
        break;
      }
    }
  }
  Refresh(list->empty() ? -1 : 0);
}

TDevice* TD41_SetupGlChans::SelectedDevice() const {
  const int i = DataListBox->ItemIndex();
  if (i < 0 || i >= DataListBox->Items().Count()) return nullptr;
  return static_cast<TDevice*>(DataListBox->Items().GetObject(i));
}

void TD41_SetupGlChans::ShowSelectList(int chosen_index) {
  SelectListBox->Items().Clear();
  if (select_list_)
    for (const TChanSelCell& cell : *select_list_)
      SelectListBox->Items().Add(cell.Data->GetSName() + ": " + cell.Channel->SName());
  SelectListBox->SyncItems();
  const int count = select_list_ ? static_cast<int>(select_list_->size()) : 0;
  if (chosen_index >= 0 && chosen_index < count) SelectListBox->SetItemIndex(chosen_index);
}

void TD41_SetupGlChans::OfferChannels() {
  available_.clear();
  ChanListBox->Items().Clear();
  if (TDevice* device = SelectedDevice()) {
    TChanSelList offered;
    device->FillUserChanList(&offered);
    for (const TChanSelCell& cell : offered)
      if (!select_list_ || !Contains(*select_list_, cell)) available_.push_back(cell);
  }
  for (const TChanSelCell& cell : available_) ChanListBox->Items().Add(cell.Channel->SName());
  ChanListBox->SyncItems();
}

// The list boxes mirror available_ and the chosen list; their item lists are only written, as
// reading them would reload them and lose the selection.
int TD41_SetupGlChans::SelectedCount() {
  int n = 0;
  for (int i = 0; i < static_cast<int>(available_.size()); ++i) n += ChanListBox->Selected(i) ? 1 : 0;
  return n;
}

void TD41_SetupGlChans::UpdateButtonStates() {
  const int selected = SelectedCount();
  const bool chosen = SelectListBox->ItemIndex() >= 0;
  AcceptChanBtn->SetEnabled(selected == 1);
  AcceptSelBtn->SetEnabled(selected >= 2);
  SelAllBtn->SetEnabled(true);
  DeleteBtn->SetEnabled(chosen);
  MoveUpBtn->SetEnabled(chosen);
  MoveDownBtn->SetEnabled(chosen);
  const bool any = select_list_ && !select_list_->empty();
  OkBtn->SetEnabled(any);
  OkBtn->SetDefault(any);
  CancelBtn->SetDefault(!any);
}

void TD41_SetupGlChans::Refresh(int chosen_index) {
  ShowSelectList(chosen_index);
  OfferChannels();
  UpdateButtonStates();
}

void TD41_SetupGlChans::DataClick() {
  NoteUserActivity();
  OfferChannels();
  UpdateButtonStates();
}

void TD41_SetupGlChans::ChanClick() {
  NoteUserActivity();
  UpdateButtonStates();
}

void TD41_SetupGlChans::SelectClick() {
  NoteUserActivity();
  UpdateButtonStates();
}

void TD41_SetupGlChans::Accept() {
  if (!select_list_) return;
  for (int i = 0; i < static_cast<int>(available_.size()); ++i)
    if (ChanListBox->Selected(i)) select_list_->push_back(available_[static_cast<size_t>(i)]);
  Refresh(static_cast<int>(select_list_->size()) - 1);
}

void TD41_SetupGlChans::AcceptChanClick() {
  NoteUserActivity();
  // One channel is selected: it is the one the focus stands on.
  if (SelectedCount() == 1) Accept();
}

void TD41_SetupGlChans::AcceptSelClick() {
  NoteUserActivity();
  if (SelectedCount() >= 2) Accept();
}

void TD41_SetupGlChans::SelAllClick() {
  NoteUserActivity();
  for (int i = 0; i < static_cast<int>(available_.size()); ++i) ChanListBox->SetSelected(i, true);
  UpdateButtonStates();
}

void TD41_SetupGlChans::DeleteClick() {
  NoteUserActivity();
  const int i = SelectListBox->ItemIndex();
  if (!select_list_ || i < 0 || i >= static_cast<int>(select_list_->size())) return;
  select_list_->erase(select_list_->begin() + i);
  Refresh(std::min(i, static_cast<int>(select_list_->size()) - 1));
}

void TD41_SetupGlChans::Swap(int from, int to) {
  const int n = select_list_ ? static_cast<int>(select_list_->size()) : 0;
  if (from < 0 || from >= n) return;
  if (to < 0 || to >= n) to = from;  // the top entry cannot go up, the last not down
  std::swap((*select_list_)[static_cast<size_t>(from)], (*select_list_)[static_cast<size_t>(to)]);
  Refresh(to);
}

void TD41_SetupGlChans::MoveUpClick() {
  NoteUserActivity();
  const int i = SelectListBox->ItemIndex();
  Swap(i, i - 1);
}

void TD41_SetupGlChans::MoveDownClick() {
  NoteUserActivity();
  const int i = SelectListBox->ItemIndex();
  Swap(i, i + 1);
}

}  // namespace qv
