#include "visual/d25_edit_plot_chan.h"

#include <algorithm>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "datastore/global_channel.h"

namespace qv {

TD25_EditPlotChan* D25_EditPlotChan = nullptr;

namespace {

constexpr int kWidth = 520, kHeight = 300, kButtonTop = 262;

TButton* NewButton(TForm* form, const std::string& key, int modal_result, int left) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetText(LoadResString(key));
  b->SetModalResult(modal_result);
  b->SetBounds(left, kButtonTop, 90, 26);
  return b;
}

template <class T>
T* Place(TComponent* owner, TWinControl* parent, int left, int top, int width, int height) {
  auto* c = new T(owner);
  c->SetParent(parent);
  c->SetBounds(left, top, width, height);
  return c;
}

}  // namespace

TD25_EditPlotChan::TD25_EditPlotChan(TComponent* owner) : TForm(owner) {
  D25_EditPlotChan = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d25_Caption"));
  SetBounds(0, 0, kWidth, kHeight);
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  StySplitter = Place<TStySplitter>(this, this, 8, 8, kWidth - 16, kButtonTop - 16);
  StySplitter->SetPercent(40);
  TWinControl* left = StySplitter->UpperLeft().Pane();
  TWinControl* right = StySplitter->LowerRight().Pane();
  ChanListBox = Place<TListBox>(this, left, 0, 0, 10, 10);
  ChanListBox->SetAlign(TAlign::alClient);
  ChanListBox->OnClick = [this](TComponent*) {
    NoteUserActivity();
    switching_ = true;
    SelectCurve(ChanListBox->ItemIndex());
    switching_ = false;
  };
  const int pane_width = std::max(right->ClientWidth(), 200);
  SelGlbChanLbl = Place<TLabel>(this, right, 16, 8, pane_width - 32, 57);
  SelGlbChanLbl->SetAutoSize(false);
  SelGlbChanLbl->SetWordWrap(true);
  VisibleCheckB = Place<TCheckBox>(this, right, 16, 70, 200, 20);
  VisibleCheckB->SetText(LoadResString("d25_VisibleCheck"));
  VisibleCheckB->SetEnabled(false);
  VisibleCheckB->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (!switching_) AcceptBtn->SetEnabled(true);
    DrawLimitsCheck->SetEnabled(VisibleCheckB->Checked());
  };
  DrawLimitsCheck = Place<TCheckBox>(this, right, 16, 94, 200, 20);
  DrawLimitsCheck->SetText(LoadResString("d25_DrawLimitsCheck"));
  DrawLimitsCheck->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (!switching_) AcceptBtn->SetEnabled(true);
  };
  ColorLabel = Place<TLabel>(this, right, 16, 124, 100, 18);
  ColorLabel->SetText(LoadResString("d25_ColorLabel"));
  StyColorComboBox = Place<TStyColorComboBox>(this, right, 16, 142, 160, 22);
  StyColorComboBox->SetShowSysColors(false);
  StyColorComboBox->SetSelectedColor(clBlack);
  StyColorComboBox->SetEnabled(false);
  StyColorComboBox->OnChange = [this](TComponent*) {
    NoteUserActivity();
    if (!switching_) AcceptBtn->SetEnabled(true);
  };
  StyleLabel = Place<TLabel>(this, right, 16, 172, 100, 18);
  StyleLabel->SetText(LoadResString("d25_StyleLabel"));
  int top = 192;
  for (auto [line, style] :
       {std::pair{&StyLineStyleSolid, TPenStyle::psSolid}, std::pair{&StyLineStyleDashDot, TPenStyle::psDashDot},
        std::pair{&StyLineStyleDashDotDot, TPenStyle::psDashDotDot}}) {
    *line = Place<TStyLine>(this, right, 16, top, 160, 14);
    (*line)->SetLineStyle(style);
    (*line)->SetLineWidth(1);
    const TPenStyle s = style;
    (*line)->OnClick = [this, s](TComponent*) { SetStyle(s); };
    top += 16;
  }
  ExitBtn = NewButton(this, "b_&Exit", mrNone, 8);
  ExitBtn->OnClick = [this](TComponent*) { ExitClick(); };
  CancelBtn = NewButton(this, "b_&Cancel", mrCancel, 108);
  CancelBtn->SetCancel(true);
  AcceptBtn = NewButton(this, "b_&Accept", mrNone, 208);
  AcceptBtn->SetEnabled(false);
  AcceptBtn->OnClick = [this](TComponent*) { AcceptClick(); };
  HelpBtn = NewButton(this, "b_&Help", mrNone, 308);
  // No help file to open on this platform yet: the button stays hidden, as in the other dialogs.
  HelpBtn->SetVisible(false);
  OnShow = [this](TComponent*) { AcceptBtn->SetEnabled(false); };
  ShowStyle();
}

TD25_EditPlotChan::~TD25_EditPlotChan() {
  if (D25_EditPlotChan == this) D25_EditPlotChan = nullptr;
}

void TD25_EditPlotChan::SetChanList(TGlobChanList* list) {
  if (has_list_ || !list) return;
  has_list_ = true;
  for (int i = 0; i < list->Count(); ++i) {
    auto* curve = dynamic_cast<TPlotGlbChan*>(list->GetGlobChan_I(i));
    if (!curve) continue;
    curves_.push_back(curve);
    std::unique_ptr<TGlobalChannel> clone = curve->Clone();
    copies_.emplace_back(static_cast<TPlotGlbChan*>(clone.release()));
    ChanListBox->Items().Add(curve->GetSText());
  }
  ChanListBox->SyncItems();
  SelectCurve(0);
}

void TD25_EditPlotChan::StoreControls() {
  // Nothing is selected before the first curve is shown.
  if (current_ < 0 || current_ >= static_cast<int>(copies_.size())) return;
  TPlotGlbChan& copy = *copies_[static_cast<size_t>(current_)];
  copy.Color = StyColorComboBox->SelectedColor();
  copy.AlarmLimits = DrawLimitsCheck->Checked();
  copy.Visible = VisibleCheckB->Checked();
  copy.Style = style_;
}

void TD25_EditPlotChan::SelectCurve(int index) {
  if (index == current_ || copies_.empty()) return;
  index = std::clamp(index, 0, static_cast<int>(copies_.size()) - 1);
  const bool was_switching = switching_;
  switching_ = true;
  StoreControls();
  current_ = index;
  const TPlotGlbChan& copy = *copies_[static_cast<size_t>(index)];
  StyColorComboBox->SetEnabled(true);
  StyColorComboBox->SetSelectedColor(copy.Color);
  VisibleCheckB->SetEnabled(true);
  VisibleCheckB->SetChecked(copy.Visible);
  DrawLimitsCheck->SetChecked(copy.AlarmLimits);
  DrawLimitsCheck->SetEnabled(copy.Visible);
  style_ = copy.Style;
  ShowStyle();
  SelGlbChanLbl->SetText(copy.GetText());
  ChanListBox->SetItemIndex(index);
  switching_ = was_switching;
}

void TD25_EditPlotChan::ShowStyle() {
  for (TStyLine* line : {StyLineStyleSolid, StyLineStyleDashDot, StyLineStyleDashDotDot})
    line->SetLineColor(line->LineStyle() == style_ ? clBlack : RGB(128, 128, 128));
}

void TD25_EditPlotChan::SetStyle(TPenStyle style) {
  NoteUserActivity();
  if (style == style_) return;
  style_ = style;
  ShowStyle();
  AcceptBtn->SetEnabled(true);
}

void TD25_EditPlotChan::ApplyChanges() {
  if (OnApply) OnApply();
}

void TD25_EditPlotChan::AcceptClick() {
  NoteUserActivity();
  StoreControls();
  for (size_t i = 0; i < curves_.size(); ++i) curves_[i]->Assign(copies_[i].get());
  ApplyChanges();
  AcceptBtn->SetEnabled(false);
}

void TD25_EditPlotChan::ExitClick() {
  AcceptClick();
  SetModalResult(mrOk);
}

}  // namespace qv
