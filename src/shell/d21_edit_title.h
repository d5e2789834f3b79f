#pragma once
// The title editor: the standard title (shown, not editable) or a custom title of at most 30
// characters. Only one may exist at a time.
#include <string>

#include "controls/sty_radio_button.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD21_EditTitle : public TForm {
public:
  static constexpr int HelpContext = 1418;
  explicit TD21_EditTitle(TComponent* owner);
  std::string ClassName() const override { return "TD21_EditTitle"; }

  // Each sets the initial state again: OK and Cancel enabled, Cancel the default, the standard
  // choice selected when the custom title is empty.
  void SetStandardTitle(const std::string& title);
  void SetCustomTitle(const std::string& title);
  // The custom title when the custom choice is selected, else "" (use the standard title).
  std::string Result() const;
  // OK: refuses an empty custom title ("d21_EmptyTitle") and stays open.
  void OKClick();
  void ArrangeControls();

  TStyRadioButton* StandRadio;
  TStyRadioButton* CustomRadio;
  TEdit* StandTitleEdit;
  TEdit* CustomTitleEdit;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  void InitialState();
  void MakeOKDefault();
  bool setting_ = false;
};

// The dialog while StartD21EditTitle runs; null otherwise.
extern TD21_EditTitle* D21_EditTitle;

// Runs the editor; on OK (1) custom_title is the custom title, or "" for the standard one.
// Raises Exception "Error in StartD21EditTitle: only !one! instance permitted" while another
// one runs.
int StartD21EditTitle(const std::string& caption, const std::string& standard_title, std::string& custom_title);

}  // namespace qv
