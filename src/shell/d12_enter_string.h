#pragma once
// The string-entry dialog: a prompt above and one below an edit, with an optional maximum length.
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD12_EnterString : public TForm {
public:
  explicit TD12_EnterString(TComponent* owner);
  std::string ClassName() const override { return "TD12_EnterString"; }
  void SetText1(const std::string& text);
  void SetText2(const std::string& text);
  // The initial text, cut to the maximum length when one is set.
  void SetEditText(const std::string& text);
  // n above 0 limits the edit to n characters and cuts a longer text; 0 or less: no limit.
  void SetMaxLength(int n);
  std::string GetText() const { return Edit->Text(); }
  void ArrangeControls();

  TLabel* Text1Label;
  TEdit* Edit;
  TLabel* Text2Label;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;
};

// The dialog while its user runs it; null otherwise.
extern TD12_EnterString* D12_EnterString;

// Runs the dialog (caption, prompts, initial text, maximum length); on OK (1) text is the entry.
int RunD12EnterString(const std::string& caption, const std::string& text1, const std::string& text2, int max_length,
                      std::string& text);

}  // namespace qv
