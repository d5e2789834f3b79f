#include "shell/std_dialog_form.h"

#include "base/common_dialog_texts.h"

namespace qv {

TStdDialogForm* StdDialogForm = nullptr;

TStdDialogForm::TStdDialogForm(TComponent* owner) : TForm(owner) {
  SetText("Standard Dialog Form");
  SetVisible(false);
  OpenDialog = new TOpenDialog(this);
  OpenDialog->Options = ofReadOnly | ofOverwritePrompt | ofNoChangeDir | ofShowHelp | ofNoValidate |
                        ofAllowMultiSelect | ofExtensionDifferent | ofPathMustExist | ofFileMustExist | ofCreatePrompt |
                        ofShareAware | ofNoReadOnlyReturn;
  SaveDialog = new TSaveDialog(this);
  PrintDialog = new TPrintDialog(this);
  PrinterSetupDialog = new TPrinterSetupDialog(this);
  OpenPictureDialog = new TOpenPictureDialog(this);
  FontDialog = new TFontDialog(this);
  ColorDialog = new TColorDialog(this);
}

TStdDialogForm::~TStdDialogForm() {
  if (StdDialogForm == this) StdDialogForm = nullptr;
}

namespace {
// The dialog kinds of the GUI layer are numbered as the table of dialog texts numbers them.
static_assert(static_cast<int>(TCommonDialogCode::cdcOpen) == static_cast<int>(TCommonDialogKind::cdOpen));
static_assert(static_cast<int>(TCommonDialogCode::cdcSave) == static_cast<int>(TCommonDialogKind::cdSave));
static_assert(static_cast<int>(TCommonDialogCode::cdcColor) == static_cast<int>(TCommonDialogKind::cdColor));
static_assert(static_cast<int>(TCommonDialogCode::cdcFont) == static_cast<int>(TCommonDialogKind::cdFont));
static_assert(static_cast<int>(TCommonDialogCode::cdcPrint) == static_cast<int>(TCommonDialogKind::cdPrint));
static_assert(static_cast<int>(TCommonDialogCode::cdcPrinterSetup) ==
              static_cast<int>(TCommonDialogKind::cdPrinterSetup));
}  // namespace

void InstallCommonDialogTexts() {
  SetCommonDialogTextProc([](TCommonDialogCode code, const TCommonDialogTextSet& set) {
    const auto kind = static_cast<TCommonDialogKind>(code);
    // File dialogs have no title of their own in the table.
    if (kind == TCommonDialogKind::cdOpen || kind == TCommonDialogKind::cdSave)
      set(DlgTitleId, DefaultFileDialogTitle(kind == TCommonDialogKind::cdSave));
    ApplyCommonDialogTexts(kind, TMarginUnit::muDefault, [&](int id, const std::string& text, bool) { set(id, text); });
  });
}

}  // namespace qv
