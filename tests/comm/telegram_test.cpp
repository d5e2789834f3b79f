#include "comm/telegram.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm_fixture.h"
#include "serial/pty_pair.h"
#include "serial/ser_custom_com_port.h"
#include "serial/ser_data_packet.h"

namespace qv {
namespace {

using namespace std::string_literals;

using test::EnglishTexts;
using test::Home;
using test::RecordingHandler;

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (uint8_t b : bytes) {
    snprintf(buf, sizeof buf, "%02X ", b);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

TEST(Telegram, EveryRequestIsBuiltByteExactly) {
  const uint8_t chunk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  TFixedClock clock(EncodeDate(2024, 3, 15) + EncodeTime(13, 45, 30, 0));
  struct Case {
    const char* what;
    std::function<std::unique_ptr<TOutTelegram>()> make;
    const char* frame;
  } cases[] = {
      {"scan", [] { return std::make_unique<TScanTelgr>(); }, "26 53 79 00"},
      {"set clock",
       [&] {
         auto t = std::make_unique<TSetDtOutTelgr>();
         t->Clock = &clock;
         t->BuildTelegram();
         return t;
       },
       "26 54 18 03 0F 0D 2D 1E FC 00"},
      {"read configuration",
       [] {
         auto t = std::make_unique<TReadEETelgr>();
         t->SetKennung(0x1234);
         return t;
       },
       "3F 45 34 12 00 00 CA 00"},
      {"announce a write",
       [] {
         auto t = std::make_unique<TPreWriteEETelgr>();
         t->SetConfigByte(20);
         t->SetKennung(0x1234);
         return t;
       },
       "25 45 14 00 34 12 00 00 C4 00"},
      {"configuration chunk",
       [&] {
         auto t = std::make_unique<TWriteEEData>();
         t->SetData(chunk);
         return t;
       },
       "25 52 01 02 03 04 05 06 07 08 9B 00"},
      {"prepare channel 1",
       [] {
         auto t = std::make_unique<TPrepReadOffl>();
         t->SetKennung(0x1234);
         t->SetChannel(1);
         return t;
       },
       "3F 31 34 12 00 00 B6 00"},
      {"memory start",
       [] {
         auto t = std::make_unique<TDtReadOffl>();
         t->SetDateTime(EncodeDate(2000, 1, 1));
         return t;
       },
       "3F 54 00 01 01 00 00 00 95 00"},
      {"clear channel 1",
       [] {
         auto t = std::make_unique<TClearMemTelgr>();
         t->SetChannel(1);
         t->SetKennung(0x1234);
         return t;
       },
       "25 31 34 12 00 00 9C 00"},
      {"current values",
       [] {
         auto t = std::make_unique<TReadOnlTelgr>();
         t->SetKennung(0x1234);
         return t;
       },
       "3F 4E 34 12 00 00 D3 00"},
      {"current values of channel 1",
       [] {
         auto t = std::make_unique<TReadOnlTelgr_4k>();
         t->SetKanal(1);
         t->SetKennung(0x1234);
         return t;
       },
       "3F 4E 31 34 12 00 00 04 01"},
      {"acknowledge",
       [] {
         auto t = std::make_unique<TAckOutTelgr>();
         t->SetCommand("?E");
         return t;
       },
       "24 3F 45 A8 00"},
      {"refusal",
       [] {
         auto t = std::make_unique<TNackOutTelgr>();
         t->SetCommand("?Tx");
         return t;
       },
       "23 3F 54 B6 00"},
  };
  for (const auto& c : cases) {
    auto t = c.make();
    EXPECT_EQ(Hex(t->Data()), c.frame) << c.what;
    EXPECT_TRUE(t->Built) << c.what;
    EXPECT_EQ(TelegramCheckSum(t->Data().data(), t->GetSize()),
              t->Data()[t->Data().size() - 2] | (t->Data().back() << 8))
        << c.what;
  }
}

TEST(Telegram, BuildsNothingWhileAParameterIsMissing) {
  TReadEETelgr read;
  EXPECT_FALSE(read.Built);
  EXPECT_EQ(Hex(read.Data()), "00 00 00 00 00 00 00 FF");
  TPrepReadOffl prep;
  prep.SetKennung(0x1234);  // no channel yet
  EXPECT_FALSE(prep.Built);
  TReadOnlTelgr_4k online;
  online.SetKanal(2);
  EXPECT_FALSE(online.Built);
  TDtReadOffl start;
  EXPECT_FALSE(start.Built);

  // These two drop a frame whose parameter went away.
  TPreWriteEETelgr pre;
  pre.SetKennung(7);
  EXPECT_TRUE(pre.Built);
  pre.SetKennung(0);
  EXPECT_FALSE(pre.Built);
  const uint8_t chunk[8] = {};
  TWriteEEData data;
  data.SetData(chunk);
  EXPECT_TRUE(data.Built);
  data.SetData(nullptr);
  EXPECT_FALSE(data.Built);
}

TEST(Telegram, SettersRefuseValuesOutOfRange) {
  struct Case {
    std::function<void()> set;
    const char* error;
  } cases[] = {
      {[] { TReadEETelgr().SetKennung(65536); }, "TReadEETelgr.SetKennung: invalid Kennung"},
      {[] { TPrepReadOffl().SetKennung(-1); }, "TReadEETelgr.SetKennung: invalid Kennung"},
      {[] { TClearMemTelgr().SetKennung(70000); }, "TClearMemTelgr.SetKennung: invalid Kennung"},
      {[] { TReadOnlTelgr().SetKennung(65536); }, "TReadOnlTelgr.SetKennung: invalid Kennung"},
      {[] { TReadOnlTelgr_4k().SetKennung(65536); }, "TReadOnlTelgr.SetKennung: invalid Kennung"},
      {[] { TPreWriteEETelgr().SetKennung(65536); }, "TPreWriteEETelgr.SetKennung: invalid Kennung"},
      {[] { TPrepReadOffl().SetChannel(10); }, "TPrepReadOffl.SetChannel: invalid channel"},
      {[] { TClearMemTelgr().SetChannel(0); }, "TClearMemTelgr.SetChannel: invalid channel"},
      {[] { TReadOnlTelgr_4k().SetKanal(5); }, "TReadOnlTelgr.SetKanal: invalid channel"},
      {[] { TDtReadOffl().SetDateTime(EncodeDate(1999, 12, 31)); }, "TDtReadOffl.SetDateTime: invalid date"},
      {[] { TReceiveOnline_4k().SetByteCount(4); }, "TReceiveOnline_4k.SetByteCount() invalid value for byte count!"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.set), c.error);
  EXPECT_EQ(ErrorOf([] { TReceiveOnline_4k().SetByteCount(6); }), "");
}

TEST(Telegram, AnUnchangedSetterDoesNotRebuild) {
  TReadEETelgr t;
  t.SetKennung(0x1234);
  t.TrialCount = 3;
  t.SetKennung(0x1234);
  EXPECT_EQ(t.TrialCount, 3);
  t.SetKennung(0x1235);
  EXPECT_EQ(t.TrialCount, 0);
  EXPECT_EQ(Hex(t.Data()), "3F 45 35 12 00 00 CB 00");
}

TEST(Telegram, ClockFramesRoundTheSecondUpWithoutCarryAndClampTheYear) {
  TFixedClock clock(EncodeDate(2023, 12, 31) + EncodeTime(23, 59, 59, 600));
  TSetDtOutTelgr t;
  t.Clock = &clock;
  t.BuildTelegram();
  EXPECT_EQ(Hex(t.Data()), "26 54 17 0C 1F 17 3B 3C 4A 01");  // second 60 of 23:59
  clock.Set(EncodeDate(1999, 6, 1) + EncodeTime(8, 0, 0, 499));
  t.TrialCount = 4;
  t.BuildTelegram();
  EXPECT_EQ(t.Data()[2], 0);  // year 1999 goes out as 2000
  EXPECT_EQ(t.Data()[7], 0);
  EXPECT_EQ(t.TrialCount, 4);  // built at every send: the trials keep counting
}

// An answer telegram listening on a closed port; frames are handed to it as its packet would.
template <class T>
struct Answer {
  Answer() {
    t.OnValid = [this](TTelegram*) { valid++; };
    t.OnInvalid = [this](TTelegram*) { invalid++; };
    t.Listen(&port);
  }
  void Receive(const std::vector<uint8_t>& frame) {
    t.PacketReceived(frame.data(), static_cast<int32_t>(frame.size()));
  }
  TSerComPort port;
  T t;
  int valid = 0, invalid = 0;
};

std::vector<uint8_t> Frame(const std::string& start, std::vector<uint8_t> payload, int sum_error = 0) {
  std::vector<uint8_t> f = Bytes(start);
  f.insert(f.end(), payload.begin(), payload.end());
  f.resize(f.size() + 2);
  const uint16_t sum = static_cast<uint16_t>(TelegramCheckSum(f.data(), static_cast<int32_t>(f.size())) + sum_error);
  f[f.size() - 2] = static_cast<uint8_t>(sum & 0xFF);
  f[f.size() - 1] = static_cast<uint8_t>(sum >> 8);
  return f;
}

TEST(Telegram, AnswersAreParsedAndCheckedByTheirSum) {
  Answer<TAckInTelgr> ack;
  ack.Receive(Frame("$", Bytes("&S")));
  EXPECT_EQ(ack.valid, 1);
  EXPECT_EQ(ack.t.GetCommand(), "&S");
  EXPECT_FALSE(ack.t.Listening());

  // A sum off by one: parsed, but reported invalid, and the command may not be read.
  Answer<TNackInTelgr> nack;
  nack.Receive(Frame("#", Bytes("&S"), 1));
  EXPECT_EQ(nack.invalid, 1);
  EXPECT_FALSE(nack.t.DataValid());
  EXPECT_EQ(ErrorOf([&] { nack.t.GetCommand(); }), "TNackInTelgr.GetCommand: do not read while data invalid");

  // The refusal of a space answers the wake-up only; a request's listener passes over it and
  // takes the answer after it.
  Answer<TNackInTelgr> request;
  request.Receive(Frame("#", {' ', ' '}));
  EXPECT_EQ(request.valid + request.invalid, 0);
  EXPECT_TRUE(request.t.Listening());
  request.Receive(Frame("#", Bytes("&T")));
  EXPECT_EQ(request.valid, 1);
  EXPECT_EQ(request.t.GetCommand(), "&T");
  Answer<TNackInTelgr> wake_up;
  wake_up.t.TakesSpaceRefusal = true;
  wake_up.Receive(Frame("#", {' ', ' '}));
  EXPECT_EQ(wake_up.valid, 1);
  EXPECT_EQ(wake_up.t.GetCommand(), "  ");

  struct Kind {
    uint8_t code, kind;
  } kinds[] = {{5, 5}, {40, 6}, {50, 7}, {6, 0}};
  for (const auto& k : kinds) {
    Answer<TReceiveIdTelgr> id;
    id.Receive(Frame("&S", {0x34, 0x12, k.code}));
    EXPECT_EQ(id.valid, 1);
    EXPECT_EQ(id.t.Kennung(), 0x1234);
    EXPECT_EQ(id.t.DevKind(), k.kind) << int(k.code);
  }
  Answer<TAckReadEETelgr> ee;
  ee.Receive(Frame("$?E", {20, 0x77}));
  EXPECT_EQ(ee.t.EEVersion(), 20);
  Answer<TAckReadOffl> count;
  count.Receive(Frame("$?T", {0x23, 0x01}));
  EXPECT_EQ(count.t.BlockCount(), 0x123);

  Answer<TReceiveOnline> online;
  online.t.SetByteCount(6);
  online.t.Listen(&online.port);
  online.Receive(Frame("?N", {1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_NE(online.t.GetValues(), nullptr);
  EXPECT_EQ(std::vector<uint8_t>(online.t.GetValues(), online.t.GetValues() + 6),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  online.t.SetByteCount(8);  // a new count drops the answer
  EXPECT_EQ(online.t.GetValues(), nullptr);
  Answer<TReceiveOnline_4k> one;
  one.Receive(Frame("?N", {'2', 9, 8, 7, 6, 5, 4}));
  ASSERT_NE(one.t.GetValues(), nullptr);
  EXPECT_EQ(one.t.GetValues()[0], 9);
  EXPECT_EQ(one.t.GetValues()[5], 4);
}

TEST(Telegram, ForeignShortOrUnexpectedFramesAreRefused) {
  // "?N" answers begin with a question mark, not with any byte.
  Answer<TReceiveOnline> foreign;
  foreign.Receive(Frame("AN", {1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(foreign.invalid, 1);
  EXPECT_EQ(foreign.t.GetValues(), nullptr);
  EXPECT_EQ(foreign.t.Packet()->StartString(), "\\?N");

  Answer<TAckReadEETelgr> shorter;
  std::vector<uint8_t> frame = Frame("$?E", {20, 0});
  shorter.Receive(std::vector<uint8_t>(frame.begin(), frame.end() - 1));
  EXPECT_EQ(shorter.invalid, 1);

  // A frame after the answer was given up belongs to nobody.
  Answer<TAckInTelgr> late;
  late.t.StopListen();
  late.Receive(Frame("$", Bytes("&S")));
  EXPECT_EQ(late.valid + late.invalid, 0);
}

TEST(Telegram, OnlineByteCountsAreEvenAndClamped) {
  TReceiveOnline t;
  EXPECT_EQ(t.ByteCount(), 4);
  for (auto [in, out] : {std::pair{7, 6}, {10, 8}, {1, 4}, {8, 8}, {5, 4}}) {
    t.SetByteCount(in);
    EXPECT_EQ(t.ByteCount(), out) << in;
  }
}

TEST(Telegram, ListenRefusesNoPortAndAChangeOfPort) {
  TSerComPort a, b;
  TAckInTelgr t;
  EXPECT_EQ(ErrorOf([&] { t.Listen(nullptr); }), "TInTelegram.Listen: ComPort must not be nil");
  t.Listen(&a);
  t.Listen(&a);
  EXPECT_EQ(ErrorOf([&] { t.Listen(&b); }), "TInTelegram.Listen: no change of ComPort while listening");
  TScanTelgr scan;
  EXPECT_EQ(ErrorOf([&] { scan.Send(nullptr); }), "TOutTelegram.Send: ComPort must not be nil");
}

// Sends on a port whose other end is a pseudo-terminal the test reads.
class SendOnLine : public ::testing::Test {
protected:
  static constexpr int kCom = 8;
  SendOnLine() : home_("[SerialPorts]\r\nCOM8=" + pty_.SlavePath() + "\r\n") {
    SetMainThread();
    InstallComPortMap();
    port_.SetComNumber(kCom);
    port_.SetOpen(true);
  }
  ~SendOnLine() override {
    if (port_.Open()) port_.SetOpen(false);
  }

  test::PtyPair pty_;
  Home home_;
  EnglishTexts texts_;
  RecordingHandler handler_;
  TQvComPort port_;
};

TEST_F(SendOnLine, ATelegramGoesOutAtMostTrialsTimesBetweenBuilds) {
  TScanTelgr scan;
  scan.Trials = 2;
  int sent = 0;
  scan.OnSent = [&](TTelegram* s) {
    EXPECT_EQ(s, &scan);
    ++sent;
  };
  EXPECT_TRUE(scan.Send(&port_));
  EXPECT_TRUE(scan.Send(&port_));
  EXPECT_EQ(sent, 2);
  EXPECT_EQ(pty_.Read(8), "&Sy\0&Sy\0"s);
  EXPECT_EQ(scan.Port(), nullptr);

  EXPECT_FALSE(scan.Send(&port_));
  EXPECT_EQ(handler_.Texts(mkError),
            std::vector<std::string>{"TOutTelegram.Send: Number of permitted trials exceeded"});
  EXPECT_EQ(handler_.dialogs.size(), 1u);
  EXPECT_EQ(ErrorOf([&] { scan.Send(&port_); }), "TOutTelegram.Send: Number of permitted trials exceeded");
  EXPECT_EQ(sent, 2);
  EXPECT_EQ(pty_.Read(1, 200), "");

  scan.BuildTelegram();
  EXPECT_TRUE(scan.Send(&port_));
  EXPECT_TRUE(scan.Send(&port_));
  EXPECT_EQ(sent, 4);
}

// Fills the port's output until a frame of size bytes no longer fits; the pseudo-terminal's
// other end reads nothing meanwhile.
void FillOutput(TSerCustomComPort& port, test::PtyPair& pty, uint32_t size) {
  (void)pty;
  const std::vector<uint8_t> filler(1024, '.');
  // The port's thread keeps moving bytes into the terminal's own buffer until that is full too,
  // so the output counts as full only when it stays so for a while.
  for (int round = 0; round < 100; ++round) {
    for (int i = 0; i < 100000 && port.OutBuffFree() >= size; ++i) {
      const uint32_t n = std::min<uint32_t>(port.OutBuffFree() - size + 1, 1024);
      port.PutBlock(filler.data(), static_cast<uint16_t>(n));
      WaitAndProcessMessages(1);
    }
    WaitAndProcessMessages(20);
    if (port.OutBuffFree() < size) break;
  }
  ASSERT_LT(port.OutBuffFree(), size);
}

TEST_F(SendOnLine, AFrameWaitsForRoomAndIsBuiltWhenItGoesOut) {
  int own_timer = 0, own_free = 0;
  port_.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t) { ++own_timer; });
  port_.SetOnTriggerOutbuffFree([&](TComponent*) { ++own_free; });
  FillOutput(port_, pty_, 10);

  TFixedClock clock(EncodeDate(2024, 3, 15) + EncodeTime(13, 45, 0, 0));
  TSetDtOutTelgr t;
  t.Clock = &clock;
  int sent = 0;
  t.OnSent = [&](TTelegram*) { ++sent; };
  EXPECT_TRUE(t.Send(&port_));
  EXPECT_TRUE(t.SendPending());
  EXPECT_EQ(ErrorOf([&] { t.Send(&port_); }), "TOutTelegram.Send: no SEND permitted during SendPending");
  clock.Set(EncodeDate(2024, 3, 15) + EncodeTime(13, 45, 30, 0));

  // The reader drains the line; the frame follows the filler with the time it went out at.
  std::string line;
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        line += pty_.Read(65536, 5);
        return sent == 1 && line.size() >= 10 && line.substr(line.size() - 10) != std::string(10, '.');
      },
      20000));
  EXPECT_EQ(Hex(Bytes(line.substr(line.size() - 10))), "26 54 18 03 0F 0D 2D 1E FC 00");
  EXPECT_FALSE(t.SendPending());
  // The port's own handlers are back.
  port_.OnTriggerTimer()(&port_, 0);
  port_.OnTriggerOutbuffFree()(&port_);
  EXPECT_EQ(own_timer, 1);
  EXPECT_EQ(own_free, 1);
}

TEST_F(SendOnLine, AFrameThatFindsNoRoomInTimeReportsTheTimeOut) {
  int own_timer = 0;
  port_.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t) { ++own_timer; });
  FillOutput(port_, pty_, 4);
  TScanTelgr scan;
  scan.SendTimeOut = 1;
  int timed_out = 0, sent = 0;
  scan.OnSendTimeout = [&](TTelegram*) { ++timed_out; };
  scan.OnSent = [&](TTelegram*) { ++sent; };
  EXPECT_TRUE(scan.Send(&port_));
  ASSERT_TRUE(test::PumpUntil([&] { return timed_out == 1; }, 5000));
  EXPECT_EQ(sent, 0);
  EXPECT_FALSE(scan.SendPending());
  EXPECT_EQ(own_timer, 0);
  port_.OnTriggerTimer()(&port_, 0);
  EXPECT_EQ(own_timer, 1);
  EXPECT_EQ(port_.OnTriggerOutbuffFree(), nullptr);
}

TEST_F(SendOnLine, AProtocolEndedDuringAPendingSendGivesThePortItsOwnHandlersBack) {
  int own_timer = 0, own_free = 0;
  port_.SetOnTriggerTimer([&](TSerCustomComPort*, uint16_t) { ++own_timer; });
  port_.SetOnTriggerOutbuffFree([&](TComponent*) { ++own_free; });
  FillOutput(port_, pty_, 4);
  {
    test::IdentifyProt p;
    p.UseWakeUp = false;
    p.Port = &port_;
    p.OnSuccess = p.OnFailure = [](TComProtocol*) {};
    p.ExecuteChild();
    ASSERT_TRUE(p.Scan->SendPending());
    p.UserCancel(nullptr);
    EXPECT_FALSE(p.Scan->SendPending());
  }
  port_.OnTriggerTimer()(&port_, 0);
  port_.OnTriggerOutbuffFree()(&port_);
  EXPECT_EQ(own_timer, 1);
  EXPECT_EQ(own_free, 1);
}

}  // namespace
}  // namespace qv
