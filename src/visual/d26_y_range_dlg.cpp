#include "visual/d26_y_range_dlg.h"

#include <cmath>

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format.h"
#include "platform/rtl/format_settings.h"

namespace qv {

TD26_YRangeDlg* D26_YRangeDlg = nullptr;

namespace {

constexpr double kBadFloat = -1.501e38;
constexpr int kGroupWidth = 150, kGroupHeight = 112, kMargin = 8;

TButton* NewButton(TForm* form, const std::string& key, int modal_result, int left, int top) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetText(LoadResString(key));
  b->SetModalResult(modal_result);
  b->SetBounds(left, top, 90, 26);
  return b;
}

}  // namespace

TD26_YRangeDlg::TD26_YRangeDlg(TComponent* owner)
    : TForm(owner), cust_min_(0), cust_max_(0), auto_min_(0), auto_max_(0) {
  D26_YRangeDlg = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("d26_YAxRange"));
  SetBounds(0, 0, 2 * kGroupWidth + 3 * kMargin, kGroupHeight + 3 * kMargin + 26);
  auto group = [this](const std::string& key, int left, TStyRadioButton*& auto_b, TStyRadioButton*& cust_b,
                      TEdit*& auto_edit, TEdit*& cust_edit, const std::string& prefix) {
    auto* g = new TStyGroupBox(this);
    g->SetParent(this);
    g->SetCaption(LoadResString(key));
    g->SetBounds(left, kMargin, kGroupWidth, kGroupHeight);
    auto_b = new TStyRadioButton(this);
    auto_b->SetName(prefix + "AutoB");
    auto_b->SetParent(g);
    auto_b->SetText(LoadResString("d26_Automatic"));
    auto_b->SetBounds(10, 22, 130, 18);
    auto_edit = new TEdit(this);
    auto_edit->SetParent(g);
    auto_edit->SetReadOnly(true);
    auto_edit->SetBounds(28, 42, 110, 22);
    cust_b = new TStyRadioButton(this);
    cust_b->SetName(prefix + "CustB");
    cust_b->SetParent(g);
    cust_b->SetText(LoadResString("d26_Manual"));
    cust_b->SetBounds(10, 66, 130, 18);
    cust_edit = new TEdit(this);
    cust_edit->SetParent(g);
    cust_edit->SetBounds(28, 86, 110, 22);
    cust_edit->OnChange = [this](TComponent*) {
      if (setting_) return;
      NoteUserActivity();
      MakeOKDefault();
    };
    for (TStyRadioButton* b : {auto_b, cust_b}) {
      b->OnClick = [this, b](TComponent*) {
        if (!setting_) RadioPress(b->Name());
      };
    }
    return g;
  };
  MaxGroupB = group("d26_Maximum", kMargin, MaxAutoB, MaxCustB, AutoMaxEdit, CustMaxEdit, "Max");
  MinGroupB = group("d26_Minimum", 2 * kMargin + kGroupWidth, MinAutoB, MinCustB, AutoMinEdit, CustMinEdit, "Min");
  const int top = kGroupHeight + 2 * kMargin;
  OKBtn = NewButton(this, "b_&OK", mrNone, kMargin, top);
  OKBtn->SetName("OKBtn");
  OKBtn->SetDefault(true);
  OKBtn->OnClick = [this](TComponent*) { OKClick(); };
  CancelBtn = NewButton(this, "b_&Cancel", mrCancel, kMargin + 100, top);
  CancelBtn->SetCancel(true);
  HelpBtn = NewButton(this, "b_&Help", mrNone, kMargin + 200, top);
  // No help file to open on this platform yet: the button stays hidden, as in the other dialogs.
  HelpBtn->SetVisible(false);
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  SetCustMin(kBadFloat);
  SetCustMax(kBadFloat);
  SetYAutoMin(-30);
  SetYAutoMax(60);
  SetDecimals(2);
}

TD26_YRangeDlg::~TD26_YRangeDlg() {
  if (D26_YRangeDlg == this) D26_YRangeDlg = nullptr;
}

std::string TD26_YRangeDlg::ValueText(double x) const {
  return FloatToStrF(x, TFloatFormat::ffFixed, 12, decimals_, CurrentFormatSettings().DecimalSeparator);
}

void TD26_YRangeDlg::MakeCancelDefault() {
  OKBtn->SetEnabled(false);
  OKBtn->SetDefault(false);
  CancelBtn->SetDefault(true);
}

void TD26_YRangeDlg::MakeOKDefault() {
  OKBtn->SetEnabled(true);
  CancelBtn->SetDefault(false);
  OKBtn->SetDefault(true);
}

void TD26_YRangeDlg::SetCustMin(double x) {
  if (x == cust_min_) return;
  cust_min_ = x;
  setting_ = true;
  if (x <= kBadFloat) {
    CustMinEdit->SetText("");
    CustMinEdit->SetEnabled(false);
    MinAutoB->SetChecked(true);
    AutoMinEdit->SetEnabled(true);
  } else {
    CustMinEdit->SetText(ValueText(x));
    MinCustB->SetChecked(true);
    CustMinEdit->SetEnabled(true);
    AutoMinEdit->SetEnabled(false);
    MakeCancelDefault();
  }
  setting_ = false;
}

void TD26_YRangeDlg::SetCustMax(double x) {
  if (x == cust_max_) return;
  cust_max_ = x;
  setting_ = true;
  if (x <= kBadFloat) {
    CustMaxEdit->SetText("");
    CustMaxEdit->SetEnabled(false);
    MaxAutoB->SetChecked(true);
    AutoMaxEdit->SetEnabled(true);
  } else {
    CustMaxEdit->SetText(ValueText(x));
    MaxCustB->SetChecked(true);
    CustMaxEdit->SetEnabled(true);
    AutoMaxEdit->SetEnabled(false);
    MakeCancelDefault();
  }
  setting_ = false;
}

void TD26_YRangeDlg::SetYAutoMin(double x) {
  if (x <= kBadFloat) throw Exception("Error in TD26_YRangeDlg.SetYAutoMin: Min = CBadFloat");
  if (x == auto_min_) return;
  auto_min_ = x;
  AutoMinEdit->SetText(ValueText(x));
  MakeCancelDefault();
}

void TD26_YRangeDlg::SetYAutoMax(double x) {
  if (x <= kBadFloat) throw Exception("Error in TD26_YRangeDlg.SetYAutoMax: Max = CBadFloat");
  if (x == auto_max_) return;
  auto_max_ = x;
  AutoMaxEdit->SetText(ValueText(x));
  MakeCancelDefault();
}

void TD26_YRangeDlg::SetDecimals(int decimals) {
  if (decimals < 0 || decimals > 18 || decimals == decimals_) return;
  decimals_ = decimals;
  min_interval_ = 0.9 * std::pow(10.0, -decimals);
  ShowValues();
}

void TD26_YRangeDlg::ShowValues() {
  setting_ = true;
  AutoMinEdit->SetText(ValueText(auto_min_));
  AutoMaxEdit->SetText(ValueText(auto_max_));
  if (cust_min_ > kBadFloat) CustMinEdit->SetText(ValueText(cust_min_));
  if (cust_max_ > kBadFloat) CustMaxEdit->SetText(ValueText(cust_max_));
  setting_ = false;
}

double TD26_YRangeDlg::GetMin() const { return MinCustB->Checked() ? cust_min_ : kBadFloat; }
double TD26_YRangeDlg::GetMax() const { return MaxCustB->Checked() ? cust_max_ : kBadFloat; }

void TD26_YRangeDlg::RadioPress(const std::string& name) {
  NoteUserActivity();
  setting_ = true;
  if (name == "MaxAutoB" || name == "MaxCustB") {
    const bool cust = name == "MaxCustB";
    CustMaxEdit->SetEnabled(cust);
    AutoMaxEdit->SetEnabled(!cust);
    (cust ? MaxCustB : MaxAutoB)->SetChecked(true);
    if (cust && CustMaxEdit->CanFocus()) CustMaxEdit->SetFocus();
  } else if (name == "MinAutoB" || name == "MinCustB") {
    const bool cust = name == "MinCustB";
    CustMinEdit->SetEnabled(cust);
    AutoMinEdit->SetEnabled(!cust);
    (cust ? MinCustB : MinAutoB)->SetChecked(true);
    if (cust && CustMinEdit->CanFocus()) CustMinEdit->SetFocus();
  }
  setting_ = false;
  OKBtn->SetEnabled(true);
}

void TD26_YRangeDlg::Reject(TEdit* edit) {
  MakeCancelDefault();
  if (edit && edit->CanFocus()) edit->SetFocus();
  if (edit) edit->SelectAll();
}

bool TD26_YRangeDlg::ReadEnd(bool automatic, double auto_value, TEdit* edit, double& value) {
  if (automatic) {
    value = auto_value;
    return true;
  }
  if (!TryStrToFloat(edit->Text(), value, CurrentFormatSettings().DecimalSeparator)) {
    const char sep = CurrentFormatSettings().DecimalSeparator;
    MessageDlg(Format(LoadResString("err_InvalidFloat"), edit->Text(), std::string("\r\n"), FloatToStr(-12.34, sep),
                      FloatToStr(1.234E-12, sep)),
               TMsgDlgType::mtError, mbOK);
    Reject(edit);
    return false;
  }
  if (value < LowLimit || value > HighLimit) {
    const char sep = CurrentFormatSettings().DecimalSeparator;
    MessageDlg(
        Format(LoadResString("err_InvalidRange"), edit->Text(), FloatToStr(LowLimit, sep), FloatToStr(HighLimit, sep)),
        TMsgDlgType::mtError, mbOK);
    Reject(edit);
    return false;
  }
  return true;
}

void TD26_YRangeDlg::OKClick() {
  NoteUserActivity();
  const bool max_auto = !MaxCustB->Checked(), min_auto = !MinCustB->Checked();
  if (max_auto && min_auto) {
    SetModalResult(mrOk);
    return;
  }
  double max = 0, min = 0;
  if (!ReadEnd(max_auto, auto_max_, CustMaxEdit, max)) return;
  if (!ReadEnd(min_auto, auto_min_, CustMinEdit, min)) return;
  const double d = max - min;
  TEdit* last = min_auto ? CustMaxEdit : CustMinEdit;
  if (std::fabs(d) < min_interval_ || d < 0) {
    MessageDlg(LoadResString(std::fabs(d) < min_interval_ ? "d26_SmallInterval" : "d26_MsgMinGtMax"),
               TMsgDlgType::mtError, mbOK);
    Reject(last);
    return;
  }
  cust_min_ = min_auto ? kBadFloat : min;
  cust_max_ = max_auto ? kBadFloat : max;
  SetModalResult(mrOk);
}

}  // namespace qv
