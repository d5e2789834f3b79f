#pragma once
// The choice of diagrams to print: a check list of every plot of every device, and a button that
// unticks them all.
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TStyCheckList;

class TD44_SelectDiagrams : public TForm {
public:
  explicit TD44_SelectDiagrams(TComponent* owner);
  ~TD44_SelectDiagrams() override;
  std::string ClassName() const override { return "TD44_SelectDiagrams"; }

  void Clear();
  void Add(const std::string& caption);
  int Count();
  bool Checked(int index);
  void SetChecked(int index, bool checked);
  // Unticks every entry.
  void ClearSelection();

  TStyCheckList* D44_DiagramCheckListBox;
  TButton* D44_OkButton;
  TButton* D44_BtnClear;
};

// The dialog while one exists.
extern TD44_SelectDiagrams* D44_SelectDiagrams;

}  // namespace qv
