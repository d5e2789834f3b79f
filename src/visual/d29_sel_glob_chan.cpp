#include "visual/d29_sel_glob_chan.h"

#include <algorithm>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "datastore/channel.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "visual/list_panes.h"

namespace qv {

TD29_SelGlobChan* D29_SelGlobChan = nullptr;

namespace {

constexpr int kWidth = 480, kHeight = 320, kButtonTop = 282;

TButton* NewButton(TForm* form, const std::string& key, int modal_result, int left) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetText(LoadResString(key));
  b->SetModalResult(modal_result);
  b->SetBounds(left, kButtonTop, 90, 26);
  return b;
}

}  // namespace

TD29_SelGlobChan::TD29_SelGlobChan(TComponent* owner) : TForm(owner) {
  D29_SelGlobChan = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d29_Caption"));
  SetBounds(0, 0, kWidth, kHeight);
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  StySplitter1 = new TStySplitter(this);
  StySplitter1->SetParent(this);
  StySplitter1->SetBounds(8, 8, kWidth - 16, kButtonTop - 16);
  StySplitter1->SetPercent(50);
  DevicePanel = PaneHeader(this, StySplitter1->UpperLeft().Pane(), "d29_DevicePanel");
  DataListBox = PaneList(this, StySplitter1->UpperLeft().Pane());
  DataListBox->OnClick = [this](TComponent*) { DataClick(); };
  ChanPanel = PaneHeader(this, StySplitter1->LowerRight().Pane(), "d29_ChanPanel");
  ChanListBox = PaneList(this, StySplitter1->LowerRight().Pane());
  ChanListBox->OnClick = [this](TComponent*) { ChanClick(); };
  OkBtn = NewButton(this, "b_&OK", mrNone, 8);
  OkBtn->SetEnabled(false);
  OkBtn->OnClick = [this](TComponent*) { OkClick(); };
  CancelBtn = NewButton(this, "b_&Cancel", mrCancel, 108);
  CancelBtn->SetCancel(true);
  CancelBtn->SetDefault(true);
  HelpBtn = NewButton(this, "b_&Help", mrNone, 208);
  // No help file to open on this platform yet: the button stays hidden, as in the other dialogs.
  HelpBtn->SetVisible(false);
  if (DbShell && DbShell->Root()) FillDevices(DbShell->Root());
}

TD29_SelGlobChan::~TD29_SelGlobChan() {
  if (D29_SelGlobChan == this) D29_SelGlobChan = nullptr;
}

void TD29_SelGlobChan::FillDevices(TDevice* root) {
  DataListBox->Items().Clear();
  if (root) root->FillDevStrings(&DataListBox->Items(), 0);
  DataListBox->SyncItems();
  RebuildChanList();
}

TDevice* TD29_SelGlobChan::SelectedDevice() const {
  const int i = DataListBox->ItemIndex();
  if (i < 0 || i >= DataListBox->Items().Count()) return nullptr;
  return static_cast<TDevice*>(DataListBox->Items().GetObject(i));
}

void TD29_SelGlobChan::SetFilter(TChanFilter filter) {
  filter_ = std::move(filter);
  RebuildChanList();
}

void TD29_SelGlobChan::SelectData(TData* data) {
  const int count = DataListBox->Items().Count();
  if (count == 0) return;
  if (!data) {
    DataListBox->SetItemIndex(-1);
  } else {
    for (int i = 0; i < count; ++i) {
      auto* device = static_cast<TDevice*>(DataListBox->Items().GetObject(i));
      if (device && device->HasDataObject(data)) {
        DataListBox->SetItemIndex(i);
        break;
      }
    }
  }
  RebuildChanList();
}

void TD29_SelGlobChan::RebuildChanList() {
  cells_.clear();
  ChanListBox->Items().Clear();
  OkBtn->SetEnabled(false);
  if (TDevice* device = SelectedDevice()) {
    device->FillUserChanList(&cells_);
    if (filter_) {
      std::erase_if(cells_, [this](const TChanSelCell& cell) {
        uint8_t reason = 0;
        return !filter_(cell.Data, cell.Channel, reason);
      });
    }
  }
  for (const TChanSelCell& cell : cells_) ChanListBox->Items().Add(cell.Channel->Name());
  ChanListBox->SyncItems();
}

void TD29_SelGlobChan::DataClick() {
  NoteUserActivity();
  RebuildChanList();
}

void TD29_SelGlobChan::ChanClick() {
  NoteUserActivity();
  const bool selected = GetSelChannel() != nullptr;
  OkBtn->SetEnabled(selected);
  OkBtn->SetDefault(selected);
  CancelBtn->SetDefault(!selected);
}

const TChanSelCell* TD29_SelGlobChan::GetSelChannel() const {
  const int i = ChanListBox->ItemIndex();
  return i >= 0 && i < static_cast<int>(cells_.size()) ? &cells_[static_cast<size_t>(i)] : nullptr;
}

TData* TD29_SelGlobChan::GetSelData() const {
  const TChanSelCell* cell = GetSelChannel();
  return cell ? cell->Data : nullptr;
}

void TD29_SelGlobChan::OkClick() {
  NoteUserActivity();
  if (GetSelChannel()) SetModalResult(mrOk);
}

}  // namespace qv
