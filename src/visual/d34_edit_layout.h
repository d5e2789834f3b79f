#pragma once
// The page-layout dialog: the custom title and sub-title of the printed pages, their margins in
// centimetres and the dotted printing of curves on black-and-white printers.
#include <array>
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TPrintLayout;
class TStyGroupBox;
class TStySpinEdit;

class TD34_EditLayout : public TForm {
public:
  explicit TD34_EditLayout(TComponent* owner);
  ~TD34_EditLayout() override;
  std::string ClassName() const override { return "TD34_EditLayout"; }

  // Shows the layout's values; OK stays disabled until the user changes one.
  void Fill(TPrintLayout& layout);
  // Gives the values to the layout (margins through its setters, so clamped).
  void Apply(TPrintLayout& layout) const;

  TStyGroupBox* TitleGroup;
  TLabel* TitleLabel;
  TEdit* TitleEdit;
  TLabel* SubTitleLabel;
  TEdit* SubTitleEdit;
  TStyGroupBox* MarginGroup;
  // Left, right, top, bottom, in centimetres.
  std::array<TLabel*, 4> MarginLabels;
  std::array<TStySpinEdit*, 4> MarginEdits;
  TStyGroupBox* BWGroup;
  TCheckBox* DottedCheck;
  TButton* OKBtn;
  TButton* CancelBtn;

private:
  void Changed(bool always);
  bool filling_ = false;
};

// The dialog while one exists.
extern TD34_EditLayout* D34_EditLayout;

}  // namespace qv
