#pragma once
// The archive's about box: the program's icon, its name, its version ("major.minor") and a
// notice.
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TPanel;
class TPaintBox;

class TD52_DossalyAboutBox : public TForm {
public:
  explicit TD52_DossalyAboutBox(TComponent* owner);
  std::string ClassName() const override { return "TD52_DossalyAboutBox"; }

  TPanel* Panel1;
  TPaintBox* ProgramIcon;
  TLabel* ProductName;
  TLabel* Version;
  TLabel* Notice;
  TButton* OKButton;
};

// "major.minor" of the program.
std::string ArchiveVersionText();

void ShowD52DossalyAboutBox();

// The about box while it is shown; null otherwise.
extern TD52_DossalyAboutBox* D52_DossalyAboutBox;

}  // namespace qv
