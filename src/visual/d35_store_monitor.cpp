#include "visual/d35_store_monitor.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/rtl/string_list.h"

namespace qv {

TD35_StoreMonitor* D35_StoreMonitor = nullptr;

namespace {
constexpr int kWidth = 320, kInner = 8 + 16, kControlWidth = kWidth - 2 * kInner;
}  // namespace

TD35_StoreMonitor::TD35_StoreMonitor(TComponent* owner) : TForm(owner) {
  D35_StoreMonitor = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("mom_StoreMon"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  Bevel = new TBevel(this);
  Bevel->SetParent(this);
  Bevel->SetShape(TBevelShape::bsFrame);
  PromptLabel = new TLabel(this);
  PromptLabel->SetParent(this);
  PromptLabel->SetWordWrap(true);
  PromptLabel->SetAutoSize(false);
  PromptLabel->SetCaption(LoadResString("mom_PromptStoreMon"));
  FNameEdit = new TEdit(this);
  FNameEdit->SetParent(this);
  FNameEdit->SetMaxLength(50);
  FNameEdit->OnChange = [this](TComponent*) { EditChange(); };
  FNameList = new TListBox(this);
  FNameList->SetParent(this);
  FNameList->OnClick = [this](TComponent*) { ListClick(); };
  auto button = [this](const std::string& key, int result, int left) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetText(LoadResString(key));
    b->SetModalResult(result);
    b->SetLeft(left);
    return b;
  };
  OKBtn = button("b_&OK", mrOk, 8);
  CancelBtn = button("b_&Cancel", mrCancel, 108);
  CancelBtn->SetCancel(true);
  HelpBtn = button("b_&Help", mrNone, 208);
  // No help file to open on this platform yet: the button stays hidden, as in the other dialogs.
  HelpBtn->SetVisible(false);
  // The controls stacked from the top: label, edit, list, the bevel around them, the buttons.
  PromptLabel->SetBounds(kInner, 16, kControlWidth, 30);
  FNameEdit->SetBounds(kInner, PromptLabel->Top() + PromptLabel->Height() + 8, kControlWidth, 22);
  FNameList->SetBounds(kInner, FNameEdit->Top() + FNameEdit->Height() + 16, kControlWidth, 120);
  const int bevel_bottom = FNameList->Top() + FNameList->Height() + 12;
  Bevel->SetBounds(8, 8, kWidth - 16, bevel_bottom - 8);
  for (TButton* b : {OKBtn, CancelBtn, HelpBtn}) {
    b->SetTop(bevel_bottom + 13);
    b->SetWidth(90);
    b->SetHeight(26);
  }
  SetBounds(0, 0, kWidth, OKBtn->Top() + OKBtn->Height() + 5);
  EditChange();
}

TD35_StoreMonitor::~TD35_StoreMonitor() {
  NoteUserActivity();
  if (D35_StoreMonitor == this) D35_StoreMonitor = nullptr;
}

void TD35_StoreMonitor::SetNames(const TStringList& names) {
  FNameList->Items().Assign(names);
  FNameList->SyncItems();
}

void TD35_StoreMonitor::SetName(const std::string& name) {
  FNameEdit->SetText(name);
  EditChange();
}

void TD35_StoreMonitor::ListClick() {
  NoteUserActivity();
  const int i = FNameList->ItemIndex();
  if (i >= 0 && i < FNameList->Count()) SetName(FNameList->Items()[i]);
}

void TD35_StoreMonitor::EditChange() {
  NoteUserActivity();
  // OK only with a name; until then Enter cancels.
  const bool named = !FNameEdit->Text().empty();
  OKBtn->SetEnabled(named);
  OKBtn->SetDefault(named);
  CancelBtn->SetDefault(!named);
}

}  // namespace qv
