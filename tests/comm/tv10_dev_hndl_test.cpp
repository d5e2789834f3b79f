#include "comm/tv10_dev_hndl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/archive_hooks.h"
#include "comm/connection.h"
#include "comm_fixture.h"
#include "handler_fixture.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/tv10_modul.h"

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

struct HandlerFault {
  const char* name;
  std::function<void(sim::Faults&)> set;
  const char* text;
  bool once = false;  // only the first read meets the fault
};

class Tv10HandlerFaults : public ::testing::TestWithParam<HandlerFault> {};

TEST_P(Tv10HandlerFaults, LeaveTheTreeAndTheStoredConfigurationAlone) {
  const HandlerFault& c = GetParam();
  HandlerLine h(Logger(5, 0x2345, c.set));
  const std::string stored = "stored image";
  const std::string file = h.AddModule(5, 0x2345, stored)->Dir() + "EEPar.cfg";
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

INSTANTIATE_TEST_SUITE_P(Faults, Tv10HandlerFaults, ::testing::ValuesIn(kHandlerFaults),
                         [](const auto& info) { return std::string(info.param.name); });

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
  // A kind-7 logger ends successfully right after its configuration, without a question.
  EXPECT_EQ(h.handler->ClearMemAnonym(true, true), kind == 7);
  EXPECT_EQ(MemorySeries(h.line), series);
  if (kind != 7) {
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), "Clear the memory of Logger_1?");
    EXPECT_EQ(h.FirstWarning().substr(0, 22), "Cancelled by the user.");
  } else {
    EXPECT_TRUE(asked.empty());
  }
  answer = mrOk;  // a dialog closed otherwise is no Yes
  EXPECT_EQ(h.handler->ClearMemAnonym(true, true), kind == 7);
  EXPECT_EQ(MemorySeries(h.line), series);

  answer = mrYes;
  ASSERT_TRUE(h.handler->ClearMemAnonym(true, true)) << h.FirstWarning();
  // A kind-7 logger keeps its memory.
  EXPECT_EQ(MemorySeries(h.line), kind == 7 ? series : 0u);
  if (kind != 7) {
    EXPECT_EQ(h.audit.events.back().first, TDY_AuditEventKind::DeviceMemCleared);
    EXPECT_EQ(h.audit.events.back().second, std::to_string(0x2345));
  }
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

}  // namespace
}  // namespace qv
