#include "shell/d20_select_dlg.h"

#include <algorithm>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/gui/graphics.h"
#include "platform/rtl/store_changed.h"

namespace qv {

TD20_SelectDlg* D20_SelectDlg = nullptr;

namespace {

constexpr int ChoiceLeft = 15;
constexpr int ChoiceTop = 40;
constexpr int ChoiceWidth = 230;
constexpr int ComboHeight = 21;
constexpr int ListHeight = 120;
constexpr int ItemHeight = 13;
constexpr int RadioSpacing = 4;
constexpr int LabelWidth = 200;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonGap = 8;

}  // namespace

TD20_SelectDlg::TD20_SelectDlg(TComponent* owner) : TForm(owner) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d20_Caption"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  Text1Label = new TLabel(this);
  Text1Label->SetParent(this);
  Text1Label->SetBounds(ChoiceLeft, 12, LabelWidth, 13);
  Text1Label->SetWordWrap(true);
  Text1Label->SetText(LoadResString("d20_Text1"));
  Text2Label = new TLabel(this);
  Text2Label->SetParent(this);
  Text2Label->SetWordWrap(true);
  Text2Label->SetText(LoadResString("d20_Text2"));

  OKBtn = new TButton(this);
  OKBtn->SetParent(this);
  OKBtn->SetText(LoadResString("b_&OK"));
  OKBtn->SetModalResult(mrOk);
  CancelBtn = new TButton(this);
  CancelBtn->SetParent(this);
  CancelBtn->SetText(LoadResString("b_&Cancel"));
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);
  HelpBtn = new TButton(this);
  HelpBtn->SetParent(this);
  HelpBtn->SetText(LoadResString("b_&Help"));
  HelpBtn->SetVisible(false);
  for (TButton* b : {OKBtn, CancelBtn}) b->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  OnShow = [this](TComponent*) { ArrangeControls(); };
  CreateChoiceControl();
  UpdateButtons();
}

TD20_SelectDlg::~TD20_SelectDlg() = default;

void TD20_SelectDlg::CreateChoiceControl() {
  delete choice_;
  choice_ = nullptr;
  if (style_ == 0) {
    auto* combo = new TComboBox(this);
    combo->SetStyle(TComboBoxStyle::csDropDownList);
    combo->SetDropDownCount(8);
    combo->OnSelect = [this](TComponent*) { ChoicePicked(); };
    choice_ = combo;
  } else {
    // The GUI layer has no radio group yet; style 2 shows its choices in a list box.
    auto* list = new TListBox(this);
    list->SetMultiSelect(style_ == 3);
    list->OnClick = [this](TComponent*) { ChoicePicked(); };
    choice_ = list;
  }
  choice_->SetParent(this);
  choice_->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  choice_->SetBounds(ChoiceLeft, ChoiceTop, ChoiceWidth, style_ == 0 ? ComboHeight : ListHeight);
  SetItems(&items_);
}

void TD20_SelectDlg::SetStyle(uint8_t style) {
  if (style > 3) style = 1;
  if (!StoreChanged(style_, style)) return;
  const int keep = sel_index_;
  CreateChoiceControl();
  sel_index_ = -1;
  SetSelIndex(keep);
}

void TD20_SelectDlg::SetText1(const std::string& text) { Text1Label->SetText(text); }
void TD20_SelectDlg::SetText2(const std::string& text) { Text2Label->SetText(text); }

void TD20_SelectDlg::SetItems(const TStringList* items) {
  TStringList copy;
  if (items) copy.Assign(*items);
  items_.Assign(copy);
  if (auto* combo = dynamic_cast<TComboBox*>(choice_)) {
    combo->Items().Assign(items_);
    combo->SyncItems();
    combo->SetItemIndex(-1);
  } else if (auto* list = dynamic_cast<TListBox*>(choice_)) {
    list->Items().Assign(items_);
    list->SyncItems();
    list->SetItemIndex(-1);
  }
  sel_index_ = -1;
  UpdateButtons();
}

void TD20_SelectDlg::SetSelIndex(int index) {
  if (index == sel_index_ || index < -1 || index >= items_.Count()) return;
  sel_index_ = index;
  if (auto* combo = dynamic_cast<TComboBox*>(choice_))
    combo->SetItemIndex(index);
  else if (auto* list = dynamic_cast<TListBox*>(choice_))
    list->SetItemIndex(index);
  UpdateButtons();
}

bool TD20_SelectDlg::IsSelected(int index) {
  if (style_ != 3) return false;
  auto* list = dynamic_cast<TListBox*>(choice_);
  return list && list->Selected(index);
}

int TD20_SelectDlg::ControlIndex() {
  if (auto* combo = dynamic_cast<TComboBox*>(choice_)) return combo->ItemIndex();
  if (auto* list = dynamic_cast<TListBox*>(choice_)) return list->ItemIndex();
  return -1;
}

void TD20_SelectDlg::ChoicePicked() {
  NoteUserActivity();
  const int index = ControlIndex();
  sel_index_ = index >= 0 && index < items_.Count() ? index : -1;
  UpdateButtons();
  if (sel_index_ >= 0) {
    OKBtn->SetDefault(true);
    CancelBtn->SetDefault(false);
  }
}

void TD20_SelectDlg::UpdateButtons() {
  OKBtn->SetEnabled(sel_index_ >= 0);
  if (!OKBtn->Default()) CancelBtn->SetDefault(true);
}

void TD20_SelectDlg::ArrangeControls() {
  // The widest choice decides the control's width.
  TCanvas& canvas = ScreenCanvas();
  canvas.Font().Assign(choice_->Font());
  int width = ChoiceWidth;
  for (int i = 0; i < items_.Count(); ++i) width = std::max(width, canvas.TextWidth(items_[i]) + 15);

  Text1Label->SetWidth(LabelWidth);
  Text2Label->SetWidth(LabelWidth);
  const bool text1 = !Text1Label->Text().empty();
  const bool text2 = !Text2Label->Text().empty();
  const int top = text1 ? Text1Label->Top() + Text1Label->Height() + 10 : Text1Label->Top();
  int height = style_ == 0 ? ComboHeight : ListHeight;
  if (style_ == 2) height = items_.Count() * (ItemHeight + RadioSpacing) + 8;
  choice_->SetBounds(ChoiceLeft, top, width, height);
  const int bottom = top + height;
  Text2Label->SetBounds(ChoiceLeft, bottom + 10, LabelWidth, Text2Label->Height());
  const int buttons_top = text2 ? Text2Label->Top() + Text2Label->Height() + 20 : bottom + 20;
  OKBtn->SetBounds(ChoiceLeft, buttons_top, ButtonWidth, ButtonHeight);
  CancelBtn->SetBounds(ChoiceLeft + ButtonWidth + ButtonGap, buttons_top, ButtonWidth, ButtonHeight);
  HelpBtn->SetBounds(ChoiceLeft + 2 * (ButtonWidth + ButtonGap), buttons_top, ButtonWidth, ButtonHeight);

  const int content = std::max(width, Width() - 15);
  const int client_width = (content < 200 ? 215 : content + 15) + ChoiceLeft;
  SetBounds(Left(), Top(), client_width, buttons_top + ButtonHeight + 10);
}

int StartD20SelectDlg(const std::string& caption, const std::string& text1, const std::string& text2, uint8_t style,
                      TStringList& list, int32_t& index) {
  if (D20_SelectDlg) throw Exception("Error in StartD20SelectDlg: only !one! instance permitted");
  auto dialog = std::make_unique<TD20_SelectDlg>(Application);
  D20_SelectDlg = dialog.get();
  struct ClearGlobal {
    ~ClearGlobal() { D20_SelectDlg = nullptr; }
  } clear_global;
  dialog->SetText(caption);
  dialog->SetText1(text1);
  dialog->SetText2(text2);
  dialog->SetStyle(style);
  dialog->SetItems(&list);
  dialog->SetSelIndex(index);
  const int result = dialog->ShowModal();
  if (result == mrOk) index = dialog->SelIndex();
  return result;
}

int StartD20MultiSelectDlg(const std::string& caption, const std::vector<std::string>& choices,
                           std::vector<int>& chosen) {
  if (D20_SelectDlg) throw Exception("Error in StartD20SelectDlg: only !one! instance permitted");
  auto dialog = std::make_unique<TD20_SelectDlg>(Application);
  D20_SelectDlg = dialog.get();
  struct ClearGlobal {
    ~ClearGlobal() { D20_SelectDlg = nullptr; }
  } clear_global;
  TStringList list;
  for (const std::string& choice : choices) list.Add(choice);
  dialog->SetText(caption);
  dialog->SetStyle(3);
  dialog->SetItems(&list);
  const int result = dialog->ShowModal();
  chosen.clear();
  if (result == mrOk)
    for (int i = 0; i < dialog->ItemCount(); ++i)
      if (dialog->IsSelected(i)) chosen.push_back(i);
  return result;
}

}  // namespace qv
