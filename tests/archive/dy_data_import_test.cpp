#include "archive/dy_data_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "archive_test_support.h"
#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "base/res_string.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/data_globals.h"
#include "datastore/kw_data.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

constexpr double Missing = -1.501e38;

// Day d of March 2009 at hh:mm.
TDtStamp At(int d, int hh, int mm) { return TDtStamp{DateToDayNo(d, 3, 2009), hh * 3600 + mm * 60}; }
TDateTime AtDt(int d, int hh, int mm) { return DtStampToDateTime(At(d, hh, mm)); }

struct TStored {
  TDtStamp stamp;
  std::vector<double> values;
};

// A program folder with a device tree, its shell installed as the program's:
//   DL001 logger 7: Temperature, Humidity
//   DL002 logger 9: Pressure
//   DL003 logger 7 again (a second folder of the same logger): a channel described exactly as
//         DL001's Temperature
// so logger 7 has channels 1 to 3 and logger 9 channel 1.
class DataImportTest : public ::testing::Test {
protected:
  DataImportTest() : old_exe_(ExePath), old_ini_(IniFileName) {
    ExePath = home.Path();
    IniFileName = home.File("quarvel.INI");
    shell = std::make_unique<TDbShell>();
    DbShell = shell.get();
    dl1 = AddLogger(7, "Cellar", {{"Temperature", "T", "°C"}, {"Humidity", "H", "%rH"}});
    dl2 = AddLogger(9, "Roof", {{"Pressure", "P", "hPa"}});
    dl3 = AddLogger(7, "Cellar", {{"Temperature", "T", "°C"}});
    // Values a 6-byte stored number holds exactly; records around the range's ends, missing
    // values, and a stamp both loggers share.
    records[dl1] = {{At(1, 23, 59), {1, 2}},       {At(2, 0, 0), {1.5, Missing}}, {At(2, 6, 0), {2.25, 40}},
                    {At(3, 12, 0), {Missing, 41}}, {At(4, 0, 0), {3, 42.5}},      {At(4, 0, 1), {9, 9}}};
    records[dl2] = {{At(2, 6, 0), {1013.25}}, {At(3, 12, 30), {1000}}, {At(5, 0, 0), {999}}};
    records[dl3] = {{At(2, 1, 0), {-5.5}}, {At(3, 1, 0), {-6}}};
    for (auto& [device, stored] : records) Store(device, stored);
  }
  ~DataImportTest() override {
    // Setting the devices up records events that wait for an audit trail: none is left for
    // the next test's trail.
    TakePendingAuditEvents();
    DbShell = nullptr;
    shell.reset();
    ExePath = old_exe_;
    IniFileName = old_ini_;
  }

  struct TChan {
    std::string name, sname, unit;
  };
  TDevice* AddLogger(int32_t logger, const std::string& name, const std::vector<TChan>& chans) {
    auto channels = TChannels::CreateDefault();
    for (const TChan& c : chans) {
      auto ch = TChannel::CreateWith(channels->NewKey(), 0, 2, 1, 30, 0, 50, -10, c.unit, c.sname, c.name);
      channels->Add(std::move(ch));
    }
    auto node = TDevice::Create(shell->Root(), std::move(channels));
    node->SetId(shell->Root()->FindNextId(1, TDevice::MaxId));
    node->SetLoggerId(logger);
    node->SetName(name);
    EXPECT_TRUE(node->SetUpDevice());
    return node.release();
  }
  static void Store(TDevice* device, const std::vector<TStored>& stored) {
    auto* data = static_cast<TKwData*>(device->Data());
    ASSERT_NE(data, nullptr);
    data->OpenDT(At(1, 0, 0), At(28, 0, 0), NoDtStamp, NoDtStamp);
    TDataLock lock(*data);
    for (const TStored& s : stored) {
      TDtRecord r(device->Channels()->ValueCount());
      r.Date = s.stamp.Date;
      r.Time = s.stamp.Time;
      for (size_t i = 0; i < s.values.size(); ++i) r.SetValues(static_cast<int32_t>(i), s.values[i]);
      ASSERT_EQ(data->InsertRecord(r), drDone);
    }
    ASSERT_EQ(data->Flush(), drDone);
    data->FreeBuffer();
  }
  // The archive's description of value channel index of device, under the id it has in the tree.
  std::unique_ptr<TDY_Channel> Described(TDevice* device, int index) {
    ChannelCell cell{device->Data(), device->Channels()->GetValueChannel(index)};
    auto channel = std::make_unique<TDY_Channel>();
    channel->ChannelID = importer.ChannelPosition(cell);
    importer.CopyChannel(&cell, channel.get());
    return channel;
  }
  // What the import must give for (device, index) from start to stop: the stored records, in
  // time order, without missing values.
  std::vector<std::tuple<int32_t, int32_t, TDateTime, double>> Expected(TDevice* device, int index, int32_t id,
                                                                        TDtStamp start, TDtStamp stop) {
    std::vector<std::tuple<int32_t, int32_t, TDateTime, double>> rows;
    std::vector<TStored> stored = records[device];
    std::sort(stored.begin(), stored.end(),
              [](const TStored& a, const TStored& b) { return DtStampLater(b.stamp, a.stamp); });
    for (const TStored& s : stored) {
      const double v = s.values[static_cast<size_t>(index)];
      if (v != Missing && DtStampLaterOrEqual(s.stamp, start) && DtStampLaterOrEqual(stop, s.stamp))
        rows.emplace_back(device->LoggerId(), id, DtStampToDateTime(s.stamp), v);
    }
    return rows;
  }
  static std::vector<std::tuple<int32_t, int32_t, TDateTime, double>> Rows(const TDY_DataList& data) {
    std::vector<std::tuple<int32_t, int32_t, TDateTime, double>> rows;
    for (int i = 0; i < data.Count(); ++i) {
      const TDY_Data& r = *data.Get(i);
      rows.emplace_back(r.Logger, r.Channel, r.Time, r.Value);
    }
    return rows;
  }

  // The device tree records its events here, not in the trail kept for the archive's start.
  TArchiveStandIns stand_ins;
  test::TempDir home;
  TCapturedBoxes boxes;
  std::string old_exe_, old_ini_;
  std::unique_ptr<TDbShell> shell;
  TDevice* dl1;
  TDevice* dl2;
  TDevice* dl3;
  std::map<TDevice*, std::vector<TStored>> records;
  TDY_DataImport importer;
};

TEST_F(DataImportTest, ChannelIdsCountPerLoggerOverTheWholeTree) {
  const ChannelCellList cells = TDY_DataImport::TotalCells();
  ASSERT_EQ(cells.size(), 4u);
  // DL003 lies behind another logger's folder, and its channel looks exactly like DL001's
  // first: it still has an id of its own.
  const std::vector<std::pair<int32_t, int32_t>> expected = {{7, 1}, {7, 2}, {9, 1}, {7, 3}};
  for (size_t i = 0; i < cells.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cells[i].Data->LoggerId, expected[i].first);
    EXPECT_EQ(importer.ChannelPosition(cells[i]), expected[i].second);
    TDY_Channel channel;
    channel.Device->LoggerID = expected[i].first;
    channel.ChannelID = expected[i].second;
    const std::optional<ChannelCell> found = importer.FindCell(channel);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Data, cells[i].Data);
    EXPECT_EQ(found->Channel, cells[i].Channel);
  }
  TDY_Channel none;
  none.Device->LoggerID = 9;
  none.ChannelID = 2;
  EXPECT_FALSE(importer.FindCell(none));
}

TEST_F(DataImportTest, TheRangeIsImportedRowByRowGroupedByChannel) {
  TDY_ChannelList channels;
  channels.Add(Described(dl2, 0));
  channels.Add(Described(dl1, 1));
  channels.Add(Described(dl3, 0));
  channels.Add(Described(dl1, 0));
  channels.Add(Described(dl2, 0));  // a channel listed twice has its rows twice
  const TDtStamp start = At(2, 0, 0), stop = At(4, 0, 0);
  TDY_DataList data;
  data.Add({1, 1, 1, 1});  // rows already there stay
  const int n = importer.ImportData(channels, data, DtStampToDateTime(start), DtStampToDateTime(stop));

  std::vector<std::tuple<int32_t, int32_t, TDateTime, double>> expected = {{1, 1, 1, 1}};
  for (auto [device, index, id] : {std::tuple{dl2, 0, 1}, {dl1, 1, 2}, {dl3, 0, 3}, {dl1, 0, 1}, {dl2, 0, 1}}) {
    const auto part = Expected(device, index, id, start, stop);
    expected.insert(expected.end(), part.begin(), part.end());
  }
  EXPECT_EQ(Rows(data), expected);
  EXPECT_EQ(n, static_cast<int>(expected.size()) - 1);
  // Both ends are included; the records just outside are not, nor the missing values.
  EXPECT_EQ(n, 2 + 3 + 2 + 3 + 2);
  EXPECT_TRUE(boxes.Texts.empty());
  // The tree's own data sets were not used for it.
  EXPECT_FALSE(dl1->Data()->HasBuffer());
}

TEST_F(DataImportTest, ARangeWithoutDataGivesNoRows) {
  TDY_ChannelList channels;
  channels.Add(Described(dl1, 0));
  channels.Add(Described(dl2, 0));
  TDY_DataList data;
  EXPECT_EQ(importer.ImportData(channels, data, AtDt(10, 0, 0), AtDt(12, 0, 0)), 0);
  EXPECT_EQ(data.Count(), 0);
  // A range inside the data, between two records.
  EXPECT_EQ(importer.ImportData(channels, data, AtDt(2, 7, 0), AtDt(3, 11, 0)), 0);
}

TEST_F(DataImportTest, ChannelsTheTreeNoLongerHasAreReportedAndTheRestImported) {
  TDY_ChannelList channels;
  auto gone = Described(dl2, 0);
  gone->Device->LoggerID = 12;
  gone->Device->DeviceName = "Attic";
  gone->ChannelName = "Light";
  channels.Add(std::move(gone));
  channels.Add(Described(dl2, 0));
  TDY_DataList data;
  EXPECT_EQ(importer.ImportData(channels, data, AtDt(1, 0, 0), AtDt(28, 0, 0)), 3);
  EXPECT_EQ(boxes.Texts, std::vector<std::string>{LoadResString("DY_ChannelNotFound") + " [Attic:Light]"});
  EXPECT_EQ(data.Get(0)->Logger, 9);
}

TEST_F(DataImportTest, AStopBeforeTheStartEndsTheImportWithTheDataSetsError) {
  TDY_ChannelList channels;
  channels.Add(Described(dl1, 0));
  TDY_DataList data;
  try {
    importer.ImportData(channels, data, AtDt(4, 0, 0), AtDt(2, 0, 0));
    ADD_FAILURE() << "imported";
  } catch (const EDataError& e) {
    EXPECT_EQ(e.Message(), "Error in TDtData.OpenDT: Start after Stop!");
  }
  EXPECT_EQ(data.Count(), 0);
}

TEST_F(DataImportTest, LimitChangesBeyondTheToleranceAreTakenFromTheTree) {
  TDY_ChannelList channels;
  channels.Add(Described(dl1, 0));
  TDY_Channel& channel = *channels.Get(0);
  TChannel& tree = *dl1->Channels()->GetValueChannel(0);
  const ChannelCell cell{dl1->Data(), &tree};
  struct TCase {
    double shift;
    bool changed;
  };
  for (const TCase& c : {TCase{0.0005, false}, TCase{-0.0009, false}, TCase{0.002, true}}) {
    SCOPED_TRACE(c.shift);
    tree.SetAlarmMax(channel.AlarmMax + c.shift);
    EXPECT_EQ(importer.CompareChannel(&cell, &channel), !c.changed);
    EXPECT_EQ(importer.UpdateChannels(channels), c.changed);
    if (c.changed) {
      EXPECT_EQ(channels.Get(0)->AlarmMax, tree.AlarmMax());
    }
  }
  tree.SetName("Air");
  EXPECT_TRUE(importer.UpdateChannels(channels));
  EXPECT_EQ(channels.Get(0)->ChannelName, "Air");
  EXPECT_FALSE(importer.UpdateChannels(channels));
}

TEST_F(DataImportTest, ALoggerGoneFromTheTreeLosesItsChannels) {
  TDY_ChannelList channels;
  channels.Add(Described(dl1, 0));
  channels.Add(Described(dl2, 0));
  auto beyond = Described(dl1, 1);
  beyond->ChannelID = 8;  // the logger is there, the position is not: it stays
  channels.Add(std::move(beyond));
  shell->Root()->EraseChild(dl2, false);
  EXPECT_TRUE(importer.UpdateChannels(channels));
  ASSERT_EQ(channels.Count(), 2);
  EXPECT_EQ(channels.Get(0)->Device->LoggerID, 7);
  EXPECT_EQ(channels.Get(1)->ChannelID, 8);
}

TEST_F(DataImportTest, MissingCellsOrChannelsAreReported) {
  TDY_Channel channel;
  channel.ChannelName = "kept";
  const ChannelCell empty{nullptr, nullptr};
  importer.CopyChannel(&empty, &channel);
  EXPECT_TRUE(importer.CompareChannel(nullptr, &channel));
  EXPECT_EQ(channel.ChannelName, "kept");
  EXPECT_EQ(boxes.Texts, (std::vector<std::string>{"CopyChannel : QVChannel oder DYChannel sind nil !",
                                                   "CompareChannel : QVChannel oder DYChannel sind nil !"}));
}

TEST_F(DataImportTest, TheChoiceOfChannelsTakesWeeklyDataChannelsAfterOk) {
  TDY_ChannelList channels;
  channels.Add(Described(dl1, 0));
  std::vector<size_t> offered;
  bool answer = false;
  SelectChannelsDialog = [&](ChannelCellList& cells) {
    offered.push_back(cells.size());
    cells.push_back({dl3->Data(), dl3->Channels()->GetValueChannel(0)});
    return answer;
  };
  EXPECT_FALSE(importer.SelectChannels(channels));
  EXPECT_EQ(channels.Count(), 1);
  answer = true;
  EXPECT_TRUE(importer.SelectChannels(channels));
  SelectChannelsDialog = nullptr;
  EXPECT_EQ(offered, (std::vector<size_t>{1, 1}));
  ASSERT_EQ(channels.Count(), 2);
  EXPECT_EQ(channels.Get(1)->ChannelID, 3);
  EXPECT_EQ(channels.Get(1)->Device->DeviceType, 1);
  EXPECT_EQ(channels.Get(1)->Device->DeviceName, dl3->Data()->GetName());
  // Without a dialog the choice is cancelled.
  EXPECT_FALSE(importer.SelectChannels(channels));
}

}  // namespace
}  // namespace qv
