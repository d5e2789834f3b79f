#pragma once
// The dialog that names a monitor page to be stored as a custom monitor: a new name, or one of
// the stored names to be overwritten.
#include <string>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TStringList;

class TD35_StoreMonitor : public TForm {
public:
  explicit TD35_StoreMonitor(TComponent* owner);
  ~TD35_StoreMonitor() override;
  std::string ClassName() const override { return "TD35_StoreMonitor"; }

  void SetNames(const TStringList& names);
  void SetName(const std::string& name);
  std::string Name() const { return FNameEdit->Text(); }
  // A click on a stored name copies it into the edit.
  void ListClick();
  void EditChange();

  TBevel* Bevel;
  TLabel* PromptLabel;
  TEdit* FNameEdit;
  TListBox* FNameList;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;
};

// The dialog while one exists.
extern TD35_StoreMonitor* D35_StoreMonitor;

}  // namespace qv
