#include "comm/tv10_prot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <functional>
#include <string>
#include <vector>

#include "comm/crc8408.h"
#include "comm_fixture.h"

namespace qv {
namespace {

using test::LoggerLine;

sim::SimConfig Logger(int kind, const std::function<void(sim::Faults&)>& faults = nullptr) {
  sim::SimConfig c;
  c.SetKind(kind);
  c.id = 0x2345;
  if (faults) faults(c.faults);
  return c;
}

long Count(const std::vector<std::string>& v, const std::string& s) { return std::count(v.begin(), v.end(), s); }

// The logger's requests once it has seen n of them (the program's last acknowledge may still be
// on the line when a run ends), at most a second later.
std::vector<std::string> RequestsAfter(LoggerLine& line, size_t n) {
  for (int i = 0; i < 100 && line.Logger().Requests().size() < n; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return line.Logger().Requests();
}

int RetryAnswer(const std::string&, TMsgDlgButtons buttons) { return (buttons & mbRetry) ? mrRetry : mrOk; }

std::string LastWarning(LoggerLine& line) {
  auto w = line.Handler().Texts(mkWarning);
  return w.empty() ? "" : w.front();
}

class Tv10Kinds : public ::testing::TestWithParam<int> {};

TEST_P(Tv10Kinds, ReadsTheConfigurationWithItsIdentity) {
  const int kind = GetParam();
  LoggerLine line(Logger(kind));
  line.Handler().Answer = RetryAnswer;  // a late answer on a loaded machine is tried again
  TTv10RdCfgProt p;
  p.Port = &line.Port();
  int fired = 0;
  std::vector<uint8_t> image;
  p.OnConfigRead = [&](TComProtocol*) {
    ++fired;
    image.assign(p.GetConfigData(), p.GetConfigData() + line.Logger().Image().size());
  };
  ASSERT_TRUE(p.Execute()) << LastWarning(line);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(p.Kennung, 0x2345);
  EXPECT_EQ(p.DevKind, kind);
  EXPECT_EQ(p.EEVersion, 20);
  EXPECT_EQ(p.BufLen, kind == 6 ? 200 : 128);
  EXPECT_EQ(image, line.Logger().Image());
  EXPECT_EQ(RequestsAfter(line, 4), (std::vector<std::string>{" ", "&S", "?E", "$?E"}));
  EXPECT_TRUE(line.Logger().Violations().empty());
  EXPECT_EQ(line.Port().OnTriggerTimer(), nullptr);
  EXPECT_EQ(line.Port().OnTriggerOutbuffFree(), nullptr);
}

TEST_P(Tv10Kinds, WritesTheConfigurationInChunksOfEight) {
  const int kind = GetParam();
  LoggerLine line(Logger(kind));
  line.Handler().Answer = RetryAnswer;  // a late answer on a loaded machine is tried again
  std::vector<uint8_t> image = line.Logger().Image();
  image[10] ^= 0x5A;
  TTv10WriteEEProt p;
  p.Port = &line.Port();
  p.Kennung = 0x2345;
  p.DevKind = static_cast<uint8_t>(kind);
  p.ConfigByte = 20;
  p.SetBufLen(Tv10ConfigBlockLen(static_cast<uint8_t>(kind)));
  p.ReceiveData(image.data(), static_cast<int32_t>(image.size()));
  ASSERT_TRUE(p.Execute()) << LastWarning(line);
  EXPECT_EQ(line.Logger().Image(), image);
  EXPECT_EQ(Count(line.Logger().Requests(), "%R"), kind == 6 ? 25 : 16);
  EXPECT_TRUE(line.Logger().Violations().empty());
  // The filler after the image is 0xFF, then the CRC.
  EXPECT_EQ(p.Block()[image.size()], 0xFF);
  EXPECT_TRUE(CheckCrc8408(p.Block().data(), p.GetBufLen()));
}

TEST_P(Tv10Kinds, SetsTheClock) {
  LoggerLine line(Logger(GetParam()));
  line.Handler().Answer = RetryAnswer;  // a late answer on a loaded machine is tried again
  TTv10SyncClProt p;
  TFixedClock clock(EncodeDate(2031, 7, 8) + (9 * 3600 + 10 * 60 + 11) / 86400.0);
  p.SetDt->Clock = &clock;
  p.Port = &line.Port();
  ASSERT_TRUE(p.Execute()) << LastWarning(line);
  const sim::DateTimeFields f = line.Logger().Clock();
  EXPECT_EQ(f.year, 2031);
  EXPECT_EQ(f.month, 7);
  EXPECT_EQ(f.day, 8);
  EXPECT_EQ(f.hour, 9);
  EXPECT_EQ(f.minute, 10);
  EXPECT_NEAR(f.second, 11, 3);
  EXPECT_TRUE(line.Logger().Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, Tv10Kinds, ::testing::Values(5, 6, 7));

// A logger slow to answer gets more spaces before its first answer ends the wake-up; it answers
// those too, while the request that follows is on its way. Such a late refusal of a space is no
// refusal of the request.
TEST(Tv10WakeUp, LateAnswersToEarlierSpacesRefuseNoRequest) {
  LoggerLine line(Logger(5, [](sim::Faults& f) { f.late_ms = test::ScaledMs(1200); }));
  {
    TTv10SyncClProt p;
    p.Port = &line.Port();
    ASSERT_TRUE(p.Execute()) << LastWarning(line);
  }
  {
    TTv10ScanProt p;
    p.Port = &line.Port();
    ASSERT_TRUE(p.Execute()) << LastWarning(line);
    EXPECT_EQ(p.Kennung, 0x2345);
  }
  const std::vector<std::string> requests = line.Logger().Requests();
  const auto clock = std::find(requests.begin(), requests.end(), "&T");
  ASSERT_NE(clock, requests.end());
  EXPECT_GE(std::count(requests.begin(), clock, " "), 2) << "one space woke the logger at once";
  EXPECT_TRUE(line.Handler().dialogs.empty());
}

struct ReadFault {
  const char* name;
  std::function<void(sim::Faults&)> set;
  const char* text;    // first warning; "" = the read succeeds
  bool retry = false;  // the user answers Retry to every question
};
// The case's name stands for it in the test's name, not its bytes.
void PrintTo(const ReadFault& c, std::ostream* os) { *os << c.name; }

class Tv10ReadFaults : public ::testing::TestWithParam<ReadFault> {};

TEST_P(Tv10ReadFaults, EndsInItsMessage) {
  const ReadFault& c = GetParam();
  LoggerLine line(Logger(5, c.set));
  if (c.retry) line.Handler().Answer = RetryAnswer;
  TTv10RdCfgProt p;
  p.Port = &line.Port();
  int fired = 0;
  p.OnConfigRead = [&](TComProtocol*) { ++fired; };
  const bool ok = p.Execute();
  if (std::string(c.text).empty()) {
    EXPECT_TRUE(ok) << LastWarning(line);
    EXPECT_EQ(fired, 1);
  } else {
    EXPECT_FALSE(ok);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(LastWarning(line).substr(0, std::string(c.text).size()), c.text) << LastWarning(line);
  }
  EXPECT_EQ(line.Port().OnTriggerTimer(), nullptr);
}

const ReadFault kReadFaults[] = {
    {"Silent", [](sim::Faults& f) { f.silent = true; }, "The logger does not answer.\r\nWaking the logger aborted"},
    {"WrongTypeCode", [](sim::Faults& f) { f.type_code = 41; }, "The logger is not compatible with this device."},
    {"EEVersionAboveLimit", [](sim::Faults& f) { f.answer_ee = 33; }, "The logger's version is not supported."},
    {"FiveBadBlocksThenAGoodOne",
     [](sim::Faults& f) {
       f.bad_crc = {{true, 0, 5}};
     },
     ""},
    {"SixBadBlocks",
     [](sim::Faults& f) {
       f.bad_crc = {{true, 0, 6}};
     },
     "Checksum error"},
    {"TruncatedBlock",
     [](sim::Faults& f) {
       f.truncate = {{true, 0, 1}};
     },
     "The logger does not answer."},
    {"RefusedRead", [](sim::Faults& f) { f.refuse["?E"] = 1; }, "The logger reported an error."},
    {"RefusedReadRepeated", [](sim::Faults& f) { f.refuse["?E"] = 1; }, "", true},
    {"WrongSumOfTheIdentity", [](sim::Faults& f) { f.bad_sum_frames = {3}; }, "The logger does not answer."},
    {"LateAnswers", [](sim::Faults& f) { f.late_ms = test::ScaledMs(200); }, ""},
    {"WakesOnTheThirdSpace", [](sim::Faults& f) { f.wake_after = 3; }, ""},
};

INSTANTIATE_TEST_SUITE_P(Faults, Tv10ReadFaults, ::testing::ValuesIn(kReadFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Tv10WriteEE, AFinalRefusalRepeatsTheWholeBlock) {
  LoggerLine line(Logger(5, [](sim::Faults& f) { f.final_nack = 2; }));
  std::vector<uint8_t> image = line.Logger().Image();
  image[0] ^= 1;
  TTv10WriteEEProt p;
  p.Port = &line.Port();
  p.Kennung = 0x2345;
  p.SetBufLen(128);
  p.ReceiveData(image.data(), static_cast<int32_t>(image.size()));
  ASSERT_TRUE(p.Execute()) << LastWarning(line);
  EXPECT_EQ(Count(line.Logger().Requests(), "%R"), 3 * 16);
  EXPECT_EQ(p.RepeatCount, 3);
  EXPECT_EQ(line.Logger().Image(), image);
  EXPECT_EQ(line.Handler().Texts(mkDiagnoseOnly).size() >= 2, true);
}

TEST(Tv10WriteEE, ARefusedChunkIsSentAgainAndAWrongKennungLeavesTheImage) {
  {
    LoggerLine line(Logger(6, [](sim::Faults& f) { f.refuse["%R"] = 2; }));
    std::vector<uint8_t> image = line.Logger().Image();
    image[1] ^= 1;
    TTv10WriteEEProt p;
    p.Port = &line.Port();
    p.Kennung = 0x2345;
    p.SetBufLen(200);
    p.ReceiveData(image.data(), static_cast<int32_t>(image.size()));
    ASSERT_TRUE(p.Execute()) << LastWarning(line);
    EXPECT_EQ(Count(line.Logger().Requests(), "%R"), 27);
    EXPECT_EQ(line.Logger().Image(), image);
  }
  {
    LoggerLine line(Logger(5));
    const std::vector<uint8_t> before = line.Logger().Image();
    std::vector<uint8_t> image = before;
    image[1] ^= 1;
    TTv10WriteEEProt p;
    p.Port = &line.Port();
    p.Kennung = 0x1111;
    p.SetBufLen(128);
    p.ReceiveData(image.data(), static_cast<int32_t>(image.size()));
    EXPECT_FALSE(p.Execute());
    EXPECT_EQ(LastWarning(line).substr(0, 29), "The logger reported an error.");
    EXPECT_EQ(line.Logger().Image(), before);
  }
}

TEST(Tv10WriteEE, RefusesBadParameters) {
  TTv10WriteEEProt p;
  std::vector<uint8_t> data(127);
  EXPECT_THROW(p.ReceiveData(data.data(), 10), Exception);  // no buffer yet
  p.SetBufLen(128);
  EXPECT_THROW(p.ReceiveData(nullptr, 10), Exception);
  EXPECT_THROW(p.ReceiveData(data.data(), 127), Exception);
  EXPECT_NO_THROW(p.ReceiveData(data.data(), 126));
}

// Holds the main thread for a while after the request has gone out, as a busy machine may:
// the logger's answer comes meanwhile.
void HoldAfterSending(TOutTelegram* t) {
  t->OnSent = [sent = t->OnSent](TTelegram* s) {
    std::this_thread::sleep_for(std::chrono::milliseconds(test::ScaledMs(300)));
    if (sent) sent(s);
  };
}

TEST(Tv10Answers, AnAnswerBeforeTheSendHasReturnedIsKept) {
  for (int kind : {5, 6}) {
    SCOPED_TRACE(kind);
    {
      // The request goes out from the start of the run, with nothing else listening.
      LoggerLine line(Logger(kind));
      TTv10ReadEEProt p;
      p.Port = &line.Port();
      p.Kennung = 0x2345;
      p.DevKind = static_cast<uint8_t>(kind);
      p.BufLen = kind == 6 ? 200 : 128;
      HoldAfterSending(p.ReadEE);
      EXPECT_TRUE(p.Execute()) << LastWarning(line);
    }
    // The requests go out from inside the handling of the answer before, which has ended the
    // wake-up and flushed what came before.
    {
      LoggerLine line(Logger(kind));
      TTv10SyncClProt p;
      p.Port = &line.Port();
      HoldAfterSending(p.SetDt);
      EXPECT_TRUE(p.Execute()) << LastWarning(line);
    }
    LoggerLine line(Logger(kind));
    TTv10RdCfgProt p;
    p.Port = &line.Port();
    HoldAfterSending(p.Scan->Scan);
    HoldAfterSending(p.Read->ReadEE);
    EXPECT_TRUE(p.Execute()) << LastWarning(line);
    EXPECT_EQ(RequestsAfter(line, 4), (std::vector<std::string>{" ", "&S", "?E", "$?E"}));
  }
}

TEST(Tv10SyncCl, ARefusalEndsWithTheLoggersError) {
  LoggerLine line(Logger(5, [](sim::Faults& f) { f.refuse["&T"] = 1; }));
  TTv10SyncClProt p;
  p.Port = &line.Port();
  EXPECT_FALSE(p.Execute());
  EXPECT_EQ(LastWarning(line).substr(0, 29), "The logger reported an error.");
}

}  // namespace
}  // namespace qv
