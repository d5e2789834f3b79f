#include "visual/d44_select_diagrams.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_check_list.h"

namespace qv {

TD44_SelectDiagrams* D44_SelectDiagrams = nullptr;

TD44_SelectDiagrams::TD44_SelectDiagrams(TComponent* owner) : TForm(owner) {
  D44_SelectDiagrams = this;
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D44_SelectDiagrams"));
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  D44_DiagramCheckListBox = new TStyCheckList(this);
  D44_DiagramCheckListBox->SetParent(this);
  D44_DiagramCheckListBox->SetBounds(8, 8, 384, 240);
  auto button = [this](const std::string& key, int result, int left) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetText(LoadResString(key));
    b->SetModalResult(result);
    b->SetBounds(left, 256, 120, 26);
    return b;
  };
  D44_OkButton = button("b_&OK", mrOk, 8);
  D44_OkButton->SetDefault(true);
  D44_BtnClear = button("b_ClearSelection", mrNone, 272);
  D44_BtnClear->OnClick = [this](TComponent*) { ClearSelection(); };
  SetBounds(0, 0, 400, 292);
}

TD44_SelectDiagrams::~TD44_SelectDiagrams() {
  if (D44_SelectDiagrams == this) D44_SelectDiagrams = nullptr;
}

void TD44_SelectDiagrams::Clear() { D44_DiagramCheckListBox->ClearItems(); }

void TD44_SelectDiagrams::Add(const std::string& caption) { D44_DiagramCheckListBox->AddItem(caption); }

int TD44_SelectDiagrams::Count() { return D44_DiagramCheckListBox->Count(); }
bool TD44_SelectDiagrams::Checked(int index) { return D44_DiagramCheckListBox->ItemChecked(index); }
void TD44_SelectDiagrams::SetChecked(int index, bool checked) {
  D44_DiagramCheckListBox->SetItemChecked(index, checked);
}

void TD44_SelectDiagrams::ClearSelection() {
  NoteUserActivity();
  for (int i = 0; i < Count(); ++i) SetChecked(i, false);
}

}  // namespace qv
