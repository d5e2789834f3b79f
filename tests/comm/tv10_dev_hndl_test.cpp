#include "comm/tv10_dev_hndl.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "base/archive_hooks.h"
#include "comm/connection.h"
#include "comm_fixture.h"
#include "handler_fixture.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "datastore/dt_data.h"
#include "devices/tv10_modul.h"
#include "devices/tv10_sensor_info.h"
#include "devices/tv10_sub_mod_ed0.h"

namespace qv {
namespace {

using test::HandlerLine;
using test::LoggerLine;
using test::ReadFile;

sim::SimConfig Logger(int kind, int id = 0x2345, const std::function<void(sim::Faults&)>& faults = nullptr) {
  sim::SimConfig c;
  c.SetKind(kind);
  c.id = id;
  if (faults) faults(c.faults);
  return c;
}

class Tv10Handler : public ::testing::TestWithParam<int> {};

TEST_P(Tv10Handler, ReadsTheConfigurationIntoANewLoggerAndThenFindsIt) {
  const int kind = GetParam();
  HandlerLine h(Logger(kind));
  h.RetryLateAnswers();
  ASSERT_TRUE(h.handler->ReadCfgAnonym(true, true)) << h.FirstWarning();
  ASSERT_EQ(h.Root()->ChildCount(), 1);
  TTv10Modul* m = h.Module(0);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Name(), "Logger_1");
  EXPECT_EQ(m->Kennung(), 0x2345);
  EXPECT_EQ(m->TavraTyp(), kind);
  EXPECT_EQ(h.handler->FCurModul, m);
  EXPECT_EQ(h.handler->NewModul, nullptr);
  EXPECT_EQ(ReadFile(m->Dir() + "EEPar.cfg"), h.LoggerImage());
  ASSERT_EQ(h.audit.events.size(), 1u);
  EXPECT_EQ(h.audit.events[0].first, TDY_AuditEventKind::DeviceCreated);
  EXPECT_EQ(h.audit.events[0].second, std::to_string(0x2345));
  // A kind-7 logger stays connected.
  EXPECT_EQ(h.connection->InProcess(), kind == 7);

  ASSERT_TRUE(h.handler->ReadCfgAnonym(true, true));
  EXPECT_EQ(h.Root()->ChildCount(), 1);
  EXPECT_EQ(h.audit.events.size(), 1u);
  EXPECT_TRUE(h.line.Logger().Violations().empty());
}

TEST_P(Tv10Handler, WritesTheModulesImageAndSetsTheClock) {
  const int kind = GetParam();
  HandlerLine h(Logger(kind));
  h.RetryLateAnswers();
  ASSERT_TRUE(h.handler->ReadCfgAnonym(true, true)) << h.FirstWarning();
  TTv10Modul* m = h.Module(0);
  const std::string before = h.LoggerImage();
  m->EEImage().Memory()[20] ^= 0x21;
  const std::string image = m->EEImage().Bytes();
  ASSERT_TRUE(h.handler->WriteConfig(m, true)) << h.FirstWarning();
  // A kind-7 logger takes no configuration from here.
  EXPECT_EQ(h.LoggerImage(), kind == 7 ? before : image);

  ASSERT_TRUE(h.handler->SyncClock(true, true)) << h.FirstWarning();
  EXPECT_EQ(h.audit.events.back().first,
            kind == 7 ? TDY_AuditEventKind::DeviceCreated : TDY_AuditEventKind::DeviceClockSync);
  EXPECT_TRUE(h.line.Logger().Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, Tv10Handler, ::testing::Values(5, 6, 7));

// Another sensor chosen for a slot is sent to the logger: the read of the logger's configuration
// before the write keeps the slot pending for the new sensor's sub-module, so the block written
// carries the new type and the new sub-module holds the slot afterwards.
TEST(Tv10HandlerSensors, AChangedSensorIsWrittenAndTakesItsSlot) {
  HandlerLine h(Logger(5));
  h.RetryLateAnswers();
  TTv10DevHndlColl collection;  // the modules reach the logger through it
  ASSERT_TRUE(collection.ReadCfgAnonym(false, true)) << h.FirstWarning();
  TTv10Modul* m = h.Module(0);
  ASSERT_NE(m, nullptr);
  const uint8_t board = m->SensorPcb.Value;
  const auto* taken1 = dynamic_cast<TTv10SubModul*>(m->GetSubModul(1));
  auto* former = dynamic_cast<TTv10SubModul*>(m->GetSubModul(2));
  ASSERT_TRUE(taken1 && former);
  uint8_t other = 0;
  const auto choice = Tv10SensorSelection(2, board);
  for (size_t i = 0; i < Tv10SensorRows.size() && !other; ++i) {
    const uint8_t type = Tv10SensorRows[i].SensorType;
    if (choice.test(i) && type != taken1->SensorType && type != former->SensorType) other = type;
  }
  ASSERT_NE(other, 0);
  SetChangeSensorsDlgProc([other](uint8_t, uint8_t, uint8_t, std::array<uint8_t, 4>& types) {
    types[1] = other;
    return true;
  });
  m->ChangeSensors();
  SetChangeSensorsDlgProc(nullptr);
  ASSERT_EQ(m->Detached().size(), 1u);
  TTavra2GSubMod* chosen = m->Detached()[0].get();

  EXPECT_TRUE(m->ApplyChanges()) << h.FirstWarning();
  const std::string image = h.LoggerImage();
  ASSERT_EQ(image.size(), static_cast<size_t>(Tv10ImageSize(2)));
  EXPECT_EQ(static_cast<uint8_t>(image[Tv10HeaderSize(2) + kTv10SlotPartSize]), other);
  // The tree, as the explorer lists it: the new sub-module is set up and holds slot 2.
  EXPECT_TRUE(m->Detached().empty());
  EXPECT_EQ(m->GetSubModul(2), chosen);
  auto* holder = dynamic_cast<TTv10SubModul*>(m->GetSubModul(2));
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder->SensorType, other);
  EXPECT_EQ(holder->Parent(), m);
  EXPECT_NE(former->ModChanNum, 2);
  EXPECT_EQ(ReadFile(m->Dir() + "EEPar.cfg"), image);
  EXPECT_TRUE(h.line.Logger().Violations().empty());
}

TEST(Tv10HandlerWrite, TheModulesOwnKindDecidesWhetherItsImageIsSent) {
  HandlerLine h(Logger(5));
  h.RetryLateAnswers();
  TTv10Modul* m = h.AddModule(5, 0x2345, "");
  bool changed = false;
  ASSERT_TRUE(h.handler->ReadCfgDevice(m, true, changed, true)) << h.FirstWarning();
  // The logger read before this one was an interface device without a configuration of its own.
  h.handler->DevKind = 7;
  m->EEImage().Memory()[20] ^= 0x21;
  const std::string image = m->EEImage().Bytes();
  ASSERT_TRUE(h.handler->WriteConfig(m, true)) << h.FirstWarning();
  EXPECT_EQ(h.LoggerImage(), image);
  EXPECT_FALSE(h.connection->InProcess());
}

struct HandlerFault {
  const char* name;
  std::function<void(sim::Faults&)> set;
  const char* text;
  bool once = false;  // only the first read meets the fault
};

// Named by their case in test names.
void PrintTo(const HandlerFault& c, std::ostream* os) { *os << c.name; }

class Tv10HandlerFaults : public ::testing::TestWithParam<std::tuple<HandlerFault, int>> {};

TEST_P(Tv10HandlerFaults, LeaveTheTreeAndTheStoredConfigurationAlone) {
  const HandlerFault& c = std::get<0>(GetParam());
  const int kind = std::get<1>(GetParam());
  const sim::SimConfig logger = Logger(kind, 0x2345, c.set);
  std::optional<test::NoAnswerTimeOuts> quick;
  if (logger.faults.silent) quick.emplace();
  HandlerLine h(logger);
  const std::string stored = "stored image";
  const std::string file = h.AddModule(kind, 0x2345, stored)->Dir() + "EEPar.cfg";
  EXPECT_FALSE(h.handler->ReadCfgAnonym(true, true));
  EXPECT_EQ(h.FirstWarning().substr(0, std::string(c.text).size()), c.text) << h.FirstWarning();
  EXPECT_EQ(h.Root()->ChildCount(), 1);
  EXPECT_EQ(ReadFile(file), stored);
  EXPECT_FALSE(h.connection->InProcess());
  EXPECT_TRUE(h.audit.events.empty());
  // Reading the module's configuration meets the fault again, or, once it is gone, stores it.
  bool changed = false;
  EXPECT_EQ(h.handler->ReadCfgDevice(h.Module(0), true, changed, true), c.once);
  EXPECT_EQ(ReadFile(file), c.once ? h.LoggerImage() : stored);
}

const HandlerFault kHandlerFaults[] = {
    {"Silent", [](sim::Faults& f) { f.silent = true; }, "The logger does not answer."},
    {"WrongTypeCode", [](sim::Faults& f) { f.type_code = 41; }, "The logger is not compatible with this device."},
    {"EEVersionAboveLimit", [](sim::Faults& f) { f.answer_ee = 33; }, "The logger's version is not supported."},
    {"SixBadBlocks",
     [](sim::Faults& f) {
       f.bad_crc = {{true, 0, 6}};
     },
     "Checksum error"},
    {"RefusedRead", [](sim::Faults& f) { f.refuse["?E"] = 1; }, "The logger reported an error.", true},
    {"WrongSum", [](sim::Faults& f) { f.bad_sum_frames = {3}; }, "The logger does not answer.", true},
};

INSTANTIATE_TEST_SUITE_P(Faults, Tv10HandlerFaults,
                         ::testing::Combine(::testing::ValuesIn(kHandlerFaults), ::testing::Values(5, 6, 7)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "Kind" +
                                  std::to_string(std::get<1>(info.param));
                         });

TEST(Tv10HandlerDevice, AnotherLoggerOnTheLineIsRefusedByName) {
  const std::string stored = "stored image";
  {
    HandlerLine h(Logger(5, 0x3456));
    const std::string file = h.AddModule(5, 0x2345, stored)->Dir() + "EEPar.cfg";
    bool changed = true;
    EXPECT_FALSE(h.handler->ReadCfgDevice(h.Module(0), true, changed, true));
    EXPECT_EQ(h.FirstWarning().substr(0, 36), "The connected logger is not Logger_1") << h.FirstWarning();
    EXPECT_EQ(ReadFile(file), stored);
  }
  HandlerLine h(Logger(5));
  const std::string file = h.AddModule(5, 0x2345, stored)->Dir() + "EEPar.cfg";
  bool changed = false;
  EXPECT_TRUE(h.handler->ReadCfgDevice(h.Module(0), true, changed, true)) << h.FirstWarning();
  EXPECT_EQ(ReadFile(file), h.LoggerImage());
}

size_t MemorySeries(LoggerLine& line) {
  size_t n = 0;
  line.Logger().Inspect([&](const sim::LoggerSim& sim) { n = sim.Memory().size(); });
  return n;
}

TEST_P(Tv10Handler, ClearsTheMemoryOnlyAfterAnExplicitYes) {
  const int kind = GetParam();
  sim::SimConfig config = Logger(kind);
  config.samples = 5;
  HandlerLine h(config);
  const size_t series = MemorySeries(h.line);
  ASSERT_GT(series, 0u);
  std::vector<std::string> asked;
  int answer = mrNo;
  h.line.Handler().Answer = [&](const std::string& msg, TMsgDlgButtons buttons) {
    if (buttons & mbRetry) return static_cast<int>(mrRetry);  // a late answer on a loaded machine
    asked.push_back(msg);
    return answer;
  };
  // A kind-7 logger ends successfully right after its configuration, without a question: the
  // user only learns that there was nothing to clear.
  EXPECT_EQ(h.handler->ClearMemAnonym(true, true), kind == 7);
  EXPECT_EQ(MemorySeries(h.line), series);
  if (kind != 7) {
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), "Clear the memory of Logger_1?");
    EXPECT_EQ(h.FirstWarning().substr(0, 22), "Cancelled by the user.");
  } else {
    EXPECT_EQ(asked, std::vector<std::string>{"This logger has no data memory; nothing was cleared."});
  }
  answer = mrOk;  // a dialog closed otherwise is no Yes
  EXPECT_EQ(h.handler->ClearMemAnonym(true, true), kind == 7);
  EXPECT_EQ(MemorySeries(h.line), series);

  answer = mrYes;
  ASSERT_TRUE(h.handler->ClearMemAnonym(true, true)) << h.FirstWarning();
  // A kind-7 logger keeps its memory.
  EXPECT_EQ(MemorySeries(h.line), kind == 7 ? series : 0u);
  // Nothing cleared is nothing recorded.
  EXPECT_EQ(h.audit.events.back().first,
            kind == 7 ? TDY_AuditEventKind::DeviceCreated : TDY_AuditEventKind::DeviceMemCleared);
  EXPECT_EQ(h.audit.events.back().second, std::to_string(0x2345));
  EXPECT_TRUE(h.line.Logger().Violations().empty());
}

TEST(Tv10HandlerClear, AWrongAcknowledgeOfTheClearEndsInItsMessage) {
  HandlerLine h(Logger(5, 0x2345, [](sim::Faults& f) { f.bad_clear_ack = true; }));
  h.line.Handler().Answer = [](const std::string&, TMsgDlgButtons buttons) { return (buttons & mbYes) ? mrYes : mrOk; };
  EXPECT_FALSE(h.handler->ClearMemAnonym(true, true));
  EXPECT_EQ(h.FirstWarning().substr(0, 34), "Unexpected answer from the logger.") << h.FirstWarning();
  EXPECT_FALSE(h.connection->InProcess());
}

TEST(Tv10HandlerSizes, ImageLengthsByKindAndVersion) {
  EXPECT_EQ(Tv10ImageLen(5, 0), 94);
  EXPECT_EQ(Tv10ImageLen(7, 32), 94);
  EXPECT_EQ(Tv10ImageLen(6, 200), 146);
  EXPECT_THROW(Tv10ImageLen(5, 33), Exception);
}

// ---- current values ----

// The newest record of a slot's data set, or null when the set holds none.
const TDtRecord* NewestOf(TTv10Modul* m, int slot) {
  auto* data = dynamic_cast<TDtData*>(m->GetSubModul(slot)->Data());
  if (!data || data->NoData()) return nullptr;
  return &data->NewestRec();
}

struct OnlineCase {
  const char* name;
  int kind;
  int stored;  // storing-mode bits: 4 minimum, 2 maximum, 1 average
};
// The case's name stands for it in the test's name, not its bytes.
void PrintTo(const OnlineCase& c, std::ostream* os) { *os << c.name; }

class Tv10HandlerOnline : public ::testing::TestWithParam<OnlineCase> {};

TEST_P(Tv10HandlerOnline, StoresTheCurrentValuesOfEachSlotInItsDataSet) {
  const OnlineCase& c = GetParam();
  sim::SimConfig config = Logger(c.kind);
  config.kinds = c.stored;
  for (int slot = 1; slot <= config.ChannelCount(); ++slot)
    config.current[slot] = {static_cast<uint16_t>(1000 * slot), static_cast<uint16_t>(2000 * slot),
                            static_cast<uint16_t>(1500 * slot)};
  HandlerLine h(config);
  h.RetryLateAnswers();
  ASSERT_TRUE(h.handler->ReadCfgAnonym(true, true)) << h.FirstWarning();
  TTv10Modul* m = h.Module(0);
  ASSERT_TRUE(h.handler->ReadOnline(m, true)) << h.FirstWarning();
  for (int slot = 1; slot <= config.ChannelCount(); ++slot) {
    SCOPED_TRACE(slot);
    TTavra2GSubMod* sub = m->GetSubModul(slot);
    const TDtRecord* rec = NewestOf(m, slot);
    ASSERT_NE(rec, nullptr);
    ASSERT_EQ(rec->ValueCount(), 3);
    const uint16_t raw[3] = {static_cast<uint16_t>(1000 * slot), static_cast<uint16_t>(2000 * slot),
                             static_cast<uint16_t>(1500 * slot)};
    const int bits[3] = {4, 2, 1};
    for (int k = 0; k < 3; ++k)
      // Stored values keep the six-byte precision of the data files.
      EXPECT_EQ(rec->GetValues(k),
                (c.stored & bits[k]) ? Value6ToDouble(DoubleToValue6(sub->RawToValue(raw[k]))) : NoValue)
          << k;
    EXPECT_NE(rec->Date, NoDayNo);
  }
  EXPECT_EQ(h.connection->InProcess(), c.kind == 7);
  EXPECT_TRUE(h.line.Logger().Violations().empty());
}

const OnlineCase kOnlineCases[] = {
    {"Kind5AllKinds", 5, 7},    // twelve value bytes: two answers
    {"Kind5MinMax", 5, 6},      // eight bytes: one answer
    {"Kind7Average", 7, 1},     // four bytes
    {"Kind6MinAverage", 6, 5},  // the maximum word comes as 0xFFFD and is skipped
    {"Kind6AllKinds", 6, 7},
};

INSTANTIATE_TEST_SUITE_P(Cases, Tv10HandlerOnline, ::testing::ValuesIn(kOnlineCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct OnlineFault {
  const char* name;
  std::function<void(sim::Faults&)> set;
  bool ok;
  const char* text;
};

void PrintTo(const OnlineFault& c, std::ostream* os) { *os << c.name; }

class Tv10HandlerOnlineFaults : public ::testing::TestWithParam<std::tuple<OnlineFault, int>> {};

// A refused or damaged answer is asked for again after a pause and a new wake-up, six requests
// at most; a failed read stores nothing.
TEST_P(Tv10HandlerOnlineFaults, EndInTheirMessageAndStoreNothing) {
  const OnlineFault& c = std::get<0>(GetParam());
  const int kind = std::get<1>(GetParam());
  HandlerLine h(Logger(kind));
  ASSERT_TRUE(h.handler->ReadCfgAnonym(false, true)) << h.FirstWarning();
  TTv10Modul* m = h.Module(0);
  h.line.Handler().messages.clear();
  h.line.Logger().SetFaults(c.set);
  sim::Faults faults;
  c.set(faults);
  std::optional<test::NoAnswerTimeOuts> quick;
  if (faults.silent) quick.emplace();
  EXPECT_EQ(h.handler->ReadOnline(m, true), c.ok) << h.FirstWarning();
  if (!c.ok) {
    EXPECT_EQ(h.FirstWarning().substr(0, std::string(c.text).size()), c.text) << h.FirstWarning();
    EXPECT_EQ(NewestOf(m, 1), nullptr);
    EXPECT_EQ(NewestOf(m, 2), nullptr);
  } else {
    EXPECT_NE(NewestOf(m, 1), nullptr);
  }
  // A kind-7 logger stays connected.
  EXPECT_EQ(h.connection->InProcess(), kind == 7);
}

const OnlineFault kOnlineFaults[] = {
    {"RefusedOnce", [](sim::Faults& f) { f.refuse["?N"] = 1; }, true, ""},
    {"RefusedSixTimes", [](sim::Faults& f) { f.refuse["?N"] = 6; }, false, "The logger reported an error."},
    {"Silent", [](sim::Faults& f) { f.silent = true; }, false, "The logger does not answer."},
};

INSTANTIATE_TEST_SUITE_P(Faults, Tv10HandlerOnlineFaults,
                         ::testing::Combine(::testing::ValuesIn(kOnlineFaults), ::testing::Values(5, 6, 7)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "Kind" +
                                  std::to_string(std::get<1>(info.param));
                         });

TEST(Tv10HandlerOnlineArgs, RefusesAModuleOfAnotherFamily) {
  HandlerLine h(Logger(5));
  EXPECT_THROW(h.handler->ReadOnline(h.Root(), true), Exception);
  EXPECT_THROW(h.handler->ReadOnline(nullptr, true), Exception);
}

}  // namespace
}  // namespace qv
