#include "devices/device.h"

#include <gtest/gtest.h>

#include "base/ini_file2.h"
#include "base/dt_stamp.h"
#include "datastore/channels.h"
#include "datastore/dt_data.h"
#include "device_fixture.h"
#include "support/file_size_limit.h"
#include "devices/visual_hooks.h"

namespace qv {
namespace {

using test::DeviceFixture;

class DeviceTree : public DeviceFixture {};

TEST_F(DeviceTree, BuiltSavedAndReloaded) {
  {
    auto root = LoadRoot();
    EXPECT_EQ(root->Layer(), 0);
    EXPECT_TRUE(root->Hidden());
    EXPECT_EQ(root->Id(), -1);
    TDevice* cellar = AddDevice(root.get(), "Cellar", 3);
    TDevice* attic = AddDevice(root.get(), "Attic");
    TDevice* wall = AddDevice(cellar, "North wall", 1);
    wall->SetSName("NW");
    EXPECT_EQ(cellar->GetIdStr(), "DL003");
    EXPECT_EQ(attic->Id(), 4);
    EXPECT_EQ(wall->Dir(), home.Path() + "DL003/DL001/");
    EXPECT_EQ(wall->Layer(), 2);
    EXPECT_EQ(wall->GetTreeIdName(), "DL003 Cellar\\\\ North wall");
    EXPECT_EQ(wall->GetTreeName(), "Cellar\\\\ North wall");
    EXPECT_EQ(wall->GetTreeSName(), "NW");

    // A set-up node's Device.ini holds all twelve keys at once.
    TIniFile2 ini(home.File("DL003/DL001/Device.ini"));
    TStringList keys;
    ini.ReadSection("Device", keys);
    EXPECT_EQ(keys.CommaText(),
              "ClassName,Name,SName,TreeName,TreeSName,TreeIdName,TreeIdSName,Id,LoggerId,Disabled,Layer,Hidden");
    EXPECT_EQ(ini.ReadString("Device", "Layer", ""), "2");
    EXPECT_EQ(ini.ReadString("Device", "ClassName", ""), "TDevice");

    cellar->SetName("Basement");  // written at once
    EXPECT_EQ(TIniFile2(home.File("DL003/Device.ini")).ReadString("Device", "Name", ""), "Basement");
    attic->SetDisabled(true);
  }
  auto root = LoadRoot();
  ASSERT_EQ(root->ChildCount(), 2);
  TDevice* cellar = root->GetChild(0);
  EXPECT_EQ(cellar->Id(), 3);
  EXPECT_EQ(cellar->Name(), "Basement");
  EXPECT_FALSE(cellar->IsNew());
  EXPECT_EQ(root->GetChild(1)->Name(), "Attic");
  EXPECT_TRUE(root->GetChild(1)->Disabled());
  ASSERT_EQ(cellar->ChildCount(), 1);
  EXPECT_EQ(cellar->GetChild(0)->SName(), "NW");
  EXPECT_EQ(cellar->GetChild(0)->Layer(), 2);
  EXPECT_EQ(cellar->GetChild(0)->GetTreeIdName(), "DL003 Basement\\\\ North wall");
  EXPECT_TRUE(messages.empty());
}

// A node class of its own, as the logger classes are.
class OtherDevice : public TDevice {
public:
  std::string ClassName() const override { return "TOtherDevice"; }
};

TEST_F(DeviceTree, NodesKeepTheirClassAcrossRuns) {
  registry.RegisterClass({"TOtherDevice", [](TDevice* parent, const std::string& dir) -> TDevice* {
                            return TDevice::CreateFromDir<OtherDevice>(parent, dir);
                          }});
  {
    auto root = LoadRoot();
    auto node = TDevice::Create<OtherDevice>(root.get());
    node->SetId(1);
    ASSERT_TRUE(node->SetUpDevice());
    node.release();
  }
  // Every run writes the whole tree back when it ends; the class must survive that.
  for (int run = 0; run < 2; ++run) {
    auto root = LoadRoot();
    ASSERT_EQ(root->ChildCount(), 1);
    EXPECT_EQ(root->GetChild(0)->ClassName(), "TOtherDevice") << "run " << run;
  }
  EXPECT_EQ(TIniFile2(home.File("DL001/Device.ini")).ReadString("Device", "ClassName", ""), "TOtherDevice");
}

TEST_F(DeviceTree, MissingLoggerIdsAreFilledFromTheParentOrTheOwnId) {
  auto root = LoadRoot();
  root->SetLoggerId(12);
  TDevice* logger = AddDevice(root.get(), "Logger", 1);  // takes 12 as its logger id and own id
  EXPECT_EQ(logger->LoggerId(), 12);
  EXPECT_EQ(logger->Kennung(), 12);
  root->SetLoggerId(-1);
  TDevice* plain = AddDevice(root.get(), "Plain");
  TDevice* slot = AddDevice(logger, "Slot");
  slot->SetLoggerId(0);
  plain->SetLoggerId(0);
  slot->WriteIni();
  plain->WriteIni();
  EXPECT_EQ(slot->LoggerId(), 12);   // the parent's own id
  EXPECT_EQ(plain->LoggerId(), -1);  // no id anywhere
  EXPECT_EQ(TIniFile2(home.File("DL001/DL000/Device.ini")).ReadInteger("Device", "LoggerId", 0), 12);
}

TEST_F(DeviceTree, NewNodeWritesNothingUntilSetUp) {
  auto root = LoadRoot();
  auto node = TDevice::Create(root.get());
  EXPECT_TRUE(node->IsNew());
  EXPECT_EQ(node->Dir(), ":::INVALID:::");
  EXPECT_EQ(node->Layer(), -1);
  node->SetId(7);
  node->SetName("Cellar");
  EXPECT_EQ(node->Dir(), home.Path() + "DL007/");
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "DL007"));
  EXPECT_EQ(root->ChildCount(), 0);
  ASSERT_TRUE(node->SetUpDevice());
  TDevice* inserted = node.release();
  EXPECT_EQ(root->GetChild(0), inserted);
  EXPECT_TRUE(std::filesystem::exists(home.Path() + "DL007/Device.ini"));
  EXPECT_FALSE(inserted->SetUpDevice());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Msg, "Second setup not possible for device");
  EXPECT_EQ(messages[0].Kind, TDevMsgKind::Error);
}

TEST_F(DeviceTree, ProgrammingErrorsRaise) {
  auto root = LoadRoot();
  TDevice* a = AddDevice(root.get(), "A", 1);
  auto fresh = TDevice::Create(root.get());
  auto expect_error = [](auto&& f, const std::string& text) {
    try {
      f();
      ADD_FAILURE() << "no error for " << text;
    } catch (const EDeviceError& e) {
      EXPECT_EQ(e.Message(), text);
    }
  };
  expect_error([&] { a->SetId(2); }, "Error in TDevice.SetId: Cannot change ID!");
  expect_error([&] { fresh->SetId(-1); }, "Error in TDevice.SetId: Invalid ID!");
  // DL32768 would never be loaded again, and its data with it.
  expect_error([&] { fresh->SetId(TDevice::MaxId + 1); }, "Error in TDevice.SetId: Invalid ID!");
  expect_error([&] { root->Insert(fresh.get()); }, "TDevice.Insert: no insert with invalid ID!");
  expect_error([&] { fresh->SetUpDevice(); }, "TDevice.SetUpDevice: Invalid Id for Device with Parent!");
  fresh->SetId(1);
  expect_error([&] { root->Insert(fresh.get()); }, "dat_IDAlreadyExists");
  auto grandchild = TDevice::Create(fresh.get());
  grandchild->SetId(1);
  expect_error([&] { fresh->Insert(grandchild.get()); }, "TDevice.Insert: no insert while device is new!");
  expect_error([&] { a->Insert(grandchild.get()); }, "dev_DeviceReinserted");
  expect_error([&] { root->GetChild(1); }, "dev_IndexError");
  expect_error([&] { root->FindNextId(5, 4); }, "Error in TDevice.FindNextId: Invalid input!");
  expect_error([&] { root->FindNextId(-1, 4); }, "Error in TDevice.FindNextId: Invalid input!");
  expect_error([&] { root->FillDevStrings(nullptr, 0); }, "Error in TDevice.FillDevStrings: Strings is nil");
}

TEST(DevClassRegistry, LaterRegistrationsReplaceAndMoveToTheEnd) {
  TDevClassRegistry reg;
  ASSERT_EQ(reg.Count(), 1);
  EXPECT_EQ(reg.Classes(0).Name, "TDevice");
  reg.RegisterClass({"TLogger", nullptr});
  reg.RegisterClass({"TDevice", nullptr});
  ASSERT_EQ(reg.Count(), 2);
  EXPECT_EQ(reg.Classes(0).Name, "TLogger");
  EXPECT_EQ(reg.Classes(1).Name, "TDevice");
  EXPECT_EQ(reg.FindClass("TLogger"), &reg.Classes(0));
  EXPECT_EQ(reg.FindClass("tlogger"), nullptr);
  EXPECT_EQ(reg.FindClass(""), nullptr);
}

TEST_F(DeviceTree, FolderNamesGiveIds) {
  const std::pair<const char*, int32_t> cases[] = {
      {"DL7", 7},   {"DL007", 7},    {"DL007/", 7},         {"dl12", 12},         {"DL32767", 32767},
      {"DLX1", -1}, {"DL40000", -1}, {"DL007BAK", -1},      {"DL007BAK~new", -1}, {"DL", -1},
      {"DL-1", -1}, {"DL 7", -1},    {"DL99999999999", -1},
  };
  for (const auto& [name, id] : cases) EXPECT_EQ(TDevice::DirToId(name), id) << name;
}

TEST_F(DeviceTree, NextIdsGrowAboveTheHighestAndSkipFoldersOnDisk) {
  struct Case {
    std::vector<int32_t> ids;
    int32_t lo, hi, expected;  // -1: no more ids
  };
  const Case cases[] = {
      {{1, 2, 5}, 1, 32767, 6}, {{1, 2, 32767}, 1, 32767, 3}, {{}, 1, 32767, 1}, {{1, 2, 3}, 1, 3, -1},
      {{2, 9}, 1, 5, 3},        {{1, 2, 3}, 5, 9, 5},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(home.Path());
    std::filesystem::create_directories(home.Path());
    auto root = LoadRoot();
    for (int32_t id : c.ids) {
      auto node = TDevice::Create(root.get());
      node->SetId(id);
      ASSERT_TRUE(node->SetUpDevice());
      node.release();
    }
    if (c.expected < 0) {
      EXPECT_THROW(root->FindNextId(c.lo, c.hi), EDeviceError);
    } else {
      EXPECT_EQ(root->FindNextId(c.lo, c.hi), c.expected);
    }
  }
  // A folder that was not loaded still owns its id, in any spelling.
  std::filesystem::remove_all(home.Path());
  home.Write("DL9/Device.ini", "[Device]\r\nClassName=TOtherProgram\r\n");
  home.Write("dl04/Device.ini", "[Device]\r\nClassName=TOtherProgram\r\n");
  auto root = LoadRoot();
  EXPECT_EQ(root->ChildCount(), 0);
  EXPECT_EQ(root->FindNextId(1, 32767), 10);
  EXPECT_EQ(root->FindNextId(1, 9), 1);
  EXPECT_FALSE(root->CheckNewChildId(4));
  EXPECT_TRUE(root->CheckNewChildId(5));
  EXPECT_FALSE(root->CheckNewChildId(32768));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].Msg, "dev_IndexError");
  EXPECT_EQ(messages[1].Kind, TDevMsgKind::Warning);

  // Setting up the id of a foreign folder fails and leaves the tree and that folder alone.
  const auto before = Snapshot();
  auto intruder = TDevice::Create(root.get());
  intruder->SetId(9);
  EXPECT_THROW(intruder->SetUpDevice(), EInOutError);
  EXPECT_EQ(root->ChildCount(), 0);
  intruder.reset();
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(DeviceTree, ANodeThatWasNeverSetUpWritesNothingIntoAnExistingFolder) {
  home.Write("DL009/Device.ini", "[Device]\r\nClassName=TOtherProgram\r\nName=Foreign\r\n");
  home.Write("DL009/CHANNELS.CFG", "channels of another program");
  const auto before = Snapshot("DL009");
  auto root = LoadRoot();
  auto failed = TDevice::Create(root.get(), TChannels::CreateDefault());
  failed->SetId(9);
  EXPECT_THROW(failed->SetUpDevice(), EInOutError);
  failed.reset();
  auto cancelled = TDevice::Create(root.get(), TChannels::CreateDefault());
  cancelled->SetId(9);  // as an editor does before its dialog is cancelled
  cancelled.reset();
  EXPECT_EQ(Snapshot("DL009"), before);
}

// A damaged or unexpected item is reported and skipped; the rest loads and its files stay.
class FailingDevice : public TDevice {
public:
  std::string ClassName() const override { return "TFailingDevice"; }
  void ReadIni() override {
    TDevice::ReadIni();
    if (Name() == "broken") throw EDeviceError("cannot read the channel list");
  }
};

TEST_F(DeviceTree, DamagedItemsAreReportedAndSkipped) {
  registry.RegisterClass({"TFailingDevice", [](TDevice* parent, const std::string& dir) -> TDevice* {
                            return TDevice::CreateFromDir<FailingDevice>(parent, dir);
                          }});
  home.Write("DL001/Device.ini", "[Device]\r\nName=Good\r\nLoggerId=12\r\n");
  home.Write("DL001/DL000/Device.ini", "[Device]\r\nName=Child\r\n");
  home.Write("DL002/Device.ini", "[Device]\r\nClassName=TFailingDevice\r\nName=broken\r\n");
  home.Write("DL002/DL000/Device.ini", "[Device]\r\nName=Orphan\r\n");
  home.Write("DL002/KW2601.QVR", "data");
  home.Write("DL003/Device.ini", "[Device]\r\nName=Numbers\r\nLoggerId=twelve\r\nHidden=maybe\r\n");
  home.Write("DL7/Device.ini", "[Device]\r\nName=Short\r\n");
  home.Write("DL007/Device.ini", "[Device]\r\nName=Long\r\n");
  home.Write("DL008/Device.ini", "[Device]\r\nClassName=TUnknownLogger\r\nName=Foreign\r\n");
  home.Write("DLX1/Device.ini", "[Device]\r\nName=NoId\r\n");
  home.Write("DL40000/Device.ini", "[Device]\r\nName=TooBig\r\n");
  home.Write("DL009", "a file, not a folder");
  const auto untouched_broken = Snapshot("DL002");
  const auto untouched_short = Snapshot("DL7");
  const auto untouched_foreign = Snapshot("DL008");
  {
    auto root = LoadRoot();
    std::vector<std::string> loaded;
    for (int i = 0; i < root->ChildCount(); ++i) loaded.push_back(root->GetChild(i)->Name());
    EXPECT_EQ(loaded, (std::vector<std::string>{"Good", "Numbers", "Long"}));
    EXPECT_EQ(root->GetChild(0)->ChildCount(), 1);
    EXPECT_EQ(root->GetChild(0)->LoggerId(), 12);
    EXPECT_EQ(root->GetChild(0)->GetChild(0)->Kennung(), 12);  // taken over from the parent
    TDevice* numbers = root->GetChild(1);
    EXPECT_EQ(numbers->LoggerId(), -1);
    EXPECT_FALSE(numbers->Hidden());
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_NE(messages[0].Msg.find("cannot read the channel list"), std::string::npos);
    EXPECT_NE(messages[0].Msg.find("DL002"), std::string::npos);
    EXPECT_NE(messages[1].Msg.find("LoggerId=twelve"), std::string::npos);
    EXPECT_NE(messages[2].Msg.find("Hidden=maybe"), std::string::npos);
    EXPECT_NE(messages[3].Msg.find("dat_IDAlreadyExists"), std::string::npos);
    EXPECT_NE(messages[3].Msg.find("DL7"), std::string::npos);
    for (const auto& m : messages) EXPECT_EQ(m.Kind, TDevMsgKind::Error);
    EXPECT_EQ(root->FindNextId(1, 32767), 9);  // DL008 is taken though not loaded
  }
  EXPECT_EQ(Snapshot("DL002"), untouched_broken);
  EXPECT_EQ(Snapshot("DL7"), untouched_short);
  EXPECT_EQ(Snapshot("DL008"), untouched_foreign);
}

TEST_F(DeviceTree, EraseMakesTheBackupBeforeRemovingAnything) {
  auto root = LoadRoot();
  TDevice* keep = AddDevice(root.get(), "Keep", 1);
  root->SetLoggerId(1234);  // a new node takes its parent's logger id as its own id
  TDevice* gone = AddDevice(root.get(), "Gone", 5);
  EXPECT_EQ(gone->Kennung(), 1234);
  AddDevice(gone, "Slot");
  home.Write("DL005/KW2601.QVR", "week data");
  home.Write("DL005BAK/old.txt", "old backup");

  // Cancel at the first question, then at the overwrite question: nothing changes.
  answers = {false};
  root->EraseChild(gone, true);
  answers = {true, false};
  root->EraseChild(gone, true);
  EXPECT_EQ(root->ChildCount(), 2);
  EXPECT_EQ(home.Read("DL005BAK/old.txt"), "old backup");
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].Msg, "dev_ReallyClearDevice");
  EXPECT_EQ(messages[2].Msg, "dev_OverrBackup");

  answers = {true, true};
  int tree_changes = 0;
  root->OnTreeChange = [&](TDevice*) { ++tree_changes; };
  root->EraseChild(gone, true);
  EXPECT_EQ(tree_changes, 1);
  ASSERT_EQ(root->ChildCount(), 1);
  EXPECT_EQ(root->GetChild(0), keep);
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "DL005"));
  EXPECT_EQ(home.Read("DL005BAK/KW2601.QVR"), "week data");
  EXPECT_TRUE(std::filesystem::exists(home.Path() + "DL005BAK/DL000/Device.ini"));
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "DL005BAK/old.txt"));
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "DL005BAK~new"));
  auto events = archive.Audit.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TDY_AuditEventKind::DeviceDeleted);
  EXPECT_EQ(events[0].Subject, "1234");
  EXPECT_EQ(events[0].Comment, "audit_DevDelBackupDir " + home.Path() + "DL005BAK audit_BackupDirOW");
}

TEST_F(DeviceTree, FailedBackupLeavesChildFolderAndOldBackup) {
  auto root = LoadRoot();
  TDevice* gone = AddDevice(root.get(), "Gone", 5);
  home.Write("DL005BAK/old.txt", "old backup");
  home.Write("DL005BAK~new", "a file where the copy would go");
  const auto before = Snapshot();
  try {
    root->EraseChild(gone, false);
    ADD_FAILURE() << "erase did not fail";
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.Message(), "dev_EraseDevFailed");
  }
  EXPECT_EQ(root->ChildCount(), 1);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(archive.Audit.Events().empty());
}

TEST_F(DeviceTree, EraseWithoutConfirmationOverwritesTheBackupAndSaysSo) {
  auto root = LoadRoot();
  TDevice* gone = AddDevice(root.get(), "Gone", 2);
  home.Write("DL002BAK/old.txt", "old");
  root->EraseChild(gone, false);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(root->ChildCount(), 0);
  ASSERT_EQ(archive.Audit.Events().size(), 1u);
  EXPECT_NE(archive.Audit.Events()[0].Comment.find("audit_BackupDirOW"), std::string::npos);
  EXPECT_EQ(archive.Audit.Events()[0].Subject, "-1");
}

TEST_F(DeviceTree, ListsAndTreeTextsLeaveHiddenNodesOut) {
  auto root = LoadRoot();
  TDevice* logger = AddDevice(root.get(), "Cellar", 3);
  TDevice* slot = AddDevice(logger, "Slot");
  TDevice* below_slot = AddDevice(slot, "Below slot");
  TDevice* wall = AddDevice(logger, "North wall");
  TDevice* hidden_logger = AddDevice(root.get(), "Hidden one");
  slot->SetHidden(true);
  hidden_logger->SetHidden(true);

  TStringList lines;
  root->FillDevStrings(&lines, 0);
  EXPECT_EQ(lines.Text(), "DL003 Cellar\n   North wall\n");
  EXPECT_EQ(lines.GetObject(1), wall);
  lines.Clear();
  root->FillDevStrings(&lines, 2);
  EXPECT_EQ(lines.Text(), "  DL003 Cellar\n     North wall\n");

  EXPECT_EQ(slot->GetTreeIdName(), "DL003 Cellar");
  EXPECT_EQ(slot->GetTreeName(), "Cellar");
  EXPECT_EQ(below_slot->GetTreeIdName(), "DL003 Cellar\\\\ Below slot");
  EXPECT_EQ(hidden_logger->GetTreeIdName(), "DL004");
  EXPECT_EQ(hidden_logger->GetTreeName(), "");
  EXPECT_EQ(root->GetTreeIdName(), "");
  EXPECT_EQ(root->CountNodesOfKind(1), 5);
  EXPECT_EQ(root->CountNodesOfKind(0), 1);
  EXPECT_EQ(root->GetOutlineText("x"), "dev_OutlineRoot");
  EXPECT_EQ(logger->GetOutlineText("Cellar"), "DL003 Cellar");
  EXPECT_EQ(logger->GetOutlineText(""), "DL003");
  EXPECT_EQ(wall->GetOutlineText("North wall"), "North wall");
}

TEST_F(DeviceTree, ChangesReachTheRootWithTheNodeThatChanged) {
  auto root = LoadRoot();
  TDevice* logger = AddDevice(root.get(), "Cellar");
  TDevice* wall = AddDevice(logger, "Wall");
  std::vector<std::pair<std::string, TDevice*>> seen;
  root->OnChange = [&](TDevice* s) { seen.emplace_back("change", s); };
  root->OnTreeChange = [&](TDevice* s) { seen.emplace_back("tree", s); };
  wall->SetName("South wall");
  wall->SetName("South wall");  // unchanged: no event
  logger->SetDisabled(true);
  wall->SetHidden(true);
  AddDevice(logger, "Third");
  using Seen = std::vector<std::pair<std::string, TDevice*>>;
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], (Seen::value_type{"change", wall}));
  EXPECT_EQ(seen[1], (Seen::value_type{"change", logger}));
  EXPECT_EQ(seen[2], (Seen::value_type{"tree", wall}));
  EXPECT_EQ(seen[3], (Seen::value_type{"tree", logger}));
}

std::unique_ptr<TChannels> TwoValueChannels() {
  auto channels = TChannels::CreateDefault();
  channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 1, 1, 30, 0, 50, -10, "°C", "T", "Temperature"));
  channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 0, 1, 90, 10, 100, 0, "%", "H", "Humidity"));
  return channels;
}

TEST_F(DeviceTree, ChannelListsAreSavedAndLoadedWithTheirNodes) {
  {
    auto root = LoadRoot();
    AddDevice(root.get(), "Cellar", 1, TwoValueChannels());
    EXPECT_TRUE(std::filesystem::exists(home.Path() + "DL001/CHANNELS.CFG"));
  }
  const std::string stored = home.Read("DL001/CHANNELS.CFG");
  std::filesystem::rename(home.Path() + "DL001/CHANNELS.CFG", home.Path() + "DL001/channels.cfg");
  std::filesystem::rename(home.Path() + "DL001/Device.ini", home.Path() + "DL001/DEVICE.INI");
  {
    auto root = LoadRoot();
    ASSERT_EQ(root->ChildCount(), 1);
    TDevice* cellar = root->GetChild(0);
    EXPECT_EQ(cellar->Name(), "Cellar");
    ASSERT_NE(cellar->Channels(), nullptr);
    ASSERT_EQ(cellar->Channels()->ValueCount(), 2);
    EXPECT_EQ(cellar->Channels()->GetValueChannel(1)->Name(), "Humidity");
    auto copy = cellar->CreateCopy(root.get());
    EXPECT_TRUE(copy->IsNew());
    EXPECT_EQ(copy->Name(), "Cellar");
    EXPECT_EQ(copy->Channels()->ValueCount(), 2);
  }
  // Written back under the spelling found on disk, unchanged.
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "DL001/CHANNELS.CFG"));
  EXPECT_EQ(home.Read("DL001/channels.cfg"), stored);
  EXPECT_NE(home.Read("DL001/DEVICE.INI").find("Name=Cellar"), std::string::npos);
}

// A set-up that fails half-way (here: a full disk while the channel list is written) leaves no
// folder, no node in the tree and nothing that loads at the next start; the error names the
// file and the cause.
TEST_F(DeviceTree, ANewFolderAppearsOnlyWhenItsFilesAreComplete) {
  auto root = LoadRoot();
  TMemoryStream image;
  TwoValueChannels()->SaveToStream(image);
  auto node = TDevice::Create(root.get(), TwoValueChannels());
  node->SetId(1);
  node->SetName("Cellar");
  try {
    test::FileSizeLimit limit(static_cast<rlim_t>(image.Size() - 1));
    node->SetUpDevice();
    ADD_FAILURE() << "set-up succeeded on a full disk";
  } catch (const EWriteError& e) {
    EXPECT_NE(e.Message().find("CHANNELS.CFG\": File too large"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(root->ChildCount(), 0);
  EXPECT_TRUE(node->IsNew());
  EXPECT_EQ(node->Layer(), -1);
  EXPECT_TRUE(std::filesystem::is_empty(home.Path()));
  node.reset();
  EXPECT_EQ(LoadRoot()->ChildCount(), 0);

  // A crash while a folder was being made left one behind: it is neither loaded nor in the way.
  home.Write(".~qvnew-DL001-0/Device.ini", "[Device]\r\nName=half\r\n");
  auto again = TDevice::Create(root.get(), TwoValueChannels());
  again->SetId(1);
  again->SetName("Cellar");
  ASSERT_TRUE(again->SetUpDevice());
  again.release();
  EXPECT_EQ(home.Read("DL001/CHANNELS.CFG"), image.Bytes());
  auto reloaded = LoadRoot();
  ASSERT_EQ(reloaded->ChildCount(), 1);
  EXPECT_EQ(reloaded->GetChild(0)->Name(), "Cellar");
  EXPECT_EQ(reloaded->GetChild(0)->Channels()->ValueCount(), 2);
}

// Device.ini is rewritten once with all keys: a failure leaves the old file, never a mixture.
TEST_F(DeviceTree, DeviceIniIsRewrittenWholeOrNotAtAll) {
  home.Write("DL001/Device.ini", "[Device]\r\nName=Cellar\r\n");
  auto root = LoadRoot();
  ASSERT_EQ(root->ChildCount(), 1);
  const std::string old = DeviceIni("DL001");
  {
    test::FileSizeLimit limit(old.size() + 60);  // room for a few more keys, not for all
    EXPECT_THROW(root->GetChild(0)->WriteIni(), EIniFileException);
  }
  EXPECT_EQ(DeviceIni("DL001"), old);
  root->GetChild(0)->WriteIni();
  EXPECT_NE(DeviceIni("DL001").find("Hidden=0"), std::string::npos);
}

TEST_F(DeviceTree, DamagedChannelFileSkipsOnlyItsNode) {
  {
    auto root = LoadRoot();
    for (int32_t id : {1, 2, 3}) AddDevice(root.get(), "N" + std::to_string(id), id, TwoValueChannels());
  }
  const std::string good = home.Read("DL002/CHANNELS.CFG");
  home.Write("DL002/CHANNELS.CFG", good.substr(0, good.size() / 2));  // cut short
  home.Write("DL003/CHANNELS.CFG", "\x01\x02garbage");
  const auto before = Snapshot();
  {
    auto root = LoadRoot();
    ASSERT_EQ(root->ChildCount(), 1);
    EXPECT_EQ(root->GetChild(0)->Name(), "N1");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].Msg.find("DL002"), std::string::npos);
    EXPECT_NE(messages[1].Msg.find("DL003"), std::string::npos);
  }
  EXPECT_EQ(Snapshot(), before);
}

// A node with value channels opens its weekly data set, named after its place in the tree.
// Only the oldest and the newest week are looked at while the tree loads: a damaged week in
// between does not disturb the load, and its bytes stay as they are.
TEST_F(DeviceTree, WeeklyDataOpenWithTheNodeAndOnlyTheNeededWeeksAreRead) {
  const uint16_t monday = DateToDayNo(5, 1, 2026);
  {
    auto root = LoadRoot();
    TDevice* cellar = AddDevice(root.get(), "Cellar", 1, TwoValueChannels());
    cellar->SetLoggerId(4711);
    auto* data = dynamic_cast<TDtData*>(cellar->Data());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetName(), "DL001 Cellar");
    ASSERT_EQ(data->NewBuffer(), drDone);
    TDataLock lock(*data);
    for (int week = 0; week < 3; ++week) {
      TDtRecord rec(2);
      rec.Date = static_cast<uint16_t>(monday + 7 * week);
      rec.Time = 3600;
      rec.SetValues(0, week);
      ASSERT_EQ(data->InsertRecord(rec), drDone);
    }
    EXPECT_EQ(AddDevice(root.get(), "No values", 2)->Data(), nullptr);
  }  // the records are written as the tree is freed
  ASSERT_TRUE(std::filesystem::exists(home.Path() + "DL001/KW2602.QVR"));
  ASSERT_TRUE(std::filesystem::exists(home.Path() + "DL001/KW2604.QVR"));
  home.Write("DL001/KW2603.QVR", "not a data file");
  const auto before = Snapshot();
  {
    auto root = LoadRoot();
    TDevice* cellar = root->GetChild(0);
    auto* data = dynamic_cast<TDtData*>(cellar->Data());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->OldestDt.Date, monday);
    EXPECT_EQ(data->GetNewestDt().Date, monday + 14);
    cellar->SetName("Basement");
    EXPECT_EQ(data->GetName(), "DL001 Basement");
  }
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(home.Read("DL001/KW2603.QVR"), "not a data file");
  EXPECT_EQ(Snapshot().size(), before.size());
}

// The explorer's outline as a list of lines: parent index, text, element.
class RecordingOutline : public TExplOutline {
public:
  int AddChildObject(int parent_index, const std::string& text, void* object) override {
    nodes.push_back({parent_index, text, object});
    return static_cast<int>(nodes.size()) - 1;
  }
  struct Node {
    int parent;
    std::string text;
    void* object;
  };
  std::vector<Node> nodes;
};

class FakeDevEditor : public TDevEditor {
public:
  const TExplFrameClass* GetFrameClass() const override { return nullptr; }
  bool Validate() override {
    if (!id_read_only && OnCheckId && !OnCheckId(typed_id)) return false;
    Id = typed_id;
    return true;
  }
  void SetId(int32_t id) override { typed_id = id; }
  bool GetIdReadOnly() const override { return id_read_only; }
  void SetIdReadOnly(bool read_only) override { id_read_only = read_only; }
  std::string GetNameText() const override { return name; }
  void SetNameText(const std::string& text) override { name = text; }
  std::string GetSNameText() const override { return sname; }
  void SetSNameText(const std::string& text) override { sname = text; }
  int32_t typed_id = -1;
  bool id_read_only = false;
  std::string name, sname;
};

TEST_F(DeviceTree, OutlineShowsVisibleNodesAndTheirValueChannels) {
  auto root = LoadRoot();
  TDevice* cellar = AddDevice(root.get(), "Cellar", 3, TwoValueChannels());
  TDevice* slot = AddDevice(cellar, "Slot");
  slot->SetHidden(true);
  AddDevice(slot, "Below slot");
  RecordingOutline outline;
  root->FillOutline(&outline, -1, nullptr);
  ASSERT_EQ(outline.nodes.size(), 5u);
  EXPECT_EQ(outline.nodes[0].text, "dev_OutlineRoot");
  EXPECT_EQ(outline.nodes[0].object, nullptr);
  EXPECT_EQ(outline.nodes[1].text, "DL003 Cellar");
  EXPECT_EQ(outline.nodes[1].parent, 0);
  EXPECT_EQ(outline.nodes[1].object, static_cast<TExplElement*>(cellar));
  EXPECT_EQ(outline.nodes[2].text, "Below slot");  // the hidden slot's child, under the logger
  EXPECT_EQ(outline.nodes[2].parent, 1);
  EXPECT_EQ(outline.nodes[3].text, "Temperature");
  EXPECT_EQ(outline.nodes[4].parent, 1);
  EXPECT_THROW(root->FillOutline(nullptr, -1, nullptr), EDeviceError);
}

TEST_F(DeviceTree, EditorChangesAreCollectedAppliedOrCancelled) {
  SetDevEditorCreator([](TWinControl*) { return std::make_unique<FakeDevEditor>(); });
  auto root = LoadRoot();
  TDevice* cellar = AddDevice(root.get(), "Cellar", 3);
  cellar->SetLoggerId(4711);
  cellar->SetSName("C");
  AddDevice(root.get(), "Attic", 9);

  // A new node: its id may be edited, but not to one that is taken.
  auto fresh = TDevice::Create(root.get());
  fresh->SetId(root->FindNextId(1, 32767));
  fresh->CreateEditor(nullptr, nullptr, nullptr);
  auto* editor = static_cast<FakeDevEditor*>(fresh->Editor());
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->id_read_only);
  EXPECT_EQ(editor->typed_id, 10);
  editor->typed_id = 9;
  EXPECT_FALSE(fresh->AcceptEditor());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Kind, TDevMsgKind::Warning);
  editor->typed_id = 12;
  editor->name = "Garage";
  EXPECT_TRUE(fresh->AcceptEditor());
  EXPECT_TRUE(fresh->ApplyChanges());
  EXPECT_EQ(fresh->Id(), 12);
  EXPECT_EQ(fresh->Name(), "Garage");
  fresh->CloseEditor(false);

  // A loaded node: the id stays; name changes become change details.
  ChangeDetails.clear();
  cellar->CreateEditor(nullptr, nullptr, nullptr);
  editor = static_cast<FakeDevEditor*>(cellar->Editor());
  EXPECT_TRUE(editor->id_read_only);
  editor->name = "Basement";
  editor->sname = "B";
  ASSERT_TRUE(cellar->AcceptEditor());
  EXPECT_EQ(ChangeSubject, "4711");
  EXPECT_EQ(ChangeDetails,
            "\r\naudit_DevNameChange audit_From: Cellar audit_To: Basement "
            "\r\naudit_DevSNameChange audit_From: C audit_To: B");
  EXPECT_EQ(cellar->Name(), "Cellar");  // not before ApplyChanges
  cellar->CancelChanges();
  EXPECT_EQ(cellar->EditName(), "Cellar");
  EXPECT_TRUE(cellar->ApplyChanges());
  EXPECT_EQ(cellar->Name(), "Cellar");
  cellar->SetEditName("Basement");
  cellar->ApplyChanges();
  EXPECT_EQ(TIniFile2(home.File("DL003/Device.ini")).ReadString("Device", "Name", ""), "Basement");
  SetDevEditorCreator(nullptr);
}

class FakeMonitorBook : public TMonitorBookService {
public:
  int GetMonitorCount() const override { return static_cast<int>(titles.size()); }
  int GetTabIndex() const override { return tab; }
  void SetTabIndex(int index) override {
    if (index >= 0 && index < GetMonitorCount()) tab = index;
  }
  bool SetSelDiagramTitle(const std::string& title) override {
    if (!diagram[static_cast<size_t>(tab)]) return false;
    titles[static_cast<size_t>(tab)] = title;
    return true;
  }
  int tab = 1;
  std::vector<std::string> titles{"a", "b", "c"};
  std::vector<bool> diagram{true, false, true};
};

TEST_F(DeviceTree, ShortNameChangeRetitlesTheDiagramPages) {
  FakeMonitorBook book;
  MonitorBook = &book;
  auto root = LoadRoot();
  TDevice* cellar = AddDevice(root.get(), "Cellar", 3);
  cellar->SetEditSName("Cel");
  cellar->ApplyChanges();
  EXPECT_EQ(cellar->SName(), "Cel");
  EXPECT_EQ(book.titles, (std::vector<std::string>{"Cel: #1", "b", "Cel: #3"}));
  EXPECT_EQ(book.tab, 1);
  book.titles = {"a", "b", "c"};
  cellar->ApplyChanges();  // unchanged short name: no retitling
  EXPECT_EQ(book.titles[0], "a");
  MonitorBook = nullptr;
}

}  // namespace
}  // namespace qv
