#pragma once
// The hidden form that holds the common dialogs of the whole program.
#include <string>

#include "platform/gui/color_dialog.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/forms.h"

namespace qv {

class TStdDialogForm : public TForm {
public:
  explicit TStdDialogForm(TComponent* owner);
  // Clears StdDialogForm when it is this form.
  ~TStdDialogForm() override;
  std::string ClassName() const override { return "TStdDialogForm"; }

  TOpenDialog* OpenDialog;
  TSaveDialog* SaveDialog;
  TPrintDialog* PrintDialog;
  TPrinterSetupDialog* PrinterSetupDialog;
  TOpenPictureDialog* OpenPictureDialog;
  TFontDialog* FontDialog;
  TColorDialog* ColorDialog;
};

extern TStdDialogForm* StdDialogForm;

// Gives the common dialogs the texts of the language in use as they open.
void InstallCommonDialogTexts();

}  // namespace qv
