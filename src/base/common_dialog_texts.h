#pragma once
// The texts of the common dialogs (open, save, colour, font, print, printer setup, page setup,
// find, replace). Each caption is a translation key: the dialog's English caption, so that the
// language files translate these dialogs like every other text. A dialog applies its table when
// it opens, addressing each control by its standard template id (0 is the dialog's title).
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace qv {

enum class TCommonDialogKind {
  cdOpen,
  cdSave,
  cdOpenOldStyle,  // open and save dialogs of the old style share one table
  cdColor,
  cdFont,
  cdPrint,
  cdPrinterSetup,
  cdPageSetup,
  cdFind,
  cdReplace,
};

// Controls without an id of their own (unnamed labels) are told apart by their order.
constexpr int UnnamedLabel1 = -1;
constexpr int UnnamedLabel2 = -2;
// The page-setup dialog's margins group, whose key depends on the unit.
constexpr int PageSetupMarginsId = 1075;

struct TDialogText {
  int Id;
  const char* Key;
  bool Widen;  // the control grows (never shrinks) to fit its text
};

std::span<const TDialogText> CommonDialogTexts(TCommonDialogKind kind);
// The key of one control; nullptr when the table has none. For the page setup's margins group
// use PageSetupMarginsKey.
const char* CommonDialogTextKey(TCommonDialogKind kind, int id);

enum class TMarginUnit { muDefault, muMillimeters, muInches };
// "Margins (inches)" for inches, and for the default unit when the program runs in English
// (United States); otherwise "Margins (millimeters)".
const char* PageSetupMarginsKey(TMarginUnit unit, bool us_english);

// The file dialogs' toolbar tooltips by button id (40961 ...), the column titles of the file
// list (columns 0 to 4) and the titles used when the dialog has none of its own.
const char* FileDialogTooltipKey(int button_id);
std::span<const char* const> FileListColumnKeys();
constexpr const char* OpenDialogTitleKey = "Open";
constexpr const char* SaveDialogTitleKey = "Save As";

// Gives every control of the dialog its text in the language in use: Set receives the control
// id, the translated text and whether the control may grow to fit it. The page setup's margins
// group follows Unit, and for the default unit the program's format settings (inches in
// English (United States)).
using TDialogTextSetter = std::function<void(int id, const std::string& text, bool widen)>;
void ApplyCommonDialogTexts(TCommonDialogKind kind, TMarginUnit unit, const TDialogTextSetter& set);
// The translated title of a file dialog that has no title of its own ("Open" or "Save As").
std::string DefaultFileDialogTitle(bool save);

// Every key above, for checking the language files.
std::span<const char* const> AllCommonDialogKeys();

}  // namespace qv
