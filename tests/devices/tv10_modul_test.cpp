// The logger module and its sensor slots: the configuration block byte by byte, slot matching,
// transmission through the handler collection, and what they keep in their files.
#include "devices/tv10_modul.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "datastore/kw_week.h"
#include "device_fixture.h"
#include "devices/dev_handl_service.h"
#include "platform/rtl/date_time.h"
#include "sim_config.h"
#include "tv10_golden_blocks.h"

namespace qv {
namespace {

using namespace test;  // the golden blocks

class FakeLogger : public TDevHandlService {
public:
  FakeLogger() { DevHandlService = this; }
  ~FakeLogger() override { DevHandlService = nullptr; }
  bool ReadCfgDevice(TDevice* module, bool, bool& changed, bool) override {
    ++reads;
    if (fail_reads-- > 0) return false;
    auto* m = static_cast<TTv10Modul*>(module);
    Fill(m->EEImage(), block);
    m->ReadEEPar(&m->EEImage(), changed, 0, m->TavraTyp());
    return true;
  }
  bool WriteConfig(TDevice* module, bool) override {
    ++writes;
    if (fail_writes) return false;
    block = static_cast<TTv10Modul*>(module)->EEImage().Bytes();
    return true;
  }
  void CloseConnection() override { ++closes; }
  void EditConnection() override {}
  std::string block;
  int reads = 0, writes = 0, closes = 0, fail_reads = 0;
  bool fail_writes = false;
};

class Tv10Modul : public test::DeviceFixture {
protected:
  Tv10Modul() : registry10() {
    DevClassRegistry = &registry10;
    SetDefaultWallClock(&clock);
  }
  ~Tv10Modul() override { SetDefaultWallClock(nullptr); }

  // A new logger of the kind below the root, set up with one sub-module per slot.
  TTv10Modul* AddLogger(TDevice* root, uint8_t kind, int32_t id = 42) {
    auto module = TDevice::Create<TTv10Modul>(root);
    module->SetTavraTyp(kind);
    module->SetKennung(id);
    module->SetId(root->FindNextId(1, TDevice::MaxId));
    EXPECT_TRUE(module->SetUpDevice());
    return module.release();
  }
  // The logger after reading block.
  TTv10Modul* ReadLogger(TDevice* root, uint8_t kind, const std::string& block, bool* changed_out = nullptr) {
    TTv10Modul* m = AddLogger(root, kind);
    TMemoryStream2 s;
    Fill(s, block);
    bool changed = false;
    m->ReadEEPar(&s, changed, 0, kind);
    if (changed_out) *changed_out = changed;
    return m;
  }
  static std::string Written(TTv10Modul* m, bool buffered = false) {
    TMemoryStream2 out;
    if (buffered)
      m->WriteEEBufPar(&out);
    else
      m->WriteEEPar(&out);
    return out.Bytes();
  }
  static TTv10SubModul* Slot(TTv10Modul* m, int slot) { return static_cast<TTv10SubModul*>(m->GetSubModul(slot)); }

  TTv10DevClassReg registry10;
  TFixedClock clock{EncodeDate(2026, 12, 10)};
};

TEST_F(Tv10Modul, GoldenBlocksParseAndWriteBackByteForByte) {
  struct Case {
    uint8_t kind;
    const Bytes& block;
    std::function<void(TTv10Modul*)> check;
  } cases[] = {
      {5, kKind5,
       [](TTv10Modul* m) {
         EXPECT_EQ(m->SerialNo, 1234);
         EXPECT_EQ(m->MonthYear, 1224);
         EXPECT_EQ(m->SName(), "Cellar");
         EXPECT_EQ(m->Kennung(), 42);
         EXPECT_EQ(m->SampleIntIdx.Value, 3);
         EXPECT_EQ(m->SaveIntIdx.Value, 4);
         EXPECT_FLOAT_EQ(m->LocalHeight.Value, 123.4f);
         EXPECT_EQ(m->StoringMode.Value, 1);
         EXPECT_TRUE(m->StorCircular.Value);
         TTv10SubModul* s1 = Slot(m, 1);
         EXPECT_EQ(s1->SName(), "Air");
         EXPECT_EQ(s1->Unit(), "°C");
         EXPECT_FLOAT_EQ(s1->ValMin(), -40);
         EXPECT_DOUBLE_EQ(s1->AlarmMin(), 0);
         EXPECT_DOUBLE_EQ(s1->AlarmMax(), 30);
         EXPECT_DOUBLE_EQ(s1->AlarmHyst.Value, 1.0);
         EXPECT_FLOAT_EQ(s1->Offset.Value, -0.5f);
         EXPECT_TRUE(s1->AlarmAtSample.Value);
         EXPECT_FALSE(Slot(m, 2)->AlarmAtSample.Value);
         EXPECT_DOUBLE_EQ(Slot(m, 2)->AlarmHyst.Value, 2.5);
       }},
      {6, kKind6,
       [](TTv10Modul* m) {
         EXPECT_EQ(m->SName(), "Rooftop-Nord");
         EXPECT_EQ(m->SubModuls().size(), 4u);
         EXPECT_EQ(Slot(m, 4)->SName(), "F2");
         EXPECT_EQ(Slot(m, 4)->Unit(), "°F");
         EXPECT_FLOAT_EQ(Slot(m, 4)->Offset.Value, -20.0f);
         EXPECT_FLOAT_EQ(Slot(m, 3)->Offset.Value, 20.0f);
         EXPECT_FLOAT_EQ(m->LocalHeight.Value, -12.5f);
         EXPECT_TRUE(m->PreSelEnabled.Value);
         EXPECT_DOUBLE_EQ(m->PreSelDateTime.Value, EncodeDate(2030, 5, 6) + EncodeTime(7, 8, 9, 0));
         EXPECT_EQ(m->StoringMode.Value, 7);
         EXPECT_FALSE(m->StorCircular.Value);
       }},
      {7, kKind7,
       [](TTv10Modul* m) {
         EXPECT_EQ(Slot(m, 1)->SName(), "");
         EXPECT_DOUBLE_EQ(Slot(m, 1)->AlarmMin(), 0);
         EXPECT_DOUBLE_EQ(Slot(m, 1)->AlarmMax(), 100);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    auto root = LoadRoot();
    TTv10Modul* m = ReadLogger(root.get(), c.kind, AsString(c.block));
    EXPECT_EQ(m->EEState(), eeRead);
    c.check(m);
    EXPECT_EQ(Written(m), AsString(c.block));
    EXPECT_EQ(Written(m, true), AsString(c.block)) << "nothing pending yet";
    // A second parse of the same block reports no change.
    TMemoryStream2 s;
    Fill(s, AsString(c.block));
    bool changed = false;
    m->ReadEEPar(&s, changed, 0, c.kind);
    EXPECT_FALSE(changed);
  }
}

TEST_F(Tv10Modul, TheSimulatorsBlocksRoundTrip) {
  // The logger simulator builds its blocks on its own; kinds 5 and 6 keep every field.
  for (int kind : {5, 6}) {
    SCOPED_TRACE(kind);
    sim::SimConfig config;
    config.ApplySetting("kind", std::to_string(kind));
    const sim::Bytes image = config.BuildImage();
    const std::string block(image.begin(), image.end());
    auto root = LoadRoot();
    bool changed = false;
    TTv10Modul* m = ReadLogger(root.get(), static_cast<uint8_t>(kind), block, &changed);
    EXPECT_EQ(m->EEState(), eeRead);
    EXPECT_EQ(Written(m), block);
  }
}

TEST_F(Tv10Modul, EditedValuesGoIntoThePendingBlockOnly) {
  auto root = LoadRoot();
  TTv10Modul* m = ReadLogger(root.get(), 5, AsString(kKind5));
  m->SampleIntIdx.Edit = 1;  // 10 s
  m->LocalHeight.Edit = 2500;
  TTv10SubModul* s1 = Slot(m, 1);
  s1->AlarmMaxEdit = 150;  // above the range
  s1->Offset.Edit = 25;
  m->SetSName("A-very-long-name");
  EXPECT_TRUE(m->ApplyEEChanges());
  EXPECT_TRUE(s1->ApplyEEChanges());
  EXPECT_EQ(m->EEState(), eeChanged);
  Bytes expected = kKind5;
  const char name[] = "A-very-long-";
  std::copy(name, name + 12, expected.begin() + 11);
  expected[50] = 10;
  expected[56] = 0x20, expected[57] = 0x4E;  // 20000: the height's limit
  expected[70] = 0xF0, expected[71] = 0xFF;  // 65520: above the range
  expected[78] = 200, expected[79] = 0;      // the offset's limit
  EXPECT_EQ(Written(m, true), AsString(expected));
  EXPECT_EQ(Written(m), AsString(kKind5));

  // Read back, the saturated values are the range's and the limits'.
  auto other = LoadRoot();
  TTv10Modul* back = ReadLogger(root.get(), 5, AsString(expected));
  EXPECT_DOUBLE_EQ(Slot(back, 1)->AlarmMax(), Slot(back, 1)->ValMax());
  EXPECT_FLOAT_EQ(back->LocalHeight.Value, 2000);
  EXPECT_EQ(back->SName(), "A-very-long-");
  EXPECT_EQ(Written(back), AsString(expected));
}

TEST_F(Tv10Modul, FieldsReadAsTheirTablesAndLimitsSay) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, Bytes>> patch;
    std::function<void(TTv10Modul*)> check;
  } cases[] = {
      {"sample 45 s", {{50, {45, 0, 0, 0}}}, [](TTv10Modul* m) { EXPECT_EQ(m->SampleIntIdx.Value, 2); }},
      {"save 5 min", {{54, {5, 0}}}, [](TTv10Modul* m) { EXPECT_EQ(m->SaveIntIdx.Value, 3); }},
      {"save below sample",
       {{50, {0x58, 0x02, 0, 0}}, {54, {1, 0}}},
       [](TTv10Modul* m) { EXPECT_EQ(m->SaveIntIdx.Value, 4); }},
      {"height -5000", {{56, {0x78, 0xEC}}}, [](TTv10Modul* m) { EXPECT_FLOAT_EQ(m->LocalHeight.Value, -100); }},
      {"id 0", {{47, {0, 0}}}, [](TTv10Modul* m) { EXPECT_EQ(m->Kennung(), 42); }},
      {"preselection in the past",
       {{58, {1, 20, 1, 1, 0, 0, 0}}},
       [](TTv10Modul* m) {
         EXPECT_FALSE(m->PreSelEnabled.Value);
         EXPECT_DOUBLE_EQ(m->PreSelDateTime.Value, EncodeDate(2000, 1, 1));
       }},
      {"erased hysteresis", {{72, {0xFF, 0xFF}}}, [](TTv10Modul* m) { EXPECT_EQ(Slot(m, 1)->AlarmHyst.Value, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes block = kKind5;
    for (const auto& [offset, bytes] : c.patch) std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
    auto root = LoadRoot();
    c.check(ReadLogger(root.get(), 5, AsString(block)));
  }
}

TEST_F(Tv10Modul, RangesBeyondTheSignedFieldRoundTrip) {
  // Board 4's °F sensor spans 122..3308 °F: 33080 tenths do not fit a signed field.
  Bytes block = kKind5;
  block[65] = 4;
  block[66] = 2, block[67] = 0x19;
  block[74] = 0xC4, block[75] = 0x04;  // 1220
  block[76] = 0x38, block[77] = 0x81;  // 33080
  block[80] = 129;                     // slot 2: a °C sensor of the board
  auto root = LoadRoot();
  TTv10Modul* m = ReadLogger(root.get(), 5, AsString(block));
  EXPECT_FLOAT_EQ(Slot(m, 1)->ValMax(), 3308);
  EXPECT_EQ(Written(m), AsString(block));
  TMemoryStream2 s;
  Fill(s, AsString(block));
  bool changed = false;
  m->ReadEEPar(&s, changed, 0, 5);
  EXPECT_FALSE(changed);
}

TEST_F(Tv10Modul, DamagedBlocksAreRefusedAndChangeNothing) {
  Bytes unknown_sensor = kKind5;
  unknown_sensor[80] = 99;
  Bytes unknown_board = kKind5;
  unknown_board[65] = 15;
  // Slot 1's range at 74 (minimum) and 76 (maximum), slot 2's at 88 and 90.
  Bytes empty_range = kKind5;
  std::copy_n(empty_range.begin() + 74, 2, empty_range.begin() + 76);
  Bytes reversed_range = kKind5;
  reversed_range[88] = 0xF4, reversed_range[89] = 0x01;  // 500
  reversed_range[90] = 0x64, reversed_range[91] = 0x00;  // 100
  struct Case {
    uint8_t kind;
    std::string block;
    const char* error;
  } cases[] = {
      {5, AsString(kKind5).substr(0, 93), "TTv10Modul.ReadEEPar: configuration block too short"},
      {6, AsString(kKind5), "TTv10Modul.ReadEEPar: configuration block too short"},
      {5, AsString(unknown_sensor), "TTv10SubModul.SetSensorInfo: invalid SensorType/Pcb/E²Version"},
      {5, AsString(unknown_board), "TTv10SubModul.SetSensorInfo: invalid SensorType/Pcb/E²Version"},
      {5, AsString(empty_range), "TTv10Modul.ReadEEPar: the measuring range of slot 1 is empty or reversed"},
      {5, AsString(reversed_range), "TTv10Modul.ReadEEPar: the measuring range of slot 2 is empty or reversed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    auto root = LoadRoot();
    TTv10Modul* m = ReadLogger(root.get(), c.kind, AsString(c.kind == 6 ? kKind6 : kKind5));
    TMemoryStream2 s;
    Fill(s, c.block);
    bool changed = false;
    try {
      m->ReadEEPar(&s, changed, 0, c.kind);
      ADD_FAILURE();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.error);
    }
    EXPECT_FALSE(changed);
    EXPECT_EQ(Written(m), AsString(c.kind == 6 ? kKind6 : kKind5));
  }
}

TEST_F(Tv10Modul, SlotsWithLoggedDataAreNeverReusedForAnotherSensor) {
  for (bool with_data : {true, false}) {
    SCOPED_TRACE(with_data);
    auto root = LoadRoot();
    TTv10Modul* m = ReadLogger(root.get(), 5, AsString(kKind5));
    TTv10SubModul* old = Slot(m, 1);
    if (with_data) std::ofstream(old->Dir() + KwFileNameOfKey(202450)) << "x";
    Bytes block = kKind5;
    block[66] = 2;  // °F instead of °C
    TMemoryStream2 s;
    Fill(s, AsString(block));
    bool changed = false;
    m->ReadEEPar(&s, changed, 0, 5);
    EXPECT_TRUE(changed);
    EXPECT_EQ(Slot(m, 1)->SensorType, 2);
    EXPECT_EQ(Slot(m, 1) != old, with_data);
    EXPECT_EQ(old->ModChanNum, with_data ? 0 : 1);
    EXPECT_EQ(m->SubModuls().size(), with_data ? 3u : 2u);
  }
}

TEST_F(Tv10Modul, RawValuesScaleOverTheRange) {
  auto root = LoadRoot();
  TTv10SubModul* s = Slot(ReadLogger(root.get(), 5, AsString(kKind5)), 2);  // 0..100
  struct Case {
    uint16_t raw;
    double value;
  } to_value[] = {{0, 0}, {65520, 100}, {32760, 50}, {0xFFF1, kNoValue}, {0xFFFF, kNoValue}};
  for (const auto& c : to_value) EXPECT_DOUBLE_EQ(s->RawToValue(c.raw), c.value) << c.raw;
  struct Back {
    double value;
    uint16_t raw;
  } to_raw[] = {{0, 0}, {100, 65520}, {100.001, kRawInvalid}, {-0.001, kRawInvalid}, {kNoValue, kRawInvalid}};
  for (const auto& c : to_raw) EXPECT_EQ(s->ValueToRaw(c.value), c.raw) << c.value;
}

TEST_F(Tv10Modul, KennungAndKindAreFixedOnceAConfigurationWasRead) {
  auto root = LoadRoot();
  TTv10Modul* m = ReadLogger(root.get(), 5, AsString(kKind5));
  try {
    m->SetKennung(5);
    ADD_FAILURE();
  } catch (const EDeviceError& e) {
    EXPECT_STREQ(e.what(), "TTavra2GModul.SetKennung: Operation fails if not defaultEE in modul!");
  }
  EXPECT_THROW(m->GetLastUpdate(5), Exception);
}

TEST_F(Tv10Modul, TreeFilesReloadAsTheSameClassesAndValues) {
  std::string dir;
  {
    auto root = LoadRoot();
    TTv10Modul* m = ReadLogger(root.get(), 5, AsString(kKind5));
    m->SaveEEParCfg();
    m->SetLastUpdate(2, EncodeDate(2026, 1, 2));
    Slot(m, 2)->SetDecimals(3);
    dir = m->Dir();
  }
  EXPECT_EQ(home.Read(std::filesystem::relative(dir, home.Path()).string() + "/EEPar.cfg"), AsString(kKind5));
  auto root = LoadRoot();
  ASSERT_EQ(root->ChildCount(), 1);
  auto* m = dynamic_cast<TTv10Modul*>(root->GetChild(0));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->EEState(), eeRead);
  EXPECT_EQ(m->TavraTyp(), 5);
  EXPECT_DOUBLE_EQ(m->GetLastUpdate(2), EncodeDate(2026, 1, 2));
  ASSERT_NE(dynamic_cast<TTv10SubModul*>(m->GetSubModul(2)), nullptr);
  EXPECT_EQ(Slot(m, 2)->Decimals(), 3);
  EXPECT_EQ(Slot(m, 2)->Unit(), "%");
  EXPECT_EQ(m->SubModuls().size(), 2u);
  EXPECT_EQ(Written(m), AsString(kKind5));
}

TEST_F(Tv10Modul, ARefusedConfigurationFileStaysOnDisk) {
  std::string cfg;
  {
    auto root = LoadRoot();
    TTv10Modul* m = ReadLogger(root.get(), 5, AsString(kKind5));
    cfg = m->Dir() + "EEPar.cfg";
  }
  std::ofstream(cfg, std::ios::binary | std::ios::trunc) << "short";
  {
    auto root = LoadRoot();
    auto* m = dynamic_cast<TTv10Modul*>(root->GetChild(0));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->EEState(), eeDefault);
    EXPECT_FALSE(messages.empty());
  }
  std::ifstream in(cfg, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "short");
}

TEST_F(Tv10Modul, KindSevenKeepsItsRecorderInterval) {
  std::string ini;
  {
    auto root = LoadRoot();
    TTv10Modul* m = ReadLogger(root.get(), 7, AsString(kKind7));
    m->RecorderInt = 4;
    ini = std::filesystem::relative(m->Dir(), home.Path()).string() + "/Device.ini";
  }
  EXPECT_NE(home.Read(ini).find("RecorderInt=10min"), std::string::npos);
  EXPECT_NE(home.Read(ini).find("TavraType=50"), std::string::npos);
}

TEST_F(Tv10Modul, AModuleThatNeverReadAConfigurationDeletesItsFile) {
  auto root = LoadRoot();
  TTv10Modul* m = AddLogger(root.get(), 5);
  const std::string cfg = m->Dir() + "EEPar.cfg";
  std::ofstream(cfg) << "old";
  delete m;
  EXPECT_FALSE(std::filesystem::exists(cfg));
}

TEST_F(Tv10Modul, SensorSubModulsTakeFreeIdsAndTheCatalogueName) {
  auto root = LoadRoot();
  TTv10Modul* m = ReadLogger(root.get(), 5, AsString(kKind5));
  auto detached = TTavra2GSubMod::CreateSub<TTv10SubModul>(m);
  detached->SetId(3);
  m->Detached().push_back(std::move(detached));
  TTv10SubModul* sub = m->CreateSensorSubModul(0, 3, 0x21);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->Id(), 4) << "ids 1 and 2 hold the slots, 3 a detached sub-module";
  EXPECT_EQ(sub->ModChanNum, 0);
  EXPECT_EQ(sub->Unit(), "%");
  EXPECT_EQ(sub->EEState(), eeRead);
  EXPECT_EQ(m->GetSubModul(1)->ModChanNum, 1);
  EXPECT_THROW(TTavra2GSubMod::CreateSub<TTv10SubModul>(m, TChannels::CreateDefault()), EDeviceError);
}

// Records the outline's nodes as "parent>text".
class OutlineLog : public TExplOutline {
public:
  int AddChildObject(int parent_index, const std::string& text, void*) override {
    nodes.push_back((parent_index < 0 ? std::string("-") : nodes.at(static_cast<size_t>(parent_index))) + ">" + text);
    return static_cast<int>(nodes.size()) - 1;
  }
  std::vector<std::string> nodes;
};

TEST_F(Tv10Modul, TheOutlineShowsHiddenSlotsAndDetachedOnes) {
  auto root = LoadRoot();
  TTv10Modul* m = ReadLogger(root.get(), 5, AsString(kKind5));
  m->SetName("L");
  Slot(m, 1)->SetName("S1");
  Slot(m, 2)->SetName("S2");
  auto detached = TTavra2GSubMod::CreateSub<TTv10SubModul>(m);
  detached->SetName("D");
  m->Detached().push_back(std::move(detached));
  OutlineLog outline;
  m->FillOutline(&outline, -1, nullptr);
  EXPECT_EQ(outline.nodes, (std::vector<std::string>{"->DL001 L", "->DL001 L>S1", "->DL001 L>S2", "->DL001 L>D"}));
  EXPECT_THROW(Slot(m, 1)->FillOutline(nullptr, -1, nullptr), EDeviceError);
}

class Tv10Transmit : public Tv10Modul {
protected:
  void SetUp() override {
    root = LoadRoot();
    m = ReadLogger(root.get(), 5, AsString(kKind5));
    Fill(m->EEImage(), AsString(kKind5));
    m->SaveEEParCfg();
    logger.block = AsString(kKind5);
    cfg = m->Dir() + "EEPar.cfg";
  }
  std::string Cfg() const {
    std::ifstream in(cfg, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  FakeLogger logger;
  std::unique_ptr<TDevice> root;
  TTv10Modul* m = nullptr;
  std::string cfg;
};

TEST_F(Tv10Transmit, AChangedConfigurationIsSentAndReadBack) {
  m->SampleIntIdx.Edit = 1;
  EXPECT_TRUE(m->ApplyChanges());
  EXPECT_EQ(logger.writes, 1);
  EXPECT_EQ(static_cast<uint8_t>(logger.block[50]), 10);
  EXPECT_EQ(m->SampleIntIdx.Value, 1);
  EXPECT_EQ(m->EEState(), eeRead);
  EXPECT_EQ(Cfg(), logger.block);
}

TEST_F(Tv10Transmit, TemperatureSensorsSwitchToFahrenheit) {
  TTv10SubModul* s1 = Slot(m, 1);
  m->ApplyDefTempUnit(true);
  EXPECT_EQ(Slot(m, 1), s1) << "a sensor without data is re-typed in place";
  EXPECT_EQ(s1->SensorType, 2);
  EXPECT_EQ(s1->Unit(), "°F");
  EXPECT_EQ(logger.writes, 1);
  EXPECT_EQ(static_cast<uint8_t>(logger.block[66]), 2);
  EXPECT_EQ(Cfg(), logger.block);
  EXPECT_EQ(Slot(m, 2)->SensorType, 3);
  EXPECT_EQ(m->EEState(), eeRead);
}

TEST_F(Tv10Transmit, NothingChangedSendsNothing) {
  EXPECT_TRUE(m->ApplyChanges());
  EXPECT_EQ(logger.reads, 0);
}

TEST_F(Tv10Transmit, AFailedWriteRestoresTheSlotsAndTheFile) {
  TTv10SubModul* s1 = Slot(m, 1);
  TTv10SubModul* s2 = Slot(m, 2);
  s1->NewChanNum = 2;  // the user swapped the sensors
  s2->NewChanNum = 1;
  m->SensorsChanged = true;
  logger.fail_writes = true;
  int questions = 0;
  MsgDialogProc = [&](const std::string&, TMsgDlgType, TMsgDlgButtons, int32_t) {
    ++questions;
    return mrRetry;
  };
  EXPECT_FALSE(m->TransmitEEPar());
  MsgDialogProc = nullptr;
  EXPECT_EQ(logger.writes, TTavra2GModul::kMaxRetries + 1);
  EXPECT_EQ(s1->ModChanNum, 1);
  EXPECT_EQ(s2->ModChanNum, 2);
  EXPECT_EQ(Cfg(), AsString(kKind5));
  EXPECT_EQ(Written(m), AsString(kKind5));
  EXPECT_EQ(m->EEState(), eeRead);
}

TEST_F(Tv10Transmit, AConfigurationChangedInTheLoggerIsNotOverwritten) {
  logger.block[50] = 30;
  m->SampleIntIdx.Edit = 1;
  EXPECT_FALSE(m->ApplyChanges());
  EXPECT_EQ(logger.writes, 0);
  EXPECT_EQ(m->EEState(), eeRead);
}

}  // namespace
}  // namespace qv
