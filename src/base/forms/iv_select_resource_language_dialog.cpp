#include "base/forms/iv_select_resource_language_dialog.h"

#include "base/locale_helpers.h"
#include "base/resource_locale.h"
#include "base/forms/text_keys.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

TIvSelectResourceLanguageDialog::TIvSelectResourceLanguageDialog(TComponent* owner)
    : TForm(owner),
      LanguageList(new TListBox(this)),
      OKButton(new TButton(this)),
      CancelButton(new TButton(this)),
      keys_(new TTextKeys(this)) {
  SetName("IvSelectResourceLanguageDialog");
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetBounds(0, 0, 320, 300);
  keys_->Caption(this, "Select Language");

  LanguageList->SetName("LanguageList");
  LanguageList->SetParent(this);
  LanguageList->SetBounds(8, 8, 304, 244);
  LanguageList->Items().SetSorted(true);
  LanguageList->OnDblClick = [this](TComponent*) {
    if (LanguageList->ItemIndex() >= 0) SetModalResult(mrOk);
  };

  OKButton->SetName("OKButton");
  OKButton->SetParent(this);
  OKButton->SetBounds(152, 262, 75, 25);
  OKButton->SetDefault(true);
  OKButton->SetModalResult(mrOk);
  keys_->Caption(OKButton, "OK");

  CancelButton->SetName("CancelButton");
  CancelButton->SetParent(this);
  CancelButton->SetBounds(236, 262, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  keys_->Caption(CancelButton, "Cancel");
}

TIvSelectResourceLanguageDialog::~TIvSelectResourceLanguageDialog() = default;

void TIvSelectResourceLanguageDialog::FillList() {
  std::vector<uint32_t> locales;
  if (BuiltInLocale != 0) locales.push_back(BuiltInLocale);
  std::vector<uint32_t> found;
  EnumLanguageFiles(found, "", SameCodePageOnly);
  for (uint32_t l : found)
    if (l != BuiltInLocale) locales.push_back(l);

  TStringList& list = LanguageList->Items();
  list.Clear();
  items_.clear();
  for (uint32_t l : locales) {
    auto item = std::make_unique<TLanguageItem>();
    item->Locale = l;
    item->Name = LocaleDisplayName(l, NativeNames);
    if (item->Name.empty()) item->Name = std::to_string(l);
    list.AddObject(item->Name, item.get());
    items_.push_back(std::move(item));
  }
  LanguageList->SyncItems();
  const uint32_t current = CurrentResourceLocale();
  if (!(current != 0 && SelectLocale(current)) && !(BuiltInLocale != 0 && SelectLocale(BuiltInLocale)) &&
      list.Count() > 0)
    LanguageList->SetItemIndex(0);
}

uint32_t TIvSelectResourceLanguageDialog::SelectedLocale() {
  const int i = LanguageList->ItemIndex();
  if (i < 0 || i >= LanguageList->Items().Count()) return 0;
  return static_cast<const TLanguageItem*>(LanguageList->Items().GetObject(i))->Locale;
}

bool TIvSelectResourceLanguageDialog::SelectLocale(uint32_t locale) {
  const TStringList& list = LanguageList->Items();
  for (int i = 0; i < list.Count(); ++i) {
    if (static_cast<const TLanguageItem*>(list.GetObject(i))->Locale == locale) {
      LanguageList->SetItemIndex(i);
      return true;
    }
  }
  return false;
}

bool SelectResourceLanguage(TPosition position, int flags, uint32_t built_in_locale, TForm* form) {
  uint32_t chosen = 0;
  {
    TIvSelectResourceLanguageDialog dialog(nullptr);
    dialog.SetPosition(position);
    dialog.NativeNames = (flags & slNonNativeNames) == 0;
    dialog.SameCodePageOnly = (flags & slSameCodePageOnly) != 0;
    dialog.BuiltInLocale = built_in_locale;
    dialog.FillList();
    if (dialog.ShowModal() != mrOk) return false;
    chosen = dialog.SelectedLocale();
    if (chosen == 0) return false;  // nothing selected
  }
  if (form) form->Hide();
  if (chosen == built_in_locale) chosen = 0;
  const bool result = SetResourceLocale(chosen, (flags & slKeepThreadLocale) == 0);
  if (form) form->Show();
  return result;
}

}  // namespace qv
