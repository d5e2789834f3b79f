#pragma once
// The device-information sheet of a logger module: its lines, and the form whose text pane
// prints them.
#include <string>

#include "platform/gui/forms.h"
#include "platform/rtl/string_list.h"

namespace qv {

class TRichEdit;
class TTv10Modul;
class TTv10ModEditor0;
class TTv10SubModul;

// The sheet's lines after the date line and the comment: the module as its open editor shows it,
// then each sensor slot below it from the slot's edit copies.
void AddModuleInfoLines(const TTv10Modul& module, const TTv10ModEditor0& editor, TStringList& lines);
void AddSlotInfoLines(const TTv10SubModul& slot, const TTv10Modul& module, TStringList& lines);

class TD71_PrintInfo : public TForm {
public:
  explicit TD71_PrintInfo(TComponent* owner);
  std::string ClassName() const override { return "TD71_PrintInfo"; }

  // Asks for the printer (the common print dialog, when the program has one) and prints the
  // lines with margins of half an inch left and right and three quarters top and bottom;
  // false when the user cancelled.
  bool PrintSheet(const std::string& title);

  TRichEdit* RichEdit;
};

}  // namespace qv
