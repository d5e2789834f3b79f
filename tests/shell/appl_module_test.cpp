#include "shell/appl_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "base/idle_task_manager.h"
#include "base/info_data.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "comm/connection.h"
#include "comm/dev_handl_coll.h"
#include "comm/recorder.h"
#include "comm/tv10_dev_hndl.h"
#include "comm/comm_fixture.h"
#include "datastore/dt_data.h"
#include "devices/tv10_modul.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "platform/gui/forms.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// A home folder with the given INI text; runs the logger family's module chain in it and
// records each step.
class ModuleChain : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    ExePath = dir.Path();
    IniFileName = dir.File("quarvel.INI");
    // Without the later layers' factories and without dialogs (questions take their default),
    // whatever an earlier test of the process installed.
    UnregisterLaterLayers();
    saved_dialogs_ = MsgDialogProc;
    MsgDialogProc = nullptr;
  }
  void TearDown() override {
    SetMessageDlgAnswerer(nullptr);
    UnregisterLaterLayers();
    MsgDialogProc = saved_dialogs_;
    delete MsgHandler;
    MsgHandler = nullptr;
  }
  static void UnregisterLaterLayers() {
    for (const char* name : {"PhoneBook", "Autobac", "Recorder", "ExportManager", "TTv10DevHndlColl"})
      UnregisterApplObjectFactory(name);
  }
  TTv10AppModul* Start() {
    return CreateApplModule<TTv10AppModul>(
        nullptr, [this](TTv10AppModul& m) { m.OnStep = [this](const std::string& s) { steps.push_back(s); }; });
  }
  // Registers a stand-in for an object a later layer builds; its creation and free are steps.
  void RegisterStandIn(const std::string& name) {
    RegisterApplObjectFactory(name, {[] {}, [] {}});
  }
  void Finish(TTv10AppModul* m) {
    delete m;
    delete MsgHandler;
    MsgHandler = nullptr;
  }
  TMsgDialogProc saved_dialogs_;
  test::TempDir dir;
  std::vector<std::string> steps;
};

TEST_F(ModuleChain, CreatesInOrderAndFreesInTheGivenOrder) {
  for (const char* name : {"PhoneBook", "Autobac", "Recorder", "ExportManager"}) RegisterStandIn(name);
  TTv10AppModul* m = Start();
  EXPECT_EQ(ApplModule, m);
  EXPECT_NE(InfoData, nullptr);
  EXPECT_NE(MsgHandler, nullptr);
  ASSERT_NE(DevClassRegistry, nullptr);
  EXPECT_NE(DevClassRegistry->FindClass("TTv10Modul"), nullptr);  // the family's registry
  EXPECT_NE(Connection, nullptr);
  EXPECT_NE(DevHandlColl, nullptr);
  EXPECT_NE(IdleTaskManager, nullptr);
  EXPECT_NE(DbShell, nullptr);
  EXPECT_TRUE(Application->OnIdle);
  EXPECT_TRUE(Application->OnException);
  EXPECT_EQ(InfoData->VersionText(), "Quarvel V" + VersionText);
  const std::vector<std::string> created = {
      "Create InfoData", "Create MsgHandler", "Create DevClassRegistry", "Create PhoneBook",
      "Create Autobac",  "Create Connection", "Create DevHandlColl",     "Create IdleTaskManager",
      "Create Recorder", "Create DbShell",    "Create ExportManager",
  };
  EXPECT_EQ(steps, created);
  steps.clear();
  delete m;
  const std::vector<std::string> freed = {
      "Free DbShell",         "Free DevHandlColl",  "Free Connection", "Free PhoneBook",
      "Free Autobac",         "Free ExportManager", "Free Recorder",   "Free DevClassRegistry",
      "Free IdleTaskManager", "Write Main",         "Free InfoData",
  };
  EXPECT_EQ(steps, freed);
  EXPECT_EQ(ApplModule, nullptr);
  for (const void* global : {static_cast<const void*>(InfoData), static_cast<const void*>(DevClassRegistry),
                             static_cast<const void*>(Connection), static_cast<const void*>(DevHandlColl),
                             static_cast<const void*>(IdleTaskManager), static_cast<const void*>(DbShell)})
    EXPECT_EQ(global, nullptr);
  EXPECT_FALSE(Application->OnIdle);
  EXPECT_FALSE(Application->OnException);
  // The message handler outlives the module and goes last.
  EXPECT_NE(MsgHandler, nullptr);
}

TEST_F(ModuleChain, ObjectsOfLaterLayersAreStepsUntilTheirFactoriesExist) {
  TTv10AppModul* m = Start();
  EXPECT_EQ(steps[3], "Create PhoneBook (not built)");
  EXPECT_EQ(steps[6], "Create DevHandlColl");  // the plain collection until the family's exists
  EXPECT_EQ(steps.back(), "Create ExportManager (not built)");
  Finish(m);
  // The family's collection, once registered, takes the plain one's place and is freed by its
  // own factory.
  int family = 0;
  RegisterApplObjectFactory("TTv10DevHndlColl", {[&] {
                                                   ++family;
                                                   DevHandlColl = new TDevHandlColl();
                                                 },
                                                 [&] {
                                                   --family;
                                                   delete DevHandlColl;
                                                 }});
  steps.clear();
  m = Start();
  EXPECT_EQ(family, 1);
  EXPECT_EQ(steps[6], "Create DevHandlColl");
  steps.clear();
  Finish(m);
  EXPECT_EQ(family, 0);
  EXPECT_EQ(DevHandlColl, nullptr);
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "Free DevHandlColl"), 1);
}

TEST_F(ModuleChain, IniVersionAndUpdateStart) {
  struct Case {
    const char* ini;
    bool update;
    bool rewritten;
  };
  const std::string current = GetExeVersionText();
  // The version is the major and the minor number, as "%d.%d" formats them.
  EXPECT_EQ(current, std::to_string(QV_VERSION_MAJOR) + "." + std::to_string(QV_VERSION_MINOR));
  const Case cases[] = {
      {"[Main]\r\nDoUpdate=1\r\n", true, true},
      {"[Main]\r\nIniVersion=0.9\r\nDoUpdate=1\r\n", false, true},
      // Written by builds that stored three numbers: read as a stored version, no update start.
      {"[Main]\r\nIniVersion=2.0.0\r\nDoUpdate=1\r\n", false, true},
      {"[Main]\r\nDoUpdate=yes\r\n", false, true},  // unreadable: the default 0
      {"", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    dir.Write("quarvel.INI", c.ini);
    TTv10AppModul* m = Start();
    EXPECT_EQ(DoUpdate, c.update);
    Finish(m);
    TIniFile2 ini(IniFileName);
    EXPECT_EQ(ini.ReadString("Main", "IniVersion", ""), current);
    EXPECT_EQ(ini.ReadInteger("Main", "DoUpdate", -1), 0);
  }
  // The same version: the file is left as it is.
  const std::string same = "[Main]\r\nIniVersion=" + current + "\r\nDoUpdate=1\r\n";
  dir.Write("quarvel.INI", same);
  Finish(Start());
  EXPECT_FALSE(DoUpdate);
  TIniFile2 ini(IniFileName);
  EXPECT_EQ(ini.ReadInteger("Main", "DoUpdate", -1), 1);
}

TEST_F(ModuleChain, ChainThatFailsFreesWhatItMadeAndKeepsTheUpdateStart) {
  RegisterApplObjectFactory("Recorder", {[] { throw Exception("recorder broken"); }, [] {}});
  dir.Write("quarvel.INI", "[Main]\r\nDoUpdate=1\r\n");
  EXPECT_THROW(Start(), Exception);
  EXPECT_EQ(ApplModule, nullptr);
  EXPECT_EQ(Connection, nullptr);
  EXPECT_EQ(IdleTaskManager, nullptr);
  EXPECT_EQ(DevClassRegistry, nullptr);
  EXPECT_EQ(InfoData, nullptr);
  // The program never ran: the next start is still the first after the update.
  TIniFile2 ini(IniFileName);
  EXPECT_FALSE(ini.ValueExists("Main", "IniVersion"));
  EXPECT_EQ(ini.ReadInteger("Main", "DoUpdate", -1), 1);
}

TEST_F(ModuleChain, ExceptionHookLogsThenShows) {
  TTv10AppModul* m = Start();
  MsgHandler->SetModes(MsgHandler->Modes() | (1u << 0));  // protocol logging
  std::string shown;
  SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
    shown = msg;
    return static_cast<int>(mrOk);
  });
  Application->OnException(nullptr, EConvertError("bad number"));
  SetMessageDlgAnswerer(nullptr);
  EXPECT_NE(shown.find("bad number"), std::string::npos);
  const std::string log = dir.Read("Protocol.log");
  EXPECT_NE(log.find("APPLICATION Exception: EConvertError"), std::string::npos);
  EXPECT_NE(log.find("bad number"), std::string::npos);
  Finish(m);
}

TEST(HelpFile, LanguageSuffixesAndTheEnglishFallback) {
  test::TempDir dir;
  const std::string program = dir.Path() + "with.dots/quarvel";
  dir.Write("with.dots/quarvel_HU.HLP", "help");
  EXPECT_EQ(HelpFileName(program, 14), dir.Path() + "with.dots/quarvel_HU.HLP");
  EXPECT_EQ(HelpFileName(program, 7), dir.Path() + "with.dots/quarvel_E.HLP");  // _D missing
  EXPECT_EQ(HelpFileName(program, 9), dir.Path() + "with.dots/quarvel_E.HLP");
  EXPECT_EQ(HelpFileName(program + ".exe", 99), dir.Path() + "with.dots/quarvel_E.HLP");
}

TEST_F(ModuleChain, RegistryKeyFollowsTheProfile) {
  Finish(Start());
  EXPECT_EQ(RegistryKey, "\\Software\\Quarvel\\Qv2");
  dir.Write("Registry.ini", "[Software\\Quarvel\\Qv2_tv10\\Profile]\r\nA=1\r\n");
  Finish(Start());
  EXPECT_EQ(RegistryKey, "\\Software\\Quarvel\\Qv2_tv10");
}

TEST_F(ModuleChain, ErasingAKeyTakesTheKeysBelowItAndLeavesItsNeighbours) {
  dir.Write("Registry.ini",
            "[Software\\Q\\Profile\\AutoMonitors\\DEVICES\\D1]\r\nA=1\r\n"
            "[\\Software\\Q\\Profile\\AutoMonitors\\devices\\d1\\Page1]\r\nB=2\r\n"
            "[Software\\Q\\Profile\\AutoMonitors\\DEVICES\\D10]\r\nC=3\r\n");
  EraseRegistryKey("\\Software\\Q\\Profile\\AutoMonitors\\DEVICES\\D1");
  const std::string left = dir.Read("Registry.ini");
  EXPECT_EQ(left.find("A=1"), std::string::npos) << left;
  EXPECT_EQ(left.find("B=2"), std::string::npos) << left;
  EXPECT_NE(left.find("[Software\\Q\\Profile\\AutoMonitors\\DEVICES\\D10]"), std::string::npos) << left;
}

// A recording that runs when the program ends is stopped first: it saves its samples through
// the device tree and the handlers before they are freed.
TEST_F(ModuleChain, ARecordingRunningAtTheEndIsSavedBeforeTheDevicesGo) {
  sim::SimConfig config;
  config.SetKind(7);
  config.id = 0x2345;
  config.sample = 1;
  sim::PtyLogger logger(config);
  const std::string link = dir.File("ttyLogger");
  std::filesystem::create_symlink(logger.SlavePath(), link);
  dir.Write("quarvel.INI", "[SerialPorts]\r\nCOM9=" + link + "\r\n");
  SetMainThread();
  InstallComPortMap();
  logger.Start();
  test::FakeWindowFactory windows;
  RegisterApplObjectFactory("TTv10DevHndlColl", {[] { DevHandlColl = new TTv10DevHndlColl(); },
                                                 [] {
                                                   delete DevHandlColl;
                                                   DevHandlColl = nullptr;
                                                 }});
  RegisterApplObjectFactory("Recorder", {[] {
                                           new TRecorder();
                                           DevHandlColl->BindRecorder(Recorder);
                                         },
                                         [] { delete Recorder; }});
  TTv10AppModul* m = Start();
  Connection->Port()->SetComNumber(test::LoggerLine::kCom);
  ASSERT_NE(Recorder, nullptr);
  // The recorder's battery note is read and closed.
  SetMessageDlgAnswerer([](const std::string&, TMsgDlgType, TMsgDlgButtons) { return static_cast<int>(mrOk); });
  Recorder->Start();
  ASSERT_TRUE(Recorder->Running());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Recorder->SamplesTaken() < 2 && std::chrono::steady_clock::now() < end) WaitAndProcessMessages(20);
  ASSERT_GE(Recorder->SamplesTaken(), 2);
  steps.clear();
  delete m;
  const auto stop = std::find(steps.begin(), steps.end(), "Stop Recorder");
  ASSERT_NE(stop, steps.end());
  EXPECT_LT(stop - steps.begin(), std::find(steps.begin(), steps.end(), "Free DbShell") - steps.begin());
  EXPECT_EQ(Recorder, nullptr);
  logger.Stop();

  // The tree read afresh holds the samples.
  TTv10DevClassReg registry;
  DevClassRegistry = &registry;
  {
    TDbShell shell;
    ASSERT_EQ(shell.Root()->ChildCount(), 1);
    auto* module = dynamic_cast<TTv10Modul*>(shell.Root()->GetChild(0));
    ASSERT_NE(module, nullptr);
    auto* data = dynamic_cast<TDtData*>(module->GetSubModul(1)->Data());
    ASSERT_NE(data, nullptr);
    TDtStamp from{static_cast<uint16_t>(TodayDayNo() - 1), 0}, to{static_cast<uint16_t>(TodayDayNo() + 1), 86399};
    data->OpenDT(from, to, NoDtStamp, NoDtStamp);
    TDataLock lock(*data);
    data->SelectWindow(1);
    int samples = 0;
    for (bool ok = data->First(); ok; ok = data->Next()) samples += data->DtRec()->IsEmpty() ? 0 : 1;
    EXPECT_GE(samples, 2);
  }
  DevClassRegistry = nullptr;
  SetComPortMapHook(nullptr);
}

}  // namespace
}  // namespace qv
