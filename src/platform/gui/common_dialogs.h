#pragma once
// The desktop's common dialogs: open, save, picture open, print, printer set-up and font (the
// colour dialog has its own unit). Each carries the options of its caller and applies those the
// desktop's dialog has; every dialog gets its texts in the program's language as it opens.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/gui/graphics.h"
#include "platform/rtl/component.h"
#include "platform/rtl/string_list.h"

namespace qv {

// The dialog kinds, numbered as the program's table of dialog texts numbers them.
enum class TCommonDialogCode : int {
  cdcOpen = 0,
  cdcSave = 1,
  cdcColor = 3,
  cdcFont = 4,
  cdcPrint = 5,
  cdcPrinterSetup = 6,
};
// Standard control ids of the dialogs' texts.
constexpr int DlgTitleId = 0;
constexpr int DlgOkId = 1;
constexpr int DlgCancelId = 2;
constexpr int DlgFileTypeId = 1089;
constexpr int DlgFileNameId = 1090;
constexpr int DlgLookInId = 1091;

// Gives each control of an opening dialog its text: Set(control id, text). The program installs
// it at start-up; without it the dialogs keep the desktop's texts.
using TCommonDialogTextSet = std::function<void(int id, const std::string& text)>;
using TCommonDialogTextProc = std::function<void(TCommonDialogCode kind, const TCommonDialogTextSet& set)>;
void SetCommonDialogTextProc(TCommonDialogTextProc proc);

class TCommonDialog;

// The open dialog as its user sees it, handed to a test's or tool's stand-in for the user.
class TCommonDialogWindow {
public:
  virtual ~TCommonDialogWindow() = default;
  // The text a control shows now, by its standard id ("" for an id the dialog does not have).
  virtual std::string ControlText(int id) const = 0;
  virtual bool SaveImage(const std::string& png_file) const = 0;
  // The print dialog's PDF file while printing to a file is chosen, else "".
  virtual std::string PrintFile() const = 0;
  // Chooses printing to the PDF file in the print dialog; false when it offers no file.
  virtual bool SetPrintFile(const std::string& file) = 0;
  // Presses the dialog's OK button with the mouse; true when the dialog has then accepted.
  virtual bool PressOk() = 0;
};
// Runs instead of the user: gets the dialog shown offscreen and answers whether the user
// accepted; the dialog's values are then those the stand-in left in the TCommonDialog, or, when
// it pressed the dialog's OK button, those of the dialog itself.
using TCommonDialogUser = std::function<bool(TCommonDialog& dialog, TCommonDialogWindow& window)>;
void SetCommonDialogUser(TCommonDialogUser user);

class TCommonDialog : public TComponent {
public:
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  std::string ClassName() const override { return "TCommonDialog"; }
  std::string Title;
  int HelpContext = 0;
  // Shows the dialog modally; true when the user accepted it.
  virtual bool Execute() = 0;
};

enum TOpenOption : uint32_t {
  ofReadOnly = 1u << 0,
  ofOverwritePrompt = 1u << 1,
  ofHideReadOnly = 1u << 2,
  ofNoChangeDir = 1u << 3,
  ofShowHelp = 1u << 4,
  ofNoValidate = 1u << 5,
  ofAllowMultiSelect = 1u << 6,
  ofExtensionDifferent = 1u << 7,
  ofPathMustExist = 1u << 8,
  ofFileMustExist = 1u << 9,
  ofCreatePrompt = 1u << 10,
  ofShareAware = 1u << 11,
  ofNoReadOnlyReturn = 1u << 12,
};
using TOpenOptions = uint32_t;

class TOpenDialog : public TCommonDialog {
public:
  explicit TOpenDialog(TComponent* owner) : TCommonDialog(owner) {}
  std::string ClassName() const override { return "TOpenDialog"; }
  // The first chosen file; Files holds all of them.
  std::string FileName;
  TStringList Files;
  // Pairs of description and pattern list: "Text files (*.txt)|*.txt;*.csv|All files|*".
  std::string Filter;
  int FilterIndex = 1;
  std::string InitialDir;
  std::string DefaultExt;
  TOpenOptions Options = 0;
  bool Execute() override;

protected:
  virtual bool IsSave() const { return false; }
};

class TSaveDialog : public TOpenDialog {
public:
  using TOpenDialog::TOpenDialog;
  std::string ClassName() const override { return "TSaveDialog"; }

protected:
  bool IsSave() const override { return true; }
};

class TOpenPictureDialog : public TOpenDialog {
public:
  explicit TOpenPictureDialog(TComponent* owner);
  std::string ClassName() const override { return "TOpenPictureDialog"; }
};

enum class TPrintRange { prAllPages, prSelection, prPageNums };

// Chooses the printer and the pages; the chosen printer becomes the program's printer.
class TPrintDialog : public TCommonDialog {
public:
  explicit TPrintDialog(TComponent* owner) : TCommonDialog(owner) {}
  std::string ClassName() const override { return "TPrintDialog"; }
  int Copies = 1;
  int FromPage = 0;
  int ToPage = 0;
  int MinPage = 0;
  int MaxPage = 0;
  TPrintRange PrintRange = TPrintRange::prAllPages;
  bool Execute() override;
};

// Chooses the printer, the paper and the orientation of the program's printer.
class TPrinterSetupDialog : public TCommonDialog {
public:
  explicit TPrinterSetupDialog(TComponent* owner) : TCommonDialog(owner) {}
  std::string ClassName() const override { return "TPrinterSetupDialog"; }
  bool Execute() override;
};

class TFontDialog : public TCommonDialog {
public:
  explicit TFontDialog(TComponent* owner) : TCommonDialog(owner) {}
  std::string ClassName() const override { return "TFontDialog"; }
  TFont Font;
  bool Execute() override;
};

}  // namespace qv
