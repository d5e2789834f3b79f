#include "comm/tv10_mem_prot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "comm_fixture.h"

namespace qv {
namespace {

using test::LoggerLine;

// A logger with a generated memory: `samples` samples of all three value kinds on every channel,
// starting at 1 March 2030 00:00, 10 minutes apart.
sim::SimConfig MemLogger(int kind, int samples, const std::function<void(sim::SimConfig&)>& more = nullptr) {
  sim::SimConfig c;
  c.SetKind(kind);
  c.id = 0x2345;
  c.burst = kind == 6;  // the long blocks of kind 6 would take seconds each at 19200 baud
  c.samples = samples;
  c.start = sim::DateTimeFields{2030, 3, 1, 0, 0, 0};
  if (more) more(c);
  return c;
}

long Count(const std::vector<std::string>& v, const std::string& s) { return std::count(v.begin(), v.end(), s); }

// What a memory read hands over: the blocks per channel (without their CRC), in order.
struct Reading {
  std::map<int, sim::Bytes> streams;
  int blocks = 0;
  int done_channel = 0;
  bool acknowledged_early = false;
  std::vector<std::string> retry_questions;
};

// Runs a memory read; the user answers Retry to every retry question when retry is set.
bool ReadMemory(LoggerLine& line, Reading& r, bool retry,
                const std::function<void(TTv10ReadMemProt&)>& on_start = nullptr) {
  line.Handler().Answer = [&](const std::string& msg, TMsgDlgButtons buttons) {
    if (!(buttons & mbRetry)) return static_cast<int>(mrOk);
    r.retry_questions.push_back(msg);
    return static_cast<int>(retry ? mrRetry : mrAbort);
  };
  TTv10ReadMemProt p;
  p.Port = &line.Port();
  p.OnMemStart = [&](TComProtocol*) {
    if (on_start) on_start(p);
  };
  p.OnBlockRead = [&](TComProtocol* s) {
    auto* offl = static_cast<TTv10ReadOfflProt*>(s);
    ++r.blocks;
    // The block is acknowledged only after the owner has it.
    if (Count(line.Logger().Requests(), "$?T") >= r.blocks) r.acknowledged_early = true;
    const uint8_t* data = offl->GetBlockData();
    ASSERT_NE(data, nullptr);
    r.streams[offl->Channel()].insert(r.streams[offl->Channel()].end(), data, data + offl->BufLen - 2);
  };
  p.OnReadDone = [&](TComProtocol*, int32_t last) { r.done_channel = last; };
  return p.Execute();
}

// The channel's stream as the logger serves it from `from`, padded to whole blocks.
sim::Bytes Expected(LoggerLine& line, int channel, int64_t from) {
  sim::Bytes out;
  line.Logger().Inspect([&](const sim::LoggerSim& s) {
    out = s.ChannelStream(channel, from);
    const size_t payload = s.Config().MemoryBlockLength() - 2;
    out.resize((out.size() + payload - 1) / payload * payload, 0);
  });
  return out;
}

std::string FirstWarning(LoggerLine& line) {
  auto w = line.Handler().Texts(mkWarning);
  return w.empty() ? "" : w.front();
}

class Tv10MemRead : public ::testing::TestWithParam<int> {};

TEST_P(Tv10MemRead, ReadsEveryChannelFromItsStartDate) {
  const int kind = GetParam();
  LoggerLine line(MemLogger(kind, 200));
  Reading r;
  // Channel 2 starts after its 150th sample; the others read everything.
  const TDateTime from2 = EncodeDate(2030, 3, 1) + 150 * 10 / 1440.0;
  ASSERT_TRUE(ReadMemory(line, r, true, [&](TTv10ReadMemProt& p) { p.SetDateTime(2, from2); })) << FirstWarning(line);
  const int channels = kind == 6 ? 4 : 2;
  EXPECT_EQ(r.done_channel, channels);
  ASSERT_EQ(static_cast<int>(r.streams.size()), channels);
  const int64_t start = sim::FieldsToSeconds({2030, 3, 1, 0, 0, 0});
  for (int ch = 1; ch <= channels; ++ch) {
    const int64_t from = ch == 2 ? start + 150 * 600 : sim::FieldsToSeconds({2000, 1, 1, 0, 0, 0});
    EXPECT_EQ(r.streams[ch], Expected(line, ch, from)) << "channel " << ch;
  }
  EXPECT_FALSE(r.acknowledged_early);
  const auto requests = line.Logger().Requests();
  EXPECT_EQ(Count(requests, "#?T"), 0);
  // Channel after channel (a late answer may have been asked again), each after its own wake-up.
  std::vector<std::string> order;
  for (const auto& q : requests)
    if (q.size() == 2 && q[0] == '?' && q[1] >= '1' && q[1] <= '4') order.push_back(q);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  order.erase(std::unique(order.begin(), order.end()), order.end());
  EXPECT_EQ(order.size(), static_cast<size_t>(channels));
  EXPECT_GE(Count(requests, " "), channels + 1);
  EXPECT_TRUE(line.Logger().Violations().empty());
  EXPECT_EQ(line.Port().OnTriggerTimer(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Tv10MemRead, ::testing::Values(5, 6));

TEST(Tv10MemRead, AKind7LoggerEndsAfterItsConfiguration) {
  LoggerLine line(MemLogger(7, 20));
  Reading r;
  bool started = false;
  ASSERT_TRUE(ReadMemory(line, r, true, [&](TTv10ReadMemProt&) { started = true; })) << FirstWarning(line);
  EXPECT_FALSE(started);
  EXPECT_EQ(r.blocks, 0);
  EXPECT_EQ(Count(line.Logger().Requests(), "?1"), 0);
}

TEST(Tv10MemRead, AnEmptyChannelIsSkippedAndTheNextOneStillWakesTheLogger) {
  LoggerLine line(MemLogger(5, 30, [](sim::SimConfig& c) { c.channels = 1; }));
  Reading r;
  ASSERT_TRUE(ReadMemory(line, r, true)) << FirstWarning(line);
  EXPECT_EQ(r.done_channel, 2);
  EXPECT_EQ(r.streams.count(2), 0u);
  EXPECT_EQ(r.streams[1], Expected(line, 1, 0));
  const auto requests = line.Logger().Requests();
  const auto second = std::find(requests.begin(), requests.end(), "?2");
  ASSERT_NE(second, requests.end());
  // A wake-up space right before the second channel's request.
  EXPECT_EQ(*(second - 1), " ");
}

struct MemFault {
  const char* name;
  std::function<void(sim::Faults&)> set;
  const char* text;   // first warning; "" = the read succeeds
  int blocks;         // blocks handed over before the end
  bool retry_asked;   // a retry question was shown
  bool retry = true;  // the user answers Retry
};
// The case's name stands for it in the test's name, not its bytes.
void PrintTo(const MemFault& c, std::ostream* os) { *os << c.name; }

class Tv10MemReadFaults : public ::testing::TestWithParam<MemFault> {};

// Channel 1 carries three blocks (serials 1 to 3), channel 2 the next three.
TEST_P(Tv10MemReadFaults, EndsInItsMessage) {
  const MemFault& c = GetParam();
  LoggerLine line(MemLogger(5, 50, [&](sim::SimConfig& cfg) { c.set(cfg.faults); }));
  Reading r;
  const bool ok = ReadMemory(line, r, c.retry);
  if (std::string(c.text).empty()) {
    EXPECT_TRUE(ok) << FirstWarning(line);
    EXPECT_EQ(r.done_channel, 2);
    EXPECT_EQ(r.streams[1], Expected(line, 1, 0));
    EXPECT_EQ(r.streams[2], Expected(line, 2, 0));
  } else {
    EXPECT_FALSE(ok);
    EXPECT_EQ(r.done_channel, 0);
    EXPECT_EQ(FirstWarning(line).substr(0, std::string(c.text).size()), c.text) << FirstWarning(line);
  }
  EXPECT_EQ(r.blocks, c.blocks);
  EXPECT_EQ(!r.retry_questions.empty(), c.retry_asked);
  EXPECT_EQ(line.Port().OnTriggerTimer(), nullptr);
}

const MemFault kMemFaults[] = {
    {"FiveBadCopiesThenAGoodOne",
     [](sim::Faults& f) {
       f.bad_crc = {{false, 2, 5}};
     },
     "", 6, false},
    {"SixBadCopies",
     [](sim::Faults& f) {
       f.bad_crc = {{false, 2, 6}};
     },
     "Checksum error", 1, false},
    {"ABlockThatNeverArrives",
     [](sim::Faults& f) {
       f.truncate = {{false, 2, 1}};
     },
     "The logger does not answer.", 1, false},
    {"RefusedChannelRepeated", [](sim::Faults& f) { f.refuse["?2"] = 1; }, "", 6, true},
    {"RefusedSecondChannelEndsTheWholeRead", [](sim::Faults& f) { f.refuse["?2"] = 1; },
     "The logger reported an error.", 3, true, false},
    {"RefusedDate", [](sim::Faults& f) { f.refuse["?T"] = 1; }, "", 6, true},
    {"Silent", [](sim::Faults& f) { f.silent = true; }, "The logger does not answer.", 0, false},
};

INSTANTIATE_TEST_SUITE_P(Faults, Tv10MemReadFaults, ::testing::ValuesIn(kMemFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Tv10MemRead, TheProgressLineCountsTheBlocksOfAllChannels) {
  std::vector<std::string> seen;
  auto watch = [&seen](test::FakeProcessWindow& w) {
    if (!w.texts[1].empty() && (seen.empty() || seen.back() != w.texts[1])) seen.push_back(w.texts[1]);
  };
  // Ten blocks on each channel.
  LoggerLine line(MemLogger(5, 50, [](sim::SimConfig& c) { c.faults.block_count = 10; }), watch);
  Reading r;
  ASSERT_TRUE(ReadMemory(line, r, true)) << FirstWarning(line);
  std::vector<std::string> percents;
  for (const auto& t : seen)
    if (t.rfind("Transmitting data: ", 0) == 0) percents.push_back(t.substr(19));
  std::vector<std::string> expected;
  // 100 % is shown and cleared again within the step that ends the read.
  for (int p = 5; p < 100; p += 5) expected.push_back(std::to_string(p) + "%");
  EXPECT_EQ(percents, expected);
  EXPECT_EQ(line.Windows().created, 1);
}

TEST(Tv10MemReadDates, ChannelsOutsideOneToFourAreRefused) {
  TTv10ReadMemProt p;
  EXPECT_EQ(p.GetDateTime(1), EncodeDate(2000, 1, 1));
  p.SetDateTime(4, EncodeDate(2031, 1, 1));
  EXPECT_EQ(p.ReadOffl->GetDateTime(4), EncodeDate(2031, 1, 1));
  for (int ch : {0, 5}) {
    EXPECT_THROW(p.SetDateTime(ch, 0), Exception);
    EXPECT_THROW(p.GetDateTime(ch), Exception);
    EXPECT_THROW(p.ReadOffl->GetDateTime(ch), Exception);
  }
}

}  // namespace
}  // namespace qv
