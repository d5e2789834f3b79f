#pragma once
// The generic selection dialog: a caption, a prompt above and one below the choices, and the
// choices shown as a combo box (style 0), a list box (1), a radio group (2) or a list box with
// multiple selection (3). Only one may exist at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/string_list.h"

namespace qv {

class TD20_SelectDlg : public TForm {
public:
  explicit TD20_SelectDlg(TComponent* owner);
  ~TD20_SelectDlg() override;
  std::string ClassName() const override { return "TD20_SelectDlg"; }

  uint8_t Style() const { return style_; }
  // Recreates the choice control when the style changes (styles above 3 are taken as 1).
  void SetStyle(uint8_t style);
  void SetText1(const std::string& text);
  void SetText2(const std::string& text);
  // Copies the strings; null or an empty list clears the choices.
  void SetItems(const TStringList* items);
  int ItemCount() const { return items_.Count(); }
  int SelIndex() const { return sel_index_; }
  // Ignored when equal to the current one, below -1 or not below the number of choices.
  void SetSelIndex(int index);
  // The item's selection state in style 3; false in the other styles.
  bool IsSelected(int index);

  // The control that shows the choices.
  TWinControl* ChoiceControl() const { return choice_; }
  // The user picked a choice in the control (its click or change handler).
  void ChoicePicked();
  // Places the controls as the dialog is shown.
  void ArrangeControls();

  TLabel* Text1Label;
  TLabel* Text2Label;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  void CreateChoiceControl();
  int ControlIndex();
  void UpdateButtons();

  uint8_t style_ = 1;
  int sel_index_ = -1;
  TStringList items_;
  TWinControl* choice_ = nullptr;
};

// The dialog while StartD20SelectDlg runs; null otherwise.
extern TD20_SelectDlg* D20_SelectDlg;

// Runs the dialog: caption, the prompts above and below, the style, the choices and the
// preselected index (-1 none); answers the modal result, and on OK (1) sets index to the chosen
// entry. Raises Exception "Error in StartD20SelectDlg: only !one! instance permitted" while
// another one runs.
int StartD20SelectDlg(const std::string& caption, const std::string& text1, const std::string& text2, uint8_t style,
                      TStringList& list, int32_t& index);
// The same dialog with multiple selection: on OK (1) chosen holds the selected entries in
// ascending order; otherwise it is empty.
int StartD20MultiSelectDlg(const std::string& caption, const std::vector<std::string>& choices,
                           std::vector<int>& chosen);

}  // namespace qv
