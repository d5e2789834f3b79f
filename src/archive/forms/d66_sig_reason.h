#pragma once
// The dialog in which the signer picks the reason for signing a document.
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD66_SigReason : public TForm {
public:
  explicit TD66_SigReason(TComponent* owner);
  std::string ClassName() const override { return "TD66_SigReason"; }

  // One item per entry of SigReasons, the first checked.
  TRadioGroup* SelectReasonRadioGroup;
  TButton* OkButton;
  TButton* CancelButton;
};

// Runs the dialog; on OK (1) reason is the chosen index into SigReasons.
int RunD66SigReason(int& reason);

}  // namespace qv
