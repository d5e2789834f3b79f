#pragma once
// The two reusable parts of the export wizard's pages: the text format of an export file
// (date, time, decimal and field separators, line end, missing-value text) and the choice of
// the channel-information header rows.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/gui/controls.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TStyCheckList;
class TStyGroupBox;

class TExpFormatFrm : public TCustomControl {
public:
  // Starts with the system's short date format, long time format and decimal separator, field
  // separator 0 and line end 0.
  explicit TExpFormatFrm(TComponent* owner);
  std::string ClassName() const override { return "TExpFormatFrm"; }

  // A format text built from the combo boxes: the separator as a quoted literal.
  std::string GetDateFormat();
  std::string GetTimeFormat();
  // Set the combo boxes from a format text; one they cannot show raises
  // "TExpFormatFrm.SetDateFormat: invalid date format: " or
  // "TExpFormatFrm.SetTimeFormat: invalid time format: " with the text.
  void SetDateFormat(const std::string& text);
  void SetTimeFormat(const std::string& text);
  // Falls back to the system's format, and from an unreadable one to DMY, ".", 4 digits and
  // hh":"nn":"ss, so that a bad stored format never keeps the user from exporting.
  void SetDateFormatOrDefault(const std::string& text);
  void SetTimeFormatOrDefault(const std::string& text);
  // "." for the decimal point, "," otherwise; "," selects the comma, any other the point.
  char GetDecimalSep();
  void SetDecimalSep(char c);
  // Indexes of the stored separator and line-end names (taken modulo 128).
  int32_t GetFieldSeparator();
  void SetFieldSeparator(int32_t index);
  int32_t GetLineEnd();
  void SetLineEnd(int32_t index);
  std::string GetBadValStr() const { return BadValEdit->Text(); }
  void SetBadValStr(const std::string& text) { BadValEdit->SetText(text); }
  // False, after its error message, when the field separator occurs in the date or time format
  // or in the missing-value text: the columns could not be told apart.
  bool CheckFormat();
  // Shows today and the time of now in the chosen formats.
  void UpdateExamples();

  // Every change of a control.
  std::function<void()> OnChange;

  TStyGroupBox* DateGroup;
  TComboBox* DateSepCB;
  TComboBox* OrderCB;
  TComboBox* YearCB;
  TLabel* DateExampleLbl;
  TStyGroupBox* TimeGroup;
  TComboBox* TimeSepCB;
  TLabel* TimeExampleLbl;
  TComboBox* DecimalSepCB;
  TComboBox* FieldSepCB;
  TComboBox* LineEndCB;
  TEdit* BadValEdit;

private:
  TComboBox* MakeCombo(TWinControl* parent, int left, int top, int width, std::initializer_list<std::string> items);
  void Changed();
};

class TExpChanInfoFrm : public TCustomControl {
public:
  // The twelve information items in bit order, none marked.
  explicit TExpChanInfoFrm(TComponent* owner);
  std::string ClassName() const override { return "TExpChanInfoFrm"; }

  // Bit i is set when item i is marked.
  uint16_t GetInfoSet() const;
  void SetInfoSet(uint16_t set);

  // A mark set or cleared by the user.
  std::function<void()> OnChange;

  TLabel* InfoLbl;
  TStyCheckList* InfoList;
};

}  // namespace qv
