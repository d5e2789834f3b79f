// The device nodes' data sets: the channel lists a user sees, and buffered records written
// before a node goes.
#include <gtest/gtest.h>

#include "datastore/data_fixture.h"
#include "device_fixture.h"
#include "devices/db_shell.h"

namespace qv {
namespace {

// A data set in memory that counts its writes in a place that outlives it.
class CountingData : public test::TMemDtData {
public:
  CountingData(TRecord* rec, int* writes) : TMemDtData(rec), writes_(writes) {}
  int32_t WriteData() override {
    ++*writes_;
    return TMemDtData::WriteData();
  }

private:
  int* writes_;
};

class DataDevice : public TDevice {
public:
  CountingData* Attach(int* writes) {
    auto rec = std::make_unique<TDtRecord>(Channels()->ValueCount());
    auto data = std::make_unique<CountingData>(rec.get(), writes);
    data->SetChannels(Channels());
    CountingData* raw = data.get();
    SetData(std::move(data), std::move(rec));
    return raw;
  }
};

std::unique_ptr<TChannels> ValueChannels(int n) {
  auto channels = TChannels::CreateDefault();
  for (int i = 0; i < n; ++i)
    channels->Add(
        TChannel::CreateWith(channels->NewKey(), 0, 1, 1, 30, 0, 50, -10, "°C", "T", "T" + std::to_string(i)));
  return channels;
}

class DeviceData : public test::DeviceFixture {
protected:
  DataDevice* AddDataDevice(TDevice* parent, int values) {
    auto node = TDevice::Create<DataDevice>(parent, ValueChannels(values));
    node->SetId(parent->FindNextId(1, TDevice::MaxId));
    EXPECT_TRUE(node->SetUpDevice());
    DataDevice* raw = node.release();
    raw->Attach(&writes);
    return raw;
  }
  // Stores one record so that the buffer must be written.
  static void StoreOne(TData* data) {
    auto* dt = static_cast<TDtData*>(data);
    ASSERT_EQ(dt->NewBuffer(), drDone);
    TDtRecord rec = test::Rec(test::At(10, 0), {1, 2});
    TDataLock lock(*dt);
    ASSERT_EQ(dt->InsertRecord(rec), drDone);
  }
  int writes = 0;
};

TEST_F(DeviceData, UsersSeeTheChannelsOfTheNodeAndOfItsHiddenChildren) {
  auto root = LoadRoot();
  DataDevice* logger = AddDataDevice(root.get(), 3);
  DataDevice* slot = AddDataDevice(logger, 2);
  slot->SetHidden(true);
  DataDevice* visible = AddDataDevice(logger, 1);
  TChanSelList user, total;
  logger->FillUserChanList(&user);
  root->FillTotalChanList(&total);
  ASSERT_EQ(user.size(), 5u);
  EXPECT_EQ(user[3].Data, slot->Data());
  EXPECT_EQ(user[4].Channel->Name(), "T1");
  EXPECT_EQ(total.size(), 6u);
  EXPECT_TRUE(logger->HasDataObject(slot->Data()));
  EXPECT_TRUE(logger->HasDataObject(logger->Data()));
  EXPECT_FALSE(logger->HasDataObject(visible->Data()));
  EXPECT_FALSE(logger->HasDataObject(nullptr));
  EXPECT_THROW(logger->FillUserChanList(nullptr), EDeviceError);
  EXPECT_THROW(logger->FillTotalChanList(nullptr), EDeviceError);
}

TEST_F(DeviceData, BufferedRecordsAreWrittenBeforeANodeGoes) {
  auto root = LoadRoot();
  DataDevice* kept = AddDataDevice(root.get(), 2);
  DataDevice* erased = AddDataDevice(root.get(), 2);
  DataDevice* failing = AddDataDevice(root.get(), 2);
  DataDevice* discarded = AddDataDevice(root.get(), 2);
  for (DataDevice* d : {kept, erased, failing, discarded}) StoreOne(d->Data());
  static_cast<CountingData*>(failing->Data())->write_result = drRefused;

  root->EraseChild(erased, false);  // written before its folder is copied
  EXPECT_EQ(writes, 1);
  TDevice::Discard(discarded);  // a node that failed to load writes nothing
  EXPECT_EQ(writes, 1);
  ASSERT_THROW(root->EraseChild(failing, false), EDeviceError);  // unwritten data stop the erase
  EXPECT_EQ(root->ChildCount(), 2);
  EXPECT_TRUE(std::filesystem::exists(failing->Dir()));
  messages.clear();
  root.reset();
  EXPECT_EQ(writes, 4);  // kept, and failing once more at shutdown
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].Msg.find("dat_CannotSaveData"), std::string::npos);
}

TEST_F(DeviceData, AFailedReportAtShutdownStopsNeitherTheDataWriteNorTheProgram) {
  auto root = LoadRoot();
  DataDevice* node = AddDataDevice(root.get(), 2);
  StoreOne(node->Data());
  // Device.ini can no longer be replaced, and reporting that fails too (as on a full disk).
  std::filesystem::remove(node->Dir() + "Device.ini");
  std::filesystem::create_directory(node->Dir() + "Device.ini");
  MsgDialogProc = [](const std::string&, TMsgDlgType, TMsgDlgButtons, int32_t) -> int { throw Exception("no dialog"); };
  root.reset();
  EXPECT_EQ(writes, 1);
}

TEST_F(DeviceData, ShellKeepsTheRegistryOfOpenDataSetsWhileTheTreeLives) {
  const std::string old_ini = IniFileName;
  IniFileName = home.File("quarvel.INI");
  {
    TDbShell shell;
    EXPECT_NE(DataGlobals, nullptr);
  }
  EXPECT_EQ(DataGlobals, nullptr);
  IniFileName = old_ini;
}

}  // namespace
}  // namespace qv
