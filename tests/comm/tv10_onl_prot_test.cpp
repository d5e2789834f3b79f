#include "comm/tv10_onl_prot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "comm_fixture.h"

namespace qv {
namespace {

using test::LoggerLine;

int RetryAnswer(const std::string&, TMsgDlgButtons buttons) { return (buttons & mbRetry) ? mrRetry : mrOk; }

TEST(Tv10ReadOnl, ValueByteCountsFollowTheKind) {
  struct Case {
    uint8_t kind;
    int32_t asked, taken;
  };
  const Case cases[] = {{5, 13, 12}, {5, 2, 4}, {7, 7, 6}, {5, 20, 12}, {6, 24, 24}, {6, 31, 30}};
  for (const Case& c : cases) {
    TTv10ReadOnlProt p;
    p.DevKind = c.kind;
    p.SetValueBytes(c.asked);
    EXPECT_EQ(p.ValueBytes(), c.taken) << int(c.kind) << " " << c.asked;
    EXPECT_EQ(p.GetValues(), nullptr);
  }
}

std::vector<uint8_t> Words(std::initializer_list<uint16_t> words) {
  std::vector<uint8_t> out;
  for (uint16_t w : words) {
    out.push_back(static_cast<uint8_t>(w & 0xFF));
    out.push_back(static_cast<uint8_t>(w >> 8));
  }
  return out;
}

sim::SimConfig Logger(int kind, int stored) {
  sim::SimConfig c;
  c.SetKind(kind);
  c.id = 0x2345;
  c.kinds = stored;
  for (int slot = 1; slot <= c.ChannelCount(); ++slot)
    c.current[slot] = {static_cast<uint16_t>(100 * slot + 1), static_cast<uint16_t>(100 * slot + 2),
                       static_cast<uint16_t>(100 * slot + 3)};
  return c;
}

// The value buffer after one run, and the requests the logger saw.
struct ValuesRun {
  bool ok = false;
  std::vector<uint8_t> values;
  std::vector<std::string> requests;
};

ValuesRun ReadValues(int kind, int stored, int32_t value_bytes) {
  LoggerLine line(Logger(kind, stored));
  line.Handler().Answer = RetryAnswer;
  TTv10ReadOnlProt p;
  p.Port = &line.Port();
  p.Kennung = 0x2345;
  p.DevKind = static_cast<uint8_t>(kind);
  p.SetValueBytes(value_bytes);
  int fired = 0;
  p.OnValuesRead = [&](TComProtocol*) { ++fired; };
  ValuesRun run;
  run.ok = p.Execute();
  EXPECT_EQ(fired, run.ok ? 1 : 0);
  if (p.GetValues()) run.values.assign(p.GetValues(), p.GetValues() + p.ValueBytes());
  run.requests = line.Logger().Requests();
  run.requests.erase(std::remove(run.requests.begin(), run.requests.end(), " "), run.requests.end());
  EXPECT_TRUE(line.Logger().Violations().empty());
  return run;
}

TEST(Tv10ReadOnl, TwelveBytesComeInTwoAnswersAndKind6AsksEachChannel) {
  ValuesRun five = ReadValues(5, 7, 12);
  ASSERT_TRUE(five.ok);
  EXPECT_EQ(five.values, Words({101, 102, 103, 201, 202, 203}));
  EXPECT_EQ(five.requests, std::vector<std::string>({"?N"}));

  ValuesRun six = ReadValues(6, 5, 24);
  ASSERT_TRUE(six.ok);
  // Channel order; the maximum is not stored and comes as 0xFFFD.
  EXPECT_EQ(six.values, Words({101, 0xFFFD, 103, 201, 0xFFFD, 203, 301, 0xFFFD, 303, 401, 0xFFFD, 403}));
  EXPECT_EQ(six.requests.size(), 4u);
}

// A buffer of ten bytes takes only two of the second answer's four.
TEST(Tv10ReadOnl, ASecondAnswerNeverWritesPastTheBuffer) {
  ValuesRun run = ReadValues(5, 7, 10);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.values, Words({101, 102, 103, 201, 202}));
}

}  // namespace
}  // namespace qv
