#include "visual/d34_edit_layout.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_panel.h"
#include "controls/sty_round.h"
#include "controls/sty_spin_edit.h"
#include "visual/print_layout.h"

namespace qv {

TD34_EditLayout* D34_EditLayout = nullptr;

namespace {
constexpr int kWidth = 360, kGroupWidth = kWidth - 16;
constexpr const char* kMarginKeys[4] = {"d34_LMargin", "d34_RMargin", "d34_TMargin", "d34_BMargin"};
}  // namespace

TD34_EditLayout::TD34_EditLayout(TComponent* owner) : TForm(owner) {
  D34_EditLayout = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d34_Caption"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  auto group = [this](const std::string& key, int top, int height) {
    auto* g = new TStyGroupBox(this);
    g->SetParent(this);
    g->SetGroupStyle(TStyGroupBoxStyle::gsStandard);
    g->SetCaption(LoadResString(key));
    g->SetBounds(8, top, kGroupWidth, height);
    return g;
  };
  auto label = [this](TWinControl* parent, const std::string& key, int left, int top, int width) {
    auto* l = new TLabel(this);
    l->SetParent(parent);
    l->SetCaption(LoadResString(key));
    l->SetBounds(left, top, width, 16);
    return l;
  };
  auto edit = [this](TWinControl* parent, int left, int top, int width) {
    auto* e = new TEdit(this);
    e->SetParent(parent);
    e->SetBounds(left, top, width, 22);
    e->OnChange = [this](TComponent*) { Changed(false); };
    return e;
  };
  TitleGroup = group("d34_TitleGroup", 8, 112);
  TitleLabel = label(TitleGroup, "d34_Title", 12, 22, 300);
  TitleEdit = edit(TitleGroup, 12, 40, kGroupWidth - 24);
  SubTitleLabel = label(TitleGroup, "d34_SubTitle", 12, 64, 300);
  SubTitleEdit = edit(TitleGroup, 12, 82, kGroupWidth - 24);
  MarginGroup = group("d34_Margins", 128, 84);
  for (size_t i = 0; i < 4; ++i) {
    const int left = 12 + static_cast<int>(i % 2) * (kGroupWidth / 2);
    const int top = 24 + static_cast<int>(i / 2) * 28;
    MarginLabels[i] = label(MarginGroup, kMarginKeys[i], left, top + 3, 90);
    auto* spin = new TStySpinEdit(this);
    spin->SetParent(MarginGroup);
    spin->SetBounds(left + 92, top, 64, 22);
    spin->SetDecimals(2);
    spin->SetMin(0);
    spin->SetMax(6);
    spin->SetIncrement(0.1);
    spin->SetPageSize(1);
    spin->OnChange = [this](TComponent*) { Changed(false); };
    MarginEdits[i] = spin;
  }
  BWGroup = group("d34_BWPrintOpt", 220, 52);
  DottedCheck = new TCheckBox(this);
  DottedCheck->SetParent(BWGroup);
  DottedCheck->SetCaption(LoadResString("d34_BWPrintDotted"));
  DottedCheck->SetBounds(12, 22, kGroupWidth - 24, 20);
  // Ticking it counts as a change even while the dialog is filled.
  DottedCheck->OnClick = [this](TComponent*) { Changed(true); };
  auto button = [this](const std::string& key, int result, int left) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetText(LoadResString(key));
    b->SetModalResult(result);
    b->SetBounds(left, 284, 90, 26);
    return b;
  };
  OKBtn = button("b_&OK", mrOk, kWidth - 200);
  CancelBtn = button("b_&Cancel", mrCancel, kWidth - 102);
  CancelBtn->SetCancel(true);
  SetBounds(0, 0, kWidth, 284 + 26 + 10);
  OKBtn->SetEnabled(false);
  CancelBtn->SetDefault(true);
}

TD34_EditLayout::~TD34_EditLayout() {
  NoteUserActivity();
  if (D34_EditLayout == this) D34_EditLayout = nullptr;
}

void TD34_EditLayout::Changed(bool always) {
  NoteUserActivity();
  if (filling_ && !always) return;
  OKBtn->SetEnabled(true);
  OKBtn->SetDefault(true);
  CancelBtn->SetDefault(false);
}

void TD34_EditLayout::Fill(TPrintLayout& layout) {
  filling_ = true;
  TitleEdit->SetText(layout.CustTitle());
  SubTitleEdit->SetText(layout.CustSubTitle());
  const int margins[4] = {layout.GetLeftMargin(), layout.GetRightMargin(), layout.GetTopMargin(),
                          layout.GetBottomMargin()};
  for (size_t i = 0; i < 4; ++i) MarginEdits[i]->SetValue(margins[i] / 100.0);
  DottedCheck->SetChecked(layout.PrintDotted);
  filling_ = false;
}

void TD34_EditLayout::Apply(TPrintLayout& layout) const {
  layout.SetCustTitle(TitleEdit->Text());
  layout.SetCustSubTitle(SubTitleEdit->Text());
  const auto margin = [this](size_t i) { return RoundHalfEven(MarginEdits[i]->Value() * 100); };
  layout.SetLeftMargin(margin(0));
  layout.SetRightMargin(margin(1));
  layout.SetTopMargin(margin(2));
  layout.SetBottomMargin(margin(3));
  layout.PrintDotted = DottedCheck->Checked();
}

}  // namespace qv
