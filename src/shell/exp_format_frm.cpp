#include "shell/exp_format_frm.h"

#include <algorithm>

#include "base/res_string.h"
#include "controls/sty_check_list.h"
#include "controls/sty_panel.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/text_utils.h"
#include "shell/export_modul.h"

namespace qv {

namespace {

// The date and time separators in combo order; the last entry, "(None)", writes nothing.
constexpr char SepChars[] = {'.', '-', '/', ' '};
constexpr int SepNone = 4;
constexpr int TimeSepChars[] = {':', '-', '/', ' '};
enum { oDMY, oMDY, oYMD };

const std::string& DefaultDateFormat() {
  static const std::string f = "dd\".\"mm\".\"yyyy";
  return f;
}
const std::string& DefaultTimeFormat() {
  static const std::string f = "hh\":\"nn\":\"ss";
  return f;
}

// 1-based position of the first c in text, 0 when absent.
size_t Pos(const std::string& text, const std::string& what) {
  const size_t p = text.find(what);
  return p == std::string::npos ? 0 : p + 1;
}

// The separator before the letter at 1-based position pos, a double quote skipped.
char SepBefore(const std::string& text, size_t pos) {
  if (pos < 2) return 0;
  char c = text[pos - 2];
  if (c == '"') c = pos >= 3 ? text[pos - 3] : 0;
  return c;
}

int SepIndex(const char* chars, char c) {
  for (int i = 0; i < SepNone; ++i)
    if (chars[i] == c) return i;
  return SepNone;
}

TLabel* MakeLabel(TWinControl* parent, const std::string& text, int left, int top) {
  auto* l = new TLabel(parent);
  l->SetParent(parent);
  l->SetText(text);
  l->SetBounds(left, top, 150, 16);
  return l;
}

}  // namespace

// ---- text format ----

TExpFormatFrm::TExpFormatFrm(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 420, 300);
  DateGroup = new TStyGroupBox(this);
  DateGroup->SetParent(this);
  DateGroup->SetText(LoadResString("d42_DateFormat"));
  DateGroup->SetBounds(0, 0, 420, 88);
  DateSepCB = MakeCombo(DateGroup, 12, 24, 120, {".", "-", "/", "(Blank)", "(None)"});
  OrderCB = MakeCombo(DateGroup, 144, 24, 130,
                      {LoadResString("d42_DMY"), LoadResString("d42_MDY"), LoadResString("d42_YMD")});
  YearCB = MakeCombo(DateGroup, 286, 24, 120, {LoadResString("d42_4Digits"), LoadResString("d42_2Digits")});
  DateExampleLbl = MakeLabel(DateGroup, "", 12, 58);
  DateExampleLbl->SetBounds(12, 58, 394, 16);

  TimeGroup = new TStyGroupBox(this);
  TimeGroup->SetParent(this);
  TimeGroup->SetText(LoadResString("d42_TimeFormat"));
  TimeGroup->SetBounds(0, 96, 420, 62);
  TimeSepCB = MakeCombo(TimeGroup, 12, 24, 120, {":", "-", "/", "(Blank)", "(None)"});
  TimeExampleLbl = MakeLabel(TimeGroup, "", 144, 28);
  TimeExampleLbl->SetBounds(144, 28, 262, 16);

  // Decimal separator, field separator, line end and missing-value text, one row each.
  MakeLabel(this, LoadResString("d42_DecimalSep"), 0, 172);
  DecimalSepCB = MakeCombo(this, 200, 168, 160, {LoadResString("d42_Comma"), LoadResString("d42_DecimalPoint")});
  MakeLabel(this, LoadResString("d42_FieldSep"), 0, 200);
  FieldSepCB = MakeCombo(this, 200, 196, 160, {"TAB (#09) ", "|", "/", "\\", "(Blank)"});
  MakeLabel(this, LoadResString("d42_LineEnd"), 0, 228);
  LineEndCB = MakeCombo(this, 200, 224, 160, {"CR LF (#13 #10) ", "CR (#13)", "LF (#10)"});
  MakeLabel(this, LoadResString("d42_BadValStr"), 0, 256)->SetBounds(0, 256, 195, 16);
  BadValEdit = new TEdit(this);
  BadValEdit->SetParent(this);
  BadValEdit->SetBounds(200, 252, 160, 22);
  BadValEdit->OnChange = [this](TComponent*) { Changed(); };

  const TFormatSettings& system = CurrentFormatSettings();
  SetDateFormatOrDefault(system.ShortDateFormat);
  SetTimeFormatOrDefault(system.LongTimeFormat);
  SetDecimalSep(system.DecimalSeparator);
  SetFieldSeparator(0);
  SetLineEnd(0);
}

TComboBox* TExpFormatFrm::MakeCombo(TWinControl* parent, int left, int top, int width,
                                    std::initializer_list<std::string> items) {
  auto* c = new TComboBox(this);
  c->SetParent(parent);
  c->SetStyle(TComboBoxStyle::csDropDownList);
  c->SetBounds(left, top, width, 22);
  for (const std::string& s : items) c->Items().Add(s);
  c->SetItemIndex(0);
  c->OnChange = [this](TComponent*) { Changed(); };
  return c;
}

void TExpFormatFrm::Changed() {
  UpdateExamples();
  if (OnChange) OnChange();
}

void TExpFormatFrm::UpdateExamples() {
  const std::string example = LoadResString("d42_Example") + ": ";
  const TDateTime now = Now();
  DateExampleLbl->SetText(example + FormatDateTime(GetDateFormat(), now));
  TimeExampleLbl->SetText(example + FormatDateTime(GetTimeFormat(), now));
}

std::string TExpFormatFrm::GetDateFormat() {
  const std::string year = YearCB->ItemIndex() == 1 ? "yy" : "yyyy";
  const int s = DateSepCB->ItemIndex();
  const std::string sep = s >= 0 && s < SepNone ? std::string("\"") + SepChars[s] + "\"" : std::string();
  switch (OrderCB->ItemIndex()) {
    case oMDY: return "mm" + sep + "dd" + sep + year;
    case oYMD: return year + sep + "mm" + sep + "dd";
    default: return "dd" + sep + "mm" + sep + year;
  }
}

std::string TExpFormatFrm::GetTimeFormat() {
  const int s = TimeSepCB->ItemIndex();
  std::string sep;
  if (s >= 0 && s < 3)
    sep = std::string("\"") + static_cast<char>(TimeSepChars[s]) + "\"";
  else if (s == 3)
    sep = " ";
  return "hh" + sep + "nn" + sep + "ss";
}

void TExpFormatFrm::SetDateFormat(const std::string& text) {
  const std::string upper = UpperCase(text);
  const bool four = Pos(upper, "YYYY") != 0;
  const size_t year = Pos(upper, "YY");
  const size_t m = Pos(upper, "M");
  const size_t d = Pos(upper, "D");
  if (m == 0 || d == 0) throw Exception("TExpFormatFrm.SetDateFormat: invalid date format: " + text);
  int order;
  char sep;
  if (d < m) {
    order = oDMY;
    sep = SepBefore(text, m);
  } else {
    order = d < year ? oMDY : oYMD;
    sep = SepBefore(text, d);
  }
  YearCB->SetItemIndex(four ? 0 : 1);
  OrderCB->SetItemIndex(order);
  DateSepCB->SetItemIndex(SepIndex(SepChars, sep));
  UpdateExamples();
}

void TExpFormatFrm::SetTimeFormat(const std::string& text) {
  const std::string upper = UpperCase(text);
  const size_t h = Pos(upper, "H");
  size_t n = Pos(upper, "N");
  if (n == 0) n = Pos(upper, "M");
  if (h == 0 || n == 0) throw Exception("TExpFormatFrm.SetTimeFormat: invalid time format: " + text);
  const char sep = SepBefore(text, std::max(h, n));
  int index = SepNone;
  for (int i = 0; i < SepNone; ++i)
    if (TimeSepChars[i] == sep) index = i;
  TimeSepCB->SetItemIndex(index);
  UpdateExamples();
}

void TExpFormatFrm::SetDateFormatOrDefault(const std::string& text) {
  for (const std::string& f : {text, CurrentFormatSettings().ShortDateFormat, DefaultDateFormat()}) {
    try {
      SetDateFormat(f);
      return;
    } catch (const Exception&) {
    }
  }
}

void TExpFormatFrm::SetTimeFormatOrDefault(const std::string& text) {
  for (const std::string& f : {text, CurrentFormatSettings().LongTimeFormat, DefaultTimeFormat()}) {
    try {
      SetTimeFormat(f);
      return;
    } catch (const Exception&) {
    }
  }
}

char TExpFormatFrm::GetDecimalSep() { return DecimalSepCB->ItemIndex() == 1 ? '.' : ','; }

void TExpFormatFrm::SetDecimalSep(char c) { DecimalSepCB->SetItemIndex(c == ',' ? 0 : 1); }

int32_t TExpFormatFrm::GetFieldSeparator() {
  const int i = FieldSepCB->ItemIndex();
  if (i < 0 || i >= FieldSepCount) throw Exception("TExpFormatFrm.GetFieldSeparator: invalid ItemIndex");
  return i;
}

void TExpFormatFrm::SetFieldSeparator(int32_t index) {
  index %= 128;
  if (index < 0 || index >= FieldSepCount) throw Exception("TExpFormatFrm.SetFieldSeparator: invalid Value");
  FieldSepCB->SetItemIndex(index);
}

int32_t TExpFormatFrm::GetLineEnd() {
  const int i = LineEndCB->ItemIndex();
  if (i < 0 || i >= LineEndCount) throw Exception("TExpFormatFrm.GetLineEnd: invalid ItemIndex");
  return i;
}

void TExpFormatFrm::SetLineEnd(int32_t index) {
  index %= 128;
  if (index < 0 || index >= LineEndCount) throw Exception("TExpFormatFrm.SetLineEnd: invalid Value");
  LineEndCB->SetItemIndex(index);
}

bool TExpFormatFrm::CheckFormat() {
  const char sep = FieldSepChars[GetFieldSeparator()];
  const char* refusal = nullptr;
  if (GetDateFormat().find(sep) != std::string::npos || GetTimeFormat().find(sep) != std::string::npos)
    refusal = "d42_MsgBadFieldSep";
  else if (GetBadValStr().find(sep) != std::string::npos)
    refusal = "d42_MsgBadValStr";
  if (!refusal) return true;
  MessageDlg(LoadResString(refusal), TMsgDlgType::mtError, mbOK);
  return false;
}

// ---- channel-information rows ----

TExpChanInfoFrm::TExpChanInfoFrm(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 420, 300);
  InfoLbl = MakeLabel(this, LoadResString("d42_GlbChanInfo"), 0, 0);
  InfoLbl->SetBounds(0, 0, 420, 16);
  InfoList = new TStyCheckList(this);
  InfoList->SetParent(this);
  InfoList->SetBounds(0, 22, 260, 100);
  for (int32_t i = 0; i < ChanInfoItemCount; ++i) InfoList->AddItem(GetChanInfoName(i));
  // Every item in view, no scrolling.
  InfoList->SetBounds(0, 22, 260, ChanInfoItemCount * InfoList->ItemHeight() + 6);
  InfoList->OnChange = [this](TComponent*, int, TCheckBoxState) {
    if (OnChange) OnChange();
  };
}

uint16_t TExpChanInfoFrm::GetInfoSet() const {
  uint16_t set = 0;
  for (int32_t i = 0; i < ChanInfoItemCount; ++i)
    if (InfoList->ItemChecked(i)) set = static_cast<uint16_t>(set | (1u << i));
  return set;
}

void TExpChanInfoFrm::SetInfoSet(uint16_t set) {
  for (int32_t i = 0; i < ChanInfoItemCount; ++i) InfoList->SetItemChecked(i, (set & (1u << i)) != 0);
}

}  // namespace qv
