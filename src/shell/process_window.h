#pragma once
// The modal progress window under which long operations run: up to three lines of text and an
// optional Cancel button. The caller's work starts from the first idle pass after the window
// has been shown, so it runs while the window is modal and the main loop keeps running; the
// work ends the run with Finish. There is at most one, held in ProcessWindow.
#include <string>

#include "base/forms/multilingual_form.h"
#include "comm/process_window_service.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TStyPanel;

class TProcessWindow : public TMultilingualForm2, public TProcessWindowService {
public:
  explicit TProcessWindow(TComponent* owner);
  // Clears ProcessWindow when it holds this window, and drops a start that has not run yet.
  ~TProcessWindow() override;
  std::string ClassName() const override { return "TProcessWindow"; }

  bool Visible() const override { return TForm::Visible(); }
  // Showing lays the window out and, with OnProcess set, starts the work from an idle task.
  void SetVisible(bool visible) override;
  int ShowModal() override;
  void Free() override;

  void SetText1(const std::string& text) override { SetLine(Text1Lbl, text); }
  void SetText2(const std::string& text) override { SetLine(Text2Lbl, text); }
  void SetText3(const std::string& text) override { SetLine(Text3Lbl, text); }
  bool GetCancelVisible() const override;
  // A change of visibility clears Cancelled.
  void SetCancelVisible(bool visible) override;
  void Finish(int result) override;
  void Arrange();

  TStyPanel* Panel;
  TLabel* Text1Lbl;
  TLabel* Text2Lbl;
  TLabel* Text3Lbl;
  TButton* CancelBtn;
  // Set by the Cancel button.
  bool Cancelled = false;
  // Layout passes so far (tests see that an unchanged text does not re-arrange).
  int ArrangeCount() const { return arrange_count_; }

private:
  void SetLine(TLabel* label, const std::string& text);
  void CancelClick();
  void RunProcess();

  int arrange_count_ = 0;
};

// Installs ProcessWindowFactory: a hidden progress window owned by the application.
void InstallProcessWindowFactory();

}  // namespace qv
