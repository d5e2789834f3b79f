#include "visual/d41_setup_gl_chans.h"

#include <gtest/gtest.h>

#include "datastore/channel.h"
#include "datastore/data_fixture.h"
#include "devices/device_fixture.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

// An in-memory data set with a short name of its own.
class NamedData : public test::TMemDtData {
public:
  NamedData(TRecord* rec, std::string ident, std::string sname)
      : test::TMemDtData(rec, std::move(ident)), sname_(std::move(sname)) {}
  std::string GetSName() override { return sname_; }

private:
  std::string sname_;
};

// A node whose data set lives in memory.
class MemDevice : public TDevice {
public:
  void Attach() {
    auto rec = std::make_unique<TDtRecord>(Channels()->ValueCount());
    auto data = std::make_unique<NamedData>(rec.get(), "mem" + std::to_string(Id()), "D" + std::to_string(Id()));
    data->SetChannels(Channels());
    SetData(std::move(data), std::move(rec));
  }
};

class SetupChannelsTest : public test::DeviceFixture {
protected:
  SetupChannelsTest() {
    InitializeGui();
    root_ = LoadRoot();
    logger_ = AddMem(root_.get(), {"T1", "T2"});
    slot_ = AddMem(logger_, {"H1"});
    slot_->SetHidden(true);
    other_ = AddMem(root_.get(), {"P1", "P2"});
    dlg_ = std::make_unique<TD41_SetupGlChans>(nullptr);
    dlg_->FillDevices(root_.get());
  }
  MemDevice* AddMem(TDevice* parent, std::vector<std::string> names) {
    auto channels = TChannels::CreateDefault();
    for (const std::string& n : names)
      channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 1, 1, 30, 0, 50, -10, "C", n, n));
    auto node = TDevice::Create<MemDevice>(parent, std::move(channels));
    node->SetId(parent->FindNextId(1, TDevice::MaxId));
    EXPECT_TRUE(node->SetUpDevice());
    node->Attach();
    return node.release();
  }
  static std::vector<std::string> Lines(TListBox* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->Items().Count(); ++i) out.push_back(list->Items()[i]);
    return out;
  }
  TChanSelCell Cell(MemDevice* d, int index) const {
    TChanSelList all;
    d->FillUserChanList(&all);
    return all.at(static_cast<size_t>(index));
  }
  void ChooseSource(MemDevice* d) {
    for (int i = 0; i < dlg_->DataListBox->Items().Count(); ++i)
      if (dlg_->DataListBox->Items().GetObject(i) == d) dlg_->DataListBox->SetItemIndex(i);
    dlg_->DataClick();
  }
  void SelectChannels(std::vector<int> indexes) {
    for (int i = 0; i < dlg_->ChanListBox->Items().Count(); ++i) dlg_->ChanListBox->SetSelected(i, false);
    for (int i : indexes) dlg_->ChanListBox->SetSelected(i, true);
    if (!indexes.empty()) dlg_->ChanListBox->SetItemIndex(indexes.front());
    dlg_->ChanClick();
  }
  std::string Chosen(MemDevice* d, const std::string& chan) const { return d->Data()->GetSName() + ": " + chan; }

  std::unique_ptr<TDevice> root_;
  MemDevice* logger_ = nullptr;
  MemDevice* slot_ = nullptr;
  MemDevice* other_ = nullptr;
  std::unique_ptr<TD41_SetupGlChans> dlg_;
};

// The first pair's source is selected (a hidden sensor module through its logger's line), and a
// chosen channel is never offered again, whichever source is shown.
TEST_F(SetupChannelsTest, OffersOnlyChannelsNotChosenYet) {
  TChanSelList list{Cell(logger_, 2), Cell(other_, 0)};  // H1 of the hidden slot, then P1
  dlg_->SetSelectList(&list);
  EXPECT_EQ(dlg_->DataListBox->Items().GetObject(dlg_->DataListBox->ItemIndex()), logger_);
  EXPECT_EQ(Lines(dlg_->ChanListBox), (std::vector<std::string>{"T1", "T2"}));
  EXPECT_EQ(Lines(dlg_->SelectListBox), (std::vector<std::string>{Chosen(slot_, "H1"), Chosen(other_, "P1")}));
  EXPECT_EQ(dlg_->SelectListBox->ItemIndex(), 0);
  ChooseSource(other_);
  EXPECT_EQ(Lines(dlg_->ChanListBox), (std::vector<std::string>{"P2"}));
  ChooseSource(logger_);
  EXPECT_EQ(Lines(dlg_->ChanListBox), (std::vector<std::string>{"T1", "T2"}));
  dlg_->SetSelectList(&list);  // the same list again changes nothing
  EXPECT_EQ(list.size(), 2u);
  try {
    dlg_->SetSelectList(nullptr);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TD41_SetupGlChans.SetSelectList: SelectList NIL!");
  }
}

// Accepting appends in list order, the buttons follow the selection, ordering stops at the ends,
// and removing the last entry disables OK.
TEST_F(SetupChannelsTest, BuildsAnOrderedList) {
  TChanSelList list;
  dlg_->SetSelectList(&list);
  EXPECT_FALSE(dlg_->OkBtn->Enabled());
  EXPECT_TRUE(dlg_->CancelBtn->Default());
  ChooseSource(logger_);
  SelectChannels({1});
  EXPECT_TRUE(dlg_->AcceptChanBtn->Enabled());
  EXPECT_FALSE(dlg_->AcceptSelBtn->Enabled());
  dlg_->AcceptChanBtn->Click();
  dlg_->SelAllBtn->Click();
  EXPECT_FALSE(dlg_->AcceptChanBtn->Enabled());
  EXPECT_TRUE(dlg_->AcceptSelBtn->Enabled());
  dlg_->AcceptSelBtn->Click();
  EXPECT_EQ(Lines(dlg_->SelectListBox),
            (std::vector<std::string>{Chosen(logger_, "T2"), Chosen(logger_, "T1"), Chosen(slot_, "H1")}));
  EXPECT_TRUE(dlg_->ChanListBox->Items().Count() == 0);
  EXPECT_TRUE(dlg_->OkBtn->Enabled());
  EXPECT_TRUE(dlg_->OkBtn->Default());

  struct Step {
    int select;
    TButton* TD41_SetupGlChans::*button;
    std::vector<std::string> expected;
    int selected_after;
  };
  const std::string t1 = Chosen(logger_, "T1"), t2 = Chosen(logger_, "T2"), h1 = Chosen(slot_, "H1");
  const Step steps[] = {
      {0, &TD41_SetupGlChans::MoveUpBtn, {t2, t1, h1}, 0},
      {2, &TD41_SetupGlChans::MoveDownBtn, {t2, t1, h1}, 2},
      {2, &TD41_SetupGlChans::MoveUpBtn, {t2, h1, t1}, 1},
      {0, &TD41_SetupGlChans::MoveDownBtn, {h1, t2, t1}, 1},
  };
  for (const Step& s : steps) {
    dlg_->SelectListBox->SetItemIndex(s.select);
    dlg_->SelectClick();
    (dlg_.get()->*s.button)->Click();
    EXPECT_EQ(Lines(dlg_->SelectListBox), s.expected);
    EXPECT_EQ(dlg_->SelectListBox->ItemIndex(), s.selected_after);
  }
  EXPECT_EQ(list[0].Channel, Cell(slot_, 0).Channel);
  for (int i = 0; i < 3; ++i) {
    dlg_->SelectListBox->SetItemIndex(0);
    dlg_->SelectClick();
    dlg_->DeleteBtn->Click();
  }
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(dlg_->OkBtn->Enabled());
  EXPECT_TRUE(dlg_->CancelBtn->Default());
  EXPECT_EQ(Lines(dlg_->ChanListBox), (std::vector<std::string>{"T1", "T2", "H1"}));
}

}  // namespace
}  // namespace qv
