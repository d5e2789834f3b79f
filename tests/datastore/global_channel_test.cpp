#include "datastore/global_channel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "datastore/channels.h"
#include "datastore/data_globals.h"
#include "datastore/kw_data.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

class GlobalChannelTest : public ::testing::Test {
protected:
  GlobalChannelTest() : channels_(TChannels::CreateDefault()), rec_(2) {
    saved_exe_ = ExePath;
    ExePath = dir_.Path();
    DataGlobals = &globals_;
    for (uint8_t key : {2, 5}) {
      auto c = std::make_unique<TChannel>(key);
      c->SetName("Temperature " + std::to_string(key));
      c->SetSName("T" + std::to_string(key));
      c->SetUnit(key == 5 ? "\xC2\xB0"
                            "C"
                          : "%");
      channels_->Add(std::move(c));
    }
    std::filesystem::create_directories(dir_.File("DL001/DL003"));
    kw_ = std::make_unique<TKwData>(dir_.Path() + "DL001/DL003/", channels_.get(), &rec_);
    kw_->SetName("Logger 1 / Sensor 3");
    kw_->SetSName("L1S3");
  }
  ~GlobalChannelTest() override {
    kw_.reset();
    DataGlobals = nullptr;
    ExePath = saved_exe_;
  }
  TChannel* Chan(int key) { return channels_->FindByKey(key); }

  test::TempDir dir_;
  std::string saved_exe_;
  TDataGlobals globals_;
  std::unique_ptr<TChannels> channels_;
  TDtRecord rec_;
  std::unique_ptr<TKwData> kw_;
};

TEST_F(GlobalChannelTest, StoredAsIdentityAndKeyAndFoundAgain) {
  TGlobalChannel gc(kw_.get(), Chan(5));
  EXPECT_EQ(gc.ValueIndex(), 1);
  EXPECT_EQ(gc.GetText(), "Logger 1 / Sensor 3: Temperature 5");
  EXPECT_EQ(gc.GetSText(), "L1S3: T5");

  TIniFile2 ini(dir_.File("Monitors.ini"));
  gc.StoreIniFile(&ini, "Plot1.Chan0");
  EXPECT_EQ(dir_.Read("Monitors.ini"),
            "[Plot1.Chan0]\r\nClassName=TGlobalChannel\r\nDataIdent=TKwData@DL001/DL003/\r\nChanKey=5\r\n");
  TGlobChanRef ref = FindStoredGlobChan(ini, "Plot1.Chan0");
  EXPECT_EQ(ref.Data, kw_.get());
  EXPECT_EQ(ref.Channel, Chan(5));

  // A reference whose data set, channel or keys are missing is skipped.
  ini.WriteString("Gone", "DataIdent", "TKwData@DL009/");
  ini.WriteInteger("Gone", "ChanKey", 5);
  ini.WriteString("NoChan", "DataIdent", "TKwData@DL001/DL003/");
  ini.WriteInteger("NoChan", "ChanKey", 7);
  ini.WriteString("NoKey", "DataIdent", "TKwData@DL001/DL003/");
  for (const char* section : {"Gone", "NoChan", "NoKey", "Missing"}) {
    EXPECT_EQ(FindStoredGlobChan(ini, section).Data, nullptr) << section;
  }
  // Identities written by older installations with "\".
  ini.WriteString("Old", "DataIdent", "TKwData@DL001\\DL003\\");
  ini.WriteInteger("Old", "ChanKey", 2);
  EXPECT_EQ(FindStoredGlobChan(ini, "Old").Channel, Chan(2));

  EXPECT_THROW(gc.StoreIniFile(nullptr, "X"), Exception);
  EXPECT_THROW(gc.StoreIniFile(&ini, ""), Exception);
  EXPECT_THROW(TGlobalChannel(nullptr, Chan(5)), EChannelError);
  EXPECT_THROW(TGlobalChannel(kw_.get(), nullptr), EChannelError);

  // A channel that is not in the data set's list has no value.
  TChannel stranger(9);
  TGlobalChannel lost(kw_.get(), &stranger);
  EXPECT_EQ(lost.ValueIndex(), -1);
  auto copy = gc.Clone();
  lost.Assign(copy.get());
  EXPECT_EQ(lost.ValueIndex(), 1);
}

TEST_F(GlobalChannelTest, ListKeepsItsDataSetsInOrderOfFirstUse) {
  TDtRecord rec(2);
  TKwData other(dir_.Path() + "DL002/", channels_.get(), &rec);
  TGlobChanList list;
  TGlobalChannel* a = nullptr;
  {
    auto gc = std::make_unique<TGlobalChannel>(kw_.get(), Chan(2));
    a = gc.get();
    list.Add(std::move(gc));
  }
  list.Add(std::make_unique<TGlobalChannel>(kw_.get(), Chan(5)));
  EXPECT_EQ(list.DataCount(), 1);
  list.Insert(-3, std::make_unique<TGlobalChannel>(&other, Chan(5)));
  list.Insert(99, std::make_unique<TGlobalChannel>(&other, Chan(2)));
  EXPECT_EQ(list.GetGlobChan_I(0)->Data(), &other);
  EXPECT_EQ(list.GetGlobChan_I(3)->Data(), &other);
  EXPECT_EQ(list.DataCount(), 2);
  EXPECT_EQ(list.GetData_I(0), kw_.get());
  EXPECT_EQ(list.IndexOfGlobChan(a), 1);
  EXPECT_EQ(list.IndexOfChan(Chan(5)), 0);
  EXPECT_EQ(list.FindChan(Chan(2)), a);
  EXPECT_TRUE(list.ContainsUnit("C"));
  EXPECT_FALSE(list.ContainsUnit("c"));

  list.Remove(a);
  EXPECT_TRUE(list.ContainsData(kw_.get()));
  auto kept = list.Delete(1, false);
  ASSERT_NE(kept, nullptr);
  EXPECT_FALSE(list.ContainsData(kw_.get()));
  EXPECT_EQ(list.DataCount(), 1);
  EXPECT_EQ(list.GetData_I(0), &other);

  struct Case {
    std::function<void()> call;
    std::string text;
  } cases[] = {
      {[&] { list.GetGlobChan_I(2); }, "Error in TGlobChanList.GetGlobChan_I: Index out of bounds"},
      {[&] { list.GetData_I(1); }, "TGlobChanList.GetData_I: Index out of bounds: 1"},
      {[&] { list.Add(nullptr); }, "TGlobChanList.Add: GlobChan is nil"},
      {[&] { list.Insert(0, nullptr); }, "TGlobChanList.Insert: GlobChan is nil"},
      {[&] { list.IndexOfGlobChan(nullptr); }, "Error in TGlobChanList.IndexOfGlobChan: GlobChan is nil"},
      {[&] { list.IndexOfChan(nullptr); }, "Error in TGlobChanList.IndexOfChan: Chan is nil"},
      {[&] { list.Delete(-1, true); }, "Error in TGlobChanList.Delete: Index out of bounds"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.text;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.text);
    }
  }
}

}  // namespace
}  // namespace qv
