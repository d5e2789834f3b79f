#include "visual/d29_sel_glob_chan.h"

#include <gtest/gtest.h>

#include "datastore/channel.h"
#include "datastore/data_fixture.h"
#include "devices/device_fixture.h"
#include "platform/gui/forms.h"

namespace qv {
namespace {

// A node whose data set lives in memory.
class MemDevice : public TDevice {
public:
  void Attach() {
    auto rec = std::make_unique<TDtRecord>(Channels()->ValueCount());
    auto data = std::make_unique<test::TMemDtData>(rec.get(), "mem" + std::to_string(Id()));
    data->SetChannels(Channels());
    SetData(std::move(data), std::move(rec));
  }
};

class ChannelDialogTest : public test::DeviceFixture {
protected:
  ChannelDialogTest() { InitializeGui(); }
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
  std::vector<std::string> Listed(TD29_SelGlobChan& dlg) {
    std::vector<std::string> out;
    for (int i = 0; i < dlg.ChanListBox->Items().Count(); ++i) out.push_back(dlg.ChanListBox->Items()[i]);
    return out;
  }
};

TEST_F(ChannelDialogTest, ListsTheUserChannelsOfTheChosenDeviceThroughTheFilter) {
  auto root = LoadRoot();
  MemDevice* logger = AddMem(root.get(), {"T1", "T2"});
  MemDevice* slot = AddMem(logger, {"H1"});
  slot->SetHidden(true);
  MemDevice* other = AddMem(root.get(), {"P1"});
  TD29_SelGlobChan dlg(nullptr);
  dlg.FillDevices(root.get());
  EXPECT_EQ(dlg.DataListBox->Items().Count(), 2);  // the hidden slot has no line
  EXPECT_TRUE(Listed(dlg).empty());
  dlg.SelectData(slot->Data());  // found through the logger that holds it
  EXPECT_EQ(Listed(dlg), (std::vector<std::string>{"T1", "T2", "H1"}));
  dlg.SetFilter([](TData*, TChannel* c, uint8_t&) { return c->Name() != "T2"; });
  EXPECT_EQ(Listed(dlg), (std::vector<std::string>{"T1", "H1"}));
  EXPECT_FALSE(dlg.OkBtn->Enabled());
  dlg.OkClick();
  EXPECT_NE(dlg.ModalResult(), mrOk);  // no channel chosen
  dlg.ChanListBox->SetItemIndex(1);
  dlg.ChanClick();
  EXPECT_TRUE(dlg.OkBtn->Enabled());
  ASSERT_NE(dlg.GetSelChannel(), nullptr);
  EXPECT_EQ(dlg.GetSelData(), slot->Data());
  dlg.OkClick();
  EXPECT_EQ(dlg.ModalResult(), mrOk);
  dlg.SelectData(other->Data());
  EXPECT_EQ(Listed(dlg), (std::vector<std::string>{"P1"}));
  EXPECT_EQ(dlg.GetSelChannel(), nullptr);
}

}  // namespace
}  // namespace qv
