#pragma once
// The curve dialog of a plot: visibility, colour, pen style and alarm-limit display of each
// curve, edited on copies and handed to the curves on Accept or Exit.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/sty_color_combo_box.h"
#include "controls/sty_line.h"
#include "controls/sty_splitter.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "visual/plot_box.h"

namespace qv {

class TGlobChanList;

class TD25_EditPlotChan : public TForm {
public:
  explicit TD25_EditPlotChan(TComponent* owner);
  ~TD25_EditPlotChan() override;
  std::string ClassName() const override { return "TD25_EditPlotChan"; }

  // Only the first call counts. The curves stay the plot's; the dialog edits copies.
  void SetChanList(TGlobChanList* list);
  void SelectCurve(int index);
  virtual void ApplyChanges();
  void AcceptClick();
  void ExitClick();
  void SetStyle(TPenStyle style);
  int CurrentIndex() const { return current_; }
  const TPlotGlbChan* Copy(int index) const { return copies_.at(static_cast<size_t>(index)).get(); }

  // Called after the curves took the edited values (the plot's reaction to loaded channels).
  std::function<void()> OnApply;

  TStySplitter* StySplitter;
  TListBox* ChanListBox;
  TLabel* SelGlbChanLbl;
  TCheckBox* VisibleCheckB;
  TCheckBox* DrawLimitsCheck;
  TLabel* ColorLabel;
  TStyColorComboBox* StyColorComboBox;
  TLabel* StyleLabel;
  TStyLine* StyLineStyleSolid;
  TStyLine* StyLineStyleDashDot;
  TStyLine* StyLineStyleDashDotDot;
  TButton* ExitBtn;
  TButton* CancelBtn;
  TButton* AcceptBtn;
  TButton* HelpBtn;

private:
  void StoreControls();
  void ShowStyle();
  std::vector<TPlotGlbChan*> curves_;
  std::vector<std::unique_ptr<TPlotGlbChan>> copies_;
  int current_ = -1;
  TPenStyle style_ = TPenStyle::psSolid;
  bool switching_ = false;
  bool has_list_ = false;
};

extern TD25_EditPlotChan* D25_EditPlotChan;

}  // namespace qv
