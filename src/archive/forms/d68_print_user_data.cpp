#include "archive/forms/d68_print_user_data.h"

#include "base/res_string.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/printers.h"
#include "platform/gui/rich_edit.h"
#include "shell/std_dialog_form.h"

namespace qv {

TD68_PrintUserData::TD68_PrintUserData(TComponent* owner) : TForm(owner) {
  SetText(LoadResString("D68_PrintUserData"));
  SetBounds(0, 0, 480, 360);
  RichEdit = new TRichEdit(this);
  RichEdit->SetParent(this);
  RichEdit->SetAlign(TAlign::alClient);
}

std::vector<std::string> TD68_PrintUserData::PrintPages(const std::vector<TUserSheetPage>& pages) {
  std::vector<std::string> titles;
  TPrinter& printer = Printer();
  const int ppi = printer.PixelsPerInch();
  RichEdit->PageRect = TRect{ppi / 2, ppi * 3 / 4, printer.PageWidth() - ppi / 2, printer.PageHeight() - ppi * 3 / 4};
  for (size_t i = 0; i < pages.size(); ++i) {
    RichEdit->Lines().Clear();
    for (const std::string& line : pages[i]) RichEdit->Lines().Add(line);
    titles.push_back("Dossaly_Users-" + std::to_string(i + 1));
    RichEdit->Print(titles.back());
  }
  return titles;
}

void PrintD68UserSheet(const std::vector<TUserSheetPage>& pages) {
  if (StdDialogForm) {
    TPrintDialog& dialog = *StdDialogForm->PrintDialog;
    dialog.MinPage = dialog.MaxPage = 0;  // no options
    if (!dialog.Execute()) return;
  }
  TD68_PrintUserData form(nullptr);
  form.PrintPages(pages);
}

}  // namespace qv
