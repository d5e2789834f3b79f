#include "shell/d43_print_select.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "shell/dialog_parts.h"

namespace qv {

Td43_PrintSelect* d43_PrintSelect = nullptr;

namespace {
constexpr const char* kItems[] = {
    "d43_SelectCurrentDiagr",      "d43_SelectAllDiagr", "d43_SelectAllDiagr4pp", "d43_SelectAllDiagrAllMon",
    "d43_SelectAllDiagrAllMon4pp", "d43_SelectDiagrams", "d43_SelectDiagrams4pp",
};
}  // namespace

Td43_PrintSelect::Td43_PrintSelect(TComponent* owner) : TForm(owner) {
  SetPosition(TPosition::poOwnerFormCenter);
  SetText(LoadResString("d43_PrintSelect"));
  NoteActivityOnMouse(this);
  SelectGroup = new TStyRadioGroup(this);
  SelectGroup->SetParent(this);
  SelectGroup->SetText(LoadResString("d43_SelectGroup"));
  TStringList items;
  for (const char* key : kItems) items.Add(LoadResString(key));
  SelectGroup->SetItems(items);
  SelectGroup->SetItemIndex(0);
  SelectGroup->SetBounds(10, 8, 330, 24 + 7 * 22);
  SelectGroup->OnClick = [](TComponent*) { NoteUserActivity(); };
  NoteActivityOnMouse(SelectGroup);
  OKBtn = MakeDlgButton(this, "b_&OK", mrOk);
  OKBtn->SetDefault(true);
  CancelBtn = MakeDlgButton(this, "&Cancel", mrCancel);
  CancelBtn->SetCancel(true);
  const int top = SelectGroup->Top() + SelectGroup->Height() + 12;
  PlaceDlgButtons(350 - 10 - 2 * DlgButtonWidth - DlgButtonGap, top, {OKBtn, CancelBtn});
  SetBounds(0, 0, 350, top + DlgButtonHeight + 10);
}

Td43_PrintSelect::~Td43_PrintSelect() {
  if (d43_PrintSelect == this) d43_PrintSelect = nullptr;
}

Td43_PrintSelect* PrintSelectDialog() {
  if (!d43_PrintSelect) d43_PrintSelect = new Td43_PrintSelect(Application);
  return d43_PrintSelect;
}

}  // namespace qv
