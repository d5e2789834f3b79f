#pragma once
// The protocol options dialog: whether the protocol is written only in automatic mode, whether
// warnings are left out, whether a full file is retired, and the size limit. The message handler
// fills it, shows it and applies the result; the dialog only edits and validates its controls.
#include <cstdint>
#include <string>

#include "base/msg_handler.h"
#include "base/forms/multilingual_form.h"

namespace qv {

class TButton;
class TCheckBox;
class TLabel;
class TStySpinEdit;

class TD23_EditProtOptions : public TMultilingualForm2 {
public:
  explicit TD23_EditProtOptions(TComponent* owner);
  std::string ClassName() const override { return "TD23_EditProtOptions"; }

  bool AutoModeOnly() const;
  void SetAutoModeOnly(bool v);
  bool ProtShort() const;
  void SetProtShort(bool v);
  bool AutoLogFile() const;
  void SetAutoLogFile(bool v);
  // The edit holds kilobytes.
  int32_t MaxSizeBytes() const;
  void SetMaxSizeBytes(int32_t bytes);

  // The OK button's check; true when the dialog may close with OK.
  bool CheckOk();
  // Places the controls as the dialog is shown.
  void ArrangeControls();

  TCheckBox* ProtShortCheckBox;
  TCheckBox* AutoLogFileCheckBox;
  TLabel* ProtMaxSizeLbl;
  TStySpinEdit* ProtMaxSizeEdit;
  TLabel* SizeLbl;
  TCheckBox* ProtAutoModeOnlyCheckBox;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  void UpdateControls();
  void UserChange();
};

// Runs the dialog on the options; true on OK, and then the options hold the user's choice.
bool RunProtOptionsDialog(TProtOptions& options);

}  // namespace qv
