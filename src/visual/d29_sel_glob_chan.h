#pragma once
// The channel dialog: one channel of one device, picked to be added as a curve or a column.
// The devices are those of the device tree; a filter of the caller leaves out what it cannot take.
#include <functional>
#include <string>

#include "controls/sty_panel.h"
#include "controls/sty_splitter.h"
#include "datastore/data.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TDevice;

class TD29_SelGlobChan : public TForm {
public:
  // Lists the devices of the program's device tree when there is one.
  explicit TD29_SelGlobChan(TComponent* owner);
  ~TD29_SelGlobChan() override;
  std::string ClassName() const override { return "TD29_SelGlobChan"; }

  // One indented line per visible device below root.
  void FillDevices(TDevice* root);
  // Answers whether the caller takes the channel; reason is the caller's own.
  using TChanFilter = std::function<bool(TData* data, TChannel* channel, uint8_t& reason)>;
  void SetFilter(TChanFilter filter);
  // Selects the line of the device that holds the data set; nothing for an unknown one.
  void SelectData(TData* data);
  // The data set and the cell of the selected channel line; null when no line is selected.
  TData* GetSelData() const;
  const TChanSelCell* GetSelChannel() const;
  void DataClick();
  void ChanClick();
  void OkClick();

  TStySplitter* StySplitter1;
  TStyPanel* DevicePanel;
  TStyPanel* ChanPanel;
  TListBox* DataListBox;
  TListBox* ChanListBox;
  TButton* OkBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  void RebuildChanList();
  TDevice* SelectedDevice() const;
  TChanSelList cells_;
  TChanFilter filter_;
};

extern TD29_SelGlobChan* D29_SelGlobChan;

}  // namespace qv
