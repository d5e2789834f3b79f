#pragma once
// The about box: the program's version, its year line and the distributor's two lines.
#include <string>

#include "base/forms/multilingual_form.h"

namespace qv {

class TButton;
class TLabel;
class TPanel;

class TD22_AboutBox : public TMultilingualForm2 {
public:
  explicit TD22_AboutBox(TComponent* owner);
  ~TD22_AboutBox() override;
  std::string ClassName() const override { return "TD22_AboutBox"; }

  // Sizes the panels to their texts and centres OK under them.
  void ArrangeControls();

  TPanel* InfoPanel;
  TLabel* VersionLbl;
  TLabel* YearLbl;
  TLabel* Oem1Lbl;
  TLabel* Oem2Lbl;
  TPanel* DevPanel;
  TLabel* DevelopedLbl;
  TButton* OKBtn;
};

// The box while it is open; null otherwise.
extern TD22_AboutBox* D22_AboutBox;

// Shows the about box modally.
void ShowAboutBox();

}  // namespace qv
