#pragma once
// The base classes of the program's dialogs and secondary windows. The translation runtime
// re-translates every open form after a change of language; these classes give a form its table
// of text keys (Keys) and the operation a form overrides for texts it builds itself.
#include <string>

#include "base/forms/text_keys.h"
#include "platform/gui/forms.h"

namespace qv {

class TMultilingualForm1 : public TForm, public TTranslatable {
public:
  explicit TMultilingualForm1(TComponent* owner);
  std::string ClassName() const override { return "TMultilingualForm1"; }
  TTextKeys& Keys() { return *keys_; }
  // Texts set through Keys are re-translated already; descendants add the rest.
  void Retranslate() override {}

private:
  TTextKeys* keys_;
};

class TMultilingualForm2 : public TMultilingualForm1 {
public:
  using TMultilingualForm1::TMultilingualForm1;
  std::string ClassName() const override { return "TMultilingualForm2"; }
};

// A dialog with a dictionary name, which its user sets.
class TMultilingualDlg : public TForm, public TTranslatable {
public:
  explicit TMultilingualDlg(TComponent* owner);
  std::string ClassName() const override { return "TMultilingualDlg"; }
  TTextKeys& Keys() { return *keys_; }
  void Retranslate() override {}

  const std::string& DictName() const { return dict_name_; }
  // Stores Name when it differs.
  virtual void SetApplDict(const std::string& name);

private:
  TTextKeys* keys_;
  std::string dict_name_;
};

}  // namespace qv
