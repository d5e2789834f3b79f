#include "base/forms/multilingual_form.h"

namespace qv {

TMultilingualForm1::TMultilingualForm1(TComponent* owner) : TForm(owner), keys_(new TTextKeys(this)) {}

TMultilingualDlg::TMultilingualDlg(TComponent* owner) : TForm(owner), keys_(new TTextKeys(this)) {}

void TMultilingualDlg::SetApplDict(const std::string& name) {
  if (name != dict_name_) dict_name_ = name;
}

}  // namespace qv
