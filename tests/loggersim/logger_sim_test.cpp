#include "logger_sim.h"

#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace qv::sim {
namespace {

using test::F;
using test::H;
using test::Hex;

const DateTimeFields kClock{2024, 6, 1, 12, 0, 0};

// Drives the logger directly: every call is one write of the program, answered at once.
class Logger {
public:
  explicit Logger(SimConfig config = {}) : sim(config, kClock, 1000) {}
  explicit Logger(const std::vector<std::string>& args) : Logger(Parse(args)) {}

  static SimConfig Parse(const std::vector<std::string>& args) {
    SimConfig c;
    c.ParseArgs({"--start", "2024-05-01 10:00:00"});
    c.ParseArgs(args);
    return c;
  }
  // All answer bytes to `bytes`, in order.
  Bytes Send(const Bytes& bytes) {
    Bytes out;
    for (const Reply& r : sim.Receive(bytes, now)) out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    return out;
  }
  Bytes Space() { return Send(H("20")); }
  Bytes Prepare(int channel) { return Send(F(std::string("?").append(1, char('0' + channel)), H("34 12 00 00"))); }
  Bytes ReadFrom(DateTimeFields f) {
    return Send(F("?T", {uint8_t(f.year - 2000), uint8_t(f.month), uint8_t(f.day), uint8_t(f.hour), uint8_t(f.minute),
                         uint8_t(f.second)}));
  }
  // A whole memory read of one channel from `from`: the payloads of all blocks, joined.
  Bytes ReadChannel(int channel, DateTimeFields from = {2000, 1, 1, 0, 0, 0}) {
    EXPECT_EQ(Hex(Prepare(channel)), Hex(F(std::string("$?").append(1, char('0' + channel)))));
    Bytes answer = ReadFrom(from);
    EXPECT_GE(answer.size(), 7u);
    const size_t count = GetWord(answer, 3);
    answer.erase(answer.begin(), answer.begin() + 7);
    const size_t len = sim.Config().MemoryBlockLength();
    Bytes payload;
    for (size_t i = 0; i < count; ++i) {
      Bytes block = answer;
      EXPECT_EQ(block.size(), len);
      EXPECT_TRUE(BlockCrcOk(block)) << "block " << i + 1;
      payload.insert(payload.end(), block.begin(), block.end() - 2);
      answer = Send(F("$?T"));
    }
    EXPECT_TRUE(answer.empty()) << "nothing after the last block";
    return payload;
  }

  LoggerSim sim;
  int64_t now = 1000;
};

Bytes Slice(const Bytes& b, size_t from, size_t n) { return Bytes(b.begin() + from, b.begin() + from + n); }

TEST(LoggerSim, AnswersEveryRequestAsTheLoggerDoes) {
  struct Case {
    int kind;
    std::string request;
    std::string answer;
  } cases[] = {
      {5, "20", "23 20 20 63 00"},
      {5, "26 53 79 00", "24 26 53 9D 00 26 53 34 12 05 C4 00"},
      {6, "26 53 79 00", "24 26 53 9D 00 26 53 34 12 28 E7 00"},
      {7, "26 53 79 00", "24 26 53 9D 00 26 53 34 12 32 F1 00"},
      {5, "26 54 18 03 0F 0D 2D 1E FC 00", "24 26 54 9E 00"},
      {5, "25 45 14 00 34 12 00 00 C4 00", "24 25 45 8E 00"},
      {5, "25 31 34 12 00 00 9C 00", "24 25 31 7A 00"},
      {6, "25 34 34 12 00 00 9F 00", "24 25 34 7D 00"},
      {5, "3F 31 34 12 00 00 B6 00", "24 3F 31 94 00"},
  };
  for (const Case& c : cases) {
    Logger logger({"--kind", std::to_string(c.kind)});
    EXPECT_EQ(Hex(logger.Send(H(c.request))), c.answer) << c.kind << ": " << c.request;
    EXPECT_TRUE(logger.sim.Violations().empty()) << c.request;
  }
}

TEST(LoggerSim, ConfigurationReadServesTheImageInACrcBlock) {
  for (int kind : {5, 6, 7}) {
    Logger logger({"--kind", std::to_string(kind), "--slot1", "2"});
    Bytes answer = logger.Send(H("3F 45 34 12 00 00 CA 00"));
    ASSERT_EQ(Hex(Slice(answer, 0, 7)), "24 3F 45 14 00 BC 00");
    Bytes block(answer.begin() + 7, answer.end());
    const size_t image_len = kind == 6 ? 146 : 94, id_at = kind == 6 ? 71 : 47;
    ASSERT_EQ(block.size(), kind == 6 ? 200u : 128u);
    EXPECT_TRUE(BlockCrcOk(block));
    EXPECT_EQ(block[10], 20) << "EE version";
    EXPECT_EQ(GetWord(block, id_at), 0x1234);
    EXPECT_EQ(block[id_at + 18], 0) << "board";
    EXPECT_EQ(block[id_at + 19], 2) << "slot 1 sensor type";
    EXPECT_EQ(GetWord(block, id_at + 19 + 10), 2120) << "slot 1 maximum in tenths (212 °F)";
    EXPECT_EQ(block[id_at + 19 + 14], 3) << "slot 2 sensor type";
    EXPECT_EQ(Hex(Slice(block, image_len, 3)), "FF FF FF") << "filler";
    // Refused: the same block again; accepted: done.
    EXPECT_EQ(Hex(logger.Send(H("23 3F 45 A7 00"))), Hex(block));
    EXPECT_TRUE(logger.Send(H("24 3F 45 A8 00")).empty());
    EXPECT_TRUE(logger.sim.Violations().empty());
  }
}

TEST(LoggerSim, WrittenConfigurationIsServedByTheNextRead) {
  for (int kind : {5, 6}) {
    Logger logger({"--kind", std::to_string(kind)});
    Bytes block(kind == 6 ? 200 : 128, 0xFF);
    Bytes image = logger.sim.Image();
    image[11] = 'N';  // a new short name
    std::copy(image.begin(), image.end(), block.begin());
    SetBlockCrc(block);

    EXPECT_EQ(Hex(logger.Send(H("25 45 14 00 34 12 00 00 C4 00"))), "24 25 45 8E 00");
    for (size_t at = 0; at < block.size(); at += 8) {
      Bytes answer = logger.Send(F("%R", Slice(block, at, 8)));
      const bool last = at + 8 == block.size();
      EXPECT_EQ(Hex(answer), last ? "24 25 52 9B 00 24 25 52 9B 00" : "24 25 52 9B 00") << at;
    }
    EXPECT_EQ(logger.sim.Image(), image);
    Bytes served = logger.Send(H("3F 45 34 12 00 00 CA 00"));
    EXPECT_EQ(Slice(served, 7, image.size()), image);
    EXPECT_TRUE(logger.sim.Violations().empty());
  }
}

TEST(LoggerSim, WrittenBlockWithBadCrcIsRefusedWhole) {
  Logger logger;
  const Bytes before = logger.sim.Image();
  Bytes block(128, 0x11);  // no CRC
  logger.Send(H("25 45 14 00 34 12 00 00 C4 00"));
  Bytes last;
  for (size_t at = 0; at < block.size(); at += 8) last = logger.Send(F("%R", Slice(block, at, 8)));
  EXPECT_EQ(Hex(last), "24 25 52 9B 00 23 25 52 9A 00");
  EXPECT_EQ(logger.sim.Image(), before);
  // All chunks come again from offset 0.
  SetBlockCrc(block);
  for (size_t at = 0; at < block.size(); at += 8) last = logger.Send(F("%R", Slice(block, at, 8)));
  EXPECT_EQ(Hex(last), "24 25 52 9B 00 24 25 52 9B 00");
  EXPECT_EQ(logger.sim.Image(), Slice(block, 0, 94));
}

TEST(LoggerSim, MemoryBlockCarriesHeaderAndSamples) {
  Logger logger({"--samples", "2", "--channels", "1"});
  ASSERT_EQ(Hex(logger.Prepare(1)), "24 3F 31 94 00");
  Bytes answer = logger.Send(H("3F 54 00 01 01 00 00 00 95 00"));
  ASSERT_EQ(Hex(Slice(answer, 0, 7)), "24 3F 54 01 00 B8 00");
  Bytes block(answer.begin() + 7, answer.end());
  ASSERT_EQ(block.size(), 128u);
  EXPECT_TRUE(BlockCrcOk(block));
  EXPECT_EQ(Hex(Slice(block, 0, 24)), "FF FF 14 18 05 01 0A 00 00 0A 00 07 06 00 00 00 01 00 00 00 00 00 B5 2E");
  for (int sample = 0; sample < 2; ++sample)
    for (int kind = 0; kind < 3; ++kind)
      EXPECT_EQ(GetWord(block, 24 + 2 * (3 * sample + kind)), SampleWord(1, sample, kind));
  EXPECT_EQ(Slice(block, 36, 90), Bytes(90, 0)) << "padding";
  EXPECT_TRUE(logger.Send(H("24 3F 54 B7 00")).empty());
}

// Cuts a joined memory stream into (header, words) pairs as the program will.
struct Parsed {
  Bytes header;
  std::vector<uint16_t> words;
};
std::vector<Parsed> ParseStream(const Bytes& s, size_t count_at = 12) {
  std::vector<Parsed> out;
  size_t at = 0;
  while (at + 24 <= s.size() && GetWord(s, at) >= 0xFFFC) {
    Parsed p{Slice(s, at, 24), {}};
    EXPECT_TRUE(BlockCrcOk(p.header));
    const size_t words = p.header[count_at];
    at += 24;
    for (size_t w = 0; w < words; ++w, at += 2) p.words.push_back(GetWord(s, at));
    out.push_back(p);
  }
  for (; at < s.size(); ++at) EXPECT_EQ(s[at], 0) << "padding at " << at;
  return out;
}

int64_t HeaderTime(const Bytes& h, size_t o = 3) {
  return FieldsToSeconds({2000 + h[o], h[o + 1], h[o + 2], h[o + 3], h[o + 4], h[o + 5]});
}

TEST(LoggerSim, SeriesSpanBlocksAndSplitAtGapsAndWordLimit) {
  // 200 samples of min and max: at most 127 samples under one header, and a gap of 3
  // intervals after sample 150.
  Logger logger({"--kinds", "6", "--samples", "200", "--gap", "150:3", "--interval", "15"});
  Bytes stream = logger.ReadChannel(2);
  auto parsed = ParseStream(stream);
  ASSERT_EQ(parsed.size(), 3u);
  const int64_t start = FieldsToSeconds({2024, 5, 1, 10, 0, 0});
  const size_t counts[] = {127, 23, 50};
  const int64_t first_sample[] = {0, 127, 153};  // in intervals from the start
  int sample = 0;
  for (size_t i = 0; i < 3; ++i) {
    const Bytes& h = parsed[i].header;
    EXPECT_EQ(GetWord(h, 0), 0xFFFE) << "channel 2 marker";
    EXPECT_EQ(GetWord(h, 9), 15);
    EXPECT_EQ(h[11], 6);
    EXPECT_EQ(h[16], 3) << "slot 2's sensor type";
    ASSERT_EQ(parsed[i].words.size(), 2 * counts[i]);
    EXPECT_EQ(HeaderTime(h), start + first_sample[i] * 900) << i;
    for (size_t s = 0; s < counts[i]; ++s, ++sample) {
      EXPECT_EQ(parsed[i].words[2 * s], SampleWord(2, sample, 0));
      EXPECT_EQ(parsed[i].words[2 * s + 1], SampleWord(2, sample, 1));
    }
  }
  EXPECT_TRUE(logger.sim.Violations().empty());
}

TEST(LoggerSim, ReadFromAStartDateServesOnlyLaterSamples) {
  Logger logger({"--samples", "10", "--kinds", "1"});
  auto parsed = ParseStream(logger.ReadChannel(1, {2024, 5, 1, 10, 25, 0}));
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(HeaderTime(parsed[0].header), FieldsToSeconds({2024, 5, 1, 10, 30, 0}));
  ASSERT_EQ(parsed[0].words.size(), 7u);
  EXPECT_EQ(parsed[0].words[0], SampleWord(1, 3, 2));
  // After the last sample: nothing to read, no block follows.
  EXPECT_EQ(Hex(logger.Prepare(1)), "24 3F 31 94 00");
  EXPECT_EQ(Hex(logger.ReadFrom({2024, 5, 1, 11, 40, 0})), "24 3F 54 00 00 B7 00");
}

TEST(LoggerSim, WithoutAStartTheSeriesEndsAtTheLoggersClock) {
  SimConfig config;
  config.ParseArgs({"--samples", "30", "--interval", "15", "--gap", "10:2", "--kinds", "1"});
  LoggerSim sim(config, {2024, 6, 1, 12, 7, 0}, 0);
  ASSERT_EQ(sim.Memory().size(), 4u);
  EXPECT_EQ(sim.Memory()[0].start, FieldsToSeconds({2024, 6, 1, 12, 0, 0}) - 31 * 900);
  EXPECT_EQ(sim.Memory()[1].start + 19 * 900, FieldsToSeconds({2024, 6, 1, 12, 0, 0}));
}

TEST(LoggerSim, KindSixUsesLargeBlocksAndFourMarkers) {
  Logger logger({"--kind", "6", "--samples", "1500", "--kinds", "1"});
  Bytes stream = logger.ReadChannel(4);
  EXPECT_EQ(stream.size(), 3998u);  // 6 headers and 1500 words in one block
  auto parsed = ParseStream(stream);
  ASSERT_EQ(parsed.size(), 6u);
  EXPECT_EQ(GetWord(parsed[0].header, 0), 0xFFFC);
  EXPECT_EQ(parsed[5].words.back(), SampleWord(4, 1499, 2));
}

TEST(LoggerSim, OldHeaderLayoutHasNoVersionByte) {
  Logger logger({"--ee", "17", "--samples", "1", "--kinds", "1"});
  auto parsed = ParseStream(logger.ReadChannel(1), 11);
  ASSERT_EQ(parsed.size(), 1u);
  const Bytes& h = parsed[0].header;
  EXPECT_EQ(HeaderTime(h, 2), FieldsToSeconds({2024, 5, 1, 10, 0, 0}));
  EXPECT_EQ(GetWord(h, 8), 10);
  EXPECT_EQ(h[10], 1);
  EXPECT_EQ(h[14], 0);
  EXPECT_EQ(h[15], 1);
}

TEST(LoggerSim, ClearEmptiesOneChannel) {
  Logger logger({"--samples", "5"});
  EXPECT_EQ(Hex(logger.Send(H("25 31 34 12 00 00 9C 00"))), "24 25 31 7A 00");
  EXPECT_TRUE(logger.ReadChannel(1).empty());
  EXPECT_FALSE(logger.ReadChannel(2).empty());
}

TEST(LoggerSim, CurrentValues) {
  // Kinds 5 and 7: slot 1's words, then slot 2's; twelve bytes need a second answer.
  Logger three({"--current", "1:100,200,300", "--current", "2:400,500,600"});
  EXPECT_EQ(Hex(three.Send(H("3F 4E 34 12 00 00 D3 00"))), Hex(F("$?N")) + " " +
                                                               Hex(F("?N", H("64 00 C8 00 2C 01 90 01"))) + " " +
                                                               Hex(F("?N", H("F4 01 58 02 00 00 00 00"))));
  Logger one({"--kind", "7", "--kinds", "1", "--current", "1:100,200,300", "--current", "2:400,500,600"});
  EXPECT_EQ(Hex(one.Send(H("3F 4E 34 12 00 00 D3 00"))),
            Hex(F("$?N")) + " " + Hex(F("?N", H("2C 01 58 02 00 00 00 00"))));
  // Kind 6: one channel per request; a kind not stored reads 0xFFFD.
  Logger six({"--kind", "6", "--kinds", "3", "--current", "1:100,200,300"});
  EXPECT_EQ(Hex(six.Send(H("3F 4E 31 34 12 00 00 04 01"))),
            "24 3F 4E B1 00 " + Hex(F("?N", H("31 FD FF C8 00 2C 01"))));
}

TEST(LoggerSim, SetClockRunsTheLoggerClock) {
  Logger logger;
  EXPECT_EQ(FormatDateTime(logger.sim.ClockAt(logger.now)), "2024-06-01 12:00:00");
  EXPECT_EQ(Hex(logger.Send(H("26 54 18 03 0F 0D 2D 3C 1A 01"))), "24 26 54 9E 00");  // second 60
  EXPECT_EQ(FormatDateTime(logger.sim.ClockAt(logger.now + 2500)), "2024-03-15 13:46:02");
  EXPECT_TRUE(logger.sim.Violations().empty());
}

TEST(LoggerSim, FramesArriveInAnyPieces) {
  // The same conversation whole, byte by byte and as one run of frames.
  const Bytes conversation = H("20 26 53 79 00 3F 45 34 12 00 00 CA 00 24 3F 45 A8 00 3F 31 34 12 00 00 B6 00");
  Logger whole;
  const Bytes expected = whole.Send(conversation);
  EXPECT_EQ(expected.size(), 5u + 12 + 7 + 128 + 5);
  Logger bytewise;
  Bytes got;
  for (uint8_t b : conversation) {
    Bytes part = bytewise.Send({b});
    got.insert(got.end(), part.begin(), part.end());
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(bytewise.sim.Requests(), (std::vector<std::string>{" ", "&S", "?E", "$?E", "?1"}));
  // Garbage between frames is skipped and reported.
  Logger noisy;
  EXPECT_EQ(Hex(noisy.Send(H("00 26 41 26 53 79 00"))), "24 26 53 9D 00 26 53 34 12 05 C4 00");
  EXPECT_EQ(noisy.sim.Violations().size(), 3u);
}

TEST(LoggerSim, SelfChecksReportTheProgramsMistakes) {
  struct Case {
    std::string request;
    std::string answer;
    std::string violation;
  } cases[] = {
      {"3F 45 34 12 00 00 CB 00", "", "bad sum in ?E"},
      {"3F 45 35 12 00 00 CB 00", "23 3F 45 A7 00", "?E with Kennung 4661"},
      {"25 45 14 00 34 13 00 00 C5 00", "23 25 45 8D 00", "%E with Kennung 4916"},
      {"3F 4E 34 13 00 00 D4 00", "23 3F 4E B0 00", "?N with Kennung 4916"},
      {"25 32 00 00 00 00 57 00", "23 25 32 7A 00", "%2 with Kennung 0"},
      {Hex(F("%R", Bytes(8, 0))), "23 25 52 9A 00", "%R without an acknowledged %E"},
      {"3F 54 00 01 01 00 00 00 95 00", "23 3F 54 B6 00", "?T without an acknowledged ? + channel"},
      {Hex(F("&T", H("18 03 0F 0D 2D 3D"))), "23 26 54 9D 00", "&T with invalid time 2024-03-15 13:45:61"},
      {"24 3F 54 B7 00", "", "$?T without a memory block"},
      {"3F 33 34 12 00 00 B8 00", "23 3F 33 95 00", "memory read of channel 3"},
      {"25 33 34 12 00 00 9E 00", "23 25 33 7B 00", "clear of channel 3"},
  };
  for (const Case& c : cases) {
    Logger logger;
    EXPECT_EQ(Hex(logger.Send(H(c.request))), c.answer) << c.request;
    EXPECT_EQ(logger.sim.Violations(), std::vector<std::string>{c.violation}) << c.request;
  }
}

// Stray bytes that begin a frame are dropped after a pause, as a logger drops a partial frame,
// so the program's next wake-up space is heard; a frame split by a shorter pause is still taken.
TEST(LoggerSim, PartialFrameIsDroppedAfterAPause) {
  Logger logger;
  EXPECT_TRUE(logger.Send(H("3F 45")).empty());  // the start of "?E"
  logger.now += 5;
  EXPECT_TRUE(logger.Space().empty()) << "taken into the partial frame";
  logger.now += 495;  // the program's next space
  EXPECT_EQ(Hex(logger.Space()), "23 20 20 63 00");
  EXPECT_EQ(logger.sim.Violations(), std::vector<std::string>{"partial frame 3F 45 20 dropped"});

  Logger slow;
  slow.Send(H("26 53"));
  slow.now += 150;
  EXPECT_EQ(Hex(slow.Send(H("79 00"))), "24 26 53 9D 00 26 53 34 12 05 C4 00");
  EXPECT_TRUE(slow.sim.Violations().empty());
}

// Protocol order: "?T" needs the "?" + channel right before it acknowledged, and a clear of
// the channel being read ends its transfer.
TEST(LoggerSim, MemoryReadOrderChecks) {
  Logger refused({"--refuse", "?2"});
  EXPECT_EQ(Hex(refused.Prepare(1)), "24 3F 31 94 00");
  EXPECT_EQ(Hex(refused.Prepare(2)), "23 3F 32 94 00");
  EXPECT_EQ(Hex(refused.ReadFrom({2000, 1, 1, 0, 0, 0})), "23 3F 54 B6 00");
  EXPECT_EQ(refused.sim.Violations(), std::vector<std::string>{"?T without an acknowledged ? + channel"});

  Logger cleared({"--samples", "300", "--kinds", "1"});
  cleared.Prepare(2);
  EXPECT_EQ(Hex(Slice(cleared.ReadFrom({2000, 1, 1, 0, 0, 0}), 0, 7)), Hex(F("$?T", H("06 00"))));
  EXPECT_EQ(Hex(cleared.Send(H("25 32 34 12 00 00 9D 00"))), "24 25 32 7B 00");
  EXPECT_TRUE(cleared.Send(H("24 3F 54 B7 00")).empty()) << "no block of the cleared memory";
  EXPECT_EQ(cleared.sim.Violations(), std::vector<std::string>{"$?T without a memory block"});
}

// Kind 6 takes "?N" with a channel digit; the eight-byte form of the other kinds is refused
// at once instead of waiting for a ninth byte.
TEST(LoggerSim, KindSixRefusesCurrentValuesWithoutAChannel) {
  for (int id : {0x1234, 0x5678}) {  // 0x34 is also the digit "4"
    Logger logger({"--kind", "6", "--id", std::to_string(id)});
    const Bytes request = F("?N", {uint8_t(id & 0xFF), uint8_t(id >> 8), 0, 0});
    EXPECT_EQ(Hex(logger.Send(request)), "23 3F 4E B0 00") << id;
    EXPECT_EQ(Hex(logger.Space()), "23 20 20 63 00") << id;
    EXPECT_EQ(logger.sim.Violations(), std::vector<std::string>{"?N without a channel"}) << id;
    EXPECT_EQ(Slice(logger.Send(F("?N", {'2', uint8_t(id & 0xFF), uint8_t(id >> 8), 0, 0})), 0, 5), F("$?N"));
  }
}

TEST(LoggerSim, GapsAfterOneSampleAddUp) {
  SimConfig config;
  config.ParseArgs({"--start", "2024-05-01 10:00:00", "--samples", "20", "--kinds", "1", "--channels", "1", "--gap",
                    "10:1", "--gap", "10:2"});
  LoggerSim sim(config, kClock, 0);
  ASSERT_EQ(sim.Memory().size(), 2u);
  EXPECT_EQ(sim.Memory()[0].words.size(), 10u);
  EXPECT_EQ(sim.Memory()[1].words.front(), SampleWord(1, 10, 2));
  EXPECT_EQ(sim.Memory()[1].start - sim.Memory()[0].start, (10 + 3) * 600);
}

TEST(LoggerSim, PacedAnswersWaitForTheRequestsLineTime) {
  Logger paced({"--baud", "9600"});
  auto replies = paced.sim.Receive(H("3F 45 34 12 00 00 CA 00"), 500);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].not_before_ms, 500 + 9);  // 8 bytes at 9600: 8.3 ms
  // A request that came in pieces is timed from its first byte.
  paced.sim.Receive(H("26 53"), 1000);
  replies = paced.sim.Receive(H("79 00"), 1001);
  EXPECT_EQ(replies[0].not_before_ms, 1000 + 5);
  Logger burst({"--burst"});
  EXPECT_EQ(burst.sim.Receive(H("26 53 79 00"), 700)[0].not_before_ms, 700);
}

TEST(LoggerSim, WakeUpFaults) {
  Logger silent({"--silent"});
  EXPECT_TRUE(silent.Space().empty());
  EXPECT_TRUE(silent.Send(H("26 53 79 00")).empty());

  Logger sleepy({"--wake-after", "3"});
  EXPECT_TRUE(sleepy.Space().empty());
  EXPECT_TRUE(sleepy.Space().empty());
  EXPECT_EQ(Hex(sleepy.Space()), "23 20 20 63 00");
  EXPECT_EQ(Hex(sleepy.Space()), "23 20 20 63 00") << "awake: every space is answered";
  sleepy.Send(H("26 53 79 00"));
  EXPECT_TRUE(sleepy.Space().empty()) << "a new conversation counts again";

  Logger late({"--late-wake", "600", "--late", "100"});
  EXPECT_EQ(late.sim.Receive(H("20"), 0)[0].not_before_ms, 1 + 700);
  EXPECT_EQ(late.sim.Receive(H("26 53 79 00"), 0)[0].not_before_ms, 3 + 100);
}

TEST(LoggerSim, RefusalsAndBadSums) {
  Logger logger({"--refuse", "?E:2", "--refuse", "%R", "--bad-sum", "2"});
  EXPECT_EQ(Hex(logger.Space()), "23 20 20 63 00");
  EXPECT_EQ(Hex(logger.Space()), "23 20 20 64 00") << "frame 2: sum off by one";
  EXPECT_EQ(Hex(logger.Send(H("3F 45 34 12 00 00 CA 00"))), "23 3F 45 A7 00");
  EXPECT_EQ(Hex(logger.Send(H("3F 45 34 12 00 00 CA 00"))), "23 3F 45 A7 00");
  EXPECT_EQ(Hex(Slice(logger.Send(H("3F 45 34 12 00 00 CA 00")), 0, 7)), "24 3F 45 14 00 BC 00");
  logger.Send(H("25 45 14 00 34 12 00 00 C4 00"));
  const Bytes chunk = F("%R", Bytes(8, 0xFF));
  EXPECT_EQ(Hex(logger.Send(chunk)), "23 25 52 9A 00");
  EXPECT_EQ(Hex(logger.Send(chunk)), "24 25 52 9B 00");
}

TEST(LoggerSim, IdentityAndVersionFaults) {
  Logger logger({"--type-code", "41", "--answer-ee", "33", "--image-id", "0x4321"});
  EXPECT_EQ(Hex(logger.Send(H("26 53 79 00"))), "24 26 53 9D 00 " + Hex(F("&S", H("34 12 29"))));
  Bytes answer = logger.Send(H("3F 45 34 12 00 00 CA 00"));
  EXPECT_EQ(Hex(Slice(answer, 0, 7)), Hex(F("$?E", H("21 00"))));
  EXPECT_EQ(answer[7 + 10], 20) << "the image keeps its own version";
  EXPECT_EQ(GetWord(answer, 7 + 47), 0x4321);
}

TEST(LoggerSim, ConfigurationBlockFaults) {
  Logger crc({"--bad-crc", "cfg:2"});
  Bytes first = crc.Send(H("3F 45 34 12 00 00 CA 00"));
  EXPECT_FALSE(BlockCrcOk(Slice(first, 7, 128)));
  EXPECT_FALSE(BlockCrcOk(crc.Send(H("23 3F 45 A7 00"))));
  EXPECT_TRUE(BlockCrcOk(crc.Send(H("23 3F 45 A7 00"))));
  // A new read starts counting copies again.
  EXPECT_FALSE(BlockCrcOk(Slice(crc.Send(H("3F 45 34 12 00 00 CA 00")), 7, 128)));

  Logger cut({"--truncate", "cfg"});
  EXPECT_EQ(cut.Send(H("3F 45 34 12 00 00 CA 00")).size(), 7u + 64);
  EXPECT_EQ(cut.Send(H("23 3F 45 A7 00")).size(), 128u);
}

TEST(LoggerSim, MemoryBlockFaults) {
  // 300 average samples on channel 1: 6 blocks; memory block 2 is bad twice, block 4 cut.
  Logger logger({"--samples", "300", "--kinds", "1", "--channels", "1", "--bad-crc", "2:2", "--truncate", "4"});
  logger.Prepare(1);
  Bytes answer = logger.ReadFrom({2000, 1, 1, 0, 0, 0});
  EXPECT_EQ(Hex(Slice(answer, 0, 7)), Hex(F("$?T", H("06 00"))));
  EXPECT_TRUE(BlockCrcOk(Slice(answer, 7, 128)));
  Bytes second = logger.Send(H("24 3F 54 B7 00"));
  EXPECT_FALSE(BlockCrcOk(second));
  EXPECT_FALSE(BlockCrcOk(logger.Send(H("23 3F 54 B6 00"))));
  Bytes again = logger.Send(H("23 3F 54 B6 00"));
  EXPECT_TRUE(BlockCrcOk(again));
  EXPECT_EQ(Slice(again, 0, 126), Slice(second, 0, 126));
  EXPECT_TRUE(BlockCrcOk(logger.Send(H("24 3F 54 B7 00"))));
  EXPECT_EQ(logger.Send(H("24 3F 54 B7 00")).size(), 64u);
}

TEST(LoggerSim, AnnouncedBlockCount) {
  Logger none({"--samples", "10", "--block-count", "0"});
  none.Prepare(1);
  EXPECT_EQ(Hex(none.ReadFrom({2000, 1, 1, 0, 0, 0})), "24 3F 54 00 00 B7 00");
  // 35 (0x23, the refusal's start byte) announced over two blocks of data: empty blocks follow.
  Logger many({"--samples", "100", "--kinds", "1", "--block-count", "35", "--burst"});
  auto parsed = ParseStream(many.ReadChannel(1));
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0].words.size(), 100u);
}

TEST(LoggerSim, WriteAndClearFaults) {
  Logger logger({"--final-nack", "--bad-clear-ack"});
  Bytes block(128, 0xFF);
  std::copy(logger.sim.Image().begin(), logger.sim.Image().end(), block.begin());
  SetBlockCrc(block);
  logger.Send(H("25 45 14 00 34 12 00 00 C4 00"));
  for (std::string last : {"23 25 52 9A 00", "24 25 52 9B 00"}) {
    Bytes answer;
    for (size_t at = 0; at < 128; at += 8) answer = logger.Send(F("%R", Slice(block, at, 8)));
    EXPECT_EQ(Hex(answer), "24 25 52 9B 00 " + last);
  }
  EXPECT_EQ(Hex(logger.Send(H("25 31 34 12 00 00 9C 00"))), Hex(F("$%0")));
  EXPECT_TRUE(logger.sim.Violations().empty());
}

TEST(LoggerSim, HeaderFaults) {
  // Three series of ten samples, each header with one fault, and 0xFF after the data.
  Logger logger({"--samples", "30", "--kinds", "1", "--gap", "10:1", "--gap", "20:1", "--bad-header", "1:interval:1441",
                 "--bad-header", "2:pcb:15", "--bad-header", "3:crc", "--ff-padding"});
  Bytes stream = logger.ReadChannel(1);
  ASSERT_EQ(stream.size(), 2u * 126);
  EXPECT_EQ(GetWord(stream, 9), 1441);
  EXPECT_TRUE(BlockCrcOk(Slice(stream, 0, 24)));
  EXPECT_EQ(stream[44 + 15], 15);
  EXPECT_TRUE(BlockCrcOk(Slice(stream, 44, 24)));
  EXPECT_EQ(GetWord(stream, 88), 0xFFFF);
  EXPECT_FALSE(BlockCrcOk(Slice(stream, 88, 24)));
  EXPECT_EQ(Slice(stream, 132, 120), Bytes(120, 0xFF));
}

}  // namespace
}  // namespace qv::sim
