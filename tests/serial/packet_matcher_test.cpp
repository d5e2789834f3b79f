#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace std::string_literals;

#include "serial/packet_matcher.h"
#include "serial/serial_exception.h"

namespace qv {
namespace {

TPacketSettings Telegram(const std::string& start, int32_t size) {
  TPacketSettings s;
  s.StartString = start;
  s.EndCond = ecPacketSize;
  s.PacketSize = size;
  s.IgnoreCase = false;
  return s;
}

TPacketSettings Block(int32_t size) {
  TPacketSettings s;
  s.StartCond = scAnyData;
  s.EndCond = ecPacketSize;
  s.PacketSize = size;
  return s;
}

struct Delivered {
  int packet;
  std::string data;
  bool operator==(const Delivered&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Delivered& d) { return os << d.packet << ":" << d.data; }

// Feeds the pieces and delivers every packet found; on_packet plays the event handler.
std::vector<Delivered> Feed(TPacketMatcher& m, const std::vector<std::string>& pieces,
                            const std::function<void(int)>& on_packet = nullptr) {
  std::vector<Delivered> out;
  for (const auto& piece : pieces) {
    m.Append(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
    TPacketFound f;
    while (m.Next(f)) {
      out.push_back({f.Packet, m.Buffer().substr(f.DataStart, f.DataSize)});
      if (on_packet) on_packet(f.Packet);
      m.Release(f);
    }
  }
  return out;
}

using Packets = std::vector<Delivered>;

TEST(PacketMatcher, StartStringsAndSizes) {
  struct Case {
    const char* name;
    std::vector<TPacketSettings> settings_list;
    std::string input;
    Packets expected;
  } cases[] = {
      {"leading bytes dropped", {Telegram("$", 5)}, "xx$abcd", {{0, "$abcd"}}},
      {"failed partial start rescans", {Telegram("&S", 7)}, "&&S12345", {{0, "&S12345"}}},
      {"overlapping start", {Telegram("aab", 4)}, "aaab!", {{0, "aab!"}}},
      {"wildcard", {Telegram("?N", 3)}, std::string("AN1\0N2", 6), {{0, "AN1"}}},
      {"escaped wildcard", {Telegram("\\?x", 3)}, "yx1?x2", {{0, "?x2"}}},
      {"second listed wins when its start comes first", {Telegram("$", 5), Telegram("#", 5)}, "#ABCD", {{1, "#ABCD"}}},
      {"count 35 inside an answer",
       {Telegram("#", 5), Telegram("$?T", 7)},
       "$?T#\x00\xDA\x00"s,
       {{1, "$?T#\x00\xDA\x00"s}}},
      {"count 108 and its sum",
       {Telegram("#", 5), Telegram("$?T", 7)},
       "$?T\x6C\x00\x23\x01"s,
       {{1, "$?T\x6C\x00\x23\x01"s}}},
      {"earlier overlapping start wins", {Telegram("b", 2), Telegram("ab", 3)}, "xabc", {{1, "abc"}}},
  };
  for (const auto& c : cases) {
    TPacketMatcher m;
    for (const auto& s : c.settings_list) m.Enable(m.Add(s));
    EXPECT_EQ(Feed(m, {c.input}), c.expected) << c.name;
  }
}

TEST(PacketMatcher, CaseEndStringsAndIncludedStrings) {
  TPacketSettings upper = Telegram("ab", 3);
  upper.IgnoreCase = true;
  TPacketSettings framed;
  framed.StartString = "<";
  framed.EndCond = ecString;
  framed.EndString = ">";
  TPacketSettings bare = framed;
  bare.IncludeStrings = false;
  TPacketSettings either = framed;
  either.EndCond = ecString | ecPacketSize;
  either.PacketSize = 4;
  TPacketSettings start_only;
  start_only.StartString = "OK";
  struct Case {
    TPacketSettings settings;
    std::string input;
    std::string expected;
  } cases[] = {
      {upper, "xAB1", "AB1"},   {framed, "-<abc>-", "<abc>"}, {bare, "<abc>", "abc"},
      {either, "<ab>", "<ab>"}, {either, "<abcdef>", "<abc"}, {start_only, "xxOKyy", "OK"},
  };
  for (const auto& c : cases) {
    TPacketMatcher m;
    m.Enable(m.Add(c.settings));
    EXPECT_EQ(Feed(m, {c.input}), (Packets{{0, c.expected}})) << c.input;
  }
}

// A conversation: garbage, answers, a block right behind its answer, a negative answer.
TEST(PacketMatcher, SameResultWhateverTheBytesAreSplit) {
  const std::string stream =
      "\x01\xFF$xx$?T\x02\x00\x99\x00"
      "BLOCK-0123"
      "zz#?T\xB6\x00"
      "$?T#\x00\xDA\x00"
      "\xFE\xFE\xFE"s;
  auto setup = [](TPacketMatcher& m, int& block) {
    m.Enable(m.Add(Telegram("#", 5)));
    m.Enable(m.Add(Telegram("$?T", 7)));
    block = m.Add(Block(10));
  };
  // The answer's handler listens for the block that follows; the block's handler listens again.
  auto handler = [](TPacketMatcher& m, int block) {
    return [&m, block](int packet) {
      if (packet == 1) m.Enable(block);
      if (packet == 2) m.Enable(1);
      if (packet == 0) m.Enable(0);
    };
  };
  TPacketMatcher whole;
  int block;
  setup(whole, block);
  Packets expected = Feed(whole, {stream}, handler(whole, block));
  ASSERT_EQ(expected,
            (Packets{{1, "$?T\x02\x00\x99\x00"s}, {2, "BLOCK-0123"}, {0, "#?T\xB6\x00"s}, {1, "$?T#\x00\xDA\x00"s}}));

  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    TPacketMatcher m;
    setup(m, block);
    EXPECT_EQ(Feed(m, {stream.substr(0, cut), stream.substr(cut)}, handler(m, block)), expected) << cut;
  }
  TPacketMatcher bytewise;
  setup(bytewise, block);
  std::vector<std::string> bytes;
  for (char c : stream) bytes.emplace_back(1, c);
  EXPECT_EQ(Feed(bytewise, bytes, handler(bytewise, block)), expected);
}

TEST(PacketMatcher, NothingIsKeptWhileNoPacketListens) {
  TPacketMatcher m;
  int p = m.Add(Telegram("a", 2));
  EXPECT_TRUE(Feed(m, {"abc"}).empty());
  m.Enable(p);
  EXPECT_TRUE(m.Buffer().empty());
  EXPECT_EQ(Feed(m, {"xab"}), (Packets{{0, "ab"}}));
  EXPECT_FALSE(m.Enabled(p));  // delivered packets wait to be enabled again
  EXPECT_TRUE(Feed(m, {"ab"}).empty());
}

TEST(PacketMatcher, TimeOutsAndWaitingBlocks) {
  TPacketMatcher m;
  int answer = m.Add(Telegram("$", 4));
  int block = m.Add(Block(6));
  m.Enable(answer);
  EXPECT_TRUE(Feed(m, {"--$a"}).empty());
  EXPECT_EQ(m.Collecting(), answer);
  m.Enable(block);  // waits for the answer to finish
  EXPECT_EQ(m.Collecting(), answer);
  EXPECT_EQ(m.TimeOut(), answer);
  EXPECT_TRUE(m.Buffer().empty());
  EXPECT_FALSE(m.Enabled(answer));
  EXPECT_EQ(m.Collecting(), block);  // the block starts when the answer gave up
  EXPECT_EQ(Feed(m, {"123"}), Packets{});
  EXPECT_EQ(m.TimeOut(), block);
  EXPECT_EQ(m.TimeOut(), -1);

  m.Enable(block);
  m.Idle();  // the port closed
  EXPECT_EQ(m.Collecting(), -1);
  m.Restart();
  EXPECT_EQ(Feed(m, {"abcdefgh"}), (Packets{{block, "abcdef"}}));
}

TEST(PacketMatcher, OversizeInput) {
  TPacketSettings endless;
  endless.StartString = "<";
  endless.EndCond = ecString;
  endless.EndString = ">";
  TPacketMatcher m;
  int p = m.Add(endless);
  m.Enable(p);
  std::string flood = "<" + std::string(kMaxPacketLength + 1, 'x');
  EXPECT_TRUE(Feed(m, {flood}).empty());
  EXPECT_FALSE(m.Enabled(p));  // given up, not kept growing
  EXPECT_TRUE(m.Buffer().empty());
  EXPECT_EQ(ValidatePacketSettings(Telegram("$", static_cast<int32_t>(kMaxPacketLength) + 1)), ecPacketTooLong);
}

TEST(PacketMatcher, EndStringsSplitAcrossPiecesOfALongPacket) {
  // The search for an end string goes on where the last one stopped: an end string that
  // arrives split at any point, after many pieces without one, is still found, and so is one
  // with a wildcard that could have matched across the earlier pieces.
  for (const std::string& end : {"END"s, "E?D"s, "\\?\\?"s}) {
    const std::string wire_end = end == "\\?\\?" ? "??" : "END";
    for (size_t piece : {1u, 2u, 3u, 7u, 4096u}) {
      SCOPED_TRACE(end + " " + std::to_string(piece));
      TPacketSettings s;
      s.StartString = "<";
      s.EndCond = ecString;
      s.EndString = end;
      s.IgnoreCase = false;
      TPacketMatcher m;
      m.Enable(m.Add(s));
      std::string body(10000, 'x');
      for (size_t i = 0; i < body.size(); i += 97) body[i] = 'E';  // near misses
      const std::string wire = "<" + body + wire_end + "tail";
      std::vector<std::string> pieces;
      for (size_t i = 0; i < wire.size(); i += piece) pieces.push_back(wire.substr(i, piece));
      EXPECT_EQ(Feed(m, pieces), (Packets{{0, "<" + body + wire_end}}));
    }
  }
}

TEST(PacketMatcher, InvalidSettings) {
  TPacketSettings no_start = Telegram("", 5);
  TPacketSettings small = Telegram("abc", 2);
  TPacketSettings any_no_end = Block(5);
  any_no_end.EndCond = 0;
  TPacketSettings no_end_string = Telegram("a", 5);
  no_end_string.EndCond = ecString;
  TPacketSettings zero = Telegram("a", 0);
  // A lone escape character matches nothing: as empty as no string at all.
  TPacketSettings escape_start = Telegram("\\", 5);
  TPacketSettings escape_end = no_end_string;
  escape_end.EndString = "\\";
  TPacketSettings escaped_end = no_end_string;
  escaped_end.EndString = "\\\\";
  struct Case {
    TPacketSettings settings;
    int code;
  } cases[] = {{no_start, ecStartStringEmpty},     {small, ecPacketTooSmall},      {any_no_end, ecNoEndCharCount},
               {no_end_string, ecEmptyEndString},  {zero, ecZeroSizePacket},       {Telegram("ab", 2), 0},
               {escape_start, ecStartStringEmpty}, {escape_end, ecEmptyEndString}, {escaped_end, 0}};
  for (const auto& c : cases) EXPECT_EQ(ValidatePacketSettings(c.settings), c.code) << c.code;
}

}  // namespace
}  // namespace qv
