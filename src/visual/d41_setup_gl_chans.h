#pragma once
// The dialog in which the user builds an ordered list of global channels (data set and channel)
// from the data sources of the device tree: the columns of a table, the channels of an export.
// The caller hands in the list, which is edited in place, and reads it back after OK.
#include <string>

#include "controls/sty_panel.h"
#include "controls/sty_splitter.h"
#include "datastore/data.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TDevice;

class TD41_SetupGlChans : public TForm {
public:
  // Lists the devices of the program's device tree when there is one.
  explicit TD41_SetupGlChans(TComponent* owner);
  ~TD41_SetupGlChans() override;
  std::string ClassName() const override { return "TD41_SetupGlChans"; }

  // One indented line per visible device below root.
  void FillDevices(TDevice* root);
  // The list to edit; it stays the caller's. Selects the source of its first entry.
  void SetSelectList(TChanSelList* list);
  TChanSelList* SelectList() const { return select_list_; }
  // The pairs offered on the left: the selected source's channels less the chosen ones.
  const TChanSelList& Available() const { return available_; }

  void DataClick();
  void ChanClick();
  void SelectClick();
  void AcceptChanClick();
  void AcceptSelClick();
  void SelAllClick();
  void DeleteClick();
  void MoveUpClick();
  void MoveDownClick();

  TStySplitter* StySplitter1;
  TStyPanel* DevicePanel;
  TStyPanel* ChanPanel;
  TStyPanel* SelectPanel;
  TListBox* DataListBox;
  TListBox* ChanListBox;
  TListBox* SelectListBox;
  TButton* AcceptChanBtn;
  TButton* AcceptSelBtn;
  TButton* SelAllBtn;
  TButton* MoveUpBtn;
  TButton* MoveDownBtn;
  TButton* DeleteBtn;
  TButton* OkBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  TDevice* SelectedDevice() const;
  int SelectedCount();
  // Appends the selected channels in list order.
  void Accept();
  void Swap(int from, int to);
  // Shows the chosen list again, offers the channels again and sets the buttons.
  void Refresh(int chosen_index);
  void ShowSelectList(int chosen_index);
  void OfferChannels();
  void UpdateButtonStates();

  TChanSelList* select_list_ = nullptr;
  TChanSelList available_;
};

// The dialog while it exists; callers check it before creating another.
extern TD41_SetupGlChans* D41_SetupGlChans;

}  // namespace qv
