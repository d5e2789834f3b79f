#include "comm/dev_handl_coll.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/ini_file.h"
#include "base/select_dlg.h"
#include "comm/process_window_service.h"
#include "comm_fixture.h"
#include "devices/device.h"
#include "fake_menu_items.h"

namespace qv {
namespace {

using test::EnglishTexts;
using test::Home;
using test::RecordingHandler;

// A handler that can do what its flags say and records the calls that reach it.
class FakeHandler : public TDevHandler0 {
public:
  std::string ClassName() const override { return "TFakeHndl"; }
  std::string GetName() const override { return "Fake"; }
  bool CanReadCfgAnonym() const override { return can_cfg; }
  bool CanReadMemAnonym() const override { return can_mem; }
  bool CanWriteConfig(TDevice*) const override { return can_cfg; }
  bool ReadCfgAnonym(bool, bool) override {
    calls.push_back("ReadCfgAnonym");
    return true;
  }
  bool WriteConfig(TDevice*, bool) override {
    calls.push_back("WriteConfig");
    return true;
  }
  bool can_cfg = true, can_mem = false;
  std::vector<std::string> calls;
};

class OtherHandler : public FakeHandler {
public:
  std::string ClassName() const override { return "TOtherHndl"; }
  std::string GetName() const override { return "Other"; }
};

// Supports nothing: every operation is the base's refusal.
class BareHandler : public TDevHandler0 {
public:
  std::string ClassName() const override { return "TBareHndl"; }
};

class Coll : public TDevHandlColl {
public:
  explicit Coll(bool with_other = true) {
    RegisterHndlType<BareHandler>();
    RegisterHndlType<FakeHandler>();
    if (with_other) RegisterHndlType<OtherHandler>();
    SelectStored();
  }
};

// A node whose type name names the handler family.
class TypedDevice : public TDevice {
public:
  std::string GetTypeName() const override { return "other logger"; }
};

TEST(DevHandler0, UnsupportedOperationsNameTheClass) {
  Home home;
  auto handler = TDevHandler0::Create<BareHandler>();
  BareHandler& h = *handler;
  bool changed = false;
  struct Case {
    const char* op;
    std::function<void()> call;
  } cases[] = {
      {"IdentifyDevice", [&] { h.IdentifyDevice(); }},
      {"ReadCfgAnonym", [&] { h.ReadCfgAnonym(true, true); }},
      {"ReadCfgDevice", [&] { h.ReadCfgDevice(nullptr, true, changed, false); }},
      {"WriteConfig", [&] { h.WriteConfig(nullptr, true); }},
      {"ReadMemAnonym", [&] { h.ReadMemAnonym(true, true); }},
      {"ReadMemDevice", [&] { h.ReadMemDevice(nullptr, true); }},
      {"ClearMemAnonym", [&] { h.ClearMemAnonym(true, true); }},
      {"ClearMemDevice", [&] { h.ClearMemDevice(nullptr, true); }},
      {"ReadOnline", [&] { h.ReadOnline(nullptr, true); }},
      {"SyncClock", [&] { h.SyncClock(true, true); }},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.op;
    } catch (const EInvalidOperation& e) {
      EXPECT_EQ(e.Message(), std::string("Error: function TBareHndl.") + c.op + " not supported");
    }
  }
  EXPECT_FALSE(h.Usable());
  EXPECT_FALSE(h.CanRecord());
  EXPECT_EQ(h.ConnTypeCount(), 1);
}

TEST(DevHandler0, SettingsReadTheirRangesAndWriteBack) {
  struct Case {
    const char* lines;
    std::function<void(const BareHandler&)> check;
  } cases[] = {
      {"BaudModem=0\n", [](const BareHandler& h) { EXPECT_EQ(h.Baud[ctModem], -1); }},
      {"BaudGSM=9600\n", [](const BareHandler& h) { EXPECT_EQ(h.Baud[ctGSM], 9600); }},
      {"HWFlowOptions=UseDTR-Foo-\n", [](const BareHandler& h) { EXPECT_EQ(h.HWFlowOptions, 0); }},
      {"HWFlowOptions=usedtr-RequireCTS-\n",
       [](const BareHandler& h) { EXPECT_EQ(h.HWFlowOptions, hwfUseDTR | hwfRequireCTS); }},
      {"SWFlowOptions=both\n", [](const BareHandler& h) { EXPECT_EQ(h.SWFlowOptions, swfBoth); }},
      {"SWFlowOptions=Sideways\n", [](const BareHandler& h) { EXPECT_EQ(h.SWFlowOptions, swfNone); }},
      {"SendDataTimeOut=4000\n", [](const BareHandler& h) { EXPECT_EQ(h.SendDataTimeOut, 5); }},
      {"DevRespTODirect=3600\n", [](const BareHandler& h) { EXPECT_EQ(h.GetAnswerTimeOut(), 3600); }},
      {"DataBits=0\nInSize=70000\nStopBits=3\n",
       [](const BareHandler& h) {
         EXPECT_EQ(h.DataBits, 8);
         EXPECT_EQ(h.InSize, 4096);
         EXPECT_EQ(h.StopBits, 1);
       }},
      {"Parity=EVEN\nConnType=gsm\nOutSize=512\n",
       [](const BareHandler& h) {
         EXPECT_EQ(h.Parity, pEven);
         EXPECT_EQ(h.ConnType, ctGSM);
         EXPECT_EQ(h.OutSize, 512);
       }},
  };
  for (const auto& c : cases) {
    Home home(std::string("[DHTBareHndl]\n") + c.lines);
    {
      auto h = TDevHandler0::Create<BareHandler>();
      c.check(*h);
      h->StoreSettings();
    }
    // What was written reads back the same.
    c.check(*TDevHandler0::Create<BareHandler>());
    TIniFile ini(IniFileName);
    EXPECT_FALSE(ini.ValueExists("DHTBareHndl", "BaudModem")) << c.lines;
    EXPECT_EQ(ini.ReadInteger("DHTBareHndl", "BaudDirect", 0), 19200);
  }
}

TEST(DevHandlColl, SelectionComesFromTheIniAndIsStored) {
  struct Case {
    const char* stored;
    int selected;
  } cases[] = {{"", 1}, {"TOtherHndl", 2}, {"TUnknownHndl", 1}, {"TBareHndl", 1}};
  for (const auto& c : cases) {
    Home home(std::string("[DevHandlColl]\nSelDeviceHndl=") + c.stored + "\n");
    {
      Coll coll;
      EXPECT_EQ(coll.SelIndex(), c.selected) << c.stored;
    }
    EXPECT_EQ(TIniFile(IniFileName).ReadString("DevHandlColl", "SelDeviceHndl", ""),
              c.selected == 2 ? "TOtherHndl" : "TFakeHndl");
  }
}

TEST(DevHandlColl, RegistrationAndDeletion) {
  Home home;
  Coll coll;
  coll.RegisterHndlType<FakeHandler>();
  EXPECT_EQ(coll.Count(), 3);
  try {
    coll.RegisterHndlType(TDevHandlColl::THandlerClass());
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error in TDevHandlColl.RegisterHndlType: Type of DeviceHandler not defined");
  }
  try {
    coll.DeleteHandler(3);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error in TDevHandlColl.DeleteHandler: index out of range!");
  }
  coll.DeleteHandler(1);
  EXPECT_EQ(coll.SelIndex(), -1);
  EXPECT_FALSE(coll.SelectHandler(0, false)) << "a handler that cannot read is never selected";
  EXPECT_TRUE(coll.SelectHandler(1, false));
}

TEST(DevHandlColl, CommandsReachTheSelectedHandlerOrAreRefused) {
  Home home;
  EnglishTexts texts;
  RecordingHandler messages;
  Coll coll;
  auto* fake = static_cast<FakeHandler*>(coll.Handlers(1));
  EXPECT_TRUE(coll.ReadCfgAnonym(true, true));
  EXPECT_EQ(fake->calls, std::vector<std::string>{"ReadCfgAnonym"});

  EXPECT_FALSE(coll.ReadMemAnonym(true, true));
  EXPECT_FALSE(coll.SyncClock(true, true));
  EXPECT_FALSE(coll.ReadOnline(nullptr, true));
  EXPECT_EQ(messages.Texts(mkWarning),
            (std::vector<std::string>(3, "The current device does not support this function.")));

  // A module goes to the first handler that accepts it, which becomes the selected one.
  TypedDevice module;
  coll.SelectHandler(2, false);
  EXPECT_TRUE(coll.WriteConfig(&module, true));
  EXPECT_EQ(coll.SelIndex(), 1);
  EXPECT_EQ(fake->calls.back(), "WriteConfig");

  fake->can_cfg = false;
  static_cast<FakeHandler*>(coll.Handlers(2))->can_cfg = false;
  static_cast<FakeHandler*>(coll.Handlers(2))->can_mem = true;
  bool changed = false;
  EXPECT_FALSE(coll.ReadCfgDevice(&module, true, changed, false));
  EXPECT_EQ(messages.Texts(mkWarning).back(), "This device is not supported.");

  Home empty_home;
  TDevHandlColl none;
  EXPECT_FALSE(none.ReadCfgAnonym(true, true));
  EXPECT_FALSE(none.WriteConfig(&module, true));
  EXPECT_EQ(messages.Texts(mkWarning).back(), "No device type is selected.");
  EXPECT_EQ(messages.Texts(mkWarning).size(), 6u);
}

TEST(DevHandlColl, SelectByModulUsesTheTypeName) {
  Home home;
  Coll coll;
  TypedDevice module;
  EXPECT_TRUE(coll.SelectByModul(&module));
  EXPECT_EQ(coll.SelIndex(), 2);
}

TEST(DevHandlColl, MenusFollowTheHandlers) {
  Home home;
  struct Case {
    bool with_other;
    bool type_visible, type_enabled, cfg_enabled, mem_enabled;
  } cases[] = {
      {false, false, true, true, false},
      {true, true, true, true, false},
  };
  test::FakeMenuItemHook hook;
  for (const auto& c : cases) {
    test::FakeMenuItem type, cfg, mem, clear, clock;
    Coll coll(c.with_other);
    coll.SetDevTypeMenu(type.Handle());
    coll.SetReadCfgMenu(cfg.Handle());
    coll.SetReadMemMenu(mem.Handle());
    coll.SetClearMemMenu(clear.Handle());
    coll.SetSyncClockMenu(clock.Handle());
    coll.UpdateMenus();
    EXPECT_EQ(type.visible, c.type_visible);
    EXPECT_EQ(type.enabled, c.type_enabled);
    EXPECT_EQ(cfg.enabled, c.cfg_enabled);
    EXPECT_EQ(mem.enabled, c.mem_enabled);
    EXPECT_FALSE(clear.enabled);
    EXPECT_FALSE(clock.enabled);
    // A window going before the collection takes its item back; it is no longer driven.
    coll.SetReadMemMenu(nullptr);
    EXPECT_EQ(mem.click, nullptr);
    mem.enabled = true;
    coll.UpdateMenus();
    EXPECT_TRUE(mem.enabled);
  }
}

TEST(DevHandlColl, TheTypeDialogOffersTheHandlersByName) {
  Home home;
  Coll coll;
  std::vector<std::string> offered;
  int32_t preselected = -2;
  SelectDlgProc = [&](const std::string&, const std::string&, const std::string&, uint8_t, TStringList& list,
                      int32_t& index) {
    for (int i = 0; i < list.Count(); ++i) offered.push_back(list[i]);
    preselected = index;
    index = 2;
    return mrOk;
  };
  coll.SelectTypeOfInstr();
  SelectDlgProc = nullptr;
  EXPECT_EQ(offered, (std::vector<std::string>{"", "Fake", "Other"}));
  EXPECT_EQ(preselected, 1);
  EXPECT_EQ(coll.SelIndex(), 2);
}

TEST(DevHandlColl, InstallsItselfAsTheModulesService) {
  Home home;
  {
    Coll coll;
    EXPECT_EQ(DevHandlService, &coll);
  }
  EXPECT_EQ(DevHandlService, nullptr);
}

}  // namespace
}  // namespace qv
