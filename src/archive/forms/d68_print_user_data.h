#pragma once
// The user sheet's printing: a rich edit that is never shown, filled and printed page by page.
#include <string>
#include <vector>

#include "archive/dy_user_manager.h"
#include "platform/gui/forms.h"

namespace qv {

class TRichEdit;

class TD68_PrintUserData : public TForm {
public:
  explicit TD68_PrintUserData(TComponent* owner);
  std::string ClassName() const override { return "TD68_PrintUserData"; }
  // Prints each page as its own job "Dossaly_Users-" + number (from 1); answers the job titles.
  std::vector<std::string> PrintPages(const std::vector<TUserSheetPage>& pages);

  TRichEdit* RichEdit;
};

// The print dialog of the common dialogs; on OK the pages are printed. Installed as
// PrintUserSheet.
void PrintD68UserSheet(const std::vector<TUserSheetPage>& pages);

}  // namespace qv
