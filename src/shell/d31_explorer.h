#pragma once
// The explorer: the device tree with its channels as an outline, the editor of the selected
// element beside it, OK to apply every element's edits with one audit record, Cancel to discard
// them, and the device-information sheet of a logger module.
#include <string>
#include <vector>

#include "base/forms/multilingual_form.h"

namespace qv {

class TButton;
class TDevice;
class TExplElement;
class TOutline;
class TPanel;
class TStySplitter;
class TStySplitterPane;
class TStringList;
class TWallClock;

class TD31_Explorer : public TMultilingualForm2 {
public:
  static constexpr int HelpContext = 3510;

  // The outline shows root and everything below it (nothing without a root).
  TD31_Explorer(TComponent* owner, TDevice* root);
  // Closes the open editor without taking its values, before its frame's parent goes.
  ~TD31_Explorer() override;
  std::string ClassName() const override { return "TD31_Explorer"; }

  // Makes element (or none) the current one: the open editor must accept its values first;
  // when it refuses, the current element's node is selected again and nothing changes.
  void SelectElement(TExplElement* element);
  TExplElement* CurrentElement() const { return current_; }

  void OKBtnClick();
  void CancelBtnClick();
  void PrintBtnClick();
  // The sheet of the current element's logger module, with the current editors' values; false
  // (after the message, with the node selected before selected again) when there is none.
  bool BuildInfoSheet(TStringList& lines, std::string& title);
  // Outline texts of the elements whose changes could not be applied by the last OK.
  const std::vector<std::string>& FailedElements() const { return failed_; }

  // Where the sheet takes its date and time from.
  const TWallClock* Clock;

  TStySplitter* Splitter;
  TOutline* Outline;
  // The editors' frames are placed in the right-hand pane.
  TStySplitterPane* EditorPane;
  TPanel* BottomPanel;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;
  TButton* PrintBtn;

private:
  void FillOutline();
  // The elements' selection event: a jump to element, refilling the outline first when asked.
  void ElementSelected(TExplElement* element, bool refill);
  void OutlineClick();
  void ArrangeButtons();
  TExplElement* NodeElement(int index) const;
  // Discards every element's edits (once per dialog run).
  void DiscardChanges();

  TDevice* root_;
  TExplElement* current_ = nullptr;
  bool finished_ = false;
  std::vector<std::string> failed_;
};

// The dialog while it is open; null otherwise.
extern TD31_Explorer* D31_Explorer;

// The explorer command: shows the dialog modally over the device shell's tree with the selected
// device current. A second dialog is refused with an exception.
void RunExplorer();

}  // namespace qv
